// What hangs on cells follows rows and columns inserted or deleted: the arithmetic of
// anchors and cells, and the parts and kept elements rewritten with it.
#include <gtest/gtest.h>

#include "grid/io/file_type.h"
#include "grid/io/xlsx/xlsx_anchors.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/limits.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

LineEdit Rows(bool insert, int first, int count) {
  return LineEdit{true, insert, first, count, 1, kMaxCols};
}
LineEdit Cols(bool insert, int first, int count) {
  return LineEdit{false, insert, first, count, 1, kMaxRows};
}

// A picture over B3:D6 (rows 2..5 from 0, ending inside row 5).
struct Box {
  AnchorCorner from{1, 2, 100, 200};
  AnchorCorner to{3, 5, 300, 400};
};

TEST(AnchorArithmetic, InsertAboveInsideAndBelow) {
  {
    Box b;  // above: the whole object moves down
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(true, 2, 3)}));
    EXPECT_EQ(b.from, (AnchorCorner{1, 5, 100, 200}));
    EXPECT_EQ(b.to, (AnchorCorner{3, 8, 300, 400}));
  }
  {
    Box b;  // on its first row (row 3 from 1): still above the object's corner, it moves
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(true, 3, 1)}));
    EXPECT_EQ(b.from.row, 3);
    EXPECT_EQ(b.to.row, 6);
  }
  {
    Box b;  // inside: moved and sized, it grows; moved only, it keeps its size
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(true, 5, 2)}));
    EXPECT_EQ(b.from.row, 2);
    EXPECT_EQ(b.to.row, 7);
    Box c;
    ASSERT_TRUE(MoveAnchor(c.from, &c.to, AnchorMode::OneCell, {Rows(true, 5, 2)}));
    EXPECT_EQ(c.from.row, 2);
    EXPECT_EQ(c.to.row, 5);
  }
  {
    Box b;  // below and to the side: nothing moves; an absolute anchor never does
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(true, 7, 4), Cols(true, 9, 1)}));
    EXPECT_EQ(b.from, Box().from);
    EXPECT_EQ(b.to, Box().to);
    Box c;
    ASSERT_TRUE(MoveAnchor(c.from, &c.to, AnchorMode::Absolute, {Rows(true, 1, 4)}));
    EXPECT_EQ(c.from, Box().from);
  }
  {
    Box b;  // columns work the same way
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Cols(true, 1, 2)}));
    EXPECT_EQ(b.from.col, 3);
    EXPECT_EQ(b.to.col, 5);
  }
}

TEST(AnchorArithmetic, DeleteCoveringPartialAndWhole) {
  {
    Box b;  // every row it covers (3..6 from 1) deleted: it is gone
    EXPECT_FALSE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(false, 2, 6)}));
    Box c;  // exactly its rows
    EXPECT_FALSE(MoveAnchor(c.from, &c.to, AnchorMode::TwoCell, {Rows(false, 3, 4)}));
  }
  {
    Box b;  // its top rows deleted: it shrinks, starting at the top of the next row
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(false, 2, 3)}));
    EXPECT_EQ(b.from, (AnchorCorner{1, 1, 100, 0}));
    EXPECT_EQ(b.to, (AnchorCorner{3, 2, 300, 400}));
  }
  {
    Box b;  // rows inside it deleted: it shrinks by them
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {Rows(false, 4, 2)}));
    EXPECT_EQ(b.from.row, 2);
    EXPECT_EQ(b.to.row, 3);
  }
  {
    // An object ending exactly at the top of a row does not cover that row: deleting the
    // rows above it removes it whole.
    AnchorCorner from{0, 2, 0, 0}, to{2, 4, 0, 0};
    EXPECT_FALSE(MoveAnchor(from, &to, AnchorMode::TwoCell, {Rows(false, 3, 2)}));
  }
  {
    // A one-cell anchor whose row is deleted moves to the next row and stays.
    AnchorCorner from{0, 9, 0, 50};
    ASSERT_TRUE(MoveAnchor(from, nullptr, AnchorMode::OneCell, {Rows(false, 8, 5)}));
    EXPECT_EQ(from, (AnchorCorner{0, 7, 0, 0}));
  }
}

