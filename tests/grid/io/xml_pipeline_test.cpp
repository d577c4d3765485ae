// A part parsed on a second thread must reach its handler exactly as one parsed on the
// caller's thread: the same events in the same order, the same errors, and no thread left
// behind when the handler gives up.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/xlsx/xml_pipeline.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

// Writes down every event; wants text only inside <v> and <t>, as the sheet reader does.
class Journal : public XmlHandler {
 public:
  explicit Journal(size_t throwAfter = SIZE_MAX) : throwAfter_(throwAfter) {}
  void StartElement(std::string_view name, const char** attrs) override {
    std::string e = "<" + std::string(QName()) + "|" + std::string(name);
    for (; *attrs; attrs += 2) e += " " + std::string(attrs[0]) + "=" + attrs[1];
    Add(e);
    SetWantText(name == "v" || name == "t");
  }
  void EndElement(std::string_view name) override {
    Add("/" + std::string(QName()));
    SetWantText(false);
  }
  void Text(const char* data, size_t size) override {
    text_.append(data, size);  // pieces may be cut anywhere: compare the joined text
  }
  std::vector<std::string> events;
  size_t Calls() const { return calls_; }

 private:
  void Add(std::string e) {
    if (calls_++ == throwAfter_) throw std::runtime_error("handler gave up");
    if (!text_.empty()) events.push_back("#" + std::move(text_));
    text_.clear();
    events.push_back(std::move(e));
  }
  size_t throwAfter_, calls_ = 0;
  std::string text_;
};

// A part of several batches, with what expat hands over in awkward ways: prefixes, empty
// attribute values, entities, CDATA, text outside the wanted elements.
std::string LargePart(int rows, bool broken = false) {
  std::string xml = "<?xml version=\"1.0\"?><x:doc xmlns:x=\"urn:x\" a=\"\">";
  for (int r = 1; r <= rows; ++r) {
    xml += "<row r=\"" + std::to_string(r) + "\" empty=\"\">";
    xml += "<c r=\"A" + std::to_string(r) + "\" t=\"s\"><v>" + std::to_string(r % 97) + "</v></c>";
    xml += "<c r=\"B" + std::to_string(r) + "\"><x:is><t>a &amp; b &lt;" + std::to_string(r) +
           "&gt; <![CDATA[<raw>]]></t></x:is></c> ignored text ";
    xml += "</row>\n";
    if (broken && r == rows / 2) xml += "<bad attr=unquoted>";
  }
  return xml + "</x:doc>";
}

class XmlPipelineTest : public ::testing::Test {
 protected:
  std::string Archive(const std::string& part) {
    const std::string path = dir_.File("p.zip");
    test::WriteZip(path, {{"part.xml", part}});
    return path;
  }
  test::ScratchDir dir_;
};

TEST_F(XmlPipelineTest, SameEventsAsOnTheCallersThread) {
  const std::string path = Archive(LargePart(20000));  // about 2 MB, several batches
  Journal direct, pipelined;
  {
    ZipReader zip(path);
    ParseXmlPart(zip, "part.xml", 1u << 30, direct);
  }
  {
    ZipReader zip(path);
    ParseXmlPartPipelined(zip, "part.xml", 1u << 30, pipelined, /*minPipelinedBytes=*/0);
  }
  ASSERT_GT(direct.events.size(), 200000u);
  EXPECT_EQ(direct.events, pipelined.events);
  EXPECT_EQ(pipelined.events[0], "<x:doc|doc xmlns:x=urn:x a=");
  EXPECT_EQ(pipelined.events[4], "#1");
  EXPECT_EQ(pipelined.events[10], "#a & b <1> <raw>");
}

TEST_F(XmlPipelineTest, AnXmlErrorComesOutAfterTheSameEvents) {
  const std::string path = Archive(LargePart(20000, /*broken=*/true));
  Journal direct, pipelined;
  std::string directError, pipelinedError;
  try {
    ZipReader zip(path);
    ParseXmlPart(zip, "part.xml", 1u << 30, direct);
  } catch (const GridError& e) {
    directError = e.what();
  }
  try {
    ZipReader zip(path);
    ParseXmlPartPipelined(zip, "part.xml", 1u << 30, pipelined, 0);
  } catch (const GridError& e) {
    pipelinedError = e.what();
  }
  EXPECT_NE(directError.find("XML error at line 10001"), std::string::npos) << directError;
  EXPECT_EQ(pipelinedError, directError);
  EXPECT_EQ(pipelined.events, direct.events);
}

TEST_F(XmlPipelineTest, AHandlerThatGivesUpStopsTheParsingThread) {
  const std::string path = Archive(LargePart(50000));
  for (size_t after : {0u, 10u, 100000u}) {
    Journal quitter(after);
    ZipReader zip(path);
    EXPECT_THROW(ParseXmlPartPipelined(zip, "part.xml", 1u << 30, quitter, 0),
                 std::runtime_error);
    EXPECT_EQ(quitter.Calls(), after + 1);  // none after the one that threw
  }
}

TEST_F(XmlPipelineTest, AMissingOrOversizedPartIsRefusedAsBefore) {
  const std::string path = Archive(LargePart(100));
  Journal j;
  ZipReader zip(path);
  EXPECT_THROW(ParseXmlPartPipelined(zip, "absent.xml", 1u << 30, j, 0), GridError);
  EXPECT_THROW(ParseXmlPartPipelined(zip, "part.xml", 1000, j, 0), GridError);
}

TEST_F(XmlPipelineTest, ALargeSheetReadsBackWholeAndItsFaultsAreNamed) {
  // Over the size at which a sheet is parsed on a second thread.
  Workbook book;
  const int rows = 8000, cols = 20;
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c)
      book.SetEntry(1, r, c, c % 2 ? "text " + std::to_string(r * c) : std::to_string(r + c * 0.5));
  const std::string path = dir_.File("large.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  {
    ZipReader zip(path);
    ASSERT_GE(zip.DeclaredSize("xl/worksheets/sheet1.xml"), kPipelinedPartBytes);
  }
  Workbook back;
  back.ReadFile(path, kFileTypeAny);
  for (int r = 1; r <= rows; r += 997)
    for (int c = 1; c <= cols; ++c)
      ASSERT_EQ(back.GetCellValue(1, r, c), book.GetCellValue(1, r, c)) << r << "," << c;
  EXPECT_EQ(back.GetCellValue(1, rows, cols), book.GetCellValue(1, rows, cols));

  // The same sheet with one bad reference deep inside: the handler's error comes out.
  ZipReader zip(path);
  std::string sheet = zip.Read("xl/worksheets/sheet1.xml", 1u << 30);
  const size_t at = sheet.find("r=\"C5000\"");
  ASSERT_NE(at, std::string::npos);
  sheet.replace(at, 9, "r=\"5000C\"");
  std::vector<std::pair<std::string, std::string>> entries;
  for (const std::string& name : zip.Names())
    entries.emplace_back(name, name == "xl/worksheets/sheet1.xml"
                                   ? sheet
                                   : zip.Read(name, 1u << 30));
  const std::string bad = dir_.File("bad.xlsx");
  test::WriteZip(bad, entries);
  Workbook refused;
  try {
    refused.ReadFile(bad, kFileTypeAny);
    FAIL() << "a bad cell reference was read";
  } catch (const GridError& e) {
    EXPECT_NE(std::string(e.what()).find("bad cell reference '5000C'"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace ddt::grid::io
