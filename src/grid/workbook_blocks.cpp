// Workbook: blocks of cells taken out of a workbook and put into one (copy, cut, paste and
// copies between workbooks).
#include "grid/cell_block.h"

#include <algorithm>
#include <unordered_map>

#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {

void Workbook::KeepFormulasAsText(ClipBlock& block) const {
  if (block.sourceHandle != handle_) return;
  for (ClipBlock::Item& item : block.items) {
    if (!item.formula) continue;
    item.formulaText = formula::PrintFormula(*item.formula, *this);
    item.formula.reset();
  }
  block.sourceHandle = 0;
}

namespace {

template <class T, class Fn>
void TakeRuns(const LineMap<T>& map, int first, int last, Fn add) {
  map.ForEach([&](int f, int l, const T& v) {
    if (l < first || f > last) return;
    add(std::max(f, first) - first, std::min(l, last) - first, v);
  });
}

template <class T, class Fn>
void PasteRuns(LineMap<T>& map, int at, int span, int limit, const std::vector<ClipRun<T>>& runs,
               Fn value) {
  map.Set(at, std::min(at + span - 1, limit), map.Default());
  for (const ClipRun<T>& run : runs) {
    int f = at + run.first;
    if (f > limit) break;
    map.Set(f, std::min(at + run.last, limit), value(run.value));
  }
}

}  // namespace

ClipBlock Workbook::TakeBlockOf(const Sheet& s, const Range& r) const {
  ClipBlock b;
  b.rows = r.lastRow - r.firstRow + 1;
  b.cols = r.lastCol - r.firstCol + 1;
  b.originRow = r.firstRow;
  b.originCol = r.firstCol;
  b.sourceHandle = handle_;
  b.wholeCols = CoversAllRows(r);
  b.wholeRows = CoversAllCols(r);
  std::unordered_map<StyleId, int> index;
  auto styleIndex = [&](StyleId id) {
    if (id == kDefaultStyle) return -1;
    auto [it, added] = index.emplace(id, static_cast<int>(b.styles.size()));
    if (added) b.styles.push_back(styles_.Get(id));
    return it->second;
  };
  const bool lines = b.wholeCols || b.wholeRows;
  // The cells a dynamic array spills over, when its anchor is taken too: the anchor's formula
  // spills again where the block goes, so their values stay behind (as constants they would
  // be in its way). Without the anchor, spilled cells are taken as the values they show.
  calc_->ComputePendingSpills();
  std::vector<Range> spilled;
  for (const Range& a : calc_->ArraysOverlapping(s.Id(), r)) {
    if (a.firstRow < r.firstRow || a.firstRow > r.lastRow || a.firstCol < r.firstCol ||
        a.firstCol > r.lastCol)
      continue;
    const Cell* anchor = s.Find(a.firstRow, a.firstCol);
    if (anchor && anchor->formula && formula::IsDynamicArrayFormula(*anchor->formula))
      spilled.push_back(a);
  }
  auto spilledOver = [&](int row, int col) {
    for (const Range& a : spilled)
      if (row >= a.firstRow && row <= a.lastRow && col >= a.firstCol && col <= a.lastCol &&
          (row != a.firstRow || col != a.firstCol))
        return true;
    return false;
  };
  s.ForEachIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, const Cell& c) {
    ClipBlock::Item item;
    item.dr = row - r.firstRow;
    item.dc = col - r.firstCol;
    if (!spilled.empty() && !c.formula && spilledOver(row, col)) {
      // Only its look goes with the block.
      item.style = styleIndex(lines ? c.style : CellStyleId(s, row, col));
      if (item.style >= 0) b.items.push_back(std::move(item));
      return;
    }
    item.value = c.value;
    item.formula = c.formula;
    item.forcedText = c.forcedText;
    // A block of whole lines brings the line styles along; a rectangle keeps what shows.
    item.style = styleIndex(lines ? c.style : CellStyleId(s, row, col));
    b.items.push_back(std::move(item));
  });
  if (b.wholeCols) {
    TakeRuns(s.colHeadings, r.firstCol, r.lastCol, [&](int f, int l, const std::string& v) { b.headings.push_back({f, l, v}); });
    TakeRuns(s.colWidths, r.firstCol, r.lastCol, [&](int f, int l, double v) { b.widths.push_back({f, l, v}); });
    TakeRuns(s.colHidden, r.firstCol, r.lastCol, [&](int f, int l, bool v) { b.hidden.push_back({f, l, v}); });
    TakeRuns(s.colStyles, r.firstCol, r.lastCol, [&](int f, int l, StyleId v) { b.lineStyles.push_back({f, l, styleIndex(v)}); });
  } else if (b.wholeRows) {
    TakeRuns(s.rowHeadings, r.firstRow, r.lastRow, [&](int f, int l, const std::string& v) { b.headings.push_back({f, l, v}); });
    TakeRuns(s.rowHidden, r.firstRow, r.lastRow, [&](int f, int l, bool v) { b.hidden.push_back({f, l, v}); });
    TakeRuns(s.rowStyles, r.firstRow, r.lastRow, [&](int f, int l, StyleId v) { b.lineStyles.push_back({f, l, styleIndex(v)}); });
  }
  if (b.wholeCols && b.wholeRows) b.sheetStyle = styleIndex(s.sheetStyle);
  return b;
}

