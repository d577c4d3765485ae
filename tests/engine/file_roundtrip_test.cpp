// Header texts through real files: Save writes them as row 1 of every sheet, Open takes them
// back out; names with gaps, surrounding spaces and unnamed columns inside the named span.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/book_access.h"
#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine_test_util.h"
#include "grid/io/file_type.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using Names = CStringList;

namespace {

class RoundTrip : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path.c_str()); }

  // Writes a file whose row 1 holds the given header cells, with one data row below.
  void WriteFileWithHeader(const std::vector<std::string>& header) {
    ddt::grid::Workbook plain;
    for (size_t c = 0; c < header.size(); ++c) {
      if (!header[c].empty())
        plain.SetCellValue(1, 1, static_cast<int>(c) + 1, ddt::grid::Value(header[c]));
      plain.SetEntry(1, 2, static_cast<int>(c) + 1, std::to_string(c + 1));
    }
    plain.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  }

  // Row 1 of a sheet of the file as it stands, up to `cols` columns.
  std::vector<std::string> FileRow(int sheet, int row, int cols) {
    ddt::grid::Workbook plain;
    plain.ReadFile(path, ddt::grid::io::kFileTypeAny);
    std::vector<std::string> cells;
    for (int c = 1; c <= cols; ++c) cells.push_back(plain.GetEntry(sheet, row, c));
    return cells;
  }

  ParentWindow parent;
  std::string path = ::testing::TempDir() + "engine_roundtrip_" + std::to_string(::getpid()) +
                     "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     ".xlsx";
};

TEST_F(RoundTrip, InteractiveSaveWritesNamesAsRowOneAndKeepsMemoryAsItWas) {
  CDT_F1 engine(&parent);
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
  book.SetSheetCount(2);
  FillRows(book, 1, {{"id", "", "name"}, {"1", "2", "3"}, {"4", "5", "6"}});
  FillRows(book, 2, {{"only"}});
  EngineTestPeer::CreateHeader(engine);
  engine.SetSheet(1);
  engine.SetValue(1, 1, 1, "changed");
  ASSERT_EQ(engine.m_bChanged, 1);

  engine.Save(path.c_str());
  EXPECT_EQ(engine.m_bChanged, 0);
  EXPECT_EQ(engine.GetSheet(), 1);
  // The unnamed column inside the named span is named with its letter in memory; the file
  // keeps its cell as it was (empty); everything else in memory is as before.
  EXPECT_EQ(FileRow(1, 1, 3), (std::vector<std::string>{"id", "", "name"}));
  EXPECT_EQ(FileRow(1, 2, 3), (std::vector<std::string>{"changed", "2", "3"}));
  EXPECT_EQ(FileRow(2, 1, 1), std::vector<std::string>{"only"});
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"id", "B", "name"}));
  EXPECT_EQ(*engine.GetHeaderList(2), Names{"only"});
  EXPECT_EQ(engine.GetValue(1, 1, 1), "changed");
  EXPECT_EQ(engine.GetValue(1, 2, 3), "6");
  EXPECT_EQ(engine.GetLastRow(), 2);

  CDT_F1 reopened(&parent);
  reopened.Open(path.c_str());
  EXPECT_EQ(reopened.GetFileFormat(), ddt::grid::io::kFileTypeXlsx);
  EXPECT_EQ(reopened.GetNumSheets(), 2);
  EXPECT_EQ(reopened.GetSheet(), 2);  // the last sheet is current after Open
  EXPECT_EQ(*reopened.GetHeaderList(1), (Names{"id", "", "name"}));
  EXPECT_EQ(reopened.GetColText(1, 2), "B");  // named by its letters all the same
  EXPECT_EQ(reopened.GetValue(1, 1, 1), "changed");
  EXPECT_EQ(reopened.GetValue(1, 2, 2), "5");
  EXPECT_EQ(reopened.GetLastRow(), 0);  // sheet 2 had names only
  EXPECT_EQ(reopened.m_bChanged, 0);
}

// Header cells of unnamed columns are written as they were read: an empty one that a formula
// tests stays empty, a formula showing nothing stays a formula; saving twice changes nothing.
TEST_F(RoundTrip, UnnamedColumnsKeepTheirHeaderCellsAsRead) {
  const std::string source = std::string(DDT_TEST_DATA) + "/openpyxl_unnamed_columns.xlsx";
  for (bool headless : {false, true}) {
    std::unique_ptr<CDT_IF> engine;
    if (headless) engine = std::make_unique<CDT_QX>(&parent);
    else engine = std::make_unique<CDT_F1>(&parent);
    engine->Open(source.c_str());
    EXPECT_EQ(engine->GetColText(1, 1), "A") << headless;
    EXPECT_EQ(engine->GetColText(1, 3), "C") << headless;
    for (int save = 1; save <= 2; ++save) {
      engine->Save(path.c_str());
      ddt::grid::Workbook plain;
      plain.ReadFile(path, ddt::grid::io::kFileTypeAny);
      EXPECT_EQ(plain.FindCell(1, 1, 1), nullptr) << headless << " save " << save;
      EXPECT_EQ(plain.GetEntry(1, 1, 2), "name");
      EXPECT_EQ(plain.GetFormula(1, 1, 3), "\"\"") << headless << " save " << save;
      EXPECT_EQ(plain.GetCellValue(1, 2, 2), ddt::grid::Value(true)) << headless << " save " << save;
      EXPECT_EQ(engine->GetColText(1, 1), "A");
    }
  }
}

