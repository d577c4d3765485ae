#include "grid/value.h"

#include <strings.h>

namespace ddt::grid {

namespace {
struct ErrorName {
  ErrorCode code;
  const char* text;
};
constexpr ErrorName kErrorNames[] = {
    {ErrorCode::Null, "#NULL!"}, {ErrorCode::Div0, "#DIV/0!"}, {ErrorCode::Value, "#VALUE!"},
    {ErrorCode::Ref, "#REF!"},   {ErrorCode::Name, "#NAME?"},  {ErrorCode::Num, "#NUM!"},
    {ErrorCode::NA, "#N/A"},     {ErrorCode::Spill, "#SPILL!"}, {ErrorCode::Calc, "#CALC!"}};
}  // namespace

const char* ErrorText(ErrorCode code) {
  for (const ErrorName& e : kErrorNames)
    if (e.code == code) return e.text;
  return "#VALUE!";
}

std::optional<ErrorCode> ParseErrorText(std::string_view text) {
  for (const ErrorName& e : kErrorNames) {
    std::string_view t = e.text;
    if (text.size() == t.size() && strncasecmp(text.data(), t.data(), t.size()) == 0)
      return e.code;
  }
  return std::nullopt;
}

}  // namespace ddt::grid
