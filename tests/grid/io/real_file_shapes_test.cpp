// Shapes of files that real programs write and that once came back changed from a save:
// each fixture is made by the program that writes that shape (scripts/make-io-fixtures.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::ScratchDir;
using test::ZipParts;

// The worksheet part of the first sheet after reading `fixture` and saving it again.
std::string SavedSheetXml(const std::string& fixture, Workbook* book = nullptr) {
  Workbook local;
  Workbook& b = book ? *book : local;
  ReadWorkbookFile(b, DataFile(fixture), kFileTypeAny);
  ScratchDir dir;
  const std::string out = dir.File("saved.xlsx");
  WriteXlsxFile(b, out);
  return ZipParts(out)["xl/worksheets/sheet1.xml"];
}

bool OpenpyxlAvailable() {
  return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0;
}

// The Open XML SDK puts the spreadsheet namespace on a prefix (<x:worksheet>). The elements
// the grid does not model are kept, without the prefix, under the default namespace the
// writer declares.
TEST(RealFileShapes, NamespacePrefixedSheetKeepsMergesHeightsAndSelection) {
  Workbook book;
  const std::string xml = SavedSheetXml("prefixed_sdk_style.xlsx", &book);
  EXPECT_EQ(book.SheetName(1), "Prefixed");
  EXPECT_EQ(book.GetCellValue(1, 2, 1), Value(1.5));
  EXPECT_NE(xml.find("<mergeCell ref=\"A1:C1\"/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<mergeCell ref=\"A3:B4\"/>"), std::string::npos);
  EXPECT_NE(xml.find("ht=\"30\""), std::string::npos);
  EXPECT_NE(xml.find("activeCell=\"D5\""), std::string::npos);
  EXPECT_NE(xml.find("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\""),
            std::string::npos);
  EXPECT_EQ(xml.find("<x:"), std::string::npos) << "a kept element still has the prefix";

  // The workbook and styles parts, prefixed too, come back whole in the default namespace.
  ScratchDir dir;
  WriteXlsxFile(book, dir.File("again.xlsx"));
  std::map<std::string, std::string> parts = ZipParts(dir.File("again.xlsx"));
  for (const char* part : {"xl/workbook.xml", "xl/styles.xml"}) {
    EXPECT_EQ(parts[part].find("<x:"), std::string::npos) << part << ": " << parts[part];
    EXPECT_NE(parts[part].find(" xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\""),
              std::string::npos) << part;
  }
  EXPECT_NE(parts["xl/styles.xml"].find("<name val=\"Calibri\"/>"), std::string::npos);

  // Another reader sees them too: the saved parts are well-formed in the right namespace.
  if (!OpenpyxlAvailable()) GTEST_SKIP() << "python3-openpyxl not installed";
  const std::string cmd =
      "/usr/bin/python3 -c \"import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1]).active; "
      "print(sorted(str(r) for r in ws.merged_cells.ranges), ws.row_dimensions[2].height, "
      "ws.sheet_view.selection[0].activeCell)\" " + dir.File("again.xlsx") + " > " +
      dir.File("seen.txt");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(test::ReadBytes(dir.File("seen.txt")), "['A1:C1', 'A3:B4'] 30.0 D5\n");
}

// Widths come back as the file wrote them while they are unchanged; a column under one
// character wide stays visible; a changed width is written from the grid's.
TEST(RealFileShapes, ColumnWidthsAreNotRequantisedAndNarrowOnesStayVisible) {
  Workbook book;
  std::string xml = SavedSheetXml("prefixed_sdk_style.xlsx", &book);
  EXPECT_GT(book.ColWidth(1, 2), 0.2);
  EXPECT_LT(book.ColWidth(1, 2), 0.5);
  EXPECT_FALSE(book.ColHidden(1, 2));
  EXPECT_NE(xml.find("<col min=\"2\" max=\"2\" width=\"0.5\" customWidth=\"1\"/>"),
            std::string::npos) << xml;
  EXPECT_NE(xml.find("<col min=\"3\" max=\"3\" width=\"11.86\" customWidth=\"1\"/>"),
            std::string::npos);

  // The file's widths move with their columns; a width set anew is the grid's.
  book.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns);  // a column before A
  book.SetColWidth(1, 4, 20);
  ScratchDir dir;
  WriteXlsxFile(book, dir.File("edited.xlsx"));
  xml = ZipParts(dir.File("edited.xlsx"))["xl/worksheets/sheet1.xml"];
  EXPECT_NE(xml.find("<col min=\"3\" max=\"3\" width=\"0.5\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("<col min=\"4\" max=\"4\" width=\"20.7109375\""), std::string::npos);

  // A narrow width set in the grid survives its own round trip.
  Workbook narrow;
  narrow.SetColWidth(1, 1, 0.5);
  WriteXlsxFile(narrow, dir.File("narrow.xlsx"));
  Workbook back;
  ReadWorkbookFile(back, dir.File("narrow.xlsx"), kFileTypeAny);
  EXPECT_DOUBLE_EQ(back.ColWidth(1, 1), 0.5);
}

