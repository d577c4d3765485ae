// The grid's extents: the limits of the workbook file format.
#pragma once

namespace ddt::grid {

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxCols = 16384;
inline constexpr int kMaxCellTextLength = 32767;
// Sheets a workbook may hold.
inline constexpr int kMaxSheets = 4096;
// Column widths, in characters.
inline constexpr double kMaxColWidth = 255.0;
// -1 in a range's rows (or columns) means every row (column).
inline constexpr int kAll = -1;

}  // namespace ddt::grid
