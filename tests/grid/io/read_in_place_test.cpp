// A file read with its header row held in place is the workbook that reading it and then
// holding the header row gives: cell by cell, line by line, and byte for byte when saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::ZipParts;

// Every workbook file of the test folders; DDT_READ_IN_PLACE_FILES adds a folder of more
// (a corpus of files from other programs, too many to keep in the repository).
std::vector<std::string> WorkbookFiles() {
  std::vector<fs::path> roots{fs::path(DDT_SOURCE_DIR) / "tests"};
  if (const char* more = std::getenv("DDT_READ_IN_PLACE_FILES")) roots.emplace_back(more);
  std::vector<std::string> files;
  for (const fs::path& root : roots)
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() &&
          (ext == ".xlsx" || ext == ".xlsm" || ext == ".xls" || ext == ".csv"))
        files.push_back(entry.path().string());
    }
  std::sort(files.begin(), files.end());
  return files;
}

// Values alike, a NaN a file stored included.
bool SameValue(const Value& a, const Value& b) {
  const double* x = std::get_if<double>(&a);
  const double* y = std::get_if<double>(&b);
  if (x && y && std::isnan(*x) && std::isnan(*y)) return true;
  return a == b;
}

// Whether a formula's result changes from one save to the next.
bool Volatile(const std::string& text) {
  for (const char* name : {"NOW(", "TODAY(", "RAND"})
    if (text.find(name) != std::string::npos) return true;
  return false;
}

template <class T>
std::string Runs(const LineMap<T>& map) {
  std::ostringstream out;
  map.ForEach([&](int first, int last, const T& v) {
    out << first << "-" << last << ":" << v << " ";
  });
  return out.str();
}

// Where two workbooks differ, said for the first difference found; "" when they agree.
// `volatileFormulas` tells whether a formula of `a` gives a new result at each save.
std::string Difference(const Workbook& a, const Workbook& b, bool* volatileFormulas) {
  if (a.RowOrigin() != b.RowOrigin()) return "row origin";
  if (a.SheetCount() != b.SheetCount()) return "sheet count";
  if (a.CurrentSheet() != b.CurrentSheet()) return "current sheet";
  if (a.Styles().size() != b.Styles().size()) return "style count";
  for (int i = 1; i <= a.SheetCount(); ++i) {
    const Sheet& s = a.SheetAt(i);
    const Sheet& t = b.SheetAt(i);
    const std::string where = "sheet " + s.Name() + ": ";
    if (s.Name() != t.Name()) return where + "name";
    if (s.Rows().size() != t.Rows().size()) return where + "row count";
    for (size_t r = 0; r < s.Rows().size(); ++r) {
      const Sheet::RowEntry& x = s.Rows()[r];
      const Sheet::RowEntry& y = t.Rows()[r];
      const std::string row = where + "row " + std::to_string(x.row) + ": ";
      if (x.row != y.row) return row + "row number";
      if (x.cells.size() != y.cells.size()) return row + "cell count";
      for (size_t c = 0; c < x.cells.size(); ++c) {
        const Sheet::CellEntry& p = x.cells[c];
        const Sheet::CellEntry& q = y.cells[c];
        const std::string cell = row + "col " + std::to_string(p.col) + ": ";
        if (p.col != q.col) return cell + "column";
        if (!SameValue(p.cell.value, q.cell.value)) return cell + "value";
        if (!p.cell.formula != !q.cell.formula) return cell + "formula or none";
        if (p.cell.formula) {
          const std::string f = formula::PrintFormula(*p.cell.formula, a);
          const std::string g = formula::PrintFormula(*q.cell.formula, b);
          if (f != g) return cell + f + " vs " + g;
          if (Volatile(f)) *volatileFormulas = true;
          if (formula::PrintFormulaForFile(*p.cell.formula, a, a.RowOrigin()) !=
              formula::PrintFormulaForFile(*q.cell.formula, b, b.RowOrigin()))
            return cell + "formula for the file";
        }
        // Both reads intern the file's styles in the same order: the ids agree.
        if (p.cell.style != q.cell.style) return cell + "style";
        if (p.cell.forcedText != q.cell.forcedText) return cell + "forced text";
        if (p.cell.dirty != q.cell.dirty) return cell + "stale";
      }
    }
    if (Runs(s.rowHidden) != Runs(t.rowHidden)) return where + "hidden rows";
    if (Runs(s.rowStyles) != Runs(t.rowStyles)) return where + "row styles";
    if (Runs(s.rowFileAttrs) != Runs(t.rowFileAttrs)) return where + "row attributes";
    if (Runs(s.rowHeadings) != Runs(t.rowHeadings)) return where + "row headings";
    if (Runs(s.colStyles) != Runs(t.colStyles) || Runs(s.colHidden) != Runs(t.colHidden) ||
        Runs(s.colWidths) != Runs(t.colWidths) || Runs(s.colFileAttrs) != Runs(t.colFileAttrs))
      return where + "columns";
    if (s.mayHaveFormulas != t.mayHaveFormulas) return where + "formula hint";
  }
  return "";
}

