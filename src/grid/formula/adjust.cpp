// New formulas for moved cells: structural changes, copy and paste, other workbooks.
#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "grid/formula/a1.h"
#include "grid/formula/ast.h"
#include "grid/workbook.h"


namespace ddt::grid::formula {

namespace {

using Kind = Reference::Kind;

// One dimension of a change: positions first..first+count-1 inserted or deleted along the
// moving axis, for references whose cross extent lies inside [bandFirst, bandLast].
struct AxisChange {
  bool insert;
  int first, count;
  int limit;  // kMaxRows or kMaxCols
};

// Adjusts the span [p1, p2] (p1 == p2 for a single cell) along the moving axis. Returns false
// when the span is gone.
bool AdjustSpan(const AxisChange& ch, bool isSingle, int* p1, int* p2) {
  int last = ch.first + ch.count - 1;
  if (ch.insert) {
    if (*p1 >= ch.first) {
      *p1 += ch.count;
      *p2 += ch.count;
    } else if (*p2 >= ch.first) {
      *p2 += ch.count;  // insertion inside the span grows it
    } else {
      return true;
    }
    if (*p1 > ch.limit) return false;
    if (*p2 > ch.limit) {
      if (isSingle) return false;
      *p2 = ch.limit;
    }
    return true;
  }
  int n1 = *p1 < ch.first ? *p1 : *p1 > last ? *p1 - ch.count : ch.first;
  int n2 = *p2 < ch.first ? *p2 : *p2 > last ? *p2 - ch.count : ch.first - 1;
  if (n2 < n1) return false;
  *p1 = n1;
  *p2 = n2;
  return true;
}

// Applies a change to one reference; returns true when the reference changed.
bool AdjustRef(Reference& r, const StructuralChange& ch) {
  if (r.invalid) return false;
  bool rowsMove = ch.kind == StructuralChange::Kind::InsertRows ||
                  ch.kind == StructuralChange::Kind::DeleteRows;
  bool insert = ch.kind == StructuralChange::Kind::InsertRows ||
                ch.kind == StructuralChange::Kind::InsertCols;
  AxisChange axis{insert, ch.first, ch.count, rowsMove ? kMaxRows : kMaxCols};
  // The reference's extent across the moving axis must lie inside the band.
  int cross1 = rowsMove ? r.FirstCol() : r.FirstRow();
  int cross2 = rowsMove ? r.LastCol() : r.LastRow();
  // A band from the first line covers a held header row (row 0) as well.
  if ((ch.bandFirst > 1 && cross1 < ch.bandFirst) || cross2 > ch.bandLast) return false;
  // Whole columns do not move with rows, nor whole rows with columns.
  if (rowsMove && r.kind == Kind::Cols) return false;
  if (!rowsMove && r.kind == Kind::Rows) return false;
  int* p1 = rowsMove ? &r.row1 : &r.col1;
  int* p2 = rowsMove ? &r.row2 : &r.col2;
  if (r.kind == Kind::Cell) *p2 = *p1;
  int old1 = *p1, old2 = *p2;
  if (!AdjustSpan(axis, r.kind == Kind::Cell, p1, p2)) {
    r.invalid = true;
    return true;
  }
  return *p1 != old1 || *p2 != old2;
}

// The sheet a reference points at, for a formula living on `host`.
uint32_t TargetSheet(const Reference& r, uint32_t host) { return r.hasSheet ? r.sheetId : host; }

// Moves a reference as copy and paste moves it: relative parts by (rows, cols), $ parts stay.
// Returns true when it changed (or went off the sheet: then it is invalid).
bool ShiftRef(Reference& r, int rows, int cols, int minRow) {
  if (r.invalid) return false;
  bool ok = true, moved = false;
  auto move = [&](int* p, bool abs, int by, int lowest, int limit) {
    if (abs) return;
    *p += by;
    moved = moved || by != 0;
    if (*p < lowest || *p > limit) ok = false;
  };
  if (r.kind != Kind::Cols) {
    move(&r.row1, r.row1Abs, rows, minRow, kMaxRows);
    if (r.kind != Kind::Cell) move(&r.row2, r.row2Abs, rows, minRow, kMaxRows);
  }
  if (r.kind != Kind::Rows) {
    move(&r.col1, r.col1Abs, cols, 1, kMaxCols);
    if (r.kind != Kind::Cell) move(&r.col2, r.col2Abs, cols, 1, kMaxCols);
  }
  if (!ok) {
    r.invalid = true;
    return true;
  }
  // A mixed reference ($A1:B$2) may turn over; keep the corners in order.
  if (r.kind != Kind::Cell) {
    if (r.kind != Kind::Cols && r.row1 > r.row2)
      std::swap(r.row1, r.row2), std::swap(r.row1Abs, r.row2Abs);
    if (r.kind != Kind::Rows && r.col1 > r.col2)
      std::swap(r.col1, r.col2), std::swap(r.col1Abs, r.col2Abs);
  }
  return moved;
}

// Rewrites the plain A1 references of a formula's text. The text is read token by token:
// strings, bracketed parts (structured references, external books) and error literals are
// copied, and so are names and calls, known or not; a sheet prefix tells which sheet the
// reference after it is on (kElsewhere for another book, several sheets, or a sheet `book`
// does not have). `edit` gets each reference in grid rows (the text's rows less `origin`) and
// its sheet, and returns true when it changed it.
class VerbatimAdjuster {
 public:
  static constexpr uint32_t kElsewhere = 0xFFFFFFFE;
  using Edit = std::function<bool(Reference& r, uint32_t sheet)>;