// Shifts of cells move drawings by the cells their corners lie in, as LibreOffice does.
TEST(AnchorArithmetic, ShiftsOfCellsMoveTheCornersWhoseCellsMove) {
  const LineEdit downBD{true, true, 1, 3, 2, 4};  // B1:D3 inserted, cells below move down
  {
    Box b;  // the whole box is in the band: it moves down
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {downBD}));
    EXPECT_EQ(b.from, (AnchorCorner{1, 5, 100, 200}));
    EXPECT_EQ(b.to, (AnchorCorner{3, 8, 300, 400}));
  }
  const LineEdit downBC{true, true, 1, 3, 2, 3};  // B1:C3: the box's right corner in column D
  {
    Box b;  // sized with its cells: only the top-left corner moves
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {downBC}));
    EXPECT_EQ(b.from.row, 5);
    EXPECT_EQ(b.to.row, 5);
    Box c;  // moved only: the whole object follows its top-left cell
    ASSERT_TRUE(MoveAnchor(c.from, &c.to, AnchorMode::OneCell, {downBC}));
    EXPECT_EQ(c.from.row, 5);
    EXPECT_EQ(c.to.row, 8);
  }
  {
    Box b;  // a band right of the top-left cell: sized, its right corner moves; moved only, nothing
    const LineEdit downD{true, true, 1, 3, 4, 4};
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {downD}));
    EXPECT_EQ(b.from, Box().from);
    EXPECT_EQ(b.to.row, 8);
    Box c;
    ASSERT_TRUE(MoveAnchor(c.from, &c.to, AnchorMode::OneCell, {downD}));
    EXPECT_EQ(c.from, Box().from);
    EXPECT_EQ(c.to, Box().to);
  }
  {
    Box b;  // columns shifted left through rows 2..6: moved left by the two deleted cells
    ASSERT_TRUE(MoveAnchor(b.from, &b.to, AnchorMode::OneCell,
                           {LineEdit{false, false, 1, 1, 2, 6}}));
    EXPECT_EQ(b.from.col, 0);
    EXPECT_EQ(b.to.col, 2);
  }
  {
    // Cells deleted under all of an object (B3:D6 shifted up): it is gone, whatever its mode;
    // deleted under part of its width, it stays.
    Box b, c, d;
    EXPECT_FALSE(MoveAnchor(b.from, &b.to, AnchorMode::TwoCell, {LineEdit{true, false, 3, 4, 2, 4}}));
    EXPECT_FALSE(MoveAnchor(c.from, &c.to, AnchorMode::OneCell, {LineEdit{true, false, 3, 4, 2, 4}}));
    EXPECT_TRUE(MoveAnchor(d.from, &d.to, AnchorMode::OneCell, {LineEdit{true, false, 3, 4, 2, 3}}));
  }
}

TEST(AnchorArithmetic, CellsFollowEditsInTurn) {
  EXPECT_EQ(MoveCell({5, 2}, {Rows(true, 3, 2), Cols(false, 1, 1)}), (CellPos{7, 1}));
  EXPECT_EQ(MoveCell({5, 2}, {Rows(false, 5, 1)}), std::nullopt);
  EXPECT_EQ(MoveCell({5, 2}, {Rows(true, 6, 1)}), (CellPos{5, 2}));
  // A shift of cells moves the cells of its band only.
  EXPECT_EQ(MoveCell({5, 2}, {LineEdit{true, true, 1, 1, 2, 2}}), (CellPos{6, 2}));
  EXPECT_EQ(MoveCell({5, 3}, {LineEdit{true, true, 1, 1, 2, 2}}), (CellPos{5, 3}));
}

