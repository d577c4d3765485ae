#include "grid/io/xlsx/xlsx_anchors.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>
#include <set>

#include "grid/formula/a1.h"
#include "grid/io/common/cell_refs.h"
#include "grid/limits.h"

namespace ddt::grid::io {

namespace {

bool FullBand(const LineEdit& e) {
  return e.bandFirst <= 1 && e.bandLast >= (e.rows ? kMaxCols : kMaxRows);
}

// --- Scanning parts as text -------------------------------------------------------------
// Drawing, note and table parts are rewritten in place: only the numbers and references that
// move change, everything else (namespaces, unknown extensions, formatting, even the loosely
// formed markup some legacy drawings hold) is written back byte for byte.

struct Span {
  size_t start = 0, end = 0;  // the element, from '<' to past its end tag
  size_t tagEnd = 0;          // past the '>' of its start tag
};

bool IsNameEnd(char ch) {
  return ch == ' ' || ch == '/' || ch == '>' || ch == '\t' || ch == '\n' || ch == '\r';
}

// The next element after `from` whose name without prefix is one of `locals`; which one in
// `which`. Elements of the same name do not nest in the parts read here.
std::optional<Span> NextElement(const std::string& xml, std::initializer_list<std::string_view> locals,
                                size_t from, size_t limit, size_t* which = nullptr) {
  limit = std::min(limit, xml.size());
  for (size_t pos = xml.find('<', from); pos != std::string::npos && pos < limit;
       pos = xml.find('<', pos + 1)) {
    if (pos + 1 >= limit || xml[pos + 1] == '/' || xml[pos + 1] == '?' || xml[pos + 1] == '!')
      continue;
    size_t nameEnd = pos + 1;
    while (nameEnd < limit && !IsNameEnd(xml[nameEnd])) ++nameEnd;
    const std::string_view qname(xml.data() + pos + 1, nameEnd - pos - 1);
    const size_t colon = qname.find(':');
    const std::string_view local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    size_t index = 0;
    for (std::string_view want : locals) {
      if (local == want) break;
      ++index;
    }
    if (index == locals.size()) continue;
    const size_t gt = xml.find('>', nameEnd);
    if (gt == std::string::npos || gt >= limit) return std::nullopt;
    Span s{pos, gt + 1, gt + 1};
    if (xml[gt - 1] != '/') {
      const std::string close = "</" + std::string(qname) + ">";
      const size_t c = xml.find(close, gt + 1);
      if (c == std::string::npos || c + close.size() > limit) return std::nullopt;
      s.end = c + close.size();
    }
    if (which) *which = index;
    return s;
  }
  return std::nullopt;
}

std::optional<Span> Child(const std::string& xml, const Span& parent, std::string_view local) {
  return NextElement(xml, {local}, parent.tagEnd, parent.end);
}

// The text of a simple element (between its start and end tags).
std::string_view Inner(const std::string& xml, const Span& s) {
  const size_t close = xml.rfind("</", s.end - 1);
  if (s.tagEnd >= s.end || close == std::string::npos || close < s.tagEnd) return {};
  return std::string_view(xml.data() + s.tagEnd, close - s.tagEnd);
}

void SetInner(std::string& xml, const Span& s, const std::string& text) {
  const size_t close = xml.rfind("</", s.end - 1);
  if (s.tagEnd >= s.end || close == std::string::npos || close < s.tagEnd) return;
  xml.replace(s.tagEnd, close - s.tagEnd, text);
}

// An attribute of an element's start tag; nullopt when absent.
std::optional<std::string> AttrOf(const std::string& xml, const Span& s, std::string_view name) {
  const std::string_view tag(xml.data() + s.start, s.tagEnd - s.start);
  for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    if (at == 0 || !(tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n' ||
                     tag[at - 1] == '\r'))
      continue;
    size_t k = at + name.size();
    while (k < tag.size() && tag[k] == ' ') ++k;
    if (k >= tag.size() || tag[k] != '=') continue;
    ++k;
    while (k < tag.size() && tag[k] == ' ') ++k;
    if (k >= tag.size() || (tag[k] != '"' && tag[k] != '\'')) continue;
    const size_t end = tag.find(tag[k], k + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(tag.substr(k + 1, end - k - 1));
  }
  return std::nullopt;
}

// Replaces the value of an attribute of the element starting at `start` (which must have it).
void SetAttrOf(std::string& xml, size_t start, std::string_view name, const std::string& value) {
  const size_t gt = xml.find('>', start);
  std::string tag = xml.substr(start, gt + 1 - start);
  SetFirstTagAttr(tag, std::string_view(tag.data() + 1, tag.find_first_of(" \t\r\n/>") - 1),
                  name, value.c_str());
  xml.replace(start, gt + 1 - start, tag);
}

int64_t ToInt(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' ||
                        s.front() == '\t'))
    s.remove_prefix(1);
  int64_t v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

// A cell as anchors, notes and views name it ("B12", "$B$12").
std::optional<CellPos> ParseCell(std::string_view ref) {
  formula::ScannedCorner corner;
  if (formula::ScanCellRef(ref, 0, &corner) != ref.size()) return std::nullopt;
  return CellPos{corner.row, corner.col};
}

std::string CellText(CellPos c) {
  std::string text;
  AppendCellRef(c.row, c.col, text);
  return text;
}

// --- Anchors ----------------------------------------------------------------------------

// One axis of a two-cell anchor through one edit of whole lines. Lines count from 0 here.
void MoveLine(int& line, int64_t& off, const LineEdit& e, int limit) {
  const int first = e.first - 1, end = e.first - 1 + e.count - 1;
  if (e.insert) {
    if (line >= first) line = std::min(line + e.count, limit - 1);
    return;
  }
  if (line > end) {
    line -= e.count;
  } else if (line >= first) {
    line = first;  // into the line that follows the deleted ones, at its start
    off = 0;
  }
}

// Reads and writes the col/colOff/row/rowOff children of a from/to element.
// A line number of a file, kept inside the sheet whatever the file says.
int Line(std::string_view text, int limit) {
  return static_cast<int>(std::clamp<int64_t>(ToInt(text), 0, limit - 1));
}

AnchorCorner ReadCorner(const std::string& xml, const Span& s) {
  AnchorCorner c;
  if (auto e = Child(xml, s, "col")) c.col = Line(Inner(xml, *e), kMaxCols);
  if (auto e = Child(xml, s, "colOff")) c.colOff = ToInt(Inner(xml, *e));
  if (auto e = Child(xml, s, "row")) c.row = Line(Inner(xml, *e), kMaxRows);
  if (auto e = Child(xml, s, "rowOff")) c.rowOff = ToInt(Inner(xml, *e));
  return c;
}

// Writes the corner back into the from/to element at `start` (each child found again after
// the one before changed the text's length).
void WriteCorner(std::string& xml, size_t start, const AnchorCorner& c) {
  auto span = NextElement(xml, {"from", "to"}, start, xml.size());
  if (!span) return;
  struct Field {
    std::string_view name;
    int64_t value;
  };
  const Field fields[] = {{"rowOff", c.rowOff}, {"row", c.row}, {"colOff", c.colOff}, {"col", c.col}};
  for (const Field& f : fields) {
    span = NextElement(xml, {"from", "to"}, start, xml.size());
    if (!span) return;
    if (auto e = Child(xml, *span, f.name)) SetInner(xml, *e, std::to_string(f.value));
  }
}

// Moves the from/to children of an anchor element at xml[s]; false when it is to be left out.
bool MoveAnchorElement(std::string& xml, const Span& s, AnchorMode mode, bool hasTo,
                       const std::vector<LineEdit>& edits) {
  auto fromSpan = Child(xml, s, "from");
  if (!fromSpan) return true;
  AnchorCorner from = ReadCorner(xml, *fromSpan);
  AnchorCorner to;
  std::optional<Span> toSpan;
  if (hasTo) {
    toSpan = Child(xml, s, "to");
    if (toSpan) to = ReadCorner(xml, *toSpan);
  }
  const AnchorCorner oldFrom = from, oldTo = to;
  if (!MoveAnchor(from, toSpan ? &to : nullptr, mode, edits)) return false;
  // The later child first, so that the earlier one's position holds.
  if (toSpan && !(to == oldTo)) WriteCorner(xml, toSpan->start, to);
  if (!(from == oldFrom)) WriteCorner(xml, fromSpan->start, from);
  return true;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    bool done = false;
    for (auto [entity, ch] : kEntities)
      if (s.substr(i, entity.size()) == entity) {
        out += ch;
        i += entity.size() - 1;
        done = true;
        break;
      }
    if (!done) out += '&';
  }
  return out;
}

