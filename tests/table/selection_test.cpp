// Row selection: whole-row selections to row-range lists and back, all rows per sheet.
#include <gtest/gtest.h>

#include "grid/limits.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::AddParams;
using ddt::table::testing::EachEngine;
using ddt::table::testing::EngineName;

using Selection = EachEngine;

std::vector<CRowsRange> Ranges(const CWBRowsRangeList& list, const std::string& sheet) {
  std::vector<CRowsRange> ranges;
  int count = 0;
  if (list.GetRowsRangeCount(sheet, count) != 0) return {{-99, -99}};
  for (int i = 0; i < count; ++i) {
    CRowsRange range;
    list.GetRowsRangeEntry(sheet, i, range);
    ranges.push_back(range);
  }
  return ranges;
}

// Two sheets "A" and "B", each with a parameter and `rows` data rows.
void TwoSheets(CDT& table, int rowsA, int rowsB) {
  table.NewSheet("A");
  table.NewSheet("B");
  AddParams(table, "A", {"P"});
  AddParams(table, "B", {"Q"});
  for (int r = 1; r <= rowsA; ++r) table.SetParamValue(r, "P", std::to_string(r), "A", 0);
  for (int r = 1; r <= rowsB; ++r) table.SetParamValue(r, "Q", std::to_string(r), "B", 0);
}

TEST_P(Selection, AdjacentWholeRowSelectionsMerge) {
  TwoSheets(table(), 10, 10);
  table().SetSheet("A");
  table().SelectRows(2, 3, 0);
  table().AddSelectRows(4, 6, 0);
  CWBRowsRangeList list;
  ASSERT_EQ(table().GetSelectedRows(list, 1), 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{2, 6}}));
  EXPECT_EQ(Ranges(list, "B"), (std::vector<CRowsRange>{{-99, -99}}));  // not asked for
}

TEST_P(Selection, SplitWholeRowSelectionsStayApartInSelectionOrder) {
  TwoSheets(table(), 10, 10);
  table().SetSheet("A");
  table().SelectRows(5, 6, 0);
  table().AddSelectRows(2, 3, 0);
  table().AddSelectRows(8, 8, 0);
  CWBRowsRangeList list;
  ASSERT_EQ(table().GetSelectedRows(list, 0), 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{5, 6}, {2, 3}, {8, 8}}));
  int rows = 0;
  list.GetRowsCount("A", rows);
  EXPECT_EQ(rows, 5);
}

TEST_P(Selection, PartialRowSelectionsAreNotRows) {
  TwoSheets(table(), 10, 10);
  table().SetSheet("A");
  table().m_pEngine->SetSelection(2, 1, 5, 3);
  CWBRowsRangeList list;
  ASSERT_EQ(table().GetSelectedRows(list, 0), 0);
  EXPECT_TRUE(list.IsEmptyRowsList("A"));
  EXPECT_EQ(Ranges(list, "A"), std::vector<CRowsRange>{});  // listed, with no ranges
}

TEST_P(Selection, APartialRangeBetweenWholeRowsNeitherJoinsNorFails) {
  TwoSheets(table(), 10, 10);
  table().SetSheet("A");
  // Cells of rows 2-3 first, then whole rows 4-5 right below them.
  table().m_pEngine->SetSelection(2, 1, 3, 2);
  table().m_pEngine->AddSelection(4, -1, 5, -1);
  CWBRowsRangeList list;
  ASSERT_EQ(table().GetSelectedRows(list, 0), 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{4, 5}}));

  // Whole rows 2-3, cells of rows 4-5, whole rows 6-7: rows 4 and 5 were not chosen.
  table().m_pEngine->SetSelection(2, -1, 3, -1);
  table().m_pEngine->AddSelection(4, 1, 5, 2);
  table().m_pEngine->AddSelection(6, -1, 7, -1);
  ASSERT_EQ(table().GetSelectedRows(list, 0), 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{2, 3}, {6, 7}}));
}

