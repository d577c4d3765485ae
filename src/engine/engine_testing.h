// Test hooks of the engine bindings. Not for production code.
#pragma once

#include <functional>

namespace ddt::engine::testing {

// Called by every headless binding while it holds the machine-wide creation mutex, just
// after its control window was created. An empty function removes the probe.
void SetHeadlessCreationProbe(std::function<void()> probe);

}  // namespace ddt::engine::testing
