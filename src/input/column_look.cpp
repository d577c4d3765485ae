#include "input/column_look.h"

#include "grid/grid_error.h"

namespace ddt::input {

bool ReadColumnLook(grid::Workbook& book, int col, ColumnLook& look) {
  try {
    book.SetSelection(grid::Range{grid::kAll, col, grid::kAll, col});
    book.SetActiveCell(1, col);
    uint16_t pattern = 0;
    book.GetPattern(&pattern, &look.foreground, &look.background);
    look.pattern = static_cast<short>(pattern);
    look.fontColor = book.GetFontColor();
    look.numberFormat = book.GetNumberFormat();
    return true;
  } catch (const grid::GridError&) {
    return false;
  }
}

bool ReadColumnLook(grid::Workbook& book, int sheet, int col, ColumnLook& look) {
  const int current = book.CurrentSheet();
  bool ok = false;
  try {
    book.SetCurrentSheet(sheet);
    ok = ReadColumnLook(book, col, look);
  } catch (const grid::GridError&) {
  }
  try {
    book.SetCurrentSheet(current);
  } catch (const grid::GridError&) {
  }
  return ok;
}

}  // namespace ddt::input
