// The workbook's extents and limits as the layers above the engine name them (they are the
// limits of the workbook file format the grid keeps).
#pragma once

#include "grid/limits.h"

namespace ddt::engine {

inline constexpr int kMaxRows = grid::kMaxRows;
inline constexpr int kMaxCols = grid::kMaxCols;
inline constexpr int kMaxCellTextLength = grid::kMaxCellTextLength;
inline constexpr int kMaxSheets = grid::kMaxSheets;
// -1 in a range's rows (or columns) means every row (column).
inline constexpr int kAll = grid::kAll;

}  // namespace ddt::engine
