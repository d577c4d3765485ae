// What the engine throws, as the layers above it catch it: every failure of a CDT_IF call
// is a platform::KindedError (the grid's GridError is one) with its text and kind.
#pragma once

#include "grid/grid_error.h"
#include "platform/error_kind.h"

namespace ddt::engine {

using EngineError = platform::KindedError;

// The text of the failure of a formula the engine cannot parse.
inline constexpr const char* kInvalidFormulaSyntax = grid::kInvalidFormulaSyntax;

}  // namespace ddt::engine
