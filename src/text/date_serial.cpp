#include "text/date_serial.h"

#include <cmath>

namespace ddt::text {

namespace {

// The proleptic Gregorian date of a day count from 1970-01-01.
CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

const int64_t kEpoch1900 = DaysFromCivil(1899, 12, 31);  // real day before serial 1
const int64_t kEpoch1904 = DaysFromCivil(1904, 1, 1);    // serial 0
constexpr int64_t kFictitiousDay = 60;                   // 1900-02-29 in the 1900 system
// Years far outside the serial range are refused before any arithmetic can overflow.
constexpr int64_t kYearGuard = 1000000;

// Serial of the first day of a month (month 1..12), unchecked.
int64_t SerialOfFirst(int64_t year, int month, bool date1904) {
  return SerialFromDays(DaysFromCivil(year, month, 1), date1904);
}

}  // namespace

int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t SerialFromDays(int64_t days, bool date1904) {
  if (date1904) return days - kEpoch1904;
  const int64_t real = days - kEpoch1900;
  return real >= kFictitiousDay ? real + 1 : real;
}

int64_t MaxSerial(bool date1904) {
  return SerialOfFirst(kMaxSerialYear, 12, date1904) + 30;
}

std::optional<CivilDate> SerialToDate(int64_t serialDay, bool date1904) {
  if (serialDay < 0 || serialDay > MaxSerial(date1904)) return std::nullopt;
  if (date1904) return CivilFromDays(serialDay + kEpoch1904);
  if (serialDay == 0) return CivilDate{1900, 1, 0};
  if (serialDay == kFictitiousDay) return CivilDate{1900, 2, 29};
  const int64_t real = serialDay > kFictitiousDay ? serialDay - 1 : serialDay;
  return CivilFromDays(real + kEpoch1900);
}

std::optional<int64_t> DateToSerial(int year, int month, int day, bool date1904) {
  int64_t y = year;
  int64_t m0 = static_cast<int64_t>(month) - 1;  // 0-based, may be out of range
  y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
  m0 -= (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12)) * 12;
  if (y < -kYearGuard || y > kYearGuard) return std::nullopt;
  const int64_t serial = SerialOfFirst(y, static_cast<int>(m0) + 1, date1904) + day - 1;
  if (serial < 0 || serial > MaxSerial(date1904)) return std::nullopt;
  return serial;
}

int Weekday(int64_t serialDay, bool date1904) {
  // Serial 0 is a Saturday in the 1900 system and a Friday (1904-01-01) in the 1904 one.
  const int64_t shifted = serialDay + (date1904 ? 5 : 6);
  const int64_t w = shifted % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

SerialParts SplitSerial(double serial, int secondDigits) {
  if (secondDigits < 0) secondDigits = 0;
  if (secondDigits > 3) secondDigits = 3;
  int unitsPerSecond = 1;
  for (int i = 0; i < secondDigits; ++i) unitsPerSecond *= 10;
  const double unitsPerDay = static_cast<double>(kSecondsPerDay) * unitsPerSecond;
  // Round the whole serial in rounding units so that carries reach the day.
  const int64_t units = static_cast<int64_t>(std::llround(serial * unitsPerDay));
  const int64_t perDay = static_cast<int64_t>(unitsPerDay);
  int64_t day = units / perDay;
  int64_t rest = units % perDay;
  if (rest < 0) {
    rest += perDay;
    --day;
  }
  SerialParts p;
  p.day = day;
  const int64_t secs = rest / unitsPerSecond;
  p.millisecond = static_cast<int>((rest % unitsPerSecond) * (1000 / unitsPerSecond));
  p.hour = static_cast<int>(secs / 3600);
  p.minute = static_cast<int>(secs / 60 % 60);
  p.second = static_cast<int>(secs % 60);
  return p;
}

double TimeToSerial(double hour, double minute, double second) {
  return (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

}  // namespace ddt::text
