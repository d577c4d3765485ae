// The worksheet scanner against expat: documents it reads must give the handler exactly
// expat's events; documents it does not know must reach the handler through expat with
// nothing delivered twice; whole-part inflating must refuse what streaming refuses.
#include <gtest/gtest.h>
#include <zip.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/sheet_xml_part.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "io_test_util.h"
#include "support/xml_event_journal.h"

namespace ddt::grid::io {
namespace {

// Text wanted inside elements named v, t and f, as the sheet reader wants it.
bool ScannerWantsText(std::string_view name) { return name == "v" || name == "t" || name == "f"; }

struct EventLog : ddt::test::XmlEventJournal {
  EventLog() : XmlEventJournal(ScannerWantsText, false) {}
};

struct Outcome {
  std::string events;
  std::string error;
  bool scanned = false;  // the scanner read it all
};

Outcome ByExpat(const std::string& xml) {
  Outcome out;
  EventLog j;
  try {
    XmlReader reader(j, "part p");
    reader.Feed(xml.data(), xml.size());
    reader.Finish();
  } catch (const GridError& e) {
    out.error = e.what();
  }
  j.Flush();
  out.events = j.events;
  return out;
}

Outcome ByScanner(const std::string& xml) {
  Outcome out;
  EventLog j;
  try {
    out.scanned = ParseSheetXml(xml, "part p", j);
  } catch (const GridError& e) {
    out.error = e.what();
  }
  j.Flush();
  out.events = j.events;
  return out;
}

const std::string kRoot = "<worksheet xmlns=\"" + std::string(test::kMain) + "\">";

TEST(SheetScanner, ReadsWhatSpreadsheetsWriteWithTheEventsOfExpat) {
  const std::vector<std::string> docs = {
      // declaration, namespaces, kept elements around the cells, shared strings, styles
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + kRoot +
          "<dimension ref=\"A1:B2\"/><cols><col min=\"1\" max=\"1\" width=\"9\"/></cols>"
          "<sheetData><row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
          "<c r=\"B1\" s=\"3\"><v>1.5</v></c></row></sheetData>"
          "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells></worksheet>\n",
      // attributes in any order and quoting, spaces around '=', self-closing cells
      kRoot + "<sheetData><row r='2'><c t = 'b' r=\"A2\" ><v>1</v></c><c r='B2' s='1'/>"
              "<c s=\"2\" r=\"C2\" /></row></sheetData></worksheet>",
      // entities and character references in values, inline strings and attributes
      "<?xml version='1.0' encoding='utf-8'?>" + kRoot +
          "<sheetData><row><c t=\"inlineStr\"><is><t>A &amp; B &#x41;&#66; &lt;&gt;&quot;&apos;"
          "</t></is></c><c t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c></row></sheetData>"
          "<hyperlinks><hyperlink ref=\"A1\" display=\"x &amp; &#x1F600;\"/></hyperlinks>"
          "</worksheet>",
      // rich text with phonetic runs, whitespace kept, line ends of every kind
      kRoot + "<sheetData>\n  <row r=\"1\">\n    <c r=\"A1\" t=\"inlineStr\"><is><r><rPr><b/>"
              "</rPr><t xml:space=\"preserve\"> two\r\nlines\rand \xC3\xA9\xE2\x82\xAC"
              "\xF0\x9F\x98\x80 </t></r><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></is></c>\n"
              "  </row>\n</sheetData>\n</worksheet>",
      // prefixed names, as strict files write them
      "<x:worksheet xmlns:x=\"" + std::string(test::kMain) + "\"><x:sheetData><x:row r=\"1\">"
          "<x:c r=\"A1\"><x:v>7</x:v></x:c></x:row></x:sheetData></x:worksheet>",
      // ']' and '>' in text, empty values, an empty root
      kRoot + "<sheetData><row><c><f>A1&gt;2]]</f><v></v></c><c><v>]></v></c></row>"
              "</sheetData></worksheet>",
      "<worksheet/>",
  };
  for (const std::string& doc : docs) {
    const Outcome scanner = ByScanner(doc), expat = ByExpat(doc);
    EXPECT_TRUE(scanner.scanned) << doc;
    EXPECT_EQ(scanner.error, "") << doc;
    EXPECT_EQ(scanner.events, expat.events) << doc;
  }
}

TEST(SheetScanner, DecodesReferencesAndNormalizesAsXmlSays) {
  // In attribute values tabs and line ends become spaces, but not when written as
  // references; in text line ends become "\n".
  const Outcome o = ByScanner("<a x='1&amp;2&#9;3\r\n4\t5' y=\"&#x41;&quot;'\">"
                              "<t>A &amp; &#x41;&#66;&lt;\r\nz\r&#13;</t></a>");
  EXPECT_TRUE(o.scanned);
  EXPECT_EQ(o.events, "<a x=1&2\t3 4 5 y=A\"'\n<t\n#A & AB<\nz\n\r\n/t\n/a\n");
}

TEST(SheetScanner, LeavesWhatItDoesNotKnowToExpat) {
  struct Case {
    std::string doc;
    bool wellFormed;
  };
  const std::string cell = "<row><c r=\"A1\"><v>1</v></c>";
  const std::vector<Case> cases = {
      {kRoot + "<sheetData>" + cell + "<!-- note --><c r=\"B1\"><v>2</v></c></row>"
               "</sheetData></worksheet>", true},
      {kRoot + "<sheetData>" + cell + "<c t=\"inlineStr\"><is><t>a<![CDATA[<b>]]>c</t></is>"
               "</c></row></sheetData></worksheet>", true},
      {kRoot + "<sheetData>" + cell + "<?keep this?></row></sheetData></worksheet>", true},
      {"\xEF\xBB\xBF" + kRoot + "<sheetData/></worksheet>", true},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + kRoot + "<sheetData/></worksheet>",
       true},
      {kRoot + "<sheetData>" + cell + "<\xC3\xA9t\xC3\xA9/></row></sheetData></worksheet>",
       true},
      {"<!DOCTYPE w [<!ENTITY e \"boom\">]>" + kRoot + "<sheetData/></worksheet>", false},
      {kRoot + "<sheetData>" + cell + "<c><v>&e;</v></c></row></sheetData></worksheet>", false},
      {kRoot + "<sheetData>" + cell + "<c><v>&#0;</v></c></row></sheetData></worksheet>", false},
      {kRoot + "<sheetData>" + cell + "<c r=\"A2\" r=\"A3\"/></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "<c r=\"A2\"t=\"s\"/></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "</sheetData></worksheet>", false},
      {kRoot + "<sheetData>" + cell + "</row></sheetData>", false},
      {kRoot + "<sheetData/></worksheet><worksheet/>", false},
      {kRoot + "<sheetData>" + cell + "<c><v>\xC3\x28</v></c></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "<c><v>\xED\xA0\x80</v></c></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "<c><v>a\x01</v></c></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "<c><v>a]]>b</v></c></row></sheetData></worksheet>",
       false},
      {kRoot + "<sheetData>" + cell + "<c r=\"a<b\"/></row></sheetData></worksheet>", false},
      {kRoot + "<sheetData>" + cell + std::string("<c><v>1\0", 8) + "</v></c></row>"
               "</sheetData></worksheet>", false},
  };
  for (const Case& c : cases) {
    const Outcome scanner = ByScanner(c.doc), expat = ByExpat(c.doc);
    EXPECT_FALSE(scanner.scanned) << c.doc;
    EXPECT_EQ(expat.error.empty(), c.wellFormed) << c.doc << ": " << expat.error;
    EXPECT_EQ(scanner.error, expat.error) << c.doc;
    EXPECT_EQ(scanner.events, expat.events) << c.doc;
  }
}

