// The change event: exactly one per operation that changes content or structure, none for
// reads, selection moves or set-up values. Also ReplaceContents.
#include <gtest/gtest.h>

#include "grid/sheet.h"
#include "grid/workbook.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

using engine::test_support::ViewedBook;
using engine::Clipboard;

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book.SetChangeListener([this] { ++events; });
    for (int r = 1; r <= 3000; ++r) book.SetEntry(0, r, 1, "v");
    events = 0;
    book.SetModified(false);
  }
  // Runs op and returns how many change events it raised.
  template <class Fn>
  int Count(Fn op) {
    events = 0;
    op();
    return events;
  }
  ViewedBook book;
  int events = 0;
};

TEST_F(EventsTest, OnePerChangingOperation) {
  EXPECT_EQ(Count([&] { book.SetEntry(0, 1, 2, "x"); }), 1);
  EXPECT_TRUE(book.Modified());
  EXPECT_EQ(Count([&] { book.SetCellValue(0, 1, 3, 1.5); }), 1);
  EXPECT_EQ(Count([&] { book.SetColHeading(1, "h"); }), 1);
  EXPECT_EQ(Count([&] { book.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns); }), 1);
  EXPECT_EQ(Count([&] { book.DeleteRange(Range{1, kAll, 1000, kAll}, Shift::Rows); }), 1);
  EXPECT_EQ(Count([&] { book.ClearRange(Range{kAll, kAll, kAll, kAll}, Clear::All); }), 1);
  EXPECT_EQ(Count([&] { book.InsertSheets(1, 3); }), 1);
  EXPECT_EQ(Count([&] { book.DeleteSheets(1, 2); }), 1);
  EXPECT_EQ(Count([&] { book.SetSheetName(1, "Data"); }), 1);
  book.SetSelection(Range{kAll, 2, kAll, 2});
  book.AddSelection(Range{5, 5, 6, 6});
  EXPECT_EQ(Count([&] { book.SetNumberFormat("0"); }), 1);
  EXPECT_EQ(Count([&] { book.SetPattern(1, 0, 0); }), 1);
  EXPECT_EQ(Count([&] { book.EditClear(Clear::Formats); }), 1);
  EXPECT_EQ(Count([&] { book.EditDelete(Shift::Columns); }), 1);
  EXPECT_EQ(Count([&] { book.SetColWidth(0, 2, 12); }), 1);
  EXPECT_EQ(Count([&] { book.SetRowsHidden(0, 2, 3, true); }), 1);
}

TEST_F(EventsTest, NoneForReadsSelectionAndSetUp) {
  EXPECT_EQ(Count([&] {
              book.GetEntry(0, 1, 1);
              book.GetFormattedText(0, 1, 1);
              book.SetSelection(Range{2, 2, 4, 4});
              book.SetActiveCell(3, 3);
              book.SetCurrentSheet(1);
              book.SetFlag(110, true);
              book.SetSetting(16, 1);
              book.SetDefaultFont("Sans", 0, 10);
              book.LastUsedCol();
              book.EditCopy();
            }),
            0);
  EXPECT_FALSE(book.Modified());
  EXPECT_TRUE(book.Flag(110));
  EXPECT_FALSE(book.Flag(111));
  EXPECT_EQ(book.Setting(16), 1);
  EXPECT_EQ(book.DefaultFontFace(), "Sans");
  Clipboard::Instance().Clear();
}

TEST_F(EventsTest, FailedOperationsRaiseNone) {
  EXPECT_EQ(Count([&] { EXPECT_THROW(book.SetEntry(0, 0, 1, "x"), GridError); }), 0);
  EXPECT_EQ(Count([&] { EXPECT_THROW(book.DeleteSheets(1, 1), GridError); }), 0);
  EXPECT_FALSE(book.Modified());
}

TEST_F(EventsTest, ListenerMayReadTheWorkbook) {
  int lastCol = -1;
  book.SetChangeListener([&] { lastCol = book.LastUsedCol(); });
  book.SetEntry(0, 1, 9, "x");
  EXPECT_EQ(lastCol, 9);
}

TEST_F(EventsTest, ReplaceContentsKeepsHandleListenerAndCountsOnce) {
  uint32_t handle = book.Handle();
  ViewedBook other;
  other.SetSheetCount(2);
  other.SetSheetName(2, "Second");
  other.SetEntry(2, 1, 1, "new");
  other.SetDate1904(true);
  uint32_t id = other.SheetId(2);
  EXPECT_EQ(Count([&] { book.ReplaceContents(std::move(other)); }), 1);
  EXPECT_EQ(book.Handle(), handle);
  EXPECT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(2), "Second");
  EXPECT_EQ(book.GetEntry(2, 1, 1), "new");
  EXPECT_EQ(book.SheetIndexOfId(id), 2);
  EXPECT_TRUE(book.Date1904());
  EXPECT_EQ(book.GetEntry(1, 1, 1), "");
  // New sheets never take an id already used by the adopted sheets.
  book.InsertSheets(3, 1);
  EXPECT_NE(book.SheetId(3), book.SheetId(1));
  EXPECT_NE(book.SheetId(3), book.SheetId(2));
  EXPECT_EQ(other.SheetCount(), 1);  // left valid
}

TEST_F(EventsTest, UiHooksReceiveRequests) {
  std::string dialog;
  int printed = 0;
  book.ShowDialog("find");  // no hooks: nothing happens
  book.SetUiHooks(UiHooks{[&](std::string_view d) { dialog = d; }, [&](int f) { printed = f; }});
  book.ShowDialog("goto");
  book.Print(3);
  EXPECT_EQ(dialog, "goto");
  EXPECT_EQ(printed, 3);
}

}  // namespace
}  // namespace ddt::grid
