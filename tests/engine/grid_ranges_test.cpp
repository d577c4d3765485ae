// Inserting, deleting and clearing ranges: what moves along, what stays, what is dropped.
#include <gtest/gtest.h>

#include "grid/sheet.h"
#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;

constexpr Range kWholeSheet{kAll, kAll, kAll, kAll};
Range Col(int c) { return Range{kAll, c, kAll, c}; }
Range Row(int r) { return Range{r, kAll, r, kAll}; }

// A 3x3 block of "rc" texts at rows/cols 2..4.
void Fill(Workbook& b) {
  for (int r = 2; r <= 4; ++r)
    for (int c = 2; c <= 4; ++c) b.SetEntry(0, r, c, std::to_string(r) + std::to_string(c));
}

TEST(Shift, WholeColumnsCarryHeadingsWidthsHiddenAndStyles) {
  ViewedBook b;
  Fill(b);
  b.SetColHeading(2, "A2");
  b.SetColHeading(3, "A3");
  b.SetColWidth(0, 3, 20);
  b.SetColsHidden(0, 4, 4, true);
  b.SetSelection(Col(3));
  b.SetFontColor(0x0000FF);

  b.InsertRange(Range{kAll, 3, kAll, 4}, Shift::Columns);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "22");
  EXPECT_EQ(b.GetEntry(0, 2, 3), "");
  EXPECT_EQ(b.GetEntry(0, 2, 5), "23");
  EXPECT_EQ(b.GetEntry(0, 4, 6), "44");
  EXPECT_EQ(b.ColHeading(2), "A2");
  EXPECT_EQ(b.ColHeading(3), "");
  EXPECT_EQ(b.ColHeading(5), "A3");
  EXPECT_DOUBLE_EQ(b.ColWidth(0, 3), kDefaultColWidth);
  EXPECT_DOUBLE_EQ(b.ColWidth(0, 5), 20);
  EXPECT_FALSE(b.ColHidden(0, 4));
  EXPECT_TRUE(b.ColHidden(0, 6));
  EXPECT_EQ(b.CellStyle(0, 100, 5).fontColor, 0x0000FFu);
  EXPECT_EQ(b.CellStyle(0, 100, 3).fontColor, kBlack);

  b.DeleteRange(Range{kAll, 2, kAll, 3}, Shift::Columns);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "");
  EXPECT_EQ(b.GetEntry(0, 2, 3), "23");
  EXPECT_EQ(b.ColHeading(2), "");
  EXPECT_EQ(b.ColHeading(3), "A3");
  EXPECT_DOUBLE_EQ(b.ColWidth(0, 3), 20);
  EXPECT_TRUE(b.ColHidden(0, 4));
  EXPECT_EQ(b.CellStyle(0, 1, 3).fontColor, 0x0000FFu);
  EXPECT_EQ(b.LastUsedCol(), 4);
}

TEST(Shift, WholeRowsCarryRowHeadingsHiddenAndStyles) {
  ViewedBook b;
  Fill(b);
  b.SetRowHeading(3, "r3");
  b.SetRowsHidden(0, 4, 4, true);
  b.SetSelection(Row(3));
  b.SetPattern(1, 0x00FF00, kWhite);

  b.InsertRange(Row(2), Shift::Rows);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "");
  EXPECT_EQ(b.GetEntry(0, 3, 2), "22");
  EXPECT_EQ(b.GetEntry(0, 5, 4), "44");
  EXPECT_EQ(b.RowHeading(4), "r3");
  EXPECT_EQ(b.RowHeading(3), "");
  EXPECT_TRUE(b.RowHidden(0, 5));
  EXPECT_FALSE(b.RowHidden(0, 4));
  EXPECT_EQ(b.CellStyle(0, 4, 100).pattern, 1);
  EXPECT_EQ(b.CellStyle(0, 3, 100).pattern, 0);

  b.DeleteRange(Range{2, 1, 3, 1}, Shift::Rows);  // a rectangle deletes its whole rows
  EXPECT_EQ(b.GetEntry(0, 2, 2), "32");
  EXPECT_EQ(b.RowHeading(2), "r3");
  EXPECT_TRUE(b.RowHidden(0, 3));
  EXPECT_EQ(b.LastUsedRow(), 3);
}

