// Spilled arrays in .xlsx files: saved with the dynamic-array metadata (cm on the anchor,
// t="array" over the spill range), read back as spills that keep following their data, files
// made by xlsxwriter, and a metadata part of the file rewritten without losing its records.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "grid/formula/formula.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::ScratchDir;
using test::ZipParts;

// The extent of the dynamic-array formula at (row, col), as rows * 10 + cols; 0 when the
// cell holds no dynamic-array formula.
int DynamicExtent(const Workbook& book, int row, int col) {
  const Cell* c = book.FindCell(1, row, col);
  int rows = 0, cols = 0;
  if (!c || !c->formula || !formula::IsDynamicArrayFormula(*c->formula) ||
      !formula::IsArrayFormula(*c->formula, &rows, &cols))
    return 0;
  return rows * 10 + cols;
}

TEST(SpillXlsx, SpillsAreSavedWithTheirMetadataAndReadBackAsSpills) {
  Workbook book;
  const char* data[] = {"30", "10", "40", "20"};
  for (int r = 1; r <= 4; ++r) book.SetEntry(1, r, 1, data[r - 1]);
  book.SetEntry(1, 1, 2, "=SORT(A1:A4)");
  book.SetEntry(1, 1, 3, "=SEQUENCE(3)");
  book.SetEntry(1, 3, 3, "in the way");
  book.SetEntry(1, 1, 4, "=SUM(A1:A4)");  // a single result: a plain formula
  ScratchDir dir;
  const std::string path = dir.File("spill.xlsx");
  book.WriteFile(path, kFileTypeXlsx);

  std::map<std::string, std::string> parts = ZipParts(path);
  const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<c r=\"B1\" cm=\"1\"><f t=\"array\" ref=\"B1:B4\">_xlfn._xlws.SORT(A1:A4)"
                       "</f><v>10</v></c>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<c r=\"B4\"><v>40</v></c>"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<c r=\"C1\" t=\"e\" cm=\"1\"><f t=\"array\" ref=\"C1\">_xlfn.SEQUENCE(3)"
                       "</f><v>#SPILL!</v></c>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<c r=\"D1\"><f>SUM(A1:A4)</f>"), std::string::npos) << sheet;
  EXPECT_NE(parts["xl/metadata.xml"].find("fDynamic=\"1\""), std::string::npos);
  EXPECT_NE(parts["[Content_Types].xml"].find("/xl/metadata.xml"), std::string::npos);
  EXPECT_NE(parts["xl/_rels/workbook.xml.rels"].find("sheetMetadata"), std::string::npos);

  Workbook back;
  ASSERT_EQ(ReadWorkbookFile(back, path, kFileTypeAny, nullptr), kFileTypeXlsx);
  EXPECT_EQ(DynamicExtent(back, 1, 2), 41);
  EXPECT_EQ(DynamicExtent(back, 1, 3), 11);
  EXPECT_EQ(back.GetFormula(1, 3, 2), "SORT(A1:A4)");
  EXPECT_EQ(back.GetCellValue(1, 1, 3), Value(ErrorCode::Spill));
  // Still a spill: it follows its data, and the blocked one spills once cleared.
  back.SetEntry(1, 2, 1, "50");
  EXPECT_EQ(back.GetCellValue(1, 4, 2), Value(50.0));
  EXPECT_EQ(back.GetCellValue(1, 1, 2), Value(20.0));
  back.SetEntry(1, 3, 3, "");
  EXPECT_EQ(back.GetCellValue(1, 3, 3), Value(3.0));
  back.WriteFile(path, kFileTypeXlsx);
  EXPECT_NE(ZipParts(path)["xl/worksheets/sheet1.xml"].find("ref=\"C1:C3\""), std::string::npos);
}

