// The cached results of formula cells, and boolean and error cells, of a BIFF8 workbook
// stream: the values libfreexl does not report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "grid/value.h"

namespace ddt::grid::io {

struct BiffCell {
  int row, col;  // 1-based
  Value value;
};

struct BiffSheetCells {
  std::string name;  // UTF-8
  std::vector<BiffCell> cells;
};

// Checks the record structure of a workbook stream before libfreexl sees it: every record
// inside the stream, and every string (sheet names, shared strings with their continuations,
// labels, number formats, formula texts) inside its records. libfreexl trusts these lengths;
// this refuses a damaged file with GridError instead. Streams that are not BIFF8 are only
// checked record by record.
void CheckBiffStructure(std::string_view workbookStream);

// One entry per worksheet (charts and macro sheets left out), in workbook order. An empty
// result for streams that are not BIFF8. Throws GridError on a damaged stream.
std::vector<BiffSheetCells> ReadBiffFormulaResults(std::string_view workbookStream);

}  // namespace ddt::grid::io
