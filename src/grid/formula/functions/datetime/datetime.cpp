// Date and time functions on serial numbers (text/date_serial.h): the workbook's date
// system, the 1900 system with its fictitious 29 February 1900 by default. Date arguments
// may be numbers or text that reads as a date (functions/text/text_number.h). Besides dates and
// times and their parts: week numbers (WEEKNUM, ISOWEEKNUM), day counts (DAYS, DAYS360,
// YEARFRAC, DATEDIF) and the work-day functions (WORKDAY, NETWORKDAYS and their .INTL forms with a
// chosen weekend).
#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <set>
#include <string>

#include "grid/formula/functions.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/text/text_number.h"
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

// The serial of a valid calendar date (#NUM! outside the date system).
int64_t ExactSerialOf(int year, int month, int day, bool date1904) {
  auto s = text::DateToSerial(year, month, day, date1904);
  if (!s) Fail();
  return *s;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// ISO 8601 week number: weeks start on Monday; week 1 holds the year's first Thursday.
Operand IsoWeekNum(Call& call) {
  const bool d1904 = call.Ctx().Date1904();
  const int64_t day = DayArg(call, 0);
  const int weekday = (text::Weekday(day, d1904) + 6) % 7;  // Monday 0
  const int64_t thursday = day - weekday + 3;
  const text::CivilDate t = CivilOf(thursday, d1904);
  const int64_t jan1 = ExactSerialOf(t.year, 1, 1, d1904);
  return Num(static_cast<double>((thursday - jan1) / 7 + 1));
}

// 30/360 day count. US: a start on the 31st or on the last day of February counts as the
// 30th, and an end on the 31st counts as the 30th when the start is (then) the 30th.
// European: the 31st always counts as the 30th.
double Days360(text::CivilDate a, text::CivilDate b, bool european, bool febEnds) {
  int d1 = a.day, d2 = b.day;
  if (european) {
    d1 = std::min(d1, 30);
    d2 = std::min(d2, 30);
  } else {
    const bool aLastFeb = a.month == 2 && a.day == DaysInMonth(a.year, 2);
    const bool bLastFeb = b.month == 2 && b.day == DaysInMonth(b.year, 2);
    if (febEnds && aLastFeb && bLastFeb) d2 = 30;
    if (aLastFeb) d1 = 30;
    if (d2 == 31 && d1 >= 30) d2 = 30;
    if (d1 == 31) d1 = 30;
  }
  return (b.year - a.year) * 360.0 + (b.month - a.month) * 30.0 + (d2 - d1);
}

Operand Days360Fn(Call& call) {
  const bool d1904 = call.Ctx().Date1904();
  const text::CivilDate a = CivilOf(DayArg(call, 0), d1904);
  const text::CivilDate b = CivilOf(DayArg(call, 1), d1904);
  return Num(Days360(a, b, call.Bool(2, false), false));
}

// YEARFRAC(start, end, [basis]): 0 US 30/360, 1 actual/actual, 2 actual/360, 3 actual/365,
// 4 European 30/360.
Operand YearFrac(Call& call) {
  const bool d1904 = call.Ctx().Date1904();
  int64_t s = DayArg(call, 0), e = DayArg(call, 1);
  const double basis = std::trunc(call.Number(2, 0));
  if (basis < 0 || basis > 4) Fail();
  if (s > e) std::swap(s, e);
  const text::CivilDate a = CivilOf(s, d1904), b = CivilOf(e, d1904);
  const double days = static_cast<double>(e - s);
  switch (static_cast<int>(basis)) {
    case 0: return Num(Days360(a, b, false, true) / 360);
    case 2: return Num(days / 360);
    case 3: return Num(days / 365);
    case 4: return Num(Days360(a, b, true, false) / 360);
    default: break;
  }
  // Actual/actual: within a year the year length is 366 when a 29 February lies in the span
  // (or the single year is a leap year); across years, the average length of the years
  // touched.
  const bool withinYear = a.year == b.year ||
                          (b.year == a.year + 1 &&
                           (a.month > b.month || (a.month == b.month && a.day >= b.day)));
  double yearLength;
  if (withinYear) {
    bool leap = false;
    if (a.year == b.year) {
      leap = IsLeap(a.year);
    } else {
      leap = (IsLeap(a.year) && (a.month < 3)) || (IsLeap(b.year) && (b.month > 2 || (b.month == 2 && b.day == 29)));
    }
    yearLength = leap ? 366 : 365;
  } else {
    const double first = static_cast<double>(ExactSerialOf(a.year, 1, 1, d1904));
    const double last = static_cast<double>(ExactSerialOf(b.year + 1, 1, 1, d1904));
    yearLength = (last - first) / (b.year - a.year + 1);
  }
  return Num(days / yearLength);
}

// The weekend argument: a number (1..7 two-day weekends starting Saturday-Sunday, 11..17
// single days starting Sunday) or seven 0/1 characters from Monday; per weekday from Sunday,
// whether it is a rest day.
std::array<bool, 7> Weekend(Call& call, int i) {
  std::array<bool, 7> rest{};  // index: 0 Sunday .. 6 Saturday
  if (call.Missing(i)) {
    rest[0] = rest[6] = true;
    return rest;
  }
  const Value v = call.Scalar(i);
  if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
  if (const auto* t = std::get_if<SharedText>(&v)) {
    if (t->size() != 7) Fail(ErrorCode::Value);
    for (int k = 0; k < 7; ++k) {
      const char c = (*t)[static_cast<size_t>(k)];
      if (c != '0' && c != '1') Fail(ErrorCode::Value);
      rest[static_cast<size_t>((k + 1) % 7)] = c == '1';
    }
    if (rest == std::array<bool, 7>{true, true, true, true, true, true, true}) Fail();
    return rest;
  }
  const double n = std::trunc(AsNumber(v));
  if (n >= 1 && n <= 7) {
    // 1: Saturday+Sunday, 2: Sunday+Monday, ... 7: Friday+Saturday.
    const int first = (static_cast<int>(n) + 5) % 7;  // 1 -> 6 (Saturday)
    rest[static_cast<size_t>(first)] = true;
    rest[static_cast<size_t>((first + 1) % 7)] = true;
  } else if (n >= 11 && n <= 17) {
    rest[static_cast<size_t>(static_cast<int>(n) - 11)] = true;
  } else {
    Fail();
  }
  return rest;
}

// Sunday (0) to Saturday (6) as text::Weekday counts them: the weekend of NETWORKDAYS and
// WORKDAY.
constexpr std::array<bool, 7> kSaturdaySunday = {true, false, false, false, false, false, true};

// The weekend argument at index i, or Saturday and Sunday for i < 0.
std::array<bool, 7> WeekendOf(Call& call, int i) { return i < 0 ? kSaturdaySunday : Weekend(call, i); }

// Work days from start to end inclusive, less holidays; negative when end comes first.
Operand CountWorkDays(Call& call, int weekendArg, int holidayArg) {
  const bool d1904 = call.Ctx().Date1904();
  int64_t s = DayArg(call, 0), e = DayArg(call, 1);
  const std::array<bool, 7> rest = WeekendOf(call, weekendArg);
  const std::set<int64_t> holidays = HolidaysArg(call, holidayArg);
  const int sign = s > e ? -1 : 1;
  if (s > e) std::swap(s, e);
  int workPerWeek = 0;
  for (bool r : rest) workPerWeek += !r;
  const int64_t weeks = (e - s + 1) / 7;
  int64_t count = weeks * workPerWeek;
  auto working = [&](int64_t d) { return !rest[static_cast<size_t>(text::Weekday(d, d1904))]; };
  for (int64_t d = s + weeks * 7; d <= e; ++d) count += working(d);
  for (auto it = holidays.lower_bound(s); it != holidays.end() && *it <= e; ++it) {
    count -= working(*it);
  }
  return Num(static_cast<double>(sign * count));
}

// The work day `days` work days after (before) start.
Operand AddWorkDays(Call& call, int weekendArg, int holidayArg) {
  const bool d1904 = call.Ctx().Date1904();
  int64_t d = DayArg(call, 0);
  const double n = std::trunc(call.Number(1));
  const std::array<bool, 7> rest = WeekendOf(call, weekendArg);
  const std::set<int64_t> holidays = HolidaysArg(call, holidayArg);
  const int64_t maxDay = text::MaxSerial(d1904);
  if (std::fabs(n) > static_cast<double>(maxDay)) Fail();
  const int step = n < 0 ? -1 : 1;
  for (int64_t left = static_cast<int64_t>(std::fabs(n)); left > 0;) {
    d += step;
    if (d < 0 || d > maxDay) Fail();
    if (!rest[static_cast<size_t>(text::Weekday(d, d1904))] && !holidays.count(d)) --left;
  }
  return Num(static_cast<double>(d));
}

// NETWORKDAYS(start, end, [holidays]) and NETWORKDAYS.INTL(start, end, [weekend], [holidays]).
Operand NetworkDays(Call& call) { return CountWorkDays(call, -1, 2); }
Operand NetworkDaysIntl(Call& call) { return CountWorkDays(call, 2, 3); }
// WORKDAY(start, days, [holidays]) and WORKDAY.INTL(start, days, [weekend], [holidays]).
Operand WorkDay(Call& call) { return AddWorkDays(call, -1, 2); }
Operand WorkDayIntl(Call& call) { return AddWorkDays(call, 2, 3); }

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
  r.Add({"ISOWEEKNUM", 1, 1, IsoWeekNum});
  r.Add({"DAYS360", 2, 3, Days360Fn});
  r.Add({"YEARFRAC", 2, 3, YearFrac});
  r.Add({"NETWORKDAYS", 2, 3, NetworkDays});
  r.Add({"NETWORKDAYS.INTL", 2, 4, NetworkDaysIntl});
  r.Add({"WORKDAY", 2, 3, WorkDay});
  r.Add({"WORKDAY.INTL", 2, 4, WorkDayIntl});
}

}  // namespace ddt::grid::formula
