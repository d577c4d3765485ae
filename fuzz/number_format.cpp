// Fuzzes number-format codes and typed entries: any input must render without crashing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "grid/format/entry.h"
#include "grid/format/number_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first 8 bytes (when present) are the value; the rest is the code.
  double value = 45000.5;
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    data += sizeof value;
    size -= sizeof value;
  }
  const std::string_view code(reinterpret_cast<const char*>(data), size);
  (void)ddt::grid::format::FormatNumber(value, code, false);
  (void)ddt::grid::format::FormatNumber(value, code, true);
  (void)ddt::grid::format::FormatNumber(-value, code, false);
  (void)ddt::grid::format::FormatText(code, code);
  (void)ddt::grid::format::IsDateFormat(code);
  const auto entry = ddt::grid::format::ParseEntry(code);
  (void)ddt::grid::format::EntryText(entry.value, entry.forcedText, code);
  return 0;
}
