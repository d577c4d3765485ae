// The results workbook's text rules: reference scanning, name suggestion, block terminators,
// the truth value of expected formulas, pattern matching and the save setting.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ddtable/param_name.h"
#include "results/pattern_match.h"
#include "results/results_text.h"
#include "support/config_dir.h"

namespace ddt::results {
namespace {

std::vector<std::string> AllReferences(const std::string& source) {
  std::vector<std::string> found;
  std::string ref;
  while (NextReference(source, ref)) found.push_back(ref);
  EXPECT_TRUE(ref.empty());
  return found;
}

TEST(NextReference, FindsEachReferenceFromItsBracketToTheFirstClosingOne) {
  EXPECT_TRUE(AllReferences("no references here").empty());
  EXPECT_TRUE(AllReferences("a < b without closing").empty());
  EXPECT_EQ(AllReferences("<a> and <S::b>!"), (std::vector<std::string>{"<a>", "<S::b>"}));
  // A "<" inside a reference is part of it: the reference ends at the first ">".
  EXPECT_EQ(AllReferences("x <a<b> y"), (std::vector<std::string>{"<a<b>"}));
  // A ">" before any "<" is plain text.
  EXPECT_EQ(AllReferences("> <a>"), (std::vector<std::string>{"<a>"}));
}

TEST(NextReference, ResumesAfterTheLastOccurrenceOfTheReferenceFound) {
  // <a> occurs twice: it is found once, and <b> between the two occurrences is skipped,
  // since the scan goes on after the last <a>.
  EXPECT_EQ(AllReferences("<a> <b> <a> <c>"), (std::vector<std::string>{"<a>", "<c>"}));
  EXPECT_EQ(AllReferences("<a><a>"), (std::vector<std::string>{"<a>"}));
}

// The command's scan for references (every occurrence, in order) reads the same references
// as a substitution, and keeps repeats the substitution steps over.
TEST(FindAllReferences, ReadsReferencesAsTheSubstitutionDoesAndKeepsRepeats) {
  for (const char* text : {"no references here", "a < b without closing", "<a> and <S::b>!",
                           "x <a<b> y", "> <a>"})
    EXPECT_EQ(CParamName::FindAll(text), AllReferences(text)) << text;
  EXPECT_EQ(CParamName::FindAll("<a> <b> <a> <c"), (std::vector<std::string>{"<a>", "<b>", "<a>"}));
}

TEST(NextReference, EmptiesTheReferenceWhenNoneFollows) {
  std::string ref = "<gone>";
  EXPECT_FALSE(NextReference("<gone> tail", ref));
  EXPECT_EQ(ref, "");
}

TEST(ReplaceFirst, ReplacesOnlyTheFirstOccurrence) {
  std::string text = "<a>-<a>";
  EXPECT_EQ(ReplaceFirst(text, "<a>", "xyz"), 0u);
  EXPECT_EQ(text, "xyz-<a>");
  EXPECT_EQ(ReplaceFirst(text, "<q>", "1"), std::string::npos);
  EXPECT_EQ(text, "xyz-<a>");
}

TEST(Trim, RemovesSurroundingWhiteSpaceOnly) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("x"), "x");
}

TEST(ResultsName, CleansLeadingSignsAndCommasButKeepsOtherCharacters) {
  std::string name = "  +a,b,c  ";
  CleanResultsName(name);
  EXPECT_EQ(name, "_a_b_c");
  // Unlike the data table's own rule, a leading digit and "!", "$", "\" stay.
  name = "1st!$\\";
  CleanResultsName(name);
  EXPECT_EQ(name, "1st!$\\");
  name = "=-x";
  CleanResultsName(name);
  EXPECT_EQ(name, "_-x");
}

TEST(ResultsName, AppendsTheFirstFreeNumber) {
  const std::vector<std::string> header = {"Name", "Name1", "Other"};
  std::string name = " Name ";
  EXPECT_EQ(SuggestResultsName(name, &header), "Name2");
  EXPECT_EQ(name, "Name2");
  name = "name";  // case-sensitive: free
  EXPECT_EQ(SuggestResultsName(name, &header), "name");
  name = "Name";
  EXPECT_EQ(SuggestResultsName(name, nullptr), "Name");
  name = "   ";
  EXPECT_EQ(SuggestResultsName(name, &header), "");
}

TEST(ResultsName, GivesUpAfterTheLastSuffix) {
  std::vector<std::string> header = {"p"};
  for (int i = 1; i <= 999; ++i) header.push_back("p" + std::to_string(i));
  std::string name = "p";
  EXPECT_EQ(SuggestResultsName(name, &header), "");
  EXPECT_EQ(name, "p999");
}

TEST(ClosesBlock, NeedsTheMarkAnySeparatorAndExactlyTheBlockNumber) {
  EXPECT_TRUE(ClosesBlock(".End 2", ".End", 2));
  EXPECT_TRUE(ClosesBlock(".eND 2", ".End", 2));
  EXPECT_TRUE(ClosesBlock(".End_2", ".End", 2));
  EXPECT_FALSE(ClosesBlock(".End 12", ".End", 2));
  EXPECT_FALSE(ClosesBlock(".End 12", ".End", 1));
  EXPECT_FALSE(ClosesBlock(".End 2 ", ".End", 2));
  EXPECT_FALSE(ClosesBlock(".End", ".End", 2));
  EXPECT_FALSE(ClosesBlock(".End2", ".End", 2));
  EXPECT_FALSE(ClosesBlock("x.End 2", ".End", 2));
  EXPECT_FALSE(ClosesBlock(".Ending 12", ".End", 12));
}