std::string EscapeText(std::string_view s) {
  std::string out;
  for (char ch : s) {
    if (ch == '&') out += "&amp;";
    else if (ch == '<') out += "&lt;";
    else if (ch == '>') out += "&gt;";
    else out += ch;
  }
  return out;
}

}  // namespace

std::optional<CellPos> MoveCell(CellPos cell, const std::vector<LineEdit>& edits) {
  CellRange r{cell.row, cell.col, cell.row, cell.col};
  for (const LineEdit& e : edits) {
    bool cut = false;
    auto moved = MoveRange(r, e, &cut);
    if (!moved) return std::nullopt;
    r = *moved;
  }
  return CellPos{r.r1, r.c1};
}

namespace {

// Whether a corner's cell lies across the band of a shift of cells (rows moving: its column).
bool InBand(const AnchorCorner& c, const LineEdit& e) {
  const int across = (e.rows ? c.col : c.row) + 1;
  return across >= e.bandFirst && across <= e.bandLast;
}

// An object moved without being sized: its top-left corner moves through the edit and the
// other corner keeps its distance from it.
void MoveWithTopLeft(AnchorCorner& from, AnchorCorner* to, const LineEdit& e) {
  const int limit = e.rows ? kMaxRows : kMaxCols;
  int& fromLine = e.rows ? from.row : from.col;
  const int before = fromLine;
  MoveLine(fromLine, e.rows ? from.rowOff : from.colOff, e, limit);
  if (to) {
    int& toLine = e.rows ? to->row : to->col;
    toLine = std::clamp(toLine + (fromLine - before), 0, limit - 1);
  }
}

// A shift of cells moves an object by the cells its corners lie in, as LibreOffice moves
// them: one moved and sized with its cells moves each corner whose cell the shift moves;
// one moved without being sized moves whole when its top-left cell moves. An object whose
// cells the shift deletes all is gone.
bool MoveAnchorByCells(AnchorCorner& from, AnchorCorner* to, AnchorMode mode, const LineEdit& e) {
  const int limit = e.rows ? kMaxRows : kMaxCols;
  int& fromLine = e.rows ? from.row : from.col;
  int64_t& fromOff = e.rows ? from.rowOff : from.colOff;
  if (!e.insert) {
    // The cells the object covers: a corner at the very start of a cell does not cover it.
    AnchorCorner last = to ? *to : from;
    if (to) {
      if (to->colOff == 0 && to->col > from.col) --last.col;
      if (to->rowOff == 0 && to->row > from.row) --last.row;
    }
    const int first = fromLine, lastLine = e.rows ? last.row : last.col;
    const int across1 = (e.rows ? from.col : from.row) + 1;
    const int across2 = (e.rows ? last.col : last.row) + 1;
    if (first >= e.first - 1 && lastLine <= e.first - 1 + e.count - 1 &&
        across1 >= e.bandFirst && across2 <= e.bandLast)
      return false;
  }
  if (mode == AnchorMode::TwoCell && to) {
    const bool moveTo = InBand(*to, e);
    if (InBand(from, e)) MoveLine(fromLine, fromOff, e, limit);
    if (moveTo) MoveLine(e.rows ? to->row : to->col, e.rows ? to->rowOff : to->colOff, e, limit);
    return true;
  }
  if (InBand(from, e)) MoveWithTopLeft(from, to, e);
  return true;
}

}  // namespace

