// The header row held out of the cells: formulas keep their meaning and cached results while
// the rows move, header cells move with their columns, and releasing gives back the file's
// formulas. Formulas kept as written, unknown functions and cycles keep stored results.
#include <gtest/gtest.h>

#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

double Number(Workbook& b, int sheet, int row, int col) {
  Value v = b.GetCellValue(sheet, row, col);
  EXPECT_TRUE(IsNumber(v)) << b.GetEntry(sheet, row, col);
  return IsNumber(v) ? std::get<double>(v) : 0;
}

// Sheet "Data": a header row (A1 = 1, B1 = 10, C1 = "Name") and formulas into and across it;
// sheet "Other" reads the data sheet's row 1.
void FillLikeAFile(Workbook& b) {
  b.SetSheetName(1, "Data");
  b.InsertSheets(2, 1);
  b.SetSheetName(2, "Other");
  b.SetEntry(1, 1, 1, "1");
  b.SetEntry(1, 1, 2, "10");
  b.SetEntry(1, 1, 3, "Name");
  b.SetEntry(1, 2, 1, "=A1+1");
  b.SetEntry(1, 3, 1, "=ROW()");
  b.SetEntry(1, 4, 1, "=INDIRECT(\"B\"&(ROW()-3))");
  b.SetEntry(1, 5, 1, "=OFFSET(A2,-1,1)");
  b.SetEntry(1, 2, 2, "20");
  b.SetEntry(1, 3, 2, "30");
  b.SetEntry(1, 4, 2, "=SUM(B1:B3)");
  b.SetEntry(1, 5, 2, "=ROWS(B1:B3)");
  b.SetEntry(1, 1, 4, "=SUM(B1:B3)");  // a header cell with a formula
  b.SetEntry(2, 2, 1, "=Data!B1*2");
  b.SetEntry(2, 3, 1, "=SUM(Data!A1:A2)");
}

TEST(HeldHeaderRow, FormulasKeepTheirMeaningAndResults) {
  Workbook b;
  FillLikeAFile(b);
  // {value, file row, column}
  const double expected[][3] = {{2, 2, 1}, {3, 3, 1}, {10, 4, 1}, {10, 5, 1}, {60, 4, 2},
                                {3, 5, 2}};
  for (const auto& e : expected) EXPECT_EQ(Number(b, 1, int(e[1]), int(e[2])), e[0]);

  b.HoldHeaderRow();
  EXPECT_EQ(b.RowOrigin(), 1);
  // Data row 1 is the file's row 2; the header row is row 0, out of the cell members' reach.
  EXPECT_EQ(b.GetEntry(1, 1, 1), "=A0+1");
  EXPECT_EQ(b.GetEntry(1, 3, 2), "=SUM(B0:B2)");
  EXPECT_EQ(b.GetEntry(2, 1, 1), "=Data!B0*2");
  EXPECT_EQ(b.GetEntry(2, 2, 1), "=SUM(Data!A0:A1)");
  EXPECT_THROW(b.GetEntry(1, 0, 1), GridError);
  ASSERT_NE(b.HeaderCell(1, 3), nullptr);
  EXPECT_EQ(b.HeaderCell(1, 3)->value, Value(std::string("Name")));
  EXPECT_EQ(b.LastUsedRow(), 4);  // the header row is not part of the extent
  // Every result is computed again from scratch and comes out the same.
  b.Recalc();
  for (const auto& e : expected) EXPECT_EQ(Number(b, 1, int(e[1]) - 1, int(e[2])), e[0]);
  EXPECT_EQ(Number(b, 2, 1, 1), 20);
  EXPECT_EQ(Number(b, 2, 2, 1), 3);
  // The header cell's formula is live: it follows the data.
  b.SetEntry(1, 1, 2, "25");
  EXPECT_EQ(b.Calc().Evaluate(1, 0, 4), Value(60.0 + 5));
  EXPECT_EQ(Number(b, 1, 3, 2), 65);
  // Formulas typed now name memory rows, the header row as row 0.
  b.SetEntry(1, 8, 1, "=B0+B1");
  EXPECT_EQ(Number(b, 1, 8, 1), 35);

  b.ReleaseHeaderRow();
  EXPECT_EQ(b.RowOrigin(), 0);
  EXPECT_EQ(b.GetEntry(1, 2, 1), "=A1+1");
  EXPECT_EQ(b.GetEntry(1, 4, 2), "=SUM(B1:B3)");
  EXPECT_EQ(b.GetEntry(1, 1, 4), "=SUM(B1:B3)");
  EXPECT_EQ(b.GetEntry(2, 2, 1), "=Data!B1*2");
  EXPECT_EQ(b.GetEntry(1, 9, 1), "=B1+B2");
  EXPECT_EQ(b.GetEntry(1, 1, 3), "Name");
  EXPECT_EQ(Number(b, 1, 3, 1), 3);  // ROW() of the file's row 3
}

