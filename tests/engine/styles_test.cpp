// Formats of the selection: cells, whole rows, whole columns, the whole sheet.
#include <gtest/gtest.h>

#include "grid/sheet.h"
#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;

Range FullColumn(int c) { return Range{kAll, c, kAll, c}; }
Range FullRow(int r) { return Range{r, kAll, r, kAll}; }

TEST(Styles, TableInternsEqualStyles) {
  StyleTable t;
  EXPECT_EQ(t.Intern(Style{}), kDefaultStyle);
  StyleId a = t.Intern(Style{.numberFormat = "0.0"});
  StyleId b = t.Intern(Style{.numberFormat = "0.0"});
  StyleId c = t.Intern(Style{.numberFormat = "0.0", .fontColor = 1});
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(t.Get(c).fontColor, 1u);
  EXPECT_EQ(t.Get(999), Style{});
}

TEST(Styles, SelectionSetsAndActiveCellReads) {
  ViewedBook b;
  b.SetSelection(Range{2, 2, 3, 3});
  b.SetNumberFormat("0.00");
  b.SetPattern(1, 0x00FFFF, 0x0000FF);
  b.SetFontColor(0xFF0000);
  EXPECT_EQ(b.GetNumberFormat(), "0.00");
  uint16_t pattern = 0;
  uint32_t fg = 0, bg = 0;
  b.GetPattern(&pattern, &fg, &bg);
  EXPECT_EQ(pattern, 1);
  EXPECT_EQ(fg, 0x00FFFFu);
  EXPECT_EQ(bg, 0x0000FFu);
  EXPECT_EQ(b.GetFontColor(), 0xFF0000u);
  b.SetActiveCell(4, 4);
  EXPECT_EQ(b.GetNumberFormat(), "General");
  EXPECT_EQ(b.GetFontColor(), kBlack);
  // Each property changes alone.
  b.SetSelection(Range{3, 3, 3, 3});
  b.SetFontColor(0x00FF00);
  EXPECT_EQ(b.CellStyle(0, 3, 3).numberFormat, "0.00");
  EXPECT_EQ(b.CellStyle(0, 3, 3).pattern, 1);
  EXPECT_EQ(b.CellStyle(0, 2, 2).fontColor, 0xFF0000u);
  // Style-only cells are no data.
  EXPECT_EQ(b.LastUsedRow(), 0);
}

TEST(Styles, FormattedTextUsesTheEffectiveFormat) {
  ViewedBook b;
  b.SetEntry(0, 1, 1, "0.5");
  b.SetSelection(FullColumn(1));
  b.SetNumberFormat("0.00");
  EXPECT_EQ(b.GetFormattedText(0, 1, 1), "0.50");
  EXPECT_EQ(b.GetEntry(0, 1, 1), "0.5");
  b.SetEntry(0, 2, 2, "12.5%");
  EXPECT_DOUBLE_EQ(std::get<double>(b.GetCellValue(0, 2, 2)), 0.125);
  EXPECT_NE(b.CellStyle(0, 2, 2).numberFormat, "General");
}

// Logical values show through the text section of their cell's code, as Excel shows them;
// a code without one leaves TRUE and FALSE as they are.
TEST(Styles, LogicalValuesShowThroughTheTextSection) {
  ViewedBook b;
  b.SetCellValue(0, 1, 1, Value(true));
  b.SetCellValue(0, 2, 1, Value(false));
  b.SetSelection(Range{1, 1, 2, 1});
  b.SetNumberFormat("0;-0;0;\"[\"@\"]\"");
  EXPECT_EQ(b.GetFormattedText(0, 1, 1), "[TRUE]");
  EXPECT_EQ(b.GetFormattedText(0, 2, 1), "[FALSE]");
  b.SetNumberFormat(";;;");
  EXPECT_EQ(b.GetFormattedText(0, 1, 1), "");
  b.SetNumberFormat("0.00");
  EXPECT_EQ(b.GetFormattedText(0, 1, 1), "TRUE");
}

TEST(Styles, WholeColumnStoresOneStyleAndRewritesOnlyStyledCells) {
  ViewedBook b;
  for (int r = 1; r <= 50; ++r) b.SetEntry(0, r, 2, "x");
  b.SetSelection(Range{5, 2, 5, 2});
  b.SetFontColor(0x0000FF);
  size_t cells = b.SheetAt(0).CellCount();

  b.SetSelection(FullColumn(2));
  b.SetNumberFormat("@");
  EXPECT_EQ(b.SheetAt(0).CellCount(), cells);  // no cell made for the column
  EXPECT_EQ(b.CellStyle(0, 1000000, 2).numberFormat, "@");
  EXPECT_EQ(b.CellStyle(0, 5, 2).numberFormat, "@");
  EXPECT_EQ(b.CellStyle(0, 5, 2).fontColor, 0x0000FFu);  // its own colour kept
  EXPECT_EQ(b.CellStyle(0, 1, 3).numberFormat, "General");
  EXPECT_NE(b.ColStyle(0, 2), kDefaultStyle);
}

