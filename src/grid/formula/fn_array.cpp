#include "grid/formula/functions.h"
namespace ddt::grid::formula {
void RegisterArrayFunctions(FunctionRegistry&) {}
}  // namespace ddt::grid::formula
