// The text of a defined name of an .xlsx workbook after the structural edits made since the
// read: references move with their cells, and what was deleted reads #REF!, as in cell
// formulas: a deleted range as Sheet1!#REF!, a reference to a deleted sheet as #REF!.
#pragma once

#include <string>
#include <vector>

#include "grid/io/xlsx/xlsx_extras.h"

namespace ddt::grid::io {

// One sheet's part in the edits: its name in the file, its name now and its logged edits.
struct NamedSheetEdits {
  std::string originalName, newName;
  const std::vector<LineEdit>* edits = nullptr;
};

// The text of the defined name `name` after the edits of `sheets`, with references to the
// file's sheets in `goneSheets` made #REF!. The print area and print titles (lists of
// ranges) lose their deleted ranges while one remains; all deleted, they read Sheet1!#REF!.
std::string MovedDefinedName(const std::string& name, std::string text,
                             const std::vector<NamedSheetEdits>& sheets,
                             const std::vector<std::string>& goneSheets);

// The value of the name attribute in a definedName element's attributes (' name="x" ...').
std::string DefinedNameLabel(const std::string& attrs);

}  // namespace ddt::grid::io
