// Defined names whose cells or sheets were deleted are kept, the deleted part reading #REF!
// as in cell formulas; a name of a deleted sheet goes with it. The print area and print
// titles keep the ranges that remain, and read Sheet!#REF! once all are deleted, which
// LibreOffice and openpyxl open as no print range. Fixture made by openpyxl
// (data/make_defined_names_fixture.sh); defined_names_check.py reports what they read.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "grid/io/file_type.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::RunCapturing;
using test::ScratchDir;
using test::ZipParts;

// The definedName elements of a saved workbook, by name and local sheet ("Name@1").
std::map<std::string, std::string> SavedNames(const std::string& path) {
  const std::string xml = ZipParts(path)["xl/workbook.xml"];
  std::map<std::string, std::string> names;
  for (size_t at = xml.find("<definedName "); at != std::string::npos;
       at = xml.find("<definedName ", at + 1)) {
    const size_t close = xml.find('>', at), end = xml.find("</definedName>", close);
    const std::string tag = xml.substr(at, close - at);
    const size_t n = tag.find(" name=\"") + 7;
    std::string key = tag.substr(n, tag.find('"', n) - n);
    if (size_t l = tag.find("localSheetId=\""); l != std::string::npos)
      key += "@" + tag.substr(l + 14, tag.find('"', l + 14) - l - 14);
    names[key] = xml.substr(close + 1, end - close - 1);
  }
  return names;
}

// Data rows 1-5 and Report rows 1-2 deleted, the sheet Other deleted.
void DeleteNamedCells(Workbook& book) {
  book.SetCurrentSheet(1);
  book.DeleteRange(Range{1, kAll, 5, kAll}, Shift::Rows);
  book.SetCurrentSheet(2);
  book.DeleteRange(Range{1, kAll, 2, kAll}, Shift::Rows);
  book.DeleteSheets(3, 1);
}

TEST(DefinedNames, DeletedCellsAndSheetsReadRefErrorAndNothingIsLeftOut) {
  Workbook book;
  ASSERT_EQ(book.ReadFile(DataFile("openpyxl_defined_names.xlsx"), kFileTypeAny), kFileTypeXlsx);
  DeleteNamedCells(book);
  ScratchDir dir;
  const std::string path = dir.File("deleted.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  EXPECT_TRUE(book.LastSaveNotes().empty()) << book.LastSaveNotes().front();

  const std::map<std::string, std::string> names = SavedNames(path);
  const std::map<std::string, std::string> expected = {
      {"Users", "Data!#REF!"},
      {"Kept", "Data!$A$2:$B$3"},
      {"Mixed", "Data!#REF!,Data!$A$3"},  // a user's list keeps its place for the deleted one
      {"OtherCells", "#REF!"},            // its sheet is gone
      {"Total", "SUM(Data!$B$1:$B$3)"},
      {"_xlnm.Print_Area@0", "Data!$A$2:$B$3"},  // the range that remains
      {"_xlnm.Print_Titles@0", "Data!A:A"},
      {"_xlnm.Print_Area@1", "Report!#REF!"},
      {"_xlnm.Print_Titles@1", "Report!#REF!"},
  };  // "Local" belonged to the deleted sheet
  EXPECT_EQ(names, expected);
}

TEST(DefinedNames, ShrunkRangesMoveAndRenamedSheetsAreFollowed) {
  Workbook book;
  book.ReadFile(DataFile("openpyxl_defined_names.xlsx"), kFileTypeAny);
  book.SetCurrentSheet(1);
  book.DeleteRange(Range{2, kAll, 3, kAll}, Shift::Rows);  // inside the print area and titles
  book.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
  book.SetSheetName(3, "Elsewhere");
  ScratchDir dir;
  const std::string path = dir.File("moved.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  std::map<std::string, std::string> names = SavedNames(path);
  EXPECT_EQ(names["_xlnm.Print_Area@0"], "Data!$B$1:$C$3,Data!$B$5:$C$6");
  EXPECT_EQ(names["_xlnm.Print_Titles@0"], "Data!1:1,Data!B:B");
  EXPECT_EQ(names["Users"], "Data!$B$2:$C$2");  // rows 3-4 less the deleted row 3
  EXPECT_EQ(names["Mixed"], "Data!$B$1,Data!$B$6");
  EXPECT_EQ(names["OtherCells"], "Elsewhere!$A$1:$A$2");
  EXPECT_EQ(names["Local@2"], "Elsewhere!$B$1");
}

// A shift of cells moves the references inside its band; one it cuts through stays where it
// is, as LibreOffice leaves it (and cell formulas here).
TEST(DefinedNames, AShiftOfCellsMovesOnlyWhatLiesInItsBand) {
  Workbook book;
  book.ReadFile(DataFile("openpyxl_defined_names.xlsx"), kFileTypeAny);
  book.SetCurrentSheet(1);
  book.InsertRange(Range{1, 1, 2, 1}, Shift::CellsVertical);  // A1:A2, column A moves down
  ScratchDir dir;
  const std::string path = dir.File("shifted.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  std::map<std::string, std::string> names = SavedNames(path);
  EXPECT_EQ(names["Users"], "Data!$A$3:$B$4");  // columns A:B, cut by the band
  EXPECT_EQ(names["Mixed"], "Data!$A$3,Data!$A$10");
  EXPECT_EQ(names["Total"], "SUM(Data!$B$1:$B$8)");  // beside the band
}

// What other programs make of the names once the cells are deleted: openpyxl reads every
// one, and LibreOffice opens the file with the remaining print range and none for Report.
TEST(DefinedNames, OtherProgramsOpenNamesWithDeletedReferences) {
  std::string out;
  if (RunCapturing("command -v soffice && /usr/bin/python3 -c 'import openpyxl'", &out) != 0)
    GTEST_SKIP() << "LibreOffice or openpyxl missing";
  Workbook book;
  book.ReadFile(DataFile("openpyxl_defined_names.xlsx"), kFileTypeAny);
  DeleteNamedCells(book);
  ScratchDir dir;
  const std::string path = dir.File("deleted.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  out.clear();
  ASSERT_EQ(RunCapturing("/usr/bin/python3 " + std::string(DDT_SOURCE_DIR) +
                             "/tests/grid/io/defined_names_check.py " + path,
                         &out),
            0)
      << out;
  for (const char* fact : {
           "\"Users\": \"Data!#REF!\"", "\"OtherCells\": \"#REF!\"",
           "\"Data\": {\"area\": [\"$A$2:$B$3\"], \"cols\": \"A:A\", \"rows\": null}",
           "\"Report\": {\"area\": null, \"cols\": null, \"rows\": null}",
           "\"opened\": true", "\"print_ranges\": {\"Data\": \"Data.A2:Data.B3\", \"Report\": null}",
           "\"Kept\": \"$Data.$A$2:.$B$3\""})
    EXPECT_NE(out.find(fact), std::string::npos) << fact << "\n" << out;
}

}  // namespace
}  // namespace ddt::grid::io
