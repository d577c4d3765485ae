// Damaged and hostile files: each gives a clear error (or a safe default), bounded memory,
// and leaves the workbook as it was.
#include <gtest/gtest.h>

#include "grid/io/file_type.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::Package;
using test::ScratchDir;

std::string Cells(const std::string& cells) {
  return "<sheetData><row r=\"1\">" + cells + "</row></sheetData>";
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    book_.SetSheetName(1, "Before");
    book_.SetCellValue(1, 1, 1, Value(std::string("kept")));
  }
  // Reading must fail with a message that names the file and contains `what`, and leave
  // the workbook untouched.
  void ExpectRefused(const std::string& path, const std::string& what) {
    try {
      ReadWorkbookFile(book_, path, kFileTypeAny);
      ADD_FAILURE() << "read of " << path << " succeeded";
    } catch (const GridError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(path), std::string::npos) << message;
      EXPECT_NE(message.find(what), std::string::npos) << message;
    }
    EXPECT_EQ(book_.SheetCount(), 1);
    EXPECT_EQ(book_.SheetName(1), "Before");
    const Cell* c = book_.FindCell(1, 1, 1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->value, Value(std::string("kept")));
  }
  void ExpectPackageRefused(const Package& p, const std::string& what) {
    const std::string path = dir_.File("bad.xlsx");
    p.Write(path);
    ExpectRefused(path, what);
  }
  ScratchDir dir_;
  Workbook book_;
};

TEST_F(BadInput, NotAWorkbookAtAll) {
  test::WriteBytes(dir_.File("garbage.xlsx"), std::string("PK\x03\x04garbage that is no zip", 26));
  ExpectRefused(dir_.File("garbage.xlsx"), "zip");
  test::WriteBytes(dir_.File("binary.bin"), std::string("\x00\x01\x02\x03", 4));
  ExpectRefused(dir_.File("binary.bin"), "not a workbook");
  ExpectRefused(dir_.File("missing.xlsx"), "cannot open");
  test::WriteZip(dir_.File("other.zip"), {{"readme.txt", "hello"}});
  ExpectRefused(dir_.File("other.zip"), "no workbook part");
}

TEST_F(BadInput, AWorkbookNameMustHoldAWorkbook) {
  for (const char* name : {"empty.xlsx", "empty.XLSM", "empty.xls"}) {
    test::WriteBytes(dir_.File(name), "");
    ExpectRefused(dir_.File(name), "empty file");
  }
  // Text under a workbook's name is a mistake, not a table: it is refused, CSV or not.
  test::WriteBytes(dir_.File("text.xlsx"), "Name,Age\nalice,30\n");
  ExpectRefused(dir_.File("text.xlsx"), "not an .xlsx workbook: it looks like text");
  test::WriteBytes(dir_.File("text.xlsm"), "\xEF\xBB\xBFName\n");
  ExpectRefused(dir_.File("text.xlsm"), "not an .xlsx workbook: it looks like text");
  test::WriteBytes(dir_.File("binary.xlsx"), std::string("\x00\x01\x02\x03", 4));
  ExpectRefused(dir_.File("binary.xlsx"), "not an .xlsx workbook: it is not a zip archive");
  test::WriteBytes(dir_.File("legacy.xlsx"), test::ReadBytes(test::DataFile("libreoffice.xls")));
  ExpectRefused(dir_.File("legacy.xlsx"), "not an .xlsx workbook: it is not a zip archive");
  // The content decides for other names, as before: .xls content under .xls, a zip
  // workbook under .xls, text under .xls or no extension.
  test::WriteBytes(dir_.File("table.xls"), "a,b\n1,2\n");
  EXPECT_EQ(ReadWorkbookFile(book_, dir_.File("table.xls"), kFileTypeAny), kFileTypeCsv);
  test::WriteBytes(dir_.File("noext"), "a\n");
  EXPECT_EQ(ReadWorkbookFile(book_, dir_.File("noext"), kFileTypeAny), kFileTypeCsv);
}

TEST_F(BadInput, AnEmptyCsvIsAnEmptyTable) {
  test::WriteBytes(dir_.File("empty.csv"), "");
  EXPECT_EQ(ReadWorkbookFile(book_, dir_.File("empty.csv"), kFileTypeAny), kFileTypeCsv);
  EXPECT_EQ(book_.SheetCount(), 1);
  EXPECT_EQ(book_.SheetName(1), "empty");
  EXPECT_EQ(book_.FindCell(1, 1, 1), nullptr);
}