bool MoveAnchor(AnchorCorner& from, AnchorCorner* to, AnchorMode mode,
                const std::vector<LineEdit>& edits) {
  if (mode == AnchorMode::Absolute) return true;
  for (const LineEdit& e : edits) {
    if (!FullBand(e)) {
      if (!MoveAnchorByCells(from, to, mode, e)) return false;
      continue;
    }
    const int limit = e.rows ? kMaxRows : kMaxCols;
    int& fromLine = e.rows ? from.row : from.col;
    int64_t& fromOff = e.rows ? from.rowOff : from.colOff;
    if (mode == AnchorMode::TwoCell && to) {
      int& toLine = e.rows ? to->row : to->col;
      int64_t& toOff = e.rows ? to->rowOff : to->colOff;
      if (!e.insert) {
        // The lines the object covers: a corner at the very start of a line does not cover it.
        const int first = fromLine, last = std::max(fromLine, toOff > 0 ? toLine : toLine - 1);
        if (first >= e.first - 1 && last <= e.first - 1 + e.count - 1) return false;
      }
      MoveLine(fromLine, fromOff, e, limit);
      MoveLine(toLine, toOff, e, limit);
      continue;
    }
    // Moved without being sized: the whole object shifts as its top-left corner does.
    MoveWithTopLeft(from, to, e);
  }
  return true;
}

