// Recalculation: values on demand, dirty marking through the dependency index, and the work
// stack that evaluates long chains without deep recursion.
#include "grid/formula/recalc.h"

#include <algorithm>
#include <optional>

#include "grid/sheet.h"

namespace ddt::grid::formula {

namespace {

// Nested evaluation (expression nodes and cells) allowed on the C++ stack before a needed
// cell is deferred to the work stack instead.
constexpr int kMaxNestedDepth = 400;
// References up to this many cells have their stale formulas computed before the formula
// that reads them.
constexpr long kMaxPrecedentScan = 4096;
constexpr int kBlockRows = 256, kBlockCols = 16;
// An area spanning at most this many blocks is registered in each of them.
constexpr long kMaxBlocksPerArea = 16;
constexpr long kMaxBlocksAcross = 4;

}  // namespace

// --- DependencyIndex ---------------------------------------------------------------------

void DependencyIndex::Clear() {
  cells_.clear();
  blocks_.clear();
  columns_.clear();
  rows_.clear();
  large_.clear();
  groupOf_.clear();
  groups_.clear();
  groupEpoch_.clear();
  entries_ = 0;
}

void DependencyIndex::AddArea(const Area& a, CellKey dependent) {
  ++entries_;
  if (a.IsCell()) {
    cells_[MakeKey(a.sheetId, a.firstRow, a.firstCol)].push_back(dependent);
    return;
  }
  uint64_t s = static_cast<uint64_t>(a.sheetId) << 32;
  long rb1 = (a.firstRow - 1) / kBlockRows, rb2 = (a.lastRow - 1) / kBlockRows;
  long cb1 = (a.firstCol - 1) / kBlockCols, cb2 = (a.lastCol - 1) / kBlockCols;
  long rowBlocks = rb2 - rb1 + 1, colBlocks = cb2 - cb1 + 1;
  auto [it, added] = groupOf_.emplace(a, static_cast<uint32_t>(groups_.size()));
  if (!added) {
    groups_[it->second].push_back(dependent);
    groupEpoch_[it->second] = 0;  // the new reader has not been passed on
    return;
  }
  groups_.push_back({dependent});
  groupEpoch_.push_back(0);
  AreaDep dep{a, it->second};
  if (rowBlocks * colBlocks <= kMaxBlocksPerArea) {
    for (long rb = rb1; rb <= rb2; ++rb)
      for (long cb = cb1; cb <= cb2; ++cb)
        blocks_[s | static_cast<uint64_t>(rb) << 12 | static_cast<uint64_t>(cb)].push_back(dep);
  } else if (colBlocks <= kMaxBlocksAcross) {
    for (long cb = cb1; cb <= cb2; ++cb) columns_[s | static_cast<uint64_t>(cb)].push_back(dep);
  } else if (rowBlocks <= kMaxBlocksAcross) {
    for (long rb = rb1; rb <= rb2; ++rb) rows_[s | static_cast<uint64_t>(rb)].push_back(dep);
  } else {
    large_.push_back(dep);
  }
}

void DependencyIndex::Add(CellKey key, const Formula& f, uint32_t hostSheet) {
  auto areaOf = [&](const Reference& r) {
    return Area{r.hasSheet ? r.sheetId : hostSheet, r.FirstRow(), r.FirstCol(), r.LastRow(),
                r.LastCol()};
  };
  for (const Reference& r : f.refs)
    if (!r.invalid) AddArea(areaOf(r), key);
  // "A1:B2:C5" reads the box around its parts.
  for (const Node& n : f.nodes) {
    if (n.kind != NodeKind::Binary || n.op != Op::Range) continue;
    const Node& a = f.Child(n, 0);
    const Node& b = f.Child(n, 1);
    if (a.kind != NodeKind::Ref || b.kind != NodeKind::Ref) continue;
    const Reference& x = f.refs[a.data];
    const Reference& y = f.refs[b.data];
    if (x.invalid || y.invalid) continue;
    Area ax = areaOf(x), ay = areaOf(y);
    if (ax.sheetId != ay.sheetId) continue;
    AddArea(Area{ax.sheetId, std::min(ax.firstRow, ay.firstRow), std::min(ax.firstCol, ay.firstCol),
                 std::max(ax.lastRow, ay.lastRow), std::max(ax.lastCol, ay.lastCol)},
            key);
  }
}

// --- Recalc ------------------------------------------------------------------------------

Recalc::Recalc(Workbook& book) : book_(book), rng_(std::random_device{}()) {}

Cell* Recalc::MutableCell(int sheetIndex, int row, int col) {
  return book_.SheetAt(sheetIndex).FindMutable(row, col);
}

void Recalc::Register(CellKey key, const Cell& cell) {
  FormulaInfo& info = formulas_[key];
  if (info.formula == cell.formula) return;
  if (info.formula) staleEntries_ += info.formula->refs.size();
  info.formula = cell.formula;
  info.isVolatile = cell.formula->isVolatile;
  deps_.Add(key, *cell.formula, KeySheet(key));
  if (int rows = 1, cols = 1; FillsArrayCells(*cell.formula, &rows, &cols)) {
    int row = KeyRow(key), col = KeyCol(key);
    Area extent{KeySheet(key), row, col, std::min(row + rows - 1, kMaxRows),
                std::min(col + cols - 1, kMaxCols)};
    arrays_[key] = extent;
    if (cell.formula->isDynamic) spills_[key] = extent;
    else spills_.erase(key);
  } else {
    arrays_.erase(key);
    spills_.erase(key);
  }
}

void Recalc::EnsureIndex() {
  if (indexValid_ && staleEntries_ <= deps_.Entries() / 2 + 1024) return;
  deps_.Clear();
  formulas_.clear();
  arrays_.clear();
  spills_.clear();
  blocked_.clear();
  staleEntries_ = 0;
  // Formulas waiting for a result and formulas reading a deleted sheet: what reads them
  // must be recomputed too.
  std::vector<CellKey> sources;
  int sheets = book_.SheetCount();
  for (int s = 1; s <= sheets; ++s) {
    Sheet& sheet = book_.SheetAt(s);
    if (!sheet.mayHaveFormulas) continue;
    uint32_t id = sheet.Id();
    sheet.ForEachMutableIn(0, 1, kMaxRows, kMaxCols, [&](int row, int col, Cell& cell) {
      if (!cell.formula) return;
      CellKey key = MakeKey(id, row, col);
      Register(key, cell);
      for (const Reference& r : cell.formula->refs)
        if (r.hasSheet && !r.invalid && book_.SheetIndexOfId(r.sheetId) == 0) cell.dirty = true;
      // A blocked spill is tried again, which tells it again what it waits for.
      if (IsDynamicArrayFormula(*cell.formula) && IsError(cell.value) &&
          std::get<ErrorCode>(cell.value) == ErrorCode::Spill)
        cell.dirty = true;
      if (NeedsCompute(cell)) sources.push_back(key);
      NotePending(key, cell);
    });
  }
  // An array with a cell lacking its result (a file that stored none) is computed again.
  for (const auto& [key, area] : arrays_) {
    int index = book_.SheetIndexOfId(area.sheetId);
    Cell* anchor = MutableCell(index, area.firstRow, area.firstCol);
    if (!anchor || NeedsCompute(*anchor)) continue;
    bool stale = false;
    book_.SheetAt(index).ForEachIn(area.firstRow, area.firstCol, area.lastRow, area.lastCol,
                                   [&](int, int, const Cell& c) {
                                     if (!c.formula && c.dirty) stale = true;
                                   });
    if (!stale) continue;
    anchor->dirty = true;
    sources.push_back(key);
  }
  indexValid_ = true;
  Propagate(std::move(sources));
}

void Recalc::MarkDirty(CellKey key, std::vector<CellKey>* queue) {
  if (dirtyMarked_.count(key)) return;
  int index = book_.SheetIndexOfId(KeySheet(key));
  if (index == 0) return;
  Cell* cell = MutableCell(index, KeyRow(key), KeyCol(key));
  if (!cell || !cell->formula) return;
  cell->dirty = true;
  dirtyMarked_.insert(key);
  NotePending(key, *cell);
  queue->push_back(key);
}

void Recalc::MarkArrayCells(CellKey anchor, std::vector<CellKey>* queue) {
  auto it = arrays_.find(anchor);
  if (it == arrays_.end()) return;
  const Area& area = it->second;
  int index = book_.SheetIndexOfId(area.sheetId);
  const Cell* own = index ? book_.FindCell(index, area.firstRow, area.firstCol) : nullptr;
  if (!own || !own->formula || !NeedsCompute(*own)) return;
  book_.SheetAt(index).ForEachMutableIn(
      area.firstRow, area.firstCol, area.lastRow, area.lastCol, [&](int row, int col, Cell& c) {
        if (c.formula) return;
        CellKey key = MakeKey(area.sheetId, row, col);
        if (!dirtyMarked_.insert(key).second) return;
        c.dirty = true;
        queue->push_back(key);
      });
}

void Recalc::FillArrayCells(CellKey anchor, int sheetIndex, const Area& area,
                            const std::vector<Value>* values, bool cycle) {
  int cols = area.Cols();
  book_.SheetAt(sheetIndex).ForEachMutableIn(
      area.firstRow, area.firstCol, area.lastRow, area.lastCol, [&](int row, int col, Cell& c) {
        CellKey key = MakeKey(area.sheetId, row, col);
        if (c.formula || key == anchor) return;
        if (values) {
          size_t i = static_cast<size_t>(row - area.firstRow) * cols + (col - area.firstCol);
          if (i < values->size()) c.value = (*values)[i];
        } else if (cycle && IsEmpty(c.value)) {
          c.value = 0.0;
        }
        c.dirty = false;
        Unmark(key);
      });
}

CellKey Recalc::ArrayAnchorOf(CellKey key) const {
  uint32_t sheet = KeySheet(key);
  int row = KeyRow(key), col = KeyCol(key);
  for (const auto& [anchor, area] : arrays_)
    if (area.sheetId == sheet && area.Contains(row, col) && anchor != key) return anchor;
  return 0;
}

CellKey Recalc::ArrayAnchor(CellKey key) {
  ComputePendingSpills();
  return arrays_.empty() ? 0 : ArrayAnchorOf(key);
}

std::vector<Area> Recalc::ArraysOverlapping(uint32_t sheetId, const Area& a, bool spills) {
  EnsureIndex();
  std::vector<Area> out;
  for (const auto& [anchor, area] : arrays_) {
    if (area.sheetId != sheetId || (!spills && spills_.count(anchor))) continue;
    if (area.firstRow <= a.lastRow && area.lastRow >= a.firstRow && area.firstCol <= a.lastCol &&
        area.lastCol >= a.firstCol)
      out.push_back(area);
  }
  return out;
}

void Recalc::Propagate(std::vector<CellKey> queue) {
  while (!queue.empty()) {
    CellKey k = queue.back();
    queue.pop_back();
    if (!arrays_.empty()) MarkArrayCells(k, &queue);
    deps_.ForEachDependent(KeySheet(k), KeyRow(k), KeyCol(k),
                           [&](CellKey d) { MarkDirty(d, &queue); }, markEpoch_);
  }
}

void Recalc::CellChanged(uint32_t sheetId, int row, int col) {
  ForgetKept();
  EnsureIndex();
  CellKey key = MakeKey(sheetId, row, col);
  // Whatever it held before, its readers must be reached again.
  Unmark(key);
  int index = book_.SheetIndexOfId(sheetId);
  const Cell* cell = index ? book_.FindCell(index, row, col) : nullptr;
  std::vector<CellKey> queue{key};
  // A spilling formula replaced or removed: what it spilled goes with it.
  if (auto it = spills_.find(key); it != spills_.end() && index) {
    auto known = formulas_.find(key);
    if (!cell || known == formulas_.end() || !(cell->formula == known->second.formula)) {
      Area extent = it->second;
      spills_.erase(it);
      std::vector<CellKey> freed;
      ClearSpillCells(index, extent, key, nullptr, &freed);
      WakeBlocked(freed, key, &queue);
      queue.insert(queue.end(), freed.begin(), freed.end());
      cell = book_.FindCell(index, row, col);
    }
  }
  if (cell && cell->formula) {
    Register(key, *cell);
    NotePending(key, *cell);
    // A new formula's dependents must be reached again even if it was marked before.
    Unmark(key);
  } else if (auto it = formulas_.find(key); it != formulas_.end()) {
    staleEntries_ += it->second.formula->refs.size();
    formulas_.erase(it);
    arrays_.erase(key);
    spills_.erase(key);
  }
  if (!cell || !cell->formula) blocked_.erase(key);
  if (!spills_.empty() || !blocked_.empty())
    SpillCellsEdited(sheetId, Area{sheetId, row, col, row, col}, &queue);
  Propagate(std::move(queue));
}

void Recalc::StructureChanged() {
  ForgetKept();
  indexValid_ = false;
  formulas_.clear();
  arrays_.clear();
  spills_.clear();
  blocked_.clear();
  deps_.Clear();
  UnmarkAll();
}

void Recalc::MarkReaders(const std::function<bool(const Cell&, uint32_t host)>& reads) {
  ForgetKept();
  EnsureIndex();
  std::vector<CellKey> queue;
  int sheets = book_.SheetCount();
  for (int s = 1; s <= sheets; ++s) {
    Sheet& sheet = book_.SheetAt(s);
    if (!sheet.mayHaveFormulas) continue;
    uint32_t id = sheet.Id();
    sheet.ForEachMutableIn(0, 1, kMaxRows, kMaxCols, [&](int row, int col, Cell& cell) {
      if (!cell.formula || !reads(cell, id)) return;
      CellKey key = MakeKey(id, row, col);
      cell.dirty = true;
      dirtyMarked_.insert(key);
      NotePending(key, cell);
      queue.push_back(key);
    });
  }
  Propagate(std::move(queue));
}

void Recalc::CellsMoved(const StructuralChange& change) {
  StructureChanged();
  // Formulas on the changed sheet (ROW() and the like may move) or reading it.
  MarkReaders([&](const Cell& cell, uint32_t host) {
    if (host == change.sheetId || cell.formula->isVolatile) return true;
    for (const Reference& r : cell.formula->refs)
      if (r.hasSheet && r.sheetId == change.sheetId) return true;
    return false;
  });
}

void Recalc::RangeChanged(uint32_t sheetId, const Area& area) {
  ForgetKept();
  EnsureIndex();
  // Formulas that left the range (a large clear) leave the index, and those put there (a
  // large paste) join it, so that what they read reaches them later.
  std::vector<CellKey> queue;
  for (auto it = formulas_.begin(); it != formulas_.end();) {
    CellKey key = it->first;
    if (KeySheet(key) == sheetId && area.Contains(KeyRow(key), KeyCol(key))) {
      int index = book_.SheetIndexOfId(sheetId);
      const Cell* c = index ? book_.FindCell(index, KeyRow(key), KeyCol(key)) : nullptr;
      if (!c || c->formula != it->second.formula) {
        staleEntries_ += it->second.formula->refs.size();
        // What a removed spill put outside the range goes with it.
        if (auto s = spills_.find(key); s != spills_.end()) {
          Area extent = s->second;
          spills_.erase(s);
          std::vector<CellKey> freed;
          if (index) ClearSpillCells(index, extent, key, &area, &freed);
          WakeBlocked(freed, key, &queue);
          queue.insert(queue.end(), freed.begin(), freed.end());
        }
        blocked_.erase(key);
        arrays_.erase(key);
        it = formulas_.erase(it);
        continue;
      }
    }
    ++it;
  }
  if (int index = book_.SheetIndexOfId(sheetId)) {
    book_.SheetAt(index).ForEachIn(area.firstRow, area.firstCol, area.lastRow, area.lastCol,
                                   [&](int row, int col, const Cell& c) {
                                     if (c.formula) Register(MakeKey(sheetId, row, col), c);
                                   });
  }
  if (!spills_.empty() || !blocked_.empty()) SpillCellsEdited(sheetId, area, &queue);
  Propagate(std::move(queue));
  MarkReaders([&](const Cell& cell, uint32_t host) {
    if (cell.formula->isVolatile) return true;
    for (const Reference& r : cell.formula->refs) {
      if (r.invalid || (r.hasSheet ? r.sheetId : host) != sheetId) continue;
      if (r.FirstRow() <= area.lastRow && r.LastRow() >= area.firstRow &&
          r.FirstCol() <= area.lastCol && r.LastCol() >= area.firstCol)
        return true;
    }
    // A range operator between references reads the box around them.
    for (const Node& n : cell.formula->nodes)
      if (n.kind == NodeKind::Binary && n.op == Op::Range) return true;
    return false;
  });
}

namespace {
// Kept results beyond this many are dropped all at once.
constexpr size_t kMaxKeptResults = 1 << 16;
}  // namespace

const Value* Recalc::Recall(const std::string& key) const {
  auto it = kept_.find(key);
  return it == kept_.end() ? nullptr : &it->second;
}

void Recalc::Keep(const std::string& key, const Value& result) {
  // A result computed around a circular reference read an earlier value: not kept.
  if (!cyclic_.empty()) return;
  if (kept_.size() >= kMaxKeptResults) kept_.clear();
  kept_.emplace(key, result);
}

bool Recalc::UsedBounds(uint32_t sheetId, Area* out) {
  int index = book_.SheetIndexOfId(sheetId);
  if (index == 0) return false;
  const Sheet& sheet = book_.SheetAt(index);
  int lastRow = sheet.LastRow();
  if (lastRow == 0) return false;
  *out = Area{sheetId, 1, 1, lastRow, std::max(1, sheet.LastCol())};
  return true;
}

void Recalc::ComputeOnce(CellKey key, int sheetIndex, const Cell& cell) {
  pendingSpills_.erase(key);
  // Keep the parsed form alive even if the formula is replaced while it runs.
  FormulaPtr f = cell.formula;
  Value before = cell.value;
  if (MaySpill(*f) && !(KeepsCachedResult(*f) && !IsEmpty(before))) {
    ComputeSpill(key, sheetIndex, f, std::move(before));
    if (redo_.erase(key))
      if (Cell* c = MutableCell(sheetIndex, KeyRow(key), KeyCol(key))) c->dirty = true;
    return;
  }
  Value v;
  // An array formula over several cells computes all of them.
  std::optional<Area> fills;
  if (auto it = arrays_.find(key); it != arrays_.end()) fills = it->second;
  std::vector<Value> parts;
  if (KeepsCachedResult(*f) && !IsEmpty(before)) {
    // Not computable here: the result the file stored stands (its other cells' too).
    v = before;
  } else if (fills) {
    Evaluator ev(*this, *f, KeySheet(key), KeyRow(key), KeyCol(key));
    parts = ev.RunArray(fills->Rows(), fills->Cols());
    v = parts.front();
  } else {
    Evaluator ev(*this, *f, KeySheet(key), KeyRow(key), KeyCol(key));
    v = ev.Run();
  }
  // A formula of a cycle keeps the result it had, 0 when it had none; an array keeps all.
  const bool cycle = cyclic_.erase(key) > 0;
  if (cycle) {
    v = IsEmpty(before) ? Value{0.0} : std::move(before);
    parts.clear();
  }
  if (Cell* c = MutableCell(sheetIndex, KeyRow(key), KeyCol(key))) {
    c->value = std::move(v);
    // A spill it read changed while it ran: it is computed again.
    c->dirty = redo_.erase(key) > 0;
  }
  Unmark(key);
  if (fills) FillArrayCells(key, sheetIndex, *fills, parts.empty() ? nullptr : &parts, cycle);
}

bool Recalc::PrepareArrayCell(CellKey key, CellKey* anchorOut) {
  int index = book_.SheetIndexOfId(KeySheet(key));
  Cell* cell = index ? MutableCell(index, KeyRow(key), KeyCol(key)) : nullptr;
  CellKey anchor = ArrayAnchorOf(key);
  Cell* own = anchor ? MutableCell(index, KeyRow(anchor), KeyCol(anchor)) : nullptr;
  if (!own || !own->formula || inProgress_.count(anchor)) {
    // No array fills it any more, or its array is being computed (a cycle through the
    // array): it keeps the value it has.
    if (own && own->formula) MarkCycle(anchor);
    if (cell) cell->dirty = false;
    Unmark(key);
    return false;
  }
  own->dirty = true;  // its array is computed again even if it had a result
  *anchorOut = anchor;
  return true;
}

void Recalc::Enter(CellKey key) {
  inProgress_.insert(key);
  path_.push_back(key);
}

void Recalc::Leave(CellKey key) {
  if (!inProgress_.erase(key)) return;
  if (!path_.empty() && path_.back() == key) {
    path_.pop_back();
  } else if (auto it = std::find(path_.rbegin(), path_.rend(), key); it != path_.rend()) {
    path_.erase(std::next(it).base());
  }
}

void Recalc::MarkCycle(CellKey key) {
  ForgetKept();
  // Everything computed since `key` was entered leads back to it.
  for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
    cyclic_.insert(*it);
    if (*it == key) break;
  }
}

