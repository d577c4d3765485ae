// Info functions.
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

void RegisterInfoFunctions(FunctionRegistry&) {}

}  // namespace ddt::grid::formula
