#include "input/column_look.h"

#include "grid/grid_error.h"

namespace ddt::input {

bool ReadColumnLook(grid::Workbook& book, int col, ColumnLook& look) {
  try {
    if (col < 1 || col > grid::kMaxCols) return false;
    // What the column's first data cell shows.
    const grid::Style& style = book.CellStyle(0, 1, col);
    look.pattern = static_cast<short>(style.pattern);
    look.foreground = style.patternFg;
    look.background = style.patternBg;
    look.fontColor = style.fontColor;
    look.numberFormat = style.numberFormat;
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
