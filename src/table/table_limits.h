// Limits of a data table.
#pragma once

namespace ddt::table {

// A sheet holds at most this many parameter columns; adding one more is refused.
inline constexpr int kMaxParamColumns = 255;
// GetSuggestion tries the suffixes 1 to this number to make a name unique.
inline constexpr int kMaxNameSuffix = 999;

}  // namespace ddt::table
