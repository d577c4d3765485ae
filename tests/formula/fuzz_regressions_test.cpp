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
    if (c.mass >= 0)
      EXPECT_NEAR(Number("=HYPGEOM.DIST(" + args + ",FALSE)"), c.mass, c.mass * 1e-9) << args;
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

// A matrix product is refused when it would take more multiply-adds than about a 630 x 630
// square product, as a result too large is; smaller products are computed.
TEST(MatrixProduct, RefusedBeyondItsWorkLimit) {
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(700,700),SEQUENCE(700,700))"), Value(ErrorCode::Num));
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(2,2),SEQUENCE(2,2))"), Value(7.0));  // 1*1 + 2*3
  // 1..n times a column of ones is n(n+1)/2.
  EXPECT_EQ(Eval("=MMULT(SEQUENCE(1,5000),SEQUENCE(5000,1,1,0))"), Value(5000.0 * 5001 / 2));
  EXPECT_EQ(Eval("=INDEX(MMULT(SEQUENCE(1,700),SEQUENCE(700,700,1,0)),1,700)"), Value(245350.0));
}

}  // namespace
}  // namespace ddt::grid
