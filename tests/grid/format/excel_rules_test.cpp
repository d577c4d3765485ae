// The rules behind Excel's own results in the corpus test workbooks, on values and codes of
// their own, so that they hold where the corpus is absent.
#include <gtest/gtest.h>

#include "grid/format/number_format.h"
#include "grid/workbook.h"

namespace ddt::grid::format {
namespace {

TEST(GeneralDisplay, ElevenCharactersBesidesTheSign) {
  EXPECT_EQ(FormatNumber(99999999999, "General"), "99999999999");
  EXPECT_EQ(FormatNumber(-99999999999, "General"), "-99999999999");
  EXPECT_EQ(FormatNumber(99999999999.6, "General"), "1E+11");  // rounding adds a digit
  EXPECT_EQ(FormatNumber(123456789012, "General"), "1.23457E+11");
  EXPECT_EQ(FormatNumber(1234567890.56, "General"), "1234567891");
  EXPECT_EQ(FormatNumber(-1.2345678912, ""), "-1.234567891");
  EXPECT_EQ(FormatNumber(0.99999999999, "General"), "1");
  // Below 1: plain while it shows as many significant digits as the scientific form.
  EXPECT_EQ(FormatNumber(0.0001, "General"), "0.0001");
  EXPECT_EQ(FormatNumber(0.00012345678, "General"), "0.000123457");
  EXPECT_EQ(FormatNumber(0.0000123456, "General"), "1.23456E-05");
  EXPECT_EQ(FormatNumber(1e-10, "General"), "1E-10");
  // Three exponent digits leave room for one decimal less.
  EXPECT_EQ(FormatNumber(1.23456789e100, "General"), "1.2346E+100");
  EXPECT_EQ(FormatNumber(-1.23456789e-100, "General"), "-1.2346E-100");
  EXPECT_EQ(FormatNumber(9.9999999e99, "General"), "1E+100");
  // The General of a section, and of a value no conditional section takes, too.
  EXPECT_EQ(FormatNumber(123456789012, "\"n=\"General"), "n=1.23457E+11");
  EXPECT_EQ(FormatNumber(123456789012, "[<0]0"), "1.23457E+11");
  // A number as text keeps its 15 digits.
  EXPECT_EQ(FormatGeneral(123456789012), "123456789012");
}

TEST(ScientificCodes, ExponentSignScalingAndZero) {
  // The sign belongs to the exponent's digits, after text that follows the E.
  EXPECT_EQ(FormatNumber(12345, "0.0E+\" \"00"), "1.2E +04");
  EXPECT_EQ(FormatNumber(0.00012345, "0.0e-\"x\"0"), "1.2ex-4");
  EXPECT_EQ(FormatNumber(12345, "0.0E-\"x\"0"), "1.2Ex4");
  EXPECT_EQ(FormatNumber(1.5e142, "0.0E+???0"), "1.5E+ 142");
  EXPECT_EQ(FormatNumber(1.5e42, "0.0E+????"), "1.5E+  42");
  // % and commas neither scale nor group; a comma among the exponent's digits is dropped.
  EXPECT_EQ(FormatNumber(1234, "0.0E+0%"), "1.2E+3%");
  EXPECT_EQ(FormatNumber(1234, "0,E+0"), "1E+3");
  EXPECT_EQ(FormatNumber(1.5e-42, "0.0E+00,0"), "1.5E-042");
  // Grouping inside the mantissa's integer placeholders.
  EXPECT_EQ(FormatNumber(123456.789, "#,######.###E+0"), "123,456.789E+0");
  // Zero fills every integer placeholder.
  EXPECT_EQ(FormatNumber(0, "##0.0E+0"), "000.0E+0");
  EXPECT_EQ(FormatNumber(0, "??.?E+??"), "00. E+ 0");
  EXPECT_EQ(FormatNumber(-0.0, "#.#E+#"), "0.E+0");
}

TEST(FractionCodes, TextAroundThePartsAndWholeNumbers) {
  EXPECT_EQ(FormatNumber(23.75, "#\\:#/#"), "23:3/4");
  EXPECT_EQ(FormatNumber(-23.75, "#\\:#\"=\"/\"=\"#"), "-23:3=/=4");
  // No integer digit: the text before the numerator goes, or is blank beside a ? place.
  EXPECT_EQ(FormatNumber(0.75, "#\\:#/#"), "3/4");
  EXPECT_EQ(FormatNumber(0.75, "#\\:?/#"), " 3/4");
  EXPECT_EQ(FormatNumber(0.75, "?\\:#/#"), "  3/4");
  EXPECT_EQ(FormatNumber(0.75, "0\\:#/#"), "0:3/4");
  // Placeholders of the integer part with text between them.
  EXPECT_EQ(FormatNumber(23.75, "#-#-#\\:#/#"), "-2-3:3/4");
  EXPECT_EQ(FormatNumber(0.75, "#-#-#\\:#/#"), "--3/4");
  // A whole number: the fraction's place is blank where a part has ?, else left out; a 0
  // numerator shows 0 over 1.
  EXPECT_EQ(FormatNumber(0, "#\\:#/#"), "0");
  EXPECT_EQ(FormatNumber(1, "#\\:#/#"), "1");
  EXPECT_EQ(FormatNumber(0, "?\\:#/#"), "0    ");
  EXPECT_EQ(FormatNumber(0, "#\\:0/#"), "0/1");
  EXPECT_EQ(FormatNumber(0, "?\\:0/#"), "0:0/1");
  EXPECT_EQ(FormatNumber(1, "#\\:0/#"), "1:0/1");
  // Denominators: 0 placeholders pad with zeros on the left, ? with spaces on the right.
  EXPECT_EQ(FormatNumber(23.75, "# ?0#/000"), "23  03/004");
  EXPECT_EQ(FormatNumber(1.5, "# ?/??"), "1 1/2 ");
  // Text between the numerator and the bar: an improper fraction.
  EXPECT_EQ(FormatNumber(3.75, "#_#/#"), "15 /4");
  EXPECT_EQ(FormatNumber(0, "#_#/#"), "0 /1");
}

TEST(DateCodes, AmPmElapsedUnitsAndMinutes) {
  EXPECT_EQ(FormatNumber(45000.75, "h:mm am/pm"), "6:00 PM");
  EXPECT_EQ(FormatNumber(45000.25, "h:mm Am/pM"), "6:00 AM");
  EXPECT_EQ(FormatNumber(45000.75, "h:mm a/p"), "6:00 p");
  EXPECT_EQ(FormatNumber(45000.25, "h:mm A/P"), "6:00 A");
  // m right after seconds is minutes.
  const double t = 2.0 / 24 + 3.0 / 1440 + 4.0 / 86400;  // 2:03:04
  EXPECT_EQ(FormatNumber(t, "s:m"), "4:3");
  EXPECT_EQ(FormatNumber(45000 + t, "d/m/yyyy"), "15/3/2023");
  // The unit of an elapsed time shows its total where it appears without brackets too.
  EXPECT_EQ(FormatNumber(1 + t, "[h] h:mm"), "26 26:03");
  EXPECT_EQ(FormatNumber(t, "[s] ss"), "7384 7384");
  EXPECT_EQ(FormatNumber(0, "[s] ss"), "0 00");
  EXPECT_EQ(FormatNumber(t, "h [m]"), "2 123");
}

TEST(TextFunction, DiffersFromACellWhereExcelDoes) {
  const double t = -(2.0 / 24 + 3.0 / 1440 + 4.0 / 86400);
  EXPECT_EQ(FormatNumberAsText(t, "[h]:mm:ss"), "-2:03:04");
  EXPECT_EQ(FormatNumberAsText(t, "\"took \"[m]\" min\""), "-took 123 min");
  EXPECT_EQ(FormatNumber(t, "[h]:mm:ss"), kNoDisplayText);
  EXPECT_EQ(FormatNumberAsText(t, "h:mm"), kNoDisplayText);  // not an elapsed time
  EXPECT_EQ(FormatNumberAsText(5, ""), "");
  EXPECT_EQ(FormatNumber(5, ""), "5");
  EXPECT_EQ(FormatNumberAsText(0.25, "0%"), "25%");
  EXPECT_EQ(FormatLogical(true, ";;;-@-"), "-TRUE-");
  EXPECT_EQ(FormatLogical(false, ";;;\"no\""), "no");
  EXPECT_EQ(FormatLogical(false, "0.00"), "FALSE");
}

TEST(TextFunction, ThroughTheFormulaEngine) {
  Workbook book;
  book.SetEntry(0, 1, 1, "TRUE");
  book.SetEntry(0, 1, 2, "=TEXT(A1,\";;;@@\")");
  book.SetEntry(0, 1, 3, "=TEXT(-1/24,\"[h]:mm\")");
  book.SetEntry(0, 1, 4, "=TEXT(123456789012,\"General\")");
  book.SetEntry(0, 1, 5, "=TEXT(5,\"\")");
  EXPECT_EQ(book.GetFormattedText(0, 1, 2), "TRUETRUE");
  EXPECT_EQ(book.GetFormattedText(0, 1, 3), "-1:00");
  EXPECT_EQ(book.GetFormattedText(0, 1, 4), "1.23457E+11");
  EXPECT_EQ(book.GetFormattedText(0, 1, 5), "");
}

}  // namespace
}  // namespace ddt::grid::format
