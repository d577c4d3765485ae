// The state of an .xlsx/.xlsm file between its read and the next save: what the package held
// that the grid does not model (xlsx_extras.h), per sheet by the sheet's identity, and the
// structural edits made since, heard from the workbook as its file session. The reader
// returns one beside the workbook it fills; the writer takes one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "grid/file_session.h"
#include "grid/io/xlsx/xlsx_extras.h"

namespace ddt::grid {
class Workbook;
}

namespace ddt::grid::io {

class XlsxSession final : public FileSession {
 public:
  // What the package held beside its sheets; null for a session that only gives sheets of a
  // workbook built in memory the look of another workbook's (CopySheetLook).
  std::shared_ptr<FileExtras> file;

  // The extras of a sheet by its identity (Workbook::SheetId); null when it has none.
  SheetExtras* Sheet(uint32_t sheetId) const;
  void SetSheet(uint32_t sheetId, std::shared_ptr<SheetExtras> extras);
  void RemoveSheet(uint32_t sheetId) {
    sheets_.erase(sheetId);
    merges_.erase(sheetId);
  }

  // Structural edits go into the edited sheet's log, replayed on its kept elements and
  // carried parts at the save; a removed sheet's extras go with it.
  void LinesEdited(const LineEditEvent& edit) override;
  void SheetRemoved(uint32_t sheetId) override { RemoveSheet(sheetId); }

  // The merged ranges of the sheet's kept mergeCells element, moved by the edits since the
  // read (see xlsx_merges.cpp). None when an edit split one: the save leaves the element out.
  std::vector<MergedRange> MergedRanges(uint32_t sheetId) const override;
  std::vector<MergedRange> Unmerge(uint32_t sheetId, const MergedRange& area) override;

  // The session a workbook holds, when it is one of these; null otherwise.
  static XlsxSession* Of(const Workbook& book);
  // The extras of sheet `sheet` (1-based) of a workbook; null when it has none.
  static SheetExtras* SheetOf(const Workbook& book, int sheet);

 private:
  std::map<uint32_t, std::shared_ptr<SheetExtras>> sheets_;
  // MergedRanges by sheet, worked out once until the sheet's extras or edits change.
  mutable std::map<uint32_t, std::vector<MergedRange>> merges_;
};

}  // namespace ddt::grid::io
