// Arithmetic functions.
#include <cmath>

#include "grid/formula/functions.h"

namespace ddt::grid::formula {

namespace {

Operand Abs(Call& call) { return Value{std::fabs(call.Number(0))}; }

Operand Sum(Call& call) {
  double sum = 0;
  call.ForEachNumber(0, [&](double d) { sum += d; });
  return Value{sum};
}

}  // namespace

void RegisterMathFunctions(FunctionRegistry& r) {
  r.Add({"ABS", 1, 1, Abs});
  r.Add({"SUM", 1, kMaxFunctionArgs, Sum});
}

}  // namespace ddt::grid::formula
