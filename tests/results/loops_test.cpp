// The results workbook's structure and iteration loops: preparing from the input, copying
// rows by method, the run context and custom values beside each row, the nested loops over
// child tables, Reset.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "results_fixture.h"
#include "support/config_dir.h"

namespace ddt::results::testing {
namespace {

using Ranges = TestInput::Ranges;

class LoopsTest : public ResultsTest {
 protected:
  // Input: Global, A (p, q; 10 rows). Results (headless) prepared from it, scope A.
  void SetUp() override {
    input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p", "q"}}}, 10);
    results_ = Prepared(CDT::DT_TYPE_QX, *input_);
    ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
  }
  // Copies with the mode until the call gives no row, at most `calls` times; returns the
  // current row after each call, or the negative result.
  std::vector<long> Walk(int mode, int first, int count, int calls) {
    std::vector<long> seen;
    for (int i = 0; i < calls; ++i) {
      const int rc = results_->CopyNextRunRow(input_.get(), mode, first, count);
      seen.push_back(rc == 0 ? results_->GetCurrRunRow("") : rc);
    }
    return seen;
  }

  std::unique_ptr<TestInput> input_;
  std::unique_ptr<TestResults> results_;
};

TEST_F(LoopsTest, PrepareGivesTheInputsSheetsAndColumnsWithoutValues) {
  for (const char* sheet : {"Global", "A"}) EXPECT_GT(results_->GetSheetIndex(sheet), 0) << sheet;
  EXPECT_EQ(*results_->GetHeaderList("A"), (CStringList{"p", "q"}));
  EXPECT_EQ(*results_->GetHeaderList("Global"), (CStringList{"Iter", "VID", "Host", "Group"}));
  EXPECT_EQ(results_->Value("A", 1, "p"), "");
  EXPECT_EQ(results_->Value("Global", 1, "Iter"), "");
}

TEST_F(LoopsTest, NextOverSplitRunRowsKeepsRowNumbersAndEnds) {
  input_->SetRunRows({{"A", {{2, 3}, {5, 5}}}});
  EXPECT_EQ(Walk(0, 1, 1, 4), (std::vector<long>{2, 3, 5, -2}));
  // Rows keep their numbers; rows not run stay empty.
  EXPECT_EQ(results_->Value("A", 2, "p"), "A:p:2");
  EXPECT_EQ(results_->Value("A", 5, "q"), "A:q:5");
  EXPECT_EQ(results_->Value("A", 1, "p"), "");
  EXPECT_EQ(results_->Value("A", 4, "p"), "");
}

TEST_F(LoopsTest, NextWithTheWrapFlagStartsAgain) {
  input_->SetRunRows({{"A", {{2, 3}, {5, 5}}}});
  EXPECT_EQ(Walk(0x100, 1, 1, 5), (std::vector<long>{2, 3, 5, 2, 3}));
}

TEST_F(LoopsTest, ASheetWithoutRunRowsCopiesNothing) {
  input_->SetRunRows({{"A", {}}});
  EXPECT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), -1);
  EXPECT_EQ(results_->CopyNextRunRow(input_.get(), 0x100, 1, 1), -1);
  EXPECT_EQ(results_->GetCurrRunRow(""), 0);
  EXPECT_EQ(results_->Value("A", 1, "p"), "");
}

TEST_F(LoopsTest, CountedCopiesCountRows) {
  input_->SetRunRows({{"A", {{1, 10}}}});
  EXPECT_EQ(Walk(1, 1, 3, 4), (std::vector<long>{1, 2, 3, -2}));
}

TEST_F(LoopsTest, CountedCountsPositionsOfSplitRunRows) {
  input_->SetRunRows({{"A", {{2, 4}, {8, 9}}}});
  EXPECT_EQ(Walk(1, 2, 3, 4), (std::vector<long>{3, 4, 8, -2}));
}

