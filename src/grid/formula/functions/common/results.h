// Results and failures of the function library's bodies: a number result that is not finite
// is #NUM!, and a failure throws the error value the call returns.
#pragma once

#include <cmath>

#include "grid/formula/functions.h"

namespace ddt::grid::formula {

[[noreturn]] inline void Fail(ErrorCode code = ErrorCode::Num) { throw FormulaError{code}; }

// d as a result; #NUM! when it is infinite or not a number.
inline Value Num(double d) {
  if (!std::isfinite(d)) Fail(ErrorCode::Num);
  return Value{d};
}

}  // namespace ddt::grid::formula
