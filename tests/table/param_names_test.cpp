// Legal parameter names, column letters and the leading-zero rule for values.
#include <gtest/gtest.h>

#include <cstring>

#include "table/param_names.h"

namespace {

using ddt::table::MakeLegalName;
using ddt::table::ValueEntry;

std::string Legal(std::string name) {
  MakeLegalName(name);
  return name;
}

TEST(ParamNames, MakeLegalNameRewritesOnlyWhatIsIllegal) {
  EXPECT_EQ(Legal("  1st value \t"), "_1st value");
  EXPECT_EQ(Legal("-x"), "_x");
  EXPECT_EQ(Legal("+x"), "_x");
  EXPECT_EQ(Legal("=x"), "_x");
  EXPECT_EQ(Legal("-1"), "_1");  // the replaced sign is not a digit: no second underscore
  EXPECT_EQ(Legal("a,b!c$d\\e"), "a_b_c_d_e");
  EXPECT_EQ(Legal("   "), "");
  EXPECT_EQ(Legal("my.param name"), "my.param name");  // dots and inner spaces are fine
  EXPECT_EQ(Legal("x-1=2+3"), "x-1=2+3");              // only a leading sign is illegal
  EXPECT_EQ(Legal("Größe"), "Größe");
}

TEST(ParamNames, ColumnNameSuggestionTruncatesToTheBuffer) {
  char buffer[8] = "9abc";
  GetColumnNameSuggestion(buffer, 4);
  EXPECT_STREQ(buffer, "_9a");

  char roomy[32] = " a,b ";
  GetColumnNameSuggestion(roomy, sizeof roomy);
  EXPECT_STREQ(roomy, "a_b");

  char one[4] = "xyz";
  GetColumnNameSuggestion(one, 1);
  EXPECT_STREQ(one, "");
}

TEST(ParamNames, ColumnNameSuggestionNeverSplitsACharacter) {
  char buffer[16] = "ab\xC3\xA9";  // "abé": the é takes two bytes
  GetColumnNameSuggestion(buffer, 4);
  EXPECT_STREQ(buffer, "ab");
}

TEST(ParamNames, ColumnNameSuggestionReadsNoFurtherThanTheSize) {
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  GetColumnNameSuggestion(unterminated, 4);
  EXPECT_STREQ(unterminated, "abc");
  GetColumnNameSuggestion(nullptr, 10);  // nothing to do, nothing to crash on
  char untouched[4] = "x";
  GetColumnNameSuggestion(untouched, 0);
  EXPECT_STREQ(untouched, "x");
}

TEST(ParamNames, LeadingZeroTextsBecomeTextFormulas) {
  EXPECT_EQ(ValueEntry("  007 "), "=\"007\"");
  EXPECT_EQ(ValueEntry("0.50"), "=\"0.50\"");
  EXPECT_EQ(ValueEntry("00"), "=\"00\"");
  EXPECT_EQ(ValueEntry("0"), "0");
  EXPECT_EQ(ValueEntry("1.5"), "1.5");
  EXPECT_EQ(ValueEntry("0.1.2"), "0.1.2");
  EXPECT_EQ(ValueEntry("0x1"), "0x1");
  EXPECT_EQ(ValueEntry("012a"), "012a");
  EXPECT_EQ(ValueEntry(" text "), "text");
  EXPECT_EQ(ValueEntry(""), "");
}

}  // namespace
