// Column letters as a spreadsheet shows them: "A" to "Z" for columns 1 to 26, then "AA" (27)
// to "ZZ" (702), then three letters.
#pragma once

#include <string>
#include <string_view>

namespace ddt::text {

// Appends the letters of column col (nothing for a column below 1).
void AppendColumnLetters(std::string& out, long col);
// The letters of column col; "" for a column below 1.
std::string ColumnLetters(long col);
// The column that one to three letters (either case) name; 0 for anything else.
int ColumnFromLetters(std::string_view letters);

}  // namespace ddt::text
