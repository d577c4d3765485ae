// The bulk operations of the engine seam: visiting a range with typed values, copying a cell
// between engines without a cursor, typed sets, and what a save could not keep.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ddtable/dt_qx.h"
#include "engine/cell_image.h"
#include "engine_test_util.h"
#include "platform/error_kind.h"

using engine_test::ParentWindow;

namespace {

// One visited cell, owned, for comparing.
struct Seen {
  int row, col;
  CDT_IF::CellView::Kind kind;
  std::string text;  // text, error text, or the number / truth printed
  std::string format;
  bool formula;
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << "(" << s.row << "," << s.col << " kind " << s.kind << " '" << s.text << "' "
             << s.format << (s.formula ? " formula" : "") << ")";
}

std::vector<Seen> Visit(CDT_IF& engine, int sheet, int r1, int c1, int r2, int c2) {
  std::vector<Seen> seen;
  engine.ForEachCell(sheet, r1, c1, r2, c2, [&](int row, int col, const CDT_IF::CellView& v) {
    std::string text(v.text);
    if (v.kind == CDT_IF::CellView::Number) text = std::to_string(v.number);
    if (v.kind == CDT_IF::CellView::Bool) text = v.boolean ? "true" : "false";
    seen.push_back({row, col, v.kind, text, std::string(v.numberFormat), v.formula});
  });
  return seen;
}

class Seam : public ::testing::Test {
 protected:
  ParentWindow parent;
  CDT_QX engine{&parent};
  CDT_QX other{&parent};
};

TEST_F(Seam, VisitGivesEveryKeptCellOfTheRangeTypedInRowOrder) {
  engine.SetValue(1, 1, 1, "12.5");
  engine.SetValue(1, 1, 3, "'007");  // text that looks like a number
  engine.SetValue(1, 2, 2, "TRUE");
  engine.SetValue(1, 3, 1, "#N/A");
  engine.SetValue(1, 3, 2, "=A1*2");  // a formula's result, brought up to date
  engine.SetValue(1, 9, 9, "outside");
  engine.SetSelection(4, 1, 4, 1);
  engine.SetNumberFormat("0.00");  // a cell holding a format only
  using K = CDT_IF::CellView;
  const std::vector<Seen> want = {
      {1, 1, K::Number, std::to_string(12.5), "General", false},
      {1, 3, K::Text, "007", "General", false},
      {2, 2, K::Bool, "true", "General", false},
      {3, 1, K::Error, "#N/A", "General", false},
      {3, 2, K::Number, std::to_string(25.0), "General", true},
      {4, 1, K::Empty, "", "0.00", false},
  };
  EXPECT_EQ(Visit(engine, 1, 1, 1, 5, 3), want);
  // A later change shows in the next visit; columns outside the range are not visited.
  engine.SetValue(1, 1, 1, "1");
  EXPECT_EQ(Visit(engine, 1, 3, 2, 3, 2),
            (std::vector<Seen>{{3, 2, K::Number, std::to_string(2.0), "General", true}}));
  // Whole columns (-1 as both rows) reach the far cell; an empty range visits nothing.
  EXPECT_EQ(Visit(engine, 1, -1, 9, -1, 9).size(), 1u);
  EXPECT_TRUE(Visit(engine, 1, 5, 1, 4, 1).empty());
  EXPECT_THROW(Visit(engine, 7, 1, 1, 2, 2), ddt::platform::KindedError);
}

TEST_F(Seam, TheVisitShowsAColumnsFormatAndTellsStylesApart) {
  engine.SetSelection(-1, 2, -1, 2);
  engine.SetNumberFormat("yyyy-mm-dd");
  engine.SetValue(1, 1, 1, "1");
  engine.SetValue(1, 1, 2, "45000");
  engine.SetValue(1, 2, 2, "45001");
  std::vector<uint32_t> styles;
  std::vector<std::string> formats;
  engine.ForEachCell(1, 1, 1, 2, 2, [&](int, int, const CDT_IF::CellView& v) {
    styles.push_back(v.styleId);
    formats.emplace_back(v.numberFormat);
  });
  EXPECT_EQ(formats, (std::vector<std::string>{"General", "yyyy-mm-dd", "yyyy-mm-dd"}));
  ASSERT_EQ(styles.size(), 3u);
  EXPECT_NE(styles[0], styles[1]);
  EXPECT_EQ(styles[1], styles[2]);
}

TEST_F(Seam, EachColumnOfAVisitKeepsItsOwnFormatUnderRowAndCellFormats) {
  const auto format = [&](int r1, int c1, int r2, int c2, const char* f) {
    engine.SetSelection(r1, c1, r2, c2);
    engine.SetNumberFormat(f);
  };
  format(-1, 2, -1, 2, "yyyy-mm-dd");
  format(-1, 3, -1, 3, "0.00");
  format(3, -1, 3, -1, "hh:mm");  // a whole row, formatted after the columns
  format(2, 3, 2, 3, "0%");       // one cell of its own
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 4; ++c) engine.SetValue(1, r, c, std::to_string(r * 10 + c).c_str());
  const auto formats = [&] {
    std::vector<std::string> seen;
    engine.ForEachCell(1, 1, 2, 3, 4, [&](int, int, const CDT_IF::CellView& v) {
      seen.emplace_back(v.numberFormat);
    });
    return seen;
  };
  // The visit starts at column 2: columns are told apart by their own position.
  EXPECT_EQ(formats(), (std::vector<std::string>{"yyyy-mm-dd", "0.00", "General",  //
                                                 "yyyy-mm-dd", "0%", "General",     //
                                                 "hh:mm", "hh:mm", "hh:mm"}));
  // A column's format changed between two visits shows in the second.
  format(-1, 3, -1, 3, "0.000");
  EXPECT_EQ(formats()[1], "0.000");
}

