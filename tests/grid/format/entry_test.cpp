#include "grid/format/entry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ddt::grid::format {
namespace {

using Kind = ParsedEntry::Kind;

double NumberOf(std::string_view typed) {
  const ParsedEntry e = ParseEntry(typed);
  EXPECT_EQ(e.kind, Kind::Constant) << typed;
  const double* d = std::get_if<double>(&e.value);
  EXPECT_TRUE(d) << typed << " is not a number";
  EXPECT_TRUE(e.numberFormat.empty()) << typed;
  return d ? *d : NAN;
}

bool IsTextEntry(std::string_view typed) {
  const ParsedEntry e = ParseEntry(typed);
  const auto* s = std::get_if<grid::SharedText>(&e.value);
  return e.kind == Kind::Constant && !e.forcedText && s && *s == typed;
}

TEST(ParseEntry, FormulasApostrophesAndEmpty) {
  EXPECT_EQ(ParseEntry("").kind, Kind::Empty);
  ParsedEntry f = ParseEntry("=A1+1");
  EXPECT_EQ(f.kind, Kind::Formula);
  EXPECT_EQ(f.formula, "A1+1");
  ParsedEntry t = ParseEntry("'007");
  EXPECT_EQ(t.kind, Kind::Constant);
  EXPECT_TRUE(t.forcedText);
  EXPECT_EQ(std::get<grid::SharedText>(t.value), "007");
  ParsedEntry eq = ParseEntry("'=A1");
  EXPECT_EQ(std::get<grid::SharedText>(eq.value), "=A1");
  ParsedEntry lone = ParseEntry("'");
  EXPECT_TRUE(lone.forcedText);
  EXPECT_EQ(std::get<grid::SharedText>(lone.value), "");
}

TEST(ParseEntry, PlainNumbers) {
  EXPECT_EQ(NumberOf("007"), 7);
  EXPECT_EQ(NumberOf("-1.5"), -1.5);
  EXPECT_EQ(NumberOf("+3"), 3);
  EXPECT_EQ(NumberOf(".5"), 0.5);
  EXPECT_EQ(NumberOf("5."), 5);
  EXPECT_EQ(NumberOf("-.25"), -0.25);
  EXPECT_EQ(NumberOf("1e5"), 1e5);
  EXPECT_EQ(NumberOf("2.5E-3"), 2.5e-3);
  EXPECT_EQ(NumberOf("1E+300"), 1e300);
  EXPECT_EQ(NumberOf("0.1"), 0.1);
  EXPECT_EQ(NumberOf("123456789012345678"), 123456789012345678.0);
  const double negZero = NumberOf("-0");
  EXPECT_FALSE(std::signbit(negZero));
}

TEST(ParseEntry, NotQuitePlainNumbersStayText) {
  for (const char* typed : {"1,234", " 5", "5 ", "$5", "(5)", "1e", "e5", ".", "-", "+", "1.2.3",
                            "--5", "0x10", "inf", "nan", "1e400", "1e-99999999999", "5-", "1 000",
                            "2023-03-15", "12:30", "1/2", "٣", "5%%", "%", " 5%", "5 %"})
    EXPECT_TRUE(IsTextEntry(typed)) << typed;
}

TEST(ParseEntry, PercentagesBringAFormat) {
  ParsedEntry p = ParseEntry("12.5%");
  EXPECT_EQ(std::get<double>(p.value), 0.125);
  EXPECT_EQ(p.numberFormat, "0.00%");
  p = ParseEntry("7%");
  EXPECT_EQ(std::get<double>(p.value), 0.07);  // the double nearest 0.07, as typing 0.07 gives
  EXPECT_EQ(p.numberFormat, "0%");
  p = ParseEntry("-12.3%");
  EXPECT_EQ(std::get<double>(p.value), -0.123);
  EXPECT_EQ(p.numberFormat, "0.00%");
  p = ParseEntry("1e2%");
  EXPECT_EQ(std::get<double>(p.value), 1);
  EXPECT_EQ(p.numberFormat, "0%");
  p = ParseEntry("5.%");
  EXPECT_EQ(std::get<double>(p.value), 0.05);
  EXPECT_EQ(p.numberFormat, "0%");
}

TEST(ParseEntry, BooleansAndErrors) {
  EXPECT_EQ(std::get<bool>(ParseEntry("TRUE").value), true);
  EXPECT_EQ(std::get<bool>(ParseEntry("true").value), true);
  EXPECT_EQ(std::get<bool>(ParseEntry("False").value), false);
  EXPECT_EQ(std::get<ErrorCode>(ParseEntry("#N/A").value), ErrorCode::NA);
  EXPECT_EQ(std::get<ErrorCode>(ParseEntry("#div/0!").value), ErrorCode::Div0);
  EXPECT_TRUE(IsTextEntry("TRUE!"));
  EXPECT_TRUE(IsTextEntry("#N/A "));
  EXPECT_TRUE(IsTextEntry("yes"));
}

TEST(EntryText, ConstantsReadBackAsTyped) {
  EXPECT_EQ(EntryText(Value{}, false), "");
  EXPECT_EQ(EntryText(Value{1.0 / 3}, false), "0.333333333333333");
  EXPECT_EQ(EntryText(Value{123456789012.0}, false), "123456789012");
  EXPECT_EQ(EntryText(Value{1e20}, false), "1E+20");
  EXPECT_EQ(EntryText(Value{true}, false), "TRUE");
  EXPECT_EQ(EntryText(Value{false}, false), "FALSE");
  EXPECT_EQ(EntryText(Value{ErrorCode::Ref}, false), "#REF!");
  EXPECT_EQ(EntryText(Value{std::string("abc")}, false), "abc");
  EXPECT_EQ(EntryText(Value{std::string("007")}, false), "007");  // not forced: as stored
}

TEST(EntryText, ApostropheOnlyWhereTheTextWouldParseOtherwise) {
  auto forced = [](const char* s) { return EntryText(Value{std::string(s)}, true); };
  EXPECT_EQ(forced("abc"), "abc");
  EXPECT_EQ(forced("007"), "'007");
  EXPECT_EQ(forced("=A1"), "'=A1");
  EXPECT_EQ(forced("true"), "'true");
  EXPECT_EQ(forced("#N/A"), "'#N/A");
  EXPECT_EQ(forced("12%"), "'12%");
  EXPECT_EQ(forced("'quoted"), "''quoted");
  EXPECT_EQ(forced(""), "'");
  EXPECT_EQ(forced("1,234"), "1,234");
  // What EntryText gives, typed again, is the same constant.
  for (const char* s : {"abc", "007", "=A1", "true", "#N/A", "12%", "'quoted", "", "1,234"}) {
    const ParsedEntry again = ParseEntry(forced(s));
    EXPECT_EQ(std::get<grid::SharedText>(again.value), s);
  }
}

TEST(EntryText, NumbersRoundTripThroughTyping) {
  for (double v : {0.1, -2.5, 1e-20, 123456.789, 9.87654321012345e300, 0.000123, 1e15, 42.0}) {
    const ParsedEntry again = ParseEntry(EntryText(Value{v}, false));
    EXPECT_EQ(std::get<double>(again.value), v) << EntryText(Value{v}, false);
  }
}

TEST(EntryText, PercentFormatReadsBackAsAPercentage) {
  EXPECT_EQ(EntryText(Value{0.125}, false, "0.00%"), "12.5%");
  EXPECT_EQ(EntryText(Value{0.07}, false, "0%"), "7%");
  EXPECT_EQ(EntryText(Value{0.07}, false, "0.00"), "0.07");
  EXPECT_EQ(EntryText(Value{std::string("x")}, false, "0%"), "x");
  const ParsedEntry again = ParseEntry(EntryText(Value{-0.123}, false, "0.00%"));
  EXPECT_EQ(std::get<double>(again.value), -0.123);
}

}  // namespace
}  // namespace ddt::grid::format
