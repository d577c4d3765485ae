// Custom parameters, appended tables and columns, and reference correction.
#include "engine/book_access.h"
#include "grid/workbook.h"
#include "input_fixture.h"
#include "platform/message_box.h"

namespace ddt::input::testing {
namespace {

using Sheets = CStringList;

const char* const kTwoParams =
    "[Custom:Client]\nCurrentValue=ACME\nPrompt=Client name\nIsServer=0\nMandatory=1\n"
    "[custom:Lower]\nCurrentValue=ignored\n"
    "[Custom:Mode]\nCurrentValue=fast\nIsServer=1\nMandatory=0\n";

std::vector<std::string> ColumnValues(TestInput& input, const std::string& param) {
  std::vector<std::string> out;
  const long sheet = input.GetSheetIndex("Custom");
  for (long r = 1; r <= 4; ++r) out.push_back(input.GetRawValue(r, param, sheet));
  return out;
}

TEST_F(InputTest, CustomParametersFillTheCustomSheetInFileOrder) {
  ConfigDir config;
  config.SwitchOn();
  config.Write("test.prm", kTwoParams);
  auto input = Make(CDT::DT_TYPE_F1);
  ASSERT_EQ(input->Open(""), 0);
  ASSERT_EQ(input->GetSheetIndex("Custom"), 1);

  std::string path = config.File("test.usr");
  const std::string passed = path;
  EXPECT_EQ(input->LoadCustomParameters(path), 0);
  EXPECT_EQ(path, passed);
  EXPECT_EQ(*input->GetHeaderList("Custom"), (CStringList{"Client", "Mode"}));
  EXPECT_EQ(ColumnValues(*input, "Client"),
            (std::vector<std::string>{"ACME", "Client name", "0", "1"}));
  EXPECT_EQ(ColumnValues(*input, "Mode"), (std::vector<std::string>{"fast", "", "1", "0"}));
  input->SetSheet("Custom");
  EXPECT_EQ(input->GetStyle("Mode", 0), CDT::DT_STYLE_BLUE_TEXT);

  // Loading again rewrites the rows and keeps the layout.
  config.Write("test.prm",
               "[Custom:Mode]\nCurrentValue=slow\n[Custom:Client]\nCurrentValue=Other\n");
  EXPECT_EQ(input->LoadCustomParameters(path), 0);
  EXPECT_EQ(*input->GetHeaderList("Custom"), (CStringList{"Client", "Mode"}));
  EXPECT_EQ(ColumnValues(*input, "Mode"), (std::vector<std::string>{"slow", "", "", ""}));
  EXPECT_EQ(ColumnValues(*input, "Client"), (std::vector<std::string>{"Other", "", "", ""}));

  // Missing file and short paths: nothing changes, the text comes back as it was.
  for (std::string odd : {std::string("a.x"), std::string(""), config.File("none.usr")}) {
    const std::string before = odd;
    EXPECT_EQ(input->LoadCustomParameters(odd), 0);
    EXPECT_EQ(odd, before);
  }
  EXPECT_EQ(input->GetHeaderList("Custom")->size(), 2u);
}

TEST_F(InputTest, CustomParameterNamesAreMadeLegalOnce) {
  ConfigDir config;
  config.SwitchOn();
  config.Write("n.prm", "[Custom:1st value]\nCurrentValue=v\nPrompt=p\n");
  auto input = Make(CDT::DT_TYPE_F1);
  input->Open("");
  std::string path = config.File("n.usr");
  input->LoadCustomParameters(path);
  input->LoadCustomParameters(path);
  EXPECT_EQ(*input->GetHeaderList("Custom"), (CStringList{"_1st value"}));
  EXPECT_EQ(ColumnValues(*input, "_1st value"), (std::vector<std::string>{"v", "p", "", ""}));
}

TEST_F(InputTest, HeadlessBindingWritesOnlyExistingCustomColumns) {
  ConfigDir config;
  config.Write("h.prm", kTwoParams);
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"Custom"});
  Column(*input, "Custom", "Mode", {"old"});
  std::string path = config.File("h.usr");
  EXPECT_EQ(input->LoadCustomParameters(path), 0);
  EXPECT_EQ(*input->GetHeaderList("Custom"), (CStringList{"Mode"}));
  EXPECT_EQ(ColumnValues(*input, "Mode"), (std::vector<std::string>{"fast", "", "1", "0"}));

