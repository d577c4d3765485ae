// table2sheet and compare_table_sheets: blocks and their terminator rows, the shape check
// that keeps a bad table out of the sheet, and the comparison codes and bits.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "ddtable/prm.h"
#include "manager_fixture.h"
#include "ddtable/cddt_results.h"

namespace ddt::manager::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

class TransferTest : public ManagerTest {
 protected:
  void SetUp() override {
    book_ = open_workbook(Path("t.xlsx").c_str());
    ASSERT_NE(book_, nullptr);
  }
  void TearDown() override { close_input_workbook(book_); }

  std::string Cell(const std::string& sheet, int row, int col) {
    return book_->m_pEngine->GetValue(static_cast<int>(book_->GetSheetIndex(sheet)), row, col);
  }
  long LastRow(const std::string& sheet) { return get_last_res_row(book_, sheet.c_str()); }

  CDDTInput* book_ = nullptr;
};

TEST_F(TransferTest, NewSheetGetsAColumnPerNameAndEmptyNamesAreNumbered) {
  const Table table = {{"Name", ""}, {"pen", "2"}, {"ink", "5"}};
  EXPECT_EQ(table2sheet(table, book_, "Stock"), 1);
  EXPECT_EQ(*book_->GetHeaderList("Stock"), (CStringList{"Name", "#2"}));
  EXPECT_EQ(book_->GetParamValue(1, "Name", "Stock"), "pen");
  EXPECT_EQ(book_->GetParamValue(2, "#2", "Stock"), "5");
  EXPECT_EQ(Cell("Stock", 3, 1), ".End 1");
  EXPECT_EQ(LastRow("Stock"), 3);
}

TEST_F(TransferTest, BlocksStackWithCountingTerminators) {
  EXPECT_EQ(table2sheet({{"Name"}, {"a"}, {"b"}}, book_, "S"), 1);
  EXPECT_EQ(table2sheet({{"Name"}, {"c"}}, book_, "S"), 1);
  EXPECT_EQ(Cell("S", 3, 1), ".End 1");
  EXPECT_EQ(Cell("S", 4, 1), "c");  // right after the first terminator
  EXPECT_EQ(Cell("S", 5, 1), ".End 2");
  // Only a header row: no data, one more terminator.
  EXPECT_EQ(table2sheet({{"Name"}}, book_, "S"), 1);
  EXPECT_EQ(Cell("S", 6, 1), ".End 3");
  EXPECT_EQ(LastRow("S"), 6);
}

