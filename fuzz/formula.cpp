// Fuzzes the formula parser, printer and evaluator: parse any text against a small workbook,
// print it, parse the printed form again, and evaluate it in a cell. Refusal must be the
// grid's error; what parses must print to a form that parses again, and evaluate to a value.
// The workbook holds the cells the function vectors of the tests read (their fixture), so the
// seeds (fuzz/gen-formula-seeds.py: a vector call of every function) compute real results.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/workbook.h"

namespace {

// The cells of tests/grid/formula/data/fn_fixture.tsv ("A1<TAB>entry" lines) on sheet 1.
void LoadFixture(ddt::grid::Workbook& book) {
  std::ifstream in(DDT_SOURCE_DIR "/tests/grid/formula/data/fn_fixture.tsv");
  std::string line;
  int cells = 0;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    int row = 0, col = 0;
    size_t i = 0;
    for (; i < tab && line[i] >= 'A' && line[i] <= 'Z'; ++i) col = col * 26 + (line[i] - 'A' + 1);
    for (; i < tab && line[i] >= '0' && line[i] <= '9'; ++i) row = row * 10 + (line[i] - '0');
    if (i != tab || row == 0 || col == 0) continue;
    book.SetEntry(1, row, col, line.substr(tab + 1));
    ++cells;
  }
  if (cells == 0) {  // without its cells the fuzzing means little
    std::fprintf(stderr, "formula fuzzer: no fixture cells in %s\n", DDT_SOURCE_DIR);
    __builtin_trap();
  }
}

// Sheet 1 "Data" holds the fixture; sheet 2 "My Sheet" a number and a text.
ddt::grid::Workbook& Book() {
  static ddt::grid::Workbook* book = [] {
    auto* b = new ddt::grid::Workbook;
    b->SetSheetName(1, "Data");
    LoadFixture(*b);
    b->InsertSheets(2, 1);
    b->SetSheetName(2, "My Sheet");
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
