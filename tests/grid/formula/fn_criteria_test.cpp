// Wildcards and *IF criteria, tested directly.
#include <gtest/gtest.h>

#include "grid/formula/criteria.h"

namespace ddt::grid::formula {
namespace {

TEST(FnWildcard, StarQuestionAndTildeFollowExcel) {
  EXPECT_TRUE(Wildcard("a*").Matches("Apple"));
  EXPECT_TRUE(Wildcard("*").Matches(""));
  EXPECT_TRUE(Wildcard("a*e").Matches("ae"));
  EXPECT_FALSE(Wildcard("a*e").Matches("apples"));
  EXPECT_TRUE(Wildcard("?b?").Matches("abc"));
  EXPECT_FALSE(Wildcard("?b?").Matches("ab"));
  EXPECT_TRUE(Wildcard("*a*b*c").Matches("xxaxxbxxbc"));  // needs backtracking past a b
  EXPECT_FALSE(Wildcard("*a*b*c").Matches("xxaxxbxxbcd"));
  // Escapes: ~* and ~? are literal, ~~ is one tilde, a lone ~ stays a tilde.
  EXPECT_TRUE(Wildcard("5~*").Matches("5*"));
  EXPECT_FALSE(Wildcard("5~*").Matches("50"));
  EXPECT_TRUE(Wildcard("why~?").Matches("why?"));
  EXPECT_FALSE(Wildcard("why~?").Matches("whys"));
  EXPECT_TRUE(Wildcard("a~~b").Matches("a~b"));
  EXPECT_TRUE(Wildcard("a~b").Matches("a~b"));
  EXPECT_FALSE(Wildcard("5~*").HasWildcards());
  EXPECT_EQ(Wildcard("5~*x~~").Literal(), "5*x~");
}

TEST(FnWildcard, MultibyteCharactersCountOnceAndCaseFolds) {
  EXPECT_TRUE(Wildcard("?").Matches("é"));
  EXPECT_TRUE(Wildcard("gr??e").Matches("GRÜßE"));
  EXPECT_TRUE(Wildcard("ÉT*").Matches("été"));
  EXPECT_FALSE(Wildcard("??").Matches("€"));
}

TEST(FnWildcard, SearchFindsFirstMatchFromStart) {
  EXPECT_EQ(Wildcard("b?d").Search("abcdbxd", 0), 1u);
  EXPECT_EQ(Wildcard("b?d").Search("abcdbxd", 2), 4u);
  EXPECT_EQ(Wildcard("zz").Search("abc", 0), Wildcard::npos);
  EXPECT_EQ(Wildcard("c").Search("ääc", 0), 2u);  // character index, not byte index
  EXPECT_EQ(Wildcard("*").Search("abc", 3), 3u);
  // Long texts that make naive matching quadratic or worse still answer.
  const std::string longText(32767, 'a');
  EXPECT_EQ(Wildcard("*a*a*b").Search(longText, 0), Wildcard::npos);
  EXPECT_EQ(Wildcard("a*a*b").Search(longText, 0), Wildcard::npos);
  EXPECT_EQ(Wildcard("a?a*a").Search(longText, 5), 5u);
  EXPECT_FALSE(Wildcard("*a*a*b").Matches(longText));
  EXPECT_EQ(Wildcard("x*").Search("abxcx", 0), 2u);
  EXPECT_EQ(Wildcard("x*").Search("abxcx", 3), 4u);
}

int CountMatches(const Value& criterion, const std::vector<Value>& cells) {
  Criterion c(criterion);
  int n = 0;
  for (const Value& v : cells) n += c.Matches(v);
  return n;
}

const std::vector<Value> kMixed = {Empty{}, 5.0, 10.0, std::string("5"), std::string("apple"),
                                   std::string("Banana"), std::string(""), true, false,
                                   ErrorCode::NA, -3.0};

TEST(FnCriteria, NumbersAndComparisons) {
  EXPECT_EQ(CountMatches(5.0, kMixed), 2);  // 5 and the text "5"
  EXPECT_EQ(CountMatches(std::string("5"), kMixed), 2);
  EXPECT_EQ(CountMatches(std::string("=5"), kMixed), 2);
  EXPECT_EQ(CountMatches(std::string(">=5"), kMixed), 2);  // numbers only: 5, 10
  EXPECT_EQ(CountMatches(std::string(">4.5"), kMixed), 2);
  EXPECT_EQ(CountMatches(std::string("<0"), kMixed), 1);
  EXPECT_EQ(CountMatches(std::string("<=10"), kMixed), 3);
  EXPECT_EQ(CountMatches(std::string("<>5"), kMixed), 9);  // everything else, blanks too
  EXPECT_EQ(CountMatches(std::string(">50%"), std::vector<Value>{0.4, 0.6, 1.0}), 2);
  // A blank criterion cell counts as 0; it does not match blank cells.
  EXPECT_EQ(CountMatches(Empty{}, std::vector<Value>{0.0, Empty{}, std::string("")}), 1);
}

TEST(FnCriteria, TextWildcardsAndCase) {
  EXPECT_EQ(CountMatches(std::string("APPLE"), kMixed), 1);
  EXPECT_EQ(CountMatches(std::string("*an*"), kMixed), 1);
  EXPECT_EQ(CountMatches(std::string("*"), kMixed), 4);  // every text, empty text included
  EXPECT_EQ(CountMatches(std::string("?*"), kMixed), 3);
  EXPECT_EQ(CountMatches(std::string("<>*a*"), kMixed), 9);
  EXPECT_EQ(CountMatches(std::string(">b"), kMixed), 1);  // "Banana", not numbers
  EXPECT_EQ(CountMatches(std::string("<b"), kMixed), 3);  // "5", "apple", ""
  EXPECT_EQ(CountMatches(std::string("a~*"), std::vector<Value>{std::string("a*"),
                                                                std::string("ab")}), 1);
}

TEST(FnCriteria, BlanksBooleansErrors) {
  EXPECT_EQ(CountMatches(std::string(""), kMixed), 2);   // blank and empty text
  EXPECT_EQ(CountMatches(std::string("="), kMixed), 1);  // blank only
  EXPECT_EQ(CountMatches(std::string("<>"), kMixed), 10);
  EXPECT_EQ(CountMatches(true, kMixed), 1);
  EXPECT_EQ(CountMatches(std::string("false"), kMixed), 1);
  EXPECT_EQ(CountMatches(std::string("#N/A"), kMixed), 1);
  EXPECT_EQ(CountMatches(ErrorCode::NA, kMixed), 1);
  EXPECT_EQ(CountMatches(1.0, std::vector<Value>{true, 1.0}), 1);  // TRUE is not 1
}

TEST(FnCriteria, DatesInCriteriaCompareAsSerials) {
  // 2020-01-01 is serial 43831.
  const std::vector<Value> days = {43830.0, 43831.0, 43832.0};
  EXPECT_EQ(CountMatches(std::string(">=1/1/2020"), days), 2);
  EXPECT_EQ(CountMatches(std::string("2020-01-02"), days), 1);
}

}  // namespace
}  // namespace ddt::grid::formula