// Made by xlsxwriter (data/make_spill_fixture.sh): dynamic arrays over their spill ranges,
// a reader of a spilled cell, and a legacy array formula.
TEST(SpillXlsx, AnXlsxwriterFileIsReadFollowedAndSaved) {
  Workbook book;
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("xlsxwriter_spill.xlsx"), kFileTypeAny, nullptr),
            kFileTypeXlsx);
  EXPECT_EQ(DynamicExtent(book, 1, 3), 31);
  EXPECT_EQ(DynamicExtent(book, 1, 4), 41);
  EXPECT_EQ(DynamicExtent(book, 1, 6), 0);  // the legacy one stays legacy
  EXPECT_EQ(book.GetFormula(1, 2, 3), "UNIQUE(A1:A4)");
  EXPECT_EQ(book.GetFormula(1, 4, 4), "SORT(B1:B4)");
  EXPECT_EQ(book.GetCellValue(1, 3, 3), Value(std::string("cy")));
  EXPECT_EQ(book.GetCellValue(1, 1, 5), Value(20.0));
  EXPECT_EQ(book.GetCellValue(1, 2, 6), Value(100.0));

  book.SetEntry(1, 2, 2, "50");  // bob's score: sorted last now
  EXPECT_EQ(book.GetCellValue(1, 4, 4), Value(50.0));
  EXPECT_EQ(book.GetCellValue(1, 1, 5), Value(40.0));  // =D2*2 reads the new second value
  EXPECT_EQ(book.GetCellValue(1, 2, 6), Value(500.0));
  book.SetEntry(1, 4, 1, "dan");  // a fourth distinct name
  EXPECT_EQ(book.GetCellValue(1, 4, 3), Value(std::string("dan")));

  ScratchDir dir;
  const std::string path = dir.File("saved.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  Workbook back;
  ReadWorkbookFile(back, path, kFileTypeAny, nullptr);
  EXPECT_EQ(DynamicExtent(back, 1, 3), 41);
  EXPECT_EQ(back.GetCellValue(1, 4, 3), Value(std::string("dan")));
  EXPECT_EQ(DynamicExtent(back, 1, 6), 0);
  int rows = 0, cols = 0;
  ASSERT_TRUE(back.FindCell(1, 1, 6)->formula);
  EXPECT_TRUE(formula::IsArrayFormula(*back.FindCell(1, 1, 6)->formula, &rows, &cols));
  EXPECT_EQ(rows, 2);
}

// The file's metadata part holds an in-cell picture's value metadata: a spill added to the
// workbook adds its record beside them, and the picture's cell still points at its own.
TEST(SpillXlsx, RewrittenMetadataKeepsItsOtherRecords) {
  Workbook book;
  ReadWorkbookFile(book, DataFile("in_cell_picture.xlsx"), kFileTypeAny, nullptr);
  book.SetEntry(1, 1, 5, "=SEQUENCE(2)");
  ScratchDir dir;
  for (int round = 0; round < 2; ++round) {  // and saved again from what was read
    const std::string path = dir.File("saved" + std::to_string(round) + ".xlsx");
    book.WriteFile(path, kFileTypeXlsx);
    std::map<std::string, std::string> parts = ZipParts(path);
    const std::string& meta = parts["xl/metadata.xml"];
    EXPECT_NE(meta.find("<metadataType name=\"XLRICHVALUE\""), std::string::npos) << meta;
    EXPECT_NE(meta.find("<xlrd:rvb i=\"0\"/>"), std::string::npos) << meta;
    EXPECT_NE(meta.find("<valueMetadata count=\"1\"><bk><rc t=\"1\" v=\"0\"/></bk>"),
              std::string::npos)
        << meta;
    EXPECT_NE(meta.find("<metadataTypes count=\"2\">"), std::string::npos) << meta;
    EXPECT_NE(meta.find("<cellMetadata count=\"1\"><bk><rc t=\"2\" v=\"0\"/></bk></cellMetadata>"
                        "<valueMetadata"),
              std::string::npos)
        << meta;
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    EXPECT_NE(sheet.find("<c r=\"B2\" t=\"e\" vm=\"1\">"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"E1\" cm=\"1\"><f t=\"array\" ref=\"E1:E2\">"), std::string::npos)
        << sheet;
    for (const char* part : {"xl/richData/rdrichvalue.xml", "xl/media/image1.png"})
      EXPECT_FALSE(parts[part].empty()) << part;

    Workbook back;
    ReadWorkbookFile(back, path, kFileTypeAny, nullptr);
    EXPECT_EQ(DynamicExtent(back, 1, 5), 21);
    EXPECT_EQ(back.GetCellValue(1, 2, 5), Value(2.0));
    ReadWorkbookFile(book, path, kFileTypeAny, nullptr);
  }
}

}  // namespace
}  // namespace ddt::grid::io
