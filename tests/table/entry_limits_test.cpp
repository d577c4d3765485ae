// The limits of a workbook (sheets, rows, columns, texts) met through the exported members
// and the C functions: each refuses with its failure result and a last error instead of
// throwing or writing something that would not read back, and what is accepted at a limit
// is saved and read back whole.
#include <string>
#include <vector>

#include "ddtable/ddtable.h"
#include "grid/limits.h"
#include "ddtable/cddt_input.h"
#include "ddtable/prm.h"
#include "manager/manager_fixture.h"
#include "platform/message_box.h"
#include "table/table_limits.h"

namespace ddt::manager::testing {
namespace {

constexpr int kText = grid::kMaxCellTextLength;

std::string LastError() { return ddt_last_error(); }

std::string Repeat(const std::string& unit, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += unit;
  return text;
}

// Fills the table up to the sheet limit (it starts with one sheet).
void FillSheets(CDT& table) {
  table.m_pEngine->InsertSheets(2, grid::kMaxSheets - static_cast<int>(table.GetNumSheets()));
  ASSERT_EQ(table.GetNumSheets(), grid::kMaxSheets);
}

class EntryLimits : public ManagerTest {};

TEST_F(EntryLimits, TextsUpToTheLimitAreSavedAndReadBackLongerOnesAreRefused) {
  const std::string file = Path("texts.xlsx").string();
  const std::string longest = Repeat("n", kText);
  const std::string wide = Repeat("é", kText);  // the limit counts characters, not bytes
  {
    CDT table(nullptr, CDT::DT_TYPE_QX, "");
    ASSERT_EQ(table.NewSheet("S"), 0);
    std::string name = longest;
    ASSERT_EQ(table.AddParam("S", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
    name = wide;
    ASSERT_EQ(table.AddParam("S", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
    std::string tooLong = longest + "x";
    EXPECT_EQ(table.AddParam("S", tooLong, "", CDT::DT_STYLE_NONE, "", 0), -1);
    EXPECT_NE(ddt::LastError().find("longer than 32767"), std::string::npos) << ddt::LastError();
    EXPECT_EQ(table.GetHeaderList("S")->size(), 2u);

    EXPECT_EQ(table.SetParamValue(1, longest, Repeat("v", kText), "S", 0), 0);
    EXPECT_EQ(table.SetParamValue(2, longest, Repeat("v", kText + 1), "S", 0), -1);
    EXPECT_NE(ddt::LastError().find("longer than"), std::string::npos);
    // The script functions refuse the same text.
    EXPECT_EQ(prm_set_cell(&table, "S", 3, longest.c_str(), Repeat("w", kText + 1).c_str()), -1);
    EXPECT_NE(LastError().find("longer than"), std::string::npos) << LastError();
    const std::vector<std::string> cells{Repeat("c", kText + 1), "value"};
    std::vector<const char*> pointers{cells[0].c_str(), cells[1].c_str()};
    CDDTInput input(nullptr, CDT::DT_TYPE_QX);
    EXPECT_EQ(table2sheet_cells(pointers.data(), 2, 1, &input, "T"), -1);
    EXPECT_EQ(input.GetSheetIndex("T"), 0);  // nothing written
    EXPECT_NE(LastError().find("longer than"), std::string::npos) << LastError();
    ASSERT_EQ(table.Save(file, 1), 0);
  }
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  ASSERT_TRUE(back.FileRead()) << ddt::LastError();
  ASSERT_NE(back.GetHeaderList("S"), nullptr);
  EXPECT_EQ(*back.GetHeaderList("S"), (CStringList{longest, wide}));
  EXPECT_EQ(back.GetParamValue(1, longest, "S"), Repeat("v", kText));
  EXPECT_EQ(back.GetParamValue(2, longest, "S"), "");
}

TEST_F(EntryLimits, SheetNamesAFileCannotHoldAreRefused) {
  const std::string file = Path("names.xlsx").string();
  const std::string longName = Repeat("s", 300);
  {
    CDT table(nullptr, CDT::DT_TYPE_QX, "");
    EXPECT_EQ(table.NewSheet("tab\there"), -2);
    EXPECT_NE(ddt::LastError().find("control character"), std::string::npos);
    EXPECT_EQ(table.GetSheetList(), (CStringList{"Sheet1"}));
    ASSERT_EQ(table.NewSheet(longName), 0);
    ASSERT_EQ(table.NewSheet("B"), 0);
    EXPECT_EQ(table.SetSheetName("B", "line\nbreak"), -1);
    EXPECT_EQ(table.GetSheetIndex("B"), 2);
    ASSERT_EQ(table.Save(file, 1), 0);
  }
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  ASSERT_TRUE(back.FileRead()) << ddt::LastError();
  EXPECT_EQ(back.GetSheetList(), (CStringList{longName, "B"}));
}

TEST_F(EntryLimits, AtTheSheetLimitMembersFailInsteadOfThrowingAndRenameNothing) {
  CDDTInput input(nullptr, CDT::DT_TYPE_QX);
  FillSheets(input);
  const CStringList before = input.GetSheetList();
  const std::string first = before.front();
  EXPECT_EQ(input.NewSheet("X"), -2);
  EXPECT_NE(ddt::LastError().find("4096"), std::string::npos) << ddt::LastError();
  EXPECT_EQ(input.InsertSheets(0, 1), -1);
  EXPECT_EQ(input.PasteSheet("Y"), -1);
  // Nothing that needs a new sheet takes an existing one instead.
  std::string table = "T";
  input.AppendTableByName(first, table);
  EXPECT_EQ(input.GetSheetList(), before);
  // The script functions give their failure results too.
  EXPECT_EQ(table2sheet_cells(nullptr, 0, 0, &input, "New"), -1);
  EXPECT_NE(LastError(), "");

  // Deleting every sheet of a full workbook works and leaves one blank sheet.
  EXPECT_EQ(input.DeleteSheets(1, grid::kMaxSheets), 0);
  EXPECT_EQ(input.GetSheetList(), (CStringList{"Sheet1"}));
}

TEST_F(EntryLimits, AFullWorkbookIsSavedAndReadBack) {
  const std::string file = Path("sheets.xlsx").string();
  {
    CDT table(nullptr, CDT::DT_TYPE_QX, "");
    FillSheets(table);
    ASSERT_EQ(table.SetSheetName(table.GetSheetName(grid::kMaxSheets), "Last"), 0);
    ASSERT_EQ(table.Save(file, 1), 0);
  }
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  ASSERT_TRUE(back.FileRead()) << ddt::LastError();
  EXPECT_EQ(back.GetNumSheets(), grid::kMaxSheets);
  EXPECT_EQ(back.GetSheetIndex("Last"), grid::kMaxSheets);
}

TEST_F(EntryLimits, TheManagerGivesItsFailureAtTheSheetLimit) {
  CPrm* manager = prm_init_data_manager();
  ASSERT_NE(manager, nullptr);
  CDDTInput* input = manager->LoadInputWorkbook(&host_, "", 1);
  ASSERT_NE(input, nullptr);
  FillSheets(*input);
  const CStringList before = input->GetSheetList();
  EXPECT_EQ(manager->NewBP("BP"), -1);
  EXPECT_NE(ddt::LastError().find("\"BP\""), std::string::npos) << ddt::LastError();
  std::string table = "T";
  EXPECT_EQ(manager->AppendTableByName(input->GetSheetName(1), table), -1);
  // The global sheet has no room either, and sheet 1 keeps its name.
  manager->SetGlobalUsage(1);
  EXPECT_EQ(input->GetSheetList(), before);
  prm_release_data_manager();
}

TEST_F(EntryLimits, RowsAndColumnsBeyondTheSheetAreRefusedByEveryCellFunction) {
  const std::string file = Path("rows.xlsx").string();
  CDDTInput input(nullptr, CDT::DT_TYPE_QX);
  ASSERT_EQ(input.NewSheet("S"), 0);
  std::string name = "p";
  ASSERT_EQ(input.AddParam("S", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
  CDT* table = &input;
  char buffer[8];
  // Row 1 of a file holds the names: the last data row is the grid's last row but one.
  constexpr long kLast = table::kMaxDataRows;
  EXPECT_EQ(prm_set_cell2(table, "S", kLast, 1, "last"), 0);
  EXPECT_EQ(prm_set_cell2(table, "S", kLast + 1, 1, "x"), -1);
  EXPECT_NE(LastError().find("row 1048576"), std::string::npos) << LastError();
  EXPECT_EQ(prm_set_cell2(table, "S", 1, grid::kMaxCols + 1L, "x"), -1);
  EXPECT_NE(LastError().find("column 16385"), std::string::npos) << LastError();
  EXPECT_EQ(prm_set_cell2(table, "S", 1, 0, "x"), -1);
  EXPECT_EQ(prm_set_cell2(table, "S", 1, -1, "x"), -1);  // never "every column"
  EXPECT_EQ(prm_get_cell2(table, "S", kLast + 1, 1, buffer, 8), -1);
  EXPECT_EQ(prm_get_cell2(table, "S", 1, grid::kMaxCols + 1L, buffer, 8), -1);
  EXPECT_EQ(prm_insert_row(table, "S", kLast + 1), -1);
  EXPECT_EQ(prm_delete_row(table, "S", 0), -1);
  EXPECT_EQ(add_runrows(table, grid::kMaxRows + 1L, grid::kMaxRows + 1L), -1);
  EXPECT_NE(LastError(), "");
  // The sheet is full: appending (row 0) has nowhere to go.
  EXPECT_EQ(prm_set_cell(table, "S", 0, "p", "more"), -1);
  EXPECT_NE(LastError().find("full"), std::string::npos) << LastError();
  EXPECT_EQ(input.SetParamValue(kLast + 1, "p", "x", "S", 0), -1);
  // A table that would run past the last row is refused whole.
  const char* cells[] = {"p", "a", "b"};
  EXPECT_EQ(table2sheet_cells(cells, 3, 1, &input, "S"), -1);
  EXPECT_NE(LastError().find("rows"), std::string::npos) << LastError();
  EXPECT_EQ(input.GetRawValue(kLast, "p", input.GetSheetIndex("S")), "last");
  ASSERT_EQ(input.Save(file, 1), 0) << ddt::LastError();
  {
    CDT back(nullptr, CDT::DT_TYPE_QX, file);
    EXPECT_EQ(back.GetParamValue(kLast, "p", "S"), "last");
  }
  // A row put in the grid's last row by other means cannot be kept: the save refuses.
  input.m_pEngine->SetValue(input.GetSheetIndex("S"), grid::kMaxRows, 1, "lost");
  EXPECT_EQ(input.Save(file, 1), -1);
  EXPECT_NE(ddt::LastError().find("1048576"), std::string::npos) << ddt::LastError();
}

TEST_F(EntryLimits, ColumnsBeyondTheParameterLimitAreRefusedWhole) {
  CDDTInput input(nullptr, CDT::DT_TYPE_QX);
  std::vector<std::string> names;
  for (int c = 1; c <= table::kMaxParamColumns + 1; ++c) names.push_back("c" + std::to_string(c));
  std::vector<const char*> row0;
  for (const std::string& n : names) row0.push_back(n.c_str());
  EXPECT_EQ(table2sheet_cells(row0.data(), 1, static_cast<int>(row0.size()), &input, "Wide"), -1);
  EXPECT_EQ(input.GetSheetIndex("Wide"), 0);
  EXPECT_NE(LastError().find("256 columns"), std::string::npos) << LastError();
  // At the limit exactly it is taken; one more column is refused by AddParam.
  EXPECT_EQ(table2sheet_cells(row0.data(), 1, table::kMaxParamColumns, &input, "Wide"), 1);
  std::string extra = "extra";
  platform::MessageCapture boxes;
  EXPECT_EQ(input.AddParam("Wide", extra, "", CDT::DT_STYLE_NONE, "", 0), -1);
  EXPECT_NE(ddt::LastError().find("255"), std::string::npos) << ddt::LastError();
}

}  // namespace
}  // namespace ddt::manager::testing