TEST(AnchorParts, DrawingAnchorsMoveAndDeletedObjectsGo) {
  const std::string xml =
      "<xdr:wsDr xmlns:xdr=\"x\">"
      "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>5</xdr:colOff>"
      "<xdr:row>4</xdr:row><xdr:rowOff>7</xdr:rowOff></xdr:from><xdr:to><xdr:col>3</xdr:col>"
      "<xdr:colOff>0</xdr:colOff><xdr:row>9</xdr:row><xdr:rowOff>10</xdr:rowOff></xdr:to>"
      "<xdr:pic/><xdr:clientData/></xdr:twoCellAnchor>"
      "<xdr:twoCellAnchor editAs=\"oneCell\"><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0"
      "</xdr:colOff><xdr:row>20</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to>"
      "<xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>22</xdr:row><xdr:rowOff>5"
      "</xdr:rowOff></xdr:to><xdr:sp/></xdr:twoCellAnchor>"
      "<xdr:oneCellAnchor><xdr:from><xdr:col>6</xdr:col><xdr:colOff>0</xdr:colOff>"
      "<xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"1\" cy=\"2\"/>"
      "</xdr:oneCellAnchor>"
      "<xdr:absoluteAnchor><xdr:pos x=\"0\" y=\"0\"/></xdr:absoluteAnchor></xdr:wsDr>";
  // Two rows inserted before row 3: the first two objects move down, the one on row 2 stays.
  std::string moved = MoveDrawingPart(xml, {Rows(true, 3, 2)});
  EXPECT_NE(moved.find("<xdr:row>6</xdr:row><xdr:rowOff>7</xdr:rowOff>"), std::string::npos)
      << moved;
  EXPECT_NE(moved.find("<xdr:row>11</xdr:row><xdr:rowOff>10</xdr:rowOff>"), std::string::npos);
  EXPECT_NE(moved.find("<xdr:row>22</xdr:row>"), std::string::npos);
  EXPECT_NE(moved.find("<xdr:row>24</xdr:row>"), std::string::npos);
  EXPECT_NE(moved.find("<xdr:col>6</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row>"),
            std::string::npos);
  EXPECT_NE(moved.find("<xdr:absoluteAnchor>"), std::string::npos);
  // Rows 5-10 (from 1) deleted: the picture over them is gone, the shape below moves up.
  std::string deleted = MoveDrawingPart(xml, {Rows(false, 5, 6)});
  EXPECT_EQ(deleted.find("<xdr:pic/>"), std::string::npos) << deleted;
  EXPECT_NE(deleted.find("<xdr:sp/>"), std::string::npos);
  EXPECT_NE(deleted.find("<xdr:row>14</xdr:row>"), std::string::npos);
}

TEST(AnchorParts, NotesFollowTheirCellsAndGoWithThem) {
  const std::string comments =
      "<comments><authors><author>a</author></authors><commentList>"
      "<comment ref=\"B2\" authorId=\"0\"><text><t>one</t></text></comment>"
      "<comment ref=\"C5\" authorId=\"0\"><text><t>two</t></text></comment>"
      "</commentList></comments>";
  std::string out = MoveCommentsPart(comments, {Rows(false, 2, 1), Cols(true, 1, 1)});
  EXPECT_EQ(out.find("one"), std::string::npos) << out;
  EXPECT_NE(out.find("<comment ref=\"D4\" authorId=\"0\"><text><t>two</t>"), std::string::npos);

  const std::string vml =
      "<xml><v:shape id=\"a\"><x:ClientData ObjectType=\"Note\"><x:Anchor>2, 15, 0, 10, 4, 15, "
      "4, 4</x:Anchor><x:Row>1</x:Row><x:Column>1</x:Column></x:ClientData></v:shape>"
      "<v:shape id=\"b\"><x:ClientData ObjectType=\"Note\"><x:Anchor>3, 15, 3, 10, 5, 15, 7, 4"
      "</x:Anchor><x:Row>4</x:Row><x:Column>2</x:Column></x:ClientData></v:shape></xml>";
  out = MoveVmlPart(vml, {Rows(false, 2, 1), Cols(true, 1, 1)});
  EXPECT_EQ(out.find("id=\"a\""), std::string::npos) << out;
  EXPECT_NE(out.find("<x:Anchor>4, 15, 2, 10, 6, 15, 6, 4</x:Anchor><x:Row>3</x:Row>"
                     "<x:Column>3</x:Column>"),
            std::string::npos)
      << out;

  const std::string threads =
      "<ThreadedComments><threadedComment ref=\"A3\" id=\"{1}\"><text>x</text></threadedComment>"
      "<threadedComment ref=\"A3\" id=\"{2}\" parentId=\"{1}\"><text>y</text></threadedComment>"
      "<threadedComment ref=\"A9\" id=\"{3}\"><text>z</text></threadedComment></ThreadedComments>";
  out = MoveThreadedCommentsPart(threads, {Rows(false, 3, 1)});
  EXPECT_EQ(out.find("{1}"), std::string::npos);
  EXPECT_EQ(out.find("{2}"), std::string::npos);
  EXPECT_NE(out.find("ref=\"A8\" id=\"{3}\""), std::string::npos) << out;
}

