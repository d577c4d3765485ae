#include "grid/io/xlsx/xlsx_extras.h"

#include <zip.h>

#include <algorithm>
#include <cctype>

#include "grid/formula/a1.h"
#include "grid/grid_error.h"
#include "grid/io/xlsx/xlsx_anchors.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/limits.h"

namespace ddt::grid {

CarriedArchive::~CarriedArchive() {
  if (archive) zip_discard(archive);
}

void NoteLineEdit(SheetExtras& extras, const LineEdit& edit) { extras.edits.push_back(edit); }

namespace io {

namespace {

void AppendEscapedText(std::string_view text, std::string& out) {
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#13;"; break;
      default: out += ch;
    }
  }
}

int RankIn(std::string_view name, const char* const* order, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (name == order[i]) return static_cast<int>(i) + 1;
  return 0;
}

}  // namespace


namespace {
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
}  // namespace

std::string MainPrefix(const char** attrs) {
  std::string prefix;
  for (; *attrs; attrs += 2) {
    const std::string_view n(attrs[0]);
    if (n == "xmlns") return {};
    if (n.substr(0, 6) == "xmlns:" && attrs[1] == kMainNs && prefix.empty())
      prefix = std::string(n.substr(6));
  }
  return prefix;
}

std::string WithDefaultNamespace(const std::string& rootAttrs) {
  return " xmlns=\"" + std::string(kMainNs) + "\"" + rootAttrs;
}

std::string_view XmlCapture::Name(std::string_view qname) const {
  if (!dropped_.empty() && qname.size() > dropped_.size() &&
      qname.compare(0, dropped_.size(), dropped_) == 0 && qname[dropped_.size()] == ':')
    qname.remove_prefix(dropped_.size() + 1);
  return qname;
}

void XmlCapture::Start(std::string_view qname, const char** attrs) {
  if (open_) xml_ += '>';
  xml_ += '<';
  xml_ += Name(qname);
  xml_ += AttrsText(attrs, [](std::string_view) { return false; });
  open_ = true;
  ++depth_;
}

bool XmlCapture::End(std::string_view qname) {
  if (open_) {
    xml_ += "/>";
    open_ = false;
  } else {
    xml_ += "</";
    xml_ += Name(qname);
    xml_ += '>';
  }
  return --depth_ == 0;
}

void XmlCapture::Text(const char* data, size_t size) {
  if (depth_ == 0) return;
  if (open_) {
    xml_ += '>';
    open_ = false;
  }
  AppendEscapedText(std::string_view(data, size), xml_);
}

std::string XmlCapture::Take() {
  std::string out = std::move(xml_);
  xml_.clear();
  depth_ = 0;
  open_ = false;
  return out;
}

int WorksheetRank(std::string_view name) {
  static constexpr const char* kOrder[] = {
      "sheetPr",        "dimension",        "sheetViews",      "sheetFormatPr",
      "cols",           "sheetData",        "sheetCalcPr",     "sheetProtection",
      "protectedRanges", "scenarios",       "autoFilter",      "sortState",
      "dataConsolidate", "customSheetViews", "mergeCells",     "phoneticPr",
      "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions",
      "pageMargins",    "pageSetup",        "headerFooter",    "rowBreaks",
      "colBreaks",      "customProperties", "cellWatches",     "ignoredErrors",
      "smartTags",      "drawing",          "legacyDrawing",   "legacyDrawingHF",
      "drawingHF",      "picture",          "oleObjects",      "controls",
      "webPublishItems", "tableParts",      "extLst"};
  return RankIn(name, kOrder, std::size(kOrder));
}

int WorkbookRank(std::string_view name) {
  static constexpr const char* kOrder[] = {
      "fileVersion",   "fileSharing",      "workbookPr",     "workbookProtection",
      "bookViews",     "sheets",           "functionGroups", "externalReferences",
      "definedNames",  "calcPr",           "oleSize",        "customWorkbookViews",
      "pivotCaches",   "smartTagPr",       "smartTagTypes",  "webPublishing",
      "fileRecoveryPr", "webPublishObjects", "extLst"};
  return RankIn(name, kOrder, std::size(kOrder));
}

