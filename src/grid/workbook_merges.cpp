// Workbook: the merged ranges a file gave its sheets. The grid shows no merges; they are
// kept by the file session (with the rest of what the format holds beside the cells) and
// asked for here because a merged range blocks a spill.
#include <algorithm>

#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {

std::vector<Range> Workbook::MergedRanges(int sheet) const {
  std::vector<Range> out;
  if (!extras_) return out;
  const int index = ResolveSheet(sheet);
  for (const MergedRange& m : extras_->MergedRanges(SheetId(index))) {
    // File rows to grid rows: a range wholly in a held header row is not among the cells.
    if (m.lastRow - rowOrigin_ < 1) continue;
    out.push_back(Range{m.firstRow - rowOrigin_, m.firstCol, m.lastRow - rowOrigin_, m.lastCol});
  }
  return out;
}

std::vector<Range> Workbook::Unmerge(int sheet, const Range& range) {
  const int index = ResolveSheet(sheet);
  const Range r = NormalizeRange(range);
  std::vector<Range> out;
  if (!extras_) return out;
  const uint32_t id = SheetId(index);
  for (const MergedRange& m : extras_->Unmerge(
           id, MergedRange{r.firstRow + rowOrigin_, r.firstCol, r.lastRow + rowOrigin_, r.lastCol}))
    out.push_back(Range{m.firstRow - rowOrigin_, m.firstCol, m.lastRow - rowOrigin_, m.lastCol});
  if (out.empty()) return out;
  // The cells of the removed ranges are free again: spills they blocked are tried again.
  for (const Range& m : out)
    if (m.lastRow >= 1) Calc().RangeChanged(id, Range{std::max(m.firstRow, 1), m.firstCol, m.lastRow, m.lastCol});
  Changed();
  return out;
}

}  // namespace ddt::grid
