// Excel serial numbers and civil dates and times.
//
// A serial number counts days; its fraction is the time of day. Two systems exist:
// - 1900 (the default): serial 1 is 1900-01-01 and serial 0 shows as 1900-01-00. The system
//   keeps Lotus' fictitious 29 February 1900 as serial 60, so serials from 61 on (1900-03-01)
//   are one more than the real day count, and serials 1 to 59 fall on the weekday the
//   fictitious calendar gives them (serial 1 is a Sunday).
// - 1904 (workbooks that carry the flag): serial 0 is 1904-01-01, no fictitious day.
// Both end at 9999-12-31. Dates outside 0..MaxSerial have no civil form.
#pragma once

#include <cstdint>
#include <optional>

namespace ddt::text {

// The last year a serial can reach.
constexpr int kMaxSerialYear = 9999;
constexpr int kSecondsPerDay = 86400;

struct CivilDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31; 0 only for serial 0 in the 1900 system (1900-01-00)
  bool operator==(const CivilDate&) const = default;
};

// 2958465 in the 1900 system, 2957003 in the 1904 system (both 9999-12-31).
int64_t MaxSerial(bool date1904);

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12, day 1..31).
int64_t DaysFromCivil(int64_t year, int month, int day);
// The serial of a day count from 1970-01-01, unchecked: in the 1900 system days from
// 1 March 1900 on count one more, for the fictitious 29 February.
int64_t SerialFromDays(int64_t days, bool date1904);

// The civil date of a whole serial day, or nothing outside 0..MaxSerial.
std::optional<CivilDate> SerialToDate(int64_t serialDay, bool date1904);

// The serial of a civil date. Month and day may lie outside their ranges and roll over the
// way a spreadsheet's DATE does: month 13 is January of the next year, month 0 December of
// the previous one, day 0 the last day of the previous month (so (1900, 3, 0) is serial 60,
// the fictitious 29 February). The year is taken as given (DATE's rule that years below 1900
// add 1900 belongs to DATE). Nothing when the result lies outside 0..MaxSerial.
std::optional<int64_t> DateToSerial(int year, int month, int day, bool date1904);

// Day of the week of a whole serial day: 0 = Sunday ... 6 = Saturday. Defined for every
// serial; in the 1900 system serial 1 is a Sunday and serial 0 a Saturday.
int Weekday(int64_t serialDay, bool date1904);

// A serial split into day and time of day after rounding to 10^-secondDigits seconds
// (secondDigits 0..3); rounding may carry into the next day (0.9999999 -> day 1, 00:00:00).
struct SerialParts {
  int64_t day = 0;  // floor of the rounded serial
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..59
  int millisecond = 0;  // 0..999, a multiple of the rounding unit
};
// Requires a finite serial with |serial| below 1e11 (a negative serial gives a negative day).
SerialParts SplitSerial(double serial, int secondDigits = 0);

// The fraction of a day of a time: (hour * 3600 + minute * 60 + second) / 86400, no wrap.
double TimeToSerial(double hour, double minute, double second);

}  // namespace ddt::text