TEST_F(LoopsTest, RepeatableRandomRepeatsForTheSameFirst) {
  input_->SetRunRows({{"A", {{1, 10}}}});
  const auto a = Walk(3, 17, 0, 8);
  auto again = Prepared(CDT::DT_TYPE_QX, *input_);
  ASSERT_EQ(again->SetScope(input_.get(), "A"), 0);
  std::vector<long> b;
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(again->CopyNextRunRow(input_.get(), 3, 17, 0), 0);
    b.push_back(again->GetCurrRunRow(""));
  }
  EXPECT_EQ(a, b);
  for (long r : a) EXPECT_TRUE(r >= 1 && r <= 10) << r;
}

TEST_F(LoopsTest, RandomCopiesOnlyRunRows) {
  input_->SetRunRows({{"A", {{3, 3}, {7, 8}}}});
  for (long r : Walk(2, 0, 0, 20)) EXPECT_TRUE(r == 3 || r == 7 || r == 8) << r;
}

TEST_F(LoopsTest, OtherMethodsCopyTheCurrentRowAgainButNeverARowThatDoesNotRun) {
  input_->SetRunRows({{"A", {{2, 3}}}});
  EXPECT_EQ(Walk(9, 0, 0, 1), (std::vector<long>{-1}));  // nothing copied yet
  EXPECT_EQ(Walk(0, 0, 0, 1), (std::vector<long>{2}));
  input_->SetCell("A", 2, 1, "changed");
  EXPECT_EQ(Walk(9, 0, 0, 1), (std::vector<long>{2}));
  EXPECT_EQ(results_->Value("A", 2, "p"), "changed");
  // A new capture leaves the current row 2 outside the run rows.
  input_->SetRunRows({{"A", {{5, 6}}}});
  EXPECT_EQ(Walk(9, 0, 0, 1), (std::vector<long>{-2}));
  EXPECT_EQ(Walk(0, 0, 0, 1), (std::vector<long>{-2}));
  EXPECT_EQ(results_->Value("A", 5, "p"), "");
}

TEST_F(LoopsTest, WithoutACurrentRowEntryTheFirstRunRowIsCopiedEveryTime) {
  input_->SetRunRows({{"A", {{4, 6}}}});
  auto fresh = Prepared(CDT::DT_TYPE_QX, *input_);  // no SetScope: no entry for A
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fresh->CopyNextRow(input_.get(), "A", 0, 1, 1), 0);
  EXPECT_EQ(fresh->GetCurrRunRow("A"), 0);
  EXPECT_EQ(fresh->Value("A", 4, "p"), "A:p:4");
  EXPECT_EQ(fresh->Value("A", 5, "p"), "");
}

TEST_F(LoopsTest, EachCopiedRowWritesTheRunContextIntoTheGlobalSheet) {
  input_->SetRunRows({{"A", {{3, 4}}}});
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->Value("Global", 3, "Iter"), "3");
  EXPECT_EQ(results_->Value("Global", 3, "VID"), "7");
  EXPECT_EQ(results_->Value("Global", 3, "Host"), "H1");
  EXPECT_EQ(results_->Value("Global", 3, "Group"), "G1");
  EXPECT_EQ(results_->Value("Global", 4, "Iter"), "");
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->Value("Global", 4, "Iter"), "4");
}

TEST_F(LoopsTest, AGlobalSheetLackingAColumnGetsTheOthers) {
  input_->SetRunRows({{"A", {{2, 2}}}});
  results_->SetSheet("Global");
  ASSERT_EQ(results_->DeleteParam("Host"), 0);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->Value("Global", 2, "Iter"), "2");
  EXPECT_EQ(results_->Value("Global", 2, "Group"), "G1");
  EXPECT_EQ(results_->GetColIndex("Host", results_->GetSheetIndex("Global")), -1);
}

TEST_F(LoopsTest, CustomValuesAreStoredBesideEachCopiedRow) {
  auto input = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p"}}, {"Custom", {"c1", "c2"}}}, 3);
  input->SetRunRows({{"A", {{2, 3}}}});
  auto results = Prepared(CDT::DT_TYPE_QX, *input);
  ASSERT_EQ(results->SetScope(input.get(), "A"), 0);
  ASSERT_EQ(results->CopyNextRunRow(input.get(), 0, 1, 1), 0);
  ASSERT_EQ(results->CopyNextRunRow(input.get(), 0, 1, 1), 0);
  EXPECT_EQ(results->Value("Custom", 2, "c1"), "Custom:c1:1");
  EXPECT_EQ(results->Value("Custom", 3, "c2"), "Custom:c2:1");
  EXPECT_EQ(results->Value("Custom", 1, "c1"), "");
}