std::vector<const std::string*> OrderFragments(const std::vector<XmlFragment>& kept,
                                               const std::vector<XmlFragment>& own,
                                               int (*rank)(std::string_view)) {
  struct Item {
    int rank;
    size_t sub;
    const std::string* xml;
  };
  std::vector<Item> items;
  int last = 0;
  for (size_t i = 0; i < kept.size(); ++i) {
    int r = rank(kept[i].name);
    if (r == 0) r = last;
    last = r;
    bool replaced = false;
    for (const XmlFragment& o : own) replaced = replaced || o.name == kept[i].name;
    if (!replaced) items.push_back({r, i + 1, &kept[i].xml});
  }
  for (const XmlFragment& o : own) items.push_back({rank(o.name), 0, &o.xml});
  std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.sub < b.sub;
  });
  std::vector<const std::string*> out;
  for (const Item& i : items) out.push_back(i.xml);
  return out;
}

// --- Moving ranges ------------------------------------------------------------------------

namespace {

// Moves one span [a, b] of lines for an insertion or deletion of [first, first+count-1].
// False when the span was deleted whole.
bool MoveSpan(int& a, int& b, bool insert, int first, int count, int limit) {
  if (b < first) return true;
  if (insert) {
    if (a >= first) a += count;
    b += count;
    if (a > limit) return false;
    b = std::min(b, limit);
    return true;
  }
  const int end = first + count - 1;
  if (a > end) {
    a -= count;
    b -= count;
    return true;
  }
  if (a >= first && b <= end) return false;
  if (a >= first) a = first;
  b = b > end ? b - count : first - 1;
  return true;
}

// One part of a range: a cell, or a whole column (row 0) or whole row (col 0).
using RefPart = formula::ScannedCorner;

void AppendRefPart(const RefPart& p, std::string& out) {
  if (p.col) {
    if (p.colAbs) out += '$';
    text::AppendColumnLetters(out, p.col);
  }
  if (p.row) {
    if (p.rowAbs) out += '$';
    out += std::to_string(p.row);
  }
}

// Parses "A1" or "A1:B2" (or "A:B", "1:2") at s[i]. False when it is none of these.
bool ParseRange(std::string_view s, size_t& i, RefPart& a, RefPart& b, bool& pair) {
  a = RefPart{};
  size_t j = formula::ScanRefPart(s, i, &a);
  if (j == std::string_view::npos) return false;
  pair = false;
  b = a;
  if (j < s.size() && s[j] == ':') {
    RefPart second;
    const size_t k = formula::ScanRefPart(s, j + 1, &second);
    if (k != std::string_view::npos && (second.row == 0) == (a.row == 0) &&
        (second.col == 0) == (a.col == 0)) {
      b = second;
      pair = true;
      j = k;
    }
  }
  // A single part must name a cell.
  if (!pair && (a.row == 0 || a.col == 0)) return false;
  i = j;
  return true;
}

// Moves a parsed range: 1 moved, 0 deleted whole, -1 cut by an edit. With `keepCut` an edit
// that cuts the range leaves it where it is, as it leaves a reference in a cell formula.
int MoveParsed(RefPart& a, RefPart& b, const std::vector<LineEdit>& edits, bool keepCut = false) {
  CellRange r{a.row ? a.row : 1, a.col ? a.col : 1, b.row ? b.row : kMaxRows,
              b.col ? b.col : kMaxCols};
  for (const LineEdit& e : edits) {
    bool cut = false;
    auto moved = MoveRange(r, e, &cut);
    if (cut && keepCut) continue;
    if (cut) return -1;
    if (!moved) return 0;
    r = *moved;
  }
  if (a.row) a.row = r.r1, b.row = r.r2;
  if (a.col) a.col = r.c1, b.col = r.c2;
  return 1;
}

using formula::IsNameChar;

bool SameSheetName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string QuotedSheetName(const std::string& name) {
  std::string out;
  formula::AppendSheetName(out, name);
  return out;
}

}  // namespace

