// Reading .xlsx packages: cells, strings, formulas, styles, row and column properties.
#include <gtest/gtest.h>

#include "grid/format/number_format.h"
#include "grid/formula/formula.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::Package;
using test::ScratchDir;

class XlsxRead : public ::testing::Test {
 protected:
  // Writes the package and reads it into book_; returns the report.
  ReadReport Read(const Package& p) {
    const std::string path = dir_.File("book.xlsx");
    p.Write(path);
    ReadReport report;
    EXPECT_EQ(ReadWorkbookFile(book_, path, kFileTypeAny, &report), kFileTypeXlsx);
    return report;
  }
  Value At(int sheet, int row, int col) {
    const Cell* c = book_.FindCell(sheet, row, col);
    return c ? c->value : Value();
  }
  ScratchDir dir_;
  Workbook book_;
};

TEST_F(XlsxRead, CellsAndRowsWithoutReferencesFollowThePreviousOne) {
  Package p;
  p.sheets = {{"S", "<sheetData>"
                    "<row><c t=\"inlineStr\"><is><t>a</t></is></c><c><v>2</v></c>"
                    "<c r=\"E1\"><v>5</v></c><c><v>6</v></c></row>"
                    "<row><c><v>7</v></c></row>"
                    "<row r=\"10\"><c><v>10</v></c></row>"
                    "<row><c r=\"C11\"><v>11</v></c><c><v>12</v></c></row>"
                    "</sheetData>"}};
  Read(p);
  EXPECT_EQ(At(1, 1, 1), Value(std::string("a")));
  EXPECT_EQ(At(1, 1, 2), Value(2.0));
  EXPECT_EQ(At(1, 1, 5), Value(5.0));
  EXPECT_EQ(At(1, 1, 6), Value(6.0));
  EXPECT_EQ(At(1, 2, 1), Value(7.0));
  EXPECT_EQ(At(1, 10, 1), Value(10.0));
  EXPECT_EQ(At(1, 11, 3), Value(11.0));
  EXPECT_EQ(At(1, 11, 4), Value(12.0));
  EXPECT_EQ(At(1, 11, 1), Value());
}

TEST_F(XlsxRead, SharedAndInlineStrings) {
  Package p;
  p.sharedStrings =
      "<si><t>zero</t></si><si/><si><t/></si>"
      "<si><r><t>ri</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">ch </t></r>"
      "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si>"
      "<si><t>a_x000D_b_x005F_x0041_</t></si>";
  p.sheets = {{"S", "<sheetData><row r=\"1\">"
                    "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>3</v></c>"
                    "<c r=\"C1\" t=\"s\"><v>4</v></c><c r=\"D1\" t=\"s\"><v>1</v></c>"
                    "<c r=\"E1\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>line</t></r>"
                    "<rPh><t>x</t></rPh></is></c>"
                    "</row></sheetData>"}};
  Read(p);
  EXPECT_EQ(At(1, 1, 1), Value(std::string("zero")));
  EXPECT_EQ(At(1, 1, 2), Value(std::string("rich ")));
  EXPECT_EQ(At(1, 1, 3), Value(std::string("a\rb_x0041_")));
  EXPECT_TRUE(IsEmpty(At(1, 1, 4)) || At(1, 1, 4) == Value(std::string()));
  EXPECT_EQ(At(1, 1, 5), Value(std::string("inline")));
}

TEST_F(XlsxRead, ValueTypes) {
  Package p;
  p.workbookExtra = "<workbookPr date1904=\"true\"/>";
  p.sheets = {{"S", "<sheetData><row r=\"1\">"
                    "<c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c>"
                    "<c r=\"C1\" t=\"e\"><v>#N/A</v></c><c r=\"D1\" t=\"e\"><v>#BOGUS</v></c>"
                    "<c r=\"E1\" t=\"n\"><v>1.5E3</v></c><c r=\"F1\"><v> -0.25 </v></c>"
                    "<c r=\"G1\" t=\"d\"><v>1904-01-03T12:00:00</v></c>"
                    "<c r=\"H1\" t=\"str\"><v>plain str</v></c>"
                    "<c r=\"I1\" s=\"0\"/>"
                    "</row></sheetData>"}};
  Read(p);
  EXPECT_TRUE(book_.Date1904());
  EXPECT_EQ(At(1, 1, 1), Value(true));
  EXPECT_EQ(At(1, 1, 2), Value(false));
  EXPECT_EQ(At(1, 1, 3), Value(ErrorCode::NA));
  EXPECT_EQ(At(1, 1, 4), Value(ErrorCode::Value));
  EXPECT_EQ(At(1, 1, 5), Value(1500.0));
  EXPECT_EQ(At(1, 1, 6), Value(-0.25));
  EXPECT_EQ(At(1, 1, 7), Value(2.5));
  EXPECT_EQ(At(1, 1, 8), Value(std::string("plain str")));
  EXPECT_EQ(At(1, 1, 9), Value());
}

