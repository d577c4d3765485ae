// Cell texts are shared, reference-counted blocks: a Value must still behave as text in
// every way the grid and the formula engine rely on.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

TEST(SharedText, EveryStringKindBecomesTextNotBoolean) {
  // A character pointer converts to bool by a standard conversion; the value must still be
  // the text.
  const Value fromLiteral = "TRUE";
  const Value fromString = std::string("abc");
  const Value fromView = std::string_view("xyz");
  ASSERT_TRUE(IsText(fromLiteral));
  ASSERT_TRUE(IsText(fromString));
  ASSERT_TRUE(IsText(fromView));
  EXPECT_EQ(TextOf(fromLiteral), "TRUE");
  EXPECT_EQ(TextOf(fromView), "xyz");
}

TEST(SharedText, EmptyTextIsTextAndEqualityIsByContent) {
  const Value empty = std::string();
  EXPECT_TRUE(IsText(empty));
  EXPECT_FALSE(IsEmpty(empty));
  EXPECT_NE(empty, Value());
  EXPECT_EQ(Value("same"), Value(std::string("same")));  // two blocks, one content
  EXPECT_NE(Value("same"), Value("Same"));
  const std::string withZero("a\0b", 3);
  const SharedText t(withZero);
  EXPECT_EQ(t.size(), 3u);
  EXPECT_EQ(t.view(), withZero);
  EXPECT_EQ(t.c_str()[t.size()], '\0');
}

TEST(SharedText, CopiesOutliveTheOriginalAcrossThreads) {
  std::vector<SharedText> copies;
  {
    SharedText original(std::string(100, 'x'));
    for (int i = 0; i < 64; ++i) copies.push_back(original);
    SharedText moved = std::move(original);
    moved = moved;  // self-assignment keeps the text
    EXPECT_EQ(moved.size(), 100u);
  }
  // Copies dropped on two threads at once: the count must not lose a release.
  std::thread a([&] {
    for (int i = 0; i < 32; ++i) copies[i] = SharedText();
  });
  std::thread b([&] {
    for (int i = 32; i < 63; ++i) copies[i] = SharedText("other");
  });
  a.join();
  b.join();
  EXPECT_EQ(copies[63].view(), std::string(100, 'x'));
}

TEST(SharedText, CellTextCopiedAndSourceClearedStaysWhole) {
  Workbook b;
  b.SetEntry(1, 1, 1, "a text longer than any inline buffer would hold");
  b.SetEntry(1, 1, 2, "=A1&\"!\"");
  b.CopyRangeFrom(1, Range{2, 1, 2, 1}, b.Handle(), 1, Range{1, 1, 1, 1});
  b.SetEntry(1, 1, 1, "");
  EXPECT_EQ(b.GetEntry(1, 2, 1), "a text longer than any inline buffer would hold");
  EXPECT_EQ(b.GetFormattedText(1, 1, 2), "!");
}

TEST(FormulaRefs, OneFormulaSharedByManyCellsOutlivesItsFirstCell) {
  Workbook b;
  for (int r = 1; r <= 5; ++r) b.SetEntry(1, r, 1, std::to_string(r));
  b.SetEntry(1, 1, 2, "=A1*10");
  for (int r = 2; r <= 5; ++r)  // B2:B5 copied from B1
    b.CopyRangeFrom(1, Range{r, 2, r, 2}, b.Handle(), 1, Range{1, 2, 1, 2});
  b.DeleteRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetFormattedText(1, 1, 2), "20");
  EXPECT_EQ(b.GetEntry(1, 4, 2), "=A4*10");
  b.SetEntry(1, 4, 1, "7");
  EXPECT_EQ(b.GetFormattedText(1, 4, 2), "70");
}

}  // namespace
}  // namespace ddt::grid