// Throws once it has seen `cells` cells.
class StopAtCell : public XmlHandler {
 public:
  explicit StopAtCell(int cells) : left_(cells) {}
  void StartElement(std::string_view name, const char**) override {
    if (name == "c" && left_-- == 0) throw GridError("stopped");
    if (name == "c") ++seen;
  }
  void EndElement(std::string_view) override {}
  int seen = 0;

 private:
  int left_;
};

TEST(SheetScanner, AHandlerErrorComesOutAsItIsAndNothingIsDeliveredTwice) {
  std::string doc = kRoot + "<sheetData><row>";
  for (int i = 0; i < 5; ++i) doc += "<c><v>" + std::to_string(i) + "</v></c>";
  doc += "</row></sheetData></worksheet>";
  StopAtCell stop(2);
  try {
    ParseSheetXml(doc, "part p", stop);
    ADD_FAILURE() << "the handler's error was lost";
  } catch (const GridError& e) {
    EXPECT_STREQ(e.what(), "stopped");
  }
  EXPECT_EQ(stop.seen, 2);

  // Expat taking over after a comment: each cell reaches the handler once.
  std::string commented = doc;
  commented.insert(commented.find("<c><v>3"), "<!-- x -->");
  StopAtCell all(100);
  EXPECT_FALSE(ParseSheetXml(commented, "part p", all));
  EXPECT_EQ(all.seen, 5);
}