TEST_F(BadInput, DamagedXls) {
  const std::string bytes = test::ReadBytes(test::DataFile("libreoffice.xls"));
  for (size_t keep : {size_t{600}, size_t{2000}, bytes.size() / 2}) {
    test::WriteBytes(dir_.File("cut.xls"), bytes.substr(0, keep));
    ExpectRefused(dir_.File("cut.xls"), "xls");
  }
  std::string scrambled = bytes;
  for (size_t i = 512; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(i * 31);
  test::WriteBytes(dir_.File("scrambled.xls"), scrambled);
  ExpectRefused(dir_.File("scrambled.xls"), "xls");
  test::WriteBytes(dir_.File("header.xls"), bytes.substr(0, 8));
  ExpectRefused(dir_.File("header.xls"), "xls");
}

TEST_F(BadInput, TruncatedArchive) {
  Package p;
  p.sheets = {{"S", Cells("<c r=\"A1\"><v>1</v></c>")}};
  p.Write(dir_.File("whole.xlsx"));
  const std::string bytes = test::ReadBytes(dir_.File("whole.xlsx"));
  for (size_t keep : {bytes.size() / 2, bytes.size() - 10, size_t{30}}) {
    test::WriteBytes(dir_.File("cut.xlsx"), bytes.substr(0, keep));
    ExpectRefused(dir_.File("cut.xlsx"), "zip");
  }
}

TEST_F(BadInput, ArchivesThatExpandTooFar) {
  // Declared sizes: refused before inflating.
  Package p;
  p.sheets = {{"S", "<sheetData/>" + std::string(kRatioExemptBytes + 1024, ' ')}};
  ExpectPackageRefused(p, "compression ratio");
  // A part that declares 1000 bytes and inflates to 40 MB: caught while inflating.
  ZipReader zip(test::DataFile("lying_sizes.zip"));
  uint64_t seen = 0;
  try {
    zip.Stream("xl/worksheets/sheet1.xml", kMaxEntryBytes,
               [&](const char*, size_t n) { seen += n; });
    ADD_FAILURE() << "the lying entry was read";
  } catch (const GridError& e) {
    EXPECT_NE(std::string(e.what()).find("declared size"), std::string::npos) << e.what();
  }
  EXPECT_LE(seen, 1000u);
  // Per-part bound.
  EXPECT_THROW(zip.Read("xl/worksheets/sheet1.xml", 10), GridError);
}

TEST_F(BadInput, DoctypeAndEntitiesAreRefused) {
  Package p;
  p.sheets = {{"S", "<sheetData/>"}};
  p.overrides["xl/worksheets/sheet1.xml"] =
      "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY e \"boom\">]>"
      "<worksheet xmlns=\"" + std::string(test::kMain) + "\"><sheetData/></worksheet>";
  ExpectPackageRefused(p, "document type declaration");

  Package q;
  q.sheets = {{"S", "<sheetData/>"}};
  q.overrides["xl/workbook.xml"] =
      "<!DOCTYPE workbook [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
      "<workbook xmlns=\"" + std::string(test::kMain) + "\"><sheets/></workbook>";
  ExpectPackageRefused(q, "not allowed");

  // Malformed XML names the part and line.
  Package r;
  r.sheets = {{"S", "<sheetData><row></sheetData>"}};
  ExpectPackageRefused(r, "xl/worksheets/sheet1.xml: XML error at line 1");
}

TEST_F(BadInput, ReferencesBeyondTheGrid) {
  Package p;
  p.sheets = {{"S", Cells("<c r=\"XFE1\"><v>1</v></c>")}};
  ExpectPackageRefused(p, "XFE1 is beyond the sheet's limits");
  p.sheets = {{"S", "<sheetData><row r=\"1048577\"><c><v>1</v></c></row></sheetData>"}};
  ExpectPackageRefused(p, "row 1048577 is beyond the last row");
  p.sheets = {{"S", Cells("<c r=\"A99999999999999999999\"><v>1</v></c>")}};
  ExpectPackageRefused(p, "beyond the sheet's limits");
  p.sheets = {{"S", Cells("<c r=\"XFD1\"><v>1</v></c><c><v>2</v></c>")}};
  ExpectPackageRefused(p, "beyond the last column");
  p.sheets = {{"S", Cells("<c r=\"1A\"><v>1</v></c>")}};
  ExpectPackageRefused(p, "bad cell reference '1A'");
  p.sheets = {{"S", Cells("<c r=\"A1\"><v>12abc</v></c>")}};
  ExpectPackageRefused(p, "bad number");
}

TEST_F(BadInput, IndexesOutOfRange) {
  Package p;
  p.sharedStrings = "<si><t>only</t></si>";
  p.sheets = {{"S", Cells("<c r=\"A1\" t=\"s\"><v>1</v></c>")}};
  ExpectPackageRefused(p, "cell A1: shared string index '1' is out of range");
  p.sheets = {{"S", Cells("<c r=\"B1\" t=\"s\"><v>-1</v></c>")}};
  ExpectPackageRefused(p, "shared string index '-1' is out of range");
  p.styles = "<cellXfs count=\"1\"><xf/></cellXfs>";
  p.sheets = {{"S", Cells("<c r=\"C1\" s=\"1\"><v>1</v></c>")}};
  ExpectPackageRefused(p, "cell C1: style index 1 is out of range");
}

TEST_F(BadInput, MissingParts) {
  Package p;
  p.sheets = {{"S", "<sheetData/>"}, {"T", "<sheetData/>"}};
  p.overrides["xl/worksheets/sheet2.xml"] = "";
  ExpectPackageRefused(p, "xl/worksheets/sheet2.xml of sheet 'T' is missing");
  Package q;
  q.sheets = {{"S", "<sheetData/>"}};
  q.overrides["xl/_rels/workbook.xml.rels"] = "";
  ExpectPackageRefused(q, "sheet 'S' has no part");
  Package r;
  r.overrides["xl/workbook.xml"] = "<workbook><sheets/></workbook>";
  ExpectPackageRefused(r, "no sheets");
}

TEST_F(BadInput, TextLongerThanACellHolds) {
  const std::string longest(32767, 'x');
  Package ok;
  ok.sheets = {{"S", Cells("<c r=\"A1\" t=\"inlineStr\"><is><t>" + longest + "</t></is></c>")}};
  ok.Write(dir_.File("ok.xlsx"));
  Workbook book;
  ReadWorkbookFile(book, dir_.File("ok.xlsx"), kFileTypeAny);
  EXPECT_EQ(std::get<grid::SharedText>(book.FindCell(1, 1, 1)->value).size(), 32767u);
  // 32767 characters of two bytes each are fine too: characters count, not bytes.
  std::string wide;
  for (int i = 0; i < 32767; ++i) wide += "\xC3\xA9";
  ok.sheets = {{"S", Cells("<c r=\"A1\" t=\"inlineStr\"><is><t>" + wide + "</t></is></c>")}};
  ok.Write(dir_.File("ok.xlsx"));
  ReadWorkbookFile(book, dir_.File("ok.xlsx"), kFileTypeAny);

  Package p;
  p.sheets = {{"S", Cells("<c r=\"A1\" t=\"inlineStr\"><is><t>" + longest + "y</t></is></c>")}};
  ExpectPackageRefused(p, "longer than 32767 characters");
  p.sheets = {{"S", Cells("<c r=\"A1\" t=\"str\"><v>" + std::string(200000, 'z') + "</v></c>")}};
  ExpectPackageRefused(p, "longer than 32767 characters");
  Package q;
  q.sharedStrings = "<si><r><t>" + longest + "</t></r><r><t>!</t></r></si>";
  q.sheets = {{"S", "<sheetData/>"}};
  ExpectPackageRefused(q, "shared string 0 is longer than 32767 characters");
}

TEST(XmlReader, HandlerErrorsStopTheParse) {
  struct Throwing : XmlHandler {
    void StartElement(std::string_view name, const char**) override {
      if (name == "stop") throw GridError("stopped here");
      ++seen;
    }
    void EndElement(std::string_view) override {}
    int seen = 0;
  } handler;
  XmlReader reader(handler, "test");
  const std::string doc = "<a><b/><stop/><c/></a>";
  EXPECT_THROW(
      {
        reader.Feed(doc.data(), doc.size());
        reader.Finish();
      },
      GridError);
  EXPECT_EQ(handler.seen, 2);
}

}  // namespace
}  // namespace ddt::grid::io
