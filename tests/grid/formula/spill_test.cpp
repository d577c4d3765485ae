// Spilling arrays: a formula whose result is an array fills the cells below and to the right
// of its own cell, follows its result's size, stops at cells in the way (#SPILL!) and resumes
// once they are cleared; an empty result is #CALC!.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {
namespace {

class SpillTest : public ::testing::Test {
 protected:
  void Set(int row, int col, std::string_view entry) { book.SetEntry(1, row, col, entry); }
  Value Get(int row, int col) { return book.GetCellValue(1, row, col); }
  // The cached value as stored, without computing anything.
  Value Stored(int row, int col) {
    const Cell* c = book.FindCell(1, row, col);
    return c ? c->value : Value{};
  }
  // The values of column `col` from `first` to `last`, as shown ("" for empty cells).
  std::vector<std::string> Column(int col, int first, int last) {
    std::vector<std::string> out;
    for (int r = first; r <= last; ++r) out.push_back(book.GetFormattedText(1, r, col));
    return out;
  }
  using Texts = std::vector<std::string>;
  Workbook book;
};

TEST_F(SpillTest, SequenceGrowsAndShrinksWithItsResult) {
  Set(1, 3, "3");
  Set(1, 1, "=SEQUENCE(C1)");
  EXPECT_EQ(Column(1, 1, 6), (Texts{"1", "2", "3", "", "", ""}));
  Set(1, 3, "5");
  EXPECT_EQ(Column(1, 1, 6), (Texts{"1", "2", "3", "4", "5", ""}));
  Set(1, 3, "2");
  EXPECT_EQ(Column(1, 1, 6), (Texts{"1", "2", "", "", "", ""}));
  // The cells it gave up are empty again: nothing is left behind to block a later spill.
  EXPECT_EQ(book.FindCell(1, 4, 1), nullptr);
  EXPECT_EQ(book.LastUsedRow(), 2);

  // Across and down: a 2 x 3 block; a single result leaves one cell.
  Set(1, 5, "=SEQUENCE(2,3,10,10)");
  EXPECT_EQ(Column(7, 1, 3), (Texts{"30", "60", ""}));
  EXPECT_EQ(Get(2, 5), Value{40.0});
  Set(1, 5, "=SEQUENCE(1)");
  EXPECT_EQ(Get(1, 5), Value{1.0});
  for (int col = 6; col <= 7; ++col) EXPECT_EQ(book.FindCell(1, 2, col), nullptr);
}

TEST_F(SpillTest, CellsInTheWayGiveSpillUntilCleared) {
  Set(1, 1, "=SEQUENCE(3)");
  // Typed over a spilled cell: the spill gives way at once, the typed value stays.
  Set(3, 1, "x");
  EXPECT_EQ(Get(1, 1), Value{ErrorCode::Spill});
  EXPECT_EQ(book.GetFormattedText(1, 1, 1), "#SPILL!");
  EXPECT_EQ(Column(1, 2, 3), (Texts{"", "x"}));
  Set(3, 1, "");
  EXPECT_EQ(Column(1, 1, 3), (Texts{"1", "2", "3"}));

  // Something already there: a value, a formula (even one showing nothing), another spill.
  Set(5, 2, "=\"\"");
  Set(4, 2, "=SEQUENCE(2)");
  EXPECT_EQ(Get(4, 2), Value{ErrorCode::Spill});
  Set(5, 2, "");
  EXPECT_EQ(Column(2, 4, 5), (Texts{"1", "2"}));
  Set(3, 3, "=SEQUENCE(1,3)");  // C3:E3
  EXPECT_EQ(Get(3, 5), Value{3.0});
  Set(1, 4, "=SEQUENCE(4)");  // D1:D4 would cross it
  EXPECT_EQ(Get(1, 4), Value{ErrorCode::Spill});
  EXPECT_EQ(Get(3, 4), Value{2.0});
  Set(3, 3, "=SEQUENCE(1,1)");  // the other spill shrinks out of the way
  EXPECT_EQ(Column(4, 1, 4), (Texts{"1", "2", "3", "4"}));

  // A clear of many cells at once frees the way too.
  Set(200, 8, "=SEQUENCE(3)");
  Set(202, 8, "in the way");
  for (int r = 203; r <= 400; ++r) Set(r, 9, "filler");
  EXPECT_EQ(Get(200, 8), Value{ErrorCode::Spill});
  book.ClearRange(Range{201, 8, 400, 9}, Clear::Values);
  EXPECT_EQ(Column(8, 200, 202), (Texts{"1", "2", "3"}));

  // Past the last row there is no room at all.
  Set(kMaxRows - 1, 1, "=SEQUENCE(3)");
  EXPECT_EQ(Get(kMaxRows - 1, 1), Value{ErrorCode::Spill});
  EXPECT_EQ(book.FindCell(1, kMaxRows, 1), nullptr);
}

TEST_F(SpillTest, FilterSortAndUniqueFollowTheirData) {
  const char* data[] = {"40", "10", "30", "10", "20"};
  for (int r = 1; r <= 5; ++r) Set(r, 1, data[r - 1]);
  Set(1, 2, "25");
  Set(1, 3, "=FILTER(A1:A5,A1:A5>B1)");
  Set(1, 4, "=SORT(A1:A5)");
  Set(1, 5, "=UNIQUE(A1:A5)");
  EXPECT_EQ(Column(3, 1, 3), (Texts{"40", "30", ""}));
  EXPECT_EQ(Column(4, 1, 5), (Texts{"10", "10", "20", "30", "40"}));
  EXPECT_EQ(Column(5, 1, 5), (Texts{"40", "10", "30", "20", ""}));

  Set(1, 2, "5");  // grows
  EXPECT_EQ(Column(3, 1, 6), (Texts{"40", "10", "30", "10", "20", ""}));
  Set(1, 2, "35");  // shrinks
  EXPECT_EQ(Column(3, 1, 3), (Texts{"40", "", ""}));
  Set(2, 1, "50");  // a new largest value: sorted last, filtered in, one more distinct value
  EXPECT_EQ(Column(4, 1, 5), (Texts{"10", "20", "30", "40", "50"}));
  EXPECT_EQ(Column(3, 1, 3), (Texts{"40", "50", ""}));
  EXPECT_EQ(Column(5, 1, 6), (Texts{"40", "50", "30", "10", "20", ""}));

  // Blocked and unblocked the same way as any spill.
  Set(3, 4, "mine");
  EXPECT_EQ(Get(1, 4), Value{ErrorCode::Spill});
  Set(3, 4, "");
  EXPECT_EQ(Column(4, 1, 5), (Texts{"10", "20", "30", "40", "50"}));
}

TEST_F(SpillTest, EmptyResultsGiveCalcAndClearTheSpill) {
  for (int r = 1; r <= 3; ++r) Set(r, 1, std::to_string(r));
  Set(1, 2, "=FILTER(A1:A3,A1:A3>1)");
  EXPECT_EQ(Column(2, 1, 2), (Texts{"2", "3"}));
  Set(1, 2, "=FILTER(A1:A3,A1:A3>5)");
  EXPECT_EQ(Get(1, 2), Value{ErrorCode::Calc});
  EXPECT_EQ(book.FindCell(1, 2, 2), nullptr);
  EXPECT_EQ(book.GetFormattedText(1, 1, 2), "#CALC!");
  // if_empty still answers when given.
  Set(1, 2, "=FILTER(A1:A3,A1:A3>5,\"none\")");
  EXPECT_EQ(Get(1, 2), Value{std::string("none")});
  // Only values occurring once, when each occurs twice; no rows asked for.
  Set(1, 3, "=UNIQUE({1;1;2;2},FALSE,TRUE)");
  EXPECT_EQ(Get(1, 3), Value{ErrorCode::Calc});
  Set(1, 4, "=SEQUENCE(0)");
  EXPECT_EQ(Get(1, 4), Value{ErrorCode::Calc});
  // The error reads back as typed, and ISERROR/ERROR.TYPE see it.
  Set(1, 5, "=ERROR.TYPE(C1)");
  Set(2, 5, "=ISERROR(#SPILL!)");
  EXPECT_EQ(Get(1, 5), Value{14.0});
  EXPECT_EQ(Get(2, 5), Value{true});
}

TEST_F(SpillTest, ReadersOfSpilledCellsFollowTheSpill) {
  Set(1, 1, "2");
  Set(1, 2, "=SEQUENCE(A1,1,10,10)");  // B1:B2 = 10, 20
  Set(1, 3, "=B2*2");
  Set(1, 4, "=SUM(B1:B10)");
  Set(1, 5, "=B4");  // beyond the spill for now
  EXPECT_EQ(Get(1, 3), Value{40.0});
  EXPECT_EQ(Get(1, 4), Value{30.0});
  EXPECT_EQ(Get(1, 5), Value{0.0});
  Set(1, 1, "4");
  EXPECT_EQ(Get(1, 5), Value{40.0});
  EXPECT_EQ(Get(1, 4), Value{100.0});
  Set(1, 1, "1");
  EXPECT_EQ(Get(1, 3), Value{0.0});
  EXPECT_EQ(Get(1, 5), Value{0.0});

  // A recalculation leaves every result right, even for a reader computed before the spill
  // it reads grew (the reader's row comes first).
  Set(1, 7, "=H3");
  Set(1, 8, "=SEQUENCE(A1)");
  book.RecalcIfNeeded();
  EXPECT_EQ(Stored(1, 7), Value{0.0});
  Set(1, 1, "3");
  book.RecalcIfNeeded();
  EXPECT_EQ(Stored(3, 8), Value{3.0});
  EXPECT_EQ(Stored(1, 7), Value{3.0});
  EXPECT_EQ(Stored(1, 5), Value{0.0});
  EXPECT_EQ(Stored(1, 4), Value{60.0});
}

TEST_F(SpillTest, SpilledCellsShowTheirAnchorsFormula) {
  Set(1, 1, "=SEQUENCE(2,2)");
  EXPECT_EQ(book.GetFormula(1, 2, 2), "SEQUENCE(2,2)");
  EXPECT_EQ(book.GetFormula(1, 1, 2), "SEQUENCE(2,2)");
  EXPECT_EQ(book.GetFormula(1, 3, 1), "");
  // Their entries stay their values (what a copy of the cell would type).
  EXPECT_EQ(book.GetEntry(1, 2, 2), "4");
  // A legacy array shows its formula in each of its cells too.
  book.SetCellValue(1, 1, 5, Value{1.0});
  book.SetCellValue(1, 2, 5, Value{2.0});
  book.SetCellFormula(1, 1, 6, AsArrayFormula(*ParseFormula("E1:E2*3", book), 2, 1),
                      std::nullopt);
  EXPECT_EQ(book.GetFormula(1, 2, 6), "E1:E2*3");
  EXPECT_EQ(Get(2, 6), Value{6.0});
  // Legacy arrays still refuse edits of part of them; spills do not.
  EXPECT_THROW(Set(2, 6, "1"), GridError);
  EXPECT_NO_THROW(Set(2, 2, "1"));
  EXPECT_EQ(book.GetFormula(1, 2, 2), "1");
}

TEST_F(SpillTest, ReplacedOrRemovedAnchorTakesItsSpillAlong) {
  Set(1, 1, "=SEQUENCE(3)");
  Set(1, 2, "=COUNT(A1:A5)");
  EXPECT_EQ(Get(1, 2), Value{3.0});
  Set(1, 1, "=SEQUENCE(2)");
  EXPECT_EQ(Column(1, 1, 3), (Texts{"1", "2", ""}));
  Set(1, 1, "7");
  EXPECT_EQ(Column(1, 1, 3), (Texts{"7", "", ""}));
  EXPECT_EQ(Get(1, 2), Value{1.0});
  Set(1, 1, "=SEQUENCE(3)");
  book.ClearRange(Range{1, 1, 1, 1}, Clear::All);
  EXPECT_EQ(book.LastUsedRow(), 1);  // B1's count stays
  EXPECT_EQ(Get(1, 2), Value{0.0});
}

TEST_F(SpillTest, PlainFormulasOfFilesKeepOneResult) {
  // A file's plain formula keeps the single result it was saved with (implicit intersection
  // as older programs computed it); only entered and dynamic-array formulas spill.
  book.SetCellFormula(1, 1, 1, ParseFormula("SEQUENCE(3)", book), std::nullopt);
  EXPECT_EQ(Get(1, 1), Value{1.0});
  EXPECT_EQ(book.FindCell(1, 2, 1), nullptr);
  // Entered array values spill; a reference to a range and operators outside array
  // arguments still meet the formula's row, as they did in older programs.
  for (int r = 1; r <= 3; ++r) Set(r, 3, std::to_string(r));
  Set(1, 4, "={1;2;3}");
  Set(2, 5, "=C1:C3*2");
  Set(3, 6, "=C1:C3");
  EXPECT_EQ(Column(4, 1, 3), (Texts{"1", "2", "3"}));
  EXPECT_EQ(Get(2, 5), Value{4.0});
  EXPECT_EQ(Get(3, 6), Value{3.0});
  EXPECT_EQ(book.FindCell(1, 3, 5), nullptr);
  EXPECT_EQ(book.FindCell(1, 4, 6), nullptr);
  // Once it spilled, the formula is a dynamic array over its extent.
  int rows = 0, cols = 0;
  const Cell* anchor = book.FindCell(1, 1, 4);
  ASSERT_TRUE(anchor && anchor->formula);
  EXPECT_TRUE(IsDynamicArrayFormula(*anchor->formula));
  EXPECT_TRUE(IsArrayFormula(*anchor->formula, &rows, &cols));
  EXPECT_EQ(rows * 10 + cols, 31);
}

TEST_F(SpillTest, ASpillReadingItselfKeepsItsFirstResult) {
  // Its size depends on its own cells: a circular reference. The first result (nothing
  // counted: two rows) stands, as any formula of a cycle keeps what it had.
  Set(1, 1, "=SEQUENCE(COUNT(A2:A9)+2)");
  book.Recalc();
  EXPECT_EQ(Column(1, 1, 3), (Texts{"1", "2", ""}));
  Set(1, 2, "=SUM(A1:A9)");
  EXPECT_EQ(Get(1, 2), Value{3.0});
}

}  // namespace
}  // namespace ddt::grid::formula