TEST_F(Seam, CopyCellCarriesValueTypeFormulaAndFormatWithoutACursor) {
  other.SetValue(1, 1, 1, "'0042");  // forced text keeps its mark and characters
  other.SetValue(1, 1, 2, "=A1&\"!\"");
  other.SetValue(1, 1, 3, "3.25");
  other.SetSelection(1, 3, 1, 3);
  other.SetNumberFormat("0.000");
  other.SetActiveCell(5, 5);
  engine.SetValue(1, 2, 4, "old");
  engine.SetSelection(2, 4, 2, 4);
  engine.SetNumberFormat("@");
  engine.SetActiveCell(7, 7);

  for (int c = 1; c <= 3; ++c) engine.CopyCell(1, 2, c, other, 1, 1, c);
  engine.CopyCell(1, 2, 4, other, 1, 9, 9);  // an empty source empties the target

  EXPECT_EQ(engine.GetValue(1, 2, 1), "'0042");
  // The formula with its references as written: A1 of the target, which is empty.
  EXPECT_EQ(engine.GetFormula(1, 2, 2), "A1&\"!\"");
  EXPECT_EQ(engine.GetFormattedText(1, 2, 2), "!");
  EXPECT_EQ(engine.GetFormattedText(1, 2, 3), "3.250");
  EXPECT_EQ(engine.GetValue(1, 2, 4), "");
  engine.SetActiveCell(2, 4);
  EXPECT_EQ(engine.GetNumberFormat(), "General");  // the empty source's format

  int row = 0, col = 0;
  other.GetActiveCell(row, col);
  EXPECT_EQ(std::make_pair(row, col), std::make_pair(5, 5));
  engine.SetActiveCell(7, 7);
  engine.GetActiveCell(row, col);
  EXPECT_EQ(std::make_pair(row, col), std::make_pair(7, 7));
}

TEST_F(Seam, ResetCellEmptiesAndGivesTheGeneralFormat) {
  engine.SetValue(1, 3, 3, "12");
  engine.SetSelection(3, 3, 3, 3);
  engine.SetNumberFormat("0%");
  engine.ResetCell(1, 3, 3);
  EXPECT_EQ(engine.GetValue(1, 3, 3), "");
  engine.SetActiveCell(3, 3);
  EXPECT_EQ(engine.GetNumberFormat(), "General");
}

TEST_F(Seam, TypedSetsKeepTheValueAsItIs) {
  engine.SetText(1, 1, 1, "=1+1");
  engine.SetText(1, 1, 2, "0.50");
  engine.SetNumber(1, 1, 3, 0.5);
  engine.SetBool(1, 1, 4, false);
  using K = CDT_IF::CellView;
  const std::vector<Seen> want = {
      {1, 1, K::Text, "=1+1", "General", false},
      {1, 2, K::Text, "0.50", "General", false},
      {1, 3, K::Number, std::to_string(0.5), "General", false},
      {1, 4, K::Bool, "false", "General", false},
  };
  EXPECT_EQ(Visit(engine, 1, 1, 1, 1, 4), want);
  // The cell limit holds for typed text as for typed entries, counted in characters.
  const std::string longest(32767, 'x');
  EXPECT_NO_THROW(engine.SetText(1, 2, 1, longest));
  std::string wide;
  for (int i = 0; i < 20000; ++i) wide += "\xC3\xA9";  // 20,000 characters, 40,000 bytes
  EXPECT_NO_THROW(engine.SetText(1, 2, 2, wide));
  try {
    engine.SetText(1, 2, 3, longest + "x");
    ADD_FAILURE() << "a text over the limit was kept";
  } catch (const ddt::platform::KindedError& e) {
    EXPECT_EQ(e.kind(), ddt::platform::ErrorKind::OverLimit);
  }
  EXPECT_THROW(engine.SetNumber(1, 0, 1, 1), ddt::platform::KindedError);
}

TEST_F(Seam, CellImagesGoBackAsTheyCame) {
  other.SetValue(1, 1, 1, "#DIV/0!");
  other.SetValue(1, 1, 2, "=1/0");
  other.SetSelection(1, 1, 1, 1);
  other.SetNumberFormat("0.0");
  other.SetFontColor(0x0000FF);
  for (int c = 1; c <= 2; ++c)
    ddt::engine::WriteCellImage(engine, 1, 3, c, ddt::engine::ReadCellImage(other, 1, 1, c));
  EXPECT_EQ(engine.GetValue(1, 3, 1), "#DIV/0!");
  EXPECT_EQ(engine.GetFormula(1, 3, 2), "1/0");
  engine.SetActiveCell(3, 1);
  EXPECT_EQ(engine.GetNumberFormat(), "0.0");
  EXPECT_EQ(engine.GetFontColor(), 0x0000FFu);
}

}  // namespace
