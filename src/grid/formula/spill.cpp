// Spilling: a formula whose result is an array writes it into the cells below and to the
// right of its own cell. The formula records the extent it spills over (a dynamic-array
// formula of rows x cols), so the extent survives copies, saves and index rebuilds; the
// calculator keeps the extents by anchor (spills_) and the extents blocked spills would take
// (blocked_).
//
// Ownership of a spilled cell is its place inside the extent: the calculator writes those
// cells without telling itself, so any change reported from outside (a user typing over a
// spilled cell, a paste, a clear) means the spill must give its cells up. It does so at
// once, and its anchor is computed again: if the cell now holds something the result is
// #SPILL!, otherwise the array spills again.
#include <algorithm>

#include "grid/formula/recalc.h"
#include "grid/sheet.h"

namespace ddt::grid::formula {

namespace {

// Rounds of Settle: each computes what the spills of the previous one left stale.
constexpr int kMaxSettleRounds = 8;

bool Overlaps(const Area& a, const Area& b) {
  return a.sheetId == b.sheetId && a.firstRow <= b.lastRow && a.lastRow >= b.firstRow &&
         a.firstCol <= b.lastCol && a.lastCol >= b.firstCol;
}

}  // namespace

bool Recalc::SpillBlocked(int sheetIndex, const Area& target, CellKey anchor, const Area* old) {
  const Sheet& sheet = book_.SheetAt(sheetIndex);
  bool blocked = false;
  sheet.ForEachIn(target.firstRow, target.firstCol, target.lastRow, target.lastCol,
                  [&](int row, int col, const Cell& c) {
                    if (blocked || MakeKey(target.sheetId, row, col) == anchor) return;
                    // The spill's own cells are overwritten; they never hold a formula.
                    if (old && old->Contains(row, col) && !c.formula) return;
                    // Content, or a cell another array fills while its value is pending.
                    if (HasContent(c) || (c.dirty && !c.formula)) blocked = true;
                  });
  if (blocked) return true;
  // A merged range shows as one cell: an array cannot spill into part of it.
  for (const Range& m : book_.MergedRanges(sheetIndex))
    if (m.firstRow <= target.lastRow && m.lastRow >= target.firstRow &&
        m.firstCol <= target.lastCol && m.lastCol >= target.firstCol)
      return true;
  // Cells of another array's extent (one not computed yet may leave them empty).
  for (const auto& [key, area] : arrays_)
    if (key != anchor && Overlaps(area, target)) return true;
  return false;
}

void Recalc::ClearSpillCells(int sheetIndex, const Area& area, CellKey anchor, const Area* keep,
                             std::vector<CellKey>* changed) {
  Sheet& sheet = book_.SheetAt(sheetIndex);
  std::vector<std::pair<int, int>> cleared;
  sheet.ForEachMutableIn(area.firstRow, area.firstCol, area.lastRow, area.lastCol,
                         [&](int row, int col, Cell& c) {
                           CellKey key = MakeKey(area.sheetId, row, col);
                           if (key == anchor || c.formula || (keep && keep->Contains(row, col)))
                             return;
                           c.value = Empty{};
                           c.dirty = false;
                           Unmark(key);
                           cleared.emplace_back(row, col);
                           changed->push_back(key);
                         });
  for (auto [row, col] : cleared) {
    sheet.NoteContentRemoved(col);
    sheet.EraseIfUnused(row, col);
  }
}

void Recalc::ComputeSpill(CellKey key, int sheetIndex, FormulaPtr f, Value before) {
  const uint32_t sheetId = KeySheet(key);
  const int row = KeyRow(key), col = KeyCol(key);
  int rows = 1, cols = 1;
  std::vector<Value> values;
  {
    Evaluator ev(*this, *f, sheetId, row, col);
    values = ev.RunSpill(&rows, &cols);
  }
  pendingSpills_.erase(key);
  std::optional<Area> old;
  if (auto it = spills_.find(key); it != spills_.end()) old = it->second;
  Cell* cell = MutableCell(sheetIndex, row, col);
  if (cyclic_.erase(key) > 0) {
    // A formula of a cycle keeps what it had, its spilled cells too.
    if (cell) {
      cell->value = IsEmpty(before) ? Value{0.0} : std::move(before);
      cell->dirty = false;
    }
    Unmark(key);
    if (old) FillArrayCells(key, sheetIndex, *old, nullptr, true);
    return;
  }
  if (!cell) return;
  blocked_.erase(key);
  Value result;
  Area target{sheetId, row, col, row, col};
  const bool array = static_cast<long>(rows) * cols != 1;
  if (rows < 1 || cols < 1) {
    result = ErrorCode::Calc;  // an empty array
  } else if (!array) {
    result = values.front();
  } else if (values.empty() || row + rows - 1 > kMaxRows || col + cols - 1 > kMaxCols) {
    // Beyond the sheet's edge (or too large to spill): nothing can make room.
    result = ErrorCode::Spill;
  } else {
    Area wanted{sheetId, row, col, row + rows - 1, col + cols - 1};
    if (SpillBlocked(sheetIndex, wanted, key, old ? &*old : nullptr)) {
      blocked_[key] = wanted;
      result = ErrorCode::Spill;
    } else {
      target = wanted;
      result = values.front();
    }
  }

  std::vector<CellKey> changed;
  if (old) ClearSpillCells(sheetIndex, *old, key, &target, &changed);
  if (!target.IsCell()) {
    Sheet& sheet = book_.SheetAt(sheetIndex);
    for (int r = target.firstRow; r <= target.lastRow; ++r) {
      for (int c = target.firstCol; c <= target.lastCol; ++c) {
        if (r == row && c == col) continue;
        Value& v = values[static_cast<size_t>(r - row) * cols + (c - col)];
        Cell& to = sheet.At(r, c);
        CellKey k = MakeKey(sheetId, r, c);
        if (!(to.value == v) || !old || !old->Contains(r, c)) changed.push_back(k);
        to.value = std::move(v);
        to.dirty = false;
        sheet.NoteContent(c);
        Unmark(k);
      }
    }
    cell = MutableCell(sheetIndex, row, col);  // rows of the sheet may have moved
  }
  // The formula records the extent it spills over; a formula that gave an array once stays
  // a dynamic-array formula (as files keep it).
  if (array || f->isArray) {
    if (!f->isArray || !f->isDynamic || f->arrayRows != target.Rows() ||
        f->arrayCols != target.Cols())
      cell->formula = AsArrayFormula(*f, target.Rows(), target.Cols(), true);
  }
  cell->value = std::move(result);
  cell->dirty = false;
  Unmark(key);
  if (!(cell->formula == f)) Register(key, *cell);
  if (!changed.empty()) {
    ++spillChanges_;
    SpillChanged(key, std::move(changed));
  }
}

void Recalc::WakeBlocked(const std::vector<CellKey>& freed, CellKey except,
                         std::vector<CellKey>* queue) {
  if (blocked_.empty()) return;
  std::vector<CellKey> wake;
  for (CellKey k : freed)
    for (const auto& [blocked, wanted] : blocked_)
      if (blocked != except && wanted.sheetId == KeySheet(k) && wanted.Contains(KeyRow(k), KeyCol(k)))
        wake.push_back(blocked);
  for (CellKey b : wake) {
    if (inProgress_.count(b)) redo_.insert(b);
    Unmark(b);
    MarkDirty(b, queue);
  }
}

void Recalc::SpillChanged(CellKey anchor, std::vector<CellKey> changed) {
  for (CellKey k : changed) {
    deps_.ForEachDependent(KeySheet(k), KeyRow(k), KeyCol(k), [&](CellKey d) {
      if (d != anchor && inProgress_.count(d)) redo_.insert(d);
    });
  }
  // A freed cell may be what another spill was waiting for.
  std::vector<CellKey> woken;
  WakeBlocked(changed, anchor, &woken);
  changed.insert(changed.end(), woken.begin(), woken.end());
  Propagate(std::move(changed));
}

void Recalc::SpillCellsEdited(uint32_t sheetId, const Area& area, std::vector<CellKey>* queue) {
  std::vector<CellKey> retract;
  for (const auto& [anchor, extent] : spills_)
    if (Overlaps(extent, area) && !area.Contains(KeyRow(anchor), KeyCol(anchor)))
      retract.push_back(anchor);
  const int index = book_.SheetIndexOfId(sheetId);
  for (CellKey anchor : retract) {
    Cell* own = index ? MutableCell(index, KeyRow(anchor), KeyCol(anchor)) : nullptr;
    Area extent = spills_[anchor];
    if (index == 0) continue;
    // The edited cells keep what they were given; the rest of the spill is emptied.
    std::vector<CellKey> freed;
    ClearSpillCells(index, extent, anchor, &area, &freed);
    WakeBlocked(freed, anchor, queue);
    queue->insert(queue->end(), freed.begin(), freed.end());
    if (!own || !own->formula) {
      spills_.erase(anchor);
      continue;
    }
    own->formula = AsArrayFormula(*own->formula, 1, 1, true);
    Register(anchor, *own);
    Unmark(anchor);
    MarkDirty(anchor, queue);
  }
  std::vector<CellKey> wake;
  for (const auto& [anchor, wanted] : blocked_)
    if (Overlaps(wanted, area)) wake.push_back(anchor);
  for (CellKey anchor : wake) {
    Unmark(anchor);
    MarkDirty(anchor, queue);
  }
}

bool Recalc::ComputePendingSpills(uint32_t sheetId, int row, int col) {
  bool computed = false;
  for (int round = 0; round < kMaxSettleRounds && !pendingSpills_.empty(); ++round) {
    std::vector<CellKey> due;
    for (CellKey k : pendingSpills_)
      if (sheetId == 0 || (KeySheet(k) == sheetId && KeyRow(k) <= row && KeyCol(k) <= col))
        due.push_back(k);
    if (due.empty()) break;
    std::sort(due.begin(), due.end());
    for (CellKey k : due) {
      pendingSpills_.erase(k);
      if (inProgress_.count(k)) continue;  // being computed: a cycle, met where it is read
      int index = book_.SheetIndexOfId(KeySheet(k));
      const Cell* c = index ? book_.FindCell(index, KeyRow(k), KeyCol(k)) : nullptr;
      if (!c || !NeedsCompute(*c)) continue;
      computed = true;
      if (sheetId == 0) {
        Compute(k);
      } else {
        // Inside an evaluation: computed as any cell it reads (may suspend with NeedCell).
        pendingSpills_.insert(k);
        CellValue(KeySheet(k), KeyRow(k), KeyCol(k));
      }
    }
  }
  return computed;
}

void Recalc::Settle() {
  for (int round = 0; round < kMaxSettleRounds; ++round) {
    std::vector<CellKey> dirty;
    for (auto& [key, info] : formulas_) {
      int index = book_.SheetIndexOfId(KeySheet(key));
      const Cell* cell = index ? book_.FindCell(index, KeyRow(key), KeyCol(key)) : nullptr;
      if (cell && NeedsCompute(*cell)) dirty.push_back(key);
    }
    if (dirty.empty()) return;
    std::sort(dirty.begin(), dirty.end());
    for (CellKey k : dirty) Compute(k);
  }
}

}  // namespace ddt::grid::formula