TEST_F(LoopsTest, TheSaveSettingRewritesTheFileAfterEveryCopiedRow) {
  const ddt::test::ConfigDir config("ddt_results_save");
  const std::string file = config.File("results.xlsx");
  input_->SetRunRows({{"A", {{2, 3}}}});
  ASSERT_EQ(results_->Save(file, 1), 0);
  const auto readBack = [&](long row) {
    TestInput copy(&host_, CDT::DT_TYPE_QX);
    EXPECT_EQ(copy.Open(file), 0);
    return copy.GetParamValue(row, "p", "A");
  };
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(readBack(2), "");  // setting off: the file is as saved
  config.Write("qxctl.ini", "[TessaroSAP]\nSaveResultsSpreadSheetFile=1\n");
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(readBack(2), "A:p:2");
  EXPECT_EQ(readBack(3), "A:p:3");
}

TEST_F(LoopsTest, ResetEmptiesTheWorkbookAndForgetsEveryCurrentRow) {
  input_->SetRunRows({{"A", {{2, 5}}}});
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  ASSERT_EQ(results_->GetCurrRunRow(""), 2);
  results_->Reset(input_.get());
  EXPECT_EQ(results_->GetCurrRunRow(""), 0);
  EXPECT_EQ(results_->GetCurrRunRow("A"), 0);
  EXPECT_EQ(results_->Value("A", 2, "p"), "");
  EXPECT_EQ(*results_->GetHeaderList("A"), (CStringList{"p", "q"}));  // not renamed
  // The entry is gone: copying no longer records the row until the scope is set again.
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->GetCurrRunRow(""), 0);
}

TEST_F(LoopsTest, PreparingAgainReusesTheColumns) {
  ASSERT_EQ(results_->PrepareResults(input_.get()), 0);
  EXPECT_EQ(*results_->GetHeaderList("A"), (CStringList{"p", "q"}));
}

TEST_F(LoopsTest, GetSuggestionCleansAndNumbers) {
  std::string name = " +a,b ";
  EXPECT_EQ(results_->GetSuggestion(name, "A"), "_a_b");
  EXPECT_EQ(name, "_a_b");
  std::string p1 = "p1";
  ASSERT_EQ(results_->AddParam("A", p1, "", CDT::DT_STYLE_NONE, "", 0), 0);
  name = "p";
  EXPECT_EQ(results_->GetSuggestion(name, "A"), "p2");
  // AddParam of a results workbook names columns by this rule: a leading digit stays.
  std::string digit = "9lives";
  ASSERT_EQ(results_->AddParam("A", digit, "", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(digit, "9lives");
}

// --- Nested loops over a child table ------------------------------------------------------

class NestedLoopsTest : public ResultsTest {
 protected:
  // A (p; 3 rows) and its child table A.T whose column t reads, from row 1:
  // b1, .End 1, b2a, .end 12, b2b, .END 2, b3, .End 3
  void Build(CDT::DT_TYPE type) {
    input_ = MakeInput(type, {{"A", {"p"}}, {"A.T", {"t", "u"}}}, 8);
    const std::vector<std::string> t = {"b1", ".End 1", "b2a", ".end 12", "b2b", ".END 2", "b3", ".End 3"};
    for (int r = 1; r <= 8; ++r) input_->SetParamValue(r, "t", t[r - 1], "A.T", 0);
    input_->SetRunRows({{"A", {{1, 3}}}, {"A.T", {{1, 8}}}});
    results_ = Prepared(type, *input_);
    ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
  }
  // ResetLoop, then AdvanceLoop until the loop ends: the rows copied.
  std::vector<long> Block() {
    std::vector<long> rows;
    int rc = results_->ResetLoop(input_.get(), "T");
    while (rc == 0 && rows.size() < 20) {
      rows.push_back(results_->GetCurrRunRow("A.T"));
      rc = results_->AdvanceLoop(input_.get(), "T");
    }
    rows.push_back(results_->GetCurrRunRow("A.T"));
    return rows;
  }

  std::unique_ptr<TestInput> input_;
  std::unique_ptr<TestResults> results_;
};

TEST_F(NestedLoopsTest, EachIterationWalksItsOwnBlock) {
  Build(CDT::DT_TYPE_QX);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);  // iteration 1
  EXPECT_EQ(Block(), (std::vector<long>{1, 2}));
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);  // iteration 2
  // ".end 12" is a terminator row for AdvanceLoop (any case, any number)...
  EXPECT_EQ(Block(), (std::vector<long>{3, 4}));
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);  // iteration 3
  // ...but block 3 starts after the row reading the mark and 2, not 12.
  EXPECT_EQ(Block(), (std::vector<long>{7, 8}));
  EXPECT_EQ(results_->Value("A.T", 7, "t"), "b3");
  EXPECT_EQ(results_->Value("A.T", 7, "u"), "A.T:u:7");
  EXPECT_EQ(results_->Value("Global", 7, "Iter"), "7");
}

