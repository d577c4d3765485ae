// Data table core: construction, the "Sheet1" placeholder, sheet management, name lookups,
// header checks and when Save writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "ddtable/window.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::AddParams;
using ddt::table::testing::EachEngine;
using ddt::table::testing::EngineName;
using ddt::table::testing::MakeTable;
using ddt::table::testing::ScratchDir;
using ddt::table::testing::Sheets;
namespace fs = std::filesystem;

using Core = EachEngine;

TEST_P(Core, FreshTableIsOneBlankSheet1) {
  EXPECT_EQ(Sheets(table()), (CStringList{"Sheet1"}));
  const CStringList* header = table().GetHeaderList("Sheet1");
  ASSERT_NE(header, nullptr);
  EXPECT_TRUE(header->empty());
  EXPECT_EQ(table().GetFileName(), "");
}

TEST_P(Core, FirstNewSheetReplacesThePlaceholder) {
  EXPECT_EQ(table().NewSheet("Login"), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Login"}));
  EXPECT_EQ(table().NewSheet("Login"), -1);
  EXPECT_EQ(table().NewSheet("Search"), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Login", "Search"}));
  EXPECT_EQ(table().NewSheet(""), -2);
  EXPECT_EQ(table().GetNumSheets(), 2);
}

TEST_P(Core, InsertingAtOneRemovesThePlaceholderThatMovedToTwo) {
  EXPECT_EQ(table().InsertSheets(1, 1), 0);
  ASSERT_EQ(table().GetNumSheets(), 1);
  EXPECT_NE(table().GetSheetName(1), "Sheet1");
}

TEST_P(Core, ASheet1HoldingDataIsNotAPlaceholder) {
  AddParams(table(), "Sheet1", {"Kept"}, {"value"});
  EXPECT_EQ(table().NewSheet("Other"), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Sheet1", "Other"}));
  EXPECT_EQ(table().GetParamValue(1, "Kept", "Sheet1"), "value");
}

TEST_P(Core, InsertBeyondTheEndIsRefused) {
  table().NewSheet("A");
  EXPECT_EQ(table().InsertSheets(3, 1), -1);
  EXPECT_EQ(Sheets(table()), (CStringList{"A"}));
  EXPECT_EQ(table().InsertSheets(2, 1), 0);  // one past the last appends
  EXPECT_EQ(table().GetNumSheets(), 2);
}

TEST_P(Core, DeletingEverySheetLeavesABlankSheet1) {
  table().NewSheet("A");
  table().NewSheet("B");
  AddParams(table(), "B", {"P"}, {"1"});
  ASSERT_EQ(table().DeleteSheets(1, 2), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Sheet1"}));
  EXPECT_TRUE(table().GetHeaderList("Sheet1")->empty());
  EXPECT_EQ(table().GetColIndex("P", 1), -1);
}

TEST_P(Core, BadDeleteRangesDeleteNothing) {
  table().NewSheet("A");
  table().NewSheet("B");
  const CStringList before = Sheets(table());
  EXPECT_EQ(table().DeleteSheets(0, 1), -1);
  EXPECT_EQ(table().DeleteSheets(-1, 2), -1);
  EXPECT_EQ(table().DeleteSheets(2, 2), -1);
  EXPECT_EQ(table().DeleteSheets(1, -3), -1);
  EXPECT_EQ(table().DeleteSheets(0, 0), -1);
  EXPECT_EQ(table().DeleteSheets(4, 0), -1);
  EXPECT_EQ(table().DeleteSheet("a"), -1);
  EXPECT_EQ(Sheets(table()), before);
  // A count of 0 from a valid first sheet deletes nothing, and that is no failure.
  EXPECT_EQ(table().DeleteSheets(1, 0), 0);
  EXPECT_EQ(table().DeleteSheets(2, 0), 0);
  EXPECT_EQ(Sheets(table()), before);
  EXPECT_EQ(table().DeleteSheet("A"), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"B"}));
}

TEST_P(Core, RenamingRefusesDuplicatesAndUnknownSheets) {
  table().NewSheet("A");
  table().NewSheet("B");
  EXPECT_EQ(table().SetSheetName("A", "B"), -1);
  EXPECT_EQ(table().SetSheetName("Missing", "C"), -1);
  EXPECT_EQ(table().SetSheetName("A", ""), -1);
  EXPECT_EQ(Sheets(table()), (CStringList{"A", "B"}));
  EXPECT_EQ(table().SetSheetName("A", "b"), 0);  // names differ by case: allowed
  EXPECT_EQ(Sheets(table()), (CStringList{"b", "B"}));

  ASSERT_EQ(table().SetSheet("B"), 0);
  EXPECT_EQ(table().SetSheetName("", "Current"), 0);  // empty: the current sheet
  EXPECT_EQ(Sheets(table()), (CStringList{"b", "Current"}));
}

TEST_P(Core, SheetLookupsAreExactAndBounded) {
  table().NewSheet("Data");
  table().NewSheet("More");
  EXPECT_EQ(table().GetSheetIndex("More"), 2);
  EXPECT_EQ(table().GetSheetIndex("more"), 0);
  EXPECT_EQ(table().GetSheetIndex("More "), 0);
  EXPECT_EQ(table().SetSheet("data"), -1);
  ASSERT_EQ(table().SetSheet("More"), 0);
  EXPECT_EQ(table().GetSheetName(0), "More");
  EXPECT_EQ(table().GetSheetName(1), "Data");
  EXPECT_EQ(table().GetSheetName(3), "");
  EXPECT_EQ(table().GetSheetName(-1), "");
  EXPECT_EQ(table().GetHeaderList("Nope"), nullptr);
  EXPECT_EQ(table().GetHeader("Nope", 1), "");
}

TEST_P(Core, ParameterLookupIsCaseSensitiveAndFirstMatch) {
  AddParams(table(), "Sheet1", {"name", "Other"});
  EXPECT_EQ(table().GetColIndex("Name", 0), -1);
  EXPECT_EQ(table().GetColIndex("name", 0), 1);
  EXPECT_EQ(table().GetColIndex("name ", 0), -1);
  EXPECT_EQ(table().ParamExists("Other", 1), 1);
  EXPECT_EQ(table().ParamExists("other", 1), 0);
  EXPECT_EQ(table().GetColIndex("Other", 2), -1);  // no such sheet

  // Two equal header texts: only the first is reachable by name.
  table().m_pEngine->SetColText(1, 3, "name");
  EXPECT_EQ(table().GetColIndex("name", 0), 1);
}

TEST_P(Core, HeaderValidityCheckReportsTheFirstDifference) {
  AddParams(table(), "Sheet1", {"A", "B", "C"});
  CStringList expected{"A", "B", "C"};
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Sheet1"), 0);
  expected.push_back("D");
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Sheet1"), 4);
  expected = {"A", "B"};
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Sheet1"), 3);
  expected = {"A", "b", "C"};
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Sheet1"), 2);
  expected = {};
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Sheet1"), 1);
  EXPECT_EQ(table().HeaderValidityCheck(&expected, "Missing"), -1);
  EXPECT_EQ(table().HeaderValidityCheck(nullptr, "Sheet1"), -1);
}

TEST_P(Core, SaveWritesOnlyWhenChangedOrUnderANewName) {
  ScratchDir dir;
  const std::string file = dir.File("table.xlsx");
  const std::string copy = dir.File("copy.xlsx");

  // Never named and changed: nowhere to write.
  AddParams(table(), "Sheet1", {"P"}, {"v"});
  EXPECT_EQ(table().Save("", 1), -1);

  ASSERT_EQ(table().Save(file, 1), 0);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(table().GetFileName(), file);

  // Unchanged under its own name (given or empty): nothing is written while the file holds
  // the workbook; a file gone missing is written again, since 0 means the file holds it.
  const auto written = fs::last_write_time(file);
  EXPECT_EQ(table().Save(file, 1), 0);
  EXPECT_EQ(table().Save("", 1), 0);
  EXPECT_EQ(fs::last_write_time(file), written);
  fs::remove(file);
  EXPECT_EQ(table().Save("", 1), 0);
  EXPECT_TRUE(fs::exists(file));

  // Unchanged under a new name: written, and the stored name follows only with the flag.
  EXPECT_EQ(table().Save(copy, 0), 0);
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_EQ(table().GetFileName(), file);

  // A change makes the next Save write under the stored name.
  table().SetParamValue(1, "P", "w", "Sheet1", 1);
  EXPECT_EQ(table().Save("", 0), 0);
  EXPECT_TRUE(fs::exists(file));
}

TEST_P(Core, UnchangedNeverNamedTableSavesNothingButSucceeds) {
  EXPECT_EQ(table().Save("", 1), 0);
}

TEST_P(Core, SaveFailureIsReported) {
  AddParams(table(), "Sheet1", {"P"}, {"v"});
  EXPECT_EQ(table().Save("/nonexistent-dir/x/table.xlsx", 0), -1);
}

TEST_P(Core, AMissingFileFailsToOpenAndKeepsTheName) {
  EXPECT_EQ(table().Open("/nonexistent-dir/table.xlsx"), -1);
  EXPECT_EQ(table().GetFileName(), "/nonexistent-dir/table.xlsx");
  auto constructed = MakeTable(GetParam(), "/nonexistent-dir/table.xlsx");
  EXPECT_EQ(constructed->GetFileName(), "/nonexistent-dir/table.xlsx");
  EXPECT_EQ(constructed->GetNumSheets(), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, Core, ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX),
                         EngineName);

TEST(TableWindows, WithoutAParentATableMakesItsOwnHost) {
  auto interactive = MakeTable(CDT::DT_TYPE_F1);
  ASSERT_NE(interactive->m_pOwnHostWnd, nullptr);
  EXPECT_EQ(interactive->m_pHostWnd, interactive->m_pOwnHostWnd);
  EXPECT_TRUE(interactive->m_pOwnHostWnd->Style() & ddt::platform::WS_SYSMENU);
  EXPECT_EQ(interactive->Parent(), interactive->m_pHostWnd);
  EXPECT_EQ(interactive->Id(), 1);

  auto headless = MakeTable(CDT::DT_TYPE_QX);
  ASSERT_NE(headless->m_pOwnHostWnd, nullptr);
  EXPECT_EQ(headless->m_pOwnHostWnd->Title(), "Frame");
  EXPECT_EQ(headless->m_pOwnHostWnd->Style() & ddt::platform::WS_OVERLAPPEDWINDOW,
            ddt::platform::WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(headless->m_pOwnHostWnd->IsVisible());
}

TEST(TableWindows, AGivenParentHostsTheTableAndIsNotOwned) {
  ddt::platform::Window host;
  ASSERT_TRUE(host.Create(nullptr, ddt::platform::WS_VISIBLE, {0, 0, 800, 600}, 7));
  {
    CDT table(&host, CDT::DT_TYPE_QX, "");
    EXPECT_EQ(table.m_pHostWnd, &host);
    EXPECT_EQ(table.m_pOwnHostWnd, nullptr);
    EXPECT_EQ(table.Parent(), &host);
    table.Resize(10, 20, 300, 200);
    EXPECT_EQ(table.GetRect(), (ddt::platform::Rect{10, 20, 310, 220}));
  }
  EXPECT_TRUE(host.IsCreated());
  EXPECT_TRUE(host.Children().empty());
}

TEST(TableWindows, UnknownTypeIsRefused) {
  EXPECT_THROW(CDT(nullptr, static_cast<CDT::DT_TYPE>(2), ""), std::invalid_argument);
}

}  // namespace
