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

// Significant digits shown by `integer`.`fraction` (fraction without trailing zeros).
int SignificantDigits(const FixedDigits& f) {
  if (!f.integer.empty()) return static_cast<int>(f.integer.size() + f.fraction.size());
  const size_t first = f.fraction.find_first_not_of('0');
  return first == std::string::npos ? 0 : static_cast<int>(f.fraction.size() - first);
}

void TrimZeros(std::string& s) {
  while (!s.empty() && s.back() == '0') s.pop_back();
}

// The scientific form that fits the width: d.ddddd with as many decimals as the exponent
// leaves room for, trailing zeros dropped.
struct Scientific {
  FixedDigits mantissa;
  int exponent = 0;
};
Scientific ToScientific(const DecimalDigits& d) {
  Scientific s;
  s.exponent = d.point - 1;
  const int exponentWidth = std::abs(s.exponent) >= 100 ? kExponentWidth + 1 : kExponentWidth;
  const int decimals = kDisplayWidth - exponentWidth - 2;  // "d." before them
  s.mantissa = ToFixed(DecimalDigits{d.digits, 1}, decimals);
  if (s.mantissa.integer.size() > 1) {  // 9.999999 rounded up to 10
    ++s.exponent;
    s.mantissa = FixedDigits{"1", std::string()};
  }
  TrimZeros(s.mantissa.fraction);
  return s;
}

void AppendFixed(std::string& out, const FixedDigits& f) {
  out += f.integer.empty() ? "0" : f.integer;
  if (!f.fraction.empty()) {
    out += '.';
    out += f.fraction;
  }
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
  // Plain decimals rounded to fit the width; whole numbers of up to 11 digits.
  if (d.point <= kDisplayWidth) {
    const int decimals = d.point >= 1 ? std::max(0, kDisplayWidth - d.point - 1)
                                      : kDisplayWidth - 2;  // "0." before them
    FixedDigits plain = ToFixed(d, decimals);
    TrimZeros(plain.fraction);
    if (static_cast<int>(plain.integer.size()) <= kDisplayWidth) {
      // Below 1 the plain form may show fewer digits than the scientific one; the
      // scientific form is chosen only when it shows more.
      if (d.point >= 1) return AppendFixed(out, plain);
      const Scientific sci = ToScientific(d);
      if (SignificantDigits(plain) >= SignificantDigits(sci.mantissa))
        return AppendFixed(out, plain);
    }
  }
  const Scientific sci = ToScientific(d);
  AppendFixed(out, sci.mantissa);
  AppendExponent(out, sci.exponent);
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
  AppendExponent(out, d.point - 1);
}

std::string FormatGeneral(double value) {
  std::string out;
  AppendGeneral(out, value);
  return out;
}

}  // namespace ddt::grid::format
