// Reference functions.
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

void RegisterReferenceFunctions(FunctionRegistry&) {}

}  // namespace ddt::grid::formula
