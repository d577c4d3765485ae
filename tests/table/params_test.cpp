// Parameters, values and styles: adding and removing columns, the column limit, unique
// names, the leading-zero rule, letters, styles, and indexes the grid would refuse.
#include <gtest/gtest.h>

#include "engine/book_access.h"
#include "grid/workbook.h"
#include "platform/message_box.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::AddParams;
using ddt::table::testing::EachEngine;
using ddt::table::testing::EngineName;
using ddt::table::testing::MakeTable;

using Params = EachEngine;

CStringList Header(CDT& table, const std::string& sheet = "Sheet1") {
  const CStringList* header = table.GetHeaderList(sheet);
  return header ? *header : CStringList{"<none>"};
}

// Fills the sheet with n parameters P1..Pn.
void FillColumns(CDT& table, int n) {
  for (int i = 1; i <= n; ++i) {
    std::string name = "P" + std::to_string(i);
    ASSERT_EQ(table.AddParam("Sheet1", name, "", CDT::DT_STYLE_NONE, "", 0), 0) << i;
  }
}

TEST_P(Params, AddParamAppendsOrInsertsBeforeAName) {
  AddParams(table(), "Sheet1", {"A", "C"}, {"a", "c"});
  std::string name = "B";
  ASSERT_EQ(table().AddParam("Sheet1", name, "b", CDT::DT_STYLE_NONE, "C", 0), 0);
  EXPECT_EQ(Header(table()), (CStringList{"A", "B", "C"}));
  EXPECT_EQ(table().GetParamValue(1, "C", "Sheet1"), "c");  // moved right with its column

  name = "D";
  ASSERT_EQ(table().AddParam("Sheet1", name, "d", CDT::DT_STYLE_NONE, "NoSuch", 0), 0);
  EXPECT_EQ(Header(table()), (CStringList{"A", "B", "C", "D"}));
  EXPECT_EQ(table().GetParamValue(1, "D", "Sheet1"), "d");
}