TEST_F(XlsxRead, FormulasKeepTheirCachedResultsOfEveryType) {
  Package p;
  p.sheets = {{"S", "<sheetData><row r=\"1\">"
                    "<c r=\"A1\"><v>4</v></c>"
                    "<c r=\"B1\"><f>A1*2</f><v>8</v></c>"
                    "<c r=\"C1\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c>"
                    "<c r=\"D1\" t=\"b\"><f>A1&gt;1</f><v>1</v></c>"
                    "<c r=\"E1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
                    "<c r=\"F1\"><f>)))not a formula(((</f><v>99</v></c>"
                    "</row></sheetData>"}};
  ReadReport report = Read(p);
  EXPECT_EQ(At(1, 1, 2), Value(8.0));
  EXPECT_EQ(At(1, 1, 3), Value(std::string("ab")));
  EXPECT_EQ(At(1, 1, 4), Value(true));
  EXPECT_EQ(At(1, 1, 5), Value(ErrorCode::Div0));
  // A formula the parser refuses keeps its cached value and is reported, not fatal.
  EXPECT_EQ(At(1, 1, 6), Value(99.0));
  EXPECT_GE(report.refusedFormulas, 1);
  EXPECT_EQ(report.refusedFormulas, 1);
  EXPECT_EQ(report.firstRefused, "S!F1: )))not a formula(((");
  // It is kept as written, and its value stays the stored one after a full recalculation.
  ASSERT_NE(book_.FindCell(1, 1, 6)->formula, nullptr);
  EXPECT_EQ(book_.GetFormula(1, 1, 6), ")))not a formula(((");
  book_.Recalc();
  EXPECT_EQ(book_.GetCellValue(1, 1, 6), Value(99.0));
  EXPECT_NE(book_.FindCell(1, 1, 2)->formula, nullptr);
  EXPECT_EQ(book_.GetFormula(1, 1, 2), "A1*2");
  EXPECT_EQ(book_.GetCellValue(1, 1, 3), Value(std::string("ab")));
}

TEST_F(XlsxRead, ArrayFormulasOverSeveralCellsKeepTheirStoredParts) {
  // The cells the array fills hold its stored parts, one of them text entered with an
  // apostrophe (quotePrefix), which a user could not type there.
  Package p;
  p.styles =
      "<fonts count=\"1\"><font/></fonts><fills count=\"1\"><fill/></fills>"
      "<borders count=\"1\"><border/></borders><cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
      "<cellXfs count=\"2\"><xf/><xf quotePrefix=\"1\"/></cellXfs>";
  p.sheets = {{"S", "<sheetData>"
                    "<row r=\"1\"><c r=\"A1\" t=\"str\"><v>x</v></c>"
                    "<c r=\"B1\" t=\"str\"><f t=\"array\" ref=\"B1:B2\">A1:A2&amp;\"!\"</f>"
                    "<v>x!</v></c></row>"
                    "<row r=\"2\"><c r=\"A2\" t=\"str\"><v>y</v></c>"
                    "<c r=\"B2\" s=\"1\" t=\"str\"><v>y!</v></c></row>"
                    "</sheetData>"}};
  Read(p);
  EXPECT_EQ(At(1, 2, 2), Value(std::string("y!")));
  EXPECT_TRUE(book_.FindCell(1, 2, 2)->forcedText);
  book_.SetEntry(1, 2, 1, "z");
  EXPECT_EQ(book_.GetCellValue(1, 2, 2), Value(std::string("z!")));
  EXPECT_THROW(book_.SetEntry(1, 2, 2, "'typed"), GridError);
}

