#include "engine/sheet_view.h"

#include <algorithm>

#include "engine/clipboard.h"
#include "grid/grid_error.h"
#include "grid/limits.h"

namespace ddt::engine {

using grid::Range;

SheetView::Cursor& SheetView::Current() {
  return cursors_[book_.SheetId(book_.CurrentSheet())];
}

const SheetView::Cursor& SheetView::Current() const {
  return cursors_[book_.SheetId(book_.CurrentSheet())];
}

// --- Selection -------------------------------------------------------------------------------

int SheetView::SelectionCount() const { return static_cast<int>(Current().selection.size()); }

Range SheetView::GetSelection(int index) const {
  const auto& sel = Current().selection;
  if (index < 0 || index >= static_cast<int>(sel.size()))
    throw grid::GridError("Invalid selection index.");
  return sel[static_cast<size_t>(index)];
}

void SheetView::SetSelection(const Range& range) {
  const Range r = grid::NormalizeRange(range);
  Cursor& c = Current();
  c.selection.assign(1, r);
  c.activeRow = r.firstRow;
  c.activeCol = r.firstCol;
}

void SheetView::AddSelection(const Range& range) {
  const Range r = grid::NormalizeRange(range);
  Cursor& c = Current();
  c.selection.push_back(r);
  c.activeRow = r.firstRow;
  c.activeCol = r.firstCol;
}

void SheetView::SetActiveCell(int row, int col) {
  if (row < 1 || row > grid::kMaxRows || col < 1 || col > grid::kMaxCols)
    throw grid::GridError("Invalid row or column.");
  Cursor& c = Current();
  const bool inside = std::any_of(c.selection.begin(), c.selection.end(), [&](const Range& r) {
    return row >= r.firstRow && row <= r.lastRow && col >= r.firstCol && col <= r.lastCol;
  });
  // Moving the active cell out of the selection selects that cell alone.
  if (!inside) c.selection.assign(1, Range{row, col, row, col});
  c.activeRow = row;
  c.activeCol = col;
}

void SheetView::GetActiveCell(int* row, int* col) const {
  const Cursor& c = Current();
  if (row) *row = c.activeRow;
  if (col) *col = c.activeCol;
}

// --- Edits at the selection ----------------------------------------------------------------

void SheetView::EditClear(grid::Clear what) { book_.ClearRanges(0, Current().selection, what); }

// Insertion and deletion work on the first selected range (several at once would overlap).
void SheetView::EditInsert(grid::Shift shift) {
  book_.InsertRange(Current().selection.front(), shift);
}
void SheetView::EditDelete(grid::Shift shift) {
  book_.DeleteRange(Current().selection.front(), shift);
}

// --- Formats -------------------------------------------------------------------------------

const grid::Style& SheetView::ActiveStyle() const {
  const Cursor& c = Current();
  return book_.CellStyle(0, c.activeRow, c.activeCol);
}

std::string SheetView::GetNumberFormat() const { return ActiveStyle().numberFormat; }

void SheetView::SetNumberFormat(std::string_view code) {
  const std::string c = code.empty() ? std::string("General") : std::string(code);
  book_.FormatRanges(0, Current().selection,
                     [&](grid::Style& st, const grid::StyleEdges&) { st.numberFormat = c; });
}

void SheetView::GetPattern(uint16_t* pattern, uint32_t* fg, uint32_t* bg) const {
  const grid::Style& st = ActiveStyle();
  if (pattern) *pattern = st.pattern;
  if (fg) *fg = st.patternFg;
  if (bg) *bg = st.patternBg;
}

void SheetView::SetPattern(uint16_t pattern, uint32_t fg, uint32_t bg) {
  book_.FormatRanges(0, Current().selection, [&](grid::Style& st, const grid::StyleEdges&) {
    st.pattern = pattern;
    st.patternFg = fg;
    st.patternBg = bg;
  });
}

uint32_t SheetView::GetFontColor() const { return ActiveStyle().fontColor; }

void SheetView::SetFontColor(uint32_t color) {
  book_.FormatRanges(0, Current().selection,
                     [&](grid::Style& st, const grid::StyleEdges&) { st.fontColor = color; });
}

void SheetView::SetBorders(uint16_t outline, uint16_t left, uint16_t right, uint16_t top,
                           uint16_t bottom, uint32_t outlineColor, uint32_t leftColor,
                           uint32_t rightColor, uint32_t topColor, uint32_t bottomColor) {
  book_.FormatRanges(0, Current().selection, [&](grid::Style& st, const grid::StyleEdges& e) {
    st.left = {left, leftColor};
    st.right = {right, rightColor};
    st.top = {top, topColor};
    st.bottom = {bottom, bottomColor};
    if (outline != 0) {
      const grid::Border o{outline, outlineColor};
      if (e.left) st.left = o;
      if (e.right) st.right = o;
      if (e.top) st.top = o;
      if (e.bottom) st.bottom = o;
    }
  });
}

// --- Clipboard -----------------------------------------------------------------------------

void SheetView::EditCopy() {
  Clipboard::Instance().Put(book_.TakeBlock(0, Current().selection.front()), false);
}

void SheetView::EditCut() {
  grid::ClipBlock block = book_.CutBlock(0, Current().selection.front());
  Clipboard::Instance().Put(std::move(block), true);
}

void SheetView::EditPaste() {
  Clipboard& clip = Clipboard::Instance();
  const grid::ClipBlock* b = clip.Block();
  if (!b) return;
  Cursor& c = Current();
  const Range at = c.selection.front();
  const bool cut = clip.IsCut();
  // The pasted block becomes the selection; a refused paste leaves the selection as it was.
  const Range pasted{at.firstRow, at.firstCol, std::min(at.firstRow + b->rows - 1, grid::kMaxRows),
                     std::min(at.firstCol + b->cols - 1, grid::kMaxCols)};
  const std::vector<Range> before = c.selection;
  c.selection.assign(1, pasted);
  try {
    book_.PasteBlock(0, at.firstRow, at.firstCol, *b, cut && b->sourceHandle == book_.Handle());
  } catch (...) {
    Current().selection = before;
    throw;
  }
  if (cut) clip.Clear();  // what was cut is pasted once
}

}  // namespace ddt::engine