Value Recalc::CellValue(uint32_t sheetId, int row, int col) {
  int index = book_.SheetIndexOfId(sheetId);
  if (index == 0) return ErrorCode::Ref;
  const Cell* cell = book_.FindCell(index, row, col);
  // A spill waiting above or left may be what gives this cell its value.
  if ((!cell || !cell->formula) && !pendingSpills_.empty() &&
      ComputePendingSpills(sheetId, row, col))
    cell = book_.FindCell(index, row, col);
  if (!cell) return Value{};
  if (!NeedsCompute(*cell)) return cell->value;
  CellKey key = MakeKey(sheetId, row, col);
  if (!cell->formula) {
    // A cell an array formula fills: its value comes with the array's.
    CellKey anchor = 0;
    if (PrepareArrayCell(key, &anchor)) CellValue(sheetId, KeyRow(anchor), KeyCol(anchor));
    cell = book_.FindCell(index, row, col);
    if (!cell) return Value{};
    return IsEmpty(cell->value) && cell->dirty ? Value{0.0} : cell->value;
  }
  if (inProgress_.count(key)) {
    // A circular reference: the cell's earlier result (0 when none) is what it reads as.
    MarkCycle(key);
    return IsEmpty(cell->value) ? Value{0.0} : cell->value;
  }
  if (depth_ >= kMaxNestedDepth) throw NeedCell{key};
  struct Mark {
    Mark(Recalc& e, CellKey k) : e(e), k(k) { e.Enter(k); }
    ~Mark() { e.Leave(k); }
    Recalc& e;
    CellKey k;
  } mark(*this, key);
  ComputeOnce(key, index, *cell);
  return book_.FindCell(index, row, col)->value;
}