std::optional<CellRange> MoveRange(CellRange r, const LineEdit& e, bool* cut) {
  const bool fullBand = e.bandFirst <= 1 && e.bandLast >= (e.rows ? kMaxCols : kMaxRows);
  const int across1 = e.rows ? r.c1 : r.r1, across2 = e.rows ? r.c2 : r.r2;
  int& a = e.rows ? r.r1 : r.c1;
  int& b = e.rows ? r.r2 : r.c2;
  if (!fullBand) {
    if (across2 < e.bandFirst || across1 > e.bandLast) return r;  // beside the band
    if (across1 < e.bandFirst || across2 > e.bandLast) {
      // Part of the range moves and part stays: only harmless when nothing moves.
      if (b >= e.first) *cut = true;
      return r;
    }
  }
  if (!MoveSpan(a, b, e.insert, e.first, e.count, e.rows ? kMaxRows : kMaxCols))
    return std::nullopt;
  return r;
}

bool MoveRefList(std::string& list, const std::vector<LineEdit>& edits) {
  if (edits.empty()) return true;
  std::string out;
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && list[i] == ' ') ++i;
    if (i >= list.size()) break;
    size_t end = list.find(' ', i);
    if (end == std::string::npos) end = list.size();
    std::string_view token(list.data() + i, end - i);
    size_t at = 0;
    RefPart a, b;
    bool pair = false;
    if (!ParseRange(token, at, a, b, pair) || at != token.size()) return false;
    const int moved = MoveParsed(a, b, edits);
    if (moved < 0) return false;
    if (moved > 0) {  // ranges deleted whole just leave the list
      if (!out.empty()) out += ' ';
      AppendRefPart(a, out);
      if (pair || a.row != b.row || a.col != b.col) {
        out += ':';
        AppendRefPart(b, out);
      }
    }
    i = end;
  }
  list = std::move(out);
  return true;
}

bool MoveFormulaRefs(std::string& text, const std::string& sheetName,
                     const std::string& newName, const std::vector<LineEdit>& edits) {
  return MoveFormulaText(text, sheetName, newName, edits, false, false);
}

bool MoveFormulaText(std::string& text, const std::string& sheetName, const std::string& newName,
                     const std::vector<LineEdit>& edits, bool unqualifiedHere,
                     bool deletedAsError) {
  bool whole = true;
  std::string out;
  size_t i = 0;
  const std::string newQualifier = QuotedSheetName(newName) + "!";
  while (i < text.size()) {
    const char ch = text[i];
    if (ch == '"') {  // string literal
      size_t j = i + 1;
      while (j < text.size()) {
        if (text[j] == '"' && j + 1 < text.size() && text[j + 1] == '"') j += 2;
        else if (text[j] == '"') break;
        else ++j;
      }
      out.append(text, i, std::min(j + 1, text.size()) - i);
      i = j + 1;
      continue;
    }
    // A sheet qualifier: 'quoted name'! or name!
    std::string name;
    size_t j = i;
    bool qualifier = false;
    if (ch == '\'') {
      size_t k = i + 1;
      while (k < text.size()) {
        if (text[k] == '\'' && k + 1 < text.size() && text[k + 1] == '\'') {
          name += '\'';
          k += 2;
        } else if (text[k] == '\'') {
          break;
        } else {
          name += text[k++];
        }
      }
      if (k + 1 < text.size() && text[k] == '\'' && text[k + 1] == '!') {
        qualifier = true;
        j = k + 2;
      }
    } else if (IsNameChar(ch) && (i == 0 || !IsNameChar(text[i - 1]))) {
      size_t k = i;
      while (k < text.size() && IsNameChar(text[k])) ++k;
      if (k < text.size() && text[k] == '!') {
        name = text.substr(i, k - i);
        qualifier = true;
        j = k + 1;
      }
    }
    if (!qualifier && unqualifiedHere &&
        (ch == '$' || std::isalnum(static_cast<unsigned char>(ch))) &&
        (i == 0 || (!IsNameChar(text[i - 1]) && text[i - 1] != '$' && text[i - 1] != '!'))) {
      RefPart a, b;
      bool pair = false;
      size_t at = i;
      if (ParseRange(text, at, a, b, pair)) {
        if (MoveParsed(a, b, edits, deletedAsError) != 1) {
          if (!deletedAsError) return false;
          whole = false;
          out += "#REF!";
        } else {
          AppendRefPart(a, out);
          if (pair) {
            out += ':';
            AppendRefPart(b, out);
          }
        }
        i = at;
        continue;
      }
    }
    if (qualifier && SameSheetName(name, sheetName)) {
      RefPart a, b;
      bool pair = false;
      size_t at = j;
      if (ParseRange(text, at, a, b, pair)) {
        if (MoveParsed(a, b, edits, deletedAsError) != 1) {
          if (!deletedAsError) return false;
          whole = false;
          out += newQualifier + "#REF!";
          i = at;
          continue;
        }
        out += newQualifier;
        AppendRefPart(a, out);
        if (pair) {
          out += ':';
          AppendRefPart(b, out);
        }
        i = at;
        continue;
      }
      out += newQualifier;
      i = j;
      continue;
    }
    if (qualifier) {
      out.append(text, i, j - i);
      i = j;
      continue;
    }
    out += ch;
    ++i;
  }
  text = std::move(out);
  return whole;
}

