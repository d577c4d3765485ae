// The last-error text as the script functions and C++ callers read it.
#include "ddtable/ddtable.h"
#include "platform/last_error.h"

extern "C" DDT_API const char* ddt_last_error(void) {
  return ddt::platform::LastError().c_str();
}

namespace ddt {

DDT_API std::string LastError() { return platform::LastError(); }

}  // namespace ddt
