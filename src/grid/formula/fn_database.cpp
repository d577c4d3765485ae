#include "grid/formula/functions.h"
namespace ddt::grid::formula {
void RegisterDatabaseFunctions(FunctionRegistry&) {}
}  // namespace ddt::grid::formula
