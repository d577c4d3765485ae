// Translation of the interface's clear and shift kinds (CDT_IF::DT_CLEAR_TYPE, DT_SHIFT_TYPE)
// into the grid's. Callers pass plain integers; a value outside the kinds is no kind at all
// and the operation that received it does nothing.
#pragma once

#include <optional>

#include "grid/workbook.h"

namespace ddt::engine {

// 0 everything, 1 values only, 2 formats only; anything else: nothing.
std::optional<grid::Clear> ClearKind(int kind);
// 0 cells move horizontally, 1 vertically, 2 whole rows, 3 whole columns; anything else:
// nothing.
std::optional<grid::Shift> ShiftKind(int kind);

}  // namespace ddt::engine
