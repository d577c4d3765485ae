// CPrm: finding workbooks again by file name, list order, keeping workbooks in step,
// external workbooks and the current-manager reference.
#include "ddtable/prm.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "manager_fixture.h"
#include "manager/module.h"
#include "platform/files.h"

namespace ddt::manager::testing {
namespace {

// The manager's workbook list as a vector, head first.
std::vector<CDDTInput*> Order(const CPrm& prm) {
  return {prm.m_WorkbookList.begin(), prm.m_WorkbookList.end()};
}

bool HasSheet(CDT* table, const std::string& name) { return table->GetSheetIndex(name) != 0; }

class PrmTest : public ManagerTest {
 protected:
  // A workbook file with business process "Order" (one parameter, one row) and its child
  // table "Order.Items".
  std::string OrderFile(const std::string& name) {
    const fs::path path = Path(name);
    WriteWorkbook(path, {{"Order", {"Id"}, {{"17"}}}, {"Order.Items", {"Item"}, {{"pen"}}},
                         {"Other", {"X"}, {}}});
    return path.string();
  }
};

TEST_F(PrmTest, SameFileWithOtherLetterCaseIsFoundAndReopened) {
  const std::string file = OrderFile("Orders.xlsx");
  std::string shouted = file;
  shouted.replace(shouted.size() - std::string("Orders.xlsx").size(), std::string::npos,
                  "ORDERS.XLSX");
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* first = prm.LoadInputWorkbook(&host_, file, 0);
  ASSERT_NE(first, nullptr);
  first->SetParamValue(1, "Id", "changed in memory", "Order", 0);

  EXPECT_EQ(prm.LoadInputWorkbook(&host_, shouted, 0), first);
  EXPECT_EQ(prm.m_WorkbookList.size(), 1u);
  // Found again means read again, from the file it came from (the shouted name names no
  // file here), and the workbook keeps the name it saves to.
  EXPECT_EQ(first->GetParamValue(1, "Id", "Order"), "17");
  EXPECT_EQ(first->GetFileName(), file);
}

TEST_F(PrmTest, ToFrontMovesOrAddsAtTheHeadWithoutDuplicates) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* a = prm.LoadInputWorkbook(&host_, OrderFile("a.xlsx"), 0);
  CDDTInput* b = prm.LoadInputWorkbook(&host_, OrderFile("b.xlsx"), 0);
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{a, b}));

  EXPECT_EQ(prm.LoadInputWorkbook(&host_, Path("b.xlsx").string(), 1), b);
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{b, a}));

  CDDTInput* c = prm.LoadInputWorkbook(&host_, OrderFile("c.xlsx"), 1);
  CDDTInput* d = prm.LoadInputWorkbook(&host_, OrderFile("d.xlsx"), 0);
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{c, b, a, d}));

  // Found again without the flag: the order stays.
  EXPECT_EQ(prm.LoadInputWorkbook(&host_, Path("d.xlsx").string(), 0), d);
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{c, b, a, d}));
}

TEST_F(PrmTest, EmptyNamesNeverMatchAndNullParentsLoadNothing) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* first = prm.LoadInputWorkbook(&host_, "", 0);
  CDDTInput* second = prm.LoadInputWorkbook(&host_, "", 0);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  CDDTResults* results = prm.LoadResultsWorkbook(&host_, "");
  ASSERT_NE(results, nullptr);
  EXPECT_NE(prm.LoadResultsWorkbook(&host_, ""), results);
  EXPECT_EQ(prm.m_WorkbookList.size(), 4u);

  EXPECT_EQ(prm.LoadInputWorkbook(nullptr, OrderFile("x.xlsx"), 1), nullptr);
  EXPECT_EQ(prm.LoadResultsWorkbook(nullptr, Path("x.xlsx").string()), nullptr);
  EXPECT_EQ(prm.m_WorkbookList.size(), 4u);
}

TEST_F(PrmTest, ResultsWorkbooksAreFoundOnlyAsResults) {
  const std::string file = OrderFile("r.xlsx");
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* input = prm.LoadInputWorkbook(&host_, file, 0);
  CDDTResults* results = prm.LoadResultsWorkbook(&host_, file);
  ASSERT_NE(results, nullptr);
  EXPECT_NE(static_cast<CDDTInput*>(results), input);  // an input workbook is no results one
  EXPECT_EQ(results->m_strVID, "1");
  EXPECT_EQ(results->m_strGroup, "None");
  EXPECT_EQ(results->m_strHost, "Local");
  EXPECT_EQ(prm.LoadResultsWorkbook(&host_, file), results);
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{input, results}));
  // The input load finds whichever workbook of that file comes first.
  EXPECT_EQ(prm.LoadInputWorkbook(&host_, file, 0), input);

  EXPECT_EQ(prm.UnloadWorkbook(input), 0);
  EXPECT_EQ(prm.UnloadWorkbook(input), 0);  // no longer listed: nothing happens
  EXPECT_EQ(Order(prm), (std::vector<CDDTInput*>{results}));
}

