// Trigonometric and hyperbolic functions, and the angle conversions.
#include <cmath>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Past this magnitude the spreadsheet refuses the circular functions' argument (2^27).
constexpr double kMaxAngle = 134217728.0;

double Angle(Call& call) {
  const double x = call.Number(0);
  if (std::fabs(x) >= kMaxAngle) throw FormulaError{ErrorCode::Num};
  return x;
}

// 1/f(x), with #DIV/0! where f(x) is zero.
Value Reciprocal(double d) {
  if (d == 0) throw FormulaError{ErrorCode::Div0};
  return Num(1 / d);
}

Operand Sin(Call& call) { return Num(std::sin(Angle(call))); }
Operand Cos(Call& call) { return Num(std::cos(Angle(call))); }
Operand Tan(Call& call) { return Num(std::tan(Angle(call))); }
Operand Cot(Call& call) { return Reciprocal(std::tan(Angle(call))); }
Operand Sec(Call& call) { return Reciprocal(std::cos(Angle(call))); }
Operand Csc(Call& call) { return Reciprocal(std::sin(Angle(call))); }

double UnitArg(Call& call) {
  const double x = call.Number(0);
  if (x < -1 || x > 1) throw FormulaError{ErrorCode::Num};
  return x;
}

Operand Asin(Call& call) { return Num(std::asin(UnitArg(call))); }
Operand Acos(Call& call) { return Num(std::acos(UnitArg(call))); }
Operand Atan(Call& call) { return Num(std::atan(call.Number(0))); }
// ACOT gives a result in (0, pi), as the spreadsheet does: ACOT(-1) is 3*pi/4.
Operand Acot(Call& call) { return Num(kPi / 2 - std::atan(call.Number(0))); }

// ATAN2(x, y): the angle of the point (x, y); the arguments are in the opposite order to C's.
Operand Atan2(Call& call) {
  const double x = call.Number(0), y = call.Number(1);
  if (x == 0 && y == 0) throw FormulaError{ErrorCode::Div0};
  return Num(std::atan2(y, x));
}

Operand Sinh(Call& call) { return Num(std::sinh(call.Number(0))); }
Operand Cosh(Call& call) { return Num(std::cosh(call.Number(0))); }
Operand Tanh(Call& call) { return Num(std::tanh(call.Number(0))); }
Operand Coth(Call& call) { return Reciprocal(std::tanh(call.Number(0))); }
Operand Sech(Call& call) { return Reciprocal(std::cosh(call.Number(0))); }
Operand Csch(Call& call) { return Reciprocal(std::sinh(call.Number(0))); }
Operand Asinh(Call& call) { return Num(std::asinh(call.Number(0))); }

Operand Acosh(Call& call) {
  const double x = call.Number(0);
  if (x < 1) throw FormulaError{ErrorCode::Num};
  return Num(std::acosh(x));
}

Operand Atanh(Call& call) {
  const double x = call.Number(0);
  if (x <= -1 || x >= 1) throw FormulaError{ErrorCode::Num};
  return Num(std::atanh(x));
}

Operand Acoth(Call& call) {
  const double x = call.Number(0);
  if (x >= -1 && x <= 1) throw FormulaError{ErrorCode::Num};
  return Num(0.5 * std::log((x + 1) / (x - 1)));
}

Operand Degrees(Call& call) { return Num(call.Number(0) * 180 / kPi); }
Operand Radians(Call& call) { return Num(call.Number(0) * kPi / 180); }

}  // namespace

void RegisterTrigFunctions(FunctionRegistry& r) {
  r.Add({"SIN", 1, 1, Sin});
  r.Add({"COS", 1, 1, Cos});
  r.Add({"TAN", 1, 1, Tan});
  r.Add({"COT", 1, 1, Cot});
  r.Add({"SEC", 1, 1, Sec});
  r.Add({"CSC", 1, 1, Csc});
  r.Add({"ASIN", 1, 1, Asin});
  r.Add({"ACOS", 1, 1, Acos});
  r.Add({"ATAN", 1, 1, Atan});
  r.Add({"ACOT", 1, 1, Acot});
  r.Add({"ATAN2", 2, 2, Atan2});
  r.Add({"SINH", 1, 1, Sinh});
  r.Add({"COSH", 1, 1, Cosh});
  r.Add({"TANH", 1, 1, Tanh});
  r.Add({"COTH", 1, 1, Coth});
  r.Add({"SECH", 1, 1, Sech});
  r.Add({"CSCH", 1, 1, Csch});
  r.Add({"ASINH", 1, 1, Asinh});
  r.Add({"ACOSH", 1, 1, Acosh});
  r.Add({"ATANH", 1, 1, Atanh});
  r.Add({"ACOTH", 1, 1, Acoth});
  r.Add({"DEGREES", 1, 1, Degrees});
  r.Add({"RADIANS", 1, 1, Radians});
}

}  // namespace ddt::grid::formula