// LibreOffice stores an empty text result as its own result kind, with no STRING record; the
// result is text all the same, and stays text through a save.
TEST(RealFileShapes, XlsFormulaWithEmptyTextResultKeepsIt) {
  Workbook book;
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("libreoffice_empty_text.xls"), kFileTypeAny),
            kFileTypeXls);
  auto expectEmptyText = [](const Workbook& b, int row, int col, const char* what) {
    const Cell* c = b.FindCell(1, row, col);
    ASSERT_NE(c, nullptr) << what;
    EXPECT_NE(c->formula, nullptr) << what;
    EXPECT_EQ(c->value, Value(std::string())) << what;
  };
  for (const char* what : {"read", "saved"}) {
    expectEmptyText(book, 1, 1, what);
    expectEmptyText(book, 2, 1, what);
    expectEmptyText(book, 3, 1, what);
    EXPECT_EQ(book.GetCellValue(1, 1, 3), Value(0.0)) << what;
    EXPECT_EQ(book.GetFormula(1, 2, 1), "IF(1=1,\"\",\"x\")") << what;
    ScratchDir dir;
    WriteXlsxFile(book, dir.File("saved.xlsx"));
    ReadWorkbookFile(book, dir.File("saved.xlsx"), kFileTypeAny);
  }
}

// A picture in a cell (newer Excel): the cell's value is an error and its vm attribute points
// at the value metadata that leads to the picture. The cell keeps the attribute where it
// goes, while it holds that value; the metadata and rich-value parts are carried.
TEST(RealFileShapes, InCellPictureKeepsItsValueMetadata) {
  Workbook book;
  std::string xml = SavedSheetXml("in_cell_picture.xlsx", &book);
  EXPECT_EQ(book.GetCellValue(1, 2, 2), Value(ErrorCode::Value));
  EXPECT_NE(xml.find("<c r=\"B2\" t=\"e\" vm=\"1\"><v>#VALUE!</v></c>"), std::string::npos) << xml;
  EXPECT_EQ(xml.find("vm=", xml.find("vm=") + 1), std::string::npos) << "only the picture cell";

  // A row inserted above moves it; a value typed over it ends it.
  book.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  book.SetCellValue(1, 3, 3, Value(std::string("typed over")));
  ScratchDir dir;
  WriteXlsxFile(book, dir.File("edited.xlsx"));
  std::map<std::string, std::string> parts = ZipParts(dir.File("edited.xlsx"));
  std::map<std::string, std::string> original = ZipParts(DataFile("in_cell_picture.xlsx"));
  xml = parts["xl/worksheets/sheet1.xml"];
  EXPECT_NE(xml.find("<c r=\"B3\" t=\"e\" vm=\"1\">"), std::string::npos) << xml;
  for (const char* part : {"xl/metadata.xml", "xl/richData/rdrichvalue.xml",
                           "xl/richData/richValueRel.xml", "xl/media/image1.png"})
    EXPECT_EQ(parts[part], original[part]) << part;

  book.SetCellValue(1, 3, 2, Value(std::string("no picture")));
  WriteXlsxFile(book, dir.File("replaced.xlsx"));
  xml = ZipParts(dir.File("replaced.xlsx"))["xl/worksheets/sheet1.xml"];
  EXPECT_EQ(xml.find("vm="), std::string::npos) << xml;
}

// The corpus is not part of the repository: a checkout beside it, or the shared copy.
std::string CorpusFile(const std::string& name) {
  for (const char* dir : {DDT_SOURCE_DIR "/../shared/corpus/poi", "/work/shared/corpus/poi"})
    if (std::filesystem::exists(std::string(dir) + "/" + name)) return std::string(dir) + "/" + name;
  return {};
}

// Excel writes a data table's definition between the FORMULA of its first cell and that
// cell's text result.
TEST(RealFileShapes, XlsTextResultAfterADataTableDefinitionIsKept) {
  const std::string path = CorpusFile("testArraysAndTables.xls");
  if (path.empty()) GTEST_SKIP() << "the public corpus is not here";
  Workbook book;
  ReadWorkbookFile(book, path, kFileTypeAny);
  EXPECT_EQ(book.GetCellValue(1, 27, 3), Value(std::string("103a")));
  EXPECT_EQ(book.GetCellValue(1, 41, 3), Value(std::string("9aa")));
}

}  // namespace
}  // namespace ddt::grid::io
