// Range, selection and format operations that both bindings carry out alike, with the kind
// translations: every kind does what its name says, other values do nothing.
#include <gtest/gtest.h>

#include <memory>

#include "engine/book_access.h"
#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine_test_util.h"

using engine_test::FillRows;
using engine_test::ParentWindow;

namespace {

template <typename Engine>
class BothBindings : public ::testing::Test {
 protected:
  void SetUp() override {
    // Rows 1..3 of columns 1..3 hold r<row>c<col>.
    for (int r = 1; r <= 3; ++r)
      for (int c = 1; c <= 3; ++c)
        book.SetEntry(1, r, c, "r" + std::to_string(r) + "c" + std::to_string(c));
  }
  std::string At(int row, int col) { return engine.GetValue(1, row, col); }

  ParentWindow parent;
  Engine engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
};

using Bindings = ::testing::Types<CDT_F1, CDT_QX>;
TYPED_TEST_SUITE(BothBindings, Bindings);

TYPED_TEST(BothBindings, ClearRangeKinds) {
  auto& e = this->engine;
  e.SetSelection(1, 1, 1, 3);
  e.SetFontColor(0x0000FF);
  e.SetNumberFormat("0.00");
  e.SetValue(1, 1, 1, "2");

  e.ClearRange(1, 1, 1, 1, CDT_IF::DT_CLEAR_FORMATS);
  EXPECT_EQ(this->At(1, 1), "2");
  EXPECT_EQ(e.GetFormattedText(1, 1, 1), "2");
  EXPECT_EQ(e.GetFormattedText(0, 1, 2), "r1c2");
  e.ClearRange(1, 2, 1, 2, CDT_IF::DT_CLEAR_VALUES);
  EXPECT_EQ(this->At(1, 2), "");
  e.SetActiveCell(1, 2);
  EXPECT_EQ(e.GetFontColor(), 0x0000FFu);  // the format stayed
  e.ClearRange(1, 3, 1, 3, CDT_IF::DT_CLEAR_ALL);
  e.SetActiveCell(1, 3);
  EXPECT_EQ(this->At(1, 3), "");
  EXPECT_EQ(e.GetFontColor(), 0u);

  e.ClearRange(2, 1, 3, 3, static_cast<CDT_IF::DT_CLEAR_TYPE>(3));
  e.ClearRange(2, 1, 3, 3, static_cast<CDT_IF::DT_CLEAR_TYPE>(-1));
  EXPECT_EQ(this->At(2, 1), "r2c1");
  EXPECT_EQ(this->At(3, 3), "r3c3");
}

TYPED_TEST(BothBindings, InsertRangeKinds) {
  auto& e = this->engine;
  e.InsertRange(1, 1, 1, 1, CDT_IF::DT_SHIFT_HORIZONTAL);
  EXPECT_EQ(this->At(1, 2), "r1c1");
  EXPECT_EQ(this->At(2, 1), "r2c1");
  e.InsertRange(1, 3, 1, 3, CDT_IF::DT_SHIFT_VERTICAL);
  EXPECT_EQ(this->At(2, 3), "r1c2");
  EXPECT_EQ(this->At(2, 2), "r2c2");
  e.InsertRange(2, -1, 2, -1, CDT_IF::DT_SHIFT_ROWS);
  EXPECT_EQ(this->At(3, 1), "r2c1");
  EXPECT_EQ(this->At(2, 1), "");
  e.InsertRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(this->At(3, 2), "r2c1");

  e.InsertRange(-1, 1, -1, 1, static_cast<CDT_IF::DT_SHIFT_TYPE>(4));
  e.InsertRange(-1, 1, -1, 1, static_cast<CDT_IF::DT_SHIFT_TYPE>(-1));
  EXPECT_EQ(this->At(3, 2), "r2c1");
}

TYPED_TEST(BothBindings, DeleteRangeWholeRowsAndColumns) {
  auto& e = this->engine;
  e.DeleteRange(1, -1, 1, -1, CDT_IF::DT_SHIFT_ROWS);
  EXPECT_EQ(this->At(1, 1), "r2c1");
  e.DeleteRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(this->At(1, 1), "r2c2");
  e.DeleteRange(1, 1, 1, 1, static_cast<CDT_IF::DT_SHIFT_TYPE>(9));
  EXPECT_EQ(this->At(1, 1), "r2c2");
}

TYPED_TEST(BothBindings, EditKindsWorkOnTheSelection) {
  auto& e = this->engine;
  e.SetSelection(2, -1, 2, -1);
  e.EditInsert(CDT_IF::DT_SHIFT_ROWS);
  EXPECT_EQ(this->At(2, 1), "");
  EXPECT_EQ(this->At(3, 1), "r2c1");
  e.EditDelete(CDT_IF::DT_SHIFT_ROWS);
  EXPECT_EQ(this->At(2, 1), "r2c1");

  e.SetSelection(1, 1, 1, 1);
  e.EditDelete(CDT_IF::DT_SHIFT_HORIZONTAL);
  EXPECT_EQ(this->At(1, 1), "r1c2");
  e.EditInsert(CDT_IF::DT_SHIFT_VERTICAL);
  EXPECT_EQ(this->At(1, 1), "");
  EXPECT_EQ(this->At(2, 1), "r1c2");

  for (int other : {-1, 4, 1000}) {
    e.EditInsert(other);
    e.EditDelete(other);
  }
  EXPECT_EQ(this->At(2, 1), "r1c2");
  EXPECT_EQ(this->At(3, 1), "r2c1");

  e.SetSelection(3, 1, 3, 3);
  e.EditClear(CDT_IF::DT_CLEAR_VALUES);
  EXPECT_EQ(this->At(3, 1), "");
  e.EditClear(static_cast<CDT_IF::DT_CLEAR_TYPE>(7));
  EXPECT_EQ(this->At(4, 1), "r3c1");
}

TEST(F1Formats, SetPatternFillsAndDrawsGreyBorders) {
  ParentWindow parent;
  CDT_F1 engine(&parent);
  engine.SetSelection(2, 2, 2, 2);
  engine.SetActiveCell(2, 2);
  engine.SetPattern(1, 0x00FFFF, 0xFFFFFF);
  short pattern = 0;
  uint32_t fg = 0, bg = 0;
  engine.GetPattern(pattern, fg, bg);
  EXPECT_EQ(pattern, 1);
  EXPECT_EQ(fg, 0x00FFFFu);
  const ddt::grid::Style& style = ddt::engine::BookAccess::Of(&engine)->CellStyle(1, 2, 2);
  EXPECT_EQ(style.left.style, 1);
  EXPECT_EQ(style.bottom.color, 0xC0C0C0u);
}

TEST(QxFormats, SetPatternDoesNothingButPatternsReadBack) {
  ParentWindow parent;
  CDT_QX engine(&parent);
  engine.SetSelection(2, 2, 2, 2);
  engine.SetActiveCell(2, 2);
  engine.SetPattern(1, 0x00FFFF, 0xFFFFFF);
  short pattern = 5;
  uint32_t fg = 0, bg = 0;
  engine.GetPattern(pattern, fg, bg);
  EXPECT_EQ(pattern, 0);
  ddt::engine::BookAccess::Of(&engine)->FormatRanges(0, {ddt::grid::Range{2, 2, 2, 2}},
                                 [](ddt::grid::Style& st, const ddt::grid::StyleEdges&) {
                                   st.pattern = 1;
                                   st.patternFg = 0x0000FF;
                                   st.patternBg = 0;
                                 });
  engine.GetPattern(pattern, fg, bg);
  EXPECT_EQ(pattern, 1);
  EXPECT_EQ(fg, 0x0000FFu);
}

}  // namespace
