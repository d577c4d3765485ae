// Column letters as a spreadsheet shows them: "A" to "Z" for columns 1 to 26, then "AA" (27)
// to "ZZ" (702), then three letters. Used as the name of a column that has no header text.
#pragma once

#include <string>

namespace ddt::engine {

// The letters of column col; "" for a column below 1.
std::string ColumnLetters(int col);

}  // namespace ddt::engine
