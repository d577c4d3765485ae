// Writing a workbook that holds its header row out of the cells: the writer counts the file's
// rows (row 0 is the file's row 1) without moving a cell, and the file is the one the
// workbook gives with its rows back in place.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "grid/formula/formula.h"
#include "grid/io/file_type.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("ddt-held-" + std::to_string(getpid()) + "-" + name))
      .string();
}

std::string SheetXml(const std::string& path, int sheet) {
  io::ZipReader zip(path);
  return zip.Read("xl/worksheets/sheet" + std::to_string(sheet) + ".xml", 1 << 24);
}

// A header row with a formula, data formulas reading it (cells, ranges, whole rows and
// columns, another sheet), an array formula, a stale formula, hidden and styled rows, all in
// the file's rows.
void Fill(Workbook& b) {
  b.SetSheetName(1, "Data");
  b.InsertSheets(2, 1);
  b.SetSheetName(2, "Other");
  b.SetEntry(1, 1, 1, "Name");
  b.SetEntry(1, 1, 2, "10");
  b.SetEntry(1, 1, 3, "=B1*2");
  b.SetEntry(1, 2, 1, "=A1&\"!\"");
  b.SetEntry(1, 2, 2, "=SUM(B3:B4)+SUM($1:$1)+COUNTA(A:A)");
  b.SetEntry(1, 3, 2, "=ROW()+$B$1");
  b.SetEntry(1, 4, 2, "=A1048576");
  b.SetCellFormula(1, 5, 4, formula::AsArrayFormula(*formula::ParseFormula("B1:B2*2", b), 2, 1),
                   std::nullopt);
  b.SetEntry(2, 1, 1, "=Data!B1+Data!B2");
  b.SetEntry(2, 3, 1, "=SUM(Data!1:2)");
  b.SetRowsHidden(1, 3, 4, true);
  Style look;
  look.fontColor = 0x00FF00;
  b.SetRowStyle(1, 1, 1, b.Styles().Intern(look));
  b.SetRowStyle(1, 6, 6, b.Styles().Intern(look));
}

TEST(HeldHeaderWrite, WritesTheFileTheReleasedRowsWould) {
  Workbook held, plain;
  Fill(held);
  Fill(plain);
  held.HoldHeaderRow();
  ASSERT_EQ(held.GetEntry(1, 1, 1), "=A0&\"!\"");
  held.SetEntry(1, 2, 3, "=B0+B1");  // typed while held, stale until the save computes it
  plain.SetEntry(1, 3, 3, "=B1+B2");

  const std::string a = TempFile("held.xlsx"), b = TempFile("plain.xlsx");
  held.WriteFile(a, io::kFileTypeXlsx);
  plain.WriteFile(b, io::kFileTypeXlsx);
  for (int sheet = 1; sheet <= 2; ++sheet) EXPECT_EQ(SheetXml(a, sheet), SheetXml(b, sheet));
  const std::string xml = SheetXml(a, 1);
  EXPECT_NE(xml.find("<row r=\"1\""), std::string::npos);
  EXPECT_NE(xml.find("<f>B1+B2</f><v>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("t=\"array\" ref=\"D5:D6\""), std::string::npos) << xml;

  // Nothing moved: the header row is still held and the formulas read as before.
  EXPECT_EQ(held.RowOrigin(), 1);
  EXPECT_EQ(held.GetEntry(1, 1, 1), "=A0&\"!\"");
  EXPECT_EQ(held.GetEntry(2, 2, 1), "=SUM(Data!0:1)");
  ASSERT_NE(held.HeaderCell(1, 3), nullptr);
  EXPECT_EQ(held.HeaderCell(1, 3)->value, Value(20.0));
  EXPECT_TRUE(held.RowHidden(1, 2));

  // Read back, the file is the workbook as the released rows would give it.
  Workbook read;
  read.ReadFile(a, io::kFileTypeAny);
  EXPECT_EQ(read.GetEntry(1, 2, 2), "=SUM(B3:B4)+SUM($1:$1)+COUNTA(A:A)");
  EXPECT_EQ(read.GetEntry(1, 4, 2), "=A1048576");
  EXPECT_EQ(read.GetEntry(2, 1, 1), "=Data!B1+Data!B2");
  std::filesystem::remove(a);
  std::filesystem::remove(b);
}

TEST(HeldHeaderWrite, TheLastRowOfTheCellsIsBeyondTheFile) {
  Workbook b;
  b.SetEntry(1, 1, 1, "Name");
  b.HoldHeaderRow();
  // Row kMaxRows of the cells would be the file's row kMaxRows + 1: it is left out, and a
  // reference to it cannot be written.
  b.SetEntry(1, kMaxRows, 1, "far");
  b.SetEntry(1, kMaxRows - 1, 1, "last");
  b.SetEntry(1, 1, 2, "=A1048576&A1048575");
  b.SetRowsHidden(1, kMaxRows - 1, kMaxRows, true);
  const std::string path = TempFile("edge.xlsx");
  b.WriteFile(path, io::kFileTypeXlsx);
  const std::string xml = SheetXml(path, 1);
  EXPECT_EQ(xml.find("1048577"), std::string::npos) << xml.substr(0, 2000);
  EXPECT_NE(xml.find("<c r=\"A1048576\""), std::string::npos);
  EXPECT_NE(xml.find("<f>#REF!&amp;A1048576</f>"), std::string::npos) << xml.substr(0, 2000);
  // The cells keep what the file cannot hold.
  EXPECT_EQ(b.GetEntry(1, kMaxRows, 1), "far");
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace ddt::grid
