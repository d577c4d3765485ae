// New formulas for moved cells: structural changes, copy and paste, other workbooks.
#include <algorithm>

#include "grid/formula/ast.h"


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

}  // namespace

FormulaPtr Adjusted(const Formula& f, const StructuralChange& change, uint32_t hostSheetId) {
  std::shared_ptr<Formula> copy;
  for (size_t i = 0; i < f.refs.size(); ++i) {
    if (TargetSheet(f.refs[i], hostSheetId) != change.sheetId) continue;
    Reference r = f.refs[i];
    if (!AdjustRef(r, change)) continue;
    if (!copy) copy = std::make_shared<Formula>(f);
    copy->refs[i] = r;
  }
  return copy;
}

FormulaPtr VerbatimFormula(std::string text) {
  auto f = std::make_shared<Formula>();
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
  auto copy = std::make_shared<Formula>(f);
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

bool FillsArrayCells(const Formula& f, int* rows, int* cols) {
  if (!f.isArray || (f.arrayRows == 1 && f.arrayCols == 1)) return false;
  if (static_cast<long>(f.arrayRows) * f.arrayCols > kMaxFilledArrayCells) return false;
  *rows = f.arrayRows;
  *cols = f.arrayCols;
  return true;
}

FormulaPtr Translated(const Formula& f, int rows) {
  auto copy = std::make_shared<Formula>(f);
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
  auto copy = std::make_shared<Formula>(f);
  for (Reference& r : copy->refs) {
    if (r.invalid) continue;
    bool ok = true;
    auto move = [&](int* p, bool abs, int by, int lowest, int limit) {
      if (abs) return;
      *p += by;
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
      continue;
    }
    // A mixed reference ($A1:B$2) may turn over; keep the corners in order.
    if (r.kind != Kind::Cell) {
      if (r.kind != Kind::Cols && r.row1 > r.row2)
        std::swap(r.row1, r.row2), std::swap(r.row1Abs, r.row2Abs);
      if (r.kind != Kind::Rows && r.col1 > r.col2)
        std::swap(r.col1, r.col2), std::swap(r.col1Abs, r.col2Abs);
    }
  }
  return copy;
}

}  // namespace ddt::grid::formula
