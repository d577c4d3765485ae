// Colours as files hold them: 0x00BBGGRR inside the grid, "FFRRGGBB" (ARGB) in .xlsx, an
// index into the legacy palette in .xls and older .xlsx, a theme colour with a tint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ddt::grid::io {

std::optional<uint32_t> ParseArgb(std::string_view argb);
std::string ArgbText(uint32_t bgr);
// The legacy 64-colour palette (plus 64 system foreground, 65 system background).
uint32_t IndexedColor(int index);
inline constexpr int kIndexedColorCount = 66;
// Colours of the default theme by theme index, with a tint applied (-1..1).
uint32_t ThemeColor(int index, double tint);
uint32_t ApplyTint(uint32_t bgr, double tint);

}  // namespace ddt::grid::io
