// Inputs the fuzzers found: each must render without undefined behaviour.
#include <gtest/gtest.h>

#include "grid/format/number_format.h"

namespace {

// Huge values under fractions with long denominators overflowed the continued-fraction terms.
TEST(FractionFormats, HugeValuesWithLongDenominatorsStayDefined) {
  for (double v : {6187089372380155.0, -9.5e17, 1e15 + 0.5}) {
    for (const char* code : {"# ?????????????????/?????????????????", "?/0000000000000000000",
                             "# ??/??"}) {
      std::string text = ddt::grid::format::FormatNumber(v, code);
      EXPECT_FALSE(text.empty()) << v << " " << code;
    }
  }
}

}  // namespace
