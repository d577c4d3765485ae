// The interactive binding's header handling: names out of row 1, the header cache, column
// bounds and the sheet operations that keep the cache in step.
#include <gtest/gtest.h>

#include "engine/book_access.h"
#include "ddtable/dt_f1.h"
#include "engine_test_util.h"
#include "grid/grid_error.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using Names = CStringList;

namespace {

class F1Header : public ::testing::Test {
 protected:
  ParentWindow parent;
  CDT_F1 engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);

  // Gives the workbook `count` sheets whose row 1 holds "S<n>" so each sheet's list is known.
  void NamedSheets(int count) {
    book.SetSheetCount(count);
    for (int s = 1; s <= count; ++s) FillRows(book, s, {{"S" + std::to_string(s)}, {"v"}});
    EngineTestPeer::CreateHeader(engine);
  }
};

TEST_F(F1Header, NamesLeaveTheCellsAndDataMovesUp) {
  FillRows(book, 1, {{" id ", "", "\tname"}, {"1", "2", "3"}, {"4"}});
  EngineTestPeer::CreateHeader(engine);

  ASSERT_NE(engine.GetHeaderList(1), nullptr);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"id", "", "name"}));
  EXPECT_EQ(book.ColHeading(1), "id");
  EXPECT_EQ(book.ColHeading(2), "");
  EXPECT_EQ(book.ColHeading(3), "name");
  // Row 1 in memory is the first data row.
  EXPECT_EQ(engine.GetValue(1, 1, 1), "1");
  EXPECT_EQ(engine.GetValue(1, 1, 3), "3");
  EXPECT_EQ(engine.GetValue(1, 2, 1), "4");
  EXPECT_EQ(engine.GetLastRow(), 2);
  EXPECT_EQ(engine.GetLastCol(), 3);
  // The gap keeps the names after it on their own columns and answers its letter.
  EXPECT_EQ(engine.GetColText(1, 1), "id");
  EXPECT_EQ(engine.GetColText(1, 2), "B");
  EXPECT_EQ(engine.GetColText(1, 3), "name");
  EXPECT_EQ(engine.GetColText(1, 4), "D");
}

TEST_F(F1Header, EmptyHeaderRowGivesEmptyNamesAndLetters) {
  FillRows(book, 1, {{"", ""}, {"a", "b"}});
  EngineTestPeer::CreateHeader(engine);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"", ""}));
  EXPECT_EQ(engine.GetColText(1, 1), "A");
  EXPECT_EQ(engine.GetColText(1, 2), "B");
  EXPECT_EQ(engine.GetColText(1, 27), "AA");
  EXPECT_EQ(engine.GetValue(1, 1, 2), "b");
}

TEST_F(F1Header, EverySheetGetsItsListAndTheLastSheetIsCurrent) {
  book.SetSheetCount(3);
  FillRows(book, 1, {{"a1", "a2"}});
  FillRows(book, 3, {{"c1"}, {"x"}});
  EngineTestPeer::CreateHeader(engine);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"a1", "a2"}));
  EXPECT_EQ(*engine.GetHeaderList(2), Names{});
  EXPECT_EQ(*engine.GetHeaderList(3), (Names{"c1"}));
  EXPECT_EQ(engine.GetHeaderList(0), nullptr);
  EXPECT_EQ(engine.GetHeaderList(4), nullptr);
  EXPECT_EQ(engine.GetSheet(), 3);
  EXPECT_EQ(engine.GetValue(3, 1, 1), "x");
  EXPECT_EQ(engine.GetColText(4, 1), "A");  // no list for that sheet: letters
}

TEST_F(F1Header, LastColFollowsNamedColumnsAfterTheDataUpTo255) {
  EXPECT_EQ(engine.GetLastCol(), 0);
  FillRows(book, 1, {{"", "x"}});
  EXPECT_EQ(engine.GetLastCol(), 2);
  engine.SetColText(1, 3, "p3");
  engine.SetColText(1, 4, "p4");
  engine.SetColText(1, 6, "p6");  // not directly after: does not count
  EXPECT_EQ(engine.GetLastCol(), 4);

  book.SetColHeading(255, "last");
  book.SetEntry(1, 1, 254, "v");
  EXPECT_EQ(engine.GetLastCol(), 255);
  book.SetColHeading(256, "beyond");
  EXPECT_EQ(engine.GetLastCol(), 255);
  book.SetEntry(1, 1, 300, "far");
  EXPECT_EQ(engine.GetLastCol(), 255);
}

TEST_F(F1Header, LastRowIsZeroWithoutAnyTextAndOneForRowOneOnly) {
  EXPECT_EQ(engine.GetLastRow(), 0);
  engine.SetColText(1, 1, "name");  // header texts are not data
  EXPECT_EQ(engine.GetLastRow(), 0);
  FillRows(book, 1, {{"", "v"}});
  EXPECT_EQ(engine.GetLastRow(), 1);
  FillRows(book, 1, {{"w"}}, 5);
  EXPECT_EQ(engine.GetLastRow(), 5);
}