TEST(Shift, CellsVerticalMovesOnlyTheBand) {
  ViewedBook b;
  Fill(b);
  b.SetRowHeading(3, "r3");
  b.SetCellStyle(0, 3, 3, b.Styles().Intern(Style{.fontColor = 0x123456}));
  b.InsertRange(Range{3, 3, 4, 3}, Shift::CellsVertical);
  EXPECT_EQ(b.GetEntry(0, 2, 3), "23");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "");
  EXPECT_EQ(b.GetEntry(0, 4, 3), "");
  EXPECT_EQ(b.GetEntry(0, 5, 3), "33");
  EXPECT_EQ(b.GetEntry(0, 6, 3), "43");
  EXPECT_EQ(b.GetEntry(0, 3, 2), "32");  // outside the band
  EXPECT_EQ(b.GetEntry(0, 3, 4), "34");
  EXPECT_EQ(b.CellStyle(0, 5, 3).fontColor, 0x123456u);
  EXPECT_EQ(b.CellStyle(0, 3, 3).fontColor, kBlack);
  EXPECT_EQ(b.RowHeading(3), "r3");  // row properties stay

  b.DeleteRange(Range{2, 3, 4, 3}, Shift::CellsVertical);
  EXPECT_EQ(b.GetEntry(0, 2, 3), "33");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "43");
  EXPECT_EQ(b.GetEntry(0, 5, 3), "");
  EXPECT_EQ(b.GetEntry(0, 2, 2), "22");
  EXPECT_EQ(b.LastUsedRow(), 4);
}

TEST(Shift, CellsHorizontalMovesOnlyTheBand) {
  ViewedBook b;
  Fill(b);
  b.SetColHeading(3, "p");
  b.InsertRange(Range{3, 2, 3, 2}, Shift::CellsHorizontal);
  EXPECT_EQ(b.GetEntry(0, 3, 2), "");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "32");
  EXPECT_EQ(b.GetEntry(0, 3, 5), "34");
  EXPECT_EQ(b.GetEntry(0, 2, 2), "22");
  EXPECT_EQ(b.ColHeading(3), "p");
  b.DeleteRange(Range{2, 2, 4, 3}, Shift::CellsHorizontal);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "24");
  EXPECT_EQ(b.GetEntry(0, 3, 2), "33");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "34");
  EXPECT_EQ(b.GetEntry(0, 4, 2), "44");
  EXPECT_EQ(b.GetEntry(0, 4, 3), "");
}

TEST(Shift, BandCoveringWholeLinesActsAsWholeLines) {
  ViewedBook b;
  Fill(b);
  b.SetRowHeading(2, "h");
  b.InsertRange(Row(1), Shift::CellsVertical);
  EXPECT_EQ(b.GetEntry(0, 3, 2), "22");
  EXPECT_EQ(b.RowHeading(3), "h");
  b.SetColHeading(2, "c");
  b.DeleteRange(Col(1), Shift::CellsHorizontal);
  EXPECT_EQ(b.GetEntry(0, 3, 1), "22");
  EXPECT_EQ(b.ColHeading(1), "c");
}

TEST(Shift, CellsPushedBeyondTheLimitsAreDropped) {
  ViewedBook b;
  b.SetEntry(0, kMaxRows, 1, "bottom");
  b.SetEntry(0, kMaxRows - 1, 1, "above");
  b.SetEntry(0, 1, kMaxCols, "right");
  b.SetColHeading(kMaxCols, "last");
  b.SetRowHeading(kMaxRows, "lastrow");
  b.InsertRange(Row(1), Shift::Rows);
  EXPECT_EQ(b.GetEntry(0, kMaxRows, 1), "above");
  EXPECT_EQ(b.RowHeading(kMaxRows), "");
  EXPECT_EQ(b.GetEntry(0, 2, kMaxCols), "right");
  b.InsertRange(Range{1, 1, 5, 1}, Shift::CellsHorizontal);
  EXPECT_EQ(b.GetEntry(0, 2, kMaxCols), "");  // row 2 is in the band
  b.InsertRange(Col(1), Shift::Columns);
  EXPECT_EQ(b.ColHeading(kMaxCols), "");
  EXPECT_EQ(b.GetEntry(0, kMaxRows, 2), "above");
}

TEST(Shift, DeletingEverythingEmptiesTheSheet) {
  ViewedBook b;
  Fill(b);
  b.SetColHeading(3, "x");
  b.DeleteRange(kWholeSheet, Shift::Rows);
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.ColHeading(3), "x");  // rows went, columns stayed
  Fill(b);
  b.DeleteRange(kWholeSheet, Shift::Columns);
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.ColHeading(3), "");
}

TEST(Clear, KindsRemoveWhatTheySay) {
  ViewedBook b;
  Fill(b);
  StyleId red = b.Styles().Intern(Style{.fontColor = 0x0000FF});
  b.SetCellStyle(0, 2, 2, red);
  b.SetCellStyle(0, 3, 3, red);

  b.ClearRange(Range{2, 2, 2, 2}, Clear::Values);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "");
  ASSERT_NE(b.FindCell(0, 2, 2), nullptr);  // the style keeps the cell
  EXPECT_EQ(b.CellStyle(0, 2, 2).fontColor, 0x0000FFu);

  b.ClearRange(Range{3, 3, 3, 3}, Clear::Formats);
  EXPECT_EQ(b.GetEntry(0, 3, 3), "33");
  EXPECT_EQ(b.FindCell(0, 3, 3)->style, kDefaultStyle);

  b.ClearRange(Range{2, 2, 2, 2}, Clear::Formats);
  EXPECT_EQ(b.FindCell(0, 2, 2), nullptr);  // neither content nor style: gone

  b.ClearRange(Range{3, 2, 4, 4}, Clear::All);
  EXPECT_EQ(b.FindCell(0, 4, 4), nullptr);
  EXPECT_EQ(b.GetEntry(0, 2, 3), "23");
  EXPECT_EQ(b.LastUsedRow(), 2);
}

