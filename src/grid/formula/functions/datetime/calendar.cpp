// Calendar functions beyond the basic date set: ISOWEEKNUM, DAYS360, YEARFRAC, and the
// work-day functions (WORKDAY, NETWORKDAYS and their .INTL forms with a chosen weekend).
#include <array>
#include <cmath>
#include <set>
#include <string>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions/text/text_number.h"
#include "grid/formula/functions.h"
#include "text/date_serial.h"

namespace ddt::grid::formula {
namespace {

int64_t DayArg(Call& call, int i) { return static_cast<int64_t>(std::floor(SerialArg(call, i))); }

text::CivilDate CivilOf(int64_t day, bool date1904) {
  auto d = text::SerialToDate(day, date1904);
  if (!d) Fail();
  return *d;
}

int64_t SerialOf(int year, int month, int day, bool date1904) {
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
  const int64_t jan1 = SerialOf(t.year, 1, 1, d1904);
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
    const double first = static_cast<double>(SerialOf(a.year, 1, 1, d1904));
    const double last = static_cast<double>(SerialOf(b.year + 1, 1, 1, d1904));
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

void RegisterCalendarFunctions(FunctionRegistry& r) {
  r.Add({"ISOWEEKNUM", 1, 1, IsoWeekNum});
  r.Add({"DAYS360", 2, 3, Days360Fn});
  r.Add({"YEARFRAC", 2, 3, YearFrac});
  r.Add({"NETWORKDAYS", 2, 3, NetworkDays});
  r.Add({"NETWORKDAYS.INTL", 2, 4, NetworkDaysIntl});
  r.Add({"WORKDAY", 2, 3, WorkDay});
  r.Add({"WORKDAY.INTL", 2, 4, WorkDayIntl});
}

}  // namespace ddt::grid::formula
