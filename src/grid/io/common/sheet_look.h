// The look of a sheet apart from its cells' formats: column widths and hidden columns,
// frozen panes (the sheet's view), data validations, and whether the sheet is hidden.
#pragma once

namespace ddt::grid {
class Workbook;
}

namespace ddt::grid::io {

// Gives sheet `toSheet` of `to` the look of sheet `fromSheet` of `from`. The view and the
// data validations come from the file `from` was read from (after the structural edits
// made since); a sheet `from` built in memory has none and passes none on. What `toSheet`
// carried from a file of its own is replaced.
void CopySheetLook(const Workbook& from, int fromSheet, Workbook& to, int toSheet);

// True when the sheet carries a look read from a file of its own (a workbook read from a
// file, or a sheet given a look by CopySheetLook).
bool HasSheetLook(const Workbook& book, int sheet);

}  // namespace ddt::grid::io
