// A1 scanning: whole-row and whole-column parts, and the plain references files write.
#include <gtest/gtest.h>

#include "grid/formula/a1.h"
#include "grid/limits.h"

namespace ddt::grid::formula {
namespace {

constexpr size_t kNone = std::string_view::npos;

TEST(A1Parts, CellsColumnsAndRowsWithTheirDollars) {
  ScannedCorner p;
  EXPECT_EQ(ScanRefPart("$B$7:C9", 0, &p), 4u);
  EXPECT_EQ(p.col, 2);
  EXPECT_EQ(p.row, 7);
  EXPECT_TRUE(p.colAbs && p.rowAbs);
  EXPECT_EQ(ScanRefPart("x+$C", 2, &p), 4u);  // a whole column: row 0
  EXPECT_EQ(p.col, 3);
  EXPECT_EQ(p.row, 0);
  EXPECT_TRUE(p.colAbs);
  EXPECT_FALSE(p.rowAbs);
  EXPECT_EQ(ScanRefPart("$12:$14", 0, &p), 3u);  // a whole row: col 0
  EXPECT_EQ(p.row, 12);
  EXPECT_EQ(p.col, 0);
  EXPECT_TRUE(p.rowAbs);
  EXPECT_FALSE(p.colAbs);
  EXPECT_EQ(ScanRefPart("xfd1048576", 0, &p), 10u);
  EXPECT_EQ(p.col, kMaxCols);
  EXPECT_EQ(p.row, kMaxRows);
}

TEST(A1Parts, NamesCallsAndOutOfGridTextsAreNoParts) {
  ScannedCorner p;
  p.row = 99;
  for (const char* text : {"ABCD1", "TAXES1", "LOG10(", "A1B", "A1_x", "A1.5", "XFE1",
                           "A1048577", "1048577", "A0", "$", "$A$", "A1!", "", "+A1"}) {
    EXPECT_EQ(ScanRefPart(text, 0, &p), kNone) << text;
  }
  EXPECT_EQ(p.row, 99);  // a failed scan leaves the part as it was
  // A cell reference is a part that names both; a part alone is no cell reference.
  ScannedCorner cell;
  EXPECT_EQ(ScanCellRef("C", 0, &cell), kNone);
  EXPECT_EQ(ScanCellRef("3", 0, &cell), kNone);
  EXPECT_EQ(ScanRefPart("c3", 0, &p), ScanCellRef("c3", 0, &cell));
  EXPECT_EQ(p.row, cell.row);
  EXPECT_EQ(p.col, cell.col);
}

TEST(A1Plain, AgreesWithTheScannerInsideTheGrid) {
  for (const char* text : {"A1", "b12", "Z99", "AA100", "XFD1048576", "abc7"}) {
    int64_t row = 0, col = 0;
    ScannedCorner c;
    ASSERT_TRUE(ParsePlainCellRef(text, &row, &col)) << text;
    ASSERT_NE(ScanCellRef(text, 0, &c), kNone) << text;
    EXPECT_EQ(row, c.row) << text;
    EXPECT_EQ(col, c.col) << text;
  }
  int64_t row = 0, col = 0;
  // Files write no dollars, spaces or anything after the row.
  for (const char* text : {"$A1", "A$1", " A1", "A1 ", "A1:B2", "A-1", "Ä1", "A", "7"})
    EXPECT_FALSE(ParsePlainCellRef(text, &row, &col)) << text;
}

}  // namespace
}  // namespace ddt::grid::formula