TEST_F(TransferTest, ExistingSheetTakesColumnsByPositionAndOnlyThoseItHas) {
  ASSERT_EQ(book_->NewSheet("S"), 0);
  std::string param = "First";
  ASSERT_EQ(book_->AddParam("S", param, "", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(table2sheet({{"Other", "Extra"}, {"x", "y"}}, book_, "S"), 1);
  EXPECT_EQ(book_->GetParamValue(1, "First", "S"), "x");  // the table's own name is not used
  EXPECT_EQ(Cell("S", 1, 2), "");  // no parameter in column 2: nothing written there
  EXPECT_EQ(book_->GetHeaderList("S")->size(), 1u);
  EXPECT_EQ(Cell("S", 2, 1), ".End 1");
}

TEST_F(TransferTest, BadShapesAreRefusedBeforeAnythingIsWritten) {
  // A data row shorter than row 0: the sheet is not even created.
  EXPECT_EQ(table2sheet({{"A", "B"}, {"1", "2"}, {"3"}}, book_, "New"), -1);
  EXPECT_EQ(book_->GetSheetIndex("New"), 0);

  EXPECT_EQ(table2sheet({{"A", "B"}, {"1", "2"}}, book_, "S"), 1);
  EXPECT_EQ(table2sheet({{"A", "B"}, {"5", "6"}, {"7"}}, book_, "S"), -1);
  EXPECT_EQ(LastRow("S"), 2);
  EXPECT_EQ(Cell("S", 3, 1), "");
  // A row 0 without cells where the sheet holds data.
  EXPECT_EQ(table2sheet({{}, {}}, book_, "S"), -1);
  EXPECT_EQ(LastRow("S"), 2);
  // ... is fine on a sheet without data: only the terminator row.
  EXPECT_EQ(table2sheet({{}}, book_, "Blank"), 1);
  EXPECT_EQ(Cell("Blank", 1, 1), ".End 1");

  EXPECT_EQ(table2sheet({{"A"}}, nullptr, "S"), -1);
  EXPECT_EQ(table2sheet({{"A"}}, book_, nullptr), -1);
}

TEST_F(TransferTest, PlainCFormMatchesTheVectorForm) {
  const char* cells[] = {"Name", nullptr, "pen", "2", "ink", "5"};
  EXPECT_EQ(table2sheet_cells(cells, 3, 2, book_, "C"), 1);
  EXPECT_EQ(table2sheet({{"Name", ""}, {"pen", "2"}, {"ink", "5"}}, book_, "V"), 1);
  EXPECT_EQ(*book_->GetHeaderList("C"), *book_->GetHeaderList("V"));
  for (int row = 1; row <= 3; ++row)
    for (int col = 1; col <= 2; ++col) EXPECT_EQ(Cell("C", row, col), Cell("V", row, col));
  EXPECT_EQ(table2sheet_cells(nullptr, 1, 1, book_, "D"), -1);
  EXPECT_EQ(table2sheet_cells(cells, -1, 2, book_, "D"), -1);
  EXPECT_EQ(book_->GetSheetIndex("D"), 0);
}

// compare_table_sheets against an external workbook opened through the manager.
class CompareTest : public ManagerTest {
 protected:
  void SetUp() override {
    ASSERT_NE(prm_init_data_manager(), nullptr);
    // Expected values. "Blocks" carries terminator rows with their style, which only the
    // interactive binding writes.
    const fs::path expected = Path("expected.xlsx");
    WriteWorkbook(expected,
                  {{"Grid",
                    {"A", "B", "Val#3", "Skip", "Miss1", "Miss2"},
                    {{"1", "x", "c1", "<N/A>", "m", "m"}, {"2", "y", "c2", "<N/A>", "m", "m"}}},
                   {"Blocks",
                    {"A"},
                    {{"a1"}, {".End 1"}, {"a2"}, {".End 2"}, {"a3"}, {".End 3"}}},
                   {"Top", {"A"}, {{".End 1"}, {"b1"}}}},
                  CDT::DT_TYPE_F1,
                  {{"Blocks", 2, CDT::DT_STYLE_WHITE_ON_BLUE},
                   {"Blocks", 4, CDT::DT_STYLE_WHITE_ON_BLUE},
                   {"Blocks", 6, CDT::DT_STYLE_WHITE_ON_BLUE},
                   {"Top", 1, CDT::DT_STYLE_WHITE_ON_BLUE}});
    ASSERT_NE(prm_open_external_workbook("exp", expected.c_str(), ""), nullptr);
    ASSERT_NE(prm_get_book("exp"), nullptr);

    // The run: business process "Run" (three iterations) and the sheet "Out" to check.
    const fs::path input = Path("input.xlsx");
    WriteWorkbook(input, {{"Run", {"I"}, {{"1"}, {"2"}, {"3"}}},
                          {"Out", {"A", "B", "C"}, {{"1", "x", "c1"}, {"2", "z", "c2"}, {"junk", "", ""}}}});
    input_ = open_workbook(input.c_str());
    results_ = open_results(Path("results.xlsx").c_str(), 1, nullptr, nullptr);
    ASSERT_EQ(prepare_results(results_, input_), 0);
    // The "Out" values go straight into the results sheet.
    for (int row = 1; row <= 3; ++row)
      for (const char* p : {"A", "B", "C"})
        prm_set_cell(results_, "Out", row, p, input_->GetParamValue(row, p, "Out").c_str());
    capture_runrows(input_);
    ASSERT_EQ(set_bp(input_, results_, "Run"), 0);
  }
  void TearDown() override {
    close_results(results_);
    close_input_workbook(input_);
    prm_release_data_manager();
  }

  int Compare(const char* reference, const char* first, const char* last, const char* firstIter,
              const char* lastIter, int base = 0, int size = 64) {
    buffer_.fill(kSentinel);
    return compare_table_sheets(results_, "Out", reference, first, last, firstIter, lastIter,
                                base, buffer_.data(), size);
  }
  void Advance(int times) {
    for (int i = 0; i < times; ++i) ASSERT_EQ(next_runrow(input_, results_, 0, 0, 0), 0);
  }

  CDDTInput* input_ = nullptr;
  CDDTResults* results_ = nullptr;
  std::array<char, 64> buffer_{};
};

TEST_F(CompareTest, CodesBeforeAnyCellIsCompared) {
  EXPECT_EQ(Compare("Grid", "", "", "", ""), 32);  // no "@@": no alias
  EXPECT_EQ(Compare("other@@Grid", "", "", "", ""), 32);
  EXPECT_EQ(Compare("exp@@Nope", "", "", "", ""), 128);
  EXPECT_EQ(buffer_[0], kSentinel);  // the buffer is left alone by these codes
  buffer_.fill(kSentinel);
  EXPECT_EQ(compare_table_sheets(results_, "Nope", "exp@@Grid", "", "", "", "", 0,
                                 buffer_.data(), 64),
            256);
  EXPECT_EQ(buffer_[0], kSentinel);
  EXPECT_EQ(compare_table_sheets(results_, "Out", "exp@@Grid", "", "", "", "", 0, nullptr, 64), -1);
  EXPECT_EQ(Compare("exp@@Grid", "", "", "", "", 0, 0), -1);
  EXPECT_EQ(buffer_[0], kSentinel);
  EXPECT_EQ(compare_table_sheets(nullptr, "Out", "exp@@Grid", "", "", "", "", 0, buffer_.data(), 64), -1);
}

TEST_F(CompareTest, MatchesAndMismatchesOverAColumnRange) {
  EXPECT_EQ(Compare("exp@@Grid", "A", "A", "", ""), 1);
  EXPECT_EQ(Compare("exp@@Grid", "A", "B", "", ""), 1 | 2);  // B row 2: y against z
  EXPECT_STREQ(buffer_.data(), "");
  EXPECT_EQ(Compare("exp@@Grid", "B", "B", "1", "1"), 1);  // iteration 1 only
  EXPECT_EQ(Compare("exp@@Grid", "NoSuchColumn", "", "", ""), 4);
}

TEST_F(CompareTest, SkipMarksNumberedColumnsAndMissingColumns) {
  EXPECT_EQ(Compare("exp@@Grid", "Skip", "Skip", "", ""), 4);  // every expected cell "<N/A>"
  EXPECT_EQ(Compare("exp@@Grid", "Val#3", "Val#3", "", ""), 1);  // results column 3
  EXPECT_EQ(Compare("exp@@Grid", "Miss1", "Miss2", "", ""), 8 | 4);
  EXPECT_STREQ(buffer_.data(), "<Miss1> <Miss2> ");
  EXPECT_EQ(Compare("exp@@Grid", "Miss1", "Miss2", "", "", 0, 10), 8 | 4);
  EXPECT_STREQ(buffer_.data(), "<Miss1> <");  // cut to size - 1 bytes
  EXPECT_EQ(buffer_[10], kSentinel);
  EXPECT_EQ(Compare("exp@@Grid", "", "", "", ""), 1 | 2 | 8);
}

TEST_F(CompareTest, LastIterationIsLoweredToTheExternalSheet) {
  // Results row 3 reads "junk"; the external sheet ends at row 2.
  EXPECT_EQ(Compare("exp@@Grid", "A", "A", "1", "100"), 1);
  EXPECT_EQ(Compare("exp@@Grid", "A", "A", "3", "100"), 4);
}

TEST_F(CompareTest, CurrentRunRowChoosesTheBlock) {
  // Row 1: block 1 of "Blocks", which ends at its terminator row.
  Advance(1);
  prm_set_cell(results_, "Out", 1, "A", "a1");
  EXPECT_EQ(Compare("exp@@Blocks", "", "", "", ""), 1);
  // Row 3: block 3 starts after the second terminator row.
  Advance(2);
  prm_set_cell(results_, "Out", 1, "A", "a3");
  EXPECT_EQ(Compare("exp@@Blocks", "", "", "", ""), 1);
  prm_set_cell(results_, "Out", 1, "A", "a2");
  EXPECT_EQ(Compare("exp@@Blocks", "", "", "", ""), 2);
}

TEST_F(CompareTest, BlockClosedAtTheFirstRowIsReported) {
  Advance(2);
  EXPECT_EQ(Compare("exp@@Top", "", "", "", ""), 16);
  EXPECT_STREQ(buffer_.data(), "2");
}


// A script run compares the tables it writes with table2sheet against blocks of a reference
// workbook made by another program: neither side carries the terminator style there, so the
// ".End" mark alone closes a block.
class ScriptBlockCompareTest : public ManagerTest {
 protected:
  void SetUp() override {
    if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "/usr/bin/python3 with openpyxl is not available";
    const fs::path reference = Path("reference.xlsx");
    const std::string script =
        "import openpyxl, sys\n"
        "wb = openpyxl.Workbook(); ws = wb.active; ws.title = 'Expect'\n"
        "for row in [('Item', 'Qty'), ('pen', 2), ('ink', 5), ('.End 1', None),\n"
        "            ('pen', 3), ('ink', 9), ('.End 2', None)]:\n"
        "    ws.append(row)\n"
        "wb.save(sys.argv[1])\n";
    const fs::path scriptPath = Path("make_reference.py");
    FILE* f = std::fopen(scriptPath.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(script.c_str(), f);
    std::fclose(f);
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + scriptPath.string() + "' '" +
                           reference.string() + "'").c_str()),
              0);

    ASSERT_NE(prm_init_data_manager(), nullptr);
    ASSERT_NE(prm_open_external_workbook("ref", reference.c_str(), ""), nullptr);
    const fs::path input = Path("input.xlsx");
    WriteWorkbook(input, {{"Run", {"I"}, {{"1"}, {"2"}}}});
    input_ = open_workbook(input.c_str());
    results_ = open_results(Path("results.xlsx").c_str(), 1, nullptr, nullptr);
    ASSERT_EQ(prepare_results(results_, input_), 0);
    capture_runrows(input_);
    ASSERT_EQ(set_bp(input_, results_, "Run"), 0);
  }
  void TearDown() override {
    close_results(results_);
    close_input_workbook(input_);
    prm_release_data_manager();
  }
  int Compare(const char* column, const char* iteration, int base) {
    return compare_table_sheets(results_, "Got", "ref@@Expect", column, column, iteration,
                                iteration, base, buffer_.data(), 64);
  }

  CDDTInput* input_ = nullptr;
  CDDTResults* results_ = nullptr;
  std::array<char, 64> buffer_{};
};

