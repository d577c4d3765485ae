// Limits checked where a name or value enters a data table, so that everything the table
// writes to a file reads back: the file format holds at most kMaxCellTextLength characters
// in a cell (parameter names are the cells of row 1 in a file), and a sheet name must be
// text that survives the file (no control characters, which the file cannot hold).
#pragma once

#include <string_view>

namespace ddt::table {

// Each returns false and records the reason as the last error when the entry is refused.
bool CheckSheetName(std::string_view name);
bool CheckParamName(std::string_view name);
bool CheckCellText(std::string_view text);

}  // namespace ddt::table
