// Recalc, the recalculation behind Calculator: cell values on demand, the dependency index,
// dirty marking and the work stack that keeps long chains off the C++ stack.
//
// Evaluating a formula may need other formulas first. Those are computed recursively while
// the recursion stays shallow (kMaxNestedDepth); deeper, the evaluation is suspended by a
// NeedCell exception, the needed cell goes on an explicit work stack, and the suspended
// formula is retried once it is done. Cells being computed are marked; meeting one again is
// a circular reference: every formula of the cycle keeps its earlier result (0 when none).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grid/formula/ast.h"
#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {

using CellKey = uint64_t;
inline CellKey MakeKey(uint32_t sheetId, int row, int col) {
  return (static_cast<uint64_t>(sheetId) << 40) | (static_cast<uint64_t>(row) << 16) |
         static_cast<uint64_t>(col);
}
inline uint32_t KeySheet(CellKey k) { return static_cast<uint32_t>(k >> 40); }
inline int KeyRow(CellKey k) { return static_cast<int>((k >> 16) & 0xFFFFFF); }
inline int KeyCol(CellKey k) { return static_cast<int>(k & 0xFFFF); }

// Whether a cell needs computing: a formula that is stale or was read from a file that
// stored no result (a formula never gives an empty result), or a cell an array formula
// fills whose formula is stale (dirty without a formula of its own).
inline bool NeedsCompute(const Cell& c) {
  return c.dirty || (c.formula && IsEmpty(c.value));
}

// Suspends an evaluation until cell `key` has been computed.
struct NeedCell {
  CellKey key;
};

// Reverse dependencies: which formula cells read a given cell.
class DependencyIndex {
 public:
  void Clear();
  // Registers what the formula at `key` (on sheet `hostSheet`) reads.
  void Add(CellKey key, const Formula& f, uint32_t hostSheet);
  // Calls fn for every formula cell registered as reading (sheet, row, col). May report
  // formulas that no longer read it (stale entries are dropped only on rebuild).
  // With an epoch (non-zero), the groups of formulas reading one area that were all passed
  // to fn in the same epoch are skipped: the caller leaves each formula it is given marked
  // until it changes the epoch.
  template <typename Fn>
  void ForEachDependent(uint32_t sheet, int row, int col, Fn&& fn, uint64_t epoch = 0);
  size_t Entries() const { return entries_; }

 private:
  // An area is registered in its blocks once, however many formulas read it (a summary
  // table of SUMIFS over the same columns): a lookup scans distinct areas, then reports
  // every formula of the area's group.
  struct AreaDep {
    Area area;
    uint32_t group;  // index into groups_
  };
  struct AreaHash {
    size_t operator()(const Area& a) const {
      uint64_t h = a.sheetId;
      for (int v : {a.firstRow, a.firstCol, a.lastRow, a.lastCol})
        h = h * 0x9E3779B97F4A7C15ull + static_cast<uint32_t>(v);
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  void AddArea(const Area& a, CellKey dependent);

  std::unordered_map<Area, uint32_t, AreaHash> groupOf_;
  std::vector<std::vector<CellKey>> groups_;
  std::vector<uint64_t> groupEpoch_;  // the epoch in which all of a group was passed on

  std::unordered_map<CellKey, std::vector<CellKey>> cells_;
  std::unordered_map<uint64_t, std::vector<AreaDep>> blocks_;   // small areas by block
  std::unordered_map<uint64_t, std::vector<AreaDep>> columns_;  // tall areas by column block
  std::unordered_map<uint64_t, std::vector<AreaDep>> rows_;     // wide areas by row block
  std::vector<AreaDep> large_;
  size_t entries_ = 0;
};

class Recalc {
 public:
  explicit Recalc(Workbook& book);