std::string MoveDrawingPart(const std::string& xml, const std::vector<LineEdit>& edits) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t which = 0;
    auto s = NextElement(xml, {"twoCellAnchor", "oneCellAnchor"}, pos, xml.size(), &which);
    if (!s) break;
    out.append(xml, pos, s->start - pos);
    std::string element = xml.substr(s->start, s->end - s->start);
    Span local{0, element.size(), s->tagEnd - s->start};
    AnchorMode mode = AnchorMode::OneCell;
    if (which == 0) {
      const auto editAs = AttrOf(element, local, "editAs");
      mode = !editAs || *editAs == "twoCell" ? AnchorMode::TwoCell
             : *editAs == "absolute"        ? AnchorMode::Absolute
                                            : AnchorMode::OneCell;
    }
    if (MoveAnchorElement(element, local, mode, which == 0, edits)) out += element;
    pos = s->end;
  }
  out.append(xml, pos, std::string::npos);
  return out;
}

std::string MoveControlAnchors(const std::string& xml, const std::vector<LineEdit>& edits) {
  std::string out;
  size_t pos = 0;
  while (auto s = NextElement(xml, {"anchor"}, pos, xml.size())) {
    out.append(xml, pos, s->start - pos);
    std::string element = xml.substr(s->start, s->end - s->start);
    Span local{0, element.size(), s->tagEnd - s->start};
    const bool move = AttrOf(element, local, "moveWithCells").value_or("0") == "1";
    const bool size = AttrOf(element, local, "sizeWithCells").value_or("0") == "1";
    const AnchorMode mode = !move ? AnchorMode::Absolute
                            : size ? AnchorMode::TwoCell
                                   : AnchorMode::OneCell;
    // A control keeps its entry (its part and relationship stay): squeezed, never removed.
    if (!MoveAnchorElement(element, local, mode, true, edits))
      MoveAnchorElement(element, local, AnchorMode::OneCell, true, edits);
    out += element;
    pos = s->end;
  }
  out.append(xml, pos, std::string::npos);
  return out;
}