  // Without a custom sheet nothing is written anywhere.
  auto bare = MakeWithSheets(CDT::DT_TYPE_F1, {"A"});
  Column(*bare, "A", "Mode", {"keep"});
  EXPECT_EQ(bare->LoadCustomParameters(path), 0);
  EXPECT_EQ(bare->GetSheetList(), (Sheets{"A"}));
  EXPECT_EQ(bare->GetRawValue(1, "Mode", 1), "keep");
}

TEST_F(InputTest, AppendTableMakesALegalUniqueNameAfterItsSiblings) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.Order_Items", "B"});
  std::string table = "Order Items";
  input->AppendTableByName("A", table);
  EXPECT_EQ(table, "Order_Items1");
  EXPECT_EQ(input->GetSheetList(), (Sheets{"A", "A.Order_Items", "A.Order_Items1", "B"}));

  table = "Rates";
  input->AppendTableByName("B", table);
  EXPECT_EQ(table, "Rates");
  EXPECT_EQ(input->GetSheetList().back(), "B.Rates");

  // No sheet of the business process: the table becomes sheet 1.
  table = "T";
  input->AppendTableByName("Z", table);
  EXPECT_EQ(input->GetSheetName(1), "Z.T");

  // On a fresh workbook the placeholder sheet goes and the new table keeps its name.
  auto fresh = Make(CDT::DT_TYPE_QX);
  table = "T-1";
  fresh->AppendTableByName("Sheet1", table);
  EXPECT_EQ(table, "T_1");
  EXPECT_EQ(fresh->GetSheetIndex("Sheet1.T_1"), fresh->GetNumSheets());
}

TEST_F(InputTest, OutputAndExpectedColumnsArePlacedSideBySide) {
  auto input = MakeWithSheets(CDT::DT_TYPE_F1, {"S"});
  Column(*input, "S", "in", {"1"}, CDT::DT_STYLE_BLUE_TEXT);
  Column(*input, "S", "X", {""}, CDT::DT_STYLE_GREY_TEXT);
  Column(*input, "S", "other", {""});

  std::string name = "X_exp";
  input->AppendColumnByName("S", name, "", CDT::DT_STYLE_YELLOW);
  EXPECT_EQ(name, "<X_exp>");
  EXPECT_EQ(*input->GetHeaderList("S"), (CStringList{"in", "X_exp", "X", "other"}));

  // An output column goes right after its expected column, even when that one is last.
  name = "Y_exp";
  input->AppendColumnByName("S", name, "", CDT::DT_STYLE_YELLOW);
  name = "Y_out";
  input->AppendColumnByName("S", name, "v", CDT::DT_STYLE_GREY_TEXT);
  EXPECT_EQ(*input->GetHeaderList("S"),
            (CStringList{"in", "X_exp", "X", "other", "Y_exp", "Y_out"}));
  EXPECT_EQ(input->GetRawValue(1, "Y_out", 1), "v");

  // Style-1 columns gather at the left; an output without partner goes before the first
  // expected column.
  name = "in2";
  input->AppendColumnByName("S", name, "", CDT::DT_STYLE_BLUE_TEXT);
  name = "Z";
  input->AppendColumnByName("S", name, "", CDT::DT_STYLE_GREY_TEXT);
  EXPECT_EQ(*input->GetHeaderList("S"),
            (CStringList{"in", "in2", "Z", "X_exp", "X", "other", "Y_exp", "Y_out"}));

  name = "lost";
  input->AppendColumnByName("Nope", name, "", CDT::DT_STYLE_PLAIN);
  EXPECT_EQ(name, "<lost>");
}

