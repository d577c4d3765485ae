// Excel number-format codes: rendering numbers and text through a format code.
#pragma once

#include <string>
#include <string_view>

namespace ddt::grid::format {

// The number as displayed by the format code (sections, conditions, dates on the 1900
// system, or 1904 when `date1904`). "General" or an empty code shows at most 11 characters
// besides the sign: 1.234567891 for 1.2345678912, 1.1E+11 for 110000000000.
// Codes are compiled once and cached process-wide; safe to call from several threads.
// Text that a column's width would matter for (fill with *, space of _) renders as a single
// space for _ and nothing for *; colours show nothing. A code that cannot be read renders
// what it can; nothing ever throws. Non-finite values give "#NUM!".
std::string FormatNumber(double value, std::string_view code, bool date1904 = false);
// A text value through the code's text section (@); text passes unchanged without one.
std::string FormatText(std::string_view text, std::string_view code);
// The TEXT() function of a number: as FormatNumber, except that an empty code gives empty
// text and a negative serial through an elapsed-time section ([h]:mm) shows its magnitude
// after a minus sign ("-2:03") where a cell shows kNoDisplayText.
std::string FormatNumberAsText(double value, std::string_view code, bool date1904 = false);
// The TEXT() function of a logical value: TRUE or FALSE through the code's text section.
std::string FormatLogical(bool value, std::string_view code);
// A number as text (a formula joining it to text, an entry read back): 15 significant
// digits, plain decimals for 1E-9 <= |x| < 1E+15, Excel's scientific form otherwise. This is
// not the General number format's display, which FormatNumber gives.
std::string FormatGeneral(double value);
// Built-in format ids of the file format (0 to 49): the code, or null for an unknown id.
const char* BuiltinFormatCode(int id);
// The built-in id of a code, or -1.
int BuiltinFormatId(std::string_view code);
// Built-in ids that stand for a format of the reader's locale in East Asian versions (27 to
// 36 and 50 to 58: era and calendar dates, times with unit marks): the date or time code
// they read as where no such locale applies, as LibreOffice reads them (dates m/d/yyyy,
// 32 to 35 times h:mm:ss); null for other ids.
const char* LocaleBuiltinFormatCode(int id);
// Whether the code shows dates or times.
bool IsDateFormat(std::string_view code);
// Whether the code shows numbers as percentages (its first section has %).
bool IsPercentFormat(std::string_view code);

// What a code shows for a value it cannot display: a serial without a date (negative, or
// after 9999-12-31), or a number scaled (%) past the range of a double.
inline constexpr std::string_view kNoDisplayText = "########";

}  // namespace ddt::grid::format