std::string ZipOf(const test::ScratchDir& dir, const std::string& content, bool stored) {
  const std::string path = dir.File(stored ? "stored.zip" : "deflated.zip");
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
  const zip_int64_t i = zip_file_add(z, "p.xml", src, ZIP_FL_ENC_UTF_8);
  zip_set_file_compression(z, static_cast<zip_uint64_t>(i), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
  zip_close(z);
  return path;
}

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const GridError& e) {
    return e.what();
  }
  return "";
}

TEST(ZipInflate, GivesTheBytesOfStreamAndRefusesWhatItRefuses) {
  test::ScratchDir dir;
  std::string content;
  for (int i = 0; i < 20000; ++i) content += "<c r=\"A" + std::to_string(i) + "\"><v>1</v></c>";
  for (bool stored : {false, true}) {
    const std::string path = ZipOf(dir, content, stored);
    ZipReader zip(path);
    const InflatedPart part = zip.Inflate("P.XML", kMaxEntryBytes);  // names fold case
    EXPECT_EQ(std::string(part.data(), part.size()), content);
    EXPECT_EQ(part.data()[part.size()], '\0');

    // A wrong CRC, in the local header and the central directory alike.
    std::string bytes = test::ReadBytes(path);
    bytes[14] ^= 1;
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 16] ^= 1;
    const std::string bad = dir.File("bad.zip");
    test::WriteBytes(bad, bytes);
    ZipReader a(bad), b(bad);
    const std::string streamed =
        ErrorOf([&] { b.Stream("p.xml", kMaxEntryBytes, [](const char*, size_t) {}); });
    EXPECT_NE(streamed, "");
    EXPECT_EQ(ErrorOf([&] { a.Inflate("p.xml", kMaxEntryBytes); }), streamed);
  }
  // Declared sizes past the limit, and an entry inflating past its declared size.
  ZipReader zip(ZipOf(dir, content, false));
  EXPECT_NE(ErrorOf([&] { zip.Inflate("p.xml", 100); }).find("too large"), std::string::npos);
  ZipReader lying(test::DataFile("lying_sizes.zip"));
  EXPECT_NE(ErrorOf([&] { lying.Inflate("xl/worksheets/sheet1.xml", kMaxEntryBytes); })
                .find("declared size"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { zip.Inflate("q.xml", kMaxEntryBytes); }).find("missing"),
            std::string::npos);
}

std::string Shown(const Value& v) {
  if (IsText(v)) return std::string(TextOf(v));
  if (IsNumber(v)) {
    std::ostringstream out;
    out << std::get<double>(v);
    return out.str();
  }
  if (IsBoolean(v)) return std::get<bool>(v) ? "TRUE" : "FALSE";
  if (IsError(v)) return "#" + std::to_string(static_cast<int>(std::get<ErrorCode>(v)));
  return "";
}