std::string MoveVmlPart(const std::string& xml, const std::vector<LineEdit>& edits) {
  std::string out;
  size_t pos = 0;
  while (auto s = NextElement(xml, {"shape"}, pos, xml.size())) {
    out.append(xml, pos, s->start - pos);
    std::string shape = xml.substr(s->start, s->end - s->start);
    pos = s->end;
    Span local{0, shape.size(), s->tagEnd - s->start};
    auto data = Child(shape, local, "ClientData");
    if (!data) {
      out += shape;
      continue;
    }
    auto rowEl = Child(shape, *data, "Row"), colEl = Child(shape, *data, "Column");
    auto anchorEl = Child(shape, *data, "Anchor");
    // The box: LeftColumn, LeftOffset, TopRow, TopOffset, RightColumn, RightOffset,
    // BottomRow, BottomOffset (offsets in pixels).
    std::vector<int64_t> box;
    if (anchorEl) {
      const std::string text(Inner(shape, *anchorEl));
      size_t at = 0;
      while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        // Pixels: bounded so that moving them cannot overflow.
        box.push_back(std::clamp<int64_t>(ToInt(std::string_view(text).substr(at, comma - at)),
                                          -(int64_t{1} << 40), int64_t{1} << 40));
        at = comma + 1;
      }
      if (box.size() != 8) box.clear();
    }
    int dRow = 0, dCol = 0;
    bool moveBox = !box.empty();
    if (rowEl && colEl) {
      // A note: it follows its cell, and goes with it.
      const CellPos cell{Line(Inner(shape, *rowEl), kMaxRows) + 1,
                         Line(Inner(shape, *colEl), kMaxCols) + 1};
      auto moved = MoveCell(cell, edits);
      if (!moved) continue;
      dRow = moved->row - cell.row;
      dCol = moved->col - cell.col;
      if (moved == cell) moveBox = false;
      // Column comes after Row in the shape: replace it first.
      if (colEl->start > rowEl->start) {
        SetInner(shape, *colEl, std::to_string(moved->col - 1));
        SetInner(shape, *rowEl, std::to_string(moved->row - 1));
      } else {
        SetInner(shape, *rowEl, std::to_string(moved->row - 1));
        SetInner(shape, *colEl, std::to_string(moved->col - 1));
      }
      if (moveBox) {
        for (int i : {0, 4}) box[i] = std::clamp<int64_t>(box[i] + dCol, 0, kMaxCols - 1);
        for (int i : {2, 6}) box[i] = std::clamp<int64_t>(box[i] + dRow, 0, kMaxRows - 1);
      }
    } else if (moveBox) {
      auto line = [](int64_t v, int limit) {
        return static_cast<int>(std::clamp<int64_t>(v, 0, limit - 1));
      };
      AnchorCorner from{line(box[0], kMaxCols), line(box[2], kMaxRows), box[1], box[3]};
      AnchorCorner to{line(box[4], kMaxCols), line(box[6], kMaxRows), box[5], box[7]};
      if (!MoveAnchor(from, &to, AnchorMode::TwoCell, edits))
        MoveAnchor(from, &to, AnchorMode::OneCell, edits);
      box = {from.col, from.colOff, from.row, from.rowOff, to.col, to.colOff, to.row, to.rowOff};
    }
    if (moveBox) {
      const Span whole{0, shape.size(), local.tagEnd};
      auto data2 = Child(shape, whole, "ClientData");
      anchorEl = data2 ? Child(shape, *data2, "Anchor") : std::nullopt;
      std::string text;
      for (size_t i = 0; i < box.size(); ++i) text += (i ? ", " : "") + std::to_string(box[i]);
      if (anchorEl) SetInner(shape, *anchorEl, text);
    }
    out += shape;
  }
  out.append(xml, pos, std::string::npos);
  return out;
}

namespace {

// Elements of a part named `local` that refer to one cell by `ref`: moved, or left out with
// their content when their cell was deleted.
std::string MoveCellElements(const std::string& xml, std::string_view local,
                             const std::vector<LineEdit>& edits) {
  std::string out;
  size_t pos = 0;
  while (auto s = NextElement(xml, {local}, pos, xml.size())) {
    out.append(xml, pos, s->start - pos);
    std::string element = xml.substr(s->start, s->end - s->start);
    pos = s->end;
    Span localSpan{0, element.size(), s->tagEnd - s->start};
    const auto ref = AttrOf(element, localSpan, "ref");
    const auto cell = ref ? ParseCell(*ref) : std::nullopt;
    if (cell) {
      auto moved = MoveCell(*cell, edits);
      if (!moved) continue;
      if (!(*moved == *cell)) SetAttrOf(element, 0, "ref", CellText(*moved));
    }
    out += element;
  }
  out.append(xml, pos, std::string::npos);
  return out;
}

}  // namespace

