#include "platform/clock.h"

#include <chrono>

namespace ddt::platform {

std::uint64_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace ddt::platform
