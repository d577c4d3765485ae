// The algorithms both bindings share for moving parameter names between row 1 of a sheet and
// its column headings, and for measuring a sheet. All work on the grid's current sheet.
#pragma once

#include <string>
#include <string_view>

#include "engine/dt_if.h"
#include "grid/workbook.h"

namespace ddt::engine {

// The text without leading and trailing white space.
std::string TrimWhiteSpace(std::string_view text);

// The column bound of the current sheet: the last column holding data, extended over the
// directly following columns that carry a heading, never beyond kMaxHeaderCols.
int LastHeaderCol(const grid::Workbook& book);

// The last row of the current sheet holding data; 0 when the sheet holds no text at all.
int LastDataRow(grid::Workbook& book);

// The name in a cell of the header row: a text cell's text as it stands, the displayed text
// of any other cell, "" for an empty one.
std::string HeaderCellText(grid::Workbook& book, int col);

// Writes a name into the header row as text, so that it reads back as it was written.
void WriteHeaderCell(grid::Workbook& book, int col, const std::string& name);

// Moves the header row of the current sheet into the column headings: `names` is refilled
// with the texts of row 1 up to the column bound (trimmed when asked, "" kept for empty
// cells so that entry i-1 belongs to column i), every non-empty one becomes its column's
// heading, and row 1 is deleted so that the data moves up by one.
void TakeHeaderRow(grid::Workbook& book, bool trim, CStringList& names);

// Refills `names` with the headings of columns 1 to the column bound, empty ones included.
void ReadHeadings(const grid::Workbook& book, CStringList& names);

// The name of column col by the cached names: the entry when it exists and is not empty,
// else the column's letters.
std::string ColumnName(const CStringList* names, int col);

}  // namespace ddt::engine