void Workbook::PasteBlockInto(Sheet& s, int row, int col, const ClipBlock& b, bool moved) {
  Range dest{row, col, std::min(row + b.rows - 1, kMaxRows), std::min(col + b.cols - 1, kMaxCols)};
  ClearIn(s, dest, Clear::All);

  std::vector<StyleId> ids;
  for (const Style& st : b.styles) ids.push_back(styles_.Intern(st));
  auto idOf = [&](int index) { return index < 0 ? kDefaultStyle : ids[static_cast<size_t>(index)]; };
  const Workbook* source = b.sourceHandle == handle_ ? this : FromHandle(b.sourceHandle);

  std::vector<std::pair<int, int>> changed;
  std::vector<std::pair<int, int>> arrays;  // pasted array formulas that fill other cells
  for (const ClipBlock::Item& item : b.items) {
    int tr = row + item.dr, tc = col + item.dc;
    if (tr > kMaxRows || tc > kMaxCols) continue;
    formula::FormulaPtr f = item.formula;
    if (f && source != this) {
      if (source) {
        if (auto rebased = formula::Rebased(*f, *source, *this)) f = rebased;
      } else {
        f.reset();  // source gone without leaving the text: keep the value
      }
    } else if (!f && !item.formulaText.empty()) {
      try {
        f = formula::ParseFormula(item.formulaText, *this);
      } catch (const GridError&) {
        f.reset();  // names a sheet this workbook lacks: keep the value
      }
    }
    if (f && !moved) {
      if (auto shifted = formula::Shifted(*f, tr - (b.originRow + item.dr),
                                          tc - (b.originCol + item.dc), 1 - RowOrigin()))
        f = shifted;
    }
    // An array formula pasted without all of its cells fills its own cell only, so that it
    // writes over nothing the block did not bring.
    if (int rows = 1, cols = 1; f && formula::FillsArrayCells(*f, &rows, &cols)) {
      if (item.dr + rows > b.rows || item.dc + cols > b.cols) f = formula::AsArrayFormula(*f, 1, 1);
      else arrays.emplace_back(tr, tc);
    }
    Cell& c = s.At(tr, tc);
    c.value = item.value;
    c.forcedText = item.forcedText;
    c.style = idOf(item.style);
    if (c.style != kDefaultStyle) s.mayHaveCellStyles = true;
    if (f) {
      c.formula = std::move(f);
      c.dirty = true;
      s.mayHaveFormulas = true;
    }
    if (HasContent(c)) {
      changed.emplace_back(tr, tc);
      s.NoteContent(tc);
    } else {
      s.EraseIfUnused(tr, tc);
    }
  }

  auto same = [](const auto& v) { return v; };
  auto styleOf = [&](int index) { return idOf(index); };
  if (b.wholeCols) {
    PasteRuns(s.colHeadings, col, b.cols, kMaxCols, b.headings, same);
    PasteRuns(s.colWidths, col, b.cols, kMaxCols, b.widths, same);
    PasteRuns(s.colHidden, col, b.cols, kMaxCols, b.hidden, same);
    PasteRuns(s.colStyles, col, b.cols, kMaxCols, {}, same);
    for (const auto& run : b.lineStyles) {
      int f = col + run.first;
      if (f <= kMaxCols) s.colStyles.Set(f, std::min(col + run.last, kMaxCols), styleOf(run.value));
    }
  } else if (b.wholeRows) {
    PasteRuns(s.rowHeadings, row, b.rows, kMaxRows, b.headings, same);
    PasteRuns(s.rowHidden, row, b.rows, kMaxRows, b.hidden, same);
    PasteRuns(s.rowStyles, row, b.rows, kMaxRows, {}, same);
    for (const auto& run : b.lineStyles) {
      int f = row + run.first;
      if (f <= kMaxRows) s.rowStyles.Set(f, std::min(row + run.last, kMaxRows), styleOf(run.value));
    }
  }
  if (b.wholeCols && b.wholeRows) s.sheetStyle = idOf(b.sheetStyle);
  for (auto [r, c] : arrays) AddArrayCells(s, r, c);
  ContentsChanged(s, changed);
}

ClipBlock Workbook::TakeBlock(int sheet, const Range& range) const {
  return TakeBlockOf(SheetAt(sheet), NormalizeRange(range));
}

ClipBlock Workbook::CutBlock(int sheet, const Range& range) {
  Sheet& s = SheetAt(sheet);
  const Range r = NormalizeRange(range);
  CheckArrayEdit(s, r);  // before anything is taken: a refused cut changes nothing
  ClipBlock block = TakeBlockOf(s, r);
  ClearIn(s, r, Clear::All);
  Changed();
  return block;
}

void Workbook::PasteBlock(int sheet, int row, int col, const ClipBlock& block, bool moved) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  PasteBlockInto(s, row, col, block, moved);
  Changed();
}

void Workbook::CopyRangeFrom(int sheet, const Range& to, uint32_t sourceHandle, int sourceSheet,
                             const Range& from) {
  Sheet& s = SheetAt(sheet);
  Range target = NormalizeRange(to);
  Range source = NormalizeRange(from);
  const Workbook* book = FromHandle(sourceHandle);
  if (!book) throw GridError("Unknown workbook handle.");
  ClipBlock b = book->TakeBlockOf(book->SheetAt(sourceSheet), source);
  PasteBlockInto(s, target.firstRow, target.firstCol, b, false);
  Changed();
}

}  // namespace ddt::grid
