// Date and time cells as Python's datetime objects. A spreadsheet keeps a date as a serial
// number of days (1900 or 1904 date system) and tells it apart from a number only by the
// cell's number format; the format's fields decide which Python type the value becomes.
#include <cmath>
#include <string>
#include <unordered_map>

#include "core.h"
#include "engine/format_shows.h"

namespace ddt::python {

namespace {

// What a number format shows of a serial number.
using Shown = ddt::engine::FormatShows;

Shown Classify(const std::string& code) { return ddt::engine::ClassifyNumberFormat(code); }

// The classification of each format code met so far (calls hold the GIL; a workbook uses
// few codes).
Shown ShownBy(const std::string& code) {
  static std::unordered_map<std::string, Shown> known;
  const auto found = known.find(code);
  if (found != known.end()) return found->second;
  return known.emplace(code, Classify(code)).first->second;
}

PyObject* DatetimeModule() {
  static PyObject* module = py::module_::import("datetime").release().ptr();
  return module;
}

py::object Datetime(const char* name) {
  return py::reinterpret_borrow<py::object>(DatetimeModule()).attr(name);
}

constexpr long long kMsPerDay = 86400000LL;
constexpr long long kOrdinal18991230 = 693594;  // date(1899, 12, 30).toordinal()
constexpr long long kOrdinal19040101 = 695056;  // date(1904, 1, 1).toordinal()
constexpr long long kOrdinal99991231 = 3652059;

// The proleptic Gregorian ordinal of a serial's day; 0 for a serial that names no day: before
// the first day, Excel's 29 February 1900 (serial 60), or after 9999-12-31.
long long OrdinalOf(long long day, bool date1904) {
  long long ordinal = 0;
  if (date1904) {
    ordinal = day >= 0 ? kOrdinal19040101 + day : 0;
  } else if (day >= 61) {
    ordinal = kOrdinal18991230 + day;
  } else if (day >= 1 && day <= 59) {
    ordinal = kOrdinal18991230 + 1 + day;  // before Excel's false leap day
  }
  return ordinal <= kOrdinal99991231 ? ordinal : 0;
}

}  // namespace

bool IsNumberFormat(const std::string& format) {
  return format.empty() || format == "General" || ShownBy(format) == Shown::Number;
}

py::object DateValue(double serial, const std::string& format, bool date1904) {
  if (IsNumberFormat(format)) return py::none();
  const Shown shown = ShownBy(format);
  if (!std::isfinite(serial) || std::fabs(serial) > 1e9)
    return py::none();
  // Milliseconds are as fine as a format shows.
  const long long total = std::llround(serial * static_cast<double>(kMsPerDay));
  if (shown == Shown::Duration) return Datetime("timedelta")(py::arg("milliseconds") = total);
  if (total < 0) return py::none();
  const long long day = total / kMsPerDay;
  const long long ms = total % kMsPerDay;
  const long long hour = ms / 3600000, minute = ms / 60000 % 60, second = ms / 1000 % 60;
  const long long micro = ms % 1000 * 1000;
  if (shown == Shown::Time) return Datetime("time")(hour, minute, second, micro);
  const long long ordinal = OrdinalOf(day, date1904);
  if (ordinal == 0) return py::none();
  py::object date = Datetime("date").attr("fromordinal")(ordinal);
  if (shown == Shown::Date) return date;
  return Datetime("datetime")(date.attr("year"), date.attr("month"), date.attr("day"), hour,
                              minute, second, micro);
}

}  // namespace ddt::python