TEST(AnchorParts, TablesGrowShrinkAndGo) {
  const std::string table =
      "<table xmlns=\"m\" id=\"1\" name=\"T\" displayName=\"T\" ref=\"B2:D6\">"
      "<autoFilter ref=\"B2:D6\"><filterColumn colId=\"2\"><filters><filter val=\"x\"/>"
      "</filters></filterColumn></autoFilter><sortState ref=\"B3:D6\"/>"
      "<tableColumns count=\"3\"><tableColumn id=\"1\" name=\"A\"/><tableColumn id=\"2\" "
      "name=\"Column1\"/><tableColumn id=\"3\" name=\"C\"/></tableColumns>"
      "<tableStyleInfo name=\"TableStyleMedium9\"/></table>";
  bool cut = false;
  // A column inserted inside (before C): a new table column, the filter follows its column.
  std::string out = MoveTablePart(table, {Cols(true, 3, 1), Rows(true, 1, 1)}, &cut);
  EXPECT_FALSE(cut);
  EXPECT_NE(out.find("ref=\"B3:E7\""), std::string::npos) << out;
  EXPECT_NE(out.find("<autoFilter ref=\"B3:E7\"><filterColumn colId=\"3\">"), std::string::npos)
      << out;
  EXPECT_NE(out.find("<tableColumns count=\"4\"><tableColumn id=\"1\" name=\"A\"/>"
                     "<tableColumn id=\"4\" name=\"Column2\"/><tableColumn id=\"2\""),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("sortState"), std::string::npos);
  // A new column takes the name its header cell shows, unless another column has it.
  auto header = [](int row, int col) { return row == 2 && col == 4 ? std::string("Tax") : ""; };
  out = MoveTablePart(table, {Cols(true, 3, 2)}, &cut, header);
  EXPECT_NE(out.find("<tableColumn id=\"4\" name=\"Column2\"/><tableColumn id=\"5\" "
                     "name=\"Tax\"/>"),
            std::string::npos)
      << out;
  auto taken = [](int, int) { return std::string("A"); };
  out = MoveTablePart(table, {Cols(true, 3, 1)}, &cut, taken);
  EXPECT_NE(out.find("name=\"Column2\""), std::string::npos) << out;
  // The filtered column deleted: the table shrinks and its filter goes with the column.
  out = MoveTablePart(table, {Cols(false, 4, 1)}, &cut);
  EXPECT_NE(out.find("ref=\"B2:C6\""), std::string::npos) << out;
  EXPECT_EQ(out.find("filterColumn"), std::string::npos);
  EXPECT_NE(out.find("<tableColumns count=\"2\">"), std::string::npos);
  // Every row deleted: the table is gone.
  EXPECT_EQ(MoveTablePart(table, {Rows(false, 1, 10)}, &cut), "");
  // A shift of cells through part of it: left as it was, and said.
  out = MoveTablePart(table, {LineEdit{true, true, 3, 1, 3, 3}}, &cut);
  EXPECT_TRUE(cut);
  EXPECT_EQ(out, table);
}

TEST(AnchorParts, ChartSeriesFollowTheSheetTheyRead) {
  const std::string chart =
      "<c:chart><c:ser><c:tx><c:strRef><c:f>'My Data'!$B$1</c:f></c:strRef></c:tx>"
      "<c:val><c:numRef><c:f>'My Data'!$B$2:$B$9</c:f></c:numRef></c:val>"
      "<c:cat><c:numRef><c:f>Other!$A$2:$A$9</c:f></c:numRef></c:cat></c:ser></c:chart>";
  std::string out = MoveChartRefs(chart, "My Data", "Renamed & more", {Rows(true, 1, 2)});
  EXPECT_NE(out.find("<c:f>'Renamed &amp; more'!$B$3</c:f>"), std::string::npos) << out;
  EXPECT_NE(out.find("<c:f>'Renamed &amp; more'!$B$4:$B$11</c:f>"), std::string::npos);
  EXPECT_NE(out.find("<c:f>Other!$A$2:$A$9</c:f>"), std::string::npos);
  out = MoveChartRefs(chart, "My Data", "My Data", {Rows(false, 1, 1)});
  EXPECT_NE(out.find("<c:f>'My Data'!#REF!</c:f>"), std::string::npos) << out;
  EXPECT_NE(out.find("<c:f>'My Data'!$B$1:$B$8</c:f>"), std::string::npos);
  // A new name is quoted as formulas quote it: also one that reads as a cell in either
  // reference style.
  out = MoveChartRefs(chart, "My Data", "R2C3", {});
  EXPECT_NE(out.find("<c:f>'R2C3'!$B$1</c:f>"), std::string::npos) << out;
  out = MoveChartRefs(chart, "My Data", "Plain_1", {});
  EXPECT_NE(out.find("<c:f>Plain_1!$B$1</c:f>"), std::string::npos) << out;
}

