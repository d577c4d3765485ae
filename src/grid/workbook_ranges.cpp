// Workbook: inserting, deleting and clearing ranges.
#include <algorithm>

#include "grid/formula/a1.h"
#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {

namespace {
// Above this many changed cells the calculator hears of one structural change instead.
constexpr size_t kCellNoticeLimit = 1000;

void NormalizeLines(int& first, int& last, int limit) {
  if (first == kAll && last == kAll) {
    first = 1;
    last = limit;
    return;
  }
  if (first < 1 || last < 1 || first > limit || last > limit)
    throw GridError("Invalid range.", ErrorKind::BadArgument);
  if (first > last) std::swap(first, last);
}
}  // namespace

Range NormalizeRange(const Range& range) {
  Range r = range;
  NormalizeLines(r.firstRow, r.lastRow, kMaxRows);
  NormalizeLines(r.firstCol, r.lastCol, kMaxCols);
  return r;
}

void Workbook::ContentsChanged(const Sheet& s, const std::vector<std::pair<int, int>>& cells) {
  if (cells.size() > kCellNoticeLimit) {
    // One notice for the block's bounding range instead of one per cell.
    Range bounds{cells.front().first, cells.front().second, cells.front().first,
                 cells.front().second};
    for (auto [row, col] : cells) {
      bounds.firstRow = std::min(bounds.firstRow, row);
      bounds.lastRow = std::max(bounds.lastRow, row);
      bounds.firstCol = std::min(bounds.firstCol, col);
      bounds.lastCol = std::max(bounds.lastCol, col);
    }
    Calc().RangeChanged(s.Id(), bounds);
    return;
  }
  for (auto [row, col] : cells) Calc().CellChanged(s.Id(), row, col);
}

void Workbook::AdjustFormulas(int kind, int first, int count, int bandFirst, int bandLast) {
  formula::StructuralChange change;
  change.sheetId = Current().Id();
  change.kind = static_cast<formula::StructuralChange::Kind>(kind);
  change.first = first;
  change.count = count;
  change.bandFirst = bandFirst;
  change.bandLast = bandLast;
  for (auto& sheet : sheets_) {
    if (!sheet->mayHaveFormulas) continue;
    bool any = false;
    uint32_t host = sheet->Id();
    sheet->ForEachMutableIn(0, 1, kMaxRows, kMaxCols, [&](int, int, Cell& c) {
      if (!c.formula) return;
      any = true;
      if (auto adjusted = formula::Adjusted(*c.formula, change, host, this)) {
        c.formula = std::move(adjusted);
        c.dirty = true;
      }
    });
    sheet->mayHaveFormulas = any;
  }
  // Formulas that moved (ROW(), ranges partly inside the band) or read moved cells go stale.
  Calc().CellsMoved(change);
}

void Workbook::CheckArrayShift(const Sheet& s, const Range& r, bool rowsMove, bool insert,
                               int bandFirst, int bandLast) const {
  const int first = rowsMove ? r.firstRow : r.firstCol;
  const int last = rowsMove ? r.lastRow : r.lastCol;
  for (const Range& a : calc_->ArraysOverlapping(s.Id(), Range{1, 1, kMaxRows, kMaxCols})) {
    // Along the moving axis (lo..hi) and across it (the band decides what moves).
    const int lo = rowsMove ? a.firstRow : a.firstCol, hi = rowsMove ? a.lastRow : a.lastCol;
    const int across1 = rowsMove ? a.firstCol : a.firstRow;
    const int across2 = rowsMove ? a.lastCol : a.lastRow;
    if (across2 < bandFirst || across1 > bandLast || hi < first) continue;  // stays as it is
    const bool inBand = across1 >= bandFirst && across2 <= bandLast;
    bool whole;
    if (!inBand) whole = false;  // part of it would move
    else if (insert) whole = lo >= first;
    else whole = lo > last || (lo >= first && hi <= last);
    if (!whole) RefuseArrayEdit(a);
  }
}

