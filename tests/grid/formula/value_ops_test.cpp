// Coercions and comparisons of formula values.
#include <gtest/gtest.h>

#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

TEST(TextToNumber, ReadsWhatExcelReads) {
  EXPECT_EQ(TextToNumber(" 12 "), 12);
  EXPECT_EQ(TextToNumber("-1.5e3"), -1500);
  EXPECT_EQ(TextToNumber("1,234,567.5"), 1234567.5);
  EXPECT_EQ(TextToNumber("50%"), 0.5);
  EXPECT_EQ(TextToNumber("(100)"), -100);
  EXPECT_EQ(TextToNumber(".5"), 0.5);
  EXPECT_EQ(TextToNumber("5."), 5);
  EXPECT_FALSE(TextToNumber(""));
  EXPECT_FALSE(TextToNumber("abc"));
  EXPECT_FALSE(TextToNumber("1,23"));
  EXPECT_FALSE(TextToNumber("1e"));
  EXPECT_FALSE(TextToNumber("."));
  EXPECT_FALSE(TextToNumber("1 2"));
  EXPECT_FALSE(TextToNumber("(-1)"));
  EXPECT_FALSE(TextToNumber("1e999"));
}

TEST(Coercion, NumbersTextAndBooleans) {
  EXPECT_EQ(AsNumber(Value{true}), 1);
  EXPECT_EQ(AsNumber(Value{}), 0);
  EXPECT_EQ(AsNumber(Value{std::string("3")}), 3);
  EXPECT_THROW(AsNumber(Value{std::string("x")}), FormulaError);
  try {
    AsNumber(Value{ErrorCode::Div0});
    FAIL();
  } catch (const FormulaError& e) {
    EXPECT_EQ(e.code, ErrorCode::Div0);
  }
  EXPECT_EQ(AsText(Value{false}), "FALSE");
  EXPECT_EQ(AsText(Value{2.5}), "2.5");
  EXPECT_EQ(AsText(Value{}), "");
  EXPECT_TRUE(AsBool(Value{std::string("true")}));
  EXPECT_FALSE(AsBool(Value{0.0}));
  EXPECT_THROW(AsBool(Value{std::string("yes")}), FormulaError);
}

TEST(CompareValues, TypesOrderAndTextIgnoresCase) {
  EXPECT_LT(CompareValues(Value{1e300}, Value{std::string("")}), 0);
  EXPECT_LT(CompareValues(Value{std::string("zzz")}, Value{false}), 0);
  EXPECT_GT(CompareValues(Value{true}, Value{false}), 0);
  EXPECT_EQ(CompareValues(Value{std::string("ABC")}, Value{std::string("abc")}), 0);
  EXPECT_LT(CompareValues(Value{std::string("a")}, Value{std::string("B")}), 0);
  EXPECT_EQ(CompareValues(Value{}, Value{0.0}), 0);
  EXPECT_EQ(CompareValues(Value{}, Value{std::string()}), 0);
  EXPECT_EQ(CompareValues(Value{}, Value{false}), 0);
  EXPECT_LT(CompareValues(Value{}, Value{1.0}), 0);
  EXPECT_EQ(CompareValues(Value{0.1 + 0.2}, Value{0.3}), 0);
  EXPECT_NE(CompareValues(Value{1.0}, Value{1.0000000001}), 0);
}

TEST(CaseFolding, BeyondAscii) {
  EXPECT_EQ(CompareTextNoCase("ÄÖÜ", "äöü"), 0);
  EXPECT_EQ(CompareTextNoCase("ПРИВЕТ", "привет"), 0);
  EXPECT_EQ(UpperText("héllo"), "HÉLLO");
  EXPECT_EQ(LowerText("ΑΒΓ"), "αβγ");
}

TEST(Registry, FindsCaseInsensitivelyAndWithFilePrefixes) {
  const FunctionRegistry& r = Functions();
  ASSERT_NE(r.Find("sum"), nullptr);
  EXPECT_EQ(r.Find("_xlfn.SUM"), r.Find("SUM"));
  EXPECT_EQ(r.Find("NO.SUCH.FUNCTION"), nullptr);
}

}  // namespace
}  // namespace ddt::grid::formula
