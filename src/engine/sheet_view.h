// SheetView: the engine's view of a grid workbook, as a screen would keep it beside the
// model: the selection (several ranges) and the active cell of each sheet, and the edits a
// user makes through them (formats of the selection, clear, insert and delete at it, cut,
// copy and paste through the process-wide clipboard). The edits go through the workbook's
// model calls, so each raises the workbook's change event once.
//
// Ranges count as in the grid (-1 as both rows: whole columns, -1 as both columns: whole
// rows) and are kept with explicit bounds. The view works on the workbook's current sheet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "grid/workbook.h"

namespace ddt::engine {

class SheetView {
 public:
  // The view does not own the workbook, which must outlive it.
  explicit SheetView(grid::Workbook& book) : book_(book) {}

  // --- Selection and active cell of the current sheet -----------------------------------
  int SelectionCount() const;
  // Range i (from 0); whole rows report columns 1..MaxCol(), whole columns rows 1..MaxRow().
  grid::Range GetSelection(int index) const;
  // Both move the active cell to the range's top-left cell. Ranges are kept per sheet.
  void SetSelection(const grid::Range& range);
  void AddSelection(const grid::Range& range);
  // An active cell outside the selection becomes the selection.
  void SetActiveCell(int row, int col);
  void GetActiveCell(int* row, int* col) const;
  // Every sheet back to its first cell selected (the workbook read another file).
  void Reset() { cursors_.clear(); }

  // --- Edits at the selection -----------------------------------------------------------
  void EditClear(grid::Clear what);    // clear the selection
  void EditInsert(grid::Shift shift);  // insert at the first selected range
  void EditDelete(grid::Shift shift);  // delete the first selected range

  // --- Formats of the selection (set) or active cell (get) ------------------------------
  std::string GetNumberFormat() const;
  void SetNumberFormat(std::string_view code);
  void GetPattern(uint16_t* pattern, uint32_t* fg, uint32_t* bg) const;
  void SetPattern(uint16_t pattern, uint32_t fg, uint32_t bg);
  uint32_t GetFontColor() const;
  void SetFontColor(uint32_t color);
  // Borders of the selection: every cell gets the left/right/top/bottom styles and colours;
  // a non-zero outline replaces them on the outer edges of each selected range.
  void SetBorders(uint16_t outline, uint16_t left, uint16_t right, uint16_t top,
                  uint16_t bottom, uint32_t outlineColor, uint32_t leftColor,
                  uint32_t rightColor, uint32_t topColor, uint32_t bottomColor);

  // --- Clipboard (process-wide, engine/clipboard.h) ----------------------------------------
  // Copy and cut take the first selected range; cut clears it at once. Paste puts the block
  // at the top-left of the first selected range, replacing what was there (cells beyond the
  // sheet are dropped), and selects it; what was cut is pasted once. Copied formulas move
  // their relative references, cut ones do not. Whole columns (rows) bring their headings,
  // widths, hidden flags and styles. An empty clipboard pastes nothing.
  void EditCut();
  void EditCopy();
  void EditPaste();

 private:
  struct Cursor {
    std::vector<grid::Range> selection{grid::Range{}};
    int activeRow = 1, activeCol = 1;
  };
  // The current sheet's cursor, by the sheet's identity so that it follows the sheet when
  // sheets are inserted, deleted or moved.
  Cursor& Current();
  const Cursor& Current() const;
  const grid::Style& ActiveStyle() const;

  grid::Workbook& book_;
  mutable std::unordered_map<uint32_t, Cursor> cursors_;
};

}  // namespace ddt::engine
