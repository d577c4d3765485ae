// Cells, sheets, headings and extents of the workbook model.
#include <gtest/gtest.h>

#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

// A default style with the changes `edit` makes (aggregate initialisation would leave the
// borders without initialisers).
template <class Edit>
Style WithStyle(Edit edit) {
  Style style;
  edit(style);
  return style;
}

TEST(Sheets, NewWorkbookHasOneCurrentSheet) {
  Workbook b;
  EXPECT_EQ(b.SheetCount(), 1);
  EXPECT_EQ(b.CurrentSheet(), 1);
  EXPECT_EQ(b.SheetName(1), "Sheet1");
  EXPECT_NE(b.Handle(), 0u);
  EXPECT_EQ(Workbook::FromHandle(b.Handle()), &b);
}

TEST(Sheets, InsertNamesUnusedNumbersAndKeepsCurrentSheet) {
  Workbook b;
  b.SetSheetName(1, "Sheet2");
  b.InsertSheets(2, 2);  // appends
  EXPECT_EQ(b.SheetCount(), 3);
  EXPECT_EQ(b.SheetName(2), "Sheet1");
  EXPECT_EQ(b.SheetName(3), "Sheet3");
  b.SetCurrentSheet(2);
  b.InsertSheets(1, 1);
  EXPECT_EQ(b.SheetName(1), "Sheet4");
  EXPECT_EQ(b.CurrentSheet(), 3);
  EXPECT_EQ(b.SheetName(b.CurrentSheet()), "Sheet1");
}

TEST(Sheets, IdsSurviveMovesAndAreNeverReused) {
  Workbook b;
  b.SetSheetCount(3);
  uint32_t id2 = b.SheetId(2), id3 = b.SheetId(3);
  b.DeleteSheets(2, 1);
  EXPECT_EQ(b.SheetIndexOfId(id2), 0);
  EXPECT_EQ(b.SheetIndexOfId(id3), 2);
  b.InsertSheets(2, 1);
  EXPECT_NE(b.SheetId(2), id2);
  EXPECT_EQ(b.SheetIndexOfId(id3), 3);
}

TEST(Sheets, DeleteRunAdjustsCurrentAndRefusesToEmpty) {
  Workbook b;
  b.SetSheetCount(4);
  b.SetCurrentSheet(4);
  b.DeleteSheets(2, 2);
  EXPECT_EQ(b.SheetCount(), 2);
  EXPECT_EQ(b.CurrentSheet(), 2);
  EXPECT_THROW(b.DeleteSheets(1, 2), GridError);
  EXPECT_THROW(b.DeleteSheets(2, 2), GridError);
  EXPECT_THROW(b.DeleteSheets(0, 1), GridError);
  EXPECT_EQ(b.SheetCount(), 2);
  b.SetSheetCount(1);
  EXPECT_EQ(b.SheetCount(), 1);
  EXPECT_EQ(b.CurrentSheet(), 1);
}

TEST(Cells, EntriesRoundTrip) {
  Workbook b;
  b.SetEntry(0, 1, 1, "abc");
  b.SetEntry(0, 1, 2, "42");
  b.SetEntry(0, 2, 1, "true");
  b.SetEntry(0, 2, 2, "'123");
  EXPECT_EQ(b.GetEntry(0, 1, 1), "abc");
  EXPECT_EQ(b.GetEntry(0, 1, 2), "42");
  EXPECT_TRUE(IsNumber(b.GetCellValue(0, 1, 2)));
  EXPECT_EQ(b.GetFormattedText(0, 2, 1), "TRUE");
  EXPECT_EQ(b.GetText(2, 2), "'123");
  EXPECT_EQ(b.GetFormattedText(0, 2, 2), "123");
  EXPECT_EQ(b.GetEntry(0, 5, 5), "");
  b.SetEntry(0, 1, 1, "");
  EXPECT_EQ(b.FindCell(0, 1, 1), nullptr);
}

TEST(Cells, SheetZeroIsTheCurrentSheet) {
  Workbook b;
  b.SetSheetCount(2);
  b.SetCurrentSheet(2);
  b.SetEntry(0, 3, 3, "x");
  EXPECT_EQ(b.GetEntry(2, 3, 3), "x");
  EXPECT_EQ(b.GetEntry(1, 3, 3), "");
}

