// Formulas through the bindings' Open and Save: a workbook made by another program, with
// formulas that read row 1 or cross it, formulas this engine cannot compute, array formulas
// (legacy and dynamic, over one cell or several) and a cycle, comes back with every formula
// text and stored result it had. The workbook is made at test time by
// scripts/formula-fixture.py (python3-xlsxwriter) and read back with openpyxl through the
// same script.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine_test_util.h"

using engine_test::ParentWindow;

namespace {

const std::string kScript = std::string(DDT_SOURCE_DIR) + "/scripts/formula-fixture.py";

bool PythonHas(const char* modules) {
  if (!std::filesystem::exists("/usr/bin/python3")) return false;
  const std::string command =
      std::string("/usr/bin/python3 -c 'import ") + modules + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Runs the script; its output, or a failure with what it printed.
std::string RunScript(const std::string& mode, const std::string& path) {
  const std::string command = "/usr/bin/python3 '" + kScript + "' " + mode + " '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string out;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << out;
  return out;
}

// "Sheet!A1" (or "Sheet!A1.look") -> the rest of its dump line.
std::map<std::string, std::string> Dump(const std::string& path) {
  std::map<std::string, std::string> cells;
  const std::string out = RunScript("dump", path);
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) cells[line.substr(0, tab)] = line.substr(tab + 1);
    start = end + 1;
  }
  return cells;
}

// The array formulas of a file as stored: "Sheet!A1\tref\tdynamic|legacy" lines.
std::string Arrays(const std::string& path) { return RunScript("arrays", path); }

template <class Engine>
class FormulaFidelity : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PythonHas("xlsxwriter, openpyxl"))
      GTEST_SKIP() << "/usr/bin/python3 with xlsxwriter and openpyxl is not available";
    const std::string base = ::testing::TempDir() + "formula_fidelity_" +
                             std::to_string(::getpid()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    original = base + "_in.xlsx";
    saved = base + "_out.xlsx";
    RunScript("make", original);
    engine = std::make_unique<Engine>(&parent);
    engine->Open(original.c_str());
  }
  void TearDown() override {
    std::remove(original.c_str());
    std::remove(saved.c_str());
  }

  // The displayed value of a data cell, addressed as in the file (row 2 is data row 1).
  std::string Shown(int sheet, int fileRow, int col) {
    return engine->GetFormattedText(sheet, fileRow - 1, col);
  }

  // Every data cell's displayed value against the result the file stored.
  void ExpectStoredResults() {
    const std::map<std::string, std::string> want = {
        {"A2", "2"},   {"A3", "3"},    {"A4", "4"},     {"A5", "4"},      {"A6", "1"},
        {"A7", "1"},   {"A8", "20"},   {"B5", "100"},   {"B6", "20"},     {"C2", "100"},
        {"C3", "0"},   {"C4", "1010"}, {"C5", "1010!"}, {"C6", "6"},      {"C7", "50"},
        {"C8", "7"},   {"C9", "14"},   {"D2", "1800"},  {"D3", "40"},     {"D4", "60"},
        {"E2", "5"},   {"E3", "6"},    {"F2", "20"},    {"G2", "9"},      {"I2", "40"},
        {"I3", "60"},  {"I4", "80"},   {"J2", "21"},    {"J3", "31"},     {"J4", "41"}};
    for (const auto& [ref, value] : want) {
      const int col = ref[0] - 'A' + 1;
      const int row = std::stoi(ref.substr(1));
      EXPECT_EQ(Shown(1, row, col), value) << "Data!" << ref;
    }
    EXPECT_EQ(Shown(2, 2, 1), "10");
    EXPECT_EQ(Shown(2, 3, 1), "30");
    EXPECT_EQ(Shown(2, 4, 1), "100");
    EXPECT_EQ(Shown(2, 5, 1), "8");    // COUNTA(Data!A:A), row 1 included
    EXPECT_EQ(Shown(2, 6, 1), "111");  // SUM(Data!$1:$1)
  }

  ParentWindow parent;
  std::string original, saved;
  std::unique_ptr<Engine> engine;
};

using Engines = ::testing::Types<CDT_F1, CDT_QX>;
TYPED_TEST_SUITE(FormulaFidelity, Engines);

TYPED_TEST(FormulaFidelity, OpenKeepsEveryFormulaAndStoredResult) {
  auto& engine = *this->engine;
  // Header cells of every kind give their displayed text as the name.
  const std::vector<std::string> names = {"1", "10.00", "Name", "100", "Circ", "Dyn", "Auto",
                                          "Filter"};
  for (size_t c = 0; c < names.size(); ++c)
    EXPECT_EQ(engine.GetColText(1, static_cast<int>(c) + 1), names[c]);
  EXPECT_EQ(engine.GetColText(2, 3), "Later");
  // References to the header row stay on it (row 0 in memory); others move with the data.
  EXPECT_EQ(engine.GetFormula(1, 1, 1), "A0+1");
  EXPECT_EQ(engine.GetFormula(1, 2, 1), "A1+1");
  EXPECT_EQ(engine.GetFormula(1, 4, 2), "SUM(B0:B3)");
  EXPECT_EQ(engine.GetFormula(2, 1, 1), "Data!A0*10");
  // Formulas kept as the file wrote them.
  EXPECT_EQ(engine.GetFormula(1, 5, 3), "SUM(Table1[[#This Row],[Column1]:[Column3]])");
  EXPECT_EQ(engine.GetFormula(1, 7, 3), "[1]Sheet1!A1");
  this->ExpectStoredResults();
  // A full recalculation gives the same: positions count the file's rows, unknown functions
  // and unreadable formulas keep their results, the cycle keeps its stored values.
  engine.Recalc();
  this->ExpectStoredResults();
}

