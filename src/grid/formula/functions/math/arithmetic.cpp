// Arithmetic beyond the basic set: the rounding variants of CEILING and FLOOR, MROUND,
// combinatorics and series.
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A quotient to 15 significant digits, so 4.2/0.1 counts as the whole number 42.
double Quotient15(double a, double b) {
  const double q = a / b;
  if (q == 0 || !std::isfinite(q)) return q;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", q);
  return std::strtod(buf, nullptr);
}

// x rounded to a multiple of sig, with `toward` picking floor or ceil of the quotient.
double ToMultiple(double x, double sig, bool up) {
  if (sig == 0 || x == 0) return 0;
  const double q = Quotient15(x, sig);
  return (up ? std::ceil(q) : std::floor(q)) * sig;
}

// CEILING.MATH(number, [significance], [mode]): up to a multiple of |significance| (1 by
// default); a non-zero mode rounds negatives away from zero instead.
Operand CeilingMath(Call& call) {
  const double x = call.Number(0), sig = std::fabs(call.Number(1, 1));
  const bool away = call.Number(2, 0) != 0;
  if (x < 0 && away) return Num(-ToMultiple(-x, sig, true));
  return Num(ToMultiple(x, sig, true));
}

// FLOOR.MATH(number, [significance], [mode]): down to a multiple; a non-zero mode rounds
// negatives toward zero instead.
Operand FloorMath(Call& call) {
  const double x = call.Number(0), sig = std::fabs(call.Number(1, 1));
  const bool toward = call.Number(2, 0) != 0;
  if (x < 0 && toward) return Num(-ToMultiple(-x, sig, false));
  return Num(ToMultiple(x, sig, false));
}

Operand CeilingPrecise(Call& call) {
  return Num(ToMultiple(call.Number(0), std::fabs(call.Number(1, 1)), true));
}

Operand FloorPrecise(Call& call) {
  return Num(ToMultiple(call.Number(0), std::fabs(call.Number(1, 1)), false));
}

// MROUND(number, multiple): the nearest multiple, halves away from zero.
Operand MRound(Call& call) {
  const double x = call.Number(0), m = call.Number(1);
  if (m == 0 || x == 0) return Num(0);
  if ((x < 0) != (m < 0)) Fail();
  return Num(std::round(Quotient15(x, m)) * m);
}

double Combinations(double n, double k) {
  if (n < 0 || k < 0 || k > n) Fail();
  k = std::min(k, n - k);
  double r = 1;
  for (double i = 1; i <= k; ++i) {
    r = r * (n - k + i) / i;
    if (!std::isfinite(r)) Fail();  // also ends the loop for huge n and k
  }
  return std::round(r);
}

Operand Combin(Call& call) {
  return Num(Combinations(std::trunc(call.Number(0)), std::trunc(call.Number(1))));
}

// COMBINA: combinations with repetition.
Operand Combina(Call& call) {
  const double n = std::trunc(call.Number(0)), k = std::trunc(call.Number(1));
  if (n < 0 || k < 0) Fail();
  if (k == 0) return Num(1);
  if (n == 0) return Num(0);
  return Num(Combinations(n + k - 1, k));
}

Operand FactDouble(Call& call) {
  const double n = std::trunc(call.Number(0));
  if (n < 0 || n > 300) Fail();
  double r = 1;
  for (double i = n; i > 1; i -= 2) r *= i;
  return Num(r);
}

// MULTINOMIAL(a, b, ...): (a+b+...)! / (a! b! ...).
Operand Multinomial(Call& call) {
  double result = 1, total = 0;
  call.ForEachNumber(0, [&](double d) {
    d = std::trunc(d);
    if (d < 0 || total + d > 170) Fail();  // the factorial of the sum would overflow
    // Multiply in C(total + d, d) step by step, which stays exact far longer than factorials.
    for (double i = 1; i <= d; ++i) result = result * (total + i) / i;
    total += d;
  });
  return Num(std::round(result));
}

Operand SqrtPi(Call& call) {
  const double x = call.Number(0);
  if (x < 0) Fail();
  return Num(std::sqrt(x * kPi));
}

// SERIESSUM(x, n, m, coefficients): a1*x^n + a2*x^(n+m) + ...
Operand SeriesSum(Call& call) {
  const double x = call.Number(0), n = call.Number(1), m = call.Number(2);
  double sum = 0, power = n;
  bool any = false;
  call.ForEachValue(3, [&](const Value& v, bool) {
    if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
    if (IsEmpty(v)) return true;
    if (!IsNumber(v)) Fail(ErrorCode::Value);
    sum += std::get<double>(v) * std::pow(x, power);
    power += m;
    any = true;
    return true;
  });
  if (!any) Fail(ErrorCode::Value);
  return Num(sum);
}

}  // namespace

void RegisterArithmeticFunctions(FunctionRegistry& r) {
  r.Add({"CEILING.MATH", 1, 3, CeilingMath});
  r.Add({"CEILING.PRECISE", 1, 2, CeilingPrecise});
  r.Add({"ISO.CEILING", 1, 2, CeilingPrecise});
  r.Add({"FLOOR.MATH", 1, 3, FloorMath});
  r.Add({"FLOOR.PRECISE", 1, 2, FloorPrecise});
  r.Add({"MROUND", 2, 2, MRound});
  r.Add({"COMBIN", 2, 2, Combin});
  r.Add({"COMBINA", 2, 2, Combina});
  r.Add({"FACTDOUBLE", 1, 1, FactDouble});
  r.Add({"MULTINOMIAL", 1, kMaxFunctionArgs, Multinomial});
  r.Add({"SQRTPI", 1, 1, SqrtPi});
  r.Add({"SERIESSUM", 4, 4, SeriesSum});
}

}  // namespace ddt::grid::formula
