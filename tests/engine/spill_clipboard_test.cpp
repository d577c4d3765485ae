// Copying a spilled array: with its anchor, the block carries the anchor's formula, which
// spills again where it is pasted (the spilled values stay behind, or they would block it);
// spilled cells copied without their anchor are pasted as the values they show.
#include <gtest/gtest.h>

#include <string>

#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::Clipboard;
using engine::test_support::ViewedBook;

class SpillClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clipboard::Instance().Clear();
    // A1:A3 data; C1 spills it sorted over C1:C3, C2 shown with two decimals.
    const char* data[] = {"30", "10", "20"};
    for (int r = 1; r <= 3; ++r) book.SetEntry(0, r, 1, data[r - 1]);
    book.SetEntry(0, 1, 3, "=SORT(A1:A3)");
    book.SetSelection(Range{2, 3, 2, 3});
    book.SetNumberFormat("0.00");
  }
  void TearDown() override { Clipboard::Instance().Clear(); }

  void Paste(ViewedBook& into, int row, int col) {
    into.SetSelection(Range{row, col, row, col});
    into.EditPaste();
  }

  ViewedBook book;
};

TEST_F(SpillClipboardTest, CopiedWithItsAnchorASpillSpillsAgainAtTheTarget) {
  book.SetSelection(Range{1, 3, 3, 3});
  book.EditCopy();
  Paste(book, 1, 5);  // E1: the formula moves as a copy, reading C1:C3
  EXPECT_EQ(book.GetEntry(0, 1, 5), "=SORT(C1:C3)");
  EXPECT_EQ(book.GetCellValue(0, 1, 5), Value(10.0));
  EXPECT_EQ(book.GetCellValue(0, 3, 5), Value(30.0));
  EXPECT_EQ(book.GetFormula(0, 3, 5), "SORT(C1:C3)");  // a spilled cell, not a constant
  EXPECT_EQ(book.GetFormattedText(0, 2, 5), "20.00");  // the look of a spilled cell comes
  // Still a spill: it follows its data.
  book.SetEntry(0, 1, 1, "5");
  EXPECT_EQ(book.GetCellValue(0, 1, 5), Value(5.0));
  EXPECT_EQ(book.GetCellValue(0, 3, 5), Value(20.0));

  // Part of the spill with the anchor: the formula spills whole where it lands.
  book.SetSelection(Range{1, 3, 2, 3});
  book.EditCopy();
  Paste(book, 1, 7);  // G1 reads E1:E3
  EXPECT_EQ(book.GetCellValue(0, 3, 7), Value(20.0));
}

TEST_F(SpillClipboardTest, SpilledCellsWithoutTheirAnchorArePastedAsValues) {
  book.SetSelection(Range{2, 3, 3, 3});
  book.EditCopy();
  Paste(book, 1, 7);
  EXPECT_EQ(book.GetEntry(0, 1, 7), "20");
  EXPECT_EQ(book.GetEntry(0, 2, 7), "30");
  EXPECT_EQ(book.GetFormattedText(0, 1, 7), "20.00");
  book.SetEntry(0, 1, 1, "40");  // constants: they do not follow the data
  EXPECT_EQ(book.GetCellValue(0, 2, 7), Value(30.0));
}

TEST_F(SpillClipboardTest, ACutSpillMovesWithItsReferencesAndIntoAnotherWorkbook) {
  book.SetSelection(Range{1, 3, 3, 3});
  book.EditCut();
  EXPECT_TRUE(IsEmpty(book.GetCellValue(0, 2, 3)));
  Paste(book, 4, 4);
  EXPECT_EQ(book.GetEntry(0, 4, 4), "=SORT(A1:A3)");
  EXPECT_EQ(book.GetCellValue(0, 6, 4), Value(30.0));

  ViewedBook other;  // reads its own A1:A3 at the same place
  for (int r = 1; r <= 3; ++r) other.SetEntry(0, r, 1, std::to_string(4 - r));
  other.CopyRangeFrom(0, Range{4, 4, 4, 4}, book.Handle(), 0, Range{4, 4, 6, 4});
  EXPECT_EQ(other.GetCellValue(0, 4, 4), Value(1.0));
  EXPECT_EQ(other.GetFormula(0, 6, 4), "SORT(A1:A3)");
  other.SetEntry(0, 6, 4, "x");  // typed over a spilled cell: the spill is blocked
  EXPECT_EQ(other.GetCellValue(0, 4, 4), Value(ErrorCode::Spill));
}

}  // namespace
}  // namespace ddt::grid
