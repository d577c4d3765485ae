// Range functions that read whole ranges in one walk of the sheet's storage (the conditional
// aggregates, SUMPRODUCT, the database functions): blanks between, before and after the used
// cells must still count where a criterion accepts them, cells used in one range only must
// line up with the others, and huge mostly empty ranges must give the values a cell-by-cell
// reading gives.
#include <gtest/gtest.h>

#include <string>

#include "grid/limits.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

class RangeWalkTest : public ::testing::Test {
 protected:
  void Set(int row, int col, std::string_view entry, int sheet = 1) {
    book.SetEntry(sheet, row, col, entry);
  }
  // The value of a formula entered in a free cell of sheet 1.
  Value Eval(const std::string& formula) {
    book.SetEntry(1, 1, kMaxCols, formula);
    return book.GetCellValue(1, 1, kMaxCols);
  }
  Workbook book;
};

// A:C rows 1..8 with gaps; C6 is text, C8 an error in a row with blank A and B.
//   A   B   C
//   1   x   10
//   2   y   20
//       x   30
//   4       40
//           50
//   6   x   "t"
//       x
//           =1/0
class ConditionalRanges : public RangeWalkTest {
 protected:
  void SetUp() override {
    const char* rows[][3] = {{"1", "x", "10"}, {"2", "y", "20"}, {"", "x", "30"},
                             {"4", "", "40"},  {"", "", "50"},   {"6", "x", "t"},
                             {"", "x", ""},    {"", "", "=1/0"}};
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 3; ++c)
        if (*rows[r][c]) Set(r + 1, c + 1, rows[r][c]);
  }
};

TEST_F(ConditionalRanges, BlankCriteriaCountUnusedCellsOfTheRange) {
  EXPECT_EQ(Eval("=COUNTIF(B1:B10,\"\")"), Value{5.0});  // rows 4, 5, 8, 9, 10
  EXPECT_EQ(Eval("=COUNTIF(B1:B10,\"<>\")"), Value{5.0});
  EXPECT_EQ(Eval("=COUNTIFS(A1:A10,\"\",B1:B10,\"\")"), Value{4.0});  // rows 5, 8, 9, 10
  // Whole columns: only rows used somewhere are looked at one by one, the rest are counted.
  EXPECT_EQ(Eval("=COUNTIFS(A:A,\"\",B:B,\"x\")"), Value{2.0});
  EXPECT_EQ(Eval("=COUNTIF(B:B,\"\")"), Value{double(kMaxRows - 5)});
  EXPECT_EQ(Eval("=COUNTIF(D:D,\"\")"), Value{double(kMaxRows)});
  EXPECT_EQ(Eval("=COUNTIF(D:D,\"x\")"), Value{0.0});
}

TEST_F(ConditionalRanges, SumRangesLineUpWithTheCriteriaRanges) {
  EXPECT_EQ(Eval("=SUMIF(B1:B8,\"x\",C1:C8)"), Value{40.0});  // text and blank skipped
  EXPECT_EQ(Eval("=SUMIFS(C:C,A:A,\"\",B:B,\"x\")"), Value{30.0});
  EXPECT_EQ(Eval("=SUMIFS(C1:C8,B1:B8,\"x\",A1:A8,\">=1\")"), Value{10.0});
  EXPECT_EQ(Eval("=AVERAGEIF(B1:B8,\"x\",C1:C8)"), Value{20.0});
  EXPECT_EQ(Eval("=MAXIFS(C1:C7,B1:B7,\"x\")"), Value{30.0});
  EXPECT_EQ(Eval("=MINIFS(C1:C7,B1:B7,\"<>x\")"), Value{20.0});
  // A sum range given by its first cell takes the criteria range's shape from there.
  EXPECT_EQ(Eval("=SUMIF(B1:B4,\"x\",C5)"), Value{50.0});  // C5 and the blank C7
  // An error counts only where the conditions select its cell.
  EXPECT_EQ(Eval("=SUMIF(B1:B8,\"\",C1:C8)"), Value{ErrorCode::Div0});
  EXPECT_EQ(Eval("=SUMIF(A1:A8,\">0\",C1:C8)"), Value{70.0});
  // Shapes that differ are refused.
  EXPECT_EQ(Eval("=SUMIFS(C1:C8,B1:B7,\"x\")"), Value{ErrorCode::Value});
}