TEST_F(PrmTest, DeleteBPOnThePrimaryWorkbookDeletesEverywhere) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* head = prm.LoadInputWorkbook(&host_, OrderFile("head.xlsx"), 0);
  CDDTInput* other = prm.LoadInputWorkbook(&host_, OrderFile("other.xlsx"), 0);
  CDDTResults* results = prm.LoadResultsWorkbook(&host_, OrderFile("res.xlsx"));

  EXPECT_EQ(prm.DeleteBP(other, "Other"), 0);
  EXPECT_FALSE(HasSheet(other, "Other"));
  EXPECT_TRUE(HasSheet(head, "Other"));
  EXPECT_TRUE(HasSheet(results, "Other"));

  EXPECT_EQ(prm.DeleteBP(head, "Order"), 0);
  for (CDT* table : std::vector<CDT*>{head, other, results}) {
    EXPECT_FALSE(HasSheet(table, "Order"));
    EXPECT_FALSE(HasSheet(table, "Order.Items"));  // child tables go with it
  }

  CPrm empty(CDT::DT_TYPE_QX);
  EXPECT_EQ(empty.DeleteBP(head, "Other"), 0);  // empty list: nothing happens
  EXPECT_TRUE(HasSheet(head, "Other"));
}

TEST_F(PrmTest, NewBPAndRenameBPKeepWorkbooksInStep) {
  CPrm prm(CDT::DT_TYPE_QX);
  EXPECT_EQ(prm.NewBP("Pay"), -1);
  CDDTInput* a = prm.LoadInputWorkbook(&host_, OrderFile("a.xlsx"), 0);
  CDDTInput* b = prm.LoadInputWorkbook(&host_, OrderFile("b.xlsx"), 0);
  ASSERT_EQ(b->NewSheet("Pay"), 0);
  b->SetSheet("Order");

  EXPECT_EQ(prm.NewBP("Pay"), 0);
  EXPECT_EQ(a->GetSheetName(0), "Pay");    // created: made current
  EXPECT_EQ(b->GetSheetName(0), "Order");  // had it already: current sheet unchanged

  EXPECT_EQ(prm.RenameBP("Order", "Purchase"), 0);
  for (CDT* table : std::vector<CDT*>{a, b}) {
    EXPECT_TRUE(HasSheet(table, "Purchase"));
    EXPECT_TRUE(HasSheet(table, "Purchase.Items"));
    EXPECT_FALSE(HasSheet(table, "Order"));
  }
}

TEST_F(PrmTest, GlobalUsageReachesLoadedAndLaterWorkbooks) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* before = prm.LoadInputWorkbook(&host_, OrderFile("a.xlsx"), 0);
  EXPECT_FALSE(HasSheet(before, "Global"));
  prm.SetGlobalUsage(1);
  EXPECT_TRUE(HasSheet(before, "Global"));
  CDDTInput* after = prm.LoadInputWorkbook(&host_, OrderFile("b.xlsx"), 0);
  EXPECT_TRUE(HasSheet(after, "Global"));
}

TEST_F(PrmTest, AppendColumnFourArgumentsStartsFromTheCallersNameInEveryWorkbook) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* a = prm.LoadInputWorkbook(&host_, OrderFile("a.xlsx"), 0);  // "Order" has Id
  CDDTInput* b = prm.LoadInputWorkbook(&host_, "", 0);
  ASSERT_EQ(b->NewSheet("Order"), 0);

  std::string name = "Id";
  EXPECT_EQ(prm.AppendColumnByName("Order", name, "v", CDT::DT_STYLE_NONE), 0);
  // Workbook a had Id already and made another name; b got Id itself, and the caller sees
  // what b, the last workbook, used.
  EXPECT_EQ(a->GetHeaderList("Order")->size(), 2u);
  EXPECT_NE(a->GetHeaderList("Order")->back(), "Id");
  EXPECT_EQ(*b->GetHeaderList("Order"), CStringList{"Id"});
  EXPECT_EQ(name, "<Id>");

  CPrm none(CDT::DT_TYPE_QX);
  std::string untouched = "Id";
  none.AppendColumnByName("Order", untouched, "v", CDT::DT_STYLE_NONE);
  EXPECT_EQ(untouched, "Id");
}

TEST_F(PrmTest, AppendTableChainsTheNameFromWorkbookToWorkbook) {
  CPrm prm(CDT::DT_TYPE_QX);
  CDDTInput* a = prm.LoadInputWorkbook(&host_, OrderFile("a.xlsx"), 0);  // has Order.Items
  CDDTInput* b = prm.LoadInputWorkbook(&host_, "", 0);
  ASSERT_EQ(b->NewSheet("Order"), 0);

  std::string table = "Items";
  EXPECT_EQ(prm.AppendTableByName("Order", table), 0);
  // a took a numbered name because Items existed; b received that name, not Items.
  EXPECT_NE(table, "Items");
  EXPECT_TRUE(HasSheet(a, "Order." + table));
  EXPECT_TRUE(HasSheet(b, "Order." + table));
  EXPECT_FALSE(HasSheet(b, "Order.Items"));
}

