// The engine's view of a workbook: a selection and active cell per sheet that follow their
// sheet, bad indexes refused, and edits through the view that change the model once each.
#include <gtest/gtest.h>

#include "engine/clipboard.h"
#include "engine/sheet_view.h"
#include "grid/formula/formula.h"
#include "grid/workbook.h"

namespace ddt::engine {
namespace {

using grid::Range;

TEST(SheetView, RefusesBadSelectionIndexesAndRanges) {
  grid::Workbook book;
  SheetView view(book);
  EXPECT_THROW(view.GetSelection(1), grid::GridError);
  EXPECT_THROW(view.GetSelection(-1), grid::GridError);
  EXPECT_THROW(view.SetSelection(Range{-1, 1, 3, 1}), grid::GridError);
  EXPECT_THROW(view.AddSelection(Range{1, 1, grid::kMaxRows + 1, 1}), grid::GridError);
  EXPECT_THROW(view.SetActiveCell(0, 1), grid::GridError);
  EXPECT_THROW(view.SetActiveCell(1, grid::kMaxCols + 1), grid::GridError);
  // A refused call leaves the selection as it was.
  EXPECT_EQ(view.SelectionCount(), 1);
  EXPECT_EQ(view.GetSelection(0), (Range{1, 1, 1, 1}));
}

TEST(SheetView, EachSheetKeepsItsSelectionWhereverItMoves) {
  grid::Workbook book;
  SheetView view(book);
  book.SetSheetCount(3);
  book.SetCurrentSheet(2);
  view.SetSelection(Range{4, 4, 6, 6});
  view.SetActiveCell(5, 5);
  book.SetCurrentSheet(3);
  EXPECT_EQ(view.GetSelection(0), (Range{1, 1, 1, 1}));  // a sheet of its own
  view.SetSelection(Range{9, 1, 9, 1});
  // Sheets inserted before and deleted around it: the selection goes with its sheet.
  book.InsertSheets(1, 2);
  book.DeleteSheets(3, 1);  // the first sheet, now third
  book.SetCurrentSheet(3);  // the sheet that was second
  EXPECT_EQ(view.GetSelection(0), (Range{4, 4, 6, 6}));
  int row = 0, col = 0;
  view.GetActiveCell(&row, &col);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(col, 5);
  book.SetCurrentSheet(4);
  EXPECT_EQ(view.GetSelection(0), (Range{9, 1, 9, 1}));
  // Another file's sheets start afresh.
  view.Reset();
  EXPECT_EQ(view.GetSelection(0), (Range{1, 1, 1, 1}));
}

TEST(SheetView, FormatsAndClearsWorkOnTheCurrentSheetsSelectionOnly) {
  grid::Workbook book;
  SheetView view(book);
  int events = 0;
  book.SetChangeListener([&] { ++events; });
  book.SetSheetCount(2);
  book.SetEntry(1, 2, 2, "keep");
  book.SetEntry(2, 2, 2, "gone");
  book.SetCurrentSheet(2);
  view.SetSelection(Range{2, 2, 3, 3});
  view.AddSelection(Range{grid::kAll, 5, grid::kAll, 5});
  events = 0;
  view.SetFontColor(0x0000FF);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(book.CellStyle(2, 3, 3).fontColor, 0x0000FFu);
  EXPECT_EQ(book.CellStyle(2, 100, 5).fontColor, 0x0000FFu);
  EXPECT_NE(book.CellStyle(1, 2, 2).fontColor, 0x0000FFu);
  view.EditClear(grid::Clear::Values);
  EXPECT_EQ(events, 2);
  EXPECT_EQ(book.GetEntry(2, 2, 2), "");
  EXPECT_EQ(book.GetEntry(1, 2, 2), "keep");
  // The active cell (the first of the last range added) gives the format read back.
  EXPECT_EQ(view.GetFontColor(), 0x0000FFu);
}

TEST(SheetView, RefusedPasteKeepsTheSelectionAndTheCells) {
  Clipboard::Instance().Clear();
  grid::Workbook book;
  SheetView view(book);
  book.SetEntry(1, 1, 1, "1");
  book.SetCellFormula(1, 3, 3, grid::formula::AsArrayFormula(
                                   *grid::formula::ParseFormula("A1*2", book), 2, 2),
                      std::nullopt);
  view.SetSelection(Range{1, 1, 1, 2});
  view.EditCopy();
  view.SetSelection(Range{4, 3, 4, 3});  // over part of the array
  EXPECT_THROW(view.EditPaste(), grid::GridError);
  EXPECT_EQ(view.GetSelection(0), (Range{4, 3, 4, 3}));
  EXPECT_EQ(book.GetFormula(1, 3, 3), "A1*2");
  view.SetSelection(Range{8, 1, 8, 1});
  view.EditPaste();
  EXPECT_EQ(view.GetSelection(0), (Range{8, 1, 8, 2}));
  EXPECT_EQ(book.GetEntry(1, 8, 1), "1");
  Clipboard::Instance().Clear();
}

}  // namespace
}  // namespace ddt::engine
