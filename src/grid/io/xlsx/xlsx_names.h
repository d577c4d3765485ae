// Vocabulary shared by the .xlsx reader and writer: cell references, pattern and border
// style names, colours, the legacy indexed palette, and escaping of text that XML cannot hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/column_letters.h"

namespace ddt::grid::io {

// "B12" -> row 12, column 2. Returns false when the text is not a cell reference; row and
// column may then lie beyond the grid's limits (the caller checks, to say so).
bool ParseCellRef(std::string_view ref, int64_t* row, int64_t* col);
// The reference of a cell ("B12"); appended to `out`. Column letters alone:
// text::AppendColumnLetters.
void AppendCellRef(int row, int col, std::string& out);

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

// Colours are 0x00BBGGRR inside the grid, "FFRRGGBB" (ARGB) in the file.
std::optional<uint32_t> ParseArgb(std::string_view argb);
std::string ArgbText(uint32_t bgr);
// The legacy 64-colour palette (plus 64 system foreground, 65 system background).
uint32_t IndexedColor(int index);
inline constexpr int kIndexedColorCount = 66;
// Colours of the default theme by theme index, with a tint applied (-1..1).
uint32_t ThemeColor(int index, double tint);
uint32_t ApplyTint(uint32_t bgr, double tint);

// Text as an XML string item: control characters and literal "_xHHHH_" sequences escaped
// the way spreadsheet files do, invalid UTF-8 replaced by U+FFFD, markup characters escaped.
void AppendXmlText(std::string_view text, std::string& out, bool escapeControls = true);
// Undo the _xHHHH_ escapes of a string item, in place.
void UnescapeXstring(std::string& text);

// Dates: ISO 8601 "2024-03-01T12:00:00" as a serial number of the 1900 or 1904 date system.
std::optional<double> IsoDateToSerial(std::string_view iso, bool date1904);

}  // namespace ddt::grid::io