TEST(Cells, BadIndexesThrowAndWriteNothing) {
  Workbook b;
  EXPECT_THROW(b.SetEntry(0, 0, 1, "x"), GridError);
  EXPECT_THROW(b.SetEntry(0, 1, 0, "x"), GridError);
  EXPECT_THROW(b.SetEntry(0, kMaxRows + 1, 1, "x"), GridError);
  EXPECT_THROW(b.SetEntry(0, 1, kMaxCols + 1, "x"), GridError);
  EXPECT_THROW(b.SetEntry(2, 1, 1, "x"), GridError);
  EXPECT_THROW(b.SetEntry(-1, 1, 1, "x"), GridError);
  EXPECT_THROW(b.GetEntry(0, -1, 1), GridError);
  EXPECT_THROW(b.SetCurrentSheet(5), GridError);
  EXPECT_THROW(b.SheetName(2), GridError);
  EXPECT_THROW(b.SetColHeading(0, "a"), GridError);
  EXPECT_THROW(b.SetColWidth(0, 1, -2), GridError);
  EXPECT_THROW(b.SetSheetCount(0), GridError);
  EXPECT_THROW(b.InsertSheets(3, 1), GridError);
  EXPECT_THROW(b.InsertRange(Range{0, 1, 1, 1}, Shift::Rows), GridError);
  EXPECT_THROW(b.InsertRange(Range{1, 1, 1, 1}, static_cast<Shift>(7)), GridError);
  EXPECT_THROW(b.ClearRange(Range{1, 1, 1, 1}, static_cast<Clear>(9)), GridError);
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.LastUsedCol(), 0);
}

TEST(Cells, RefusedFormulaLeavesTheCellAsItWas) {
  Workbook b;
  b.SetEntry(0, 1, 1, "keep");
  int events = 0;
  b.SetChangeListener([&] { ++events; });
  try {
    b.SetEntry(0, 1, 1, "=1+(");
    FAIL() << "accepted";
  } catch (const GridError& e) {
    EXPECT_STREQ(e.what(), kInvalidFormulaSyntax);
  }
  EXPECT_THROW(b.SetFormula(0, 1, 1, "=SUM(1"), GridError);
  EXPECT_THROW(b.SetFormula(0, 1, 1, "="), GridError);
  EXPECT_EQ(b.GetEntry(0, 1, 1), "keep");
  EXPECT_EQ(events, 0);
}

TEST(Cells, OverlongTextIsRefused) {
  Workbook b;
  b.SetEntry(0, 1, 1, "keep");
  EXPECT_THROW(b.SetEntry(0, 1, 1, std::string(kMaxCellTextLength + 1, 'x')), GridError);
  EXPECT_EQ(b.GetEntry(0, 1, 1), "keep");
  b.SetEntry(0, 1, 1, std::string(kMaxCellTextLength, 'x'));
  EXPECT_EQ(b.GetEntry(0, 1, 1).size(), static_cast<size_t>(kMaxCellTextLength));
}

TEST(Extents, HeadingsAndStylesDoNotCount) {
  Workbook b;
  b.SetColHeading(5, "Name");
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.LastUsedCol(), 0);
  b.SetCellStyle(0, 9, 9, b.Styles().Intern(WithStyle([](Style& s) { s.numberFormat = "0.00"; })));
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.LastUsedCol(), 0);
  b.SetEntry(0, 1, 2, "v");
  EXPECT_EQ(b.LastUsedRow(), 1);
  EXPECT_EQ(b.LastUsedCol(), 2);
  b.SetEntry(0, 4, 3, "w");
  EXPECT_EQ(b.LastUsedRow(), 4);
  EXPECT_EQ(b.LastUsedCol(), 3);
  b.SetEntry(0, 4, 3, "");
  EXPECT_EQ(b.LastUsedRow(), 1);
  EXPECT_EQ(b.LastUsedCol(), 2);
  // The remembered extent follows every kind of change.
  b.SetEntry(0, 2, 7, "far");
  EXPECT_EQ(b.LastUsedCol(), 7);
  b.SetCellStyle(0, 2, 7, b.Styles().Intern(WithStyle([](Style& s) { s.fontColor = 5; })));
  b.SetFormula(0, 2, 7, "");
  EXPECT_EQ(b.LastUsedCol(), 2);
  b.SetCellValue(0, 3, 5, 1.0);
  EXPECT_EQ(b.LastUsedCol(), 5);
  b.ClearRange(Range{3, 5, 3, 5}, Clear::Values);
  EXPECT_EQ(b.LastUsedCol(), 2);
  b.PasteBlock(0, 6, 9, b.TakeBlock(0, Range{1, 2, 1, 2}), false);
  EXPECT_EQ(b.LastUsedCol(), 9);
  b.DeleteRange(Range{kAll, 3, kAll, 3}, Shift::Columns);
  EXPECT_EQ(b.LastUsedCol(), 8);
  EXPECT_EQ(b.MaxRow(), kMaxRows);
  EXPECT_EQ(b.MaxCol(), kMaxCols);
}

}  // namespace
}  // namespace ddt::grid
