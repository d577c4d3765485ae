// UTF-8 text helpers and the VALUE reading of text, tested directly.
#include <gtest/gtest.h>

#include <cmath>

#include "grid/formula/functions/text/text_number.h"
#include "text/utf8.h"

namespace ddt::grid::formula {
namespace {

TEST(FnUtf8, CharactersNotBytes) {
  EXPECT_EQ(text::utf8::Length("héllo€"), 6u);
  EXPECT_EQ(text::utf8::Length("😀a"), 2u);
  EXPECT_EQ(text::utf8::Slice("héllo€", 1, 3), "éll");
  EXPECT_EQ(text::utf8::Slice("héllo€", 5, 10), "€");
  EXPECT_EQ(text::utf8::Slice("abc", 7, 2), "");
  EXPECT_EQ(text::utf8::Offset("é€x", 2), 5u);
}

TEST(FnUtf8, MalformedBytesCountOnceAndSurviveRoundTrip) {
  const std::string bad = "a\xC3" "b\xFF\xE2\x82";  // truncated and invalid sequences
  EXPECT_EQ(text::utf8::Length(bad), 6u);
  EXPECT_EQ(text::utf8::Encode(text::utf8::Decode(bad)), bad);
  EXPECT_EQ(text::utf8::Upper(bad), "A\xC3" "B\xFF\xE2\x82");
  EXPECT_EQ(text::utf8::Length("\xC0\x80"), 2u);  // overlong NUL is two bad bytes
}

TEST(FnUtf8, CaseMappingCoversNonAscii) {
  EXPECT_EQ(text::utf8::Upper("straße été"), "STRAßE ÉTÉ");
  EXPECT_EQ(text::utf8::Lower("ÀÉÎ ΣΑ"), "àéî σα");
  EXPECT_EQ(text::utf8::Proper("hello wORLD o'neil 2nd élan"), "Hello World O'Neil 2Nd Élan");
  EXPECT_EQ(text::utf8::CompareNoCase("Été", "éTÉ"), 0);
  EXPECT_LT(text::utf8::CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(text::utf8::CompareNoCase("abcd", "ABC"), 0);
}

TEST(FnUtf8, AnsiCodePageForCharAndCode) {
  EXPECT_EQ(text::utf8::FromAnsi(65), U'A');
  EXPECT_EQ(text::utf8::FromAnsi(0x80), U'€');
  EXPECT_EQ(text::utf8::FromAnsi(0xE9), U'é');
  EXPECT_EQ(text::utf8::ToAnsi(U'€'), 0x80);
  EXPECT_EQ(text::utf8::ToAnsi(U'é'), 0xE9);
  EXPECT_EQ(text::utf8::ToAnsi(U'😀'), 0);
  for (int b = 1; b < 256; ++b) EXPECT_EQ(text::utf8::ToAnsi(text::utf8::FromAnsi(b)), b) << b;
}

double Num(std::string_view s) {
  auto v = ReadNumberText(s);
  return v ? *v : NAN;
}

TEST(FnReadNumberText, PlainNumbersCurrencyPercent) {
  EXPECT_EQ(Num(" 12.5 "), 12.5);
  EXPECT_EQ(Num("-1e3"), -1000);
  EXPECT_EQ(Num("+.5"), 0.5);
  EXPECT_EQ(Num("1,234,567.5"), 1234567.5);
  EXPECT_EQ(Num("$1,000"), 1000);
  EXPECT_EQ(Num("-$5"), -5);
  EXPECT_EQ(Num("$-5"), -5);
  EXPECT_EQ(Num("(42)"), -42);
  EXPECT_EQ(Num("12.5%"), 0.125);
  for (const char* bad : {"", " ", "abc", "1,23", "12,3456", "1.2.3", "--5", "(-5)", "e5",
                          "1e", "5x", "$", "%", "1 2"}) {
    EXPECT_FALSE(ReadNumberText(bad).has_value()) << bad;
  }
}

TEST(FnReadNumberText, DatesAndTimes) {
  EXPECT_EQ(Num("1/1/2020"), 43831);
  EXPECT_EQ(Num("2020-01-01"), 43831);
  EXPECT_EQ(Num("2020/1/1"), 43831);
  EXPECT_EQ(Num("1-Jan-2020"), 43831);
  EXPECT_EQ(Num("1 January 2020"), 43831);
  EXPECT_EQ(Num("January 1, 2020"), 43831);
  EXPECT_EQ(Num("Jan-2020"), 43831);
  EXPECT_EQ(Num("2/29/1900"), 60);  // the 1900 system's fictitious day
  EXPECT_EQ(Num("3/1/1900"), 61);
  EXPECT_EQ(Num("12/31/29"), 47483);  // two-digit 29 is 2029
  EXPECT_EQ(Num("1/1/30"), 10959);    // and 30 is 1930
  EXPECT_EQ(Num("12:00"), 0.5);
  EXPECT_EQ(Num("6:00 PM"), 0.75);
  EXPECT_EQ(Num("12:00 AM"), 0);
  EXPECT_EQ(Num("3 pm"), 0.625);
  EXPECT_NEAR(Num("1/1/2020 6:30:15"), 43831 + (6 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
  EXPECT_NEAR(Num("0:00:01.5"), 1.5 / 86400, 1e-12);
  EXPECT_EQ(Num("25:00"), 25.0 / 24);
  EXPECT_EQ(*ReadDateTimeText("1/1/2020", true), 43831 - 1462);
  for (const char* bad : {"2/29/2019", "13/1/2020", "1/32/2020", "1/1/1899", "12:60",
                          "13:00 PM", "Foo 1, 2020", "1/1/2020x", "1:2:3:4", "1//2020"}) {
    EXPECT_FALSE(ReadNumberText(bad).has_value()) << bad;
  }
  EXPECT_FALSE(ReadDateTimeText("42").has_value());
}

}  // namespace
}  // namespace ddt::grid::formula
