#include "results/extern_alias.h"

#include <atomic>

namespace ddt::results {
namespace {
std::atomic<ExternWorkbookLookup> g_lookup{nullptr};
}  // namespace

void SetExternWorkbookLookup(ExternWorkbookLookup lookup) {
  g_lookup.store(lookup, std::memory_order_release);
}

CDDTResults* FindExternWorkbook(const std::string& alias) {
  ExternWorkbookLookup lookup = g_lookup.load(std::memory_order_acquire);
  return lookup == nullptr ? nullptr : lookup(alias);
}

}  // namespace ddt::results