bool Recalc::PushPrecedents(uint32_t sheetId, const Formula& f, std::vector<CellKey>* stack) {
  bool pushed = false;
  for (const Reference& r : f.refs) {
    if (r.invalid) continue;
    uint32_t id = r.hasSheet ? r.sheetId : sheetId;
    int index = book_.SheetIndexOfId(id);
    if (index == 0) continue;
    // Larger areas are left to evaluation, which reads only their used cells.
    long cells = static_cast<long>(r.LastRow() - r.FirstRow() + 1) * (r.LastCol() - r.FirstCol() + 1);
    if (cells > kMaxPrecedentScan) continue;
    book_.SheetAt(index).ForEachIn(r.FirstRow(), r.FirstCol(), r.LastRow(), r.LastCol(),
                                   [&](int row, int col, const Cell& cell) {
                                     if (!NeedsCompute(cell)) return;
                                     CellKey k = MakeKey(id, row, col);
                                     if (inProgress_.count(k)) return;
                                     stack->push_back(k);
                                     pushed = true;
                                   });
  }
  return pushed;
}

void Recalc::Compute(CellKey first) {
  std::vector<CellKey> stack{first};
  while (!stack.empty()) {
    CellKey key = stack.back();
    int index = book_.SheetIndexOfId(KeySheet(key));
    const Cell* cell = index ? book_.FindCell(index, KeyRow(key), KeyCol(key)) : nullptr;
    if (!cell || !NeedsCompute(*cell)) {
      Leave(key);
      stack.pop_back();
      continue;
    }
    if (!cell->formula) {
      // A cell an array formula fills: the array is computed in its place.
      stack.pop_back();
      CellKey anchor = 0;
      if (PrepareArrayCell(key, &anchor)) stack.push_back(anchor);
      continue;
    }
    // First visit: the stale formulas it reads go first, so chains are computed in order
    // without recursion.
    if (!inProgress_.count(key)) {
      Enter(key);
      if (PushPrecedents(KeySheet(key), *cell->formula, &stack)) continue;
    }
    try {
      depth_ = 0;
      ComputeOnce(key, index, *cell);
      Leave(key);
      stack.pop_back();
    } catch (const NeedCell& need) {
      stack.push_back(need.key);
    } catch (...) {
      for (CellKey k : stack) Leave(k);
      path_.clear();
      cyclic_.clear();
      depth_ = 0;
      throw;
    }
  }
  depth_ = 0;
}

