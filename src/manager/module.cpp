#include "manager/module.h"

namespace ddt {
namespace {

// Start-up is a static initialiser of this file, not an ELF constructor: it then runs in the
// library's own initialisation order with the rest of the C++ statics, and Shared() itself is
// a function-local static so a caller from another file's static initialiser cannot see it
// half built. The string table is constant data and needs no initialisation of its own.
// Component services and control hosting need no start-up step: the grid is a plain library
// object. Destruction at unload is the runtime's.
[[maybe_unused]] const SharedStrings& g_loadedAtStart = Shared();

}  // namespace
}  // namespace ddt
