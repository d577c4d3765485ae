// Workbook: formats of ranges. Whole rows, columns and the whole sheet keep their
// format as a line or sheet style; only cells that carry a style of their own are rewritten,
// so formatting a whole column costs what its styled cells cost.
#include <algorithm>
#include <unordered_map>

#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {

namespace {
// Rectangles are formatted cell by cell; beyond this many cells the request is refused
// rather than filling memory.
constexpr long long kMaxFormattedCells = 1LL << 22;
}  // namespace

void Workbook::EditStyles(Sheet& s, const Range& r,
                          const std::function<void(Style&, const StyleEdges&)>& edit) {
  // One new style per (old style, edges) pair, however many cells share it.
  std::unordered_map<uint64_t, StyleId> memo;
  auto edited = [&](StyleId base, const StyleEdges& e) {
    uint64_t key = (uint64_t{base} << 4) | (e.top ? 1u : 0u) | (e.bottom ? 2u : 0u) |
                   (e.left ? 4u : 0u) | (e.right ? 8u : 0u);
    auto it = memo.find(key);
    if (it != memo.end()) return it->second;
    Style st = styles_.Get(base);
    edit(st, e);
    StyleId id = styles_.Intern(st);
    memo.emplace(key, id);
    return id;
  };
  auto edgesAt = [&](int row, int col) {
    return StyleEdges{row == r.firstRow, row == r.lastRow, col == r.firstCol, col == r.lastCol};
  };
  const bool allRows = CoversAllRows(r), allCols = CoversAllCols(r);

  if (!allRows && !allCols) {
    long long area = static_cast<long long>(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1);
    if (area > kMaxFormattedCells)
      throw GridError("The range is too large to format.", ErrorKind::OverLimit);
    for (int row = r.firstRow; row <= r.lastRow; ++row) {
      for (int col = r.firstCol; col <= r.lastCol; ++col) {
        StyleId base = CellStyleId(s, row, col);
        s.At(row, col).style = edited(base, edgesAt(row, col));
      }
    }
    s.mayHaveCellStyles = true;
    return;
  }

  // Crossings of the range with styled lines of the other direction get cells of their own
  // (below); refuse before changing anything when there would be too many.
  long long crossings = 0;
  auto countRuns = [&](const LineMap<StyleId>& lines, int first, int last, long long span) {
    lines.ForEach([&](int f, int l, StyleId) {
      f = std::max(f, first);
      l = std::min(l, last);
      if (f <= l) crossings += (l - f + 1) * span;
    });
  };
  if (allRows && !allCols) countRuns(s.rowStyles, 1, kMaxRows, r.lastCol - r.firstCol + 1);
  if (allCols && !allRows) countRuns(s.colStyles, 1, kMaxCols, r.lastRow - r.firstRow + 1);
  if (crossings > kMaxFormattedCells)
    throw GridError("The range is too large to format.", ErrorKind::OverLimit);

  // Cells with a style of their own inside the range.
  if (s.mayHaveCellStyles) {
    s.ForEachMutableIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, Cell& c) {
      if (c.style == kDefaultStyle) return;
      StyleEdges e = edgesAt(row, col);
      if (allRows) e.top = e.bottom = false;
      if (allCols) e.left = e.right = false;
      c.style = edited(c.style, e);
    });
  }
  // Where a row style crosses a styled column (or the reverse), the one that wins for a cell
  // without its own style may not be the one being changed: give those cells their own style.
  auto ownStyleAt = [&](int row, int col, StyleId base, const StyleEdges& e) {
    Cell& c = s.At(row, col);
    if (c.style == kDefaultStyle) c.style = edited(base, e);
    s.mayHaveCellStyles = true;
  };
  if (allRows && !allCols) {
    s.rowStyles.ForEach([&](int first, int last, StyleId rowStyle) {
      for (int row = first; row <= last; ++row)
        for (int col = r.firstCol; col <= r.lastCol; ++col)
          ownStyleAt(row, col, rowStyle, {false, false, col == r.firstCol, col == r.lastCol});
    });
    auto setCols = [&](int first, int last, StyleEdges e) {
      if (first > last) return;
      s.colStyles.Transform(first, last, [&](StyleId id) {
        return edited(id == kDefaultStyle ? s.sheetStyle : id, e);
      });
    };
    if (r.firstCol == r.lastCol) {
      setCols(r.firstCol, r.firstCol, {false, false, true, true});
    } else {
      setCols(r.firstCol, r.firstCol, {false, false, true, false});
      setCols(r.firstCol + 1, r.lastCol - 1, {});
      setCols(r.lastCol, r.lastCol, {false, false, false, true});
    }
    return;
  }
  if (allCols && !allRows) {
    s.colStyles.ForEach([&](int first, int last, StyleId colStyle) {
      for (int row = r.firstRow; row <= r.lastRow; ++row) {
        if (s.rowStyles.Get(row) != kDefaultStyle) continue;  // the row style already wins
        for (int col = first; col <= last; ++col)
          ownStyleAt(row, col, colStyle, {row == r.firstRow, row == r.lastRow, false, false});
      }
    });
    auto setRows = [&](int first, int last, StyleEdges e) {
      if (first > last) return;
      s.rowStyles.Transform(first, last, [&](StyleId id) {
        return edited(id == kDefaultStyle ? s.sheetStyle : id, e);
      });
    };
    if (r.firstRow == r.lastRow) {
      setRows(r.firstRow, r.firstRow, {true, true, false, false});
    } else {
      setRows(r.firstRow, r.firstRow, {true, false, false, false});
      setRows(r.firstRow + 1, r.lastRow - 1, {});
      setRows(r.lastRow, r.lastRow, {false, true, false, false});
    }
    return;
  }
  // The whole sheet: the sheet style and every line style.
  auto keepDefault = [&](StyleId id) { return id == kDefaultStyle ? id : edited(id, {}); };
  s.rowStyles.Transform(1, kMaxRows, keepDefault);
  s.colStyles.Transform(1, kMaxCols, keepDefault);
  s.sheetStyle = edited(s.sheetStyle, {});
}

StyleId Workbook::CellStyleId(const Sheet& s, int row, int col) const {
  const Cell* c = s.Find(row, col);
  if (c && c->style != kDefaultStyle) return c->style;
  if (StyleId id = s.rowStyles.Get(row); id != kDefaultStyle) return id;
  if (StyleId id = s.colStyles.Get(col); id != kDefaultStyle) return id;
  return s.sheetStyle;
}

void Workbook::FormatRanges(int sheet, const std::vector<Range>& ranges, const StyleEdit& edit) {
  Sheet& s = SheetAt(sheet);
  std::vector<Range> normalized;
  normalized.reserve(ranges.size());
  for (const Range& r : ranges) normalized.push_back(NormalizeRange(r));
  for (const Range& r : normalized) EditStyles(s, r, edit);
  Changed();
}

}  // namespace ddt::grid