TEST_F(NestedLoopsTest, AMissingBlockEndsTheLoopWithoutCopying) {
  Build(CDT::DT_TYPE_QX);
  input_->SetRunRows({{"A", {{1, 5}}}, {"A.T", {{1, 8}}}});
  for (int i = 0; i < 5; ++i) ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->ResetLoop(input_.get(), "T"), -1);  // no ".End 4"
  EXPECT_EQ(results_->GetCurrRunRow("A.T"), 0);
}

TEST_F(NestedLoopsTest, ResetLoopWithoutACurrentIterationCopiesNothing) {
  Build(CDT::DT_TYPE_QX);
  // The scope has an entry holding 0: no iteration yet.
  EXPECT_EQ(results_->ResetLoop(input_.get(), "T"), -1);
  // A scope without any entry.
  auto other = Prepared(CDT::DT_TYPE_QX, *input_);
  other->m_strScope = "A";
  EXPECT_EQ(other->ResetLoop(input_.get(), "T"), -1);
  EXPECT_EQ(other->Value("A.T", 1, "t"), "");
}

TEST_F(NestedLoopsTest, AdvanceLoopEndsBeyondTheFirstRunRange) {
  Build(CDT::DT_TYPE_QX);
  input_->SetRunRows({{"A", {{1, 3}}}, {"A.T", {{1, 1}, {3, 3}}}});
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->ResetLoop(input_.get(), "T"), 0);   // row 1
  EXPECT_EQ(results_->AdvanceLoop(input_.get(), "T"), -1);  // row 3, beyond (1, 1)
  EXPECT_EQ(results_->GetCurrRunRow("A.T"), 3);
}

TEST_F(NestedLoopsTest, AdvanceLoopWithoutAnEntryEndsInsteadOfRepeating) {
  Build(CDT::DT_TYPE_QX);
  // No ResetLoop: the child table has no current-row entry.
  EXPECT_EQ(results_->AdvanceLoop(input_.get(), "T"), -1);
  EXPECT_EQ(results_->Value("A.T", 1, "t"), "b1");
}

TEST_F(NestedLoopsTest, TheInteractiveBindingStylesTheTerminatorRow) {
  Build(CDT::DT_TYPE_F1);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(Block(), (std::vector<long>{1, 2}));
  EXPECT_EQ(results_->StyleOf("A.T", "u", 2), CDT::DT_STYLE_WHITE_ON_BLUE);
  EXPECT_NE(results_->StyleOf("A.T", "u", 1), CDT::DT_STYLE_WHITE_ON_BLUE);
}

TEST_F(NestedLoopsTest, AChildTableWithoutParametersCarriesItsMark) {
  input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p"}}, {"A.E", {}}}, 2);
  input_->SetCell("A.E", 2, 1, ".End 1");
  input_->SetRunRows({{"A", {{1, 2}}}, {"A.E", {{1, 2}}}});
  results_ = Prepared(CDT::DT_TYPE_QX, *input_);
  ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->ResetLoop(input_.get(), "E"), 0);
  EXPECT_EQ(results_->AdvanceLoop(input_.get(), "E"), -1);
  EXPECT_EQ(results_->Cell("A.E", 2), ".End 1");
}

