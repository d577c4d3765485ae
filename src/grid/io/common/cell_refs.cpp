#include "grid/io/common/cell_refs.h"

#include <charconv>

#include "text/column_letters.h"

namespace ddt::grid::io {

namespace {

constexpr int64_t kRefCap = int64_t{1} << 40;  // parsing stops growing numbers here
}  // namespace

bool ParseCellRef(std::string_view ref, int64_t* row, int64_t* col) {
  size_t i = 0;
  int64_t c = 0, r = 0;
  while (i < ref.size()) {
    char ch = ref[i];
    int letter = (ch >= 'A' && ch <= 'Z') ? ch - 'A' : (ch >= 'a' && ch <= 'z') ? ch - 'a' : -1;
    if (letter < 0) break;
    c = std::min(kRefCap, c * 26 + letter + 1);
    ++i;
  }
  if (i == 0 || i == ref.size()) return false;
  for (; i < ref.size(); ++i) {
    if (ref[i] < '0' || ref[i] > '9') return false;
    r = std::min(kRefCap, r * 10 + (ref[i] - '0'));
  }
  *row = r;
  *col = c;
  return r > 0;
}

void AppendCellRef(int row, int col, std::string& out) {
  text::AppendColumnLetters(out, col);
  char buf[16];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, row);
  out.append(buf, p);
}

}  // namespace ddt::grid::io
