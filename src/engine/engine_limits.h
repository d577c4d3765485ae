// Limits and fixed values of the engine bindings.
#pragma once

#include <cstdint>

namespace ddt::engine {

// Header texts (parameter names) live in columns 1 to 255 at most; the column bound of a
// sheet never looks past this column.
inline constexpr int kMaxHeaderCols = 255;

// The extents the headless binding reports, whatever the workbook holds.
inline constexpr long kHeadlessMaxRow = 16384;
inline constexpr long kHeadlessMaxCol = 255;

// The control window of both bindings: child id and initial rectangle.
inline constexpr int kControlWindowId = 2000;
inline constexpr int kControlWindowWidth = 500;
inline constexpr int kControlWindowHeight = 500;

// The header row of a workbook file.
inline constexpr int kHeaderRow = 1;

// Borders the interactive binding draws around a filled selection: thin lines in light grey.
inline constexpr uint16_t kFillBorderStyle = 1;
inline constexpr uint32_t kFillBorderColor = 0xC0C0C0;  // 12632256

// Default font of the interactive view.
inline constexpr const char* kViewFontFace = "Arial";
inline constexpr int kViewFontCharset = 0;
inline constexpr int kViewFontSize = 10;

// Character codes the interactive control turns into clipboard commands (Ctrl+C, V, X).
inline constexpr unsigned kCharCopy = 3;
inline constexpr unsigned kCharPaste = 22;
inline constexpr unsigned kCharCut = 24;

}  // namespace ddt::engine

namespace ddt::engine {

// Set-up values the interactive view writes into the grid (Workbook::SetFlag, SetSetting).
// The grid stores them for whoever draws it; the names say when the view writes them.
inline constexpr int kViewFlagInit = 1;          // true at InitView
inline constexpr int kViewFlagSheetsA = 110;     // true at InitView and after InsertSheets
inline constexpr int kViewFlagSheetsB = 111;     // true at InitView and after InsertSheets
inline constexpr int kViewSettingA = 6;          // 1 at InitView
inline constexpr int kViewSettingB = 25;         // 1 at InitView
inline constexpr int kViewSettingSheet = 16;     // 1 for every sheet at InitView and InsertSheets

}  // namespace ddt::engine
