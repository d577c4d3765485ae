// Bounds the file readers enforce, so that damaged or hostile files cost bounded memory and
// time. Each is checked against what an archive declares and again while bytes arrive.
#pragma once

#include <cstdint>

namespace ddt::grid::io {

// Largest uncompressed size of one archive entry, and of all entries read from one archive.
inline constexpr uint64_t kMaxEntryBytes = uint64_t{1} << 30;         // 1 GiB
inline constexpr uint64_t kMaxArchiveBytes = uint64_t{2} << 30;       // 2 GiB
// Largest expansion of an entry (uncompressed / compressed bytes). Office XML compresses
// 5 to 50 times; a zip bomb expands by about 1000. Entries below kRatioExemptBytes are not
// checked: they cannot cost much whatever their ratio.
inline constexpr uint64_t kMaxCompressionRatio = 250;
inline constexpr uint64_t kRatioExemptBytes = uint64_t{16} << 20;     // 16 MiB
// Parts other than sheets and shared strings (relationships, workbook, styles) are small.
inline constexpr uint64_t kMaxSmallPartBytes = uint64_t{64} << 20;    // 64 MiB
// Entries an archive may list.
inline constexpr int64_t kMaxArchiveEntries = 100000;
// Style records of each kind (number formats, fonts, fills, borders, cell formats).
inline constexpr size_t kMaxStyleRecords = 1 << 20;
// Length of a formula's text, in bytes.
inline constexpr size_t kMaxFormulaBytes = 64 * 1024;
// Bytes a text may take while it is collected: kMaxCellTextLength characters of up to
// four bytes each. Longer text is refused before it is stored.
inline constexpr size_t kMaxTextBytes = 4 * 32767;
// Largest CSV file, and largest .xls file (read whole into memory).
inline constexpr uint64_t kMaxCsvBytes = uint64_t{1} << 30;
inline constexpr uint64_t kMaxXlsBytes = uint64_t{1} << 30;

}  // namespace ddt::grid::io
