// End-to-end check of the example data-driven run: runs the example program from the build
// tree into a fresh folder, then reads the results workbook back from disk (with the
// library, and with openpyxl as another program would) and checks it cell by cell.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ddtable/cdt.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

// One run of the example for the whole test program: its folder, output and exit status.
class ExampleRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/ddtable-example-check-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    results_ = folder_ / "results.xlsx";
    const fs::path output = folder_ / "stdout.txt";
    const std::string command = Quote(DDT_EXAMPLE_RUN) + " " + Quote(DDT_EXAMPLE_DIR) + " " +
                                Quote(results_.string()) + " > " + Quote(output.string());
    status_ = std::system(command.c_str());
    stdout_ = ReadFile(output);
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static inline fs::path folder_;
  static inline fs::path results_;
  static inline int status_ = -1;
  static inline std::string stdout_;
};

// The results workbook as the library reads it from disk.
class ResultsBook {
 public:
  explicit ResultsBook(const fs::path& path) : table_(nullptr, CDT::DT_TYPE_QX, path.string()) {}
  std::string Cell(const std::string& sheet, long row, const std::string& param) {
    return table_.GetParamValue(row, param, table_.GetSheetIndex(sheet));
  }
  std::string Column1(const std::string& sheet, long row) {
    return table_.m_pEngine->GetValue(static_cast<int>(table_.GetSheetIndex(sheet)),
                                      static_cast<int>(row), 1);
  }
  long LastRow(const std::string& sheet) {
    table_.SetSheet(sheet);
    return table_.m_pEngine->GetLastRow();
  }
  CDT& Table() { return table_; }

 private:
  CDT table_;
};

TEST_F(ExampleRun, PrintsOneLinePerIterationAndTheResultsPath) {
  ASSERT_EQ(status_, 0) << stdout_;
  std::istringstream lines(stdout_);
  std::map<std::string, int> starts;
  for (std::string line; std::getline(lines, line);)
    starts[line.substr(0, line.find(' ', line.find_first_not_of(' ')))]++;
  EXPECT_EQ(starts["Login"], 3) << stdout_;
  EXPECT_EQ(starts["BookFlight"], 2) << stdout_;
  EXPECT_EQ(starts["  Passengers"], 3) << stdout_;
  EXPECT_NE(stdout_.find("8 checks: 7 passed, 1 failed"), std::string::npos) << stdout_;
  EXPECT_NE(stdout_.find("Results workbook: " + results_.string() + "\n"), std::string::npos);
  // The one intended failure is carol's greeting.
  EXPECT_NE(stdout_.find("\"Welcome, carol!\" FAILED"), std::string::npos) << stdout_;
}

TEST_F(ExampleRun, ResultsWorkbookHoldsEveryIterationReadBackFromDisk) {
  ASSERT_EQ(status_, 0) << stdout_;
  ASSERT_TRUE(fs::exists(results_));
  ResultsBook book(results_);
  const CStringList& sheets = book.Table().GetSheetList();
  EXPECT_EQ(sheets, (CStringList{"Global", "Login", "BookFlight", "BookFlight.Passengers"}));

  // Login: the copied input row beside the output the run wrote.
  const char* users[] = {"alice", "bob", "carol"};
  for (long row = 1; row <= 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(book.Cell("Login", row, "UserName"), users[row - 1]);
    EXPECT_EQ(book.Cell("Login", row, "Greeting_out"),
              std::string("Welcome, ") + users[row - 1] + "!");
  }
  EXPECT_EQ(book.Cell("Login", 3, "Greeting_exp"), "Welcome back, carol!");
  EXPECT_EQ(book.LastRow("Login"), 3);

  // BookFlight: prices are fare times passengers.
  EXPECT_EQ(book.Cell("BookFlight", 1, "From"), "LHR");
  EXPECT_EQ(book.Cell("BookFlight", 1, "Price_out"), "1100");
  EXPECT_EQ(book.Cell("BookFlight", 2, "To"), "NRT");
  EXPECT_EQ(book.Cell("BookFlight", 2, "Price_out"), "890");
  EXPECT_EQ(book.LastRow("BookFlight"), 2);

  // The child table: both blocks with their numbered terminator rows.
  const std::string child = "BookFlight.Passengers";
  EXPECT_EQ(book.Cell(child, 1, "BoardingPass_out"), "ADA LOVELACE 12A");
  EXPECT_EQ(book.Cell(child, 2, "BoardingPass_out"), "ALAN TURING 12B");
  EXPECT_EQ(book.Column1(child, 3), ".End 1");
  EXPECT_EQ(book.Cell(child, 4, "Passenger"), "Grace Hopper");
  EXPECT_EQ(book.Cell(child, 4, "BoardingPass_out"), "GRACE HOPPER 3C");
  EXPECT_EQ(book.Column1(child, 5), ".End 2");

  // Global: the run context of every copied row.
  for (long row = 1; row <= 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(book.Cell("Global", row, "Iter"), std::to_string(row));
    EXPECT_EQ(book.Cell("Global", row, "VID"), "7");
    EXPECT_EQ(book.Cell("Global", row, "Host"), "localhost");
    EXPECT_EQ(book.Cell("Global", row, "Group"), "Demo");
  }
}

TEST_F(ExampleRun, AnotherProgramReadsTheResultsWorkbook) {
  ASSERT_EQ(status_, 0) << stdout_;
  if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-openpyxl is not installed";
  const fs::path dump = folder_ / "dump.txt";
  const std::string script =
      "import sys, openpyxl\n"
      "book = openpyxl.load_workbook(sys.argv[1])\n"
      "for name in ('Login', 'BookFlight.Passengers'):\n"
      "    for row in book[name].iter_rows(values_only=True):\n"
      "        print(name, '|'.join('' if v is None else str(v) for v in row))\n";
  const fs::path scriptFile = folder_ / "dump.py";
  std::ofstream(scriptFile) << script;
  const std::string command = "/usr/bin/python3 " + Quote(scriptFile.string()) + " " +
                              Quote(results_.string()) + " > " + Quote(dump.string());
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string text = ReadFile(dump);
  // Row 1 holds the parameter names; the data rows follow.
  EXPECT_NE(text.find("Login UserName|Password|Greeting_out|Greeting_exp\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Login bob|builder|Welcome, bob!|Welcome, bob!\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("BookFlight.Passengers .End 2|||\n"), std::string::npos) << text;
}

}  // namespace
