// Cell references as files write them ("B12"): read and written by every file format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ddt::grid::io {

// "B12" -> row 12, column 2. Returns false when the text is not a cell reference; row and
// column may then lie beyond the grid's limits (the caller checks, to say so).
bool ParseCellRef(std::string_view ref, int64_t* row, int64_t* col);
// The reference of a cell ("B12"); appended to `out`. Column letters alone:
// text::AppendColumnLetters.
void AppendCellRef(int row, int col, std::string& out);

}  // namespace ddt::grid::io
