// Reading the look of a column straight from the model: the user's cursor stays where it was.
#include <gtest/gtest.h>

#include <tuple>

#include "ddtable/dt_f1.h"
#include "engine/book_access.h"
#include "engine_test_util.h"
#include "platform/error_kind.h"

using engine_test::ParentWindow;

namespace {

class ColumnLookRead : public ::testing::Test {
 protected:
  ParentWindow parent;
  CDT_F1 engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);

  // Formats column col of the current sheet as a user would: select it, set its look.
  void FormatColumn(int col, short pattern, uint32_t fg, uint32_t bg, uint32_t font,
                    const char* format) {
    engine.SetSelection(-1, col, -1, col);
    engine.SetPattern(pattern, fg, bg);
    engine.SetFontColor(font);
    engine.SetNumberFormat(format);
  }
};

TEST_F(ColumnLookRead, GivesTheColumnsLookAndLeavesSelectionActiveCellAndSheetAlone) {
  book.SetSheetCount(2);
  engine.SetSheet(2);
  FormatColumn(3, 1, 0x00FFFF, 0x0000FF, 0xFF0000, "0.00%");
  engine.SetSheet(1);
  FormatColumn(2, 1, 0x112233, 0x445566, 0x00FF00, "yyyy-mm-dd");
  // The user's cursor on each sheet, somewhere else.
  engine.SetSelection(4, 5, 6, 7);
  engine.AddSelection(9, 1, 9, 1);
  engine.SetActiveCell(5, 6);

  const CDT_IF::ColumnLook here = engine.GetColumnLook(0, 2);
  EXPECT_EQ(here.pattern, 1);
  EXPECT_EQ(here.foreground, 0x112233u);
  EXPECT_EQ(here.background, 0x445566u);
  EXPECT_EQ(here.fontColor, 0x00FF00u);
  EXPECT_EQ(here.numberFormat, "yyyy-mm-dd");
  const CDT_IF::ColumnLook there = engine.GetColumnLook(2, 3);
  EXPECT_EQ(there.foreground, 0x00FFFFu);
  EXPECT_EQ(there.fontColor, 0xFF0000u);
  EXPECT_EQ(there.numberFormat, "0.00%");
  const CDT_IF::ColumnLook plain = engine.GetColumnLook(1, 4);
  EXPECT_EQ(plain.pattern, 0);
  EXPECT_EQ(plain.numberFormat, "General");

  EXPECT_EQ(engine.GetSheet(), 1);
  ASSERT_EQ(engine.GetSelectionCount(), 2);
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  engine.GetSelection(0, r1, c1, r2, c2);
  EXPECT_EQ(std::make_tuple(r1, c1, r2, c2), std::make_tuple(4, 5, 6, 7));
  engine.GetSelection(1, r1, c1, r2, c2);
  EXPECT_EQ(std::make_tuple(r1, c1, r2, c2), std::make_tuple(9, 1, 9, 1));
  int row = 0, col = 0;
  engine.GetActiveCell(row, col);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(col, 6);
  // Sheet 2's cursor is untouched too: still on the column formatted there.
  engine.SetSheet(2);
  engine.GetSelection(0, r1, c1, r2, c2);
  EXPECT_EQ(c1, 3);
  EXPECT_EQ(c2, 3);
}

TEST_F(ColumnLookRead, BadSheetOrColumnThrows) {
  try {
    engine.GetColumnLook(7, 1);
    FAIL() << "no such sheet";
  } catch (const ddt::platform::KindedError& e) {
    EXPECT_EQ(e.kind(), ddt::platform::ErrorKind::BadArgument);
  }
  EXPECT_THROW(engine.GetColumnLook(1, 0), ddt::platform::KindedError);
  EXPECT_THROW(engine.GetColumnLook(1, 16385), ddt::platform::KindedError);
}

}  // namespace
