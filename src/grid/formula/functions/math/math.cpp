// Arithmetic functions: sums and products, powers and logarithms, rounding (ROUND and its
// variants, CEILING and FLOOR in every form, MROUND), division and remainders, random numbers,
// factorials and combinatorics, and series.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "grid/formula/functions.h"
#include "grid/formula/functions/common/results.h"

namespace ddt::grid::formula {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Largest n whose factorial is a finite double.
constexpr int kMaxFactorial = 170;
// GCD and LCM work on whole numbers below 2^53.
constexpr double kMaxExactInteger = 9007199254740992.0;

// The value rounded to 15 significant digits, as the spreadsheet sees it before rounding:
// 1.005*100 is 100.49999999999999 in binary but 100.5 to the user.
double To15Digits(double v) {
  if (v == 0 || !std::isfinite(v)) return v;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return std::strtod(buf, nullptr);
}

// 10^digits applied to x, exactly where possible (dividing for negative digits).
double Scale(double x, int digits) {
  if (digits >= 0) return x * std::pow(10.0, digits);
  return x / std::pow(10.0, -digits);
}
double Unscale(double x, int digits) {
  if (digits >= 0) return x / std::pow(10.0, digits);
  return x * std::pow(10.0, -digits);
}

enum class RoundMode { Nearest, Down, Up };

double RoundTo(double x, int digits, RoundMode mode) {
  if (digits > 308) return x;
  if (digits < -308) return 0;
  double scaled = To15Digits(Scale(std::fabs(x), digits));
  double r = 0;
  switch (mode) {
    case RoundMode::Nearest: r = std::floor(scaled + 0.5); break;
    case RoundMode::Down: r = std::floor(scaled); break;
    case RoundMode::Up: r = std::ceil(scaled); break;
  }
  r = Unscale(r, digits);
  return x < 0 ? -r : r;
}

int Digits(Call& call, int i) {
  double d = std::trunc(call.Number(i, 0));
  return static_cast<int>(std::fmax(-1000, std::fmin(1000, d)));
}

// A quotient that is a whole number to 15 digits counts as whole (4.2/0.1 is 42).
double Quotient15(double a, double b) { return To15Digits(a / b); }

Operand Abs(Call& call) { return Num(std::fabs(call.Number(0))); }

Operand Ceiling(Call& call) {
  double x = call.Number(0), sig = call.Number(1);
  if (sig == 0 || x == 0) return Num(0);
  if (x > 0 && sig < 0) throw FormulaError{ErrorCode::Num};
  return Num(std::ceil(Quotient15(x, sig)) * sig);
}

Operand Floor(Call& call) {
  double x = call.Number(0), sig = call.Number(1);
  if (sig == 0) {
    if (x == 0) return Num(0);
    throw FormulaError{ErrorCode::Div0};
  }
  if (x > 0 && sig < 0) throw FormulaError{ErrorCode::Num};
  return Num(std::floor(Quotient15(x, sig)) * sig);
}

Operand Int(Call& call) { return Num(std::floor(call.Number(0))); }

Operand Mod(Call& call) {
  double n = call.Number(0), d = call.Number(1);
  if (d == 0) throw FormulaError{ErrorCode::Div0};
  double r = n - d * std::floor(Quotient15(n, d));
  // Drop representation noise, then keep the sign of the divisor.
  if (std::fabs(r) < std::fabs(d) * 1e-14) r = 0;
  if (r != 0 && (r < 0) != (d < 0)) r += d;
  return Num(r);
}

Operand Power(Call& call) {
  double x = call.Number(0), y = call.Number(1);
  if (x == 0 && y == 0) throw FormulaError{ErrorCode::Num};
  if (x == 0 && y < 0) throw FormulaError{ErrorCode::Div0};
  if (x < 0 && y != std::trunc(y)) throw FormulaError{ErrorCode::Num};
  return Num(std::pow(x, y));
}

Operand Product(Call& call) {
  double p = 1;
  bool any = false;
  call.ForEachNumber(0, [&](double d) {
    p *= d;
    any = true;
  });
  return Num(any ? p : 0);
}

Operand Quotient(Call& call) {
  double n = call.Number(0), d = call.Number(1);
  if (d == 0) throw FormulaError{ErrorCode::Div0};
  return Num(std::trunc(Quotient15(n, d)));
}

Operand Rand(Call& call) { return Num(call.Ctx().Random()); }

Operand RandBetween(Call& call) {
  double lo = std::ceil(call.Number(0)), hi = std::floor(call.Number(1));
  if (lo > hi) throw FormulaError{ErrorCode::Num};
  double r = lo + std::floor(call.Ctx().Random() * (hi - lo + 1));
  return Num(std::fmin(r, hi));
}

Operand Round(Call& call) { return Num(RoundTo(call.Number(0), Digits(call, 1), RoundMode::Nearest)); }
Operand RoundDown(Call& call) { return Num(RoundTo(call.Number(0), Digits(call, 1), RoundMode::Down)); }
Operand RoundUp(Call& call) { return Num(RoundTo(call.Number(0), Digits(call, 1), RoundMode::Up)); }
Operand Trunc(Call& call) { return Num(RoundTo(call.Number(0), Digits(call, 1), RoundMode::Down)); }

Operand Sign(Call& call) {
  double x = call.Number(0);
  return Num(x > 0 ? 1 : x < 0 ? -1 : 0);
}

Operand Sqrt(Call& call) {
  double x = call.Number(0);
  if (x < 0) throw FormulaError{ErrorCode::Num};
  return Num(std::sqrt(x));
}

Operand Sum(Call& call) {
  double sum = 0;
  call.ForEachNumber(0, [&](double d) { sum += d; });
  return Num(sum);
}

Operand Pi(Call&) { return Num(kPi); }
Operand Exp(Call& call) { return Num(std::exp(call.Number(0))); }

Operand Ln(Call& call) {
  double x = call.Number(0);
  if (x <= 0) throw FormulaError{ErrorCode::Num};
  return Num(std::log(x));
}

Operand Log(Call& call) {
  double x = call.Number(0), base = call.Number(1, 10);
  if (x <= 0 || base <= 0) throw FormulaError{ErrorCode::Num};
  if (base == 1) throw FormulaError{ErrorCode::Div0};
  if (base == 10) return Num(std::log10(x));
  return Num(std::log(x) / std::log(base));
}

Operand Log10(Call& call) {
  double x = call.Number(0);
  if (x <= 0) throw FormulaError{ErrorCode::Num};
  return Num(std::log10(x));
}

// EVEN and ODD round away from zero to the next even (odd) whole number.
Operand Even(Call& call) {
  double x = call.Number(0);
  double r = std::ceil(To15Digits(std::fabs(x)) / 2) * 2;
  return Num(x < 0 ? -r : r);
}

Operand Odd(Call& call) {
  double x = call.Number(0);
  double a = std::ceil(To15Digits(std::fabs(x)));
  if (std::fmod(a, 2) == 0) a += 1;
  return Num(x < 0 ? -a : a);
}

Operand Fact(Call& call) {
  double n = std::trunc(call.Number(0));
  if (n < 0 || n > kMaxFactorial) throw FormulaError{ErrorCode::Num};
  double f = 1;
  for (int i = 2; i <= static_cast<int>(n); ++i) f *= i;
  return Num(f);
}

// The whole numbers GCD and LCM see: truncated, none negative or too large.
std::vector<double> WholeNumbers(Call& call) {
  std::vector<double> out;
  call.ForEachNumber(0, [&](double d) {
    if (d < 0 || d >= kMaxExactInteger) throw FormulaError{ErrorCode::Num};
    out.push_back(std::trunc(d));
  });
  return out;
}

double Gcd2(double a, double b) {
  while (b != 0) {
    double t = std::fmod(a, b);
    a = b;
    b = t;
  }
  return a;
}

Operand Gcd(Call& call) {
  double g = 0;
  for (double d : WholeNumbers(call)) g = Gcd2(g, d);
  return Num(g);
}

Operand Lcm(Call& call) {
  double l = 1;
  for (double d : WholeNumbers(call)) {
    if (d == 0) return Num(0);
    l = l / Gcd2(l, d) * d;
    if (l >= kMaxExactInteger) throw FormulaError{ErrorCode::Num};
  }
  return Num(l);
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

void RegisterMathFunctions(FunctionRegistry& r) {
  constexpr int N = kMaxFunctionArgs;
  r.Add({"ABS", 1, 1, Abs});
  r.Add({"CEILING", 2, 2, Ceiling});
  r.Add({"FLOOR", 2, 2, Floor});
  r.Add({"INT", 1, 1, Int});
  r.Add({"MOD", 2, 2, Mod});
  r.Add({"POWER", 2, 2, Power});
  r.Add({"PRODUCT", 1, N, Product});
  r.Add({"QUOTIENT", 2, 2, Quotient});
  r.Add({"RAND", 0, 0, Rand, true});
  r.Add({"RANDBETWEEN", 2, 2, RandBetween, true});
  r.Add({"ROUND", 2, 2, Round});
  r.Add({"ROUNDDOWN", 2, 2, RoundDown});
  r.Add({"ROUNDUP", 2, 2, RoundUp});
  r.Add({"SIGN", 1, 1, Sign});
  r.Add({"SQRT", 1, 1, Sqrt});
  r.Add({"SUM", 1, N, Sum});
  r.Add({"TRUNC", 1, 2, Trunc});
  r.Add({"PI", 0, 0, Pi});
  r.Add({"EXP", 1, 1, Exp});
  r.Add({"LN", 1, 1, Ln});
  r.Add({"LOG", 1, 2, Log});
  r.Add({"LOG10", 1, 1, Log10});
  r.Add({"EVEN", 1, 1, Even});
  r.Add({"ODD", 1, 1, Odd});
  r.Add({"FACT", 1, 1, Fact});
  r.Add({"GCD", 1, N, Gcd});
  r.Add({"LCM", 1, N, Lcm});
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