std::string MoveCommentsPart(const std::string& xml, const std::vector<LineEdit>& edits) {
  return MoveCellElements(xml, "comment", edits);
}

std::string MoveThreadedCommentsPart(const std::string& xml, const std::vector<LineEdit>& edits) {
  return MoveCellElements(xml, "threadedComment", edits);
}

namespace {

// Parses "A1:C9" (or one cell) into a range.
std::optional<CellRange> ParseArea(std::string_view ref) {
  const size_t colon = ref.find(':');
  auto a = ParseCell(ref.substr(0, colon));
  auto b = colon == std::string_view::npos ? a : ParseCell(ref.substr(colon + 1));
  if (!a || !b) return std::nullopt;
  return CellRange{a->row, a->col, b->row, b->col};
}

std::string AreaText(const CellRange& r) {
  return CellText({r.r1, r.c1}) + ":" + CellText({r.r2, r.c2});
}

}  // namespace

std::string MoveTablePart(const std::string& xml, const std::vector<LineEdit>& edits, bool* cut,
                          const std::function<std::string(int row, int col)>& headerText) {
  auto root = NextElement(xml, {"table"}, 0, xml.size());
  if (!root) return xml;
  const auto refText = AttrOf(xml, *root, "ref");
  auto area = refText ? ParseArea(*refText) : std::nullopt;
  if (!area) return xml;
  auto columnsSpan = NextElement(xml, {"tableColumns"}, root->tagEnd, root->end);
  // The columns as written, and which filter column each one had (by its old position).
  std::vector<std::string> columns;
  if (columnsSpan) {
    size_t pos = columnsSpan->tagEnd;
    while (auto c = NextElement(xml, {"tableColumn"}, pos, columnsSpan->end)) {
      columns.push_back(xml.substr(c->start, c->end - c->start));
      pos = c->end;
    }
  }
  std::vector<int> origin(columns.size());  // old index of each column; -1 for a new one
  for (size_t i = 0; i < origin.size(); ++i) origin[i] = static_cast<int>(i);
  std::string prefix;
  if (columnsSpan) {
    const std::string_view tag(xml.data() + columnsSpan->start + 1,
                               columnsSpan->tagEnd - columnsSpan->start - 1);
    const size_t colon = tag.find(':');
    if (colon != std::string_view::npos && colon < tag.find_first_of(" />"))
      prefix = std::string(tag.substr(0, colon + 1));
  }
  int nextId = 0;
  std::set<std::string> names;
  for (const std::string& c : columns) {
    Span s{0, c.size(), c.find('>') + 1};
    nextId = std::max(nextId, Line(AttrOf(c, s, "id").value_or("0"), kMaxCols));
    names.insert(AttrOf(c, s, "name").value_or(""));
  }

  CellRange r = *area;
  for (const LineEdit& e : edits) {
    const bool acrossTable = FullBand(e) || (e.rows ? (r.c1 >= e.bandFirst && r.c2 <= e.bandLast)
                                                    : (r.r1 >= e.bandFirst && r.r2 <= e.bandLast));
    if (!e.rows && acrossTable && !columns.empty()) {
      if (e.insert && e.first > r.c1 && e.first <= r.c2) {
        // New columns inside the table become table columns, named once their place is known.
        const auto at = static_cast<std::ptrdiff_t>(e.first - r.c1);
        columns.insert(columns.begin() + at, static_cast<size_t>(e.count), std::string());
        origin.insert(origin.begin() + at, static_cast<size_t>(e.count), -1);
      } else if (!e.insert) {
        const int lo = std::max(r.c1, e.first), hi = std::min(r.c2, e.first + e.count - 1);
        if (lo <= hi && !(lo == r.c1 && hi == r.c2)) {
          columns.erase(columns.begin() + (lo - r.c1), columns.begin() + (hi - r.c1 + 1));
          origin.erase(origin.begin() + (lo - r.c1), origin.begin() + (hi - r.c1 + 1));
        }
      }
    }
    bool split = false;
    auto moved = MoveRange(r, e, &split);
    if (split) {
      *cut = true;
      return xml;
    }
    if (!moved) return {};
    r = *moved;
  }

  // A new column takes the text of its header cell when that names no other column (as the
  // header row must match the column names), else the first free "ColumnN".
  const bool headerRow = AttrOf(xml, *root, "headerRowCount").value_or("1") != "0";
  for (size_t k = 0, n = 1; k < columns.size(); ++k) {
    if (!columns[k].empty()) continue;
    std::string name =
        headerText && headerRow ? headerText(r.r1, r.c1 + static_cast<int>(k)) : std::string();
    if (name.empty() || names.count(name)) {
      do name = "Column" + std::to_string(n++);
      while (names.count(name));
    }
    names.insert(name);
    std::string column = "<" + prefix + "tableColumn id=\"" + std::to_string(++nextId) +
                         "\" name=\"";
    AppendXmlText(name, column, false);
    columns[k] = column + "\"/>";
  }

  std::string out = xml;
  // From the end of the part back, so that earlier positions hold.
  if (columnsSpan) {
    std::string list;
    for (const std::string& c : columns) list += c;
    const size_t close = out.rfind("</", columnsSpan->end - 1);
    out.replace(columnsSpan->tagEnd, close - columnsSpan->tagEnd, list);
    SetAttrOf(out, columnsSpan->start, "count", std::to_string(columns.size()));
  }
  // The filter's columns by position: renumbered, or gone with their column.
  if (auto filter = NextElement(out, {"autoFilter"}, root->tagEnd, out.size())) {
    std::string element = out.substr(filter->start, filter->end - filter->start);
    std::string moved;
    size_t pos = 0;
    while (auto f = NextElement(element, {"filterColumn"}, pos, element.size())) {
      moved.append(element, pos, f->start - pos);
      pos = f->end;
      std::string fc = element.substr(f->start, f->end - f->start);
      Span s{0, fc.size(), f->tagEnd - f->start};
      const int old = Line(AttrOf(fc, s, "colId").value_or("0"), kMaxCols);
      auto at = std::find(origin.begin(), origin.end(), old);
      if (at == origin.end()) continue;
      SetAttrOf(fc, 0, "colId", std::to_string(at - origin.begin()));
      moved += fc;
    }
    moved.append(element, pos, std::string::npos);
    Span s{0, moved.size(), moved.find('>') + 1};
    if (auto ref = AttrOf(moved, s, "ref")) {
      std::string list = *ref;
      if (MoveRefList(list, edits) && !list.empty()) SetAttrOf(moved, 0, "ref", list);
    }
    out.replace(filter->start, filter->end - filter->start, moved);
  }
  // The state of the last sort means nothing once rows or columns moved.
  if (auto sort = NextElement(out, {"sortState"}, root->tagEnd, out.size()))
    out.erase(sort->start, sort->end - sort->start);
  SetAttrOf(out, root->start, "ref", AreaText(r));
  return out;
}