TEST_F(ConditionalRanges, SumProductMultipliesAlignedCells) {
  EXPECT_EQ(Eval("=SUMPRODUCT(A1:A7,C1:C7)"), Value{210.0});
  EXPECT_EQ(Eval("=SUMPRODUCT(A1:A8,C1:C8)"), Value{ErrorCode::Div0});
  EXPECT_EQ(Eval("=SUMPRODUCT(A1:B3,C1:D3)"), Value{50.0});  // 1*10 + 2*20, text as 0
  EXPECT_EQ(Eval("=SUMPRODUCT({1,2;3,4},{1,0;0,1})"), Value{5.0});
}

TEST_F(RangeWalkTest, RangesOnADeletedSheetAreRefErrors) {
  book.SetSheetCount(2);
  book.SetSheetName(2, "Data");
  for (int r = 1; r <= 3; ++r) Set(r, 1, std::to_string(r), 2);
  Set(1, 1, "=SUMIF(Data!A1:A3,\">1\")");
  Set(2, 1, "=COUNTIF(Data!A:A,\"\")");
  Set(3, 1, "=SUMPRODUCT(Data!A1:A3,Data!A:A)");
  EXPECT_EQ(book.GetCellValue(1, 1, 1), Value{5.0});
  EXPECT_EQ(book.GetCellValue(1, 2, 1), Value{double(kMaxRows - 3)});
  EXPECT_EQ(book.GetCellValue(1, 3, 1), Value{ErrorCode::Value});  // shapes differ
  Set(3, 1, "=SUMPRODUCT(Data!A1:A3,Data!A1:A3)");
  EXPECT_EQ(book.GetCellValue(1, 3, 1), Value{14.0});
  book.DeleteSheets(2, 1);
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(book.GetCellValue(1, r, 1), Value{ErrorCode::Ref}) << r;
}

// A database F1:G5 (Name, Index) whose Index of "b" is a formula.
class DatabaseRanges : public RangeWalkTest {
 protected:
  void SetUp() override {
    Set(1, 6, "Name");
    Set(1, 7, "Index");
    Set(2, 6, "apple"), Set(2, 7, "1");
    Set(3, 6, "b"), Set(3, 7, "=1+1");
    Set(4, 6, "c"), Set(4, 7, "3");
    Set(5, 7, "4");  // a record without a name
  }
};

TEST_F(DatabaseRanges, CriteriaRowsAreAlternatives) {
  Set(1, 29, "Name");  // AC
  Set(2, 29, "=\"=b\"");
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",AC1:AC2)"), Value{2.0});
  EXPECT_EQ(Eval("=DGET(F:G,\"index\",AC1:AC2)"), Value{2.0});  // whole columns
  Set(3, 29, "c");
  EXPECT_EQ(Eval("=DSUM(F1:G5,2,AC1:AC3)"), Value{5.0});
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",AC1:AC3)"), Value{ErrorCode::Num});
  // "=" selects the record whose name is blank; a plain text selects names beginning with it.
  Set(2, 29, "=\"=\"");
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",AC1:AC2)"), Value{4.0});
  Set(2, 29, "a");
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",AC1:AC2)"), Value{1.0});
  // A condition on a field the database lacks selects nothing in its row.
  Set(1, 30, "Missing");
  Set(2, 30, "x");
  EXPECT_EQ(Eval("=DCOUNTA(F1:G5,,AC1:AD2)"), Value{0.0});
  EXPECT_EQ(Eval("=DCOUNTA(F1:G5,,AC1:AD3)"), Value{1.0});  // row 3: "c"
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",AC1:AD2)"), Value{ErrorCode::Value});
}

