// Output verification: writing the output value, checking it against a pattern or an
// expected parameter, and the marks.
#include <string>

#include "results_fixture.h"

namespace ddt::results::testing {
namespace {

class VerifyTest : public ResultsTest {
 protected:
  // Sheet A with output o, expected o_exp and a number column n; child table A.T with x and
  // x_exp. Interactive binding (marks visible); scope A at row 2, A.T at row 1.
  void Build(CDT::DT_TYPE type) {
    input_ = MakeInput(type, {{"A", {"o", "o_exp"}}, {"A.T", {"x", "x_exp"}}}, 3);
    input_->SetRunRows({{"A", {{1, 3}}}, {"A.T", {{1, 3}}}});
    results_ = Prepared(type, *input_);
    ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    ASSERT_EQ(results_->RefreshSheet(input_.get(), "A.T"), 0);
    ASSERT_EQ(results_->CopyNextRow(input_.get(), "A.T", 0, 1, 1), 0);
  }
  void SetUp() override { Build(CDT::DT_TYPE_F1); }
  void Expect(const std::string& value, const std::string& expectedValue) {
    ASSERT_EQ(results_->SetParamValue(2, "o_exp", expectedValue, "A", 1), 0);
  }
  int Check(const char* value, const char* expected) {
    return results_->SetAndVerifyOutput("<o>", value, expected, true);
  }
  CDT::DT_STYLE Mark(const std::string& param, long row = 2, const std::string& sheet = "A") {
    return results_->StyleOf(sheet, param, row);
  }

  std::unique_ptr<TestInput> input_;
  std::unique_ptr<TestResults> results_;
};

TEST_F(VerifyTest, AnOutputThatIsNoReferenceIsRefused) {
  EXPECT_EQ(results_->SetAndVerifyOutput("o", "v", "v", true), -1);
  EXPECT_EQ(results_->Value("A", 2, "o"), "A:o:2");
  EXPECT_EQ(results_->SetAndVerifyOutput("<missing>", "v", "v", true), -1);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_PLAIN);
}

TEST_F(VerifyTest, WithoutVerifyTheValueIsWrittenTrimmedAndNothingMarked) {
  EXPECT_EQ(results_->SetAndVerifyOutput("<o>", "  v 1 \t", "zzz", false), 0);
  EXPECT_EQ(results_->Value("A", 2, "o"), "v 1");
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_PLAIN);
}

TEST_F(VerifyTest, PatternsFollowFnmatch) {
  for (const char* v : {"1", "10", "1abc"}) EXPECT_EQ(Check(v, "1*"), 1) << v;
  EXPECT_EQ(Check("abc", "a?c"), 1);
  EXPECT_EQ(Check("ac", "a?c"), 2);
  EXPECT_EQ(Check("7", "[0-9]"), 1);
  EXPECT_EQ(Check("12", "[0-9]"), 2);
  EXPECT_EQ(Check("*", "\\*"), 1);
  EXPECT_EQ(Check("x", "\\*"), 2);
  EXPECT_EQ(Check("ABC", "abc"), 2);
  EXPECT_EQ(Check("a\xC3\xA9" "c", "a?c"), 1);
  EXPECT_EQ(Check("\xC3\xA9", "??"), 2);
  EXPECT_EQ(Check("  abc ", " abc "), 1);  // both sides trimmed
  EXPECT_EQ(results_->Value("A", 2, "o"), "abc");
}

TEST_F(VerifyTest, MarksGreenOrLightRed) {
  EXPECT_EQ(Check("abc", "abc"), 1);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Check("abd", "abc"), 2);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_LIGHT_RED);
  EXPECT_EQ(Mark("o", 1), CDT::DT_STYLE_PLAIN);
}

TEST_F(VerifyTest, ExpectedParameterComparesItsDisplayedText) {
  Expect("", "5");
  EXPECT_EQ(Check("5", "<o_exp>"), 1);
  EXPECT_EQ(Mark("o_exp"), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Check("5.0", "<o_exp>"), 2);
  EXPECT_EQ(Mark("o_exp"), CDT::DT_STYLE_LIGHT_RED);
  Expect("", "ab*");
  EXPECT_EQ(Check("abc", "<o_exp>"), 1);
}

