// Fuzzes the formula parser, printer and evaluator: parse any text against a small workbook,
// print it, parse the printed form again, and evaluate it in a cell. Refusal must be the
// grid's error; what parses must print to a form that parses again, and evaluate to a value.
#include <cstdint>
#include <string>
#include <string_view>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/workbook.h"

namespace {

// Two sheets ("Data", "My Sheet") with numbers, texts, a boolean, an error and a formula.
ddt::grid::Workbook& Book() {
  static ddt::grid::Workbook* book = [] {
    auto* b = new ddt::grid::Workbook;
    b->SetSheetName(1, "Data");
    b->InsertSheets(2, 1);
    b->SetSheetName(2, "My Sheet");
    const char* entries[] = {"1", "2.5", "-3", "text", "TRUE", "#N/A", "12.5%", "", "0", "abc"};
    for (int r = 1; r <= 10; ++r)
      for (int c = 1; c <= 3; ++c) b->SetEntry(1, r, c, entries[(r + c) % 10]);
    b->SetEntry(2, 1, 1, "7");
    b->SetEntry(2, 2, 1, "x");
    return b;
  }();
  return *book;
}

constexpr int kRow = 20, kCol = 5;  // where the fuzzed formula is evaluated

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ddt::grid;
  auto& book = Book();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  formula::FormulaPtr parsed;
  try {
    parsed = formula::ParseFormula(text, book);
  } catch (const GridError&) {
    return 0;
  }
  if (!parsed) __builtin_trap();
  const std::string printed = formula::PrintFormula(*parsed, book);
  formula::FormulaPtr again;
  try {
    again = formula::ParseFormula(printed, book);
  } catch (const GridError&) {
    __builtin_trap();  // the canonical form of a formula must parse
  }
  (void)formula::IsVolatile(*parsed);
  (void)formula::Shifted(*parsed, 3, -2);
  formula::StructuralChange change;
  change.sheetId = book.SheetId(1);
  change.kind = formula::StructuralChange::Kind::DeleteRows;
  change.first = 2;
  change.count = 3;
  (void)formula::Adjusted(*parsed, change, book.SheetId(1));
  try {
    book.SetFormula(1, kRow, kCol, text);
    (void)book.GetCellValue(1, kRow, kCol);
    (void)book.GetFormattedText(1, kRow, kCol);
    book.SetFormula(1, kRow, kCol, "");
  } catch (const GridError&) {
    book.SetFormula(1, kRow, kCol, "");
  }
  return 0;
}
