// The held header row of a results workbook: it holds the column names from the moment the
// sheets are made, so formulas copied from the input that read row 1 of the file read them.
#include <string>

#include "results_fixture.h"
#include "support/config_dir.h"

namespace ddt::results::testing {
namespace {

TEST_F(ResultsTest, CopiedFormulasReadingTheHeaderRowReadTheNames) {
  // The input as a run meets it: read from its file, its header row held with the names.
  // B0 is the header cell of column 2 ("q"); column 3 is named by its letters only.
  const ddt::test::ConfigDir dir("ddt_results_header");
  const std::string file = dir.File("input.xlsx");
  {
    auto made = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p", "q", "C"}}}, 3);
    ASSERT_EQ(made->Save(file, 1), 0);
  }
  TestInput input(&host_, CDT::DT_TYPE_QX);
  ASSERT_EQ(input.Open(file), 0);
  input.SetGlobalUsage(1);
  ddt::grid::Workbook& in = input.Book();
  const int sheet = static_cast<int>(input.GetSheetIndex("A"));
  in.SetEntry(sheet, 2, 1, "=B0&\"!\"&COUNTA(A0:B0)");
  in.SetHeaderCell(sheet, 3, ddt::grid::Value());  // as a file leaving column 3 unnamed
  in.SetEntry(sheet, 2, 3, "=ISBLANK(C0)");
  ASSERT_EQ(in.GetFormattedText(sheet, 2, 1), "q!2");
  ASSERT_EQ(in.GetFormattedText(sheet, 2, 3), "TRUE");

  auto results = Prepared(CDT::DT_TYPE_QX, input);
  ASSERT_EQ(results->SetScope(&input, "A"), 0);
  input.SetRunRows({{"A", {{2, 2}}}});
  ASSERT_EQ(results->CopyNextRunRow(&input, 0, 1, 1), 0);
  ddt::grid::Workbook& out = results->Book();
  const int target = static_cast<int>(results->GetSheetIndex("A"));
  EXPECT_EQ(out.GetFormula(target, 2, 1), "B0&\"!\"&COUNTA(A0:B0)");
  EXPECT_EQ(out.GetFormattedText(target, 2, 1), "q!2");
  EXPECT_EQ(out.GetFormattedText(target, 2, 3), "TRUE") << "the unnamed column stays so";
  // The saved results carry each name once, in row 1.
  const std::string saved = dir.File("results.xlsx");
  ASSERT_EQ(results->Save(saved, 1), 0);
  TestInput back(&host_, CDT::DT_TYPE_QX);
  ASSERT_EQ(back.Open(saved), 0);
  EXPECT_EQ(*back.GetHeaderList("A"), (CStringList{"p", "q", "C"}));
  EXPECT_EQ(back.GetParamValue(2, "p", "A"), "q!2");
}

}  // namespace
}  // namespace ddt::results::testing
