// A rectangular block of cells taken out of a workbook (Workbook::TakeBlock) to be put into
// one (Workbook::PasteBlock): values, formulas and styles, and for whole rows or columns their
// line properties (headings, widths, hidden flags, line styles). The engine's clipboard holds
// one; copying between workbooks passes one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "grid/formula/formula_ptr.h"
#include "grid/style.h"
#include "grid/value.h"

namespace ddt::grid {

template <class T>
struct ClipRun {
  int first, last;  // relative to the block's first row or column, from 0
  T value;
};

// A block of cells taken out of the workbook it came from. Styles are kept as values, so the
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


}  // namespace ddt::grid
