// Decimal digits of a double the way a spreadsheet shows them: at most 15 significant
// digits, rounded half away from zero at the requested position.
#pragma once

#include <string>

namespace ddt::grid::format {

// Significant digits carried from a double into any display.
constexpr int kSignificantDigits = 15;

// A non-negative number as a digit string and the position of its decimal point: the value
// is 0.d1d2d3... x 10^point. No leading zeros in `digits`; empty digits mean zero.
struct DecimalDigits {
  std::string digits;
  int point = 0;
};

// |value| rounded to 15 significant digits, trailing zeros removed. Requires a finite value.
DecimalDigits ToDecimalDigits(double value);

// A number split for fixed-point display with `fractionDigits` decimals after rounding:
// `integer` without leading zeros (empty for zero), `fraction` exactly fractionDigits long.
struct FixedDigits {
  std::string integer;
  std::string fraction;
};
FixedDigits ToFixed(const DecimalDigits& d, int fractionDigits);

}  // namespace ddt::grid::format
