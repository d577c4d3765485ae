// Sheet roles of the input workbook: the global and custom sheets, business processes with
// their child tables, synchronisation with another input workbook.
#include "engine/book_access.h"
#include "input_fixture.h"
#include "grid/workbook.h"
#include "manager/module.h"
#include "platform/message_box.h"

namespace ddt::input::testing {
namespace {

using Sheets = CStringList;

TEST_F(InputTest, GlobalSheetIsInsertedFirstWithItsFourColumns) {
  auto input = MakeWithSheets(CDT::DT_TYPE_F1, {"A", "B"});
  input->SetGlobalUsage(1);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"Global", "A", "B"}));
  const CStringList* header = input->GetHeaderList("Global");
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(*header, (CStringList{"Iter", "VID", "Host", "Group"}));
  EXPECT_EQ(input->GetRawValue(1, "Iter", 1), "1");
  EXPECT_EQ(input->GetRawValue(1, "VID", 1), "1");
  EXPECT_EQ(input->GetRawValue(1, "Host", 1), "Local");
  EXPECT_EQ(input->GetRawValue(1, "Group", 1), "None");
  EXPECT_EQ(input->GetStyle("Host", 0), CDT::DT_STYLE_GREY_TEXT);

  // Turning the setting off keeps the sheet; a second AddGlobals adds nothing.
  input->SetGlobalUsage(0);
  input->AddGlobals();
  EXPECT_EQ(input->GetSheetList(), (Sheets{"Global", "A", "B"}));
  EXPECT_EQ(input->GetHeaderList("Global")->size(), 4u);
}

TEST_F(InputTest, AnExistingGlobalSheetIsLeftAloneButLowerCaseDoesNotCount) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "Global"});
  input->SetGlobalUsage(1);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"A", "Global"}));
  EXPECT_TRUE(input->GetHeaderList("Global")->empty());

  auto other = MakeWithSheets(CDT::DT_TYPE_QX, {"global"});
  other->SetGlobalUsage(1);
  EXPECT_EQ(other->GetSheetList(), (Sheets{"Global", "global"}));
}

TEST_F(InputTest, OpenAddsGlobalAndCustomSheetsAsConfigured) {
  ConfigDir config;
  auto input = Make(CDT::DT_TYPE_F1);
  input->SetGlobalUsage(1);
  // Switch off (no settings file): only the global sheet.
  EXPECT_EQ(input->Open(""), 0);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"Global"}));

  config.SwitchOn();
  EXPECT_EQ(input->Open(""), 0);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"Custom", "Global"}));
  ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(input->m_pEngine);
  ASSERT_EQ(input->GetSheetName(0), "Custom");
  EXPECT_EQ(book->RowHeading(1), "Value");
  EXPECT_EQ(book->RowHeading(2), "Prompt");
  EXPECT_EQ(book->RowHeading(3), "Server");
  EXPECT_EQ(book->RowHeading(4), "Mandatory");

  // A file that cannot be read: the result is CDT::Open's, the custom step still runs.
  auto failed = Make(CDT::DT_TYPE_F1);
  EXPECT_EQ(failed->Open(config.File("missing.xlsx")), -1);
  EXPECT_EQ(failed->GetSheetIndex("Custom"), 1);

  // The headless binding never gets a custom sheet.
  auto headless = Make(CDT::DT_TYPE_QX);
  EXPECT_EQ(headless->Open(""), 0);
  EXPECT_EQ(headless->GetSheetList(), (Sheets{"Sheet1"}));
}

TEST_F(InputTest, OpenOfAFileAddsOnlyTheMissingSheets) {
  ConfigDir config;
  const std::string file = config.File("book.xlsx");
  {
    auto writer = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "Custom"});
    Column(*writer, "A", "p", {"1", "2"});
    Column(*writer, "Custom", "c", {"v"});
    ASSERT_EQ(writer->Save(file, 1), 0);
  }
  config.SwitchOn();
  auto input = Make(CDT::DT_TYPE_F1);
  input->SetGlobalUsage(1);
  ASSERT_EQ(input->Open(file), 0);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"Global", "A", "Custom"}));
  EXPECT_EQ(input->GetRawValue(2, "p", 2), "2");
  EXPECT_EQ(input->GetRawValue(1, "c", 3), "v");
  EXPECT_EQ(input->GetSheetName(0), "Custom");
  EXPECT_EQ(ddt::engine::BookAccess::Of(input->m_pEngine)->RowHeading(4), "Mandatory");
}

TEST_F(InputTest, GetChildWalksChildTablesInSheetOrder) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "B", "AB.T", "a.T", "A.U"});
  std::string name = "A";
  ASSERT_EQ(input->GetChild(name), 1);
  EXPECT_EQ(name, "A.T");
  ASSERT_EQ(input->GetChild(name), 1);
  EXPECT_EQ(name, "A.U");
  EXPECT_EQ(input->GetChild(name), 0);
  EXPECT_EQ(name, "A.U");
  name = "A.X";  // no such sheet: the first child table
  ASSERT_EQ(input->GetChild(name), 1);
  EXPECT_EQ(name, "A.T");
  name = "B";
  EXPECT_EQ(input->GetChild(name), 0);
  EXPECT_EQ(name, "B");
}

