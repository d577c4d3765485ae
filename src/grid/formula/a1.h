// A1 notation pieces shared by the parser, the printer and INDIRECT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/column_letters.h"

namespace ddt::grid::formula {

// The column number of letters "A".."XFD" in any case; 0 when not a column of the grid.
int ColumnFromLetters(std::string_view letters);
// "A" for 1, "XFD" for 16384.
using text::AppendColumnLetters;
using text::ColumnLetters;

// Characters that may continue a name (function, defined name or unquoted sheet name).
inline bool IsNameChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '.' || c == '\\' || c == '?' || u >= 0x80;
}

// One corner of a reference as scanned: "$B$7", "b7", "$C", "12".
struct ScannedCorner {
  int row = 0, col = 0;
  bool rowAbs = false, colAbs = false;
};

// Scans a cell reference ("$A$1") at text[pos]; on success sets *corner and returns the
// position after it. The reference must not run on into a name or a call ("A1B", "LOG10(").
// Returns npos otherwise.
// `minRow` 0 admits row 0, the header row a workbook holds out of its cells.
size_t ScanCellRef(std::string_view text, size_t pos, ScannedCorner* corner, int minRow = 1);
// Scans "$A:$C" (whole columns) or "$1:$3" (whole rows); same conventions.
size_t ScanColumnRange(std::string_view text, size_t pos, ScannedCorner* a, ScannedCorner* b);
size_t ScanRowRange(std::string_view text, size_t pos, ScannedCorner* a, ScannedCorner* b,
                    int minRow = 1);
// Scans one part of a range as kept formulas and range lists write it: a cell ("$B$7"), a
// whole column ("$C", row 0) or a whole row ("12", col 0); same conventions as ScanCellRef.
size_t ScanRefPart(std::string_view text, size_t pos, ScannedCorner* part);

// A cell reference as files write it in a cell's "r" or an array formula's range: letters
// then digits and nothing else ("B12", either case, no "$"). Row and column are read past the
// grid's limits (saturating, no overflow) so a reader can say which limit a cell passes.
// False when the text is no such reference or its row is 0.
bool ParsePlainCellRef(std::string_view text, int64_t* row, int64_t* col);

// Whether a sheet name must be quoted in a formula ('My Sheet'!A1).
bool SheetNameNeedsQuotes(std::string_view name);
// The name as written before "!": quoted with doubled apostrophes when needed.
void AppendSheetName(std::string& out, std::string_view name);

}  // namespace ddt::grid::formula