Value Recalc::Evaluate(int sheetIndex, int row, int col) {
  EnsureIndex();  // after a structural change: marks formulas reading deleted sheets
  if (sheetIndex == 0) sheetIndex = book_.CurrentSheet();
  ComputePendingSpills();
  const Cell* cell = book_.FindCell(sheetIndex, row, col);
  if (!cell) return Value{};
  // A spill computed on the way may change what the cell read: it is computed again then.
  for (int round = 0; round < 8 && NeedsCompute(*cell); ++round) {
    Compute(MakeKey(book_.SheetId(sheetIndex), row, col));
    cell = book_.FindCell(sheetIndex, row, col);
    if (!cell) return Value{};
  }
  return cell->value;
}

void Recalc::RecalcIfNeeded() {
  ForgetKept();
  EnsureIndex();
  std::vector<CellKey> queue;
  for (auto& [key, info] : formulas_)
    if (info.isVolatile) MarkDirty(key, &queue);
  Propagate(std::move(queue));
  std::vector<CellKey> dirty;
  for (auto& [key, info] : formulas_) {
    int index = book_.SheetIndexOfId(KeySheet(key));
    const Cell* cell = index ? book_.FindCell(index, KeyRow(key), KeyCol(key)) : nullptr;
    if (cell && NeedsCompute(*cell)) dirty.push_back(key);
  }
  std::sort(dirty.begin(), dirty.end());  // sheet, row, column order: inputs usually first
  const uint64_t spills = spillChanges_;
  for (CellKey k : dirty) Compute(k);
  if (spillChanges_ != spills) Settle();
}

