// File-type codes of workbook files, as the engine bindings pass and report them.
#pragma once

namespace ddt::grid::io {

inline constexpr int kFileTypeAny = 4;    // offered on read: recognise from the content
inline constexpr int kFileTypeXlsx = 11;  // Office Open XML (.xlsx, .xlsm): read and written
inline constexpr int kFileTypeXls = 12;   // legacy BIFF (.xls): read only
inline constexpr int kFileTypeCsv = 13;   // comma-separated text: read only

}  // namespace ddt::grid::io
