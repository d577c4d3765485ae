// Run rows, iteration counts and terminator rows of the input workbook.
#include "input_fixture.h"

namespace ddt::input::testing {
namespace {

using Ranges = std::vector<std::pair<int, int>>;

std::vector<std::string> Rows(int n, const std::string& prefix = "v") {
  std::vector<std::string> out;
  for (int i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

class RunRowsTest : public InputTest {
 protected:
  // Global (3 rows), A (5), B (3), A.T (column 1: a, .end, b, c) and an empty C.
  std::unique_ptr<TestInput> MakeRun(CDT::DT_TYPE type) {
    auto input = Make(type);
    input->SetGlobalUsage(1);
    for (const char* s : {"A", "B", "A.T", "C"}) EXPECT_EQ(input->NewSheet(s), 0);
    input->SetParamValue(2, "Iter", "2", "Global", 0);
    input->SetParamValue(3, "Iter", "3", "Global", 0);
    Column(*input, "A", "p", Rows(5, "a"));
    Column(*input, "B", "q", Rows(3, "b"));
    Column(*input, "A.T", "t", {"a", ".end", "b", "c"});
    return input;
  }
};

TEST_F(RunRowsTest, CaptureWithAListRunsTheShortestListedProcess) {
  auto input = MakeRun(CDT::DT_TYPE_QX);
  const CStringList list{"A", "B"};
  EXPECT_EQ(input->CaptureRowsList(&list), 3);
  EXPECT_EQ(input->RunRanges("A"), (Ranges{{1, 3}}));
  EXPECT_EQ(input->RunRanges("B"), (Ranges{{1, 3}}));
  EXPECT_EQ(input->RunRanges("Global"), (Ranges{{1, 3}}));
  EXPECT_FALSE(input->HasRunEntry("C"));  // not listed
  // A.T prepared with count 3: .end numbered, closing terminator after the data.
  EXPECT_EQ(input->Cell("A.T", 2), ".End 1");
  EXPECT_EQ(input->Cell("A.T", 5), ".End 2");
  EXPECT_EQ(input->RunRanges("A.T"), (Ranges{{1, 5}}));
}

TEST_F(RunRowsTest, CaptureWithoutListOrSelectionTakesEveryRow) {
  auto input = MakeRun(CDT::DT_TYPE_QX);
  EXPECT_EQ(input->CaptureRowsList(nullptr), 0);
  EXPECT_EQ(input->RunRanges("A"), (Ranges{{1, 5}}));
  EXPECT_EQ(input->RunRanges("B"), (Ranges{{1, 3}}));
  EXPECT_EQ(input->RunRanges("Global"), (Ranges{{1, 3}}));
  EXPECT_EQ(input->RunRanges("C"), (Ranges{{1, 16384}}));  // empty business process
  EXPECT_EQ(input->RunRanges("A.T"), (Ranges{{1, 5}}));
  EXPECT_EQ(input->Cell("A.T", 5), ".End 2");
}

TEST_F(RunRowsTest, SelectedRowsRunEverywhereWithTheInteractiveBindingOnly) {
  for (CDT::DT_TYPE type : {CDT::DT_TYPE_F1, CDT::DT_TYPE_QX}) {
    auto input = MakeRun(type);
    input->SelectRows(2, 4, input->GetSheetIndex("A"));
    input->AddSelectRows(5, 5, 0);
    ASSERT_EQ(input->GetSheetName(0), "A");
    const int captured = input->CaptureRowsList(nullptr);
    if (type == CDT::DT_TYPE_F1) {
      EXPECT_EQ(captured, 4);
      EXPECT_EQ(input->RunRanges("A"), (Ranges{{2, 5}}));
      EXPECT_EQ(input->RunRanges("B"), (Ranges{{2, 5}}));
      EXPECT_EQ(input->RunRanges("Global"), (Ranges{{2, 5}}));
      EXPECT_EQ(input->RunRanges("C"), (Ranges{{2, 5}}));
      EXPECT_EQ(input->Cell("A.T", 5), ".End 2");  // prepared with count 5
    } else {
      EXPECT_EQ(captured, 0);  // the headless binding ignores the selection
      EXPECT_EQ(input->RunRanges("A"), (Ranges{{1, 5}}));
    }
    // The capture remembered sheet A; OnEndExecution goes back to it.
    input->SetSheet("B");
    EXPECT_EQ(input->OnEndExecution(), 0);
    EXPECT_EQ(input->GetSheetName(0), "A");
    // The selection of the current sheet counts with either binding.
    EXPECT_EQ(input->GetIterationCount(nullptr), 4);
  }
}

TEST_F(RunRowsTest, SelectionOfAnUnlistedSheetIsIgnored) {
  auto input = MakeRun(CDT::DT_TYPE_F1);
  input->SelectRows(2, 2, input->GetSheetIndex("B"));
  const CStringList list{"A"};
  EXPECT_EQ(input->CaptureRowsList(&list), 5);
  EXPECT_EQ(input->RunRanges("A"), (Ranges{{1, 5}}));
  EXPECT_FALSE(input->HasRunEntry("B"));
}

TEST_F(RunRowsTest, IterationCounts) {
  auto input = MakeRun(CDT::DT_TYPE_QX);
  EXPECT_EQ(input->GetIterationCount(nullptr), 3);  // B is the shortest non-empty one
  const CStringList onlyA{"A"};
  EXPECT_EQ(input->GetIterationCount(&onlyA), 5);
  EXPECT_EQ(input->GetQXIterationCount(&onlyA), 5);
  const CStringList onlyC{"C"};
  EXPECT_EQ(input->GetQXIterationCount(&onlyC), 1);  // empty: never 0
  EXPECT_EQ(input->GetMaxIterations("A"), 5);
  input->SetSheet("B");
  EXPECT_EQ(input->GetMaxIterations("A.T"), 4);
  EXPECT_EQ(input->GetSheetName(0), "B");
  EXPECT_EQ(input->GetMaxIterations(""), 3);
  EXPECT_EQ(input->GetMaxIterations("nope"), -1);
}

TEST_F(RunRowsTest, PrepareTableNumbersTerminatorsUpToTheCount) {
  auto input = MakeWithSheets(CDT::DT_TYPE_F1, {"A.T", "A.E", "A"});
  Column(*input, "A.T", "t", {"x", ".END 1", "y", ".end", "z", ".End 9"});
  EXPECT_EQ(input->PrepareTable("A.T", 2), 0);
  EXPECT_EQ(input->Cell("A.T", 2), ".END 1");  // right number in another case: kept
  EXPECT_EQ(input->Cell("A.T", 4), ".End 2");
  EXPECT_EQ(input->Cell("A.T", 6), ".End 9");  // beyond the count: left alone
  EXPECT_EQ(input->Cell("A.T", 7), "");        // last examined row is a terminator
  EXPECT_EQ(input->RunRanges("A.T"), (Ranges{{1, 6}}));

  // An empty child table gets .End 1 in row 2, styled as a terminator row.
  EXPECT_EQ(input->PrepareTable("A.E", 3), 0);
  EXPECT_EQ(input->Cell("A.E", 2), ".End 1");
  EXPECT_EQ(input->RunRanges("A.E"), (Ranges{{1, 2}}));
  EXPECT_EQ(input->GetSheetName(0), "A.E");
  short pattern = 0;
  uint32_t fg = 0, bg = 0;
  input->m_pEngine->SetActiveCell(2, 3);
  input->m_pEngine->GetPattern(pattern, fg, bg);
  EXPECT_EQ(pattern, 3);

  // A sheet without "." and a missing sheet are left alone.
  EXPECT_EQ(input->PrepareTable("A", 3), 0);
  EXPECT_FALSE(input->HasRunEntry("A"));
  EXPECT_EQ(input->PrepareTable("A.missing", 3), -1);
}

TEST_F(RunRowsTest, ClosingTerminatorNeverReplacesDataInTheLastRow) {
  auto input = MakeWithSheets(CDT::DT_TYPE_QX, {"A.T"});
  const long lastRow = input->m_pEngine->GetMaxRow();
  input->SetCell("A.T", 1, 1, "first");
  input->SetCell("A.T", static_cast<int>(lastRow), 1, "last");
  EXPECT_EQ(input->PrepareTable("A.T", 5), -1);
  EXPECT_EQ(input->Cell("A.T", static_cast<int>(lastRow)), "last");
  EXPECT_EQ(input->RunRanges("A.T"), (Ranges{{1, static_cast<int>(lastRow)}}));

  // A count below 1 examines no row; row 2 holds data and keeps it.
  auto small = MakeWithSheets(CDT::DT_TYPE_QX, {"B.T"});
  Column(*small, "B.T", "t", Rows(3));
  EXPECT_EQ(small->PrepareTable("B.T", 0), -1);
  EXPECT_EQ(small->Cell("B.T", 2), "v2");
  EXPECT_EQ(small->GetMaxIterations("B.T"), 3);
}

TEST_F(RunRowsTest, RunRowQueriesOverSplitRanges) {
  auto input = Make(CDT::DT_TYPE_QX);
  input->m_RunRows.AddSheetEntry("S");
  input->m_RunRows.AddRowsRangeEntry("S", CRowsRange{1, 3});
  input->m_RunRows.AddRowsRangeEntry("S", CRowsRange{7, 8});
  input->m_RunRows.AddSheetEntry("Empty");

  std::vector<long> rows;
  for (long k = 1; k <= 6; ++k) rows.push_back(input->GetRunRow(k, "S"));
  EXPECT_EQ(rows, (std::vector<long>{1, 2, 3, 7, 8, 0}));
  EXPECT_EQ(input->GetRunRow(0, "S"), 0);
  EXPECT_EQ(input->GetRunRow(-2, "S"), 0);

  EXPECT_EQ(input->GetNextRunRow(0, "S"), 1);
  EXPECT_EQ(input->GetNextRunRow(1, "S"), 2);
  EXPECT_EQ(input->GetNextRunRow(3, "S"), 7);
  EXPECT_EQ(input->GetNextRunRow(8, "S"), 0);
  EXPECT_EQ(input->GetNextRunRow(5, "S"), 0);

  EXPECT_EQ(input->GetNumRunRows("S"), 5);
  EXPECT_EQ(input->GetLastRunRow("S"), 8);
  for (const char* sheet : {"Empty", "Absent", ""}) {
    EXPECT_EQ(input->GetNumRunRows(sheet), 0) << sheet;
    EXPECT_EQ(input->GetRunRow(1, sheet), 0) << sheet;
    EXPECT_EQ(input->GetNextRunRow(0, sheet), 0) << sheet;
    EXPECT_EQ(input->GetLastRunRow(sheet), 0) << sheet;
  }
}

TEST_F(RunRowsTest, InsertTerminatorRowMarksTheInsertedRows) {
  auto input = MakeWithSheets(CDT::DT_TYPE_F1, {"A.T"});
  Column(*input, "A.T", "t", Rows(4));
  input->SelectRows(2, 3, 0);
  EXPECT_EQ(input->InsertTerminatorRow(), 0);
  EXPECT_EQ(input->Cell("A.T", 1), "v1");
  EXPECT_EQ(input->Cell("A.T", 2), ".End");
  EXPECT_EQ(input->Cell("A.T", 3), ".End");
  EXPECT_EQ(input->Cell("A.T", 4), "v2");
  EXPECT_EQ(input->Cell("A.T", 6), "v4");

  // Whole columns would push every row off the sheet: refused, nothing changes.
  input->m_pEngine->SetSelection(-1, 1, -1, 1);
  EXPECT_EQ(input->InsertTerminatorRow(), -1);
  EXPECT_EQ(input->GetMaxIterations("A.T"), 6);
}

}  // namespace
}  // namespace ddt::input::testing
