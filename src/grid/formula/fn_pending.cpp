// Empty registrations for the function groups whose files are not written yet. A group's
// own file replaces its stub here; this file goes when the last stub does.
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

void RegisterTextFunctions(FunctionRegistry&) {}
void RegisterLookupFunctions(FunctionRegistry&) {}
void RegisterDateTimeFunctions(FunctionRegistry&) {}
void RegisterStatsFunctions(FunctionRegistry&) {}

}  // namespace ddt::grid::formula