void SetFirstTagAttr(std::string& xml, std::string_view tag, std::string_view attr,
                     const char* value) {
  size_t pos = 0;
  for (;;) {
    pos = xml.find('<', pos);
    if (pos == std::string::npos) return;
    size_t nameEnd = pos + 1;
    while (nameEnd < xml.size() && xml[nameEnd] != ' ' && xml[nameEnd] != '/' &&
           xml[nameEnd] != '>')
      ++nameEnd;
    std::string_view qname(xml.data() + pos + 1, nameEnd - pos - 1);
    size_t colon = qname.rfind(':');
    std::string_view local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    if (local == tag) break;
    pos = nameEnd;
  }
  size_t end = xml.find('>', pos);
  if (end == std::string::npos) return;
  if (end > pos && xml[end - 1] == '/') --end;
  std::string needle = " " + std::string(attr) + "=\"";
  size_t at = xml.find(needle, pos);
  if (at != std::string::npos && at < end) {
    size_t valueEnd = xml.find('"', at + needle.size());
    if (valueEnd == std::string::npos) return;
    if (value) {
      xml.replace(at + needle.size(), valueEnd - at - needle.size(), value);
    } else {
      xml.erase(at, valueEnd + 1 - at);
    }
    return;
  }
  if (value) xml.insert(end, needle + value + "\"");
}

