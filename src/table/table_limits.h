// Limits of a data table.
#pragma once

#include "engine/workbook_limits.h"

namespace ddt::table {

// Data rows a sheet can keep in a file: row 1 of a file holds the parameter names, so the
// grid's last row has no place there.
inline constexpr int kMaxDataRows = ddt::engine::kMaxRows - 1;

// A sheet holds at most this many parameter columns; adding one more is refused.
inline constexpr int kMaxParamColumns = 255;
// GetSuggestion tries the suffixes 1 to this number to make a name unique.
inline constexpr int kMaxNameSuffix = 999;

}  // namespace ddt::table