TEST(HeldHeaderRow, EditsMoveHeaderCellsWithTheirColumnsNotWithRows) {
  Workbook b;
  FillLikeAFile(b);
  b.HoldHeaderRow();
  // A row inserted at data row 1 leaves the header row above it; the range grows.
  b.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetEntry(1, 2, 1), "=A0+1");
  EXPECT_EQ(b.GetEntry(1, 4, 2), "=SUM(B0:B3)");
  EXPECT_EQ(Number(b, 1, 4, 2), 60);
  // A column deleted takes its header cell along; references to it become #REF!.
  b.DeleteRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
  ASSERT_NE(b.HeaderCell(1, 2), nullptr);
  EXPECT_EQ(b.HeaderCell(1, 2)->value, Value(std::string("Name")));
  EXPECT_EQ(b.GetEntry(1, 4, 1), "=SUM(A0:A3)");
  EXPECT_EQ(b.GetEntry(2, 1, 1), "=Data!A0*2");
  // Header cell formulas follow too: D1 moved to C and now sums A.
  ASSERT_NE(b.HeaderCell(1, 3), nullptr);
  EXPECT_NE(b.HeaderCell(1, 3)->formula, nullptr);
  b.ReleaseHeaderRow();
  EXPECT_EQ(b.GetEntry(1, 1, 3), "=SUM(A1:A4)");
  EXPECT_EQ(b.GetEntry(1, 1, 2), "Name");
}

TEST(KeptResults, UnreadableAndUnknownFormulasKeepStoredResults) {
  Workbook b;
  b.SetCellFormula(1, 1, 1, formula::VerbatimFormula("SUM(T[[#This Row],[a]:[b]])"), Value(6.0));
  b.SetEntry(1, 1, 2, "=A1*2");
  b.SetCellFormula(1, 2, 1, formula::ParseFormula("NOSUCHFN(B1)", b), Value(std::string("x")));
  b.SetEntry(1, 2, 2, "=A2&\"y\"");
  EXPECT_EQ(b.GetFormula(1, 1, 1), "SUM(T[[#This Row],[a]:[b]])");
  EXPECT_EQ(Number(b, 1, 1, 2), 12);
  EXPECT_EQ(b.GetCellValue(1, 2, 2), Value(std::string("xy")));
  // Inputs change and everything is recomputed: the stored results stand.
  b.SetEntry(1, 3, 3, "1");
  b.Recalc();
  EXPECT_EQ(Number(b, 1, 1, 1), 6);
  EXPECT_EQ(Number(b, 1, 1, 2), 12);
  EXPECT_EQ(b.GetCellValue(1, 2, 1), Value(std::string("x")));
  // Without a stored result there is nothing to keep.
  b.SetEntry(1, 4, 1, "=NOSUCHFN(1)");
  EXPECT_EQ(b.GetCellValue(1, 4, 1), Value(ErrorCode::Name));
  b.SetCellFormula(1, 5, 1, formula::VerbatimFormula("[1]Sheet1!A1"), std::nullopt);
  EXPECT_EQ(b.GetCellValue(1, 5, 1), Value(ErrorCode::Name));
}

TEST(KeptResults, CyclesFromAFileKeepTheirStoredValues) {
  Workbook b;
  b.SetCellFormula(1, 1, 1, formula::ParseFormula("B1+1", b), Value(5.0));
  b.SetCellFormula(1, 1, 2, formula::ParseFormula("A1+1", b), Value(6.0));
  b.SetEntry(1, 1, 3, "=A1*10");
  EXPECT_EQ(Number(b, 1, 1, 1), 5);
  b.Recalc();
  EXPECT_EQ(Number(b, 1, 1, 1), 5);
  EXPECT_EQ(Number(b, 1, 1, 2), 6);
  EXPECT_EQ(Number(b, 1, 1, 3), 50);  // reads the cycle, is not part of it
}

TEST(ArrayFormulas, EvaluateOverWholeRanges) {
  Workbook b;
  b.SetEntry(1, 1, 1, "2");
  b.SetEntry(1, 1, 2, "3");
  b.SetEntry(1, 2, 1, "4");
  b.SetEntry(1, 2, 2, "5");
  auto plain = formula::ParseFormula("SUM(A1:B1*A2:B2)", b);
  b.SetCellFormula(1, 3, 3, plain, std::nullopt);  // no column of the ranges to intersect
  EXPECT_EQ(b.GetCellValue(1, 3, 3), Value(ErrorCode::Value));
  b.SetCellFormula(1, 4, 1, formula::AsArrayFormula(*plain, 1, 1), std::nullopt);
  EXPECT_EQ(Number(b, 1, 4, 1), 23);
  int rows = 0, cols = 0;
  EXPECT_TRUE(formula::IsArrayFormula(*b.FindCell(1, 4, 1)->formula, &rows, &cols));
  EXPECT_EQ(rows * 10 + cols, 11);
  EXPECT_FALSE(formula::IsArrayFormula(*b.FindCell(1, 3, 3)->formula, &rows, &cols));
  // The first element of a range result.
  b.SetCellFormula(1, 5, 1, formula::AsArrayFormula(*formula::ParseFormula("A1:B1*10", b), 1, 2),
                   std::nullopt);
  EXPECT_EQ(Number(b, 1, 5, 1), 20);
  // Whole ranges move with their rows like any formula.
  b.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetFormula(1, 5, 1), "SUM(A2:B2*A3:B3)");
  EXPECT_TRUE(formula::IsArrayFormula(*b.FindCell(1, 5, 1)->formula, &rows, &cols));
  EXPECT_EQ(Number(b, 1, 5, 1), 23);
}