// Cells of a workbook as text, one per line, with their formulas.
std::string CellsOf(const Workbook& book) {
  std::string out;
  const Sheet& sheet = book.SheetAt(1);
  for (const auto& row : sheet.Rows())
    for (const auto& entry : row.cells) {
      out += std::to_string(row.row) + "," + std::to_string(entry.col) + "=" +
             Shown(entry.cell.value);
      if (entry.cell.formula) out += " f";
      out += "\n";
    }
  return out;
}

TEST(SheetScannerRead, AWorkbookReadsTheSameWhicheverReaderTakesItsSheet) {
  test::ScratchDir dir;
  const std::string body =
      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>A &amp; B &#x41;</t></is></c>"
      "<c r=\"B1\" t=\"inlineStr\"><is><r><t>ri</t></r><r><rPr><b/></rPr><t>ch</t></r>"
      "<rPh><t>no</t></rPh></is></c><c r=\"C1\"><f>1+2</f><v>3</v></c></row>"
      "<row r=\"3\"><c r=\"A3\" t=\"b\"><v>1</v></c><c r=\"B3\" t=\"e\"><v>#DIV/0!</v></c>"
      "<!--MARK--><c r=\"C3\" t=\"s\"><v>0</v></c><c r=\"D3\"><v> 2.5 </v></c></row></sheetData>";
  std::string cells[2];
  for (int fallback = 0; fallback < 2; ++fallback) {
    test::Package p;
    std::string b = body;
    if (!fallback) b.erase(b.find("<!--MARK-->"), 11);
    p.sheets = {{"S", b}};
    p.sharedStrings = "<si><t>shared</t></si>";
    const std::string path = dir.File("book" + std::to_string(fallback) + ".xlsx");
    p.Write(path);
    Workbook book;
    ReadWorkbookFile(book, path, kFileTypeAny);
    cells[fallback] = CellsOf(book);
  }
  EXPECT_EQ(cells[0], cells[1]);
  EXPECT_NE(cells[0].find("1,1=A & B A\n"), std::string::npos) << cells[0];
  EXPECT_NE(cells[0].find("1,2=rich\n"), std::string::npos) << cells[0];
  EXPECT_NE(cells[0].find("3,3=shared\n"), std::string::npos) << cells[0];
  EXPECT_NE(cells[0].find("3,4=2.5\n"), std::string::npos) << cells[0];
}

TEST(SheetScannerRead, ALargeSheetGivenBackWhileScannedIsReadAgainWhenExpatTakesOver) {
  // Past the size from which the scanner gives back what it has read, with a comment near
  // the end: expat must read the part again from the archive.
  test::ScratchDir dir;
  std::string body = "<sheetData>";
  int rows = 0;
  while (body.size() < (size_t{17} << 20)) {
    ++rows;
    body += "<row r=\"" + std::to_string(rows) + "\"><c r=\"A" + std::to_string(rows) +
            "\"><v>" + std::to_string(rows) + "</v></c><c r=\"B" + std::to_string(rows) +
            "\" t=\"inlineStr\"><is><t>text of the row</t></is></c></row>";
  }
  body += "<!-- end --></sheetData>";
  test::Package p;
  p.sheets = {{"S", body}};
  const std::string path = dir.File("large.xlsx");
  p.Write(path);
  Workbook book;
  ReadWorkbookFile(book, path, kFileTypeAny);
  const Cell* last = book.FindCell(1, rows, 1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->value, Value(static_cast<double>(rows)));
  size_t count = 0;
  for (const auto& row : book.SheetAt(1).Rows()) count += row.cells.size();
  EXPECT_EQ(count, static_cast<size_t>(rows) * 2);
}

}  // namespace
}  // namespace ddt::grid::io
