// Sheets the grid has no cells for (macro sheets, dialog sheets) are carried as the file held
// them, but their text cells point into the workbook's shared-string table by number, and a
// save writes that table anew. Such cells are given their text inline, so a carried sheet
// keeps its texts whatever the new table holds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "grid/shared_text.h"

namespace ddt::grid::io {

// The sheet part `xml` with every shared-string cell (<c t="s"><v>N</v></c>) turned into an
// inline-string cell holding strings[N]. Cells whose number is not in the table are left as
// they are. Returns "" when the part has no shared-string cell (nothing to change).
std::string InlineSharedStrings(std::string_view xml, const std::vector<SharedText>& strings);

}  // namespace ddt::grid::io