TEST_F(F1Header, SetColTextNamesTheColumnAndRefreshesTheList) {
  FillRows(book, 1, {{"a"}, {"1"}});
  EngineTestPeer::CreateHeader(engine);
  CStringList* names = engine.GetHeaderList(1);
  engine.SetColText(1, 2, "b");
  EXPECT_EQ(book.ColHeading(2), "b");
  // The list handed out before is the one refreshed.
  EXPECT_EQ(engine.GetHeaderList(1), names);
  EXPECT_EQ(*names, (Names{"a", "b"}));
  EXPECT_EQ(engine.GetColText(1, 2), "b");
  // A name that does not follow the named columns directly is not part of the list.
  engine.SetColText(1, 4, "d");
  EXPECT_EQ(*names, (Names{"a", "b"}));
  EXPECT_EQ(engine.GetColText(1, 4), "D");
}

TEST_F(F1Header, ColumnInsertAndDeleteRefreshTheCurrentList) {
  FillRows(book, 1, {{"a", "b"}, {"1", "2"}});
  EngineTestPeer::CreateHeader(engine);
  engine.InsertRange(-1, 2, -1, 2, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"a", "", "b"}));
  EXPECT_EQ(engine.GetValue(1, 1, 3), "2");
  engine.DeleteRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"", "b"}));
}

TEST_F(F1Header, DeleteSheetsDropsExactlyTheDeletedLists) {
  NamedSheets(4);
  engine.DeleteSheets(2, 2);
  EXPECT_EQ(engine.GetNumSheets(), 2);
  ASSERT_NE(engine.GetHeaderList(2), nullptr);
  EXPECT_EQ(*engine.GetHeaderList(1), Names{"S1"});
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"S4"});
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);
}

TEST_F(F1Header, DeleteSheetsRestoresTheInternalChangeFlag) {
  NamedSheets(3);
  engine.DeleteSheets(3, 1);
  EXPECT_EQ(engine.m_bInternalChange, 0);
  engine.m_bInternalChange = 1;
  engine.DeleteSheets(2, 1);
  EXPECT_EQ(engine.m_bInternalChange, 1);
  // A refused deletion restores it as well.
  engine.m_bInternalChange = 0;
  EXPECT_THROW(engine.DeleteSheets(5, 1), ddt::grid::GridError);
  EXPECT_EQ(engine.m_bInternalChange, 0);
  EXPECT_EQ(*engine.GetHeaderList(1), Names{"S1"});
}

TEST_F(F1Header, InsertSheetsAddsEmptyListsAtThePosition) {
  NamedSheets(3);
  engine.InsertSheets(2, 2);
  ASSERT_EQ(engine.GetNumSheets(), 5);
  EXPECT_EQ(*engine.GetHeaderList(1), Names{"S1"});
  EXPECT_EQ(*engine.GetHeaderList(2), Names{});
  EXPECT_EQ(*engine.GetHeaderList(3), Names{});
  EXPECT_EQ(*engine.GetHeaderList(4), Names{"S2"});
  EXPECT_EQ(*engine.GetHeaderList(5), Names{"S3"});
  EXPECT_EQ(engine.GetHeaderList(6), nullptr);
  EXPECT_EQ(engine.GetColText(4, 1), "S2");
}

TEST_F(F1Header, InsertSheetsOnePastTheLastAppends) {
  NamedSheets(2);
  engine.InsertSheets(3, 1);
  ASSERT_EQ(engine.GetNumSheets(), 3);
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"S2"});
  EXPECT_EQ(*engine.GetHeaderList(3), Names{});
  EXPECT_EQ(engine.GetHeaderList(4), nullptr);
}

TEST_F(F1Header, OnModifiedRebuildsEveryListWhenTheCountIsOff) {
  NamedSheets(2);
  engine.SetSheet(1);
  // Sheets appear behind the engine's back (through the book object) while it is blocked.
  engine.BlockModified(true);
  book.InsertSheets(3, 1);
  book.SetCurrentSheet(3);
  book.SetColHeading(1, "new");
  book.SetCurrentSheet(1);
  engine.BlockModified(false);
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);

  engine.OnModified(0);  // below 1: nothing
  EXPECT_EQ(engine.GetHeaderList(3), nullptr);
  engine.OnModified(2);
  ASSERT_NE(engine.GetHeaderList(3), nullptr);
  EXPECT_EQ(*engine.GetHeaderList(3), Names{"new"});
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"S2"});
  EXPECT_EQ(engine.GetSheet(), 1);  // back on the sheet it was on
}

TEST_F(F1Header, SheetNamesAndSheetSwitching) {
  NamedSheets(3);
  engine.SetSheetName(2, "Global");
  EXPECT_EQ(engine.GetSheetName(2), "Global");
  EXPECT_EQ(engine.GetSheetName(0), "");
  EXPECT_EQ(engine.GetSheetName(4), "");
  EXPECT_EQ(engine.GetSheetName(-7), "");

  engine.SetSheet(2);
  engine.SetSheet(0);
  EXPECT_EQ(engine.GetSheet(), 2);
  engine.SetSheet(2);
  EXPECT_EQ(engine.GetSheet(), 2);
  engine.SetSheet(3);
  EXPECT_EQ(engine.GetSheet(), 3);
}

}  // namespace