TEST(AnchorParts, PanesSelectionsAndBreaksMove) {
  const std::string views =
      "<sheetViews><sheetView workbookViewId=\"0\"><pane xSplit=\"1\" ySplit=\"3\" "
      "topLeftCell=\"B4\" activePane=\"bottomRight\" state=\"frozen\"/><selection "
      "pane=\"bottomRight\" activeCell=\"C8\" sqref=\"C8:D9\"/></sheetView></sheetViews>";
  std::string out = MoveSheetViews(views, {Rows(true, 2, 2)});
  EXPECT_NE(out.find("ySplit=\"5\" topLeftCell=\"B6\""), std::string::npos) << out;
  EXPECT_NE(out.find("activeCell=\"C10\" sqref=\"C10:D11\""), std::string::npos);
  // Rows below the frozen block leave it as it is.
  out = MoveSheetViews(views, {Rows(true, 6, 2)});
  EXPECT_NE(out.find("ySplit=\"3\" topLeftCell=\"B4\""), std::string::npos) << out;
  out = MoveSheetViews(views, {Rows(false, 1, 2)});
  EXPECT_NE(out.find("ySplit=\"1\" topLeftCell=\"B2\""), std::string::npos) << out;

  const std::string breaks =
      "<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"10\" max=\"16383\" man=\"1\"/>"
      "<brk id=\"20\" max=\"16383\" man=\"1\"/></rowBreaks>";
  out = MovePageBreaks(breaks, true, {Rows(false, 9, 3)});
  EXPECT_NE(out.find("count=\"1\" manualBreakCount=\"1\""), std::string::npos) << out;
  EXPECT_NE(out.find("<brk id=\"17\""), std::string::npos);
  // A row inserted just after a break goes onto the next page: the break stays.
  EXPECT_NE(MovePageBreaks(breaks, true, {Rows(true, 11, 1)}).find("<brk id=\"10\""),
            std::string::npos);
  EXPECT_EQ(MovePageBreaks(breaks, false, {Rows(true, 1, 5)}), MovePageBreaks(breaks, false, {}));
}

// The file session keeps each sheet's extras by the sheet's identity, logs the edits the
// workbook tells it on the sheet edited, and forgets a removed sheet.
TEST(XlsxSessionLog, SheetsByIdentityAndTheirEdits) {
  Workbook book;
  book.ReadFile(test::DataFile("roundtrip_xlsxwriter.xlsx"), kFileTypeAny);
  XlsxSession* session = XlsxSession::Of(book);
  ASSERT_NE(session, nullptr);
  SheetExtras* data = XlsxSession::SheetOf(book, 1);
  SheetExtras* lists = XlsxSession::SheetOf(book, 2);
  ASSERT_NE(data, nullptr);
  ASSERT_NE(lists, nullptr);
  const uint32_t listsId = book.SheetId(2);

  book.InsertSheets(1, 1);  // a sheet made in memory has nothing of the file
  EXPECT_EQ(XlsxSession::SheetOf(book, 1), nullptr);
  EXPECT_EQ(XlsxSession::SheetOf(book, 2), data);
  book.SetCurrentSheet(2);
  book.InsertRange(Range{2, kAll, 3, kAll}, Shift::Rows);
  ASSERT_EQ(data->edits.size(), 1u);
  EXPECT_EQ(data->edits[0].first, 2);
  EXPECT_EQ(data->edits[0].count, 2);
  EXPECT_TRUE(data->edits[0].insert && data->edits[0].rows);
  EXPECT_TRUE(lists->edits.empty());

  book.DeleteSheets(3, 1);
  EXPECT_EQ(session->Sheet(listsId), nullptr);
  EXPECT_EQ(XlsxSession::SheetOf(book, 2), data);
}

}  // namespace
}  // namespace ddt::grid::io
