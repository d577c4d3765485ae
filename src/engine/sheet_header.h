// The algorithms both bindings share for moving parameter names between row 1 of a sheet and
// its column headings, and for measuring a sheet. All work on the grid's current sheet.
#pragma once

#include <string>
#include <string_view>

#include "ddtable/dt_if.h"
#include "grid/workbook.h"

namespace ddt::engine {

// The column bound of the current sheet: the last column holding data, extended over the
// directly following columns that carry a heading, never beyond kMaxHeaderCols.
int LastHeaderCol(const grid::Workbook& book);

// The last row of the current sheet holding data; 0 when the sheet holds no text at all.
int LastDataRow(grid::Workbook& book);

// The name in a cell of the held header row (Workbook::HoldHeaderRow): a text cell's text as
// it stands, the displayed text of any other cell, "" for an empty one.
std::string HeaderCellText(grid::Workbook& book, int col);

// Takes the header row of the current sheet, which the workbook holds out of the cells:
// `names` is refilled with the texts of its cells up to the column bound (trimmed when
// asked, "" kept for empty cells so that entry i-1 belongs to column i), and every non-empty
// one becomes its column's heading. The cells stay where they are (row 0), untouched.
void TakeHeaderRow(grid::Workbook& book, bool trim, CStringList& names);

// The columns a save writes names for on the current sheet: the column bound, extended to
// the last column that has a heading.
int SavedHeaderCols(const grid::Workbook& book);

// The name a save writes for a column: its cached name, else its heading, else its letters.
std::string SavedName(const CStringList* cached, const grid::Workbook& book, int col);

// Before a save: gives the held header row of the current sheet the names names[j-1] of its
// columns. A cell whose column still carries the name the cell gave when it was taken stays
// exactly as it was read (type, value, formula, style), and so does the cell of a column
// without a name (its name is its letters); any other gets its name as text.
void PutHeaderRow(grid::Workbook& book, const CStringList& names);

// After a save: the names become the current sheet's headings (empty ones cleared) and the
// names its header cells are known to give.
void SetHeadings(grid::Workbook& book, const CStringList& names);

// Refills `names` with the headings of columns 1 to the column bound, empty ones included.
void ReadHeadings(const grid::Workbook& book, CStringList& names);

// The name of column col by the cached names: the entry when it exists and is not empty,
// else the column's letters.
std::string ColumnName(const CStringList* names, int col);

}  // namespace ddt::engine
