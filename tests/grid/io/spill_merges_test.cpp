// Merged ranges kept from an .xlsx file block a spill as content does: a spill that grows
// into one shows #SPILL!, unmerging lets it spill, and the save writes the merges left and
// the spills as they stand. Fixture made by xlsxwriter (data/make_spill_merge_fixture.sh).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::ScratchDir;
using test::ZipParts;

void ReadMergesFixture(Workbook& book) {
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("xlsxwriter_spill_merges.xlsx"), kFileTypeAny,
                             nullptr),
            kFileTypeXlsx);
}

TEST(SpillMerges, AMergedRangeBlocksAGrowingSpillUntilUnmerged) {
  Workbook book;
  ReadMergesFixture(book);
  ASSERT_EQ(book.MergedRanges(1).size(), 3u);
  EXPECT_EQ(book.MergedRanges(1)[0], (Range{4, 2, 4, 3}));

  book.SetEntry(1, 1, 1, "3");  // B1:B3: still clear of B4:C4
  EXPECT_EQ(book.GetCellValue(1, 3, 2), Value(3.0));
  book.SetEntry(1, 1, 1, "5");  // B1:B5 would cover B4, part of the merge
  EXPECT_EQ(book.GetCellValue(1, 1, 2), Value(ErrorCode::Spill));
  EXPECT_TRUE(IsEmpty(book.GetCellValue(1, 2, 2)));  // what it spilled before is gone
  EXPECT_EQ(book.GetFormula(1, 1, 2), "SEQUENCE(A1)");

  // Unmerging a range that touches no merge changes nothing.
  EXPECT_TRUE(book.Unmerge(1, Range{10, 1, 12, 9}).empty());
  const std::vector<Range> removed = book.Unmerge(1, Range{4, 3, 4, 3});  // one cell of it
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0], (Range{4, 2, 4, 3}));
  EXPECT_EQ(book.MergedRanges(1).size(), 2u);
  EXPECT_EQ(book.GetCellValue(1, 1, 2), Value(1.0));
  EXPECT_EQ(book.GetCellValue(1, 5, 2), Value(5.0));
  EXPECT_EQ(book.GetFormula(1, 4, 2), "SEQUENCE(A1)");  // a spilled cell shows the anchor's

  // Shrinking and growing again: nothing blocks any more.
  book.SetEntry(1, 1, 1, "2");
  EXPECT_TRUE(IsEmpty(book.GetCellValue(1, 5, 2)));
  book.SetEntry(1, 1, 1, "4");
  EXPECT_EQ(book.GetCellValue(1, 4, 2), Value(4.0));

  ScratchDir dir;
  const std::string path = dir.File("unmerged.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  const std::string sheet = ZipParts(path)["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<mergeCells count=\"2\"><mergeCell ref=\"C7:D7\"/>"
                       "<mergeCell ref=\"F1:G2\"/></mergeCells>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<f t=\"array\" ref=\"B1:B4\">_xlfn.SEQUENCE(A1)</f>"), std::string::npos)
      << sheet;
  Workbook back;
  ReadWorkbookFile(back, path, kFileTypeAny, nullptr);
  EXPECT_EQ(back.MergedRanges(1).size(), 2u);
  EXPECT_EQ(back.GetCellValue(1, 4, 2), Value(4.0));
}

TEST(SpillMerges, ABlockedSpillIsSavedAsSpillErrorAndTheMergeKept) {
  Workbook book;
  ReadMergesFixture(book);
  book.SetEntry(1, 1, 1, "6");
  ScratchDir dir;
  const std::string path = dir.File("blocked.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  const std::string sheet = ZipParts(path)["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<f t=\"array\" ref=\"B1\">_xlfn.SEQUENCE(A1)</f><v>#SPILL!</v>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<mergeCell ref=\"B4:C4\"/>"), std::string::npos) << sheet;
  // Read back, the spill is still blocked; unmerged there, it spills.
  Workbook back;
  ReadWorkbookFile(back, path, kFileTypeAny, nullptr);
  back.Recalc();
  EXPECT_EQ(back.GetCellValue(1, 1, 2), Value(ErrorCode::Spill));
  back.Unmerge(1, Range{4, 2, 4, 2});
  EXPECT_EQ(back.GetCellValue(1, 6, 2), Value(6.0));
  // The file stored C6 as blocked by C7:D7: it stays blocked until that is unmerged too.
  EXPECT_EQ(back.GetCellValue(1, 6, 3), Value(ErrorCode::Spill));
  back.Unmerge(1, Range{7, 4, 7, 4});
  EXPECT_EQ(back.GetCellValue(1, 7, 3), Value(2.0));
}

// Rows inserted above a merge move it: a spill blocked where it was is free, and one
// reaching where it went is blocked. With the header row held, rows count from the data.
TEST(SpillMerges, MergesFollowRowEditsAndTheHeldHeaderRow) {
  Workbook book;
  ReadMergesFixture(book);
  book.InsertRange(Range{3, kAll, 4, kAll}, Shift::Rows);  // B4:C4 is now B6:C6
  EXPECT_EQ(book.MergedRanges(1)[0], (Range{6, 2, 6, 3}));
  book.SetEntry(1, 1, 1, "5");
  EXPECT_EQ(book.GetCellValue(1, 5, 2), Value(5.0));
  book.SetEntry(1, 1, 1, "6");
  EXPECT_EQ(book.GetCellValue(1, 1, 2), Value(ErrorCode::Spill));

  Workbook held;
  ReadMergesFixture(held);
  held.HoldHeaderRow();  // file row 4 is grid row 3
  EXPECT_EQ(held.MergedRanges(1)[0], (Range{3, 2, 3, 3}));
  held.SetFormula(1, 1, 5, "SEQUENCE(1,3)");  // E1:G1 is file row 2, inside F1:G2
  EXPECT_EQ(held.GetCellValue(1, 1, 5), Value(ErrorCode::Spill));
  held.Unmerge(1, Range{1, 6, 1, 6});
  EXPECT_EQ(held.GetCellValue(1, 1, 7), Value(3.0));
}

}  // namespace
}  // namespace ddt::grid::io
