// The workbook tells its file session and other listeners of every structural edit, counted
// as the file counts lines, and of sheets renamed and removed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "grid/file_session.h"
#include "grid/workbook.h"

namespace ddt::grid {
namespace {

struct Recorder : FileSession {
  std::vector<LineEditEvent> edits;
  std::vector<std::string> sheets;  // "renamed <id> <name>", "removed <id>"
  void LinesEdited(const LineEditEvent& e) override { edits.push_back(e); }
  void SheetRenamed(uint32_t id, const std::string& name) override {
    sheets.push_back("renamed " + std::to_string(id) + " " + name);
  }
  void SheetRemoved(uint32_t id) override { sheets.push_back("removed " + std::to_string(id)); }
};

bool Same(const LineEditEvent& a, const LineEditEvent& b) {
  return a.sheetId == b.sheetId && a.rows == b.rows && a.insert == b.insert &&
         a.first == b.first && a.count == b.count && a.bandFirst == b.bandFirst &&
         a.bandLast == b.bandLast;
}

TEST(StructureListeners, HearEveryLineEditAsTheFileCountsIt) {
  Workbook book;
  book.InsertSheets(2, 1);
  auto session = std::make_shared<Recorder>();
  Recorder other;
  book.SetExtras(session);
  book.AddStructureListener(&other);
  const uint32_t first = book.SheetId(1);

  book.InsertRange(Range{3, kAll, 4, kAll}, Shift::Rows);
  book.DeleteRange(Range{kAll, 2, kAll, 2}, Shift::Columns);
  book.InsertRange(Range{5, 2, 6, 3}, Shift::CellsVertical);  // cells of B:C shift down
  // While the header row is held out, the file's rows are one more than the grid's.
  book.HoldHeaderRow();
  book.DeleteRange(Range{2, kAll, 2, kAll}, Shift::Rows);
  book.InsertRange(Range{4, 3, 4, 5}, Shift::CellsHorizontal);
  book.ReleaseHeaderRow();

  ASSERT_EQ(session->edits.size(), 5u);
  EXPECT_TRUE(Same(session->edits[0], {first, true, true, 3, 2, 1, kMaxCols}));
  EXPECT_TRUE(Same(session->edits[1], {first, false, false, 2, 1, 1, kMaxRows}));
  EXPECT_TRUE(Same(session->edits[2], {first, true, true, 5, 2, 2, 3}));
  EXPECT_TRUE(Same(session->edits[3], {first, true, false, 3, 1, 1, kMaxCols}));
  EXPECT_TRUE(Same(session->edits[4], {first, false, true, 3, 3, 5, 5}));
  EXPECT_EQ(other.edits.size(), session->edits.size());

  // Edits go to the sheet they were made on; renames and removals are told too.
  book.SetCurrentSheet(2);
  const uint32_t second = book.SheetId(2);
  book.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(session->edits.back().sheetId, second);
  book.SetSheetName(1, "Renamed");
  book.DeleteSheets(2, 1);
  EXPECT_EQ(session->sheets, (std::vector<std::string>{"renamed " + std::to_string(first) +
                                                           " Renamed",
                                                       "removed " + std::to_string(second)}));

  // A listener taken off hears nothing more; the session still does.
  book.RemoveStructureListener(&other);
  book.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(other.edits.size(), 6u);
  EXPECT_EQ(session->edits.size(), 7u);
}

TEST(StructureListeners, TheSessionGoesWithTheContents) {
  Workbook book, fresh;
  auto session = std::make_shared<Recorder>();
  fresh.SetExtras(session);
  book.ReplaceContents(std::move(fresh));
  EXPECT_EQ(book.Extras(), session);
  EXPECT_EQ(fresh.Extras(), nullptr);
  book.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
  EXPECT_EQ(session->edits.size(), 1u);
}

}  // namespace
}  // namespace ddt::grid