void Recalc::RecalcAll() {
  ForgetKept();
  EnsureIndex();
  std::vector<CellKey> all;
  all.reserve(formulas_.size());
  for (auto& [key, info] : formulas_) {
    int index = book_.SheetIndexOfId(KeySheet(key));
    if (Cell* cell = index ? MutableCell(index, KeyRow(key), KeyCol(key)) : nullptr) {
      cell->dirty = true;
      all.push_back(key);
    }
  }
  UnmarkAll();
  // The cells arrays fill are stale with them, so that their readers wait for them.
  std::vector<CellKey> ignored;
  for (const auto& [key, area] : arrays_) MarkArrayCells(key, &ignored);
  std::sort(all.begin(), all.end());
  const uint64_t spills = spillChanges_;
  for (CellKey k : all) Compute(k);
  if (spillChanges_ != spills) Settle();
}

// --- Calculator --------------------------------------------------------------------------

struct Calculator::State {
  explicit State(Workbook& book) : recalc(book) {}
  Recalc recalc;
};

Calculator::Calculator(Workbook& book) : book_(book), state_(std::make_unique<State>(book)) {}
Calculator::~Calculator() = default;
void Calculator::CellChanged(uint32_t sheetId, int row, int col) {
  state_->recalc.CellChanged(sheetId, row, col);
}
void Calculator::StructureChanged() { state_->recalc.StructureChanged(); }
void Calculator::CellsMoved(const StructuralChange& change) { state_->recalc.CellsMoved(change); }
void Calculator::RangeChanged(uint32_t sheetId, const Range& range) {
  state_->recalc.RangeChanged(
      sheetId, Area{sheetId, range.firstRow, range.firstCol, range.lastRow, range.lastCol});
}
Value Calculator::Evaluate(int sheet, int row, int col) {
  return state_->recalc.Evaluate(sheet, row, col);
}
void Calculator::ComputePendingSpills() { state_->recalc.ComputePendingSpills(); }
void Calculator::RecalcIfNeeded() { state_->recalc.RecalcIfNeeded(); }
void Calculator::RecalcAll() { state_->recalc.RecalcAll(); }
std::vector<Range> Calculator::ArraysOverlapping(uint32_t sheetId, const Range& range,
                                                 bool spills) {
  std::vector<Range> out;
  for (const Area& a : state_->recalc.ArraysOverlapping(
           sheetId, Area{sheetId, range.firstRow, range.firstCol, range.lastRow, range.lastCol},
           spills))
    out.push_back(Range{a.firstRow, a.firstCol, a.lastRow, a.lastCol});
  return out;
}
std::optional<std::pair<int, int>> Calculator::ArrayAnchor(uint32_t sheetId, int row, int col) {
  if (row < 1 || col < 1 || row > kMaxRows || col > kMaxCols) return std::nullopt;
  CellKey anchor = state_->recalc.ArrayAnchor(MakeKey(sheetId, row, col));
  if (anchor == 0) return std::nullopt;
  return std::make_pair(KeyRow(anchor), KeyCol(anchor));
}

}  // namespace ddt::grid::formula
