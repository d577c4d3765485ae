// Dates and times through a date section (en-US names).
#include <cmath>

#include "grid/format/render.h"
#include "text/date_serial.h"

namespace ddt::grid::format {

namespace {

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",
                                       "May",     "June",     "July",      "August",
                                       "September", "October", "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr int kAbbreviation = 3;
constexpr int kHoursPerHalfDay = 12;

void AppendPadded(std::string& out, int64_t n, int width) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  if (n < 0) out += '-';
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

}  // namespace

void RenderDate(std::string& out, const Section& s, double v, bool date1904) {
  // Far outside the calendar is as invalid as a negative serial; the bound keeps the
  // millisecond arithmetic in range.
  if (!(v >= 0) || v >= static_cast<double>(text::MaxSerial(date1904) + 1)) {
    out += kNoDisplayText;
    return;
  }
  const text::SerialParts p = text::SplitSerial(v, s.subSecondDigits);
  std::optional<text::CivilDate> date;
  bool needDate = false;
  for (const Token& t : s.tokens)
    needDate = needDate || t.kind == TokenKind::Year || t.kind == TokenKind::Month ||
               (t.kind == TokenKind::Day && t.width <= 2);
  if (needDate) {
    date = text::SerialToDate(p.day, date1904);
    if (!date) {  // rounding carried past 9999-12-31
      out += kNoDisplayText;
      return;
    }
  }
  const int64_t totalHours = p.day * 24 + p.hour;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TokenKind::Literal: out += t.text; break;
      case TokenKind::Year:
        if (t.width == 2) AppendPadded(out, date->year % 100, 2);
        else AppendPadded(out, date->year, 4);
        break;
      case TokenKind::Month:
        if (t.width <= 2) AppendPadded(out, date->month, t.width);
        else if (t.width == 3) out.append(kMonthNames[date->month - 1], kAbbreviation);
        else if (t.width == 4) out += kMonthNames[date->month - 1];
        else out += kMonthNames[date->month - 1][0];
        break;
      case TokenKind::Day:
        if (t.width <= 2) {
          AppendPadded(out, date->day, t.width);
        } else {
          const char* name = kDayNames[text::Weekday(p.day, date1904)];
          if (t.width == 3) out.append(name, kAbbreviation);
          else out += name;
        }
        break;
      case TokenKind::Hour: {
        int h = p.hour;
        if (s.hour12) {
          h %= kHoursPerHalfDay;
          if (h == 0) h = kHoursPerHalfDay;
        }
        AppendPadded(out, h, t.width);
        break;
      }
      case TokenKind::Minute: AppendPadded(out, p.minute, t.width); break;
      case TokenKind::Second: AppendPadded(out, p.second, t.width); break;
      case TokenKind::SubSecond: {
        out += '.';
        int div = 1;
        for (int i = t.width; i < 3; ++i) div *= 10;
        AppendPadded(out, p.millisecond / div, t.width);
        break;
      }
      case TokenKind::Elapsed: {
        int64_t n = totalHours;
        if (t.ch == 'm' || t.ch == 's') n = n * 60 + p.minute;
        if (t.ch == 's') n = n * 60 + p.second;
        AppendPadded(out, n, t.width);
        break;
      }
      case TokenKind::AmPm: {
        const bool pm = p.hour >= kHoursPerHalfDay;
        // AM/PM in any case shows AM or PM; A/P keeps the case of the letter it shows.
        if (t.width == 5) out += pm ? "PM" : "AM";
        else out += t.text[pm ? 2 : 0];
        break;
      }
      default: break;
    }
  }
}

}  // namespace ddt::grid::format