namespace {

std::string_view Local(std::string_view qname) {
  size_t colon = qname.rfind(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

class EditHandler : public XmlHandler {
 public:
  using Edit = std::function<bool(std::string_view, AttrList&, int)>;
  using TextEdit = std::function<void(std::string_view, std::string&)>;
  EditHandler(const Edit& edit, const TextEdit& text) : edit_(edit), text_(text) {
    SetWantText(true);
  }

  void StartElement(std::string_view name, const char** attrs) override {
    ++depth_;
    if (skip_) return;
    Flush();
    AttrList list;
    for (const char** a = attrs; *a; a += 2) list.emplace_back(a[0], a[1]);
    if (!edit_(name, list, depth_)) {
      skip_ = depth_;
      return;
    }
    if (open_) out += '>';
    out += '<';
    out += QName();
    for (const auto& [k, v] : list) {
      out += ' ' + k + "=\"";
      AppendXmlText(v, out);
      out += '"';
    }
    open_ = true;
    names_.emplace_back(name);
  }

  void EndElement(std::string_view) override {
    if (skip_) {
      if (depth_-- == skip_) skip_ = 0;
      return;
    }
    --depth_;
    Flush();
    if (open_) {
      out += "/>";
      open_ = false;
    } else {
      out += "</";
      out += QName();
      out += '>';
    }
    names_.pop_back();
  }

  void Text(const char* data, size_t size) override {
    if (!skip_) pending_.append(data, size);
  }

  std::string out;

 private:
  void Flush() {
    if (pending_.empty()) return;
    if (text_ && !names_.empty()) text_(names_.back(), pending_);
    if (open_) {
      out += '>';
      open_ = false;
    }
    AppendEscapedText(pending_, out);
    pending_.clear();
  }

  const Edit& edit_;
  const TextEdit& text_;
  int depth_ = 0, skip_ = 0;
  bool open_ = false;
  std::string pending_;
  std::vector<std::string> names_;
};

}  // namespace

std::string EditFragment(const std::string& xml,
                         const std::function<bool(std::string_view, AttrList&, int)>& edit,
                         const std::function<void(std::string_view, std::string&)>& text) {
  EditHandler handler(edit, text);
  XmlReader reader(handler, "a kept element");
  reader.Feed(xml.data(), xml.size());
  reader.Finish();
  return std::move(handler.out);
}

std::vector<XmlFragment> KeptSheetElements(const SheetExtras& extras,
                                           const std::string& sheetName,
                                           std::vector<std::string>& notes,
                                           std::vector<std::string>& droppedRels,
                                           const std::vector<std::string>& goneRels) {
  (void)droppedRels;
  const std::vector<LineEdit>& edits = extras.edits;
  if (edits.empty()) return extras.fragments;
  std::vector<XmlFragment> out;
  const std::string where = "Sheet '" + sheetName + "': ";
  for (const XmlFragment& f : extras.fragments) {
    const std::string& n = f.name;
    bool cut = false;
    int kept = 0;
    auto move = [&](AttrList& attrs, std::string_view attr) {
      for (auto& [k, v] : attrs) {
        if (Local(k) != attr) continue;
        if (!MoveRefList(v, edits)) {
          cut = true;
          return false;
        }
        return !v.empty();
      }
      return true;
    };
    // Formulas beside cells (conditional formats, validations) move with the cells they read;
    // references to deleted cells become #REF!, as in cell formulas.
    auto texts = [&](std::string_view name, std::string& text) {
      if (name == "sqref" && !MoveRefList(text, edits)) cut = true;
      if (name == "formula" || name == "formula1" || name == "formula2" || name == "f")
        MoveFormulaText(text, extras.originalName, extras.originalName, edits, true, true);
    };
    std::string xml;
    try {
      if (n == "mergeCells" || n == "dataValidations" || n == "hyperlinks" ||
          n == "protectedRanges" || n == "ignoredErrors") {
        const std::string_view attr = n == "mergeCells" || n == "hyperlinks" ? "ref" : "sqref";
        xml = EditFragment(
            f.xml,
            [&](std::string_view, AttrList& attrs, int depth) {
              if (depth != 2) return true;
              const bool keep = move(attrs, attr);
              kept += keep;
              return keep;
            },
            texts);
        if (kept == 0) xml.clear();
        else if (n == "mergeCells" || n == "dataValidations")
          SetFirstTagAttr(xml, n, "count", std::to_string(kept).c_str());
      } else if (n == "sortState") {
        continue;  // the state of the last sort: meaningless once rows moved
      } else if (n == "conditionalFormatting" || n == "autoFilter") {
        const std::string_view attr = n == "conditionalFormatting" ? "sqref" : "ref";
        xml = EditFragment(
            f.xml,
            [&](std::string_view, AttrList& attrs, int depth) {
              return depth != 1 || move(attrs, attr);
            },
            texts);
      } else if (n == "extLst") {
        xml = EditFragment(
            f.xml, [](std::string_view, AttrList&, int) { return true; }, texts);
      } else if (n == "sheetViews") {
        xml = MoveSheetViews(f.xml, edits);
      } else if (n == "rowBreaks" || n == "colBreaks") {
        xml = MovePageBreaks(f.xml, n == "rowBreaks", edits);
      } else if (n == "oleObjects" || n == "controls") {
        xml = MoveControlAnchors(f.xml, edits);
      } else if (n == "tableParts") {
        // Tables whose cells were all deleted go with their parts.
        xml = EditFragment(f.xml, [&](std::string_view name, AttrList& attrs, int depth) {
          if (depth != 2 || name != "tablePart") return true;
          for (const auto& [k, v] : attrs)
            if (Local(k) == "id" &&
                std::find(goneRels.begin(), goneRels.end(), v) != goneRels.end())
              return false;
          ++kept;
          return true;
        });
        if (kept == 0) xml.clear();
        else SetFirstTagAttr(xml, "tableParts", "count", std::to_string(kept).c_str());
      } else {
        xml = f.xml;
      }
    } catch (const GridError&) {
      cut = true;  // unreadable: left out
    }
    if (cut) {
      notes.push_back(where + "the " + n +
                      " element was left out: an insertion or deletion split a range of it");
      continue;
    }
    if (!xml.empty()) out.push_back({n, std::move(xml)});
  }
  return out;
}

}  // namespace io
}  // namespace ddt::grid
