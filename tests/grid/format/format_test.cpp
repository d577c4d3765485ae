#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "grid/format/entry.h"
#include "grid/format/number_format.h"

namespace ddt::grid::format {
namespace {

std::vector<std::vector<std::string>> LoadTsv(const std::string& name, size_t fields) {
  std::ifstream in(std::string(DDT_TEST_DATA) + "/" + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    EXPECT_EQ(f.size(), fields) << line;
    if (f.size() == fields) rows.push_back(std::move(f));
  }
  return rows;
}

TEST(FormatText, MatchesTheSpreadsheet) {
  const auto rows = LoadTsv("text_cases.tsv", 4);
  ASSERT_GT(rows.size(), 10u);
  for (const auto& r : rows) EXPECT_EQ(FormatText(r[0], r[1]), r[2]) << "[" << r[1] << "]";
}

TEST(FormatGeneral, FifteenDigitsWithoutLoss) {
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
  EXPECT_EQ(FormatGeneral(123456789012), "123456789012");
  EXPECT_EQ(FormatGeneral(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(1e15), "1E+15");
  EXPECT_EQ(FormatGeneral(1.5e-10), "1.5E-10");
  EXPECT_EQ(FormatGeneral(-1.5e-10), "-1.5E-10");
  EXPECT_EQ(FormatGeneral(1e-9), "0.000000001");
  EXPECT_EQ(FormatGeneral(999999999999999), "999999999999999");
  EXPECT_EQ(FormatGeneral(1.7976931348623157e308), "1.79769313486232E+308");
  EXPECT_EQ(FormatGeneral(5e-324), "4.94065645841247E-324");
  // Values of at most 15 significant digits read back exactly.
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<long long> mantissa(1, 999999999999999LL);
  std::uniform_int_distribution<int> exponent(-40, 40);
  for (int i = 0; i < 2000; ++i) {
    const std::string typed = std::to_string(mantissa(rng)) + "e" + std::to_string(exponent(rng));
    const double v = std::stod(typed);
    const std::string shown = FormatGeneral(v);
    EXPECT_EQ(std::stod(shown), v) << typed << " shown as " << shown;
  }
}

TEST(FormatNumber, GeneralCodesAndNonFiniteValues) {
  EXPECT_EQ(FormatNumber(1.5, ""), "1.5");
  EXPECT_EQ(FormatNumber(1.5, "general"), "1.5");
  EXPECT_EQ(FormatNumber(-2, "GENERAL"), "-2");
  EXPECT_EQ(FormatNumber(NAN, "0.00"), "#NUM!");
  EXPECT_EQ(FormatNumber(INFINITY, "General"), "#NUM!");
  // Scaling past the double range has nothing to show.
  EXPECT_EQ(FormatNumber(1e308, "0%"), "########");
}

TEST(FormatNumber, DateSystems) {
  // 2023-03-15 is 45000 in the 1900 system and 43538 in the 1904 system.
  EXPECT_EQ(FormatNumber(45000, "yyyy-mm-dd"), "2023-03-15");
  EXPECT_EQ(FormatNumber(43538, "yyyy-mm-dd", true), "2023-03-15");
  EXPECT_EQ(FormatNumber(2957003, "yyyy-mm-dd", true), "9999-12-31");
  EXPECT_EQ(FormatNumber(2957004, "yyyy-mm-dd", true), kNoDisplayText);
  EXPECT_EQ(FormatNumber(2958465.9999999, "yyyy-mm-dd hh:mm:ss"), kNoDisplayText);
  EXPECT_EQ(FormatNumber(1e300, "[h]:mm"), kNoDisplayText);
  // A date code in the negative section still needs a date.
  EXPECT_EQ(FormatNumber(-5, "0;yyyy"), kNoDisplayText);
}

TEST(FormatNumber, OddCodesNeverBreak) {
  const char* codes[] = {"\"unterminated", "[", "[>", "[$", "\\", "_", "*", "0;", ";;;;;;",
                         "E+", "0E+", "0/", "?/0", "#/#/#", "0.0.0", "[h", "[hm]", "0,,,,,,,,",
                         "?/1000000000000", "[=abc]0", "yyyy;0;0;0;0", "0.000000000000000000000000000000000000000",
                         "#,##0.00 \"€\"", "\xff\xfe", "[<0]", "\"a\"\\", "AM/PM", "A/", "ss.0000000",
                         "@@@", "General General", "0%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%"};
  const double values[] = {0, -0.0, 1, -1, 0.5, 1e-300, -1e300, 1.7976931348623157e308, 45000.5,
                           2958465.99999, 1e15, -1e15, 123.456};
  for (const char* code : codes) {
    for (double v : values) {
      const std::string out = FormatNumber(v, code);
      EXPECT_LT(out.size(), 2000u) << code;
    }
    (void)FormatText("t", code);
    (void)IsDateFormat(code);
  }
  EXPECT_EQ(FormatNumber(5, "0;"), "5");
  EXPECT_EQ(FormatNumber(-5, "0;"), "");
  EXPECT_EQ(FormatNumber(0.25, "\"unterminated"), "unterminated");
}

TEST(FormatNumber, RandomCodesFromFormatCharacters) {
  const std::string alphabet = "0#?.,%E+-/@;[]<>=\"\\_*hmsdyAP:$ 123Gg";
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> len(0, 24);
  const double values[] = {0, -3.75, 1234.5678, 45000.25, 1e-7, 9.99e307};
  for (int i = 0; i < 3000; ++i) {
    std::string code;
    for (int n = len(rng); n > 0; --n) code += alphabet[pick(rng)];
    for (double v : values) (void)FormatNumber(v, code);
    (void)FormatText("x", code);
  }
}

TEST(BuiltinFormats, IdsAndCodesMapBothWays) {
  int known = 0;
  for (int id = 0; id < 50; ++id) {
    const char* code = BuiltinFormatCode(id);
    if (!code) continue;
    ++known;
    EXPECT_EQ(BuiltinFormatId(code), id) << code;
  }
  EXPECT_EQ(known, 36);  // 23 to 36 belong to other locales
  EXPECT_STREQ(BuiltinFormatCode(0), "General");
  EXPECT_STREQ(BuiltinFormatCode(14), "m/d/yyyy");
  EXPECT_STREQ(BuiltinFormatCode(49), "@");
  EXPECT_EQ(BuiltinFormatCode(23), nullptr);
  EXPECT_EQ(BuiltinFormatCode(50), nullptr);
  EXPECT_EQ(BuiltinFormatCode(-1), nullptr);
  EXPECT_EQ(BuiltinFormatId(""), 0);
  EXPECT_EQ(BuiltinFormatId("general"), 0);
  EXPECT_EQ(BuiltinFormatId("0.000"), -1);
  for (int id : {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47})
    EXPECT_TRUE(IsDateFormat(BuiltinFormatCode(id))) << id;
  for (int id : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 37, 41, 44, 48, 49})
    EXPECT_FALSE(IsDateFormat(BuiltinFormatCode(id))) << id;
}

TEST(FormatKinds, DateAndPercentCodes) {
  EXPECT_TRUE(IsDateFormat("yyyy-mm-dd"));
  EXPECT_TRUE(IsDateFormat("[h]:mm"));
  EXPECT_TRUE(IsDateFormat("[$-409]mmmm d"));
  EXPECT_TRUE(IsDateFormat("[$-F800]"));
  EXPECT_TRUE(IsDateFormat("0;yyyy"));
  EXPECT_FALSE(IsDateFormat("\"d\"0"));
  EXPECT_FALSE(IsDateFormat("0\\d"));
  EXPECT_FALSE(IsDateFormat("[Red]0.00"));
  EXPECT_FALSE(IsDateFormat("0;0;0;\"day\"@"));
  EXPECT_FALSE(IsDateFormat("General"));
  EXPECT_TRUE(IsPercentFormat("0%"));
  EXPECT_TRUE(IsPercentFormat("0.00%;[Red]-0.00%"));
  EXPECT_FALSE(IsPercentFormat("0\"%\""));
  EXPECT_FALSE(IsPercentFormat("0.00"));
}

TEST(FormatNumber, SameResultsFromSeveralThreads) {
  const std::vector<std::string> codes = {"0.00", "#,##0", "yyyy-mm-dd hh:mm:ss", "# ?/?",
                                          "0.00E+00", "[h]:mm", "0%", "General"};
  std::vector<std::string> expected;
  for (const auto& c : codes) expected.push_back(FormatNumber(45000.125, c));
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        const size_t k = static_cast<size_t>(i * (t + 1)) % codes.size();
        if (FormatNumber(45000.125, codes[k]) != expected[k]) ++mismatches[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

}  // namespace
}  // namespace ddt::grid::format