TEST_F(PrmTest, ExternalWorkbooksByFileAndAlias) {
  const std::string data = Path("data.xlsx").string();
  WriteWorkbook(data, {{"Prices", {"Item", "Price"}, {{"pen", "2"}}}});
  CPrm prm(CDT::DT_TYPE_QX);

  EXTERNAL_DATA* record = prm.LoadExternalWorkbook("shop", data, "", nullptr);
  ASSERT_NE(record, nullptr);
  ASSERT_NE(record->pWorkbook, nullptr);
  EXPECT_EQ(record->pWorkbook->GetParamValue(1, "Price", "Prices"), "2");
  EXPECT_EQ(prm.GetExternWorkbook("shop"), record->pWorkbook);
  EXPECT_EQ(prm.GetExternWorkbook("Shop"), nullptr);  // aliases compare exactly

  // The same file under a second alias (and other letter case): the first record, whose
  // alias stays; the second alias is not registered.
  std::string upper = data;
  upper.replace(upper.size() - 9, 9, "DATA.XLSX");
  EXPECT_EQ(prm.LoadExternalWorkbook("store", upper, "", nullptr), record);
  EXPECT_EQ(record->strAlias, "shop");
  EXPECT_EQ(prm.GetExternWorkbook("store"), nullptr);
  EXPECT_EQ(prm.m_ExternList.size(), 1u);
}

TEST_F(PrmTest, ExternalFilesThatAreMissingUnreadableOrRelative) {
  // A zip signature followed by garbage: a damaged workbook, not text.
  std::ofstream(Path("broken.xlsx"), std::ios::binary) << std::string("PK\x03\x04", 4)
                                                       << std::string(64, '\x01');
  fs::create_directories(Path("sub"));
  WriteWorkbook(Path("sub") / "rel.xlsx", {{"S", {"P"}, {{"from sub"}}}});
  const std::string cwd = ddt::platform::GetCurrentDirectory();
  CPrm prm(CDT::DT_TYPE_QX);

  // Missing: an empty, usable workbook under the alias.
  EXTERNAL_DATA* missing = prm.LoadExternalWorkbook("gone", Path("none.xlsx").string(), "", nullptr);
  ASSERT_NE(missing, nullptr);
  ASSERT_NE(missing->pWorkbook, nullptr);
  EXPECT_EQ(prm.GetExternWorkbook("gone"), missing->pWorkbook);
  EXPECT_EQ(missing->pWorkbook->GetNumSheets(), 1);

  // Present but unreadable: listed without a workbook.
  EXTERNAL_DATA* broken =
      prm.LoadExternalWorkbook("bad", Path("broken.xlsx").string(), "", nullptr);
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->pWorkbook, nullptr);
  EXPECT_EQ(prm.GetExternWorkbook("bad"), nullptr);

  // Relative to the directory given; the current directory is restored.
  EXTERNAL_DATA* relative = prm.LoadExternalWorkbook("rel", "rel.xlsx", Path("sub").string(), nullptr);
  ASSERT_NE(relative, nullptr);
  ASSERT_NE(relative->pWorkbook, nullptr);
  EXPECT_EQ(relative->pWorkbook->GetParamValue(1, "P", "S"), "from sub");
  EXPECT_EQ(ddt::platform::GetCurrentDirectory(), cwd);

  // An empty file name never matches a record.
  EXTERNAL_DATA* e1 = prm.LoadExternalWorkbook("e1", "", "", nullptr);
  EXTERNAL_DATA* e2 = prm.LoadExternalWorkbook("e2", "", "", nullptr);
  EXPECT_NE(e1, e2);
  EXPECT_EQ(prm.m_ExternList.size(), 5u);

  prm.ClearExternData();
  EXPECT_TRUE(prm.m_ExternList.empty());
  EXPECT_EQ(prm.GetExternWorkbook("gone"), nullptr);
}

TEST_F(PrmTest, CurrentManagerIsTheLatestAndNeverADestroyedOne) {
  auto* first = new CPrm(CDT::DT_TYPE_QX);
  EXPECT_EQ(ddt::CurrentManager(), first);
  auto* second = new CPrm(CDT::DT_TYPE_QX);
  EXPECT_EQ(ddt::CurrentManager(), second);
  delete first;  // not the current one: the reference stays
  EXPECT_EQ(ddt::CurrentManager(), second);
  CDDTInput* input = second->LoadInputWorkbook(&host_, "", 0);
  EXPECT_EQ(input->GetPrmManager(), second);
  delete second;
  EXPECT_EQ(ddt::CurrentManager(), nullptr);
}

}  // namespace
}  // namespace ddt::manager::testing
