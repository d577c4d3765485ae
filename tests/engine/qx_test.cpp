// The headless binding: fixed extents, names as they stand, its own DeleteRange, and the
// sheet count, current sheet and sheet names following every change of the workbook.
#include <gtest/gtest.h>

#include "engine/book_access.h"
#include "ddtable/dt_qx.h"
#include "engine_test_util.h"
#include "grid/grid_error.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using Names = CStringList;

namespace {

class Qx : public ::testing::Test {
 protected:
  ParentWindow parent;
  CDT_QX engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
};

TEST_F(Qx, FreshBindingAnswersFromTheWorkbook) {
  EXPECT_EQ(engine.GetNumSheets(), 1);
  EXPECT_EQ(engine.GetSheet(), 1);
  EXPECT_EQ(engine.GetSheetName(1), "Sheet1");
  EXPECT_EQ(engine.GetHeaderList(1), nullptr);
  EXPECT_EQ(engine.GetColText(1, 2), "B");
}

TEST_F(Qx, FixedExtentsWhateverTheWorkbookHolds) {
  EXPECT_EQ(engine.GetMaxRow(), 16384);
  EXPECT_EQ(engine.GetMaxCol(), 255);
  book.SetEntry(1, 20000, 300, "far");
  EXPECT_EQ(engine.GetMaxRow(), 16384);
  EXPECT_EQ(engine.GetMaxCol(), 255);
}

TEST_F(Qx, NamesKeepTheirSpaces) {
  FillRows(book, 1, {{" id ", "", "name\t"}, {"1", "2", "3"}});
  EngineTestPeer::CreateHeader(engine);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{" id ", "", "name\t"}));
  EXPECT_EQ(engine.GetColText(1, 1), " id ");
  EXPECT_EQ(engine.GetColText(1, 2), "B");
  EXPECT_EQ(engine.GetValue(1, 1, 3), "3");
  EXPECT_EQ(engine.GetLastRow(), 1);
}

TEST_F(Qx, DeleteRangeRemovesOnlyWholeRowsAndColumns) {
  FillRows(book, 1, {{"a", "b"}, {"c", "d"}});
  engine.DeleteRange(1, 1, 1, 1, CDT_IF::DT_SHIFT_HORIZONTAL);
  engine.DeleteRange(1, 1, 1, 1, CDT_IF::DT_SHIFT_VERTICAL);
  EXPECT_EQ(engine.GetValue(1, 1, 1), "a");
  EXPECT_EQ(engine.GetValue(1, 2, 2), "d");
  engine.DeleteRange(1, -1, 1, -1, CDT_IF::DT_SHIFT_ROWS);
  EXPECT_EQ(engine.GetValue(1, 1, 1), "c");
  engine.DeleteRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(engine.GetValue(1, 1, 1), "d");
}

TEST_F(Qx, SetSheetZeroOrCurrentKeepsTheSheet) {
  book.SetSheetCount(3);
  engine.SetSheet(2);
  engine.SetSheet(0);
  EXPECT_EQ(engine.GetSheet(), 2);
  engine.SetSheet(2);
  EXPECT_EQ(engine.GetSheet(), 2);
  engine.SetValue(0, 1, 1, "on two");
  EXPECT_EQ(book.GetEntry(2, 1, 1), "on two");
}

TEST_F(Qx, SheetsStayInStepWithInsertDeleteAndRename) {
  book.SetSheetCount(2);
  book.SetSheetName(1, "Global");
  book.SetSheetName(2, "Action1");
  FillRows(book, 2, {{"p"}, {"v"}});
  EngineTestPeer::CreateHeader(engine);
  ASSERT_EQ(engine.GetNumSheets(), 2);

  engine.InsertSheets(2, 1);
  engine.SetSheetName(2, "Action0");
  ASSERT_EQ(engine.GetNumSheets(), 3);
  EXPECT_EQ(engine.GetSheetName(2), "Action0");
  EXPECT_EQ(engine.GetSheetName(3), "Action1");
  // Writing by the index a name gives reaches the sheet of that name.
  engine.SetSheet(3);
  engine.SetValue(0, 2, 1, "w");
  EXPECT_EQ(book.GetEntry(book.FindSheet("Action1"), 2, 1), "w");
  EXPECT_EQ(*engine.GetHeaderList(3), Names{"p"});

  engine.DeleteSheets(1, 1);
  ASSERT_EQ(engine.GetNumSheets(), 2);
  EXPECT_EQ(engine.GetSheetName(1), "Action0");
  EXPECT_EQ(engine.GetSheetName(2), "Action1");
  EXPECT_EQ(engine.GetSheetName(3), "");
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"p"});
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);

  engine.SetSheetName(2, "Renamed");
  EXPECT_EQ(engine.GetSheetName(2), "Renamed");
  engine.SetNumSheets(4);
  EXPECT_EQ(engine.GetNumSheets(), 4);
  EXPECT_EQ(engine.GetSheetName(4), book.SheetName(4));
}