void Workbook::ShiftRange(const Range& range, Shift shift, bool insert) {
  using Kind = formula::StructuralChange::Kind;
  Range r = NormalizeRange(range);
  Sheet& s = Current();
  bool rowsMove = false;
  int bandFirst = 1, bandLast = 1;
  switch (shift) {
    case Shift::Rows:
      rowsMove = true;
      bandLast = kMaxCols;
      break;
    case Shift::Columns:
      bandLast = kMaxRows;
      break;
    case Shift::CellsVertical:
      rowsMove = true;
      bandFirst = r.firstCol;
      bandLast = r.lastCol;
      break;
    case Shift::CellsHorizontal:
      bandFirst = r.firstRow;
      bandLast = r.lastRow;
      break;
    default: throw GridError("Invalid shift kind.", ErrorKind::BadArgument);
  }
  CheckArrayShift(s, r, rowsMove, insert, bandFirst, bandLast);
  if (rowsMove) {
    int first = r.firstRow, count = r.lastRow - r.firstRow + 1;
    if (insert) s.InsertRows(first, count, bandFirst, bandLast);
    else s.DeleteRows(first, count, bandFirst, bandLast);
    AdjustFormulas(static_cast<int>(insert ? Kind::InsertRows : Kind::DeleteRows), first, count,
                   bandFirst, bandLast);
  } else {
    int first = r.firstCol, count = r.lastCol - r.firstCol + 1;
    if (insert) s.InsertCols(first, count, bandFirst, bandLast);
    else s.DeleteCols(first, count, bandFirst, bandLast);
    AdjustFormulas(static_cast<int>(insert ? Kind::InsertCols : Kind::DeleteCols), first, count,
                   bandFirst, bandLast);
  }
  // What hangs on the cells beside the model (drawings, notes, ... of the file) follows.
  // Rows are counted as the file counts them: one more while the header row is held out.
  LineEditEvent edit;
  edit.sheetId = s.Id();
  edit.rows = rowsMove;
  edit.insert = insert;
  edit.first = rowsMove ? r.firstRow + rowOrigin_ : r.firstCol;
  edit.count = rowsMove ? r.lastRow - r.firstRow + 1 : r.lastCol - r.firstCol + 1;
  edit.bandFirst = bandFirst;
  edit.bandLast = bandLast;
  if (!rowsMove && !(bandFirst <= 1 && bandLast >= kMaxRows)) {
    edit.bandFirst += rowOrigin_;
    edit.bandLast += rowOrigin_;
  }
  TellStructure([&](StructureListener& l) { l.LinesEdited(edit); });
  Changed();
}

void Workbook::InsertRange(const Range& range, Shift shift) { ShiftRange(range, shift, true); }
void Workbook::DeleteRange(const Range& range, Shift shift) { ShiftRange(range, shift, false); }

void Workbook::ClearIn(Sheet& s, const Range& r, Clear what) {
  if (what != Clear::All && what != Clear::Values && what != Clear::Formats)
    throw GridError("Invalid clear kind.", ErrorKind::BadArgument);
  bool values = what != Clear::Formats, formats = what != Clear::Values;
  if (values) CheckArrayEdit(s, r);
  std::vector<std::pair<int, int>> changed;
  if (values || s.mayHaveCellStyles) {
    s.ForEachMutableIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, Cell& c) {
      if (values && HasContent(c)) {
        changed.emplace_back(row, col);
        c.value = Empty{};
        c.formula.reset();
        c.forcedText = false;
        c.dirty = false;
      }
      if (formats) c.style = kDefaultStyle;
    });
    s.Compact(r.firstRow, r.lastRow);
  }
  if (formats) {
    if (CoversAllRows(r)) s.colStyles.Set(r.firstCol, r.lastCol, kDefaultStyle);
    if (CoversAllCols(r)) s.rowStyles.Set(r.firstRow, r.lastRow, kDefaultStyle);
    if (CoversAllRows(r) && CoversAllCols(r)) s.sheetStyle = kDefaultStyle;
  }
  ContentsChanged(s, changed);
}

void Workbook::ClearRange(const Range& range, Clear what) {
  ClearIn(Current(), NormalizeRange(range), what);
  Changed();
}

void Workbook::ClearRanges(int sheet, const std::vector<Range>& ranges, Clear what) {
  Sheet& s = SheetAt(sheet);
  std::vector<Range> normalized;
  normalized.reserve(ranges.size());
  for (const Range& r : ranges) normalized.push_back(NormalizeRange(r));
  // All or nothing: a range that would change part of an array refuses the whole clear.
  if (what != Clear::Formats)
    for (const Range& r : normalized) CheckArrayEdit(s, r);
  for (const Range& r : normalized) ClearIn(s, r, what);
  Changed();
}

}  // namespace ddt::grid
