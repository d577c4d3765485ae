// The look of a column of a workbook's grid as a user sees it when the whole column is
// selected and its first cell is active: fill, font colour and number format.
#pragma once

#include "ddtable/dt_if.h"

namespace ddt::input {

using ColumnLook = CDT_IF::ColumnLook;

// Reads the look of column col of the grid's current sheet. False when the grid refuses the
// index. Neither the selection nor the active cell moves.
bool ReadColumnLook(CDT_IF& engine, int col, ColumnLook& look);
// The same for sheet `sheet`; the grid's current sheet does not change.
bool ReadColumnLook(CDT_IF& engine, int sheet, int col, ColumnLook& look);

}  // namespace ddt::input
