// Formulas of a BIFF5/BIFF8 workbook: token arrays (reverse Polish) turned into formula text
// in the grid's syntax: references, areas, references to other sheets, functions by number,
// defined names, strings, numbers, booleans, errors and array constants.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grid/io/xls/biff_records.h"

namespace ddt::grid::io::biff {

// What the token arrays of one workbook refer to outside themselves.
struct FormulaContext {
  bool biff8 = true;
  const CodePage* codePage = nullptr;
  // Sheet names by the file's sheet index (BOUNDSHEET order); empty for a sheet the grid does
  // not hold.
  std::vector<std::string> sheetNames;
  // BIFF8 EXTERNSHEET entries: the range of sheets of this workbook each one names, or
  // internal == false for another workbook. first < 0: a deleted sheet.
  struct SheetRange {
    bool internal = false;
    int first = -1, last = -1;
    int supBook = -1;
  };
  std::vector<SheetRange> externSheets;
  // Defined names in NAME record order (tokens count them from 1); a function name of an
  // add-in or newer function comes with the "_xlfn." prefix files give it.
  std::vector<std::string> names;
  // External names (EXTERNNAME) of each SUPBOOK, in record order; BIFF5 keeps one list
  // per EXTERNSHEET.
  std::vector<std::vector<std::string>> externNames;
  std::vector<bool> supBookIsSelf;   // this workbook's own sheets
  std::vector<bool> supBookIsAddIn;  // add-in and newer functions
};

// The formula text (without "=") of a token array `rgce` with its trailing data `extra`
// (array constants), for the cell at 0-based (row, col). `shared`: relative references are
// offsets from that cell (shared formulas). Returns false with `why` set when the tokens
// hold something the grid cannot express or are damaged; never throws for bad tokens.
bool DecodeFormula(const FormulaContext& ctx, std::string_view rgce, std::string_view extra,
                   int row, int col, bool shared, std::string* text, std::string* why);

// The built-in function of a BIFF function number: its name and fixed argument count
// (-1 when it takes a variable number); null name for an unknown number.
struct BuiltinFunction {
  const char* name;
  int fixedArgs;
};
BuiltinFunction FunctionByNumber(int number);

}  // namespace ddt::grid::io::biff
