// The look of a column of a workbook's grid as a user sees it when the whole column is
// selected and its first cell is active: fill, font colour and number format.
#pragma once

#include <cstdint>
#include <string>

#include "grid/workbook.h"

namespace ddt::input {

struct ColumnLook {
  short pattern = 0;
  uint32_t foreground = 0;
  uint32_t background = 0;
  uint32_t fontColor = 0;
  std::string numberFormat;
};

// Reads the look of column col of the grid's current sheet. False when the grid refuses the
// index.
bool ReadColumnLook(grid::Workbook& book, int col, ColumnLook& look);
// The same for sheet `sheet`; the grid's current sheet is restored afterwards.
bool ReadColumnLook(grid::Workbook& book, int sheet, int col, ColumnLook& look);

}  // namespace ddt::input
