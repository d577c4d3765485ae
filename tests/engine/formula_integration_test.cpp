// The grid with the formula engine: references follow structural changes, copies move
// relative references, and formulas cross workbooks through the clipboard by sheet name.
#include <gtest/gtest.h>

#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;
using engine::Clipboard;

double NumberAt(Workbook& b, int sheet, int row, int col) {
  Value v = b.GetCellValue(sheet, row, col);
  EXPECT_TRUE(IsNumber(v)) << b.GetEntry(sheet, row, col);
  return IsNumber(v) ? std::get<double>(v) : 0;
}

TEST(FormulaCells, EntriesValuesAndFormattedText) {
  ViewedBook b;
  b.SetEntry(0, 1, 1, "2");
  b.SetEntry(0, 1, 2, "=A1*3");
  EXPECT_EQ(b.GetEntry(0, 1, 2), "=A1*3");
  EXPECT_EQ(b.GetFormula(0, 1, 2), "A1*3");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 1, 2), 6);
  b.SetEntry(0, 1, 1, "5");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 1, 2), 15);
  EXPECT_EQ(b.GetFormattedText(0, 1, 2), "15");
  EXPECT_EQ(b.LastUsedCol(), 2);
}

TEST(FormulaCells, ReferencesFollowInsertedAndDeletedLines) {
  ViewedBook b;
  b.SetEntry(0, 2, 1, "4");
  b.SetEntry(0, 2, 3, "=A2+1");
  b.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetEntry(0, 3, 3), "=A3+1");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 3, 3), 5);
  b.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
  EXPECT_EQ(b.GetEntry(0, 3, 4), "=B3+1");
  b.DeleteRange(Range{kAll, 2, kAll, 2}, Shift::Columns);
  EXPECT_EQ(b.GetEntry(0, 3, 3), "=#REF!+1");
  EXPECT_TRUE(IsError(b.GetCellValue(0, 3, 3)));
}

// Results must not go stale when many cells change at once or when cells move under a
// formula without its text changing.
TEST(FormulaCells, ValuesFollowLargeClearsAndMovedCells) {
  ViewedBook b;
  for (int r = 1; r <= 2000; ++r) b.SetEntry(0, r, 1, "1");
  b.SetEntry(0, 1, 3, "=SUM(A:A)");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 1, 3), 2000);
  b.ClearRange(Range{1, 1, 2000, 1}, Clear::Values);
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 1, 3), 0);

  // A large paste: the pasted formulas follow their inputs like any other.
  b.SetEntry(0, 1, 1, "1");
  for (int r = 1; r <= 1200; ++r) b.SetEntry(0, r, 2, "=$A$1*2");
  b.SetSelection(Range{1, 2, 1200, 2});
  b.EditCopy();
  b.SetSelection(Range{1, 5, 1, 5});
  b.EditPaste();
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 7, 5), 2);
  b.SetEntry(0, 1, 1, "10");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 7, 5), 20);
  b.ClearRange(Range{1, 2, 1200, 2}, Clear::All);
  b.ClearRange(Range{1, 5, 1200, 5}, Clear::All);

  b.SetEntry(0, 5, 4, "=ROW()");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 5, 4), 5);
  b.InsertRange(Range{1, kAll, 2, kAll}, Shift::Rows);
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 7, 4), 7);
  b.DeleteRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 6, 4), 6);
}

TEST(FormulaCells, OtherSheetsFollowAndDeletedSheetsGiveRef) {
  ViewedBook b;
  b.SetSheetCount(2);
  b.SetEntry(2, 1, 1, "7");
  b.SetEntry(1, 1, 1, "=Sheet2!A1");
  b.SetCurrentSheet(2);
  b.InsertRange(Range{1, 1, 1, 1}, Shift::CellsVertical);
  EXPECT_EQ(b.GetEntry(1, 1, 1), "=Sheet2!A2");
  b.SetSheetName(2, "Data");
  EXPECT_EQ(b.GetEntry(1, 1, 1), "=Data!A2");
  EXPECT_DOUBLE_EQ(NumberAt(b, 1, 1, 1), 7);
  b.DeleteSheets(2, 1);
  EXPECT_TRUE(IsError(b.GetCellValue(1, 1, 1)));
}

TEST(FormulaCells, CopyMovesRelativeReferencesCutDoesNot) {
  Clipboard::Instance().Clear();
  ViewedBook b;
  b.SetEntry(0, 1, 1, "1");
  b.SetEntry(0, 1, 2, "=A1+$A$1");
  b.SetSelection(Range{1, 2, 1, 2});
  b.EditCopy();
  b.SetSelection(Range{3, 3, 3, 3});
  b.EditPaste();
  EXPECT_EQ(b.GetEntry(0, 3, 3), "=B3+$A$1");
  b.SetSelection(Range{1, 2, 1, 2});
  b.EditCut();
  b.SetSelection(Range{5, 5, 5, 5});
  b.EditPaste();
  EXPECT_EQ(b.GetEntry(0, 5, 5), "=A1+$A$1");
  EXPECT_DOUBLE_EQ(NumberAt(b, 0, 5, 5), 2);
}

TEST(FormulaCells, ClipboardAcrossWorkbooksMapsSheetsByName) {
  Clipboard::Instance().Clear();
  ViewedBook target;
  target.SetSheetCount(2);
  target.SetSheetName(2, "Data");
  target.SetEntry(2, 1, 1, "10");
  {
    ViewedBook source;
    source.InsertSheets(1, 1);
    source.SetSheetName(1, "Data");
    source.SetEntry(2, 1, 1, "=Data!A1*2");
    source.SetEntry(2, 1, 2, "=Sheet1!A1");  // a sheet the source has; target's Sheet1 too
    source.SetCurrentSheet(2);
    source.SetSelection(Range{1, 1, 1, 2});
    source.EditCopy();
    target.SetSelection(Range{1, 1, 1, 1});
    target.EditPaste();
    EXPECT_EQ(target.GetEntry(1, 1, 1), "=Data!A1*2");
    EXPECT_DOUBLE_EQ(NumberAt(target, 1, 1, 1), 20);
  }
  // The source is gone: its formulas still paste, by their text.
  target.SetSelection(Range{4, 1, 4, 1});
  target.EditPaste();
  EXPECT_EQ(target.GetEntry(1, 4, 1), "=Data!A4*2");
  Clipboard::Instance().Clear();
}

TEST(FormulaCells, CopyRangeFromRebasesFormulas) {
  ViewedBook source, target;
  source.SetSheetName(1, "In");
  source.SetEntry(1, 1, 1, "3");
  source.SetEntry(1, 2, 1, "=In!A1+A1");
  target.SetSheetName(1, "In");
  target.SetEntry(1, 1, 1, "30");
  target.CopyRangeFrom(1, Range{kAll, 1, kAll, 1}, source.Handle(), 1, Range{kAll, 1, kAll, 1});
  EXPECT_DOUBLE_EQ(NumberAt(target, 1, 2, 1), 6);
}

}  // namespace
}  // namespace ddt::grid
