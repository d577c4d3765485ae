// Formulas the fuzzers (and probes around what they found) showed taking minutes: each must
// give its value, or its error, in proportion to the work a spreadsheet would do.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "grid/workbook.h"

namespace ddt::grid {
namespace {

Value Eval(const std::string& formula) {
  Workbook book;
  book.SetEntry(1, 1, 1, formula);
  return book.GetCellValue(1, 1, 1);
}

double Number(const std::string& formula) {
  const Value v = Eval(formula);
  EXPECT_TRUE(IsNumber(v)) << formula;
  return IsNumber(v) ? std::get<double>(v) : -1;
}

// Populations above Boost's table methods: masses and sums against exact values (Python's
// integer binomial coefficients), below and above the mode.
TEST(HypergeometricLargePopulations, MatchExactValues) {
  const struct {
    const char* args;
    double mass, cumulative;
  } cases[] = {
      {"30,100,60000,200000", 0.08680556879092907, 0.549130112710837},
      {"4990,10000,500000,1000000", 0.00785848525554996, 0.42428015744060515},
      {"5050,10000,500000,1000000", -1, 0.8449681652665254},
  };
  for (const auto& c : cases) {
    const std::string args = c.args;
    if (c.mass >= 0) {
      EXPECT_NEAR(Number("=HYPGEOM.DIST(" + args + ",FALSE)"), c.mass, c.mass * 1e-9) << args;
    }
    EXPECT_NEAR(Number("=HYPGEOM.DIST(" + args + ",TRUE)"), c.cumulative, 1e-12) << args;
  }
  // The edges of the support: nothing below the lowest count, everything up to the highest.
  EXPECT_EQ(Number("=HYPGEOM.DIST(100,100,60000,200000,TRUE)"), 1);
  EXPECT_NEAR(Number("=HYPGEOM.DIST(0,100,60000,200000,TRUE)"),
              Number("=HYPGEOM.DIST(0,100,60000,200000,FALSE)"), 1e-300);
  // Every item drawn: the count of successes is certain.
  EXPECT_EQ(Number("=HYPGEOM.DIST(60000,200000,60000,200000,FALSE)"), 1);
}

// Half of two billion drawn from two billion holding one billion successes: symmetric about
// 5E8, so P(X <= 5E8) = 1/2 + P(X = 5E8)/2, and the mass there is about 1/(sqrt(2 pi) sd).
// Boost's cumulative sum took minutes on this.
TEST(HypergeometricLargePopulations, SymmetricHugeCase) {
  const double mass = Number("=HYPGEOM.DIST(5E8,1E9,1E9,2E9,FALSE)");
  const double cumulative = Number("=HYPGEOM.DIST(5E8,1E9,1E9,2E9,TRUE)");
  const double sd = std::sqrt(1e9 * 0.25 * (1e9 / (2e9 - 1)));
  EXPECT_NEAR(mass, 1 / (std::sqrt(2 * M_PI) * sd), 1e-9);
  EXPECT_NEAR(cumulative, 0.5 + mass / 2, 1e-12);
  EXPECT_NEAR(Number("=HYPGEOM.DIST(499999999,1E9,1E9,2E9,TRUE)"), 0.5 - mass / 2, 1e-12);
}

// A matrix product is refused when it would take more multiply-adds than about a 464 x 464
// square product, as a result too large is; smaller products are computed.
TEST(MatrixProduct, RefusedBeyondItsWorkLimit) {
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(350,700),SEQUENCE(700,700))"), Value(ErrorCode::Num));
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(2,2),SEQUENCE(2,2))"), Value(7.0));  // 1*1 + 2*3
  // 1..n times a column of ones is n(n+1)/2.
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(1,5000),SEQUENCE(5000,1,1,0))"), Value(5000.0 * 5001 / 2));
  EXPECT_EQ(Eval("=INDEX(MMULT(SEQUENCE(1,700),SEQUENCE(700,700,1,0)),1,700)"), Value(245350.0));
  EXPECT_EQ(Eval("=INDEX(MMULT(SEQUENCE(200,200),SEQUENCE(200,200,1,0)),2,7)"), Value(60100.0));
  // Texts and errors inside either argument.
  EXPECT_EQ(Eval("=MMULT({1,\"a\"},{1;2})"), Value(ErrorCode::Value));
  EXPECT_EQ(Eval("=MMULT({1,2},{1;#N/A})"), Value(ErrorCode::NA));
}


