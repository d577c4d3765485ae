#include "grid/format/decimal_digits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ddt::grid::format {

DecimalDigits ToDecimalDigits(double value) {
  DecimalDigits d;
  value = std::fabs(value);
  if (value == 0) return d;
  // "d.dddddddddddddde+XX": 15 significant digits, correctly rounded.
  char buf[48];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                           kSignificantDigits - 1);
  const char* e = buf;
  while (e < res.ptr && *e != 'e') ++e;
  for (const char* p = buf; p < e; ++p)
    if (*p != '.') d.digits.push_back(*p);
  int exponent = 0;
  std::from_chars(e + 1 + (e[1] == '+'), res.ptr, exponent);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  d.point = exponent + 1;
  return d;
}

FixedDigits ToFixed(const DecimalDigits& d, int fractionDigits) {
  FixedDigits out;
  // Digits kept: everything up to `fractionDigits` places after the point.
  const int keep = d.point + fractionDigits;
  std::string kept;
  int point = d.point;
  if (keep >= 0 && !d.digits.empty()) {
    kept = d.digits.substr(0, static_cast<size_t>(std::min<int>(keep, d.digits.size())));
    kept.append(static_cast<size_t>(keep - static_cast<int>(kept.size())), '0');
    const bool roundUp = keep < static_cast<int>(d.digits.size()) && d.digits[keep] >= '5';
    if (roundUp) {
      int i = static_cast<int>(kept.size()) - 1;
      while (i >= 0 && kept[i] == '9') kept[i--] = '0';
      if (i >= 0) {
        ++kept[i];
      } else {
        kept.insert(kept.begin(), '1');
        ++point;
      }
    }
  }
  if (kept.empty()) {
    out.fraction.assign(static_cast<size_t>(fractionDigits), '0');
    return out;
  }
  // kept holds the digits from the first significant one down to the last decimal shown.
  if (point > 0) {
    out.integer = kept.substr(0, static_cast<size_t>(point));
    out.fraction = kept.substr(static_cast<size_t>(point));
  } else {
    out.fraction.assign(static_cast<size_t>(-point), '0');
    out.fraction += kept;
  }
  out.fraction.resize(static_cast<size_t>(fractionDigits), '0');
  size_t nz = out.integer.find_first_not_of('0');
  out.integer.erase(0, nz == std::string::npos ? out.integer.size() : nz);
  return out;
}

}  // namespace ddt::grid::format