TEST_F(InputTest, ValueListsFillAColumnAndCloseTheBlock) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A", "A.T", "A.E"});
  std::string name = "n";
  EXPECT_EQ(input->AppendColumnByName("A", "T", name, CStringList{"10", "20", "30"},
                                      CDT::DT_STYLE_PLAIN),
            0);
  EXPECT_EQ(name, "<n>");
  EXPECT_EQ(input->Cell("A.T", 3), "30");
  EXPECT_EQ(input->Cell("A.T", 4), ".End");

  // A shorter list never overwrites the other column's data with the mark; the existing
  // terminator row closes the block.
  name = "m";
  EXPECT_EQ(input->AppendColumnByName("A", "T", name, CStringList{"1", "2"}, CDT::DT_STYLE_PLAIN),
            0);
  EXPECT_EQ(input->Cell("A.T", 3, 1), "30");
  EXPECT_EQ(input->Cell("A.T", 3, 2), "");
  EXPECT_EQ(input->Cell("A.T", 4), ".End");
  EXPECT_EQ(input->GetMaxIterations("A.T"), 4);

  // A longer list: the earlier mark keeps its row and the new one goes into the first row
  // below the values that is empty in every column.
  name = "k";
  input->AppendColumnByName("A", "E", name, CStringList{"x"}, CDT::DT_STYLE_PLAIN);
  name = "j";
  input->AppendColumnByName("A", "E", name, CStringList{"1", "2", "3"}, CDT::DT_STYLE_PLAIN);
  EXPECT_EQ(input->Cell("A.E", 2, 1), ".End");
  EXPECT_EQ(input->Cell("A.E", 3, 1), "");
  EXPECT_EQ(input->Cell("A.E", 3, 2), "3");
  EXPECT_EQ(input->Cell("A.E", 4, 1), ".End");

  // An empty list: empty row 1, terminator in row 2.
  auto empty = MakeWithSheets(CDT::DT_TYPE_QX, {"B.T"});
  name = "e";
  EXPECT_EQ(empty->AppendColumnByName("B", "T", name, CStringList{}, CDT::DT_STYLE_PLAIN), 0);
  EXPECT_EQ(empty->Cell("B.T", 1), "");
  EXPECT_EQ(empty->Cell("B.T", 2), ".End");

  name = "x";
  EXPECT_EQ(empty->AppendColumnByName("B", "Missing", name, CStringList{"1"}, CDT::DT_STYLE_PLAIN),
            -1);
  EXPECT_EQ(name, "x");
}

TEST_F(InputTest, ReferenceCorrectionReportsEachMissingSheetOnce) {
  auto input = MakeWithSheets(CDT::DT_TYPE_F1, {"A", "Data"});
  Column(*input, "A", "p", {"1", "2", "3"});
  Column(*input, "A", "q", {"4"});
  ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(input->m_pEngine);
  const auto text = [](const char* t) { return ddt::grid::Value(std::string(t)); };
  book->SetCellValue(1, 1, 1, text("=[]Data!A1"));
  book->SetCellValue(1, 2, 1, text("=[]'Gone Sheet'!A1"));
  book->SetCellValue(1, 3, 1, text("=Plain[x]"));
  book->SetCellValue(1, 1, 2, text("=[]'Gone Sheet'!B2"));
  book->SetCellValue(2, 1, 1, text("=[]Other!C3"));

  ddt::platform::MessageCapture boxes;
  EXPECT_TRUE(input->CorrectReferenceCells());
  EXPECT_EQ(input->Cell("A", 1), "=Data!A1");
  EXPECT_EQ(input->Cell("A", 3), "=Plain[x]");  // no "[]": never rewritten
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Messages()[0].caption, "Tessaro Workbench");
  EXPECT_EQ(boxes.Messages()[0].flags,
            ddt::platform::MB_ICONINFORMATION | ddt::platform::MB_OK);
  const std::string& message = boxes.LastText();
  EXPECT_NE(message.find("Gone Sheet\nOther\n"), std::string::npos) << message;
  EXPECT_EQ(message.find("Gone Sheet"), message.rfind("Gone Sheet")) << message;

  std::string brackets = "a[[]]b[]";
  EXPECT_EQ(input->RemoveBrackets(brackets), 1);
  EXPECT_EQ(brackets, "ab");
  EXPECT_EQ(input->RemoveBrackets(brackets), 0);
}

}  // namespace
}  // namespace ddt::input::testing