TEST_F(ScriptBlockCompareTest, EachIterationIsComparedWithItsOwnBlock) {
  ASSERT_EQ(next_runrow(input_, results_, 0, 0, 0), 0);
  ASSERT_EQ(table2sheet({{"Item", "Qty"}, {"pen", "2"}, {"ink", "5"}}, results_, "Got"), 1);
  // Block 1 ends at its ".End 1" row: nothing past it is compared.
  EXPECT_EQ(compare_table_sheets(results_, "Got", "ref@@Expect", "", "", "", "", 0,
                                 buffer_.data(), 64),
            1);

  ASSERT_EQ(next_runrow(input_, results_, 0, 0, 0), 0);
  ASSERT_EQ(table2sheet({{"Item", "Qty"}, {"pen", "3"}, {"ink", "7"}}, results_, "Got"), 1);
  EXPECT_EQ(get_last_res_row(results_, "Got"), 6);  // a second block below the first
  // Iteration 2 reads block 2, whose rows start after ".End 1" (results row 3 + i).
  EXPECT_EQ(compare_table_sheets(results_, "Got", "ref@@Expect", "", "", "", "", 3,
                                 buffer_.data(), 64),
            1 | 2);
  // The one mismatch is "ink"'s quantity: 7 against 9.
  EXPECT_EQ(Compare("Item", "", 3), 1);
  EXPECT_EQ(Compare("Qty", "1", 3), 1);
  EXPECT_EQ(Compare("Qty", "2", 3), 2);
}