// --- The interactive binding's preparation ------------------------------------------------

TEST_F(ResultsTest, InteractivePreparationTakesRunSheetsAndColumnLooks) {
  auto input = MakeInput(CDT::DT_TYPE_F1, {{"A", {"p", "q"}}, {"B", {"r"}}}, 2);
  input->SetSheet("A");
  ASSERT_EQ(input->SetStyle(CDT::DT_STYLE_YELLOW, "q", 0), 0);
  input->SetRunRows({{"A", {{1, 2}}}, {"Global", {{1, 2}}}});
  auto results = MakeResults(CDT::DT_TYPE_F1);
  MessageCapture messages;
  ASSERT_EQ(results->PrepareResults(input.get()), 0);
  EXPECT_GT(results->GetSheetIndex("A"), 0);
  EXPECT_EQ(results->GetSheetIndex("B"), 0);       // no run rows
  EXPECT_EQ(results->GetSheetIndex("Global"), 0);  // never prepared here
  EXPECT_EQ(results->GetCurrRunRow("A"), 0);
  EXPECT_EQ(results->StyleOf("A", "q", 0), CDT::DT_STYLE_YELLOW);
  EXPECT_TRUE(messages.texts.empty());
  // Preparing again reuses the columns: one column per parameter, nothing to report.
  ASSERT_EQ(results->PrepareResults(input.get()), 0);
  EXPECT_EQ(*results->GetHeaderList("A"), (CStringList{"p", "q"}));
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ResultsTest, InteractiveRefreshBringsInNewColumnsOnly) {
  auto input = MakeInput(CDT::DT_TYPE_F1, {{"A", {"p"}}}, 2);
  input->SetRunRows({{"A", {{1, 2}}}});
  auto results = Prepared(CDT::DT_TYPE_F1, *input);
  std::string added = "n";
  ASSERT_EQ(input->AddParam("A", added, "", CDT::DT_STYLE_NONE, "", 0), 0);
  ASSERT_EQ(results->SetScope(input.get(), "A"), 0);
  EXPECT_EQ(*results->GetHeaderList("A"), (CStringList{"p", "n"}));
  EXPECT_EQ(results->SetScope(input.get(), "Nowhere"), -1);
}

// A copied row holds exactly what the input row holds: texts that look like numbers stay
// those texts, every type keeps its type, formulas stay formulas, formats go along.
TEST_F(LoopsTest, CopiedRowsHoldExactlyWhatTheInputHolds) {
  using ddt::grid::ErrorCode;
  using ddt::grid::Value;
  input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8",
                                              "p9", "p10"}}},
                     3);
  results_ = Prepared(CDT::DT_TYPE_QX, *input_);
  ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
  ddt::grid::Workbook& in = input_->Book();
  const int sheet = static_cast<int>(input_->GetSheetIndex("A"));
  const int row = 2;
  in.SetCellValue(sheet, row, 1, Value(std::string("4111111111111111")));
  in.SetCellValue(sheet, row, 2, Value(std::string("1234567890123456789")));
  in.SetCellValue(sheet, row, 3, Value(std::string("1e3")));
  in.SetCellValue(sheet, row, 4, Value(std::string(" 7 ")));
  in.SetEntry(sheet, row, 5, "'0123");  // entered with the apostrophe
  in.SetCellValue(sheet, row, 6, Value(42.5));
  in.SetCellValue(sheet, row, 7, Value(true));
  in.SetCellValue(sheet, row, 8, Value(ErrorCode::NA));
  in.SetEntry(sheet, row, 9, "=1+2");
  in.SetCellValue(sheet, row, 10, Value(45352.0));
  input_->SetNumberFormat(row, "p10", "yyyy-mm-dd", sheet);
  input_->SetRunRows({{"A", {{row, row}}}});
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);

  ddt::grid::Workbook& out = results_->Book();
  const int target = static_cast<int>(results_->GetSheetIndex("A"));
  for (int c = 1; c <= 10; ++c) {
    SCOPED_TRACE(c);
    const ddt::grid::Cell* a = in.FindCell(sheet, row, c);
    const ddt::grid::Cell* b = out.FindCell(target, row, c);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // A formula's result is computed when read; a constant is compared as stored.
    const Value va = a->formula ? in.GetCellValue(sheet, row, c) : a->value;
    const Value vb = b->formula ? out.GetCellValue(target, row, c) : b->value;
    EXPECT_EQ(vb.index(), va.index());
    EXPECT_EQ(vb, va);
    EXPECT_EQ(b->forcedText, a->forcedText);
    EXPECT_EQ(b->formula != nullptr, a->formula != nullptr);
    EXPECT_EQ(out.GetEntry(target, row, c), in.GetEntry(sheet, row, c));
    EXPECT_EQ(out.CellStyle(target, row, c).numberFormat, in.CellStyle(sheet, row, c).numberFormat);
  }
  EXPECT_EQ(results_->Value("A", row, "p5"), "'0123");
  EXPECT_EQ(results_->Value("A", row, "p9"), "=1+2");
  EXPECT_EQ(out.GetCellValue(target, row, 9), Value(3.0));
  // A script writing a value still gets the leading-zero rule.
  ASSERT_EQ(results_->SetParamValue(row, "p1", "007", "A", 0), 0);
  EXPECT_EQ(out.GetCellValue(target, row, 1), Value(std::string("007")));
}

}  // namespace
}  // namespace ddt::results::testing

