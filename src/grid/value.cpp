#include "grid/value.h"

#include <strings.h>

namespace ddt::grid {

namespace {
constexpr const char* kErrorTexts[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                       "#NAME?", "#NUM!",   "#N/A"};
}

const char* ErrorText(ErrorCode code) {
  int i = static_cast<int>(code) - 1;
  if (i < 0 || i >= 7) return "#VALUE!";
  return kErrorTexts[i];
}

std::optional<ErrorCode> ParseErrorText(std::string_view text) {
  for (int i = 0; i < 7; ++i) {
    std::string_view e = kErrorTexts[i];
    if (text.size() == e.size() && strncasecmp(text.data(), e.data(), e.size()) == 0)
      return static_cast<ErrorCode>(i + 1);
  }
  return std::nullopt;
}

}  // namespace ddt::grid
