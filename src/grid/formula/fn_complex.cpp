#include "grid/formula/functions.h"
namespace ddt::grid::formula {
void RegisterComplexFunctions(FunctionRegistry&) {}
}  // namespace ddt::grid::formula
