// Choosing the next row to copy, by method, over run rows given as ranges.
#include <gtest/gtest.h>

#include <vector>

#include "results/row_choice.h"

namespace ddt::results {
namespace {

// Walks a sheet as CopyNextRow does with a recorded current row: every choice becomes the
// current row; a wrap resets it first. Returns the rows copied, 0 marking "nothing".
std::vector<long> Walk(const RunRows& rows, int mode, int first, int count, int calls) {
  std::vector<long> copied;
  long current = 0, hint = 0;
  for (int i = 0; i < calls; ++i) {
    const RowChoice c = ChooseRow(rows, mode, first, count, current, hint);
    if (c.wrapped) current = hint = 0;
    if (c.row != 0) {
      current = c.row;
      hint = c.position;
    }
    copied.push_back(c.row);
  }
  return copied;
}

TEST(RunRows, CountsAndIndexesRangesInOrder) {
  const RunRows rows({{1, 3}, {7, 8}});
  EXPECT_EQ(rows.Count(), 5);
  std::vector<long> at;
  for (long k = 0; k <= 6; ++k) at.push_back(rows.RowAt(k));
  EXPECT_EQ(at, (std::vector<long>{0, 1, 2, 3, 7, 8, 0}));
  EXPECT_EQ(rows.PositionOf(7, 0), 4);
  EXPECT_EQ(rows.PositionOf(5, 0), 0);
  EXPECT_EQ(RunRows({}).Count(), 0);
  EXPECT_EQ(RunRows({{5, 4}}).RowAt(1), 0);  // a reversed range holds nothing
}

TEST(ChooseRow, OnlyBit0x100IsTheWrapFlag) {
  const RunRows rows({{2, 3}, {5, 5}});
  EXPECT_EQ(Walk(rows, 0x200, 1, 1, 4), (std::vector<long>{2, 3, 5, 0}));
  EXPECT_EQ(Walk(rows, 0x301, 1, 2, 4), (std::vector<long>{2, 3, 2, 3}));
}

TEST(ChooseRow, NextOverAnEmptySheetFindsNothingEvenWithWrap) {
  const RunRows none({});
  const RowChoice c = ChooseRow(none, 0x100, 1, 1, 0, 0);
  EXPECT_EQ(c.row, 0);
  EXPECT_TRUE(c.wrapped);
  EXPECT_EQ(ChooseRow(none, 0, 1, 1, 0, 0).row, 0);
}

TEST(ChooseRow, OverlappingRangesAreWalkedOnceWithoutGoingRound) {
  // Rows 2..5, then 3..4 again: nine run rows in all, then the end.
  const RunRows rows({{2, 5}, {3, 4}});
  EXPECT_EQ(Walk(rows, 0, 1, 1, 8), (std::vector<long>{2, 3, 4, 5, 3, 4, 0, 0}));
}

TEST(ChooseRow, CountedCountsRunRowsNotRowNumbers) {
  // Run rows 2, 3, 4 and 9: positions 1 to 3 are rows 2, 3 and 4; position 4 is row 9.
  const RunRows rows({{2, 4}, {9, 9}});
  EXPECT_EQ(Walk(rows, 1, 1, 3, 4), (std::vector<long>{2, 3, 4, 0}));
  EXPECT_EQ(Walk(rows, 1, 3, 5, 3), (std::vector<long>{4, 9, 0}));
}

TEST(ChooseRow, OtherMethodsCopyTheCurrentRowAgainOnlyWhileItIsARunRow) {
  const RunRows rows({{2, 3}});
  EXPECT_EQ(ChooseRow(rows, 7, 0, 0, 3, 0).row, 3);
  EXPECT_EQ(ChooseRow(rows, 7, 0, 0, 0, 0).row, 0);
  EXPECT_EQ(ChooseRow(rows, 7, 0, 0, 9, 0).row, 0);  // row 9 is not a run row
  const RowChoice wrap = ChooseRow(rows, 0x107, 0, 0, 9, 0);
  EXPECT_EQ(wrap.row, 0);
  EXPECT_TRUE(wrap.wrapped);
}

TEST(ChooseRow, AStaleCurrentRowHasNoSuccessor) {
  // The current row came from an earlier capture and is no run row now.
  const RunRows rows({{2, 3}});
  EXPECT_EQ(ChooseRow(rows, 0, 1, 1, 7, 0).row, 0);
  EXPECT_EQ(ChooseRow(rows, 1, 1, 5, 7, 0).row, 0);
  EXPECT_EQ(ChooseRow(rows, 0x100, 1, 1, 7, 0).row, 2);
}

}  // namespace
}  // namespace ddt::results
