// Text read as a number the way the spreadsheet's VALUE reads it (and the *IF criteria and
// text-to-number coercion with it).
#pragma once

#include <optional>
#include <string_view>

namespace ddt::grid::formula {

// Accepted, with blanks around: decimal numbers with sign, thousands commas (groups of
// three), decimals and exponent; a leading "$"; a trailing "%" (divides by 100); a number in
// parentheses (negative); dates (m/d/yyyy, m/d/yy, m/d, yyyy-m-d, yyyy/m/d, d-mmm-yyyy,
// d mmm yyyy, d-mmm, mmm d yyyy, "mmmm d, yyyy", mmm-yy) and times (h:mm, h:mm:ss,
// h:mm:ss.000, with AM/PM, and "h AM"), alone or date then time. Dates give their serial
// on the given date system, times the fraction of a day. Two-digit years 00..29 are
// 2000..2029, 30..99 are 1930..1999; a date without a year is in the current year.
// Nothing when the text is none of these.
std::optional<double> ReadNumberText(std::string_view text, bool date1904 = false);

// Only the date and time forms above (DATEVALUE, TIMEVALUE); plain numbers give nothing.
std::optional<double> ReadDateTimeText(std::string_view text, bool date1904 = false);

}  // namespace ddt::grid::formula
