// Table transfer and comparison behind table2sheet and compare_table_sheets.
#pragma once

#include <string>
#include <vector>

class CDDTInput;
class CDDTResults;

namespace ddt::manager {

// A table of strings: row 0 holds the column names, rows 1 and later the data.
using StringTable = std::vector<std::vector<std::string>>;

// Appends the table to the sheet as one block closed by a terminator row (mark, space, block
// number). A missing sheet is created with one parameter column per name of row 0 (an empty
// name becomes "#<column>"); on an existing sheet table columns go to sheet columns by
// position. The table's shape is checked before anything is written: -1, nothing written,
// when a data row is shorter than row 0, when row 0 has no cells while the sheet already
// holds data, or when the sheet cannot be created. 1 otherwise.
int TransferTable(const StringTable& table, CDDTInput& workbook, const std::string& sheet);

// Bits of a comparison result.
inline constexpr int kCompareMatched = 1;
inline constexpr int kCompareMismatched = 2;
inline constexpr int kCompareNothingCompared = 4;
inline constexpr int kCompareMissingColumns = 8;
// Codes that end a comparison before any cell is compared.
inline constexpr int kCompareBlockAtFirstRow = 16;
inline constexpr int kCompareUnknownAlias = 32;
inline constexpr int kCompareUnknownExternalSheet = 128;
inline constexpr int kCompareUnknownResultsSheet = 256;

// The arguments of compare_table_sheets, as strings (null arguments made empty).
struct CompareRequest {
  std::string resultsSheet;
  std::string reference;  // alias "@@" external sheet
  std::string firstColumn;
  std::string lastColumn;
  std::string firstIteration;
  std::string lastIteration;
  long resultsRowBase = 0;
};

// Compares the results sheet with the current block of the external sheet and styles the
// compared results cells. `message` receives the missing-columns text ("<A> <B> ") or, for
// kCompareBlockAtFirstRow, the current run row in decimal; it is left alone for -1, 32, 128
// and 256 and emptied otherwise.
int CompareTableSheets(CDDTResults& results, const CompareRequest& request,
                       std::string& message, bool& messageSet);

}  // namespace ddt::manager