TEST_F(XlsxRead, SharedFormulasShiftFromTheirMaster) {
  Package p;
  p.sheets = {{"S", "<sheetData>"
                    "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" ref=\"B1:C3\" si=\"0\">A1*2</f><v>2</v></c>"
                    "<c r=\"C1\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
                    "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
                    "<row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>6</v></c>"
                    "<c r=\"D3\"><f t=\"shared\" si=\"7\"/><v>5</v></c>"
                    "<c r=\"E3\"><f t=\"array\" ref=\"E3:E4\">A1:A2*2</f><v>2</v></c></row>"
                    "<row r=\"4\"><c r=\"E4\"><v>4</v></c></row>"
                    "</sheetData>"}};
  ReadReport report = Read(p);
  EXPECT_EQ(At(1, 2, 2), Value(4.0));
  EXPECT_EQ(At(1, 3, 2), Value(6.0));
  EXPECT_EQ(At(1, 3, 4), Value(5.0));  // no master: the cached value stays
  EXPECT_EQ(At(1, 4, 5), Value(4.0));
  EXPECT_EQ(book_.GetFormula(1, 1, 2), "A1*2");
  EXPECT_EQ(book_.GetFormula(1, 1, 3), "B1*2");
  EXPECT_EQ(book_.GetFormula(1, 2, 2), "A2*2");
  EXPECT_EQ(book_.GetFormula(1, 3, 2), "A3*2");
  EXPECT_EQ(book_.FindCell(1, 3, 4)->formula, nullptr);
  EXPECT_EQ(report.refusedFormulas, 1);
  // The array formula stays on its first cell; the others keep their values.
  EXPECT_NE(book_.FindCell(1, 3, 5)->formula, nullptr);
  EXPECT_EQ(book_.FindCell(1, 4, 5)->formula, nullptr);
}

TEST_F(XlsxRead, StylesResolveFormatsFillsFontsAndBorders) {
  Package p;
  p.styles =
      "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.000&quot;kg&quot;\"/></numFmts>"
      "<fonts count=\"3\"><font><sz val=\"11\"/></font><font><color rgb=\"FF00FF00\"/></font>"
      "<font><color indexed=\"10\"/></font></fonts>"
      "<fills count=\"5\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill>"
      "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FF0000FF\"/><bgColor indexed=\"64\"/></patternFill></fill>"
      "<fill><patternFill patternType=\"darkGrid\"><fgColor indexed=\"8\"/><bgColor indexed=\"9\"/></patternFill></fill>"
      "<fill><patternFill patternType=\"solid\"><fgColor theme=\"0\" tint=\"-0.5\"/></patternFill></fill></fills>"
      "<borders count=\"2\"><border/><border><left style=\"thin\"><color rgb=\"FFFF0000\"/></left>"
      "<right style=\"double\"/><top/><bottom style=\"medium\"><color indexed=\"8\"/></bottom></border></borders>"
      "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
      "<cellXfs count=\"6\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "<xf numFmtId=\"164\" fontId=\"1\" fillId=\"2\" borderId=\"1\"/>"
      "<xf numFmtId=\"10\" fontId=\"2\" fillId=\"3\" borderId=\"0\"/>"
      "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"4\" borderId=\"0\"/>"
      "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" quotePrefix=\"1\"/>"
      "<xf numFmtId=\"999\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellXfs>"
      "<colors><indexedColors>"
      "<rgbColor rgb=\"FF000000\"/><rgbColor rgb=\"FFFFFFFF\"/><rgbColor rgb=\"FFFF0000\"/>"
      "<rgbColor rgb=\"FF00FF00\"/><rgbColor rgb=\"FF0000FF\"/><rgbColor rgb=\"FFFFFF00\"/>"
      "<rgbColor rgb=\"FFFF00FF\"/><rgbColor rgb=\"FF00FFFF\"/><rgbColor rgb=\"FF123456\"/>"
      "<rgbColor rgb=\"FF654321\"/><rgbColor rgb=\"FFABCDEF\"/>"
      "</indexedColors></colors>";
  p.sheets = {{"S", "<sheetData><row r=\"1\">"
                    "<c r=\"A1\" s=\"1\"><v>1</v></c><c r=\"B1\" s=\"2\"><v>2</v></c>"
                    "<c r=\"C1\" s=\"3\"/><c r=\"D1\" s=\"4\" t=\"inlineStr\"><is><t>123</t></is></c>"
                    "<c r=\"E1\" s=\"5\"><v>5</v></c>"
                    "</row></sheetData>"}};
  Read(p);
  const Style& a = book_.CellStyle(1, 1, 1);
  EXPECT_EQ(a.numberFormat, "0.000\"kg\"");
  EXPECT_EQ(a.fontColor, 0x00FF00u);
  EXPECT_EQ(a.pattern, 1);
  EXPECT_EQ(a.patternFg, 0xFF0000u);  // FF0000FF is blue: 0x00BBGGRR
  EXPECT_EQ(a.patternBg, kWhite);     // system background
  EXPECT_EQ(a.left, (Border{1, 0x0000FF}));
  EXPECT_EQ(a.right.style, 6);
  EXPECT_EQ(a.top.style, 0);
  EXPECT_EQ(a.bottom, (Border{2, 0x563412}));  // custom palette entry 8: 123456
  const Style& b = book_.CellStyle(1, 1, 2);
  EXPECT_EQ(b.fontColor, 0xEFCDABu);  // custom palette entry 10
  EXPECT_EQ(b.pattern, 9);            // darkGrid
  EXPECT_EQ(b.patternFg, 0x563412u);
  EXPECT_EQ(b.patternBg, 0x214365u);
  const Style& c = book_.CellStyle(1, 1, 3);
  EXPECT_EQ(c.pattern, 1);
  EXPECT_EQ(c.patternFg, 0x808080u);  // white darkened by half
  EXPECT_EQ(book_.GetEntry(1, 1, 4), "'123");  // quote prefix: text that looks like a number
  EXPECT_EQ(book_.CellStyle(1, 1, 5).numberFormat, "General");  // unknown built-in id
  EXPECT_EQ(b.numberFormat, "0.00%");
}