  Workbook& Book() { return book_; }
  // Value of a cell for a formula being evaluated: computes a stale formula (recursively
  // or by suspending with NeedCell); a cell already being computed (a cycle) gives its
  // earlier result, 0 when it has none.
  Value CellValue(uint32_t sheetId, int row, int col);
  // Value of a cell from outside: computes it and what it needs, iteratively.
  Value Evaluate(int sheetIndex, int row, int col);
  void CellChanged(uint32_t sheetId, int row, int col);
  void StructureChanged();
  void CellsMoved(const StructuralChange& change);
  void RangeChanged(uint32_t sheetId, const Area& area);
  void RecalcIfNeeded();
  void RecalcAll();
  // Before a cell is read from outside: the spills waiting for their result are computed,
  // so that the cells they spill over hold their values and what reads those is stale.
  void ComputePendingSpills() {
    EnsureIndex();
    if (!pendingSpills_.empty()) ComputePendingSpills(0, kMaxRows, kMaxCols);
  }

  // The extents of the multi-cell array formulas of a sheet that overlap `area` (`spills`
  // false: without those of dynamic arrays).
  std::vector<Area> ArraysOverlapping(uint32_t sheetId, const Area& area, bool spills = true);
  // The array formula whose extent holds the cell `key` (not the array's own cell); 0 if none.
  CellKey ArrayAnchor(CellKey key);

  // Sheet extent in use (for whole-column walks); false when the sheet has no content.
  bool UsedBounds(uint32_t sheetId, Area* bounds);
  double Random() { return uniform_(rng_); }
  // Results of range functions kept until a cell changes or a recalculation starts (see
  // Context::Recall); nothing is kept once a circular reference was met.
  const Value* Recall(const std::string& key) const;
  void Keep(const std::string& key, const Value& result);
  // Depth of nested evaluation (expression nodes plus cells) on the C++ stack.
  int& Depth() { return depth_; }

 private:
  struct FormulaInfo {
    FormulaPtr formula;  // the one registered; kept alive for identity
    bool isVolatile = false;
  };