TEST_F(InputTest, DeleteBPRemovesTheProcessAndItsTablesOnly) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "AB", "A.U", "B"});
  EXPECT_EQ(input->DeleteBP("A"), 0);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"AB", "B"}));
  // Child tables without their business-process sheet go too.
  auto orphans = MakeWithSheets(CDT::DT_TYPE_QX, {"X.T", "B", "X.U"});
  EXPECT_EQ(orphans->DeleteBP("X"), 0);
  EXPECT_EQ(orphans->GetSheetList(), (Sheets{"B"}));
  EXPECT_EQ(orphans->DeleteBP("Nothing"), -1);
  EXPECT_EQ(orphans->GetSheetList(), (Sheets{"B"}));
}

TEST_F(InputTest, RenameBPRenamesEveryChildTableAndEndsWhenANameIsTaken) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "B", "A.U"});
  EXPECT_EQ(input->RenameBP("A", "C"), 0);
  EXPECT_EQ(input->GetSheetList(), (Sheets{"C", "C.T", "B", "C.U"}));

  // A child table whose new name is taken keeps its name; the walk goes on and ends.
  auto taken = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "A.U", "C.T"});
  EXPECT_EQ(taken->RenameBP("A", "C"), -1);
  EXPECT_EQ(taken->GetSheetList(), (Sheets{"C", "A.T", "C.U", "C.T"}));

  // The business process's own name taken: nothing is renamed, no tables are mixed.
  auto clash = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "C"});
  EXPECT_EQ(clash->RenameBP("A", "C"), -1);
  EXPECT_EQ(clash->GetSheetList(), (Sheets{"A", "A.T", "C"}));

  // A new name that begins with the old one does not make the walk chase its own renames.
  auto prefix = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T"});
  EXPECT_EQ(prefix->RenameBP("A", "A.X"), 0);
  EXPECT_EQ(prefix->GetSheetList(), (Sheets{"A.X", "A.X.T"}));
}

TEST_F(InputTest, SyncAddsMissingColumnsWithTheirLookButNoValues) {
  auto source = MakeWithSheets(CDT::DT_TYPE_F1, {"A", "B"});
  Column(*source, "A", "x", {"1", "2"}, CDT::DT_STYLE_YELLOW);
  Column(*source, "A", "y", {"3"}, CDT::DT_STYLE_GREY_TEXT);
  Column(*source, "B", "z", {"4"});
  // A header text that is not a legal parameter name here.
  source->SetSheet("B");
  source->m_pEngine->SetColText(2, 2, "1st");

  auto target = MakeWithSheets(CDT::DT_TYPE_F1, {"A"});
  Column(*target, "A", "y", {"keep"}, CDT::DT_STYLE_BLUE_TEXT);
  ddt::platform::MessageCapture boxes;
  const CStringList only{"A"};
  EXPECT_EQ(target->SyncSheetSelection(source.get(), 0, &only), 1);
  EXPECT_EQ(target->GetSheetList(), (Sheets{"A"}));
  EXPECT_EQ(*target->GetHeaderList("A"), (CStringList{"y", "x"}));
  EXPECT_EQ(target->GetRawValue(1, "x", 1), "");
  EXPECT_EQ(target->GetRawValue(1, "y", 1), "keep");
  target->SetSheet("A");
  EXPECT_EQ(target->GetStyle("x", 0), CDT::DT_STYLE_YELLOW);
  EXPECT_EQ(target->GetStyle("y", 0), CDT::DT_STYLE_BLUE_TEXT);
  EXPECT_EQ(boxes.Count(), 0u);

  EXPECT_EQ(target->Sync(source.get(), 0), 1);
  EXPECT_EQ(*target->GetHeaderList("B"), (CStringList{"z", "_1st"}));
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.LastText(), "Parameter name invalid: '1st', suggest to change it to '_1st'");
  // Synchronising again finds the renamed column and adds nothing.
  EXPECT_EQ(target->Sync(source.get(), 0), 1);
  EXPECT_EQ(target->GetHeaderList("B")->size(), 2u);
  EXPECT_EQ(boxes.Count(), 1u);
  EXPECT_TRUE(target->IsRedrawEnabled());
}

TEST_F(InputTest, SyncWithCopyFlagCopiesNewSheetsWhole) {
  auto source = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "B"});
  Column(*source, "A", "x", {"1", "2"});
  auto target = MakeWithSheets(CDT::DT_TYPE_QX, {"B"});
  EXPECT_EQ(target->Sync(source.get(), 1), 1);
  EXPECT_EQ(target->GetSheetList(), (Sheets{"B", "A"}));
  EXPECT_EQ(target->GetRawValue(2, "x", 2), "2");
  EXPECT_EQ(target->Sync(nullptr, 0), 0);
}

TEST_F(InputTest, ManagerAndView) {
  auto input = Make(CDT::DT_TYPE_QX);
  EXPECT_EQ(input->GetPrmManager(), ddt::CurrentManager());
  input->m_pHostWnd->Show(ddt::platform::SW_HIDE);
  input->OpenView();
  EXPECT_TRUE(input->m_pHostWnd->IsVisible());
  EXPECT_TRUE(input->m_pHostWnd->IsActive());
}

}  // namespace
}  // namespace ddt::input::testing
