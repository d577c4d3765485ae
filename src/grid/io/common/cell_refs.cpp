#include "grid/io/common/cell_refs.h"

#include <charconv>

#include "text/column_letters.h"

namespace ddt::grid::io {

void AppendCellRef(int row, int col, std::string& out) {
  text::AppendColumnLetters(out, col);
  char buf[16];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, row);
  out.append(buf, p);
}

}  // namespace ddt::grid::io