TEST(HeldHeaderRow, WholeColumnsAndRowsTakeInTheHeaderRow) {
  Workbook b;
  b.SetEntry(1, 1, 1, "Name");  // the header row: file row 1
  b.SetEntry(1, 2, 1, "x");
  b.SetEntry(1, 3, 1, "y");
  b.SetEntry(1, 1, 2, "5");
  b.SetEntry(1, 2, 2, "6");
  b.SetEntry(1, 5, 4, "=COUNTA(A:A)");
  b.SetEntry(1, 6, 4, "=SUM($1:$1)");
  b.HoldHeaderRow();
  b.Recalc();
  EXPECT_EQ(Number(b, 1, 4, 4), 3);
  EXPECT_EQ(Number(b, 1, 5, 4), 5);
  // Typed while the header row is held, and through INDIRECT, which counts the file's rows.
  b.SetEntry(1, 6, 4, "=SUM(B:B)");
  b.SetEntry(1, 7, 4, "=SUM(INDIRECT(\"B:B\"))");
  EXPECT_EQ(Number(b, 1, 6, 4), 11);
  EXPECT_EQ(Number(b, 1, 7, 4), 11);
  // The header cell changes what reads its column.
  b.SetHeaderCell(1, 2, Value(50.0));
  EXPECT_EQ(Number(b, 1, 6, 4), 56);
  b.ReleaseHeaderRow();
  EXPECT_EQ(b.GetFormula(1, 5, 4), "COUNTA(A:A)");
  EXPECT_EQ(b.GetFormula(1, 7, 4), "SUM(B:B)");
  EXPECT_EQ(Number(b, 1, 5, 4), 3);
  EXPECT_EQ(Number(b, 1, 7, 4), 56);
}

TEST(VerbatimFormulas, PlainReferencesFollowInsertsAndDeletes) {
  Workbook b;
  b.InsertSheets(2, 1);
  b.SetSheetName(2, "My Sheet");
  const std::string kept =
      "SUM(B2:B4 C3:C5)+'My Sheet'!A3+Sheet1!$B$3+[1]Sheet1!A3+Table1[[#This Row],[A3]]&\"A3\""
      "+COUNT(A:A,3:4)+Rate+#REF!";
  b.SetCellFormula(1, 10, 5, formula::VerbatimFormula(kept), Value(1.0));
  b.InsertRange(Range{3, kAll, 3, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetFormula(1, 11, 5),
            "SUM(B2:B5 C4:C6)+'My Sheet'!A3+Sheet1!$B$4+[1]Sheet1!A3+Table1[[#This Row],[A3]]&"
            "\"A3\"+COUNT(A:A,4:5)+Rate+#REF!");
  EXPECT_EQ(b.GetCellValue(1, 11, 5), Value(1.0));  // still the stored result
  b.DeleteRange(Range{4, kAll, 6, kAll}, Shift::Rows);
  EXPECT_EQ(b.GetFormula(1, 8, 5),
            "SUM(B2:B3 #REF!)+'My Sheet'!A3+Sheet1!#REF!+[1]Sheet1!A3+Table1[[#This Row],[A3]]&"
            "\"A3\"+COUNT(A:A,#REF!)+Rate+#REF!");
  // Another sheet's change moves only what points there; cells moved within a band too.
  b.SetCurrentSheet(2);
  b.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
  b.SetCurrentSheet(1);
  b.InsertRange(Range{1, 2, 2, 2}, Shift::CellsHorizontal);
  EXPECT_EQ(b.GetFormula(1, 8, 5),
            "SUM(B2:B3 #REF!)+'My Sheet'!B3+Sheet1!#REF!+[1]Sheet1!A3+Table1[[#This Row],[A3]]&"
            "\"A3\"+COUNT(A:A,#REF!)+Rate+#REF!");
  b.InsertRange(Range{2, 2, 3, 2}, Shift::CellsHorizontal);  // rows 2..3, the whole of B2:B3
  EXPECT_EQ(b.GetFormula(1, 8, 5).substr(0, 17), "SUM(C2:C3 #REF!)+");

  // The text counts the file's rows while the header row is held.
  Workbook h;
  h.SetEntry(1, 1, 1, "head");
  h.SetCellFormula(1, 4, 2, formula::VerbatimFormula("A1+A2+A3+A$4"), Value(3.0));
  h.HoldHeaderRow();
  h.InsertRange(Range{2, kAll, 2, kAll}, Shift::Rows);  // above file row 3
  h.ReleaseHeaderRow();
  EXPECT_EQ(h.GetFormula(1, 5, 2), "A1+A2+A4+A$5");
}

}  // namespace
}  // namespace ddt::grid
