#include "grid/io/common/style_names.h"

namespace ddt::grid::io {

int PatternCode(std::string_view name) {
  for (int i = 0; i < kPatternCount; ++i)
    if (name == kPatternNames[i]) return i;
  return 0;
}

int BorderStyleCode(std::string_view name) {
  for (int i = 0; i < kBorderCount; ++i)
    if (name == kBorderNames[i]) return i;
  return 0;
}

}  // namespace ddt::grid::io