TEST(FormulaTruth, AppliesOnlyToFormulasShowingATruthValue) {
  EXPECT_EQ(FormulaTruth("=1=1", "TRUE"), true);
  EXPECT_EQ(FormulaTruth("=A1", "true"), true);
  EXPECT_EQ(FormulaTruth("=1=2", "FALSE"), false);
  EXPECT_EQ(FormulaTruth("=NA()", "#n/a"), false);
  EXPECT_EQ(FormulaTruth("TRUE", "TRUE"), std::nullopt);  // a constant is a pattern
  EXPECT_EQ(FormulaTruth("=1+1", "2"), std::nullopt);
  EXPECT_EQ(FormulaTruth("", ""), std::nullopt);
}

TEST(MatchesPattern, FollowsFnmatchWithoutFlags) {
  for (const char* v : {"1", "10", "1abc"}) EXPECT_TRUE(MatchesPattern(v, "1*")) << v;
  EXPECT_FALSE(MatchesPattern("21", "1*"));
  EXPECT_TRUE(MatchesPattern("abc", "a?c"));
  EXPECT_FALSE(MatchesPattern("ac", "a?c"));
  EXPECT_TRUE(MatchesPattern("7", "[0-9]"));
  EXPECT_FALSE(MatchesPattern("77", "[0-9]"));
  EXPECT_FALSE(MatchesPattern("x", "[0-9]"));
  EXPECT_TRUE(MatchesPattern("x", "[!0-9]"));
  EXPECT_TRUE(MatchesPattern("x", "[^0-9]"));
  EXPECT_TRUE(MatchesPattern("*", "\\*"));
  EXPECT_FALSE(MatchesPattern("a", "\\*"));
  EXPECT_FALSE(MatchesPattern("ABC", "abc"));
  EXPECT_TRUE(MatchesPattern("abc", "abc"));
  EXPECT_TRUE(MatchesPattern("", ""));
  EXPECT_FALSE(MatchesPattern("", "?"));
  // Without FNM_PATHNAME and FNM_PERIOD, "/" and a leading "." are ordinary characters.
  EXPECT_TRUE(MatchesPattern("a/b", "a?b"));
  EXPECT_TRUE(MatchesPattern(".x", "*x"));
}

TEST(MatchesPattern, CountsAMultibyteCharacterAsOne) {
  const std::string e = "\xC3\xA9";          // é, two bytes
  const std::string euro = "\xE2\x82\xAC";   // €, three bytes
  EXPECT_TRUE(MatchesPattern("a" + e + "c", "a?c"));
  EXPECT_FALSE(MatchesPattern("a" + e + "c", "a??c"));
  EXPECT_TRUE(MatchesPattern(euro, "?"));
  EXPECT_TRUE(MatchesPattern(e, "[" + e + "x]"));
  EXPECT_TRUE(MatchesPattern("x" + euro + "y", "x*y"));
  EXPECT_FALSE(MatchesPattern(e, "??"));
  EXPECT_FALSE(MatchesPattern(euro, "???"));
  EXPECT_FALSE(MatchesPattern(e, "??*"));
  EXPECT_TRUE(MatchesPattern(euro + e, "??"));
  // Ranges and complements work by code point: a (U+0061) < é (U+00E9) < € (U+20AC).
  EXPECT_TRUE(MatchesPattern(e, "[a-" + euro + "]"));
  EXPECT_FALSE(MatchesPattern(euro, "[a-" + e + "]"));
  EXPECT_TRUE(MatchesPattern(euro, "[!a-" + e + "]"));
  EXPECT_TRUE(MatchesPattern(e, "\\" + e));
  // Character classes keep the locale's meaning.
  EXPECT_TRUE(MatchesPattern(e, "[[:alpha:]]"));
  // Bytes that are not UTF-8 still compare, one by one.
  EXPECT_TRUE(MatchesPattern("a\xFF" "c", "a\xFF" "c"));
}

TEST(MatchesPattern, LeavesTheProcessAndThreadLocaleAsTheyWere) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  const locale_t threadBefore = uselocale(static_cast<locale_t>(0));
  EXPECT_TRUE(MatchesPattern("\xC3\xA9", "?"));
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
  EXPECT_EQ(uselocale(static_cast<locale_t>(0)), threadBefore);
}

class SaveSetting : public ::testing::Test {
 protected:
  void Write(const std::string& text) { config_.Write("qxctl.ini", text); }

  ddt::test::ConfigDir config_{"ddt_results_cfg"};
};

TEST_F(SaveSetting, IsOffWithoutFileOrKeyAndFollowsTheValue) {
  EXPECT_FALSE(SaveResultsAfterEveryRow());
  Write("[TessaroSAP]\nOther=1\n");
  EXPECT_FALSE(SaveResultsAfterEveryRow());
  Write("[tessarosap]\nSaveResultsSpreadSheetFile = 1\n");
  EXPECT_TRUE(SaveResultsAfterEveryRow());
  Write("[TessaroSAP]\nSaveResultsSpreadSheetFile=0\n");
  EXPECT_FALSE(SaveResultsAfterEveryRow());
  Write("[SLM]\nSaveResultsSpreadSheetFile=1\n");
  EXPECT_FALSE(SaveResultsAfterEveryRow());
}

}  // namespace
}  // namespace ddt::results
