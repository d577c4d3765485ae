// .xls files as other writers lay them out: python3-xlwt (data/make_xlwt_fixtures.py), which
// leaves out records most writers add, and the two forms of an empty text result that a
// FORMULA record can be followed by.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ddtable/version.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"
#include "xls_test_util.h"

namespace ddt::grid::io {
namespace {

using test::BiffBook;
using test::DataFile;
using test::Rec;
using test::ScratchDir;
using test::U16s;

// Reads `path`, saves it as .xlsx and reads that back into `saved`.
void ReadAndResave(const std::string& path, Workbook& read, Workbook& saved,
                   std::map<std::string, std::string>* parts = nullptr) {
  ReadWorkbookFile(read, path, kFileTypeAny);
  ScratchDir dir;
  WriteXlsxFile(read, dir.File("saved.xlsx"));
  if (parts) *parts = test::ZipParts(dir.File("saved.xlsx"));
  ReadWorkbookFile(saved, dir.File("saved.xlsx"), kFileTypeAny);
}

// The number format code of the cell format a saved cell refers to.
std::string SavedFormatOf(std::map<std::string, std::string>& parts, const std::string& cell) {
  const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  const size_t at = sheet.find("<c r=\"" + cell + "\"");
  if (at == std::string::npos) return "(no cell)";
  const std::string tag = sheet.substr(at, sheet.find('>', at) - at);
  const size_t s = tag.find(" s=\"");
  const int index = s == std::string::npos ? 0 : std::stoi(tag.substr(s + 4));
  const std::string& styles = parts["xl/styles.xml"];
  size_t xf = styles.find("<cellXfs");
  for (int i = 0; i <= index && xf != std::string::npos; ++i) xf = styles.find("<xf ", xf + 1);
  if (xf == std::string::npos) return "(no format)";
  const size_t id = styles.find("numFmtId=\"", xf);
  return styles.substr(id + 10, styles.find('"', id + 10) - id - 10);
}

// A cell's own format wins over its column's and row's, also when its own is General.
TEST(XlsWriterShapes, GeneralCellsInFormattedColumnsAndRowsStayGeneral) {
  Workbook book, saved;
  std::map<std::string, std::string> parts;
  ReadAndResave(DataFile("xlwt_shapes.xls"), book, saved, &parts);
  EXPECT_EQ(book.GetFormattedText(1, 1, 1), "0.256407");
  EXPECT_EQ(book.GetFormattedText(1, 3, 3), "0.256407") << "currency column";
  EXPECT_EQ(book.GetFormattedText(1, 4, 1), "0.5") << "currency row";
  // Cells with the currency format of their own, and the empty cells of the column and
  // the row, keep it.
  EXPECT_EQ(book.GetFormattedText(1, 1, 2), "$0 ");
  EXPECT_EQ(book.GetFormattedText(1, 5, 3), "$1,235 ");
  EXPECT_EQ(book.GetFormattedText(1, 2, 1), "12.50%");
  // A save gives the General cells the General format, the others their own.
  EXPECT_EQ(SavedFormatOf(parts, "C3"), "0") << parts["xl/worksheets/sheet1.xml"];
  EXPECT_EQ(SavedFormatOf(parts, "A4"), "0");
  EXPECT_EQ(SavedFormatOf(parts, "C5"), "5");
  // Values typed into the column and the row take their format.
  book.SetEntry(1, 9, 3, "2.5");
  book.SetEntry(1, 4, 6, "2.5");
  EXPECT_EQ(book.GetFormattedText(1, 9, 3), "$3 ") << "typed into the column";
  EXPECT_EQ(book.GetFormattedText(1, 4, 6), "$3 ") << "typed into the row";
}

TEST(XlsWriterShapes, HiddenAndVeryHiddenSheetsStaySoInASavedXlsx) {
  Workbook read, saved;
  std::map<std::string, std::string> parts;
  ReadAndResave(DataFile("xlwt_shapes.xls"), read, saved, &parts);
  const std::string& workbook = parts["xl/workbook.xml"];
  auto stateOf = [&](const std::string& name) {
    const size_t at = workbook.find("<sheet name=\"" + name + "\"");
    if (at == std::string::npos) return std::string("(missing)");
    const std::string tag = workbook.substr(at, workbook.find("/>", at) - at);
    const size_t s = tag.find("state=\"");
    return s == std::string::npos ? std::string() : tag.substr(s + 7, tag.find('"', s + 7) - s - 7);
  };
  EXPECT_EQ(stateOf("Data"), "") << workbook;
  EXPECT_EQ(stateOf("Hidden"), "hidden") << workbook;
  EXPECT_EQ(stateOf("Secret"), "veryHidden") << workbook;
  // The sheets' cells come along, and the .xlsx read back says the same again.
  ASSERT_EQ(saved.SheetCount(), 3);
  EXPECT_EQ(saved.GetFormattedText(3, 1, 1), "very hidden");
  ScratchDir dir;
  std::vector<std::string> notes;
  WriteXlsxFile(saved, dir.File("again.xlsx"), &notes);
  const std::string again = test::ZipParts(dir.File("again.xlsx"))["xl/workbook.xml"];
  EXPECT_NE(again.find("state=\"hidden\""), std::string::npos) << again;
  EXPECT_NE(again.find("state=\"veryHidden\""), std::string::npos) << again;
}

// A formula whose cached result is empty text: the FORMULA record says "text follows" and a
// STRING record of no characters follows, in BIFF8 with or without its flags byte, in BIFF5
// with a count alone; or, as LibreOffice writes it, the FORMULA record says "empty text"
// itself (data/libreoffice_empty_text.xls). Text results beside them stay as they are.
TEST(XlsWriterShapes, EmptyTextResultsFollowingTheFormula) {
  for (bool biff8 : {true, false}) {
    // ="" as tokens: tStr with no characters (BIFF8 adds a flags byte).
    const std::string rgce = biff8 ? std::string("\x17\x00\x00", 3) : std::string("\x17\x00", 2);
    auto formula = [&](int row, uint8_t kind) {
      std::string d = U16s({static_cast<uint16_t>(row), 0, 0});
      d += static_cast<char>(kind);
      d += std::string(5, '\0');
      d += "\xFF\xFF";
      d += std::string(6, '\0');  // options, then the reserved word
      test::PutU16(d, static_cast<uint16_t>(rgce.size()));
      return Rec(0x0006, d + rgce);
    };
    std::string cells;
    cells += formula(0, 0) + Rec(0x0207, U16s({0}));                             // count only
    cells += formula(1, 0) + Rec(0x0207, U16s({0}) + std::string(1, '\0'));      // and flags
    cells += formula(2, 3);                                                       // empty text
    cells += formula(3, 0) +
             Rec(0x0207, biff8 ? U16s({1}) + std::string("\0x", 2) : U16s({1}) + "x");
    cells += formula(4, 0) + Rec(0x0207, U16s({0}));
    BiffBook b;
    b.biff8 = biff8;
    b.sheets = {{"S", cells}};
    ScratchDir dir;
    const std::string path = dir.File("t.xls");
    test::WriteBytes(path, test::Compound(biff8 ? "Workbook" : "Book", b.Stream()));
    Workbook read, saved;
    ReadAndResave(path, read, saved);
    for (Workbook* book : {&read, &saved}) {
      const std::string what = std::string(biff8 ? "BIFF8 " : "BIFF5 ") +
                               (book == &read ? "read" : "saved");
      for (int row : {1, 2, 3, 5}) {
        const Cell* c = book->FindCell(1, row, 1);
        ASSERT_NE(c, nullptr) << what << " row " << row;
        EXPECT_NE(c->formula, nullptr) << what << " row " << row;
        EXPECT_EQ(c->value, Value(std::string())) << what << " row " << row;
      }
      EXPECT_EQ(book->FindCell(1, 4, 1)->value, Value(std::string("x"))) << what;
      EXPECT_EQ(book->GetFormula(1, 1, 1), "\"\"") << what;
    }
  }
}

// VERSION() in an .xls file: a function the file format does not number, so it is called as
// an add-in function by its name. It reads as VERSION(), computes this library's version and
// saves back under its own name.
TEST(XlsWriterShapes, VersionFunctionCalledByName) {
  BiffBook b;
  std::string externName = U16s({0, 0, 0});
  externName += test::Str8("VERSION", true) + U16s({2}) + std::string("\x1C\x17", 2);
  b.sst = {Rec(0x01AE, U16s({1, 0x3A01})), Rec(0x0023, externName),
           Rec(0x0017, U16s({1, 0, 0xFFFE, 0xFFFE}))};
  // tNameX (the add-in's first name), then a call of function 255 with that one argument.
  const std::string rgce = std::string("\x39", 1) + U16s({0, 1, 0}) + "\x22\x01" + U16s({255});
  std::string d = U16s({0, 0, 0});
  test::PutF64(d, 0);
  d += U16s({0, 0, 0, static_cast<uint16_t>(rgce.size())});
  b.sheets = {{"S", Rec(0x0006, d + rgce)}};
  ScratchDir dir;
  const std::string path = dir.File("t.xls");
  test::WriteBytes(path, test::Compound("Workbook", b.Stream()));
  Workbook read, saved;
  ReadReport report;
  ReadWorkbookFile(read, path, kFileTypeAny, &report);
  EXPECT_EQ(report.refusedFormulas, 0) << report.firstRefused;
  EXPECT_EQ(read.GetFormula(1, 1, 1), "VERSION()");
  read.Recalc();
  EXPECT_EQ(read.GetCellValue(1, 1, 1), Value(std::string(DDT_VERSION_STRING)));
  ReadAndResave(path, read, saved);
  saved.Recalc();
  EXPECT_EQ(saved.GetFormula(1, 1, 1), "VERSION()");
  EXPECT_EQ(saved.GetCellValue(1, 1, 1), Value(std::string(DDT_VERSION_STRING)));
}

}  // namespace
}  // namespace ddt::grid::io