TEST_F(DatabaseRanges, HugeMostlyEmptyCriteriaRange) {
  // The shape a fuzzer found: criteria reaching thousands of rows and columns, with one used
  // cell far away. Every row between is an alternative without conditions (all records), the
  // far row one on a column without a header (none).
  Set(1, 29, "Name");
  Set(2, 29, "b");
  Set(300, 12289, "x");  // RDQ300
  EXPECT_EQ(Eval("=DCOUNTA(F1:G5,,$AC$1:$UYC$6972)"), Value{4.0});
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",$AC$1:$UYC$6972)"), Value{ErrorCode::Num});
  EXPECT_EQ(Eval("=DGET(F1:G5,\"Index\",$AC$1:$UYC$2)"), Value{2.0});
  EXPECT_EQ(Eval("=DCOUNT(F1:G5,\"Index\",$AC$1:$UYC$2)"), Value{1.0});
  // Whole columns reach the far row: the blank records between match nothing.
  EXPECT_EQ(Eval("=DSUM(F:G,\"Index\",$AC$1:$UYC$2)"), Value{2.0});
}

// Results of the conditional functions are kept between cells with the same inputs: every
// change must still reach each of them.
TEST_F(RangeWalkTest, KeptResultsFollowChanges) {
  for (int r = 1; r <= 4; ++r) {
    Set(r, 1, std::to_string(r));
    Set(r, 2, r % 2 ? "odd" : "even");
  }
  Set(1, 3, "=SUMIFS(A1:A4,B1:B4,\"odd\")");
  Set(2, 3, "=SUMIFS(A1:A4,B1:B4,\"odd\")");
  Set(3, 3, "=COUNTIF(B1:B4,\"odd\")");
  EXPECT_EQ(book.GetCellValue(1, 1, 3), Value{4.0});
  EXPECT_EQ(book.GetCellValue(1, 2, 3), Value{4.0});
  Set(3, 1, "10");
  EXPECT_EQ(book.GetCellValue(1, 1, 3), Value{11.0});
  EXPECT_EQ(book.GetCellValue(1, 2, 3), Value{11.0});
  Set(4, 2, "odd");
  EXPECT_EQ(book.GetCellValue(1, 2, 3), Value{15.0});
  EXPECT_EQ(book.GetCellValue(1, 3, 3), Value{3.0});
  // A criterion given as a column is read on each formula's own row: same text, other result.
  Set(1, 4, "odd");
  Set(2, 4, "even");
  Set(1, 5, "=SUMIF(B1:B4,D1:D2,A1:A4)");
  Set(2, 5, "=SUMIF(B1:B4,D1:D2,A1:A4)");
  EXPECT_EQ(book.GetCellValue(1, 1, 5), Value{15.0});
  EXPECT_EQ(book.GetCellValue(1, 2, 5), Value{2.0});
  // Inputs that are formulas are computed before the result is kept.
  Set(2, 1, "=A1*100");
  Set(2, 2, "odd");
  EXPECT_EQ(book.GetCellValue(1, 1, 3), Value{115.0});
  EXPECT_EQ(book.GetCellValue(1, 2, 3), Value{115.0});
  Set(1, 1, "2");
  EXPECT_EQ(book.GetCellValue(1, 2, 3), Value{216.0});
}

TEST_F(RangeWalkTest, ManyFormulasReadingOneAreaAllFollowIt) {
  for (int r = 1; r <= 300; ++r) Set(r, 1, "1");
  for (int r = 1; r <= 40; ++r) Set(r, 2, "=SUM(A1:A300)+ROW()");
  Set(7, 2, "=1");  // no longer reads the area
  Set(150, 1, "101");
  for (int r = 1; r <= 40; ++r)
    EXPECT_EQ(book.GetCellValue(1, r, 2), Value{r == 7 ? 1.0 : 400.0 + r}) << r;
  // Changes in a row, some results read between them, a reader joining while the others
  // are still stale: every one ends up current.
  Set(151, 1, "2");
  EXPECT_EQ(book.GetCellValue(1, 3, 2), Value{404.0});
  Set(152, 1, "3");
  Set(41, 2, "=SUM(A1:A300)");
  Set(153, 1, "4");
  for (int r = 1; r <= 40; ++r)
    EXPECT_EQ(book.GetCellValue(1, r, 2), Value{r == 7 ? 1.0 : 406.0 + r}) << r;
  EXPECT_EQ(book.GetCellValue(1, 41, 2), Value{406.0});
  Set(154, 1, "5");
  EXPECT_EQ(book.GetCellValue(1, 41, 2), Value{410.0});
  EXPECT_EQ(book.GetCellValue(1, 40, 2), Value{450.0});
}

}  // namespace
}  // namespace ddt::grid