TYPED_TEST(FormulaFidelity, SaveWritesBackEveryFormulaTextAndStoredResult) {
  auto& engine = *this->engine;
  engine.Recalc();
  engine.Save(this->saved.c_str());
  std::map<std::string, std::string> before = Dump(this->original);
  const std::map<std::string, std::string> after = Dump(this->saved);
  // Nothing added: the unnamed column inside the named span is named by its letter in
  // memory only, its header cell stays empty.
  EXPECT_EQ(before.count("Other!B1"), 0u);
  EXPECT_EQ(after, before);
  // Memory is as it was before the save.
  EXPECT_EQ(engine.GetFormula(1, 1, 1), "A0+1");
  EXPECT_EQ(engine.GetColText(1, 2), "10.00");
  this->ExpectStoredResults();
}

TYPED_TEST(FormulaFidelity, ArraysFillTheirRangesAndKeepTheirKindOnSave) {
  auto& engine = *this->engine;
  engine.SetValue(1, 2, 2, "35");  // file B3, read by the arrays in D3:D4, I2:I4 and J2:J4
  EXPECT_EQ(this->Shown(1, 3, 9), "70");
  EXPECT_EQ(this->Shown(1, 3, 10), "36");
  EXPECT_EQ(this->Shown(1, 4, 4), "70");
  EXPECT_EQ(this->Shown(1, 2, 9), "40");
  // A write into part of an array is refused and changes nothing.
  EXPECT_ANY_THROW(engine.SetValue(1, 2, 9, "5"));
  EXPECT_EQ(this->Shown(1, 3, 9), "70");
  engine.Save(this->saved.c_str());
  const std::map<std::string, std::string> after = Dump(this->saved);
  EXPECT_EQ(after.at("Data!I2"), "array I2:I4\t=B2:B4*2\t40");
  EXPECT_EQ(after.at("Data!I3"), "value\t70\t70");
  EXPECT_EQ(after.at("Data!J3"), "value\t36\t36");
  EXPECT_EQ(after.at("Data!D4"), "value\t70\t70");
  // Legacy arrays stay legacy, dynamic ones dynamic (cell metadata and its part).
  const std::string arrays = Arrays(this->saved);
  EXPECT_EQ(arrays, Arrays(this->original));
  EXPECT_NE(arrays.find("Data!J2\tJ2:J4\tdynamic"), std::string::npos) << arrays;
  EXPECT_NE(arrays.find("Data!I2\tI2:I4\tlegacy"), std::string::npos) << arrays;
}

TYPED_TEST(FormulaFidelity, EditsKeepTheirMeaningAndRenamedHeadersBecomeText) {
  auto& engine = *this->engine;
  // The header value changes under formulas that read it; a renamed header is written as
  // text; a formula typed into a data row names memory rows, the header row as row 0.
  engine.SetSheet(1);  // names are set on the current sheet
  engine.SetColText(1, 1, "First");
  engine.SetFormula(1, 9, 1, "=B1*3");   // data row 1 of column B: file B2
  engine.SetFormula(1, 10, 1, "=B0*2");  // the header cell B1
  EXPECT_EQ(this->Shown(1, 10, 1), "60");
  EXPECT_EQ(this->Shown(1, 11, 1), "20");
  engine.Save(this->saved.c_str());
  const std::map<std::string, std::string> after = Dump(this->saved);
  EXPECT_EQ(after.at("Data!A1"), "value\t'First'\t'First'");
  EXPECT_EQ(after.at("Data!B1"), "value\t10\t10");
  EXPECT_EQ(after.at("Data!A10"), "formula\t=B2*3\t60");
  EXPECT_EQ(after.at("Data!A11"), "formula\t=B1*2\t20");
  EXPECT_EQ(after.at("Data!C1.look"), "solid\tFFFFFF00\tGeneral");
  EXPECT_EQ(after.at("Data!B1.look"), "None\t00000000\t0.00");
  EXPECT_EQ(after.at("Data!A4"), "formula\t=ROW()\t4");
  // A formula reading the renamed header reads its text from then on, in the file too.
  EXPECT_EQ(after.at("Data!A2"), "formula\t=A1+1\t'#VALUE!'");
  EXPECT_EQ(this->Shown(1, 2, 1), "#VALUE!");
  EXPECT_EQ(engine.GetColText(1, 1), "First");
}

}  // namespace
