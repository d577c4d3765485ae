// Row-range lists and last-selected rows: per-sheet bookkeeping with exact sheet keys.
#include <gtest/gtest.h>

#include "ddtable/row_range.h"

namespace {

TEST(RowsRangeList, CountsRangesAndRowsPerSheet) {
  CWBRowsRangeList list;
  ASSERT_EQ(list.AddSheetEntry("BP"), 0);
  EXPECT_EQ(list.AddRowsRangeEntry("BP", {1, 3}), 0);
  EXPECT_EQ(list.AddRowsRangeEntry("BP", {7, 7}), 1);
  EXPECT_EQ(list.AddSheetEntry("BP"), -1);  // already there: its ranges stay

  int ranges = -5, rows = -5;
  EXPECT_EQ(list.GetRowsRangeCount("BP", ranges), 0);
  EXPECT_EQ(ranges, 2);
  EXPECT_EQ(list.GetRowsCount("BP", rows), 0);
  EXPECT_EQ(rows, 4);

  EXPECT_EQ(list.SetRowsRangeEntry("BP", 1, {7, 9}), 0);
  CRowsRange second;
  ASSERT_EQ(list.GetRowsRangeEntry("BP", 1, second), 0);
  EXPECT_EQ(second, (CRowsRange{7, 9}));
}

TEST(RowsRangeList, AbsentSheetsAndBadIndexesFailWithoutTouchingOutputs) {
  CWBRowsRangeList list;
  list.AddSheetEntry("BP");
  list.AddRowsRangeEntry("BP", {2, 4});

  int count = 42;
  EXPECT_EQ(list.GetRowsRangeCount("bp", count), -1);  // keys are case-sensitive
  EXPECT_EQ(list.GetRowsCount("Other", count), -1);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(list.AddRowsRangeEntry("bp", {1, 1}), -1);

  CRowsRange range{9, 9};
  EXPECT_EQ(list.GetRowsRangeEntry("Other", 0, range), -1);
  EXPECT_EQ(list.GetRowsRangeEntry("BP", 1, range), -1);
  EXPECT_EQ(list.GetRowsRangeEntry("BP", -1, range), -1);
  EXPECT_EQ(range, (CRowsRange{9, 9}));
  EXPECT_EQ(list.SetRowsRangeEntry("BP", 1, {5, 5}), -1);
  EXPECT_EQ(list.SetRowsRangeEntry("BP", -1, {5, 5}), -1);
  EXPECT_EQ(list.SetRowsRangeEntry("Other", 0, {5, 5}), -1);
}

TEST(RowsRangeList, EmptinessDistinguishesEmptyArraysFromRanges) {
  CWBRowsRangeList list;
  list.AddSheetEntry("A");
  list.AddSheetEntry("B");
  EXPECT_TRUE(list.IsEmptyRowsList(""));  // sheets present, all without ranges
  EXPECT_TRUE(list.IsEmptyRowsList("A"));
  EXPECT_TRUE(list.IsEmptyRowsList("Absent"));

  list.AddRowsRangeEntry("B", {4, 4});
  EXPECT_FALSE(list.IsEmptyRowsList(""));
  EXPECT_FALSE(list.IsEmptyRowsList("B"));
  EXPECT_TRUE(list.IsEmptyRowsList("A"));

  list.ClearWBRowsRangeList();
  EXPECT_TRUE(list.IsEmptyRowsList(""));
  int count = 0;
  EXPECT_EQ(list.GetRowsRangeCount("B", count), -1);
}

TEST(LastSelectedRow, AddNeverReplacesAndSetNeverAdds) {
  CLastSelectedRow rows;
  long row = -7;
  EXPECT_EQ(rows.SetLastSelectedRowEntry("S", 3), -1);
  EXPECT_EQ(rows.GetLastSelectedRow("S", row), -1);
  EXPECT_EQ(row, -7);

  EXPECT_EQ(rows.AddLastSelectedRowEntry("S", 4), 0);
  EXPECT_EQ(rows.AddLastSelectedRowEntry("S", 9), -1);
  EXPECT_EQ(rows.GetLastSelectedRow("S", row), 0);
  EXPECT_EQ(row, 4);
  EXPECT_EQ(rows.SetLastSelectedRowEntry("S", 11), 0);
  rows.GetLastSelectedRow("S", row);
  EXPECT_EQ(row, 11);
  EXPECT_EQ(rows.GetLastSelectedRow("s", row), -1);

  rows.ClearLastSelectedRow();
  EXPECT_EQ(rows.GetLastSelectedRow("S", row), -1);
}

}  // namespace
