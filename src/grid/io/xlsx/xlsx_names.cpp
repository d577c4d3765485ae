#include "grid/io/xlsx/xlsx_names.h"

#include <charconv>

#include "text/date_serial.h"

namespace ddt::grid::io {

namespace {

bool ParseInt(std::string_view s, int* v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::optional<double> IsoDateToSerial(std::string_view s, bool date1904) {
  double serial = 0;
  size_t i = 0;
  int y, mo, d;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-' && ParseInt(s.substr(0, 4), &y) &&
      ParseInt(s.substr(5, 2), &mo) && ParseInt(s.substr(8, 2), &d)) {
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    serial = static_cast<double>(text::SerialFromDays(text::DaysFromCivil(y, mo, d), date1904));
    i = 10;
    if (i < s.size() && (s[i] == 'T' || s[i] == ' ')) ++i;
  }
  if (i < s.size()) {
    int h, mi;
    if (s.size() < i + 5 || s[i + 2] != ':' || !ParseInt(s.substr(i, 2), &h) ||
        !ParseInt(s.substr(i + 3, 2), &mi))
      return std::nullopt;
    double sec = 0;
    i += 5;
    if (i < s.size() && s[i] == ':') {
      size_t j = i + 1;
      while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == '.')) ++j;
      auto [p, ec] = std::from_chars(s.data() + i + 1, s.data() + j, sec);
      if (ec != std::errc()) return std::nullopt;
      i = j;
    }
    // A zone designator (Z, +hh:mm) follows at most; spreadsheets keep local time.
    if (i < s.size() && s[i] != 'Z' && s[i] != '+' && s[i] != '-') return std::nullopt;
    serial += (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
  }
  return serial;
}

}  // namespace ddt::grid::io