  VerbatimAdjuster(std::string_view text, uint32_t host, const Workbook* book, int origin,
                   Edit edit)
      : t_(text), edit_(std::move(edit)), host_(host), book_(book), origin_(origin) {}

  // The adjusted text; nothing when no reference changed.
  std::optional<std::string> Run() {
    while (p_ < t_.size()) {
      char c = t_[p_];
      if (c == '"') {
        CopyQuoted('"');
        target_ = kNone;
      } else if (c == '\'') {
        size_t start = p_;
        CopyQuoted('\'');
        if (p_ < t_.size() && t_[p_] == '!') {
          std::string_view quoted = t_.substr(start + 1, p_ - start - 2);
          Prefix(Unquote(quoted));
        }
      } else if (c == '[') {
        CopyBracketed();
        external_ = true;  // "[1]Sheet1!A1": what follows is another book's, if anything
      } else if (c == '#') {
        // An error literal (#REF!, #DIV/0!, #N/A, #NAME?) is no sheet prefix.
        size_t start = p_++;
        while (p_ < t_.size() && (IsNameChar(t_[p_]) || t_[p_] == '/')) ++p_;
        if (p_ < t_.size() && (t_[p_] == '!' || t_[p_] == '?')) ++p_;
        out_.append(t_.substr(start, p_ - start));
        target_ = kNone;
      } else if (IsNameChar(c) || c == '$') {
        Word();
      } else {
        out_ += c;
        ++p_;
        external_ = false;
        target_ = kNone;
      }
    }
    if (!changed_) return std::nullopt;
    return std::move(out_);
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFF;  // no prefix read: the host's sheet

  static std::string Unquote(std::string_view q) {
    std::string s;
    for (size_t i = 0; i < q.size(); ++i) {
      s += q[i];
      if (q[i] == '\'' && i + 1 < q.size() && q[i + 1] == '\'') ++i;
    }
    return s;
  }

  void CopyQuoted(char quote) {
    size_t start = p_++;
    while (p_ < t_.size()) {
      if (t_[p_] == quote) {
        if (p_ + 1 < t_.size() && t_[p_ + 1] == quote) {
          p_ += 2;
          continue;
        }
        ++p_;
        break;
      }
      ++p_;
    }
    out_.append(t_.substr(start, p_ - start));
  }

  void CopyBracketed() {
    size_t start = p_;
    int depth = 0;
    while (p_ < t_.size()) {
      char c = t_[p_++];
      if (c == '\'' && p_ < t_.size()) {
        ++p_;  // an escaped character inside a column name: '[ or ']
      } else if (c == '[') {
        ++depth;
      } else if (c == ']' && --depth == 0) {
        break;
      }
    }
    out_.append(t_.substr(start, p_ - start));
  }

  // A sheet prefix ending at the '!' at p_ (copied): the sheet the next reference is on.
  void Prefix(const std::string& name) {
    out_ += '!';
    ++p_;
    if (!book_ || external_ || name.find('[') != std::string::npos ||
        name.find(':') != std::string::npos) {
      target_ = kElsewhere;  // another book, or several sheets
    } else {
      uint32_t id = BookSheetNames(*book_).IdOf(name);
      target_ = id ? id : kElsewhere;
    }
    external_ = false;
  }

  // A word: a reference, a sheet prefix, a name or a call.
  void Word() {
    ScannedCorner a, b;
    Reference r;
    size_t end;
    if ((end = ScanColumnRange(t_, p_, &a, &b)) != npos) {
      r.kind = Reference::Kind::Cols;
    } else if ((end = ScanRowRange(t_, p_, &a, &b)) != npos) {
      r.kind = Reference::Kind::Rows;
    } else if ((end = ScanCellRef(t_, p_, &a)) != npos) {
      r.kind = Reference::Kind::Cell;
      b = a;
      if (end < t_.size() && t_[end] == ':') {
        size_t end2 = ScanCellRef(t_, end + 1, &b);
        if (end2 != npos) {
          r.kind = Reference::Kind::Area;
          end = end2;
        }
      }
    }
    if (end == npos || (end < t_.size() && t_[end] == '[')) {
      // A name: a sheet prefix before '!', a table before '[', else a call or a name.
      size_t start = p_;
      while (p_ < t_.size() && (IsNameChar(t_[p_]) || t_[p_] == '$' || t_[p_] == ':')) ++p_;
      std::string_view word = t_.substr(start, p_ - start);
      out_.append(word);
      if (p_ < t_.size() && t_[p_] == '!') {
        Prefix(std::string(word));
      } else {
        target_ = kNone;
        external_ = false;
      }
      return;
    }
    const uint32_t sheet = target_ == kNone ? host_ : target_;
    target_ = kNone;
    external_ = false;
    std::string_view written = t_.substr(p_, end - p_);
    p_ = end;
    if (r.kind == Reference::Kind::Area) {
      if (a.row > b.row) std::swap(a.row, b.row), std::swap(a.rowAbs, b.rowAbs);
      if (a.col > b.col) std::swap(a.col, b.col), std::swap(a.colAbs, b.colAbs);
    }
    // The text counts the file's rows.
    r.row1 = r.kind == Reference::Kind::Cols ? 1 - origin_ : a.row - origin_;
    r.row2 = r.kind == Reference::Kind::Cols ? r.row1 : b.row - origin_;
    r.col1 = a.col;
    r.col2 = b.col;
    r.row1Abs = a.rowAbs, r.row2Abs = b.rowAbs, r.col1Abs = a.colAbs, r.col2Abs = b.colAbs;
    if (!edit_(r, sheet)) {
      out_.append(written);
      return;
    }
    changed_ = true;
    if (r.invalid) {
      out_ += "#REF!";
      return;
    }
    auto corner = [&](int row, bool rowAbs, int col, bool colAbs, bool rows, bool cols) {
      if (cols) {
        if (colAbs) out_ += '$';
        AppendColumnLetters(out_, col);
      }
      if (rows) {
        if (rowAbs) out_ += '$';
        out_ += std::to_string(row + origin_);
      }
    };
    const bool rows = r.kind != Reference::Kind::Cols, cols = r.kind != Reference::Kind::Rows;
    corner(r.row1, r.row1Abs, r.col1, r.col1Abs, rows, cols);
    if (r.kind != Reference::Kind::Cell) {
      out_ += ':';
      corner(r.row2, r.row2Abs, r.col2, r.col2Abs, rows, cols);
    }
  }

  static constexpr size_t npos = std::string_view::npos;
  std::string_view t_;
  Edit edit_;
  uint32_t host_;
  const Workbook* book_;
  int origin_;
  size_t p_ = 0;
  std::string out_;
  uint32_t target_ = kNone;
  bool external_ = false;
  bool changed_ = false;
};

}  // namespace

FormulaPtr Adjusted(const Formula& f, const StructuralChange& change, uint32_t hostSheetId,
                    const Workbook* book) {
  if (f.isVerbatim) {
    if (!book) return nullptr;
    auto text = VerbatimAdjuster(f.verbatim, hostSheetId, book, book->RowOrigin(),
                                 [&](Reference& r, uint32_t sheet) {
                                   return sheet == change.sheetId && AdjustRef(r, change);
                                 })
                    .Run();
    if (!text) return nullptr;
    auto copy = MakeFormula(f);
    copy->verbatim = std::move(*text);
    return copy;
  }
  Ref<Formula> copy;
  for (size_t i = 0; i < f.refs.size(); ++i) {
    if (TargetSheet(f.refs[i], hostSheetId) != change.sheetId) continue;
    Reference r = f.refs[i];
    if (!AdjustRef(r, change)) continue;
    if (!copy) copy = MakeFormula(f);
    copy->refs[i] = r;
  }
  return copy;
}

FormulaPtr VerbatimFormula(std::string text) {
  auto f = MakeFormula();
  f->isVerbatim = true;
  f->verbatim = std::move(text);
  Node n;
  n.kind = NodeKind::Error;
  n.error = ErrorCode::Name;
  f->nodes.push_back(n);
  return f;
}

bool KeepsCachedResult(const Formula& f) {
  if (f.isVerbatim) return true;
  for (const Node& n : f.nodes)
    if (n.kind == NodeKind::Name || (n.kind == NodeKind::Call && !n.fn)) return true;
  return false;
}

FormulaPtr AsArrayFormula(const Formula& f, int rows, int cols, bool dynamic) {
  auto copy = MakeFormula(f);
  copy->isArray = true;
  copy->isDynamic = f.isDynamic || dynamic;
  copy->arrayRows = std::clamp(rows, 1, kMaxRows);
  copy->arrayCols = std::clamp(cols, 1, kMaxCols);
  return copy;
}

bool IsArrayFormula(const Formula& f, int* rows, int* cols) {
  if (!f.isArray) return false;
  *rows = f.arrayRows;
  *cols = f.arrayCols;
  return true;
}

bool IsDynamicArrayFormula(const Formula& f) { return f.isArray && f.isDynamic; }

FormulaPtr AsEnteredFormula(FormulaPtr f) {
  if (!f || f->maySpill || f->isArray || f->isVerbatim) return f;
  auto copy = MakeFormula(*f);
  copy->maySpill = true;
  return copy;
}

bool MaySpill(const Formula& f) { return IsDynamicArrayFormula(f) || (f.maySpill && !f.isArray); }

bool FillsArrayCells(const Formula& f, int* rows, int* cols) {
  if (!f.isArray || (f.arrayRows == 1 && f.arrayCols == 1)) return false;
  const long limit = f.isDynamic ? kMaxSpillCells : kMaxFilledArrayCells;
  if (static_cast<long>(f.arrayRows) * f.arrayCols > limit) return false;
  *rows = f.arrayRows;
  *cols = f.arrayCols;
  return true;
}

FormulaPtr Translated(const Formula& f, int rows) {
  auto copy = MakeFormula(f);
  for (Reference& r : copy->refs) {
    if (r.invalid) continue;
    if (r.kind == Kind::Cols) {
      // Whole columns stay whole: they start at the header row while it is held.
      r.row1 = r.row2 = std::clamp(r.row1 + rows, 0, 1);
      continue;
    }
    r.row1 += rows;
    r.row2 = r.kind == Kind::Cell ? r.row1 : r.row2 + rows;
    if (r.row1 < 0 || r.row2 > kMaxRows) r.invalid = true;
  }
  return copy;
}

FormulaPtr Shifted(const Formula& f, int rows, int cols, int minRow) {
  auto copy = MakeFormula(f);
  if (f.isVerbatim) {
    // The text's rows are the file's: one more than the grid's while the header row is held
    // (then minRow is 0).
    auto text = VerbatimAdjuster(f.verbatim, 0, nullptr, 1 - minRow,
                                 [&](Reference& r, uint32_t) {
                                   return ShiftRef(r, rows, cols, minRow);
                                 })
                    .Run();
    if (text) copy->verbatim = std::move(*text);
    return copy;
  }
  for (Reference& r : copy->refs) ShiftRef(r, rows, cols, minRow);
  return copy;
}

}  // namespace ddt::grid::formula
