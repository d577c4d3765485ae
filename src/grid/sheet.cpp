#include "grid/sheet.h"

#include <algorithm>

namespace ddt::grid {

namespace {
// The most cells a new row reserves up front.
constexpr size_t kRowReserveLimit = 256;

// A stored cell's size sets what a large workbook costs in memory (and, through page faults
// and cache misses, in time to open): texts and formulas are held by one pointer each.
static_assert(sizeof(Value) <= 16 && sizeof(Cell) <= 32 && sizeof(Sheet::CellEntry) <= 32,
              "a stored cell grew");
}  // namespace

Sheet::Sheet(uint32_t id, std::string name) : id_(id), name_(std::move(name)) {}

std::vector<Sheet::RowEntry>::const_iterator Sheet::LowerRow(int row) const {
  return std::lower_bound(rows_.begin(), rows_.end(), row,
                          [](const RowEntry& r, int v) { return r.row < v; });
}
std::vector<Sheet::RowEntry>::iterator Sheet::LowerRow(int row) {
  return std::lower_bound(rows_.begin(), rows_.end(), row,
                          [](const RowEntry& r, int v) { return r.row < v; });
}
std::vector<Sheet::CellEntry>::const_iterator Sheet::LowerCol(const RowEntry& r, int col) {
  return std::lower_bound(r.cells.begin(), r.cells.end(), col,
                          [](const CellEntry& c, int v) { return c.col < v; });
}
std::vector<Sheet::CellEntry>::iterator Sheet::LowerCol(RowEntry& r, int col) {
  return std::lower_bound(r.cells.begin(), r.cells.end(), col,
                          [](const CellEntry& c, int v) { return c.col < v; });
}

const Cell* Sheet::Find(int row, int col) const {
  // Reads go row by row: the row found last, or the one after it, before a search.
  size_t i = rowHint_;
  if (i < rows_.size() && rows_[i].row != row) ++i;
  if (i >= rows_.size() || rows_[i].row != row) {
    auto r = LowerRow(row);
    if (r == rows_.end() || r->row != row) return nullptr;
    i = static_cast<size_t>(r - rows_.begin());
  }
  rowHint_ = i;
  const RowEntry& r = rows_[i];
  auto c = LowerCol(r, col);
  if (c == r.cells.end() || c->col != col) return nullptr;
  return &c->cell;
}

Cell* Sheet::FindMutable(int row, int col) {
  return const_cast<Cell*>(static_cast<const Sheet*>(this)->Find(row, col));
}

Cell& Sheet::At(int row, int col) {
  std::vector<RowEntry>::iterator r;
  // Filling in order appends: check the end before searching.
  if (!rows_.empty() && rows_.back().row == row) {
    r = rows_.end() - 1;
  } else if (rows_.empty() || rows_.back().row < row) {
    // Rows filled in order tend to be as wide as the row before: size the new one alike,
    // which saves the slack of growing by doubling.
    size_t width = rows_.empty() ? 0 : rows_.back().cells.size();
    rows_.push_back(RowEntry{row, {}});
    rows_.back().cells.reserve(std::min(width, kRowReserveLimit));
    r = rows_.end() - 1;
  } else {
    r = LowerRow(row);
    if (r->row != row) r = rows_.insert(r, RowEntry{row, {}});
  }
  auto& cells = r->cells;
  if (cells.empty() || cells.back().col < col) {
    cells.push_back(CellEntry{Cell{}, static_cast<uint16_t>(col)});
    return cells.back().cell;
  }
  auto c = LowerCol(*r, col);
  if (c->col != col) c = cells.insert(c, CellEntry{Cell{}, static_cast<uint16_t>(col)});
  return c->cell;
}

void Sheet::Erase(int row, int col) {
  auto r = LowerRow(row);
  if (r == rows_.end() || r->row != row) return;
  auto c = LowerCol(*r, col);
  if (c == r->cells.end() || c->col != col) return;
  NoteContentRemoved(col);
  r->cells.erase(c);
  if (r->cells.empty()) rows_.erase(r);
}

void Sheet::EraseIfUnused(int row, int col) {
  const Cell* c = Find(row, col);
  // A stale cell an array formula fills stays for the array to write.
  if (c && !HasContent(*c) && c->style == kDefaultStyle && !c->dirty) Erase(row, col);
}

void Sheet::Compact(int firstRow, int lastRow) {
  lastColCache_ = -1;
  auto b = LowerRow(firstRow);
  auto e = b;
  for (; e != rows_.end() && e->row <= lastRow; ++e) {
    std::erase_if(e->cells, [](const CellEntry& c) {
      return !HasContent(c.cell) && c.cell.style == kDefaultStyle && !c.cell.dirty;
    });
  }
  rows_.erase(std::remove_if(b, e, [](const RowEntry& r) { return r.cells.empty(); }), e);
}

void Sheet::DropEmptyRows() {
  std::erase_if(rows_, [](const RowEntry& r) { return r.cells.empty(); });
}

size_t Sheet::CellCount() const {
  size_t n = 0;
  for (const RowEntry& r : rows_) n += r.cells.size();
  return n;
}

int Sheet::LastRow() const {
  // Row 0 (a held header row) is not part of the extent.
  for (auto r = rows_.rbegin(); r != rows_.rend() && r->row >= 1; ++r) {
    for (const CellEntry& c : r->cells)
      if (HasContent(c.cell)) return r->row;
  }
  return 0;
}

int Sheet::LastCol() const {
  if (lastColCache_ >= 0) return lastColCache_;
  int last = 0;
  for (const RowEntry& r : rows_) {
    if (r.row < 1) continue;
    for (auto c = r.cells.rbegin(); c != r.cells.rend() && c->col > last; ++c) {
      if (HasContent(c->cell)) {
        last = c->col;
        break;
      }
    }
  }
  lastColCache_ = last;
  return last;
}

// --- Structure ----------------------------------------------------------------------------

void Sheet::ExtractBand(int rowsFrom, int bandFirst, int bandLast, int delta,
                        std::vector<Placed>& out) {
  for (auto r = LowerRow(rowsFrom); r != rows_.end(); ++r) {
    auto b = LowerCol(*r, bandFirst);
    auto e = b;
    while (e != r->cells.end() && e->col <= bandLast) ++e;
    if (b == e) continue;
    int to = r->row + delta;
    if (to >= 1 && to <= kMaxRows) {
      for (auto c = b; c != e; ++c) out.push_back(Placed{to, c->col, std::move(c->cell)});
    }
    r->cells.erase(b, e);
  }
}

void Sheet::MergeIn(std::vector<Placed>&& cells) {
  if (cells.empty()) return;
  std::vector<RowEntry> merged;
  merged.reserve(rows_.size() + cells.size());
  auto r = rows_.begin();
  size_t i = 0;
  while (r != rows_.end() || i < cells.size()) {
    if (i == cells.size() || (r != rows_.end() && r->row < cells[i].row)) {
      merged.push_back(std::move(*r++));
      continue;
    }
    int row = cells[i].row;
    std::vector<CellEntry> incoming;
    for (; i < cells.size() && cells[i].row == row; ++i)
      incoming.push_back(CellEntry{std::move(cells[i].cell), static_cast<uint16_t>(cells[i].col)});
    if (r != rows_.end() && r->row == row) {
      std::vector<CellEntry> both;
      both.reserve(r->cells.size() + incoming.size());
      std::merge(std::make_move_iterator(r->cells.begin()), std::make_move_iterator(r->cells.end()),
                 std::make_move_iterator(incoming.begin()), std::make_move_iterator(incoming.end()),
                 std::back_inserter(both),
                 [](const CellEntry& a, const CellEntry& b) { return a.col < b.col; });
      merged.push_back(RowEntry{row, std::move(both)});
      ++r;
    } else {
      merged.push_back(RowEntry{row, std::move(incoming)});
    }
  }
  rows_ = std::move(merged);
}

void Sheet::InsertRows(int first, int count, int bandFirst, int bandLast) {
  lastColCache_ = -1;
  if (bandFirst <= 1 && bandLast >= kMaxCols) {
    for (auto r = LowerRow(first); r != rows_.end(); ++r) r->row += count;
    while (!rows_.empty() && rows_.back().row > kMaxRows) rows_.pop_back();
    rowHeadings.Insert(first, count, kMaxRows);
    rowHidden.Insert(first, count, kMaxRows);
    rowStyles.Insert(first, count, kMaxRows);
    rowFileAttrs.Insert(first, count, kMaxRows);
    return;
  }
  std::vector<Placed> moved;
  ExtractBand(first, bandFirst, bandLast, count, moved);
  DropEmptyRows();
  MergeIn(std::move(moved));
}

void Sheet::DeleteRows(int first, int count, int bandFirst, int bandLast) {
  lastColCache_ = -1;
  int end = first + count - 1;
  if (bandFirst <= 1 && bandLast >= kMaxCols) {
    auto b = LowerRow(first);
    auto e = b;
    while (e != rows_.end() && e->row <= end) ++e;
    auto next = rows_.erase(b, e);
    for (; next != rows_.end(); ++next) next->row -= count;
    rowHeadings.Delete(first, count);
    rowHidden.Delete(first, count);
    rowStyles.Delete(first, count);
    rowFileAttrs.Delete(first, count);
    return;
  }
  for (auto r = LowerRow(first); r != rows_.end() && r->row <= end; ++r) {
    auto b = LowerCol(*r, bandFirst);
    auto e = b;
    while (e != r->cells.end() && e->col <= bandLast) ++e;
    r->cells.erase(b, e);
  }
  std::vector<Placed> moved;
  if (end < kMaxRows) ExtractBand(end + 1, bandFirst, bandLast, -count, moved);
  DropEmptyRows();
  MergeIn(std::move(moved));
}

// Whole columns take a held header row (row 0) along with them.
static int BandStart(int bandFirst, int bandLast) {
  return bandFirst <= 1 && bandLast >= kMaxRows ? 0 : bandFirst;
}

void Sheet::InsertCols(int first, int count, int bandFirst, int bandLast) {
  lastColCache_ = -1;
  for (auto r = LowerRow(BandStart(bandFirst, bandLast)); r != rows_.end() && r->row <= bandLast; ++r) {
    auto c = LowerCol(*r, first);
    if (c == r->cells.end()) continue;
    for (auto it = c; it != r->cells.end(); ++it) it->col += count;
    while (!r->cells.empty() && r->cells.back().col > kMaxCols) r->cells.pop_back();
  }
  DropEmptyRows();
  if (bandFirst <= 1 && bandLast >= kMaxRows) {
    colHeadings.Insert(first, count, kMaxCols);
    headerNames.Insert(first, count, kMaxCols);
    colWidths.Insert(first, count, kMaxCols);
    colHidden.Insert(first, count, kMaxCols);
    colStyles.Insert(first, count, kMaxCols);
    colFileAttrs.Insert(first, count, kMaxCols);
    colFileWidths.Insert(first, count, kMaxCols);
  }
}

void Sheet::DeleteCols(int first, int count, int bandFirst, int bandLast) {
  lastColCache_ = -1;
  int end = first + count - 1;
  for (auto r = LowerRow(BandStart(bandFirst, bandLast)); r != rows_.end() && r->row <= bandLast;
       ++r) {
    auto b = LowerCol(*r, first);
    if (b == r->cells.end()) continue;
    auto e = b;
    while (e != r->cells.end() && e->col <= end) ++e;
    auto next = r->cells.erase(b, e);
    for (; next != r->cells.end(); ++next) next->col -= count;
  }
  DropEmptyRows();
  if (bandFirst <= 1 && bandLast >= kMaxRows) {
    colHeadings.Delete(first, count);
    headerNames.Delete(first, count);
    colWidths.Delete(first, count);
    colHidden.Delete(first, count);
    colStyles.Delete(first, count);
    colFileAttrs.Delete(first, count);
    colFileWidths.Delete(first, count);
  }
}

}  // namespace ddt::grid