// Holidays far outside the date range (1E300 cannot be a whole day) are no day of the
// calculation; they were converted to a day number without a check.
TEST(WorkDays, HolidaysOutsideTheDateRangeAreLeftOut) {
  // 2024-01-05 is a Friday (45296); January 2024 has 23 weekdays; 2024-01-15 is 45306.
  EXPECT_EQ(Eval("=WORKDAY(45296,1,1E300)"), Value(45299.0));
  EXPECT_EQ(Eval("=WORKDAY.INTL(45296,1,1,{1E300,-1E300})"), Value(45299.0));
  EXPECT_EQ(Eval("=NETWORKDAYS(45292,45322,{1E300,-5,45306})"), Value(22.0));
  EXPECT_EQ(Eval("=NETWORKDAYS.INTL(45292,45322,1,\"1E300\")"), Value(23.0));
  // Text that is no number stays an error.
  EXPECT_EQ(Eval("=WORKDAY(45296,1,\"soon\")"), Value(ErrorCode::Value));
}

// SUMIF's sum range given as an array or a value takes the criteria range's shape; only its
// elements are visited, not every blank position of a whole-sheet shape (which took minutes).
TEST(ConditionalSums, ArraySumRangeOverWholeSheetCriteria) {
  Workbook book;
  book.SetEntry(1, 1, 1, "1");
  book.SetEntry(1, 2, 1, "2");
  book.SetEntry(1, 3, 1, "-1");
  book.SetEntry(1, 1, 2, "7");
  book.InsertSheets(2, 1);
  book.SetSheetName(1, "Data");
  const auto at = [&](const std::string& formula) {  // on the second sheet
    book.SetEntry(2, 1, 1, formula);
    return book.GetCellValue(2, 1, 1);
  };
  EXPECT_EQ(at("=SUMIF(Data!A:XFD,1,5)"), Value(5.0));
  EXPECT_EQ(at("=AVERAGEIF(Data!A:XFD,\">0\",{3,4})"), Value(3.5));  // A1 and B1 match
  EXPECT_EQ(at("=SUMIF(Data!A:A,\">0\",{10;20;30})"), Value(30.0));
  EXPECT_EQ(at("=AVERAGEIF(Data!A:XFD,\">100\",0.5)"), Value(ErrorCode::Div0));
  // Blank positions past the array still count where the criterion takes blanks.
  EXPECT_EQ(at("=SUMIF(Data!A1:C3,\"\",{1,2,3;4,5,6;7,8,9})"), Value(3.0 + 5 + 6 + 8 + 9));
  EXPECT_EQ(at("=SUMPRODUCT({1,2}*{3,4})"), Value(11.0));
}


// Arguments too large for the standard library's Bessel series made it throw runtime_error,
// which no formula caught: the process ended. Now #NUM!, like any argument out of range.
TEST(Bessel, ArgumentsPastTheSeriesAreNumErrors) {
  for (const char* f : {"=BESSELI(1E15,0)", "=BESSELI(-1E9,0.5)", "=BESSELK(1E15,0.5)"}) {
    const Value v = Eval(f);
    EXPECT_TRUE(v == Value(ErrorCode::Num) || IsNumber(v)) << f;
  }
  EXPECT_EQ(Eval("=BESSELI(1E15,0)"), Value(ErrorCode::Num));
  EXPECT_NEAR(Number("=BESSELI(1,0)"), 1.2660658777520082, 1e-12);
}

// BINOM.INV searches the count of successes by halving; past 2^53 trials the halves stopped
// moving and the search never ended.
TEST(BinomialInverse, TrialsPastExactIntegersAreRefused) {
  EXPECT_EQ(Eval("=BINOM.INV(1E300,0.5,0.5)"), Value(ErrorCode::Num));
  EXPECT_EQ(Eval("=CRITBINOM(1E17,0.5,0.5)"), Value(ErrorCode::Num));
  EXPECT_EQ(Eval("=BINOM.INV(1000000,0.5,0.5)"), Value(500000.0));
}

}  // namespace
}  // namespace ddt::grid
