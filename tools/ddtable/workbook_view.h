// Read-only views of a data workbook as the library sees it: sheet roles, parameter names,
// rows, cells (as entered and as displayed) and child-table blocks.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

class CDT;

namespace ddtcli {

enum class SheetRole { Global, Custom, BusinessProcess, ChildTable };

// The role the library gives a sheet by its name: "Global", "Custom", a name with a "."
// (business process + "." + table) or any other name (a business process).
SheetRole RoleOf(const std::string& sheetName);
const char* RoleName(SheetRole role);
// The business process a child table belongs to (the name before its first "."); "" for
// other sheets.
std::string OwnerOf(const std::string& sheetName);

// The terminator mark that closes a block of a child table (column 1, any letter case).
bool IsTerminator(const std::string& column1);

struct SheetInfo {
  long index = 0;  // from 1
  std::string name;
  SheetRole role = SheetRole::BusinessProcess;
  std::vector<std::string> params;  // header texts, column 1 first
  long lastRow = 0;                 // last used data row (0: none)
};

// Every sheet of the workbook, in order.
std::vector<SheetInfo> Sheets(CDT& book);
// The sheet named exactly `name`; throws CliError (exit 2) naming file and sheet when there
// is none.
SheetInfo FindSheet(CDT& book, const std::string& name);

// A cell of the sheet (index from 1): as entered (formulas with their "=") or as displayed.
// "" for a cell the engine cannot read.
std::string EnteredText(CDT& book, long sheet, long row, long col);
std::string DisplayedText(CDT& book, long sheet, long row, long col);

// Child-table blocks: the rows between terminator rows.
struct Block {
  long firstRow = 0;      // first data row of the block
  long lastRow = 0;       // last data row (firstRow - 1 for an empty block)
  long terminatorRow = 0;  // 0 when the block is not closed
  std::string mark;       // the terminator's text
};
std::vector<Block> Blocks(CDT& book, const SheetInfo& sheet);

// Text for a table, CSV or JSON. `isText`: the field is a text cell's, quoted also when a
// spreadsheet reading the file would enter it as something else ("007", "TRUE", "=1").
std::string CsvField(const std::string& text, bool isText = false);
std::string JsonString(const std::string& text);
// A JSON document as printed by the subcommands: keys in the order given, two-space indent,
// bytes that are not UTF-8 (a cell read from a legacy file) replaced by U+FFFD.
std::string JsonDocument(const nlohmann::ordered_json& document);

}  // namespace ddtcli
