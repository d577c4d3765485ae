// Copying rows into the results workbook keeps array formulas as arrays: a spilling formula
// spills there too (its spilled cells are not copied as values in its way), and a legacy
// array formula keeps its extent.
#include <string>

#include "grid/formula/formula.h"
#include "results_fixture.h"

namespace ddt::results::testing {
namespace {

class ArrayCopyTest : public ResultsTest {};

TEST_F(ArrayCopyTest, ArraysStayArraysInTheResults) {
  auto input = MakeInput(CDT::DT_TYPE_QX, {{"A", {"n", "sorted", "legacy", "text"}}}, 4);
  auto results = Prepared(CDT::DT_TYPE_QX, *input);
  ASSERT_EQ(results->SetScope(input.get(), "A"), 0);
  ddt::grid::Workbook& in = input->Book();
  const int sheet = static_cast<int>(input->GetSheetIndex("A"));
  for (int r = 1; r <= 4; ++r) {
    in.SetEntry(sheet, r, 1, std::to_string(5 - r));
    // The arrays' cells are theirs: nothing in the way.
    in.SetEntry(sheet, r, 2, "");
    if (r == 2) in.SetEntry(sheet, r, 3, "");
  }
  in.SetEntry(sheet, 1, 2, "=SORT(A1:A4)");
  in.SetCellFormula(sheet, 1, 3,
                    ddt::grid::formula::AsArrayFormula(
                        *ddt::grid::formula::ParseFormula("A1:A2*10", in), 2, 1),
                    std::nullopt);
  input->SetRunRows({{"A", {{1, 4}}}});
  for (int i = 0; i < 4; ++i) ASSERT_EQ(results->CopyNextRunRow(input.get(), 0, 1, 1), 0);

  ddt::grid::Workbook& out = results->Book();
  const int target = static_cast<int>(results->GetSheetIndex("A"));
  const ddt::grid::Cell* sorted = out.FindCell(target, 1, 2);
  const ddt::grid::Cell* legacy = out.FindCell(target, 1, 3);
  ASSERT_TRUE(sorted && sorted->formula && legacy && legacy->formula);
  int rows = 0, cols = 0;
  EXPECT_TRUE(ddt::grid::formula::IsDynamicArrayFormula(*sorted->formula));
  EXPECT_TRUE(ddt::grid::formula::IsArrayFormula(*legacy->formula, &rows, &cols));
  EXPECT_FALSE(ddt::grid::formula::IsDynamicArrayFormula(*legacy->formula));
  EXPECT_EQ(rows, 2);
  for (int r = 1; r <= 4; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(out.GetCellValue(target, r, 2), ddt::grid::Value(static_cast<double>(r)));
    EXPECT_EQ(out.GetFormula(target, r, 2), "SORT(A1:A4)");
    // The other columns are copied as before.
    EXPECT_EQ(results->Value("A", r, "text"), "A:text:" + std::to_string(r));
  }
  EXPECT_EQ(out.GetCellValue(target, 2, 3), ddt::grid::Value(30.0));
  EXPECT_EQ(out.GetFormula(target, 2, 3), "A1:A2*10");
  // Still a spill in the results: it follows its data there.
  out.SetEntry(target, 4, 1, "9");
  EXPECT_EQ(out.GetCellValue(target, 4, 2), ddt::grid::Value(9.0));
}

}  // namespace
}  // namespace ddt::results::testing
