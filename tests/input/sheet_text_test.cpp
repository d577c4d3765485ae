#include "input/sheet_text.h"
#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace ddt::input {
namespace {

std::string Legal(std::string name) {
  MakeLegalTableName(name);
  return name;
}

TEST(TableNameTest, KeepsLettersDigitsUnderscoreAndReplacesPunctuation) {
  EXPECT_EQ(Legal("Order Items"), "Order_Items");
  EXPECT_EQ(Legal("a.b-c,d!e$f\\g"), "a_b_c_d_e_f_g");
  EXPECT_EQ(Legal("Rates_2024"), "Rates_2024");
  EXPECT_EQ(Legal(" \t"), "__");
  EXPECT_EQ(Legal(""), "");
}

TEST(TableNameTest, MultibyteCharactersStayWhole) {
  // Two-, three- and four-byte characters survive unchanged beside replaced punctuation.
  EXPECT_EQ(Legal("Größe-Ä"), "Größe_Ä");
  EXPECT_EQ(Legal("注文 明細"), "注文_明細");
  EXPECT_EQ(Legal("a😀.b"), "a😀_b");
}

TEST(TableNameTest, BrokenSequencesBecomeUnderscoresWithoutReadingPastTheEnd) {
  // A lead byte at the very end must not take the terminator with it.
  EXPECT_EQ(Legal("ab\xC3"), "ab_");
  EXPECT_EQ(Legal("\xE6\xB3"), "__");
  // Stray continuation bytes, overlong forms and surrogates are not characters.
  EXPECT_EQ(Legal("\x80x"), "_x");
  EXPECT_EQ(Legal("\xC0\xAF"), "__");
  EXPECT_EQ(Legal("\xED\xA0\x80"), "___");
  // A lead byte followed by ASCII keeps the ASCII byte.
  EXPECT_EQ(Legal("\xC3z"), "_z");
}

TEST(BracketTest, RemovesEveryPairIncludingNestedOnes) {
  std::string text = "=[]Sheet2!A1+[]'My Sheet'!B2";
  EXPECT_TRUE(RemoveBracketPairs(text));
  EXPECT_EQ(text, "=Sheet2!A1+'My Sheet'!B2");

  text = "[[]]";
  EXPECT_TRUE(RemoveBracketPairs(text));
  EXPECT_EQ(text, "");

  text = "=[1]Sheet!A1+[ ]";
  EXPECT_FALSE(RemoveBracketPairs(text));
  EXPECT_EQ(text, "=[1]Sheet!A1+[ ]");
}

TEST(ReferencedSheetTest, QuotedUnquotedAndDegenerateFormulas) {
  EXPECT_EQ(ReferencedSheetName("='My Sheet'!A1"), "My Sheet");
  EXPECT_EQ(ReferencedSheetName("=Sheet1!A1"), "Sheet1");
  EXPECT_EQ(ReferencedSheetName("=A1+Sheet1!B2"), "A1+Sheet1");
  EXPECT_EQ(ReferencedSheetName("='Order'!A1+'Order'!B1"), "Order'!A1+'Order");
  // A single quote, no sheet mark, marks in the wrong order: nothing.
  EXPECT_EQ(ReferencedSheetName("='A1"), "");
  EXPECT_EQ(ReferencedSheetName("=A1"), "");
  EXPECT_EQ(ReferencedSheetName("!x=1"), "");
  EXPECT_EQ(ReferencedSheetName("=!A1"), "");
  EXPECT_EQ(ReferencedSheetName(""), "");
}

TEST(NameRulesTest, ChildSeparatorParentAndCaseInsensitiveMarks) {
  EXPECT_EQ(ChildSeparator("A.T"), 1u);
  EXPECT_EQ(ChildSeparator("A.T.U"), 1u);
  EXPECT_EQ(ChildSeparator(".T"), std::string::npos);
  EXPECT_EQ(ChildSeparator("A"), std::string::npos);
  EXPECT_EQ(ParentName("Orders.Items"), "Orders");
  EXPECT_EQ(ParentName("Orders"), "Orders");
  EXPECT_EQ(ParentName(".x"), "");

  EXPECT_TRUE(ddt::text::StartsWithNoCase(".end", ".End"));
  EXPECT_TRUE(ddt::text::StartsWithNoCase(".END 7", ".End"));
  EXPECT_TRUE(ddt::text::StartsWithNoCase(".Ending", ".End"));
  EXPECT_FALSE(ddt::text::StartsWithNoCase(".En", ".End"));
  EXPECT_FALSE(ddt::text::StartsWithNoCase(" .End", ".End"));
  EXPECT_TRUE(ddt::text::EqualsNoCase("cUSTOM", "Custom"));
  EXPECT_FALSE(ddt::text::EqualsNoCase("Customs", "Custom"));
}

TEST(CharacterTest, CountsAndReplacesWholeCharacters) {
  EXPECT_EQ(ddt::text::utf8::CountCharacters("abc"), 3u);
  EXPECT_EQ(ddt::text::utf8::CountCharacters("äöü"), 3u);
  EXPECT_EQ(ReplaceLastCharacters("data.usr", 3, "prm"), "data.prm");
  EXPECT_EQ(ReplaceLastCharacters("x.äöü", 3, "prm"), "x.prm");
  EXPECT_EQ(ReplaceLastCharacters("ab", 3, "prm"), "ab");
  EXPECT_EQ(ReplaceLastCharacters("abc", 3, "prm"), "abc");
}

}  // namespace
}  // namespace ddt::input
