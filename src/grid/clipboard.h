// The process-wide clipboard of the grid: one rectangular block of cells at a time, with
// values, formulas and styles, and for whole rows or columns their line properties
// (headings, widths, hidden flags, line styles). Used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid/formula/formula_ptr.h"
#include "grid/style.h"
#include "grid/value.h"

namespace ddt::grid {

namespace formula {
class Formula;
}
class Workbook;

template <class T>
struct ClipRun {
  int first, last;  // relative to the block's first row or column, from 0
  T value;
};

// A block of cells cut out of the workbook it came from. Styles are kept as values, so the
// block can be pasted into any workbook.
struct ClipBlock {
  struct Item {
    int dr = 0, dc = 0;  // offset from the block's top-left cell
    Value value;
    formula::FormulaPtr formula;  // refers to the source's sheets
    std::string formulaText;  // the formula once the source is gone (null `formula`)
    bool forcedText = false;
    int style = -1;  // index into `styles`, -1 for none
  };
  int rows = 0, cols = 0;
  int originRow = 1, originCol = 1;  // where the block was taken
  uint32_t sourceHandle = 0;         // 0 once the source is gone or replaced
  bool wholeCols = false, wholeRows = false;
  std::vector<Item> items;  // row-major
  std::vector<Style> styles;
  // Line properties of whole columns (rows) taken: headings, widths, hidden, styles.
  std::vector<ClipRun<std::string>> headings;
  std::vector<ClipRun<double>> widths;
  std::vector<ClipRun<bool>> hidden;
  std::vector<ClipRun<int>> lineStyles;  // indexes into `styles`
  int sheetStyle = -1;                   // whole sheet taken: index into `styles`
};

class Clipboard {
 public:
  static Clipboard& Instance();
  void Put(ClipBlock block, bool cut) {
    block_ = std::move(block);
    cut_ = cut;
  }
  const ClipBlock* Block() const { return block_ ? &*block_ : nullptr; }
  bool IsCut() const { return cut_; }
  void Clear() { block_.reset(); }
  // The workbook is going away or losing its contents: keep its formulas as text.
  void SourceGoing(const Workbook& book);

 private:
  std::optional<ClipBlock> block_;
  bool cut_ = false;
};

}  // namespace ddt::grid