TEST(Clear, WholeLinesClearTheirLineStylesButKeepHeadings) {
  ViewedBook b;
  Fill(b);
  b.SetColHeading(3, "name");
  b.SetSelection(Col(3));
  b.SetNumberFormat("0.00");
  b.SetSelection(Row(3));
  b.SetNumberFormat("0%");
  b.ClearRange(Col(3), Clear::Values);
  EXPECT_EQ(b.GetEntry(0, 2, 3), "");
  EXPECT_EQ(b.GetEntry(0, 2, 2), "22");
  EXPECT_EQ(b.CellStyle(0, 9, 3).numberFormat, "0.00");
  b.ClearRange(Col(3), Clear::Formats);
  EXPECT_EQ(b.CellStyle(0, 9, 3).numberFormat, "General");
  EXPECT_EQ(b.CellStyle(0, 3, 9).numberFormat, "0%");
  EXPECT_EQ(b.ColHeading(3), "name");
  b.ClearRange(kWholeSheet, Clear::All);
  EXPECT_EQ(b.LastUsedRow(), 0);
  EXPECT_EQ(b.CellStyle(0, 3, 9).numberFormat, "General");
  EXPECT_EQ(b.ColHeading(3), "name");
}

TEST(Selection, WholeLinesReportTheExtents) {
  ViewedBook b;
  EXPECT_EQ(b.SelectionCount(), 1);
  EXPECT_EQ(b.GetSelection(0), (Range{1, 1, 1, 1}));
  b.SetSelection(Row(4));
  EXPECT_EQ(b.GetSelection(0), (Range{4, 1, 4, b.MaxCol()}));
  b.SetSelection(Col(7));
  EXPECT_EQ(b.GetSelection(0), (Range{1, 7, b.MaxRow(), 7}));
  b.SetSelection(kWholeSheet);
  EXPECT_EQ(b.GetSelection(0), (Range{1, 1, b.MaxRow(), b.MaxCol()}));
  b.SetSelection(Range{5, 6, 2, 3});  // corners in any order
  EXPECT_EQ(b.GetSelection(0), (Range{2, 3, 5, 6}));
  int row = 0, col = 0;
  b.GetActiveCell(&row, &col);
  EXPECT_EQ(row, 2);
  EXPECT_EQ(col, 3);
  b.AddSelection(Range{9, 9, 10, 10});
  EXPECT_EQ(b.SelectionCount(), 2);
  EXPECT_EQ(b.GetSelection(1), (Range{9, 9, 10, 10}));
  b.SetActiveCell(10, 10);  // inside: the selection stays
  EXPECT_EQ(b.SelectionCount(), 2);
  b.SetActiveCell(20, 1);  // outside: it becomes the selection
  EXPECT_EQ(b.SelectionCount(), 1);
  EXPECT_EQ(b.GetSelection(0), (Range{20, 1, 20, 1}));
}

TEST(Selection, IsKeptPerSheet) {
  ViewedBook b;
  b.SetSheetCount(2);
  b.SetSelection(Range{3, 3, 4, 4});
  b.SetCurrentSheet(2);
  EXPECT_EQ(b.GetSelection(0), (Range{1, 1, 1, 1}));
  b.SetCurrentSheet(1);
  EXPECT_EQ(b.GetSelection(0), (Range{3, 3, 4, 4}));
}

TEST(Selection, EditOperationsWorkOnTheSelection) {
  ViewedBook b;
  Fill(b);
  b.SetSelection(Range{2, 2, 3, 3});
  b.AddSelection(Range{4, 4, 4, 4});
  b.EditClear(Clear::Values);
  EXPECT_EQ(b.GetEntry(0, 2, 2), "");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "");
  EXPECT_EQ(b.GetEntry(0, 4, 4), "");
  EXPECT_EQ(b.GetEntry(0, 2, 4), "24");
  b.SetSelection(Row(2));
  b.EditDelete(Shift::Rows);
  EXPECT_EQ(b.GetEntry(0, 2, 4), "34");
  b.SetSelection(Col(2));
  b.EditInsert(Shift::Columns);
  EXPECT_EQ(b.GetEntry(0, 2, 5), "34");
  EXPECT_EQ(b.GetEntry(0, 3, 3), "42");
}

}  // namespace
}  // namespace ddt::grid