TEST_F(RoundTrip, GapsInTheHeaderRowKeepNamesOnTheirColumns) {
  WriteFileWithHeader({"a", "", "", "d"});
  for (bool headless : {false, true}) {
    std::unique_ptr<CDT_IF> engine;
    if (headless) engine = std::make_unique<CDT_QX>(&parent);
    else engine = std::make_unique<CDT_F1>(&parent);
    engine->Open(path.c_str());
    EXPECT_EQ(*engine->GetHeaderList(1), (Names{"a", "", "", "d"})) << headless;
    EXPECT_EQ(engine->GetColText(1, 2), "B");
    EXPECT_EQ(engine->GetColText(1, 4), "d");
    EXPECT_EQ(engine->GetValue(1, 1, 4), "4");
  }
}

TEST_F(RoundTrip, InteractiveOpenTrimsNamesHeadlessKeepsThem) {
  WriteFileWithHeader({"  a  ", "\tb", "   "});
  CDT_F1 f1(&parent);
  f1.Open(path.c_str());
  EXPECT_EQ(*f1.GetHeaderList(1), (Names{"a", "b", ""}));
  EXPECT_EQ(f1.GetColText(1, 3), "C");

  CDT_QX qx(&parent);
  qx.Open(path.c_str());
  EXPECT_EQ(*qx.GetHeaderList(1), (Names{"  a  ", "\tb", "   "}));
  // The headless save writes the names as they stand; read back, they still stand so.
  qx.Save(path.c_str());
  EXPECT_EQ(FileRow(1, 1, 2), (std::vector<std::string>{"  a  ", "\tb"}));
}

TEST_F(RoundTrip, InteractiveRebuildAfterSaveDoesNotTrim) {
  CDT_F1 engine(&parent);
  engine.SetColText(1, 1, " spaced ");
  engine.SetValue(1, 1, 1, "v");
  engine.Save(path.c_str());
  EXPECT_EQ(*engine.GetHeaderList(1), Names{" spaced "});
  CDT_F1 reopened(&parent);
  reopened.Open(path.c_str());
  EXPECT_EQ(*reopened.GetHeaderList(1), Names{"spaced"});
}

TEST_F(RoundTrip, NamesThatLookLikeOtherValuesStayText) {
  CDT_QX engine(&parent);
  engine.SetColText(1, 1, "TRUE");
  engine.SetColText(1, 2, "1e3");
  engine.SetColText(1, 3, "'quoted");
  engine.SetValue(1, 1, 1, "x");
  engine.Save(path.c_str());
  CDT_QX reopened(&parent);
  reopened.Open(path.c_str());
  EXPECT_EQ(*reopened.GetHeaderList(1), (Names{"TRUE", "1e3", "'quoted"}));
}

TEST_F(RoundTrip, HeadlessSaveAfterSheetChangesWritesEverySheetUnderItsName) {
  {
    CDT_QX engine(&parent);
    ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
    book.SetSheetCount(2);
    book.SetSheetName(1, "Global");
    book.SetSheetName(2, "Action1");
    FillRows(book, 1, {{"g"}, {"1"}});
    FillRows(book, 2, {{"p"}, {"2"}});
    book.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  }
  CDT_QX engine(&parent);
  engine.Open(path.c_str());
  engine.InsertSheets(2, 1);
  engine.SetSheetName(2, "Action0");
  engine.SetSheet(2);
  engine.SetColText(2, 1, "q");
  engine.SetValue(0, 1, 1, "3");
  engine.DeleteSheets(1, 1);
  engine.SetSheet(2);
  engine.SetValue(0, 2, 1, "4");
  engine.Save(path.c_str());

  CDT_QX reopened(&parent);
  reopened.Open(path.c_str());
  ASSERT_EQ(reopened.GetNumSheets(), 2);
  EXPECT_EQ(reopened.GetSheetName(1), "Action0");
  EXPECT_EQ(reopened.GetSheetName(2), "Action1");
  EXPECT_EQ(*reopened.GetHeaderList(1), Names{"q"});
  EXPECT_EQ(*reopened.GetHeaderList(2), Names{"p"});
  EXPECT_EQ(reopened.GetValue(1, 1, 1), "3");
  EXPECT_EQ(reopened.GetValue(2, 1, 1), "2");
  EXPECT_EQ(reopened.GetValue(2, 2, 1), "4");
}

TEST_F(RoundTrip, SecondOpenStartsAfresh) {
  {
    ddt::grid::Workbook plain;
    plain.SetSheetCount(3);
    plain.SetSheetName(3, "Third");
    plain.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  }
  const std::string other = path + ".one.xlsx";
  {
    ddt::grid::Workbook plain;
    plain.SetSheetName(1, "Only");
    plain.SetCellValue(1, 1, 1, ddt::grid::Value(std::string("n")));
    plain.WriteFile(other, ddt::grid::io::kFileTypeXlsx);
  }
  for (bool headless : {false, true}) {
    std::unique_ptr<CDT_IF> engine;
    if (headless) engine = std::make_unique<CDT_QX>(&parent);
    else engine = std::make_unique<CDT_F1>(&parent);
    engine->Open(path.c_str());
    ASSERT_EQ(engine->GetNumSheets(), 3);
    engine->Open(other.c_str());
    EXPECT_EQ(engine->GetNumSheets(), 1) << headless;
    EXPECT_EQ(engine->GetSheetName(1), "Only");
    EXPECT_EQ(engine->GetSheetName(3), "");
    EXPECT_EQ(*engine->GetHeaderList(1), Names{"n"});
    EXPECT_EQ(engine->GetHeaderList(2), nullptr);
  }
  std::remove(other.c_str());
}

}  // namespace
