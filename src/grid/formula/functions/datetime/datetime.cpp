// Date and time functions on serial numbers (text/date_serial.h): the workbook's date
// system, the 1900 system with its fictitious 29 February 1900 by default. Date arguments
// may be numbers or text that reads as a date (functions/text/text_number.h).
#include <algorithm>
#include <cmath>
#include <ctime>

#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions/text/text_number.h"
#include "grid/formula/functions.h"
#include "text/date_serial.h"
#include "text/utf8.h"

namespace ddt::grid::formula {
namespace {

constexpr int kMaxYear = 9999;
constexpr int kTwoCenturyYears = 1900;  // DATE adds this to years 0..1899
constexpr double kMaxTimePart = 32767;  // TIME's largest hour, minute or second

Operand Num(double d) { return Value{d}; }

// Month and day counts beyond these cannot give a date before 10000.
constexpr double kMaxMonths = 1e6;
constexpr double kMaxDays = 1e8;

// Argument i truncated to a whole number; #NUM! beyond +-limit.
int64_t WholeArg(Call& call, int i, double limit) {
  const double d = std::trunc(call.Number(i));
  if (!(std::fabs(d) <= limit)) throw FormulaError{ErrorCode::Num};
  return static_cast<int64_t>(d);
}

bool Is1904(Call& call) { return call.Ctx().Date1904(); }

int64_t DayArg(Call& call, int i) { return static_cast<int64_t>(std::floor(SerialArg(call, i))); }

text::CivilDate CivilOf(int64_t day, bool date1904) {
  auto d = text::SerialToDate(day, date1904);
  if (!d) throw FormulaError{ErrorCode::Num};
  return *d;
}

double SerialOf(int year, int64_t month, int64_t day, bool date1904) {
  if (std::fabs(static_cast<double>(month)) > kMaxMonths ||
      std::fabs(static_cast<double>(day)) > kMaxDays) {
    throw FormulaError{ErrorCode::Num};
  }
  auto s = text::DateToSerial(year, static_cast<int>(month), static_cast<int>(day), date1904);
  if (!s) throw FormulaError{ErrorCode::Num};
  return static_cast<double>(*s);
}

// The day count of the month holding (year, month), month possibly out of 1..12.
int DaysInMonth(int year, int64_t month, bool date1904) {
  const double last = SerialOf(year, month + 1, 0, date1904);
  return CivilOf(static_cast<int64_t>(last), date1904).day;
}

// --- Dates -------------------------------------------------------------------------------

Operand Date(Call& call) {
  int64_t year = WholeArg(call, 0, kMaxYear);
  const int64_t month = WholeArg(call, 1, kMaxMonths);
  const int64_t day = WholeArg(call, 2, kMaxDays);
  if (year < 0) throw FormulaError{ErrorCode::Num};
  if (year < kTwoCenturyYears) year += kTwoCenturyYears;
  return Num(SerialOf(static_cast<int>(year), month, day, Is1904(call)));
}

Operand Year(Call& call) { return Num(CivilOf(DayArg(call, 0), Is1904(call)).year); }
Operand Month(Call& call) { return Num(CivilOf(DayArg(call, 0), Is1904(call)).month); }
Operand Day(Call& call) { return Num(CivilOf(DayArg(call, 0), Is1904(call)).day); }

Operand Days(Call& call) { return Num(static_cast<double>(DayArg(call, 0) - DayArg(call, 1))); }

// DATEVALUE and TIMEVALUE take text only.
double DateTimeText(Call& call, int i) {
  const Value v = call.Scalar(i);
  ThrowIfError(v);
  const auto* t = std::get_if<SharedText>(&v);
  if (!t) throw FormulaError{ErrorCode::Value};
  auto n = ReadDateTimeText(*t, Is1904(call));
  if (!n) throw FormulaError{ErrorCode::Value};
  return *n;
}

Operand DateValue(Call& call) { return Num(std::floor(DateTimeText(call, 0))); }
Operand TimeValue(Call& call) {
  const double v = DateTimeText(call, 0);
  return Num(v - std::floor(v));
}

// EDATE(start, months): the same day `months` later, cut to the month's last day. Serial 0
// is day 0 of January 1900, and day 0 of a later month is the last day of the one before.
Operand EDate(Call& call) {
  const bool d1904 = Is1904(call);
  const text::CivilDate start = CivilOf(DayArg(call, 0), d1904);
  const int64_t month = start.month + WholeArg(call, 1, kMaxMonths);
  const int day = std::min(start.day, DaysInMonth(start.year, month, d1904));
  return Num(SerialOf(start.year, month, day, d1904));
}

// EOMONTH(start, months): the last day of the month `months` later.
Operand EoMonth(Call& call) {
  const bool d1904 = Is1904(call);
  const text::CivilDate start = CivilOf(DayArg(call, 0), d1904);
  const int64_t month = start.month + WholeArg(call, 1, kMaxMonths);
  return Num(SerialOf(start.year, month + 1, 0, d1904));
}

// DATEDIF(start, end, unit): whole years (Y), months (M), days (D), days ignoring months
// and years (MD), months ignoring years (YM), days ignoring years (YD).
Operand DateDif(Call& call) {
  const bool d1904 = Is1904(call);
  const int64_t s = DayArg(call, 0), e = DayArg(call, 1);
  const std::string unit = text::utf8::Upper(call.Text(2));
  if (s > e) throw FormulaError{ErrorCode::Num};
  const text::CivilDate a = CivilOf(s, d1904), b = CivilOf(e, d1904);
  const int64_t months =
      (int64_t{b.year} - a.year) * 12 + (b.month - a.month) - (b.day < a.day ? 1 : 0);
  if (unit == "D") return Num(static_cast<double>(e - s));
  if (unit == "M") return Num(static_cast<double>(months));
  if (unit == "Y") return Num(static_cast<double>(months / 12));
  if (unit == "YM") return Num(static_cast<double>(months % 12));
  if (unit == "MD") {
    if (b.day >= a.day) return Num(b.day - a.day);
    return Num(static_cast<double>(e) - SerialOf(b.year, b.month - 1, a.day, d1904));
  }
  if (unit == "YD") {
    double from = SerialOf(b.year, a.month, a.day, d1904);
    if (from > static_cast<double>(e)) from = SerialOf(b.year - 1, a.month, a.day, d1904);
    return Num(static_cast<double>(e) - from);
  }
  throw FormulaError{ErrorCode::Num};
}

// --- Times -------------------------------------------------------------------------------

Operand Hour(Call& call) { return Num(text::SplitSerial(SerialArg(call, 0)).hour); }
Operand Minute(Call& call) { return Num(text::SplitSerial(SerialArg(call, 0)).minute); }
Operand Second(Call& call) { return Num(text::SplitSerial(SerialArg(call, 0)).second); }

// TIME(hour, minute, second): the fraction of a day, wrapping past 24 hours.
Operand Time(Call& call) {
  const double h = std::trunc(call.Number(0));
  const double m = std::trunc(call.Number(1));
  const double s = std::trunc(call.Number(2));
  if (h > kMaxTimePart || m > kMaxTimePart || s > kMaxTimePart) throw FormulaError{ErrorCode::Num};
  const double total = h * 3600 + m * 60 + s;
  if (total < 0) throw FormulaError{ErrorCode::Num};
  return Num(std::fmod(total, text::kSecondsPerDay) / text::kSecondsPerDay);
}

// The current local date and time as a serial.
double NowSerial(bool date1904) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const double day = SerialOf(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, date1904);
  return day + text::TimeToSerial(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

Operand Now(Call& call) { return Num(NowSerial(Is1904(call))); }
Operand Today(Call& call) { return Num(std::floor(NowSerial(Is1904(call)))); }

// --- Weeks and work days -----------------------------------------------------------------

// The first day of the week (0 Sunday .. 6 Saturday) of a WEEKDAY / WEEKNUM return type.
int WeekStart(int type) {
  if (type == 1 || type == 17) return 0;
  if (type == 2) return 1;
  if (type >= 11 && type <= 16) return type - 10;
  return -1;
}

Operand WeekdayFn(Call& call) {
  const bool d1904 = Is1904(call);
  const int64_t day = DayArg(call, 0);
  const int type = call.Int(1, 1);
  const int w = text::Weekday(day, d1904);
  if (type == 3) return Num((w + 6) % 7);
  const int start = WeekStart(type);
  if (start < 0) throw FormulaError{ErrorCode::Num};
  return Num((w - start + 7) % 7 + 1);
}

Operand WeekNum(Call& call) {
  const bool d1904 = Is1904(call);
  const int64_t day = DayArg(call, 0);
  const int type = call.Int(1, 1);
  const text::CivilDate date = CivilOf(day, d1904);
  if (type == 21) {  // ISO 8601: the week of the year holding its Thursday
    const int64_t thursday = day - (text::Weekday(day, d1904) + 6) % 7 + 3;
    const text::CivilDate t = CivilOf(std::max<int64_t>(thursday, 1), d1904);
    const double jan1 = SerialOf(t.year, 1, 1, d1904);
    return Num(std::floor((static_cast<double>(thursday) - jan1) / 7) + 1);
  }
  const int start = type == 2 ? 1 : WeekStart(type);
  if (start < 0 || type == 3) throw FormulaError{ErrorCode::Num};
  const int64_t jan1 = static_cast<int64_t>(SerialOf(date.year, 1, 1, d1904));
  const int offset = (text::Weekday(jan1, d1904) - start + 7) % 7;
  return Num(static_cast<double>((day - jan1 + offset) / 7 + 1));
}

}  // namespace

void RegisterDateTimeFunctions(FunctionRegistry& r) {
  r.Add({"DATE", 3, 3, Date});
  r.Add({"DATEDIF", 3, 3, DateDif});
  r.Add({"DATEVALUE", 1, 1, DateValue});
  r.Add({"DAY", 1, 1, Day});
  r.Add({"DAYS", 2, 2, Days});
  r.Add({"EDATE", 2, 2, EDate});
  r.Add({"EOMONTH", 2, 2, EoMonth});
  r.Add({"HOUR", 1, 1, Hour});
  r.Add({"MINUTE", 1, 1, Minute});
  r.Add({"MONTH", 1, 1, Month});
  r.Add({"NOW", 0, 0, Now, true});
  r.Add({"SECOND", 1, 1, Second});
  r.Add({"TIME", 3, 3, Time});
  r.Add({"TIMEVALUE", 1, 1, TimeValue});
  r.Add({"TODAY", 0, 0, Today, true});
  r.Add({"WEEKDAY", 1, 2, WeekdayFn});
  r.Add({"WEEKNUM", 1, 2, WeekNum});
  r.Add({"YEAR", 1, 1, Year});
}

}  // namespace ddt::grid::formula
