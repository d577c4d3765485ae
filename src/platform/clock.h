// The system tick count.
#pragma once

#include <cstdint>

namespace ddt::platform {

// Milliseconds of the monotonic clock (time since an unspecified start, typically boot).
// Never goes backwards; used to seed pseudo-random choices.
std::uint64_t TickCount();

}  // namespace ddt::platform
