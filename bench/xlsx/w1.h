// W1, the workbook every side-by-side program here writes or reads: one sheet "Data" with a
// header row of 20 parameter names and 100,000 data rows, odd columns short texts (5,000
// distinct, so shared strings repeat), even columns numbers.
#pragma once

#include <cstdio>
#include <string>

namespace w1 {

constexpr int kRows = 100000;  // the programs take another count as an optional last argument
constexpr int kCols = 20;

inline std::string ParamName(int col) { return "Param" + std::to_string(col); }

inline bool IsTextCol(int col) { return col % 2 == 1; }

// The text of a text cell, into buf (NUL-terminated).
inline void Text(int row, int col, char* buf, size_t size) {
  std::snprintf(buf, size, "item %d", (row * 7 + col) % 5000);
}

inline double Number(int row, int col) { return row * 0.25 + col; }

}  // namespace w1
