// The .xlsx vocabulary: references, colours, escapes and date serials.
#include <gtest/gtest.h>

#include "grid/formula/a1.h"
#include "grid/io/xlsx/opc_package.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"

namespace ddt::grid::io {
namespace {

TEST(CellRefs, ParseAndPrintAgree) {
  int64_t row = 0, col = 0;
  ASSERT_TRUE(formula::ParsePlainCellRef("XFD1048576", &row, &col));
  EXPECT_EQ(row, 1048576);
  EXPECT_EQ(col, 16384);
  ASSERT_TRUE(formula::ParsePlainCellRef("aa10", &row, &col));
  EXPECT_EQ(col, 27);
  for (int c : {1, 26, 27, 52, 53, 702, 703, 16384}) {
    std::string ref;
    AppendCellRef(7, c, ref);
    ASSERT_TRUE(formula::ParsePlainCellRef(ref, &row, &col)) << ref;
    EXPECT_EQ(col, c) << ref;
    EXPECT_EQ(row, 7);
  }
  std::string ref;
  text::AppendColumnLetters(ref, 703);
  EXPECT_EQ(ref, "AAA");
}

TEST(CellRefs, MalformedAndHugeReferences) {
  int64_t row = 0, col = 0;
  EXPECT_FALSE(formula::ParsePlainCellRef("", &row, &col));
  EXPECT_FALSE(formula::ParsePlainCellRef("A", &row, &col));
  EXPECT_FALSE(formula::ParsePlainCellRef("12", &row, &col));
  EXPECT_FALSE(formula::ParsePlainCellRef("A0", &row, &col));
  EXPECT_FALSE(formula::ParsePlainCellRef("A1B", &row, &col));
  EXPECT_FALSE(formula::ParsePlainCellRef("$A$1", &row, &col));
  // Beyond the limits: parsed (saturating, no overflow) so the caller can say so.
  ASSERT_TRUE(formula::ParsePlainCellRef("XFE1", &row, &col));
  EXPECT_EQ(col, 16385);
  ASSERT_TRUE(formula::ParsePlainCellRef("A99999999999999999999999", &row, &col));
  EXPECT_GT(row, 1048576);
  ASSERT_TRUE(formula::ParsePlainCellRef("ZZZZZZZZZZZZZZZZZZZZ1", &row, &col));
  EXPECT_GT(col, 16384);
}

TEST(Colours, ArgbIndexedThemeAndTint) {
  EXPECT_EQ(ParseArgb("FFFF0000"), 0x0000FFu);  // red is 0x00BBGGRR = 0x0000FF
  EXPECT_EQ(ParseArgb("00112233"), 0x332211u);
  EXPECT_EQ(ParseArgb("12345"), std::nullopt);
  EXPECT_EQ(ParseArgb("GG000000"), std::nullopt);
  EXPECT_EQ(ArgbText(0x332211), "FF112233");
  EXPECT_EQ(IndexedColor(2), 0x0000FFu);   // red
  EXPECT_EQ(IndexedColor(12), 0xFF0000u);  // blue
  EXPECT_EQ(IndexedColor(22), 0xC0C0C0u);  // silver
  EXPECT_EQ(IndexedColor(64), 0x000000u);  // system foreground
  EXPECT_EQ(ThemeColor(0, 0), 0xFFFFFFu);
  EXPECT_EQ(ThemeColor(1, 0), 0x000000u);
  EXPECT_EQ(ApplyTint(0x000000, 0.5), 0x808080u);  // lighter by half
  EXPECT_EQ(ApplyTint(0xFFFFFF, -0.5), 0x808080u);  // darker by half
  EXPECT_EQ(ApplyTint(0x0000FF, 0), 0x0000FFu);
}

TEST(XmlText, EscapesRoundTripThroughStringItems) {
  std::string out;
  AppendXmlText("a<b>&\"c\"\t\n\r", out);
  EXPECT_EQ(out, "a&lt;b&gt;&amp;&quot;c&quot;&#9;&#10;&#13;");

  // Control characters become _xHHHH_, and a literal _xHHHH_ is protected.
  out.clear();
  AppendXmlText(std::string("x\x01y_x0041_z", 11), out);
  EXPECT_EQ(out, "x_x0001_y_x005F_x0041_z");
  std::string back = out;
  UnescapeXstring(back);
  EXPECT_EQ(back, std::string("x\x01y_x0041_z", 11));

  // Invalid UTF-8 cannot reach the file.
  out.clear();
  AppendXmlText("a\xFF" "b\xC3", out);
  EXPECT_EQ(out, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  out.clear();
  AppendXmlText("\xC3\xBC\xE2\x82\xAC", out);  // ü€ pass unchanged
  EXPECT_EQ(out, "\xC3\xBC\xE2\x82\xAC");

  std::string s = "_x00e9_ and _xZZZZ_";
  UnescapeXstring(s);
  EXPECT_EQ(s, "\xC3\xA9 and _xZZZZ_");
}

TEST(Dates, SerialsOfBothDateSystems) {
  EXPECT_EQ(IsoDateToSerial("1900-01-01", false), 1.0);
  EXPECT_EQ(IsoDateToSerial("1900-02-28", false), 59.0);
  EXPECT_EQ(IsoDateToSerial("1900-03-01", false), 61.0);  // after the phantom 29 Feb 1900
  EXPECT_EQ(IsoDateToSerial("2024-03-01", false), 45352.0);
  EXPECT_EQ(IsoDateToSerial("2024-03-01", true), 45352.0 - 1462);
  EXPECT_EQ(IsoDateToSerial("1904-01-02", true), 1.0);
  EXPECT_EQ(IsoDateToSerial("2024-03-01T12:00:00", false), 45352.5);
  EXPECT_EQ(IsoDateToSerial("2024-03-01T06:00:00Z", false), 45352.25);
  EXPECT_EQ(IsoDateToSerial("18:00:00", false), 0.75);
  EXPECT_EQ(IsoDateToSerial("2024-13-01", false), std::nullopt);
  EXPECT_EQ(IsoDateToSerial("yesterday", false), std::nullopt);
}

TEST(PartNames, RelativeAndAbsoluteTargets) {
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "/xl/worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "../other/./s.xml"), "other/s.xml");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "../../../s.xml"), "s.xml");
  EXPECT_EQ(ResolvePartName("", "xl/workbook.xml"), "xl/workbook.xml");
  EXPECT_EQ(ResolvePartName("xl/workbook.xml", "my%20sheet.xml"), "xl/my sheet.xml");
  EXPECT_EQ(RelationshipsPartName("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_TRUE(TypeIs("http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet", "worksheet"));
  EXPECT_TRUE(TypeIs("http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet", "worksheet"));
  EXPECT_FALSE(TypeIs("http://x/chartsheet", "sheet"));
}

TEST(ColumnWidths, FileWidthCarriesPaddingAndRoundTrips) {
  EXPECT_DOUBLE_EQ(FileColumnWidth(8.43), 9.140625);
  for (double w : {0.5, 8.43, 10.0, 20.0, 33.71, 100.0, 255.0})
    EXPECT_DOUBLE_EQ(GridColumnWidth(FileColumnWidth(w)), w) << w;
  EXPECT_EQ(GridColumnWidth(0), 0);
}

}  // namespace
}  // namespace ddt::grid::io