TEST_F(VerifyTest, AFailedExpectedCellKeepsItsMark) {
  Expect("", "x");
  EXPECT_EQ(Check("y", "<o_exp>"), 2);
  EXPECT_EQ(Check("x", "<o_exp>"), 1);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Mark("o_exp"), CDT::DT_STYLE_LIGHT_RED);
}

TEST_F(VerifyTest, ExpectedFormulasShowingATruthValueDecide) {
  ASSERT_EQ(results_->SetParamValue(2, "o_exp", "=1=1", "A", 1), 0);
  EXPECT_EQ(Check("anything", "<o_exp>"), 1);
  Expect("", "=1=2");
  EXPECT_EQ(Check("FALSE", "<o_exp>"), 2);
  Expect("", "=NA()");
  EXPECT_EQ(Check("#N/A", "<o_exp>"), 2);
  // A constant TRUE is a pattern like any other text.
  Expect("", "TRUE");
  EXPECT_EQ(Check("anything", "<o_exp>"), 2);
  EXPECT_EQ(Check("TRUE", "<o_exp>"), 1);
}

TEST_F(VerifyTest, AMissingExpectedParameterIsItsOwnPattern) {
  EXPECT_EQ(Check("<nope>", "<nope>"), 1);
  EXPECT_EQ(Check("v", "<nope>"), 2);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_LIGHT_RED);
}

TEST_F(VerifyTest, WithoutOutputOnlyTheExpectedCellIsMarked) {
  Expect("", "q");
  EXPECT_EQ(results_->SetAndVerifyOutput("", "q", "<o_exp>", true), 1);
  EXPECT_EQ(results_->SetAndVerifyOutput(nullptr, "q", "<o_exp>", true), 1);
  EXPECT_EQ(Mark("o_exp"), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Mark("o"), CDT::DT_STYLE_PLAIN);
  EXPECT_EQ(results_->Value("A", 2, "o"), "A:o:2");
}

TEST_F(VerifyTest, EachSideIsMarkedAtItsOwnRow) {
  // Output in A (row 2), expected in the child table A.T (row 1).
  ASSERT_EQ(results_->SetParamValue(1, "x_exp", "v", "A.T", 1), 0);
  EXPECT_EQ(results_->SetAndVerifyOutput("<o>", "v", "<T::x_exp>", true), 1);
  EXPECT_EQ(Mark("o", 2), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Mark("x_exp", 1, "A.T"), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(Mark("o", 1), CDT::DT_STYLE_PLAIN);
  EXPECT_EQ(results_->SetAndVerifyOutput("<T::x>", "w", "<o_exp>", true), 2);
  EXPECT_EQ(results_->Value("A.T", 1, "x"), "w");
  EXPECT_EQ(Mark("x", 1, "A.T"), CDT::DT_STYLE_LIGHT_RED);
  EXPECT_EQ(Mark("o_exp", 2), CDT::DT_STYLE_LIGHT_RED);
}

TEST_F(VerifyTest, WithoutCurrentRowNothingIsWrittenOrPassed) {
  auto fresh = Prepared(CDT::DT_TYPE_F1, *input_);
  fresh->m_strScope = "A.T";  // a sheet with no current-row entry... now give A one
  fresh->m_strScope = "B";
  EXPECT_EQ(fresh->SetAndVerifyOutput("<A::o>", "v", "v", true), -1);
  // An expected parameter that cannot be read fails the check.
  ASSERT_EQ(fresh->RefreshSheet(input_.get(), "A"), 0);  // entry 0: nothing copied yet
  fresh->m_strScope = "A";
  EXPECT_EQ(fresh->SetAndVerifyOutput("", "", "<o_exp>", true), 2);
  EXPECT_EQ(fresh->StyleOf("A", "o_exp", 0), CDT::DT_STYLE_PLAIN);  // column untouched
}

TEST_F(VerifyTest, TheHeadlessBindingChecksWithoutMarks) {
  Build(CDT::DT_TYPE_QX);
  Expect("", "x");
  EXPECT_EQ(Check("y", "<o_exp>"), 2);
  EXPECT_EQ(Check("x", "<o_exp>"), 1);
  EXPECT_EQ(results_->Value("A", 2, "o"), "x");
}

}  // namespace
}  // namespace ddt::results::testing
