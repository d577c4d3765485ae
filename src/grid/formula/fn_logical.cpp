// Logical functions.
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

void RegisterLogicalFunctions(FunctionRegistry&) {}

}  // namespace ddt::grid::formula
