// Choosing rows by condition and by number: the rules the command and Python share.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ddtable/row_filter.h"

namespace {

using ddt::ParseRowList;
using ddt::RowCondition;

TEST(RowFilter, ConditionsReadNameNegationAndPattern) {
  const RowCondition tag = RowCondition::Parse(" Tag =smoke*");
  EXPECT_EQ(tag.param, "Tag");
  EXPECT_FALSE(tag.negated);
  EXPECT_EQ(tag.pattern, "smoke*");
  const RowCondition env = RowCondition::Parse("Env!=prod");
  EXPECT_EQ(env.param, "Env");
  EXPECT_TRUE(env.negated);
  // An "=" inside the pattern belongs to the pattern.
  EXPECT_EQ(RowCondition::Parse("Expr=a=b").pattern, "a=b");
  EXPECT_EQ(RowCondition::Parse("Tag=").pattern, "");
  for (const char* bad : {"Tag", "=x", "!=x", " =x", ""})
    EXPECT_THROW(RowCondition::Parse(bad), std::invalid_argument) << bad;
}

TEST(RowFilter, ConditionsMatchTrimmedTextOrAnyWordOfAList) {
  const RowCondition smoke = RowCondition::Parse("Tag=smoke");
  EXPECT_TRUE(smoke.Matches("  smoke "));
  EXPECT_TRUE(smoke.Matches("nightly, smoke"));
  EXPECT_TRUE(smoke.Matches("a;smoke;b"));
  EXPECT_FALSE(smoke.Matches("smoker"));
  EXPECT_FALSE(smoke.Matches(""));
  // The whole list text matches too, not only its words.
  EXPECT_TRUE(RowCondition::Parse("Tag=a, b").Matches("a, b"));
  const RowCondition notSlow = RowCondition::Parse("Tag!=slow");
  EXPECT_TRUE(notSlow.Matches("fast"));
  EXPECT_FALSE(notSlow.Matches("fast, slow"));
  EXPECT_TRUE(notSlow.Matches(""));
}

TEST(RowFilter, PatternsCountCharactersNotBytes) {
  // "é" is two bytes in UTF-8 and one character: "?" matches it, "??" does not.
  EXPECT_TRUE(RowCondition::Parse("Name=caf?").Matches("caf\xc3\xa9"));
  EXPECT_FALSE(RowCondition::Parse("Name=caf??").Matches("caf\xc3\xa9"));
  EXPECT_TRUE(RowCondition::Parse("Name=\\*").Matches("*"));
  EXPECT_FALSE(RowCondition::Parse("Name=\\*").Matches("x"));
}

TEST(RowFilter, RowListsAreSortedUniqueAndBoundedByTheSheet) {
  EXPECT_EQ(ParseRowList("5-7, 3 ,6"), (std::set<long>{3, 5, 6, 7}));
  EXPECT_EQ(ParseRowList("4-4"), (std::set<long>{4}));
  // Rows past the last a sheet has cannot exist: left out rather than looped over.
  EXPECT_EQ(ParseRowList("9-999999999", 10), (std::set<long>{9, 10}));
  EXPECT_TRUE(ParseRowList("20", 10).empty());
  for (const char* bad : {"", "0", "3,", ",3", "7-5", "-3", "+3", "1-", "a", "1.5", "1 2", "1234567890"})
    EXPECT_THROW(ParseRowList(bad), std::invalid_argument) << bad;
}

}  // namespace
