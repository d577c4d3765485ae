// What a workbook file format keeps beside the model between a read and the next save, and
// how it hears of the structural edits made in between.
//
// The grid does not know what a format keeps (drawings, notes, tables of an .xlsx package,
// ...); it only tells listeners which lines of which sheet were inserted or deleted and which
// sheets were renamed or removed, so that whatever hangs on cells can follow at the save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ddt::grid {

// Rows or columns inserted or deleted on a sheet. Rows count as the file counts them: while
// the header row is held out of the cells (Workbook::HoldHeaderRow) they are one more than
// the grid's. The band is the lines across the edit that moved (columns when rows move, rows
// when columns move); a full band is a whole-row (whole-column) edit, a narrower one a shift
// of cells.
struct LineEditEvent {
  uint32_t sheetId = 0;
  bool rows = true;  // rows (else columns) were inserted or deleted
  bool insert = true;
  int first = 1, count = 1;
  int bandFirst = 1, bandLast = 1;
};

// Hears of structural edits after the model made them. Listeners must not change the workbook.
class StructureListener {
 public:
  virtual ~StructureListener() = default;
  virtual void LinesEdited(const LineEditEvent& edit) = 0;
  virtual void SheetRenamed(uint32_t /*sheetId*/, const std::string& /*name*/) {}
  virtual void SheetRemoved(uint32_t /*sheetId*/) {}
};

// A range of cells shown as one (a merged range), rows as the file counts them.
struct MergedRange {
  int firstRow = 1, firstCol = 1, lastRow = 1, lastCol = 1;
  bool operator==(const MergedRange&) const = default;
};

// A format's state held opaquely beside the workbook from a read to the next save (see
// io/xlsx/xlsx_session.h). The workbook that holds one tells it of every structural edit.
// Merged ranges are kept by the format (the grid shows no merges) but block a spill, so
// the grid asks for them.
class FileSession : public StructureListener {
 public:
  // The merged ranges of a sheet where the edits since the read have moved them.
  virtual std::vector<MergedRange> MergedRanges(uint32_t /*sheetId*/) const { return {}; }
  // Removes the merged ranges of a sheet that overlap `area`; the ranges removed.
  virtual std::vector<MergedRange> Unmerge(uint32_t /*sheetId*/, const MergedRange& /*area*/) {
    return {};
  }
};

}  // namespace ddt::grid
