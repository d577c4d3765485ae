// Cell references as files write them ("B12"). Reading one: formula::ParsePlainCellRef.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ddt::grid::io {

// The reference of a cell ("B12"); appended to `out`. Column letters alone:
// text::AppendColumnLetters.
void AppendCellRef(int row, int col, std::string& out);

}  // namespace ddt::grid::io
