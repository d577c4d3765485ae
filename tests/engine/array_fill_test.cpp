// Array formulas over several cells: every cell of the extent gets its part of the result,
// stays current as inputs change (whichever cell is read first), keeps stored results until
// then, and edits that would change part of an array are refused without changing anything.
#include <gtest/gtest.h>

#include "grid/formula/formula.h"
#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;

class ArrayFill : public ::testing::Test {
 protected:
  // B1:B3 = 1, 2, 3.
  void SetUp() override {
    for (int r = 1; r <= 3; ++r) book.SetEntry(1, r, 2, std::to_string(r));
  }
  void PutArray(int row, int col, std::string_view text, int rows, int cols,
                std::optional<Value> cached = std::nullopt) {
    auto f = formula::AsArrayFormula(*formula::ParseFormula(text, book), rows, cols);
    book.SetCellFormula(1, row, col, f, std::move(cached));
  }
  Value Get(int row, int col) { return book.GetCellValue(1, row, col); }
  double Num(int row, int col) {
    Value v = Get(row, col);
    EXPECT_TRUE(IsNumber(v)) << "row " << row << " col " << col;
    return IsNumber(v) ? std::get<double>(v) : -1e308;
  }
  ViewedBook book;
};

TEST_F(ArrayFill, EveryCellGetsItsPartAndFollowsTheInputs) {
  PutArray(1, 3, "B1:B3*2", 3, 1);  // C1:C3
  book.SetEntry(1, 1, 4, "=SUM(C1:C3)");
  book.SetEntry(1, 2, 4, "=C3+1");
  // Read the last cell first: it must not wait for its first cell to be read.
  EXPECT_EQ(Num(3, 3), 6);
  EXPECT_EQ(Num(2, 3), 4);
  EXPECT_EQ(Num(1, 3), 2);
  EXPECT_EQ(Num(1, 4), 12);
  EXPECT_EQ(Num(2, 4), 7);
  // The other cells are plain cells holding values; the formula lives in the first.
  EXPECT_EQ(book.FindCell(1, 3, 3)->formula, nullptr);
  EXPECT_EQ(book.GetFormula(1, 1, 3), "B1:B3*2");

  book.SetEntry(1, 3, 2, "10");
  EXPECT_EQ(Num(2, 4), 21);  // a reader of the array's last cell, read before the array
  EXPECT_EQ(Num(1, 4), 26);
  EXPECT_EQ(Num(3, 3), 20);
  EXPECT_EQ(Num(1, 3), 2);
}

TEST_F(ArrayFill, ResultsSpreadAsTheirSizeAllows) {
  PutArray(1, 6, "B1:B2*2", 3, 2);  // F1:G3: one column repeats across, row 3 is beyond it
  EXPECT_EQ(Num(1, 6), 2);
  EXPECT_EQ(Num(1, 7), 2);
  EXPECT_EQ(Num(2, 7), 4);
  EXPECT_EQ(Get(3, 6), Value(ErrorCode::NA));
  EXPECT_EQ(Get(3, 7), Value(ErrorCode::NA));
  PutArray(5, 1, "SUM(B1:B3)", 2, 2);  // one value fills the whole extent
  for (int r = 5; r <= 6; ++r)
    for (int c = 1; c <= 2; ++c) EXPECT_EQ(Num(r, c), 6);
  PutArray(8, 1, "MMULT({1,2;3,4},{1,0;0,1})", 2, 3);  // 2x2 into 2x3: column 3 is #N/A
  EXPECT_EQ(Num(8, 1), 1);
  EXPECT_EQ(Num(8, 2), 2);
  EXPECT_EQ(Num(9, 1), 3);
  EXPECT_EQ(Num(9, 2), 4);
  EXPECT_EQ(Get(8, 3), Value(ErrorCode::NA));
  PutArray(11, 1, "TRANSPOSE(B1:B3)", 1, 3);
  EXPECT_EQ(Num(11, 3), 3);
  // An empty cell of a referenced range reads as 0.
  PutArray(13, 1, "B3:B5", 3, 1);
  EXPECT_EQ(Num(14, 1), 0);
}

TEST_F(ArrayFill, StoredResultsStayUntilAnInputChanges) {
  // As a file gives them: the first cell with its result, the others with theirs.
  PutArray(1, 3, "B1:B3*2", 3, 1, Value(20.0));
  book.SetCellValue(1, 2, 3, Value(40.0));
  book.SetCellValue(1, 3, 3, Value(60.0));
  book.SetEntry(1, 1, 1, "=C3");  // sorted before the array when everything is computed
  book.Calc().StructureChanged();  // as after reading a file
  EXPECT_EQ(Num(3, 3), 60);
  EXPECT_EQ(Num(1, 3), 20);
  book.SetEntry(1, 2, 2, "5");
  EXPECT_EQ(Num(2, 3), 10);
  EXPECT_EQ(Num(3, 3), 6);
  book.SetCellValue(1, 3, 3, Value(60.0));  // a stale value again, then everything
  book.Recalc();
  EXPECT_EQ(Num(1, 1), 6);
  EXPECT_EQ(Num(3, 3), 6);

  // Cells without a stored result are computed when read, and so is the whole array.
  PutArray(1, 5, "B1:B3+1", 3, 1, Value(100.0));
  book.Calc().StructureChanged();
  EXPECT_EQ(Num(3, 5), 4);
  EXPECT_EQ(Num(1, 5), 2);
}

