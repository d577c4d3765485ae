#include "table/entry_limits.h"

#include <string>

#include "grid/limits.h"
#include "platform/last_error.h"

namespace ddt::table {
namespace {

// A name in a message: whole when short, else its start and its length.
std::string Shown(std::string_view name) {
  constexpr std::size_t kShown = 40;
  if (name.size() <= kShown) return ddt::platform::Quoted(name);
  std::size_t n = kShown;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return ddt::platform::Quoted(std::string(name.substr(0, n)) + "...");
}

bool TooLong(std::string_view text) {
  return text.size() > static_cast<std::size_t>(ddt::grid::kMaxCellTextLength) &&
         Utf8Characters(text) > static_cast<std::size_t>(ddt::grid::kMaxCellTextLength);
}

}  // namespace

std::size_t Utf8Characters(std::string_view text) {
  std::size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

bool CheckSheetName(std::string_view name) {
  if (TooLong(name)) {
    ddt::platform::SetLastError("Sheet name " + Shown(name) + " is longer than " +
                                std::to_string(ddt::grid::kMaxCellTextLength) + " characters");
    return false;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      ddt::platform::SetLastError("Sheet name " + Shown(name) +
                                  " holds a control character, which a workbook file cannot "
                                  "hold in a sheet name");
      return false;
    }
  }
  return true;
}

bool CheckParamName(std::string_view name) {
  if (!TooLong(name)) return true;
  ddt::platform::SetLastError("Parameter name " + Shown(name) + " is longer than " +
                              std::to_string(ddt::grid::kMaxCellTextLength) + " characters");
  return false;
}

bool CheckCellText(std::string_view text) {
  if (!TooLong(text)) return true;
  ddt::platform::SetLastError("Value " + Shown(text) + " is longer than " +
                              std::to_string(ddt::grid::kMaxCellTextLength) + " characters");
  return false;
}

}  // namespace ddt::table