// Where styles are stored (the interactive binding), a data cell that merely begins with
// the mark is not a terminator: the row must carry the terminator style too.
TEST_F(ManagerTest, StyledBindingNeedsTheTerminatorStyle) {
  ddt::platform::DialogTemplate dialog;
  ddt::platform::RegisterDialogTemplate(ddt::platform::kDataTableDialogTemplate, dialog);
  const fs::path reference = Path("styled.xlsx");
  WriteWorkbook(reference, {{"Blocks", {"A"}, {{"a1"}, {".Ending"}, {"a3"}, {".End 1"}}}},
                CDT::DT_TYPE_F1, {{"Blocks", 4, CDT::DT_STYLE_WHITE_ON_BLUE}});
  {
    CPrm manager(CDT::DT_TYPE_F1);
    ASSERT_NE(manager.LoadExternalWorkbook("exp", reference.string(), "", &host_), nullptr);
    CDDTResults results(&host_, CDT::DT_TYPE_F1, "1", "None", "Local");
    ASSERT_EQ(results.NewSheet("Out"), 0);
    std::string name = "A";
    ASSERT_EQ(results.AddParam("Out", name, "", CDT::DT_STYLE_NONE, "", 0), 0);
    for (long row = 1; const char* value : {"a1", ".Ending", "zzz"})
      results.SetParamValue(row++, "A", value, "Out", 1);
    std::array<char, 64> buffer{};
    // Rows 1 and 2 match; row 3 (past ".Ending") is still compared and differs.
    EXPECT_EQ(compare_table_sheets(&results, "Out", "exp@@Blocks", "", "", "", "", 0,
                                   buffer.data(), 64),
              1 | 2);
  }
}

}  // namespace
}  // namespace ddt::manager::testing