namespace ddt::results::testing {
namespace {

// Each copied cell shows with its own input cell's number format, not with the first data
// row's; the saved header row keeps a format of its own.
TEST_F(ResultsTest, CopiedCellsKeepTheirOwnNumberFormats) {
  using ddt::grid::Value;
  auto input = MakeInput(CDT::DT_TYPE_QX, {{"Prices", {"Price", "Name"}}}, 3);
  ddt::grid::Workbook& in = input->Book();
  const int sheet = static_cast<int>(input->GetSheetIndex("Prices"));
  const double prices[] = {9.99, 0.1, 7};
  for (int r = 1; r <= 3; ++r) in.SetCellValue(sheet, r, 1, Value(prices[r - 1]));
  ASSERT_EQ(input->SetNumberFormat(1, "Price", "0.00", sheet), 0);
  ASSERT_EQ(input->SetNumberFormat(3, "Name", "@", sheet), 0);
  input->SetRunRows({{"Prices", {{1, 3}}}});
  auto results = Prepared(CDT::DT_TYPE_QX, *input);
  ASSERT_EQ(results->SetScope(input.get(), "Prices"), 0);
  for (int r = 1; r <= 3; ++r) ASSERT_EQ(results->CopyNextRunRow(input.get(), 0, 0, 0), 0);

  ddt::grid::Workbook& out = results->Book();
  const int target = static_cast<int>(results->GetSheetIndex("Prices"));
  const char* shown[] = {"9.99", "0.1", "7"};
  for (int r = 1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    for (int c = 1; c <= 2; ++c)
      EXPECT_EQ(out.CellStyle(target, r, c).numberFormat, in.CellStyle(sheet, r, c).numberFormat);
    EXPECT_EQ(out.GetFormattedText(target, r, 1), shown[r - 1]);
  }

  const std::string file =
      (std::filesystem::temp_directory_path() / ("ddt-formats-" + std::to_string(::getpid()) + ".xlsx"))
          .string();
  ASSERT_EQ(results->Save(file, 0), 0);
  ddt::grid::Workbook back;
  back.ReadFile(file, 4);
  std::filesystem::remove(file);
  const int saved = back.FindSheet("Prices");
  ASSERT_GT(saved, 0);
  EXPECT_EQ(back.GetEntry(saved, 1, 1), "Price");
  EXPECT_EQ(back.CellStyle(saved, 1, 1).numberFormat, "General");  // the header's own
  EXPECT_EQ(back.CellStyle(saved, 2, 1).numberFormat, "0.00");
  EXPECT_EQ(back.CellStyle(saved, 3, 1).numberFormat, "General");
  EXPECT_EQ(back.CellStyle(saved, 4, 1).numberFormat, "General");
  EXPECT_EQ(back.CellStyle(saved, 4, 2).numberFormat, "@");
}

}  // namespace
}  // namespace ddt::results::testing
