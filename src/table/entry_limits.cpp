#include "table/entry_limits.h"

#include <string>

#include "engine/workbook_limits.h"
#include "platform/last_error.h"
#include "text/utf8.h"

namespace ddt::table {
namespace {

// A name in a message: whole when short, else its start and its length.
std::string Shown(std::string_view name) {
  constexpr std::size_t kShown = 40;
  if (name.size() <= kShown) return ddt::platform::Quoted(name);
  const std::size_t n = text::utf8::CutPoint(name, kShown);
  return ddt::platform::Quoted(std::string(name.substr(0, n)) + "...");
}

bool TooLong(std::string_view text) {
  return text.size() > static_cast<std::size_t>(ddt::engine::kMaxCellTextLength) &&
         text::utf8::CountCharacters(text) >
             static_cast<std::size_t>(ddt::engine::kMaxCellTextLength);
}

}  // namespace

bool CheckSheetName(std::string_view name) {
  if (TooLong(name)) {
    ddt::platform::SetLastError("Sheet name " + Shown(name) + " is longer than " +
                                    std::to_string(ddt::engine::kMaxCellTextLength) + " characters",
                                ddt::platform::ErrorKind::OverLimit);
    return false;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      ddt::platform::SetLastError("Sheet name " + Shown(name) +
                                      " holds a control character, which a workbook file cannot "
                                      "hold in a sheet name",
                                  ddt::platform::ErrorKind::BadArgument);
      return false;
    }
  }
  return true;
}

bool CheckParamName(std::string_view name) {
  if (!TooLong(name)) return true;
  ddt::platform::SetLastError("Parameter name " + Shown(name) + " is longer than " +
                                  std::to_string(ddt::engine::kMaxCellTextLength) + " characters",
                              ddt::platform::ErrorKind::OverLimit);
  return false;
}

bool CheckCellText(std::string_view text) {
  if (!TooLong(text)) return true;
  ddt::platform::SetLastError("Value " + Shown(text) + " is longer than " +
                                  std::to_string(ddt::engine::kMaxCellTextLength) + " characters",
                              ddt::platform::ErrorKind::OverLimit);
  return false;
}

}  // namespace ddt::table
