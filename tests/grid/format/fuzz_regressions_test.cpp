// Inputs the fuzzers found: each must render without undefined behaviour.
#include <gtest/gtest.h>

#include "grid/format/number_format.h"

namespace {

// Huge values under fractions with long denominators overflowed the continued-fraction terms.
TEST(FractionFormats, HugeValuesWithLongDenominatorsStayDefined) {
  for (double v : {6187089372380155.0, -9.5e17, 1e15 + 0.5}) {
    for (const char* code : {"# ????????????????\?/?????????????????", "?/0000000000000000000",
                             "# ?\?/??"}) {
      std::string text = ddt::grid::format::FormatNumber(v, code);
      EXPECT_FALSE(text.empty()) << v << " " << code;
    }
  }
}

}  // namespace

namespace {
// A fixed denominator times a huge value left the numerator's integer range.
TEST(FractionFormats, FixedDenominatorWithHugeNumeratorStaysDefined) {
  for (const char* code : {"?\?/555555", "# ?\?/555555", "0/99999999999"})
    EXPECT_FALSE(ddt::grid::format::FormatNumber(3.07e14, code).empty()) << code;
}
}  // namespace