namespace {

// A cell after the edits; a deleted one gives its place to the line that follows.
CellPos MoveCellOrNext(CellPos cell, const std::vector<LineEdit>& edits) {
  for (const LineEdit& e : edits) {
    CellRange r{cell.row, cell.col, cell.row, cell.col};
    bool cut = false;
    if (auto moved = MoveRange(r, e, &cut)) {
      cell = {moved->r1, moved->c1};
    } else {
      int& line = e.rows ? cell.row : cell.col;
      line = std::min(e.first, e.rows ? kMaxRows : kMaxCols);
    }
  }
  return cell;
}

std::string_view LocalName(std::string_view qname) {
  const size_t colon = qname.rfind(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

std::string* FindAttr(AttrList& attrs, std::string_view name) {
  for (auto& [k, v] : attrs)
    if (LocalName(k) == name) return &v;
  return nullptr;
}

// Frozen lines (1..count) after the edits of that axis: lines inserted or deleted among them
// make the block larger or smaller.
int MoveFrozen(int count, bool rows, const std::vector<LineEdit>& edits) {
  for (const LineEdit& e : edits) {
    if (e.rows != rows || !FullBand(e) || count <= 0) continue;
    if (e.insert) {
      if (e.first <= count) count += e.count;
    } else {
      const int lo = e.first, hi = std::min(count, e.first + e.count - 1);
      if (lo <= hi) count -= hi - lo + 1;
    }
  }
  return std::max(count, 0);
}

}  // namespace

std::string MoveSheetViews(const std::string& xml, const std::vector<LineEdit>& edits) {
  auto moveCellAttr = [&](AttrList& attrs, std::string_view name) {
    if (std::string* v = FindAttr(attrs, name))
      if (auto cell = ParseCell(*v)) *v = CellText(MoveCellOrNext(*cell, edits));
  };
  return EditFragment(xml, [&](std::string_view name, AttrList& attrs, int) {
    if (name == "sheetView") {
      moveCellAttr(attrs, "topLeftCell");
    } else if (name == "pane") {
      std::string* state = FindAttr(attrs, "state");
      if (state && (*state == "frozen" || *state == "frozenSplit")) {
        for (bool rows : {true, false}) {
          std::string* split = FindAttr(attrs, rows ? "ySplit" : "xSplit");
          if (!split) continue;
          const int before = Line(*split, rows ? kMaxRows : kMaxCols);
          *split = std::to_string(MoveFrozen(before, rows, edits));
        }
      }
      moveCellAttr(attrs, "topLeftCell");
    } else if (name == "selection") {
      moveCellAttr(attrs, "activeCell");
      if (std::string* sqref = FindAttr(attrs, "sqref")) {
        std::string list = *sqref;
        const std::string* active = FindAttr(attrs, "activeCell");
        if (MoveRefList(list, edits) && !list.empty()) *sqref = list;
        else *sqref = active ? *active : "A1";
      }
    }
    return true;
  });
}

std::string MovePageBreaks(const std::string& xml, bool rows, const std::vector<LineEdit>& edits) {
  int kept = 0, manual = 0;
  std::string out = EditFragment(xml, [&](std::string_view name, AttrList& attrs, int depth) {
    if (depth != 2 || name != "brk") return true;
    std::string* id = FindAttr(attrs, "id");
    if (!id) return true;
    int line = Line(*id, kMaxRows);
    for (const LineEdit& e : edits) {
      if (e.rows != rows || !FullBand(e)) continue;
      if (e.insert) {
        if (line >= e.first) line += e.count;
      } else if (line >= e.first + e.count) {
        line -= e.count;
      } else if (line >= e.first) {
        return false;  // the line it came after is gone
      }
    }
    *id = std::to_string(line);
    ++kept;
    if (std::string* man = FindAttr(attrs, "man"); man && (*man == "1" || *man == "true"))
      ++manual;
    return true;
  });
  if (kept == 0) return {};
  const char* root = rows ? "rowBreaks" : "colBreaks";
  SetFirstTagAttr(out, root, "count", std::to_string(kept).c_str());
  if (out.find("manualBreakCount=") != std::string::npos)
    SetFirstTagAttr(out, root, "manualBreakCount", std::to_string(manual).c_str());
  return out;
}

std::string MoveChartRefs(const std::string& xml, const std::string& sheetName,
                          const std::string& newName, const std::vector<LineEdit>& edits) {
  std::string out;
  size_t pos = 0;
  while (auto s = NextElement(xml, {"f"}, pos, xml.size())) {
    size_t close = xml.rfind("</", s->end - 1);
    if (close == std::string::npos || close < s->tagEnd) close = s->end;  // <c:f/>
    const std::string_view inner(xml.data() + s->tagEnd, close - s->tagEnd);
    const std::string before = Unescape(inner);
    std::string text = before;
    MoveFormulaText(text, sheetName, newName, edits, false, true);
    out.append(xml, pos, s->tagEnd - pos);
    if (text == before) out += inner;  // untouched references stay as they were written
    else out += EscapeText(text);
    out.append(xml, close, s->end - close);
    pos = s->end;
  }
  out.append(xml, pos, std::string::npos);
  return out;
}

}  // namespace ddt::grid::io
