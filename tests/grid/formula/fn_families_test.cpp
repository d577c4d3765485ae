// The function families through a workbook where the vectors cannot reach: hidden rows for
// SUBTOTAL and AGGREGATE, several sheets, formulas read by other formulas, the file form of
// newer function names, and the size guard of the array functions.
#include <gtest/gtest.h>

#include "ddtable/version.h"
#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {
namespace {

double NumberAt(Workbook& book, int sheet, int row, int col) {
  const Value v = book.GetCellValue(sheet, row, col);
  EXPECT_TRUE(IsNumber(v)) << "R" << row << "C" << col;
  return IsNumber(v) ? std::get<double>(v) : -1;
}

class Families : public ::testing::Test {
 protected:
  void SetUp() override {
    // A1:A5 = 1, 2, 4, 8, 16.
    for (int r = 1; r <= 5; ++r) book_.SetEntry(1, r, 1, std::to_string(1 << (r - 1)));
  }
  Workbook book_;
};

TEST_F(Families, SubtotalLeavesOutHiddenRowsOnlyWhenAsked) {
  book_.SetEntry(1, 1, 3, "=SUBTOTAL(9,A1:A5)");
  book_.SetEntry(1, 2, 3, "=SUBTOTAL(109,A1:A5)");
  book_.SetEntry(1, 3, 3, "=AGGREGATE(9,5,A1:A5)");
  book_.SetEntry(1, 4, 3, "=AGGREGATE(9,4,A1:A5)");
  book_.SetEntry(1, 5, 3, "=SUBTOTAL(102,A1:A5)");
  EXPECT_EQ(NumberAt(book_, 1, 2, 3), 31);

  book_.SetRowsHidden(1, 2, 3, true);  // hides 2 and 4
  book_.Recalc();
  EXPECT_EQ(NumberAt(book_, 1, 1, 3), 31);
  EXPECT_EQ(NumberAt(book_, 1, 2, 3), 25);
  EXPECT_EQ(NumberAt(book_, 1, 3, 3), 25);
  EXPECT_EQ(NumberAt(book_, 1, 4, 3), 31);
  EXPECT_EQ(NumberAt(book_, 1, 5, 3), 3);

  book_.SetRowsHidden(1, 2, 3, false);
  book_.Recalc();
  EXPECT_EQ(NumberAt(book_, 1, 2, 3), 31);
}

TEST_F(Families, SubtotalsInsideTheRangeAreNotCountedTwice) {
  // A6 holds a subtotal of A1:A5; a grand total over A1:A6 must not add it again, while SUM
  // does.
  book_.SetEntry(1, 6, 1, "=SUBTOTAL(9,A1:A5)");
  book_.SetEntry(1, 7, 1, "=SUBTOTAL(9,A1:A6)");
  book_.SetEntry(1, 8, 1, "=SUM(A1:A6)");
  book_.SetEntry(1, 9, 1, "=AGGREGATE(9,0,A1:A6)");
  book_.SetEntry(1, 10, 1, "=AGGREGATE(9,4,A1:A6)");  // options 4..7 count nested totals
  EXPECT_EQ(NumberAt(book_, 1, 7, 1), 31);
  EXPECT_EQ(NumberAt(book_, 1, 8, 1), 62);
  EXPECT_EQ(NumberAt(book_, 1, 9, 1), 31);
  EXPECT_EQ(NumberAt(book_, 1, 10, 1), 62);
  // An AGGREGATE total inside the range is left out by SUBTOTAL as well, with hidden rows
  // or not.
  book_.SetEntry(1, 6, 2, "=AGGREGATE(9,0,A1:A5)");
  book_.SetEntry(1, 7, 2, "=SUBTOTAL(9,A1:A5,B6)");
  book_.SetEntry(1, 8, 2, "=SUBTOTAL(109,A1:A5,B6)");
  EXPECT_EQ(NumberAt(book_, 1, 7, 2), 31);
  EXPECT_EQ(NumberAt(book_, 1, 8, 2), 31);
  // An input change reaches the totals.
  book_.SetEntry(1, 1, 1, "101");
  EXPECT_EQ(NumberAt(book_, 1, 7, 1), 131);
  EXPECT_EQ(NumberAt(book_, 1, 9, 1), 131);
}

TEST_F(Families, AggregateSkipsErrorsOnlyWithTheOption) {
  book_.SetEntry(1, 3, 1, "=1/0");
  book_.SetEntry(1, 1, 3, "=AGGREGATE(4,6,A1:A5)");
  book_.SetEntry(1, 2, 3, "=AGGREGATE(4,4,A1:A5)");
  book_.SetEntry(1, 3, 3, "=AGGREGATE(14,6,A1:A5,2)");
  EXPECT_EQ(NumberAt(book_, 1, 1, 3), 16);
  EXPECT_EQ(book_.GetCellValue(1, 2, 3), Value{ErrorCode::Div0});
  EXPECT_EQ(NumberAt(book_, 1, 3, 3), 8);
}

TEST_F(Families, SheetFunctionsSeeEverySheet) {
  book_.SetSheetCount(3);
  book_.SetSheetName(2, "Data");
  book_.SetSheetName(3, "My Data");
  book_.SetEntry(1, 1, 5, "=SHEETS()");
  book_.SetEntry(1, 2, 5, "=SHEET(Data!A1)");
  book_.SetEntry(1, 3, 5, "=SHEET(\"my data\")");
  book_.SetEntry(3, 1, 1, "=SHEET()");
  EXPECT_EQ(NumberAt(book_, 1, 1, 5), 3);
  EXPECT_EQ(NumberAt(book_, 1, 2, 5), 2);
  EXPECT_EQ(NumberAt(book_, 1, 3, 5), 3);
  EXPECT_EQ(NumberAt(book_, 3, 1, 1), 3);
  // A sheet moved in front changes the numbers.
  book_.InsertSheets(1, 1);
  book_.Recalc();
  EXPECT_EQ(NumberAt(book_, 2, 1, 5), 4);
  EXPECT_EQ(NumberAt(book_, 2, 2, 5), 3);
}

TEST_F(Families, FormulaTextShowsTheCurrentFormula) {
  book_.SetEntry(1, 1, 2, "=SUM(A1:A5)*2");
  book_.SetEntry(1, 2, 2, "=FORMULATEXT(B1)");
  book_.SetEntry(1, 3, 2, "=ISFORMULA(B1)");
  EXPECT_EQ(book_.GetCellValue(1, 2, 2), Value{std::string("=SUM(A1:A5)*2")});
  EXPECT_EQ(book_.GetCellValue(1, 3, 2), Value{true});
  book_.SetEntry(1, 1, 2, "=MAX(A1:A5)");
  EXPECT_EQ(book_.GetCellValue(1, 2, 2), Value{std::string("=MAX(A1:A5)")});
  book_.SetEntry(1, 1, 2, "7");
  EXPECT_EQ(book_.GetCellValue(1, 2, 2), Value{ErrorCode::NA});
  EXPECT_EQ(book_.GetCellValue(1, 3, 2), Value{false});
}

TEST_F(Families, NewerFunctionsCarryTheirFilePrefix) {
  const FormulaPtr f = ParseFormula("=BASE(A1,2)&SIN(A2)&SUBTOTAL(9,A1:A5)&NORM.S.INV(0.5)", book_);
  EXPECT_EQ(PrintFormula(*f, book_), "BASE(A1,2)&SIN(A2)&SUBTOTAL(9,A1:A5)&NORM.S.INV(0.5)");
  EXPECT_EQ(PrintFormulaForFile(*f, book_),
            "_xlfn.BASE(A1,2)&SIN(A2)&SUBTOTAL(9,A1:A5)&_xlfn.NORM.S.INV(0.5)");
  // What a file holds reads back as the same functions.
  book_.SetEntry(1, 1, 6, "=_xlfn.BASE(10,2)&_xlfn.AGGREGATE(9,4,A1:A2)");
  EXPECT_EQ(book_.GetCellValue(1, 1, 6), Value{std::string("10103")});
}

TEST_F(Families, VersionIsThisLibrarysVersionText) {
  book_.SetEntry(1, 1, 6, "=VERSION()");
  book_.SetEntry(1, 2, 6, "=\"v\"&VERSION()");
  EXPECT_EQ(book_.GetCellValue(1, 1, 6), Value{std::string(DDT_VERSION_STRING)});
  EXPECT_EQ(book_.GetCellValue(1, 2, 6), Value{"v" + std::string(DDT_VERSION_STRING)});
  const FormulaPtr f = ParseFormula("=version()", book_);
  EXPECT_EQ(PrintFormulaForFile(*f, book_), "VERSION()") << "files name it without a prefix";
  book_.SetEntry(1, 3, 6, "=VERSION(1)");
  EXPECT_EQ(book_.GetCellValue(1, 3, 6), Value{ErrorCode::Value}) << "it takes no argument";
}

TEST_F(Families, ArrayResultsHaveABoundedSize) {
  book_.SetEntry(1, 1, 7, "=SEQUENCE(100000,1000)");
  EXPECT_EQ(book_.GetCellValue(1, 1, 7), Value{ErrorCode::Num});
  book_.SetEntry(1, 2, 7, "=SUM(SEQUENCE(1000,10))");
  EXPECT_EQ(NumberAt(book_, 1, 2, 7), 10000.0 * 10001 / 2);
  // A whole column is cut to its used rows, not a million of them.
  book_.SetEntry(1, 3, 7, "=ROWS(SORT(A:A))");
  EXPECT_EQ(NumberAt(book_, 1, 3, 7), 5);
  book_.SetEntry(1, 4, 7, "=INDEX(SORT(A:A,1,-1),1)");
  EXPECT_EQ(NumberAt(book_, 1, 4, 7), 16);
}

// Arguments that would make a function walk astronomically many steps give a result (or
// #NUM!) at once.
TEST_F(Families, HugeCountsDoNotWalkStepByStep) {
  book_.SetEntry(1, 1, 9, "=BINOM.INV(1E+9,0.5,0.5)");
  book_.SetEntry(1, 2, 9, "=DDB(1000,100,1E+300,1E+300)");
  book_.SetEntry(1, 3, 9, "=COMBIN(1E+300,5E+299)");
  book_.SetEntry(1, 4, 9, "=CUMIPMT(0.01,1E+9,1000,1,1E+9,0)");
  book_.SetEntry(1, 5, 9, "=MULTINOMIAL(100,100)");
  book_.SetEntry(1, 6, 9, "=ROWS(UNIQUE(SEQUENCE(20000,1,1,0.5)))");
  book_.SetEntry(1, 7, 9, "=DB(1000,100,1E+9,1E+9)");
  book_.SetEntry(1, 8, 9, "=HYPGEOM.DIST(1,2,3,1E+12,FALSE)");
  EXPECT_NEAR(NumberAt(book_, 1, 1, 9), 5e8, 10);
  EXPECT_NEAR(NumberAt(book_, 1, 2, 9), 0, 1e-290);
  EXPECT_EQ(book_.GetCellValue(1, 3, 9), Value{ErrorCode::Num});
  EXPECT_EQ(book_.GetCellValue(1, 4, 9), Value{ErrorCode::Num});
  EXPECT_EQ(book_.GetCellValue(1, 5, 9), Value{ErrorCode::Num});
  EXPECT_EQ(NumberAt(book_, 1, 6, 9), 20000);
  EXPECT_GE(NumberAt(book_, 1, 7, 9), 0);
  EXPECT_EQ(book_.GetCellValue(1, 8, 9), Value{ErrorCode::Num});
}

TEST_F(Families, XLookupOverWholeColumnsAndFromTheEnd) {
  for (int r = 1; r <= 5; ++r) book_.SetEntry(1, r, 2, r % 2 ? "odd" : "even");
  book_.SetEntry(1, 1, 8, "=XLOOKUP(\"even\",B:B,A:A)");
  book_.SetEntry(1, 2, 8, "=XLOOKUP(\"even\",B:B,A:A,,0,-1)");
  book_.SetEntry(1, 3, 8, "=XLOOKUP(5,A:A,B:B,\"none\",-1)");
  EXPECT_EQ(NumberAt(book_, 1, 1, 8), 2);
  EXPECT_EQ(NumberAt(book_, 1, 2, 8), 8);
  EXPECT_EQ(book_.GetCellValue(1, 3, 8), Value{std::string("odd")});  // 4 is in A3
}

}  // namespace
}  // namespace ddt::grid::formula