TEST_P(Selection, AddSelectRowsReplacesANonRowSelection) {
  TwoSheets(table(), 10, 10);
  table().SetSheet("A");
  table().m_pEngine->SetSelection(2, 1, 2, 1);
  table().AddSelectRows(7, 8, 0);
  CWBRowsRangeList list;
  table().GetSelectedRows(list, 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{7, 8}}));
}

TEST_P(Selection, SelectionToTheLastGridRowIsCut) {
  TwoSheets(table(), 3, 3);
  table().SetSheet("A");
  const long maxRow = table().m_pEngine->GetMaxRow();
  table().SelectRows(2, ddt::grid::kMaxRows, 0);
  CWBRowsRangeList list;
  table().GetSelectedRows(list, 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{2, static_cast<int>(maxRow)}}));
}

TEST_P(Selection, ListsGoToTheSelectionAndBack) {
  TwoSheets(table(), 10, 10);
  CWBRowsRangeList wanted;
  wanted.AddSheetEntry("A");
  wanted.AddRowsRangeEntry("A", {1, 2});
  wanted.AddRowsRangeEntry("A", {0, 4});  // a first row of 0 is skipped
  wanted.AddRowsRangeEntry("A", {6, 9});
  wanted.AddSheetEntry("B");
  wanted.AddRowsRangeEntry("B", {3, 3});

  table().SetSheet("B");
  ASSERT_EQ(table().SelectRows(wanted, 0), 0);
  EXPECT_EQ(table().GetSheetName(0), "B");  // every sheet: the current one comes back

  CWBRowsRangeList got;
  ASSERT_EQ(table().GetSelectedRows(got, 0), 0);
  EXPECT_EQ(table().GetSheetName(0), "B");
  EXPECT_EQ(Ranges(got, "A"), (std::vector<CRowsRange>{{1, 2}, {6, 9}}));
  EXPECT_EQ(Ranges(got, "B"), (std::vector<CRowsRange>{{3, 3}}));

  // One sheet: that sheet stays current.
  ASSERT_EQ(table().SelectRows(wanted, 1), 0);
  EXPECT_EQ(table().GetSheetName(0), "A");

  EXPECT_EQ(table().SelectRows(wanted, 3), -1);
  EXPECT_EQ(table().GetSelectedRows(got, 3), -1);
  EXPECT_EQ(table().GetAllRows(got, -1), -1);
}

TEST_P(Selection, UnSelectRowsLeavesOneCell) {
  TwoSheets(table(), 4, 4);
  table().SelectRows(1, 3, 1);
  EXPECT_EQ(table().GetSheetName(0), "A");
  ASSERT_EQ(table().UnSelectRows(0), 0);
  CWBRowsRangeList list;
  table().GetSelectedRows(list, 1);
  EXPECT_TRUE(list.IsEmptyRowsList(""));
  EXPECT_EQ(table().m_pEngine->GetSelectionCount(), 1);
  EXPECT_EQ(table().SelectRows(1, 2, 7), -1);
}

TEST_P(Selection, GetAllRowsListsEachSheetsDataRows) {
  TwoSheets(table(), 10, 0);
  table().NewSheet("C");
  table().SetSheet("B");
  CWBRowsRangeList list;
  ASSERT_EQ(table().GetAllRows(list, 0), 0);
  EXPECT_EQ(table().GetSheetName(0), "B");
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{1, 10}}));
  EXPECT_EQ(Ranges(list, "B"), std::vector<CRowsRange>{});  // header texts, no data
  EXPECT_EQ(Ranges(list, "C"), std::vector<CRowsRange>{});

  ASSERT_EQ(table().GetAllRows(list, 1), 0);
  EXPECT_EQ(Ranges(list, "A"), (std::vector<CRowsRange>{{1, 10}}));
  EXPECT_EQ(Ranges(list, "B"), (std::vector<CRowsRange>{{-99, -99}}));
}

INSTANTIATE_TEST_SUITE_P(Table, Selection,
                         ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX), EngineName);

}  // namespace
