#include "manager/module.h"

#include <atomic>

#include "platform/resources.h"

namespace ddt {
namespace {

SharedStrings LoadSharedStrings() {
  using namespace ddt::platform;
  SharedStrings s;
  // The order the library has always loaded them in; an id missing from the table leaves
  // its string empty.
  s.out = LoadString(IDS_OUTPUT_SUFFIX);
  s.exp = LoadString(IDS_EXPECTED_SUFFIX);
  s.end = LoadString(IDS_TERMINATOR_MARK);
  s.global = LoadString(IDS_GLOBAL_SHEET);
  s.iter = LoadString(IDS_ITER_COLUMN);
  s.vid = LoadString(IDS_VID_COLUMN);
  s.host = LoadString(IDS_HOST_COLUMN);
  s.group = LoadString(IDS_GROUP_COLUMN);
  return s;
}

std::atomic<CPrm*> g_currentManager{nullptr};

// Start-up is a static initialiser of this file, not an ELF constructor: it then runs in the
// library's own initialisation order with the rest of the C++ statics, and Shared() itself is
// a function-local static so a caller from another file's static initialiser cannot see it
// half built. The string table is constant data and needs no initialisation of its own.
// Component services and control hosting need no start-up step: the grid is a plain library
// object. Destruction at unload is the runtime's.
[[maybe_unused]] const SharedStrings& g_loadedAtStart = Shared();

}  // namespace

const SharedStrings& Shared() {
  static const SharedStrings strings = LoadSharedStrings();
  return strings;
}

CPrm* CurrentManager() { return g_currentManager.load(std::memory_order_acquire); }

void SetCurrentManager(CPrm* manager) {
  g_currentManager.store(manager, std::memory_order_release);
}

}  // namespace ddt