TEST(Styles, RowAndColumnStylesCrossCorrectly) {
  ViewedBook b;
  b.SetSelection(FullRow(3));
  b.SetPattern(1, 0x111111, kWhite);
  b.SetSelection(FullColumn(2));
  b.SetFontColor(0x222222);
  // The row style wins over the column style where they cross, so the crossing cell must
  // carry both changes.
  EXPECT_EQ(b.CellStyle(0, 3, 2).fontColor, 0x222222u);
  EXPECT_EQ(b.CellStyle(0, 3, 2).pattern, 1);
  EXPECT_EQ(b.CellStyle(0, 3, 5).fontColor, kBlack);
  EXPECT_EQ(b.CellStyle(0, 9, 2).pattern, 0);
  // And the other way round: a row styled after a column keeps the column's format.
  b.SetSelection(FullRow(7));
  b.SetNumberFormat("0.0");
  EXPECT_EQ(b.CellStyle(0, 7, 2).fontColor, 0x222222u);
  EXPECT_EQ(b.CellStyle(0, 7, 2).numberFormat, "0.0");
  EXPECT_EQ(b.CellStyle(0, 7, 9).numberFormat, "0.0");
}

TEST(Styles, WholeSheetChangesEverything) {
  ViewedBook b;
  b.SetSelection(FullColumn(4));
  b.SetNumberFormat("0.0");
  b.SetSelection(Range{2, 2, 2, 2});
  b.SetNumberFormat("0.000");
  b.SetSelection(Range{kAll, kAll, kAll, kAll});
  b.SetFontColor(0x333333);
  EXPECT_EQ(b.CellStyle(0, 99, 99).fontColor, 0x333333u);
  EXPECT_EQ(b.CellStyle(0, 99, 4).fontColor, 0x333333u);
  EXPECT_EQ(b.CellStyle(0, 99, 4).numberFormat, "0.0");
  EXPECT_EQ(b.CellStyle(0, 2, 2).numberFormat, "0.000");
  EXPECT_EQ(b.CellStyle(0, 2, 2).fontColor, 0x333333u);
}

TEST(Styles, BordersOutlineTheRange) {
  ViewedBook b;
  b.SetSelection(Range{2, 2, 3, 4});
  b.SetBorders(2, 1, 1, 1, 1, 0xAA, 0xBB, 0xBB, 0xBB, 0xBB);
  const Style& corner = b.CellStyle(0, 2, 2);
  EXPECT_EQ(corner.top, (Border{2, 0xAA}));
  EXPECT_EQ(corner.left, (Border{2, 0xAA}));
  EXPECT_EQ(corner.right, (Border{1, 0xBB}));
  EXPECT_EQ(corner.bottom, (Border{1, 0xBB}));
  const Style& inner = b.CellStyle(0, 3, 3);
  EXPECT_EQ(inner.bottom, (Border{2, 0xAA}));
  EXPECT_EQ(inner.left, (Border{1, 0xBB}));
}

TEST(Styles, HugeRectangleIsRefusedNotFilled) {
  ViewedBook b;
  b.SetSelection(Range{1, 1, kMaxRows - 1, 100});
  EXPECT_THROW(b.SetFontColor(0x1), GridError);
  EXPECT_EQ(b.SheetAt(0).CellCount(), 0u);
  // Styled rows crossing whole columns would need a cell each: refused before any change.
  StyleId grey = b.Styles().Intern(Style{.pattern = 1});
  b.SetRowStyle(0, 1, kMaxRows - 1, grey);
  b.SetSelection(Range{kAll, 1, kAll, 10});
  EXPECT_THROW(b.SetFontColor(0x1), GridError);
  EXPECT_EQ(b.SheetAt(0).CellCount(), 0u);
  EXPECT_EQ(b.ColStyle(0, 1), kDefaultStyle);
}

TEST(Styles, HiddenFlagsAndWidths) {
  ViewedBook b;
  b.SetRowsHidden(0, 2, 4, true);
  b.SetRowsHidden(0, 3, 3, false);
  EXPECT_TRUE(b.RowHidden(0, 2));
  EXPECT_FALSE(b.RowHidden(0, 3));
  EXPECT_TRUE(b.RowHidden(0, 4));
  b.SetColsHidden(0, kAll, kAll, true);
  EXPECT_TRUE(b.ColHidden(0, kMaxCols));
  EXPECT_THROW(b.SetRowsHidden(0, 5, 4, true), GridError);
  b.SetEntry(0, 1, 3, "a rather long text");
  b.SetColHeading(4, "HeadingOfTwentyChars");
  b.FitColumns(Range{kAll, 3, kAll, 5});
  EXPECT_GT(b.ColWidth(0, 3), 18);
  EXPECT_GT(b.ColWidth(0, 4), 20);
  EXPECT_DOUBLE_EQ(b.ColWidth(0, 5), kDefaultColWidth);
}

}  // namespace
}  // namespace ddt::grid
