// Cut, copy and paste through the process-wide clipboard, and copies between workbooks.
#include <gtest/gtest.h>

#include "grid/sheet.h"
#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;
using engine::Clipboard;

Range WholeColumn(int c) { return Range{kAll, c, kAll, c}; }

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override { Clipboard::Instance().Clear(); }
  void TearDown() override { Clipboard::Instance().Clear(); }
};

TEST_F(ClipboardTest, CopyPasteBetweenWorkbooksKeepsValuesAndStyles) {
  ViewedBook a, b;
  a.SetEntry(0, 1, 1, "x");
  a.SetEntry(0, 2, 2, "2.5");
  a.SetSelection(Range{2, 2, 2, 2});
  a.SetNumberFormat("0.00");
  a.SetSelection(Range{1, 1, 2, 2});
  a.EditCopy();
  b.SetEntry(0, 5, 6, "overwritten");  // inside the target block, empty in the source
  b.SetSelection(Range{5, 5, 5, 5});
  b.EditPaste();
  EXPECT_EQ(b.GetEntry(0, 5, 5), "x");
  EXPECT_EQ(b.GetEntry(0, 5, 6), "");
  EXPECT_EQ(b.GetFormattedText(0, 6, 6), "2.50");
  EXPECT_EQ(b.GetSelection(0), (Range{5, 5, 6, 6}));
  EXPECT_EQ(a.GetEntry(0, 1, 1), "x");  // copy leaves the source
  // The clipboard survives its source and can be pasted again.
  b.SetSelection(Range{1, 1, 1, 1});
  b.EditPaste();
  EXPECT_EQ(b.GetEntry(0, 2, 2), "2.5");
}

TEST_F(ClipboardTest, CutClearsTheSourceAndPastesOnce) {
  ViewedBook a;
  a.SetEntry(0, 1, 1, "moved");
  a.SetSelection(Range{1, 1, 1, 1});
  a.EditCut();
  EXPECT_EQ(a.GetEntry(0, 1, 1), "");
  a.SetSelection(Range{3, 3, 3, 3});
  a.EditPaste();
  EXPECT_EQ(a.GetEntry(0, 3, 3), "moved");
  a.SetSelection(Range{4, 4, 4, 4});
  a.EditPaste();
  EXPECT_EQ(a.GetEntry(0, 4, 4), "");
}

TEST_F(ClipboardTest, WholeColumnsBringTheirHeadingsAndFormats) {
  ViewedBook a, b;
  a.SetColHeading(2, "Param");
  a.SetEntry(0, 1, 2, "v1");
  a.SetEntry(0, 3, 2, "v3");
  a.SetColWidth(0, 2, 17);
  a.SetSelection(WholeColumn(2));
  a.SetFontColor(0x00FF00);
  a.EditCopy();
  b.SetSelection(WholeColumn(4));
  b.EditPaste();
  EXPECT_EQ(b.ColHeading(4), "Param");
  EXPECT_EQ(b.GetEntry(0, 3, 4), "v3");
  EXPECT_DOUBLE_EQ(b.ColWidth(0, 4), 17);
  EXPECT_EQ(b.CellStyle(0, 500, 4).fontColor, 0x00FF00u);
  EXPECT_EQ(b.SheetAt(0).CellCount(), 2u);
}

TEST_F(ClipboardTest, WholeSheetCopyIntoANewSheet) {
  ViewedBook a;
  a.SetColHeading(1, "A");
  a.SetColHeading(3, "C");
  a.SetEntry(0, 2, 3, "c2");
  a.SetSelection(Range{kAll, kAll, kAll, kAll});
  a.EditCopy();
  a.InsertSheets(2, 1);
  a.SetCurrentSheet(2);
  a.SetSelection(Range{kAll, kAll, kAll, kAll});
  a.EditPaste();
  EXPECT_EQ(a.ColHeading(1), "A");
  EXPECT_EQ(a.ColHeading(3), "C");
  EXPECT_EQ(a.GetEntry(2, 2, 3), "c2");
}

TEST_F(ClipboardTest, PasteNearTheEdgeDropsWhatDoesNotFit) {
  ViewedBook a;
  a.SetEntry(0, 1, 1, "a");
  a.SetEntry(0, 2, 2, "b");
  a.SetSelection(Range{1, 1, 2, 2});
  a.EditCopy();
  a.SetSelection(Range{kMaxRows, kMaxCols, kMaxRows, kMaxCols});
  a.EditPaste();
  EXPECT_EQ(a.GetEntry(0, kMaxRows, kMaxCols), "a");
  EXPECT_EQ(a.GetSelection(0), (Range{kMaxRows, kMaxCols, kMaxRows, kMaxCols}));
}

TEST_F(ClipboardTest, EmptyClipboardPastesNothing) {
  ViewedBook a;
  int events = 0;
  a.SetChangeListener([&] { ++events; });
  a.EditPaste();
  EXPECT_EQ(events, 0);
  EXPECT_FALSE(a.Modified());
}

TEST(CopyRangeFrom, CopiesWholeColumnsFromAnotherWorkbook) {
  ViewedBook source, target;
  source.SetSheetCount(2);
  source.SetCurrentSheet(2);
  source.SetColHeading(1, "P1");
  source.SetColHeading(2, "P2");
  source.SetEntry(2, 1, 1, "a");
  source.SetEntry(2, 7, 2, "b");
  source.SetCurrentSheet(1);
  target.InsertSheets(2, 1);
  target.CopyRangeFrom(2, Range{kAll, 1, kAll, 2}, source.Handle(), 2, Range{kAll, 1, kAll, 2});
  EXPECT_EQ(target.GetEntry(2, 1, 1), "a");
  EXPECT_EQ(target.GetEntry(2, 7, 2), "b");
  target.SetCurrentSheet(2);
  EXPECT_EQ(target.ColHeading(2), "P2");
  EXPECT_EQ(target.GetEntry(1, 1, 1), "");
}

TEST(CopyRangeFrom, RefusesUnknownHandlesAndSheets) {
  ViewedBook target;
  uint32_t gone;
  {
    ViewedBook temp;
    gone = temp.Handle();
    EXPECT_THROW(target.CopyRangeFrom(1, Range{1, 1, 1, 1}, gone, 2, Range{1, 1, 1, 1}), GridError);
  }
  EXPECT_EQ(Workbook::FromHandle(gone), nullptr);
  EXPECT_THROW(target.CopyRangeFrom(1, Range{1, 1, 1, 1}, gone, 1, Range{1, 1, 1, 1}), GridError);
  EXPECT_THROW(target.CopyRangeFrom(1, Range{1, 1, 1, 1}, 0, 1, Range{1, 1, 1, 1}), GridError);
}

}  // namespace
}  // namespace ddt::grid
