// The exception boundaries of the exported members and C functions: nothing thrown inside
// leaves a call; the call returns its failure result with the reason as the last error, and
// a call that succeeds starts from an empty last error.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "ddtable/ddtable.h"
#include "grid/grid_error.h"
#include "platform/boundary.h"
#include "platform/last_error.h"
#include "table_fixture.h"

namespace {

using ddt::platform::LastError;
using ddt::table::testing::AddParams;
using ddt::table::testing::MakeTable;

// A headless table whose sheet lookups throw on demand, as the grid does at one of its
// limits or when memory runs out somewhere below a member.
class FailingTable : public CDT {
 public:
  FailingTable() : CDT(nullptr, DT_TYPE_QX, "") {}
  long GetSheetIndex(const std::string& name) override {
    if (fail) fail();
    return CDT::GetSheetIndex(name);
  }
  const CStringList& GetSheetList() override {
    if (fail) fail();
    return CDT::GetSheetList();
  }
  std::function<void()> fail;
};

struct Failure {
  const char* what;
  std::function<void()> raise;
  const char* text;  // the last error it leaves
};

const Failure kFailures[] = {
    {"grid limit",
     [] { throw ddt::grid::GridError("a workbook holds at most 4096 sheets"); },
     "a workbook holds at most 4096 sheets"},
    {"out of memory", [] { throw std::bad_alloc(); }, "out of memory"},
};

TEST(MemberBoundary, AnExceptionInsideAMemberBecomesItsFailureResult) {
  for (const Failure& failure : kFailures) {
    SCOPED_TRACE(failure.what);
    FailingTable table;
    table.fail = failure.raise;
    EXPECT_EQ(table.SetSheet("Sheet1"), -1);
    EXPECT_EQ(LastError(), failure.text);
    EXPECT_EQ(table.DeleteSheet("Sheet1"), -1);
    EXPECT_EQ(LastError(), failure.text);
    EXPECT_EQ(table.NewSheet("Orders"), -2);
    EXPECT_EQ(LastError(), failure.text);
    EXPECT_EQ(table.ParamExists("A", 1), 0);
    EXPECT_EQ(table.GetParamValue(1, "A", std::string("Sheet1")), "");
    EXPECT_EQ(LastError(), failure.text);

    // The table is whole afterwards, and the next call that succeeds says so.
    table.fail = nullptr;
    EXPECT_EQ(table.SetSheet("Sheet1"), 0);
    EXPECT_EQ(LastError(), "");
    EXPECT_EQ(table.GetNumSheets(), 1);
  }
}

TEST(CFunctionBoundary, AnExceptionInsideAFunctionBecomesItsFailureResult) {
  for (const Failure& failure : kFailures) {
    SCOPED_TRACE(failure.what);
    FailingTable table;
    table.fail = failure.raise;
    char buffer[16] = "untouched";
    int size = sizeof buffer;
    EXPECT_EQ(get_sheet_name(&table, 1, buffer, &size), -1);
    EXPECT_STREQ(ddt_last_error(), failure.text);
    EXPECT_EQ(std::string(buffer), "untouched");

    table.fail = nullptr;
    EXPECT_EQ(get_sheet_name(&table, 1, buffer, &size), 0);
    EXPECT_STREQ(buffer, "Sheet1");
    EXPECT_STREQ(ddt_last_error(), "");
  }
}

TEST(CFunctionBoundary, ANullHandleIsAFailureWithAReason) {
  char buffer[8];
  int size = sizeof buffer;
  EXPECT_EQ(get_sheet_count(nullptr), -1);
  EXPECT_NE(std::string(ddt_last_error()).find("get_sheet_count"), std::string::npos);
  EXPECT_EQ(get_sheet_name(nullptr, 1, buffer, &size), -1);
  EXPECT_NE(std::string(ddt_last_error()).find("get_sheet_name"), std::string::npos);
  size = 0;
  auto table = MakeTable(CDT::DT_TYPE_QX);
  EXPECT_EQ(get_sheet_name(table.get(), 1, buffer, &size), -1);
  EXPECT_NE(std::string(ddt_last_error()).find("size"), std::string::npos);
}

TEST(MemberBoundary, ASucceedingMemberClearsWhatAFailedCallLeft) {
  auto table = MakeTable(CDT::DT_TYPE_QX);
  AddParams(*table, "Sheet1", {"A"}, {"1"});
  // Members that do not record reasons of their own still start from an empty text.
  const std::function<bool()> successes[] = {
      [&] { return table->SelectRows(1, 1, 1) == 0; },
      [&] { return table->SetActiveCell(1, "A", 1) == 0; },
      [&] { return table->SetParamValue(2, "A", "2", 1L, 0) == 0; },
      [&] { return table->DelRow(2) == 0; },
      [&] { return table->UnSelectRows(1) == 0; },
  };
  for (const auto& succeed : successes) {
    ASSERT_EQ(table->SetSheet("No such sheet"), -1);
    ASSERT_NE(LastError(), "");
    EXPECT_TRUE(succeed());
    EXPECT_EQ(LastError(), "");
  }
}

TEST(MemberBoundary, QuestionsAskedAfterAFailureLeaveItsReasonToBeRead) {
  auto table = MakeTable(CDT::DT_TYPE_QX);
  AddParams(*table, "Sheet1", {"A"}, {"1"});
  EXPECT_EQ(table->Open("/nonexistent/dir/input.xlsx"), -1);
  const std::string reason = LastError();
  ASSERT_NE(reason.find("input.xlsx"), std::string::npos) << reason;
  EXPECT_FALSE(table->FileRead());
  EXPECT_EQ(table->GetFileName(), "/nonexistent/dir/input.xlsx");
  EXPECT_EQ(table->GetSheetIndex("Sheet1"), 1);
  // A failed read leaves the workbook as it was.
  EXPECT_EQ(table->GetColIndex("A", 1), 1);
  EXPECT_EQ(table->GetParamValue(1, "A", 1L), "1");
  EXPECT_EQ(table->GetSheetList().size(), 1u);
  EXPECT_EQ(LastError(), reason);
}

TEST(MemberBoundary, AMemberCalledInsideAnotherKeepsWhatItsCallerRecorded) {
  auto table = MakeTable(CDT::DT_TYPE_QX);
  {
    // As a member does that records its failure and then tidies up through other members.
    const ddt::platform::MemberScope outer;
    ddt::platform::SetLastError("Cannot save \"x.xlsx\": disk full");
    EXPECT_EQ(table->GetSheetIndex("Sheet1"), 1);
    EXPECT_EQ(table->RegisterNotify(nullptr), 1);
    EXPECT_EQ(LastError(), "Cannot save \"x.xlsx\": disk full");
  }
  // A failed write really keeps its reason past the members Save calls after it.
  std::string name = "A";
  ASSERT_EQ(table->AddParam("Sheet1", name, "1", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(table->Save("/nonexistent/dir/out.xlsx", 0), -1);
  EXPECT_NE(LastError().find("out.xlsx"), std::string::npos) << LastError();
}

}  // namespace