  void EnsureIndex();
  void Register(CellKey key, const Cell& cell);
  // Marks the formulas reading the given cells dirty, transitively.
  void Propagate(std::vector<CellKey> changed);
  void MarkDirty(CellKey key, std::vector<CellKey>* queue);
  // Marks dirty every formula for which `reads` holds, and what depends on them.
  void MarkReaders(const std::function<bool(const Cell&, uint32_t host)>& reads);
  // Pushes the stale formulas that `f` reads directly (not those being computed); true when
  // there were any.
  bool PushPrecedents(uint32_t sheetId, const Formula& f, std::vector<CellKey>* stack);
  // Computes the formula at `key` to completion using the work stack.
  void Compute(CellKey key);
  // One attempt at a formula; may throw NeedCell.
  void ComputeOnce(CellKey key, int sheetIndex, const Cell& cell);
  // One attempt at a formula that spills an array result (see spill.cpp); may throw NeedCell.
  void ComputeSpill(CellKey key, int sheetIndex, FormulaPtr f, Value before);
  // Whether the cells of `target` other than the anchor hold anything but the anchor's own
  // spill (`old`): content, a cell of another array, or a merged range.
  bool SpillBlocked(int sheetIndex, const Area& target, CellKey anchor, const Area* old);
  // Empties the cells of `area` except the anchor and those inside `keep`; their keys go to
  // `changed` (so that their readers and the spills they blocked are told).
  void ClearSpillCells(int sheetIndex, const Area& area, CellKey anchor, const Area* keep,
                       std::vector<CellKey>* changed);
  // Cells of `area` were changed from outside: a spill over them gives its cells up (its
  // anchor is computed again, finding them in the way), a spill they blocked is tried again.
  void SpillCellsEdited(uint32_t sheetId, const Area& area, std::vector<CellKey>* queue);
  // Spills blocked by any of the `freed` cells are tried again (but `except`'s).
  void WakeBlocked(const std::vector<CellKey>& freed, CellKey except, std::vector<CellKey>* queue);
  // The readers of cells a spill changed are stale, including a formula being computed
  // (computed again once it is done), and spills blocked by freed cells are tried again.
  void SpillChanged(CellKey anchor, std::vector<CellKey> changed);
  // Computes what spills left stale, a bounded number of rounds (a spill may grow into cells
  // that formulas computed earlier in the same pass had read).
  void Settle();
  // A formula that may spill and waits for its result: noted, so that reads compute it
  // first (where it spills is known only once it is computed).
  void NotePending(CellKey key, const Cell& cell) {
    if (cell.formula && MaySpill(*cell.formula) && NeedsCompute(cell)) pendingSpills_.insert(key);
  }
  // Computes the pending spills of sheet `sheetId` above and left of (row, col) (all of the
  // workbook's with sheetId 0); true when one was computed.
  bool ComputePendingSpills(uint32_t sheetId, int row, int col);
  Cell* MutableCell(int sheetIndex, int row, int col);
  // Array formulas filling other cells: their stale cells are marked with them, and
  // computing one writes every cell of its extent.
  void MarkArrayCells(CellKey anchor, std::vector<CellKey>* queue);
  // `values` null: each keeps its value (an empty one becomes 0 in a cycle).
  void FillArrayCells(CellKey anchor, int sheetIndex, const Area& area,
                      const std::vector<Value>* values, bool cycle);
  // The array formula filling the (formula-less) cell `key`; 0 when none does.
  CellKey ArrayAnchorOf(CellKey key) const;
  // A stale cell an array fills: its array is computed (or left, in a cycle); false when
  // the array is in progress (a cycle) or there is none.
  bool PrepareArrayCell(CellKey key, CellKey* anchor);
  // Cells being computed, in the order they were entered (path_ mirrors inProgress_).
  void Enter(CellKey key);
  void Leave(CellKey key);
  // A cycle back to `key`: it and everything entered after it keep their earlier results.
  void MarkCycle(CellKey key);

  Workbook& book_;
  DependencyIndex deps_;
  bool indexValid_ = false;
  std::unordered_map<CellKey, FormulaInfo> formulas_;
  // Multi-cell array formulas by their own cell: the extent each fills.
  std::unordered_map<CellKey, Area> arrays_;
  // The dynamic arrays among them: the extent each spills over. Each cell of an extent but
  // the anchor holds the spill's value; an edit of one makes the spill give its cells up.
  std::unordered_map<CellKey, Area> spills_;
  // Spills in the way of something (#SPILL!): the extent each would take.
  std::unordered_map<CellKey, Area> blocked_;
  // Formulas being computed when a spill they read changed: computed again once done.
  std::unordered_set<CellKey> redo_;
  // Counts spills that changed their cells; Settle works only when it moved.
  uint64_t spillChanges_ = 0;
  // Formulas that may spill and wait for their result (NotePending).
  std::unordered_set<CellKey> pendingSpills_;
  size_t staleEntries_ = 0;
  std::unordered_set<CellKey> inProgress_;
  std::vector<CellKey> path_;
  std::unordered_set<CellKey> cyclic_;
  // Dirty cells whose dependents are already dirty too: propagation stops there.
  std::unordered_set<CellKey> dirtyMarked_;
  // Changes whenever a cell leaves dirtyMarked_ (see DependencyIndex::ForEachDependent).
  uint64_t markEpoch_ = 1;
  void Unmark(CellKey key) {
    if (dirtyMarked_.erase(key)) ++markEpoch_;
  }
  void UnmarkAll() {
    dirtyMarked_.clear();
    ++markEpoch_;
  }
  std::unordered_map<std::string, Value> kept_;
  // Drops the kept results (and their buckets: changes come one cell at a time, often).
  void ForgetKept() {
    if (!kept_.empty()) kept_ = {};
  }
  int depth_ = 0;
  std::mt19937_64 rng_;
  std::uniform_real_distribution<double> uniform_{0.0, 1.0};
};

// Evaluates one formula for its host cell; the Context its functions see.
class Evaluator final : public Context {
 public:
  Evaluator(Recalc& recalc, const Formula& f, uint32_t hostSheet, int hostRow, int hostCol)
      : recalc_(recalc), f_(f), sheet_(hostSheet), row_(hostRow), col_(hostCol) {}

