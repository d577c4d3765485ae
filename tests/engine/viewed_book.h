// A grid workbook with the engine's view of it built in, so that tests of the selection, the
// formats of the selection and the clipboard read as edits of one book, as a user makes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/clipboard.h"
#include "engine/sheet_view.h"
#include "grid/workbook.h"

namespace ddt::engine::test_support {

class ViewedBook : public grid::Workbook {
 public:
  SheetView& View() { return view_; }

  int SelectionCount() const { return view_.SelectionCount(); }
  grid::Range GetSelection(int index) const { return view_.GetSelection(index); }
  void SetSelection(const grid::Range& range) { view_.SetSelection(range); }
  void AddSelection(const grid::Range& range) { view_.AddSelection(range); }
  void SetActiveCell(int row, int col) { view_.SetActiveCell(row, col); }
  void GetActiveCell(int* row, int* col) const { view_.GetActiveCell(row, col); }
  void EditClear(grid::Clear what) { view_.EditClear(what); }
  void EditInsert(grid::Shift shift) { view_.EditInsert(shift); }
  void EditDelete(grid::Shift shift) { view_.EditDelete(shift); }
  std::string GetNumberFormat() const { return view_.GetNumberFormat(); }
  void SetNumberFormat(std::string_view code) { view_.SetNumberFormat(code); }
  void GetPattern(uint16_t* pattern, uint32_t* fg, uint32_t* bg) const {
    view_.GetPattern(pattern, fg, bg);
  }
  void SetPattern(uint16_t pattern, uint32_t fg, uint32_t bg) { view_.SetPattern(pattern, fg, bg); }
  uint32_t GetFontColor() const { return view_.GetFontColor(); }
  void SetFontColor(uint32_t color) { view_.SetFontColor(color); }
  void SetBorders(uint16_t outline, uint16_t left, uint16_t right, uint16_t top, uint16_t bottom,
                  uint32_t outlineColor, uint32_t leftColor, uint32_t rightColor,
                  uint32_t topColor, uint32_t bottomColor) {
    view_.SetBorders(outline, left, right, top, bottom, outlineColor, leftColor, rightColor,
                     topColor, bottomColor);
  }
  void EditCut() { view_.EditCut(); }
  void EditCopy() { view_.EditCopy(); }
  void EditPaste() { view_.EditPaste(); }

 private:
  SheetView view_{*this};
};

}  // namespace ddt::engine::test_support
