// General: a number as text with 15 significant digits (FormatGeneral), and as the General
// number format displays it (11 characters).
#include "grid/format/compiled_format.h"
#include "grid/format/decimal_digits.h"
#include "grid/format/number_format.h"

#include <cmath>
#include <cstdlib>

namespace ddt::grid::format {

namespace {
// Plain notation for 1E-9 <= |x| < 1E+15 (point is the exponent + 1 of the rounded value).
constexpr int kPlainMinPoint = -8;
constexpr int kPlainMaxPoint = 15;
// The General number format shows at most this many characters, the sign not counted.
constexpr int kDisplayWidth = 11;
// "E+00": the exponent of the scientific form with its two digits (three from 1E+100).
constexpr int kExponentWidth = 4;

void AppendExponent(std::string& out, int exponent) {
  out += exponent < 0 ? "E-" : "E+";
  const int a = std::abs(exponent);
  if (a < 10) out += '0';
  out += std::to_string(a);
}

// Rounds to `keep` significant digits, half away from zero, in place (no allocation for
// 15 digits); trailing zeros go. A carry past the first digit moves the point.
void RoundDigits(DecimalDigits& d, int keep) {
  const int n = static_cast<int>(d.digits.size());
  if (keep >= n) return;
  if (keep < 0 || (keep == 0 && d.digits[0] < '5')) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits.pop_back(), --i;
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.assign(1, '1');
      ++d.point;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
}

// Plain decimals: 0.000ddd, ddd000 or ddd.ddd.
void AppendPlain(std::string& out, const DecimalDigits& d) {
  const int n = static_cast<int>(d.digits.size());
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
}

// d.ddddE+xx: the first digit, the others as decimals.
void AppendScientific(std::string& out, const DecimalDigits& d) {
  out += d.digits[0];
  if (d.digits.size() > 1) {
    out += '.';
    out.append(d.digits, 1, std::string::npos);
  }
  AppendExponent(out, d.point - 1);
}

// The scientific form that fits the width: as many significant digits as the exponent
// leaves room for ("d." and the decimals).
DecimalDigits ToScientific(DecimalDigits d) {
  const int exponentWidth = std::abs(d.point - 1) >= 100 ? kExponentWidth + 1 : kExponentWidth;
  RoundDigits(d, kDisplayWidth - exponentWidth - 1);
  return d;
}

}  // namespace

void AppendGeneralDisplay(std::string& out, double value) {
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
  if (d.point <= kDisplayWidth) {
    // Plain decimals rounded to fit the width: whole numbers of up to 11 digits.
    DecimalDigits plain = d;
    const int decimals = d.point >= 1 ? std::max(0, kDisplayWidth - d.point - 1)
                                      : kDisplayWidth - 2;  // "0." before them
    RoundDigits(plain, d.point + decimals);
    if (plain.point <= kDisplayWidth) {
      // Below 1 the plain form may show fewer significant digits than the scientific one,
      // which is then chosen.
      if (d.point >= 1) return AppendPlain(out, plain);
      const DecimalDigits sci = ToScientific(d);
      if (plain.digits.size() >= sci.digits.size()) return AppendPlain(out, plain);
      return AppendScientific(out, sci);
    }
  }
  AppendScientific(out, ToScientific(d));
}

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
  if (d.point >= kPlainMinPoint && d.point <= kPlainMaxPoint) return AppendPlain(out, d);
  AppendScientific(out, d);
}

std::string FormatGeneral(double value) {
  std::string out;
  AppendGeneral(out, value);
  return out;
}

}  // namespace ddt::grid::format