TEST_F(ArrayFill, ACycleThroughTheArrayKeepsItsValues) {
  PutArray(1, 3, "C1:C3+1", 3, 1);
  EXPECT_EQ(Num(1, 3), 0);
  EXPECT_EQ(Num(3, 3), 0);
  book.Recalc();
  EXPECT_EQ(Num(2, 3), 0);
}

TEST_F(ArrayFill, EditsOfPartOfAnArrayAreRefusedAndChangeNothing) {
  PutArray(2, 3, "B1:B3*2", 2, 2);  // C2:D3
  book.SetEntry(1, 5, 5, "keep");
  auto unchanged = [&] {
    EXPECT_EQ(book.GetFormula(1, 2, 3), "B1:B3*2");
    EXPECT_EQ(Num(3, 4), 4);
    EXPECT_EQ(book.GetEntry(1, 5, 5), "keep");
  };
  EXPECT_THROW(book.SetEntry(1, 3, 4, "7"), GridError);
  EXPECT_THROW(book.SetEntry(1, 2, 3, "7"), GridError);
  EXPECT_THROW(book.SetFormula(1, 3, 3, "1+1"), GridError);
  EXPECT_THROW(book.SetEntry(1, 3, 3, ""), GridError);
  EXPECT_THROW(book.ClearRange(Range{3, 1, 5, 5}, Clear::All), GridError);
  EXPECT_NO_THROW(book.ClearRange(Range{3, 1, 5, 5}, Clear::Formats));
  book.SetSelection(Range{1, 1, 3, 3});
  EXPECT_THROW(book.EditCut(), GridError);
  EXPECT_THROW(book.EditClear(Clear::Values), GridError);
  // Rows or cells inserted or deleted through the array.
  EXPECT_THROW(book.InsertRange(Range{3, kAll, 3, kAll}, Shift::Rows), GridError);
  EXPECT_THROW(book.DeleteRange(Range{1, kAll, 2, kAll}, Shift::Rows), GridError);
  EXPECT_THROW(book.InsertRange(Range{1, 4, 1, 4}, Shift::CellsVertical), GridError);
  EXPECT_THROW(book.DeleteRange(Range{kAll, 4, kAll, 4}, Shift::Columns), GridError);
  unchanged();
  // Pasting over part of it.
  book.SetSelection(Range{5, 5, 5, 5});
  book.EditCopy();
  book.SetSelection(Range{3, 3, 3, 3});
  EXPECT_THROW(book.EditPaste(), GridError);
  unchanged();

  // Whole arrays move and go with whole lines; a clear of the whole array removes it.
  book.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  book.InsertRange(Range{1, 1, 5, 1}, Shift::CellsHorizontal);
  EXPECT_EQ(book.GetFormula(1, 3, 4), "C2:C4*2");
  book.SetEntry(1, 3, 3, "10");
  EXPECT_EQ(Num(4, 5), 20);
  book.ClearRange(Range{3, 4, 4, 5}, Clear::All);
  EXPECT_EQ(book.FindCell(1, 4, 5), nullptr);
  book.SetEntry(1, 4, 5, "free");
  EXPECT_EQ(book.GetEntry(1, 4, 5), "free");
  // So does a clear of many cells (one notice for the range instead of one per cell).
  PutArray(2000, 1, "B1:B3", 3, 1);
  for (int r = 1; r <= 1100; ++r) book.SetEntry(1, r, 8, "1");
  book.ClearRange(Range{1, 1, 2002, 8}, Clear::All);
  book.SetEntry(1, 2001, 1, "free");
  EXPECT_EQ(book.GetEntry(1, 2001, 1), "free");
}

TEST_F(ArrayFill, PastedArraysFillOnlyWhatTheBlockBrought) {
  PutArray(1, 3, "$B1:$B2*2", 2, 1);  // C1:C2
  book.SetSelection(Range{1, 3, 2, 3});
  book.EditCopy();
  book.SetSelection(Range{2, 5, 2, 5});  // E2:E3, reading B2:B3
  book.EditPaste();
  EXPECT_EQ(Num(2, 5), 4);
  EXPECT_EQ(Num(3, 5), 6);
  book.SetEntry(1, 3, 2, "7");
  EXPECT_EQ(Num(3, 5), 14);
  EXPECT_THROW(book.SetEntry(1, 3, 5, "x"), GridError);
  // The first cell alone: a one-cell array that leaves its neighbour alone.
  book.SetEntry(1, 2, 7, "mine");
  book.SetSelection(Range{1, 3, 1, 3});
  book.EditCopy();
  book.SetSelection(Range{1, 7, 1, 7});
  book.EditPaste();
  EXPECT_EQ(Num(1, 7), 2);
  EXPECT_EQ(book.GetEntry(1, 2, 7), "mine");
  book.SetEntry(1, 2, 7, "still mine");
}

}  // namespace
}  // namespace ddt::grid