TEST_F(XlsxRead, ColumnsRowsAndWorkbookSettings) {
  Package p;
  p.workbookExtra = "<bookViews><workbookView activeTab=\"1\"/></bookViews>";
  p.sheets = {{"One", "<dimension ref=\"A1:XFD1048576\"/><cols>"
                      "<col min=\"1\" max=\"1\" width=\"20.7109375\" customWidth=\"1\"/>"
                      "<col min=\"3\" max=\"4\" width=\"0\" hidden=\"1\"/>"
                      "<col min=\"16380\" max=\"99999\" width=\"5\"/></cols>"
                      "<sheetData><row r=\"2\" hidden=\"1\"/><row r=\"1048576\" hidden=\"true\"/>"
                      "</sheetData>"},
              {"Two &amp; more", "<sheetData/>"}};
  Read(p);
  EXPECT_EQ(book_.SheetCount(), 2);
  EXPECT_EQ(book_.SheetName(1), "One");
  EXPECT_EQ(book_.SheetName(2), "Two & more");
  EXPECT_EQ(book_.CurrentSheet(), 2);
  EXPECT_DOUBLE_EQ(book_.ColWidth(1, 1), 20.0);
  EXPECT_DOUBLE_EQ(book_.ColWidth(1, 2), 8.43);
  EXPECT_DOUBLE_EQ(book_.ColWidth(1, 16384), 4.29);
  EXPECT_FALSE(book_.ColHidden(1, 2));
  EXPECT_TRUE(book_.ColHidden(1, 3));
  EXPECT_TRUE(book_.ColHidden(1, 4));
  EXPECT_TRUE(book_.RowHidden(1, 2));
  EXPECT_FALSE(book_.RowHidden(1, 3));
  EXPECT_TRUE(book_.RowHidden(1, 1048576));
  // A huge declared dimension costs nothing: the sheet has no cells.
  int cells = 0;
  book_.ForEachCell(1, [&](int, int, const Cell&) { ++cells; });
  EXPECT_EQ(cells, 0);
}

TEST_F(XlsxRead, RelationshipTargetsMayBeAbsoluteAndPartsAnywhere) {
  Package p;
  p.sheets = {{"S", ""}};
  p.overrides["_rels/.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"a\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/officeDocument\" Target=\"/book/main.xml\"/></Relationships>";
  p.overrides["xl/workbook.xml"] = "";
  p.overrides["xl/_rels/workbook.xml.rels"] = "";
  p.overrides["book/main.xml"] =
      "<x:workbook xmlns:x=\"" + std::string(test::kMain) + "\" xmlns:r=\"" + test::kRel +
      "\"><x:sheets><x:sheet name=\"Prefixed\" sheetId=\"1\" r:id=\"r1\"/>"
      "<x:sheet name=\"Chart\" sheetId=\"2\" r:id=\"r2\"/></x:sheets></x:workbook>";
  p.overrides["book/_rels/main.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"r1\" Type=\"" + std::string(test::kRel) +
      "/worksheet\" Target=\"../data/s.xml\"/>"
      "<Relationship Id=\"r2\" Type=\"" + std::string(test::kRel) +
      "/chartsheet\" Target=\"/book/chart.xml\"/></Relationships>";
  p.overrides["data/s.xml"] =
      "<x:worksheet xmlns:x=\"" + std::string(test::kMain) +
      "\"><x:sheetData><x:row r=\"1\"><x:c r=\"B1\"><x:v>3</x:v></x:c></x:row></x:sheetData>"
      "</x:worksheet>";
  Read(p);
  ASSERT_EQ(book_.SheetCount(), 2);
  EXPECT_EQ(book_.SheetName(1), "Prefixed");
  EXPECT_EQ(book_.SheetName(2), "Chart");
  EXPECT_EQ(At(1, 1, 2), Value(3.0));
}

}  // namespace
}  // namespace ddt::grid::io