  // The formula's result as a cell holds it: references resolved, empty as 0.
  Value Run();
  // An array formula's result over rows x cols cells, row-major, each as a cell holds it:
  // a result of one row (column) repeats down (across) the extent, cells beyond the
  // result's size get #N/A.
  std::vector<Value> RunArray(int rows, int cols);
  // A spilling formula's result at its own size (*rows x *cols, row-major, each as a cell
  // holds it); one value for a single result. Empty when the result has more than
  // kMaxSpillCells cells (its size is still given).
  std::vector<Value> RunSpill(int* rows, int* cols);
  // One node; in array context operators apply to ranges element by element.
  Operand Eval(uint32_t node, bool arrayContext);

  uint32_t HostSheetId() const override { return sheet_; }
  int HostRow() const override { return row_; }
  int HostCol() const override { return col_; }
  const Workbook& Book() const override { return recalc_.Book(); }
  Value CellValue(uint32_t sheetId, int row, int col) override {
    return recalc_.CellValue(sheetId, row, col);
  }
  void ForEachUsed(const Area& area,
                   const std::function<bool(int, int, const Value&)>& fn) override;
  std::optional<Area> ClipToUsed(const Area& area) override;
  uint32_t FindSheetId(std::string_view name) const override;
  double Random() override { return recalc_.Random(); }
  const Value* Recall(const std::string& key) override { return recalc_.Recall(key); }
  void Keep(const std::string& key, const Value& result) override { recalc_.Keep(key, result); }

 private:
  Operand EvalRef(const Reference& r);
  Operand EvalUnary(const Node& n, bool arrayContext);
  Operand EvalBinary(const Node& n, bool arrayContext);
  Operand EvalCall(const Node& n, bool arrayContext);
  MatrixPtr ToMatrix(const Operand& op);

  Recalc& recalc_;
  const Formula& f_;
  uint32_t sheet_;
  int row_, col_;
};

// The scalar operators on values, errors propagating from the left operand first.
Value ApplyBinary(Op op, const Value& a, const Value& b);
Value ApplyUnary(Op op, const Value& a);

template <typename Fn>
void DependencyIndex::ForEachDependent(uint32_t sheet, int row, int col, Fn&& fn, uint64_t epoch) {
  if (auto it = cells_.find(MakeKey(sheet, row, col)); it != cells_.end())
    for (CellKey k : it->second) fn(k);
  auto scan = [&](const std::vector<AreaDep>& deps) {
    for (const AreaDep& d : deps) {
      if (d.area.sheetId != sheet || !d.area.Contains(row, col)) continue;
      if (epoch && groupEpoch_[d.group] == epoch) continue;
      for (CellKey k : groups_[d.group]) fn(k);
      groupEpoch_[d.group] = epoch;
    }
  };
  constexpr int kBlockRows = 256, kBlockCols = 16;
  uint64_t rb = static_cast<uint64_t>((row - 1) / kBlockRows);
  uint64_t cb = static_cast<uint64_t>((col - 1) / kBlockCols);
  uint64_t s = static_cast<uint64_t>(sheet) << 32;
  if (auto it = blocks_.find(s | rb << 12 | cb); it != blocks_.end()) scan(it->second);
  if (auto it = columns_.find(s | cb); it != columns_.end()) scan(it->second);
  if (auto it = rows_.find(s | rb); it != rows_.end()) scan(it->second);
  scan(large_);
}

}  // namespace ddt::grid::formula
