// Names of fill patterns and border styles as .xlsx writes them, in the order of the grid's
// style codes (the .xls reader bounds its codes by the same counts).
#pragma once

#include <string_view>

namespace ddt::grid::io {

// Fill pattern names in the order of their codes (Style::pattern): 0 "none", 1 "solid", ...
inline constexpr const char* kPatternNames[] = {
    "none",        "solid",        "mediumGray",     "darkGray",     "lightGray",
    "darkHorizontal", "darkVertical", "darkDown",    "darkUp",       "darkGrid",
    "darkTrellis", "lightHorizontal", "lightVertical", "lightDown",  "lightUp",
    "lightGrid",   "lightTrellis", "gray125",        "gray0625"};
inline constexpr int kPatternCount = sizeof(kPatternNames) / sizeof(kPatternNames[0]);
// Border style names in the order of their codes (Border::style).
inline constexpr const char* kBorderNames[] = {
    "none",   "thin",   "medium", "dashed",       "dotted",       "thick",      "double",
    "hair",   "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot",
    "slantDashDot"};
inline constexpr int kBorderCount = sizeof(kBorderNames) / sizeof(kBorderNames[0]);
int PatternCode(std::string_view name);      // 0 for an unknown name
int BorderStyleCode(std::string_view name);  // 0 for an unknown name

}  // namespace ddt::grid::io
