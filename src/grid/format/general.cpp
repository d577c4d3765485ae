// General: the value as a spreadsheet shows it in a column wide enough for any value.
#include "grid/format/decimal_digits.h"
#include "grid/format/number_format.h"

#include <cmath>

namespace ddt::grid::format {

namespace {
// Plain notation for 1E-9 <= |x| < 1E+15 (point is the exponent + 1 of the rounded value).
constexpr int kPlainMinPoint = -8;
constexpr int kPlainMaxPoint = 15;
}  // namespace

void AppendGeneral(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "#NUM!";
    return;
  }
  const DecimalDigits d = ToDecimalDigits(value);
  if (d.digits.empty()) {
    out += '0';
    return;
  }
  if (value < 0) out += '-';
  const int n = static_cast<int>(d.digits.size());
  if (d.point >= kPlainMinPoint && d.point <= kPlainMaxPoint) {
    if (d.point <= 0) {
      out += "0.";
      out.append(static_cast<size_t>(-d.point), '0');
      out += d.digits;
    } else if (d.point >= n) {
      out += d.digits;
      out.append(static_cast<size_t>(d.point - n), '0');
    } else {
      out.append(d.digits, 0, static_cast<size_t>(d.point));
      out += '.';
      out.append(d.digits, static_cast<size_t>(d.point), std::string::npos);
    }
    return;
  }
  out += d.digits[0];
  if (n > 1) {
    out += '.';
    out.append(d.digits, 1, std::string::npos);
  }
  const int exponent = d.point - 1;
  out += exponent < 0 ? "E-" : "E+";
  const int a = std::abs(exponent);
  if (a < 10) out += '0';
  out += std::to_string(a);
}

std::string FormatGeneral(double value) {
  std::string out;
  AppendGeneral(out, value);
  return out;
}

}  // namespace ddt::grid::format