TEST_F(Qx, CurrentSheetFollowsTheBookObject) {
  book.SetSheetCount(3);
  engine.SetSheet(1);
  book.SetCurrentSheet(3);  // as the data table does through the book object
  EXPECT_EQ(engine.GetSheet(), 3);
  engine.SetSheet(1);
  EXPECT_EQ(book.CurrentSheet(), 1);
}

TEST_F(Qx, SheetNamesOutsideTheSheetsAreEmpty) {
  EXPECT_EQ(engine.GetSheetName(0), "");
  EXPECT_EQ(engine.GetSheetName(2), "");
  EXPECT_EQ(engine.GetSheetName(-1), "");
  EXPECT_EQ(engine.GetSheetName(1 << 20), "");
}

TEST_F(Qx, OnModifiedVisitsTheSheetRefillsItAndMarksTheWorkbook) {
  book.SetSheetCount(2);
  FillRows(book, 1, {{"a"}});
  FillRows(book, 2, {{"b"}});
  EngineTestPeer::CreateHeader(engine);
  engine.SetSheet(1);
  book.SetCurrentSheet(2);
  book.SetColHeading(2, "b2");
  book.SetCurrentSheet(1);
  engine.SetModified(0);

  engine.OnModified(3);  // beyond the cache: nothing
  engine.OnModified(0);
  EXPECT_EQ(engine.GetSheet(), 1);
  EXPECT_EQ(engine.GetModified(), 0);
  engine.OnModified(2);
  EXPECT_EQ(engine.GetSheet(), 2);
  EXPECT_EQ(*engine.GetHeaderList(2), (Names{"b", "b2"}));
  EXPECT_EQ(engine.GetModified(), 1);
}

TEST_F(Qx, NamesGivenBeforeAnyOpenAreKept) {
  book.SetSheetCount(2);
  engine.SetSheet(2);
  engine.SetColText(2, 1, "first");
  ASSERT_NE(engine.GetHeaderList(2), nullptr);
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"first"});
  EXPECT_EQ(engine.GetColText(2, 1), "first");
  EXPECT_EQ(*engine.GetHeaderList(1), Names{});
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);
}

TEST_F(Qx, SheetInsertAndDeleteMoveTheListsWithTheirSheets) {
  book.SetSheetCount(4);
  for (int s = 1; s <= 4; ++s) FillRows(book, s, {{"S" + std::to_string(s)}});
  EngineTestPeer::CreateHeader(engine);
  engine.DeleteSheets(2, 2);
  EXPECT_EQ(*engine.GetHeaderList(1), Names{"S1"});
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"S4"});
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);

  engine.InsertSheets(2, 2);
  ASSERT_EQ(engine.GetNumSheets(), 4);
  EXPECT_EQ(*engine.GetHeaderList(1), Names{"S1"});
  EXPECT_EQ(*engine.GetHeaderList(2), Names{});
  EXPECT_EQ(*engine.GetHeaderList(3), Names{});
  EXPECT_EQ(*engine.GetHeaderList(4), Names{"S4"});
  EXPECT_EQ(engine.GetHeaderList(5), nullptr);
  engine.InsertSheets(5, 1);
  EXPECT_EQ(*engine.GetHeaderList(5), Names{});
  EXPECT_EQ(engine.GetHeaderList(6), nullptr);
}

}  // namespace
