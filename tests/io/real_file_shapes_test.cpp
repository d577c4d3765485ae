// Shapes of files that real programs write and that once came back changed from a save:
// each fixture is made by the program that writes that shape (scripts/make-io-fixtures.py).
#include <gtest/gtest.h>

#include <cstdio>
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

bool HaveOpenpyxl() {
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

  // Another reader sees them too: the saved part is well-formed in the right namespace.
  if (!HaveOpenpyxl()) GTEST_SKIP() << "python3-openpyxl not installed";
  ScratchDir dir;
  WriteXlsxFile(book, dir.File("again.xlsx"));
  const std::string cmd =
      "/usr/bin/python3 -c \"import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1]).active; "
      "print(sorted(str(r) for r in ws.merged_cells.ranges), ws.row_dimensions[2].height, "
      "ws.sheet_view.selection[0].activeCell)\" " + dir.File("again.xlsx") + " > " +
      dir.File("seen.txt");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(test::ReadBytes(dir.File("seen.txt")), "['A1:C1', 'A3:B4'] 30.0 D5\n");
}

}  // namespace
}  // namespace ddt::grid::io
