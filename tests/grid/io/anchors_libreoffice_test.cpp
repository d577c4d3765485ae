// Rows and columns inserted and deleted through the grid move what hangs on cells as
// LibreOffice moves it: anchors_libreoffice.py makes a workbook with notes, a table, charts,
// a picture, conditional formats, validations, merged ranges and hyperlinks, has LibreOffice
// make the same edits, and compares what both results hold at the cells.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "grid/io/file_type.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::RunCapturing;
using test::ScratchDir;

bool HaveTools() {
  std::string out;
  return RunCapturing("command -v soffice && /usr/bin/python3 -c 'import uno, openpyxl, xlsxwriter'",
             &out) == 0;
}

// Whole rows or columns inserted or deleted, or (with `cells`) the cells of `box` inserted
// or deleted, the others moving down or up (`rows`) or right or left.
struct Edit {
  bool insert, rows;
  int first = 0, count = 0;
  bool cells = false;
  Range box{};
  std::string Arg() const {
    if (cells)
      return std::string(insert ? (rows ? "insert-down:" : "insert-right:")
                                : (rows ? "delete-up:" : "delete-left:")) +
             std::to_string(box.firstRow) + ":" + std::to_string(box.firstCol) + ":" +
             std::to_string(box.lastRow) + ":" + std::to_string(box.lastCol);
    return std::string(insert ? "insert-" : "delete-") + (rows ? "rows:" : "cols:") +
           std::to_string(first) + ":" + std::to_string(count);
  }
};

Edit ShiftCells(bool insert, bool vertical, const Range& box) {
  return Edit{insert, vertical, 0, 0, true, box};
}

// Makes the workbook, edits it through the grid, saves it, and compares with LibreOffice.
void ExpectSameAsLibreOffice(const std::vector<Edit>& edits) {
  if (!HaveTools()) GTEST_SKIP() << "LibreOffice with Python UNO, openpyxl or xlsxwriter missing";
  ScratchDir dir;
  const std::string script = std::string(DDT_SOURCE_DIR) + "/tests/grid/io/anchors_libreoffice.py";
  const std::string original = dir.File("anchored.xlsx"), ours = dir.File("edited.xlsx");
  std::string out;
  ASSERT_EQ(RunCapturing("/usr/bin/python3 " + script + " make " + original, &out), 0) << out;

  Workbook book;
  book.ReadFile(original, kFileTypeAny);
  std::string args;
  for (const Edit& e : edits) {
    if (e.cells) {
      const Shift shift = e.rows ? Shift::CellsVertical : Shift::CellsHorizontal;
      if (e.insert) book.InsertRange(e.box, shift);
      else book.DeleteRange(e.box, shift);
      args += " " + e.Arg();
      continue;
    }
    const int last = e.first + e.count - 1;
    const Range range = e.rows ? Range{e.first, kAll, last, kAll} : Range{kAll, e.first, kAll, last};
    const Shift shift = e.rows ? Shift::Rows : Shift::Columns;
    if (e.insert) book.InsertRange(range, shift);
    else book.DeleteRange(range, shift);
    args += " " + e.Arg();
  }
  book.WriteFile(ours, kFileTypeXlsx);
  EXPECT_TRUE(book.LastSaveNotes().empty()) << book.LastSaveNotes().front();

  out.clear();
  EXPECT_EQ(RunCapturing("/usr/bin/python3 " + script + " compare " + original + " " + ours + args, &out), 0)
      << out;
}

// Rows inserted above and inside everything, a row holding a note deleted, rows deleted
// across the merged block's neighbours and inside the chart's data.
TEST(AnchorsLikeLibreOffice, RowEdits) {
  ExpectSameAsLibreOffice({{true, true, 5, 2}, {false, true, 3, 1}, {false, true, 7, 2},
                           {true, true, 40, 3}});
}

// A column inserted inside the table, the merged block and the chart's series rows, one
// holding a validation deleted, two inserted between the data and the drawings.
// (LibreOffice unmerges a merged range whose first column is deleted, where a spreadsheet
// keeps the rest merged; that case is left to the unit tests.)
TEST(AnchorsLikeLibreOffice, ColumnEdits) {
  ExpectSameAsLibreOffice({{true, false, 3, 1}, {false, false, 7, 1}, {true, false, 8, 2}});
}

// Shifts of cells under the chart (G3) and the picture (G20): cells inserted above them in
// columns G:H move both down, cells deleted there move them up; the picture's own cell
// deleted takes it away.
TEST(AnchorsLikeLibreOffice, ShiftsOfCellsMoveDrawings) {
  ExpectSameAsLibreOffice({ShiftCells(true, true, Range{1, 7, 2, 8}),
                           ShiftCells(false, true, Range{1, 7, 1, 8})});
  ExpectSameAsLibreOffice({ShiftCells(false, true, Range{20, 7, 20, 7})});
}

}  // namespace
}  // namespace ddt::grid::io