TEST_P(Params, AddParamMakesTheNameLegalAndUnique) {
  AddParams(table(), "Sheet1", {"Name", "Name1"});
  std::string name = " Name ";
  ASSERT_EQ(table().AddParam("Sheet1", name, "x", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(name, "Name2");
  name = "9 lives";
  ASSERT_EQ(table().AddParam("Sheet1", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(name, "_9 lives");
  EXPECT_EQ(Header(table()), (CStringList{"Name", "Name1", "Name2", "_9 lives"}));
  EXPECT_EQ(table().GetParamValue(1, "Name2", 0), "x");
}

TEST_P(Params, AddParamWithoutAUsableNameAddsNothing) {
  AddParams(table(), "Sheet1", {"A"});
  std::string blank = "   ";
  EXPECT_EQ(table().AddParam("Sheet1", blank, "v", CDT::DT_STYLE_NONE, "", 0), -1);
  EXPECT_EQ(Header(table()), (CStringList{"A"}));
}

TEST_P(Params, AddParamOnAnUnknownSheetUsesTheCurrentOne) {
  table().NewSheet("Data");
  std::string name = "P";
  ASSERT_EQ(table().AddParam("Missing", name, "v", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(Header(table(), "Data"), (CStringList{"P"}));
  EXPECT_EQ(table().GetParamValue(1, "P", "Data"), "v");
}

TEST_P(Params, TheColumnLimitIs255) {
  ddt::platform::MessageCapture boxes;
  FillColumns(table(), 254);
  std::string name = "Last";
  EXPECT_EQ(table().AddParam("Sheet1", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(table().GetColIndex("Last", 0), 255);
  EXPECT_EQ(table().GetParamLetters("Last"), "IU");

  name = "OneTooMany";
  EXPECT_EQ(table().AddParam("Sheet1", name, "", CDT::DT_STYLE_NONE, "P1", 0), -1);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.LastText(), "Error: Attempt to create more than 255 columns.");
  EXPECT_EQ(table().GetColIndex("OneTooMany", 0), -1);
  EXPECT_EQ(table().GetColIndex("P1", 0), 1);
  EXPECT_EQ(Header(table()).size(), 255u);
}

TEST_P(Params, ColumnLetters) {
  FillColumns(table(), 53);
  EXPECT_EQ(table().GetParamLetters("P1"), "A");
  EXPECT_EQ(table().GetParamLetters("P26"), "Z");
  EXPECT_EQ(table().GetParamLetters("P27"), "AA");
  EXPECT_EQ(table().GetParamLetters("P52"), "AZ");
  EXPECT_EQ(table().GetParamLetters("P53"), "BA");
  EXPECT_EQ(table().GetParamLetters("p1"), "");
}

TEST_P(Params, GetSuggestionNumbersTakenNames) {
  AddParams(table(), "Sheet1", {"Name", "Name1"});
  std::string name = "Name";
  EXPECT_EQ(table().GetSuggestion(name, "Sheet1"), "Name2");
  EXPECT_EQ(name, "Name2");
  name = "name";
  EXPECT_EQ(table().GetSuggestion(name, "Sheet1"), "name");
  name = "Name";
  EXPECT_EQ(table().GetSuggestion(name, "NoSuchSheet"), "Name");  // no header to clash with
  name = "  ";
  EXPECT_EQ(table().GetSuggestion(name, "Sheet1"), "");
}

TEST_P(Params, LeadingZerosSurviveAsText) {
  AddParams(table(), "Sheet1", {"Code"});
  struct Case {
    const char* typed;
    const char* raw;
    const char* shown;
  } cases[] = {
      {"  007 ", "=\"007\"", "007"}, {"0.50", "=\"0.50\"", "0.50"}, {"0", "0", "0"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(table().SetParamValue(2, "Code", c.typed, "Sheet1", 1), 0) << c.typed;
    EXPECT_EQ(table().GetRawValue(2, "Code", 0), c.raw) << c.typed;
    EXPECT_EQ(table().GetParamValue(2, "Code", 0), c.shown) << c.typed;
  }
}

TEST_P(Params, ValuesOfUnknownTargetsAreRefused) {
  table().NewSheet("Data");
  AddParams(table(), "Data", {"P"});
  EXPECT_EQ(table().SetParamValue(1, "p", "x", "Data", 0), -1);
  EXPECT_EQ(table().SetParamValue(1, "P", "x", "data", 0), -1);
  EXPECT_EQ(table().SetParamValue(0, "P", "x", "Data", 0), -1);
  EXPECT_EQ(table().SetParamValue(1, "P", "x", 5L, 0), -1);
  EXPECT_EQ(table().GetRawValue(0, "P", 1), "");
  EXPECT_EQ(table().GetParamValue(1, "P", "Unknown"), "");  // unknown sheet: current one
  EXPECT_EQ(table().SetParamValue(1, "P", "=1+", "Data", 0), -1);  // refused by the grid
}

TEST_P(Params, RowsBeyondTheGridChangeNothing) {
  AddParams(table(), "Sheet1", {"P", "Q"}, {"1", "2"});
  const long beyond = ddt::grid::kMaxRows + 1;
  EXPECT_EQ(table().SetParamValue(beyond, "P", "x", 0L, 0), -1);
  EXPECT_EQ(table().GetParamValue(beyond, "P", 0L), "");
  EXPECT_EQ(table().DelRow(beyond), -1);
  EXPECT_EQ(table().SetActiveCell(beyond, "P", 0), -1);
  EXPECT_EQ(table().SetNumberFormat(beyond, "P", "0.00", 0), -1);
  EXPECT_EQ(table().SetActiveCell(1, "P", 9), -1);
  EXPECT_EQ(table().SetActiveCell(1, "P", -1), -1);
  EXPECT_EQ(table().GetParamValue(1, "P", 0L), "1");
  EXPECT_EQ(table().GetParamValue(1, "Q", 0L), "2");
  EXPECT_EQ(table().m_pEngine->GetLastRow(), 1);
}

TEST_P(Params, DeleteParamAndDelRowShiftTheRest) {
  AddParams(table(), "Sheet1", {"A", "B", "C"}, {"a", "b", "c"});
  table().SetParamValue(2, "C", "c2", 0L, 0);
  EXPECT_EQ(table().DeleteParam("B"), 0);
  EXPECT_EQ(Header(table()), (CStringList{"A", "C"}));
  EXPECT_EQ(table().GetParamValue(1, "C", 0L), "c");
  EXPECT_EQ(table().DeleteParam("b"), -1);
  EXPECT_EQ(table().DeleteParam(""), -1);

  EXPECT_EQ(table().DelRow(0), -1);
  EXPECT_EQ(table().DelRow(1), 0);
  EXPECT_EQ(table().GetParamValue(1, "C", 0L), "c2");
  EXPECT_EQ(table().GetParamValue(1, "A", 0L), "");
}

TEST_P(Params, NumberFormatTouchesOnlyTheParametersCell) {
  AddParams(table(), "Sheet1", {"A", "B"}, {"1.5", "2.25"});
  table().SelectRows(1, 1, 0);  // a selection elsewhere must not be formatted
  ASSERT_EQ(table().SetNumberFormat(1, "B", "0.000", 0), 0);
  EXPECT_EQ(table().GetNumberFormat(1, "B", 0), "0.000");
  EXPECT_EQ(table().GetParamValue(1, "B", 0L), "2.250");
  EXPECT_EQ(table().GetParamValue(1, "A", 0L), "1.5");
  EXPECT_EQ(table().SetNumberFormat(1, "Missing", "0.000", 0), -1);
  EXPECT_EQ(table().GetNumberFormat(1, "Missing", 0), "");
}

TEST_P(Params, SelectParamAndHiddenColumns) {
  table().NewSheet("One");
  table().NewSheet("Two");
  AddParams(table(), "Two", {"X", "Y"});
  table().SetSheet("One");
  EXPECT_EQ(table().SelectParam("Y", 2, 0), 0);
  EXPECT_EQ(table().GetSheetName(0), "Two");
  int row = 0, col = 0;
  table().m_pEngine->GetActiveCell(row, col);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(table().SelectParam("", 0, 0), -1);
  EXPECT_EQ(table().SelectParam("y", 0, 0), -1);

  table().SetColHidden("Y", true);
  EXPECT_TRUE(ddt::engine::BookAccess::Of(table().m_pEngine)->ColHidden(0, 2));
  EXPECT_FALSE(ddt::engine::BookAccess::Of(table().m_pEngine)->ColHidden(0, 1));
  table().SetColHidden("Nope", true);  // nothing to hide
  EXPECT_FALSE(ddt::engine::BookAccess::Of(table().m_pEngine)->ColHidden(0, 1));
}

TEST_P(Params, StyleEightChangesNothing) {
  AddParams(table(), "Sheet1", {"P"});
  ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(table().m_pEngine);
  const ddt::grid::Style before = book->CellStyle(0, 1, 1);
  EXPECT_EQ(table().SetStyle(CDT::DT_STYLE_NONE, "P", 0), 0);
  EXPECT_EQ(book->CellStyle(0, 1, 1), before);
}

INSTANTIATE_TEST_SUITE_P(Table, Params, ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX),
                         EngineName);

TEST(Styles, HeadlessTablesKeepNoStyles) {
  auto table = MakeTable(CDT::DT_TYPE_QX);
  AddParams(*table, "Sheet1", {"P"}, {"v"});
  ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(table->m_pEngine);
  EXPECT_EQ(table->SetStyle(CDT::DT_STYLE_YELLOW, "P", 0), 0);
  EXPECT_EQ(table->SetStyle(CDT::DT_STYLE_GREEN, "P", 1), 0);
  EXPECT_EQ(book->CellStyle(0, 1, 1), ddt::grid::Style{});
  EXPECT_EQ(book->ColStyle(0, 1), ddt::grid::kDefaultStyle);
}

TEST(Styles, InteractiveStylesRoundTrip) {
  auto table = MakeTable(CDT::DT_TYPE_F1);
  AddParams(*table, "Sheet1", {"A", "B"}, {"1", "2"});
  for (CDT::DT_STYLE style :
       {CDT::DT_STYLE_YELLOW, CDT::DT_STYLE_LIGHT_RED, CDT::DT_STYLE_GREEN,
        CDT::DT_STYLE_WHITE_ON_BLUE, CDT::DT_STYLE_LIGHT_GREY, CDT::DT_STYLE_GREY_TEXT,
        CDT::DT_STYLE_BLUE_TEXT}) {
    ASSERT_EQ(table->SetStyle(style, "B", 3), 0);
    EXPECT_EQ(table->GetStyle("B", 3), style);
  }
  // The whole column, then one cell of it.
  ASSERT_EQ(table->SetStyle(CDT::DT_STYLE_YELLOW, "A", 0), 0);
  EXPECT_EQ(table->GetStyle("A", 0), CDT::DT_STYLE_YELLOW);
  EXPECT_EQ(table->GetStyle("A", 500), CDT::DT_STYLE_YELLOW);
  EXPECT_EQ(table->GetStyle("B", 500), CDT::DT_STYLE_PLAIN);
  ASSERT_EQ(table->SetStyle(CDT::DT_STYLE_GREEN, "A", 2), 0);
  EXPECT_EQ(table->GetStyle("A", 2), CDT::DT_STYLE_GREEN);
  EXPECT_EQ(table->GetStyle("A", 1), CDT::DT_STYLE_YELLOW);

  // A whole row through an empty name.
  ASSERT_EQ(table->SetStyle(CDT::DT_STYLE_LIGHT_RED, "", 4), 0);
  EXPECT_EQ(table->GetStyle("B", 4), CDT::DT_STYLE_LIGHT_RED);

  EXPECT_EQ(table->SetStyle(CDT::DT_STYLE_GREEN, "", 0), -1);
  EXPECT_EQ(table->SetStyle(CDT::DT_STYLE_GREEN, "Missing", 0), -1);
  EXPECT_EQ(table->GetStyle("Missing", 0), CDT::DT_STYLE_PLAIN);
}

}  // namespace