TEST(ReadInPlace, EqualsReadingThenHoldingTheHeaderRow) {
  const std::vector<std::string> files = WorkbookFiles();
  ASSERT_GE(files.size(), 20u);
  ScratchDir saved;
  int compared = 0;
  for (const std::string& path : files) {
    Workbook held, inPlace;
    try {
      held.ReadFile(path, kFileTypeAny);
    } catch (const GridError&) {
      // A file the reader refuses must be refused the same way in place.
      EXPECT_THROW(inPlace.ReadFile(path, kFileTypeAny, 1), GridError) << path;
      continue;
    }
    held.HoldHeaderRow();
    ASSERT_NO_THROW(inPlace.ReadFile(path, kFileTypeAny, 1)) << path;
    bool volatileFormulas = false;
    EXPECT_EQ(Difference(held, inPlace, &volatileFormulas), "") << path;
    // The save: every part, the file session's included (the archives' entry times are the
    // clock's). Results of NOW() and the like are the clock's too.
    ASSERT_NO_THROW(held.WriteFile(saved.File("held.xlsx"), kFileTypeXlsx)) << path;
    ASSERT_NO_THROW(inPlace.WriteFile(saved.File("in_place.xlsx"), kFileTypeXlsx)) << path;
    if (!volatileFormulas) {
      EXPECT_TRUE(ZipParts(saved.File("held.xlsx")) == ZipParts(saved.File("in_place.xlsx")))
          << path << ": the saved files differ";
    }
    ++compared;
  }
  EXPECT_GE(compared, 15);
  RecordProperty("files_compared", compared);
}

// A file whose formulas reach the header row (cells, whole rows and columns, SUBTOTAL over
// hidden rows), with a hidden and a styled header row: read in place, the formulas read the
// held cells and the row properties stay with their rows.
TEST(ReadInPlace, FormulasReadTheHeldRowAndRowPropertiesMoveWithIt) {
  ScratchDir dir;
  const std::string path = dir.File("in_place.xlsx");
  {
    Workbook book;
    book.SetEntry(1, 1, 1, "Amount");
    book.SetEntry(1, 1, 2, "=A1&\"!\"");
    book.SetEntry(1, 2, 1, "5");
    book.SetEntry(1, 3, 2, "=A2+COUNTA(A:A)+SUM($1:$1)");
    book.SetEntry(1, 4, 1, "=ROW()");
    book.SetEntry(1, 5, 1, "=SUBTOTAL(109,A1:A4)");
    book.SetRowsHidden(1, 1, 1, true);
    Style bold;
    bold.fontColor = 0x0000FF;
    book.SetRowStyle(1, 1, 1, book.Styles().Intern(bold));
    book.SetRowsHidden(1, 3, 3, true);
    book.WriteFile(path, kFileTypeXlsx);
  }
  Workbook book;
  book.ReadFile(path, kFileTypeAny, 1);
  EXPECT_EQ(book.RowOrigin(), 1);
  ASSERT_NE(book.HeaderCell(1, 1), nullptr);
  EXPECT_TRUE(book.HeaderCell(1, 1)->value == Value(std::string("Amount")));
  ASSERT_NE(book.HeaderCell(1, 2), nullptr);
  ASSERT_TRUE(book.HeaderCell(1, 2)->formula);
  EXPECT_EQ(formula::PrintFormula(*book.HeaderCell(1, 2)->formula, book), "A0&\"!\"");
  EXPECT_EQ(book.GetEntry(1, 1, 1), "5");
  EXPECT_EQ(book.GetEntry(1, 2, 2), "=A1+COUNTA(A:A)+SUM($0:$0)");
  book.Recalc();
  EXPECT_TRUE(book.GetCellValue(1, 3, 1) == Value(4.0));  // ROW() counts the file's rows
  // The hidden header row and row 3 of the file are left out.
  EXPECT_EQ(book.GetEntry(1, 4, 1), "=SUBTOTAL(109,A0:A3)");
  EXPECT_TRUE(book.GetCellValue(1, 4, 1) == Value(9.0));
  EXPECT_TRUE(book.SheetAt(1).rowHidden.Get(0));
  EXPECT_FALSE(book.SheetAt(1).rowHidden.Get(1));
  EXPECT_TRUE(book.SheetAt(1).rowHidden.Get(2));
  EXPECT_EQ(book.Styles().Get(book.SheetAt(1).rowStyles.Get(0)).fontColor, 0x0000FFu);
  // The cell members still do not write the held row once the read is over.
  EXPECT_THROW(book.SetEntry(1, 0, 1, "x"), GridError);
  EXPECT_THROW(book.ReadFile(path, kFileTypeAny, 2), GridError);
  EXPECT_NO_THROW(book.WriteFile(dir.File("saved.xlsx"), kFileTypeXlsx));
}

}  // namespace
}  // namespace ddt::grid::io
