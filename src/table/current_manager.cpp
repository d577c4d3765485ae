#include "table/current_manager.h"

#include <atomic>

namespace ddt {
namespace {
std::atomic<CPrm*> g_currentManager{nullptr};
}  // namespace

CPrm* CurrentManager() { return g_currentManager.load(std::memory_order_acquire); }

void SetCurrentManager(CPrm* manager) {
  g_currentManager.store(manager, std::memory_order_release);
}

}  // namespace ddt
