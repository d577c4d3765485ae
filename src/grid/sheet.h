// One sheet of a workbook: its cells and its row and column properties.
//
// Cells are kept as a sorted vector of used rows, each a sorted vector of used cells, so that
// storage follows the cells in use and a structural change is one pass over them (row numbers
// are adjusted in place, never re-keyed). Row and column properties are runs (LineMap).
// The sheet knows nothing about formulas or events; the Workbook drives it and checks every
// index before it gets here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "grid/line_map.h"
#include "grid/workbook.h"

namespace ddt::grid {

// What the sheet's file held that the grid does not model; defined by the file layer.

inline constexpr double kDefaultColWidth = 8.43;

// Whether a cell holds a value or a formula (a cell may exist for its style only).
inline bool HasContent(const Cell& c) { return c.formula != nullptr || !IsEmpty(c.value); }

class Sheet {
 public:
  // The column sits in the cell's tail padding: an entry takes 32 bytes, not 40.
  struct CellEntry {
    [[no_unique_address]] Cell cell;
    uint16_t col;
  };
  static_assert(kMaxCols <= UINT16_MAX, "a column must fit a CellEntry");
  struct RowEntry {
    int row;
    std::vector<CellEntry> cells;  // sorted by col, never empty
  };

  Sheet(uint32_t id, std::string name);

  uint32_t Id() const { return id_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // --- Cells ---
  // Cell access. Whoever gives a cell content (a value or a formula) through FindMutable or At
  // calls NoteContent, and NoteContentRemoved when taking it away, so the extents stay right.
  const Cell* Find(int row, int col) const;
  Cell* FindMutable(int row, int col);
  Cell& At(int row, int col);  // creates the cell when unused
  void NoteContent(int col) {
    if (lastColCache_ >= 0 && col > lastColCache_) lastColCache_ = col;
  }
  void NoteContentRemoved(int col) {
    if (col >= lastColCache_) lastColCache_ = -1;
  }
  void Erase(int row, int col);
  // Removes the cell when it has neither content nor a style of its own (nor a stale result
  // of an array formula to receive: Cell::dirty).
  void EraseIfUnused(int row, int col);
  const std::vector<RowEntry>& Rows() const { return rows_; }
  std::vector<RowEntry>& MutableRows() {
    lastColCache_ = -1;
    return rows_;
  }
  // Removes cells without content and style from rows firstRow..lastRow, then rows left
  // without cells.
  void Compact(int firstRow = 1, int lastRow = kMaxRows);
  size_t CellCount() const;

  // Cells in rows r1..r2, columns c1..c2, row-major; fn(row, col, Cell&).
  template <class Fn>
  void ForEachIn(int r1, int c1, int r2, int c2, Fn fn) const {
    for (auto it = LowerRow(r1); it != rows_.end() && it->row <= r2; ++it) {
      for (auto c = LowerCol(*it, c1); c != it->cells.end() && c->col <= c2; ++c)
        fn(it->row, c->col, c->cell);
    }
  }
  template <class Fn>
  void ForEachMutableIn(int r1, int c1, int r2, int c2, Fn fn) {
    lastColCache_ = -1;
    for (auto it = LowerRow(r1); it != rows_.end() && it->row <= r2; ++it) {
      for (auto c = LowerCol(*it, c1); c != it->cells.end() && c->col <= c2; ++c)
        fn(it->row, c->col, c->cell);
    }
  }

  // --- Extents (cells with content only) ---
  int LastRow() const;
  int LastCol() const;

  // --- Structure. Rows (columns) first..first+count-1 are inserted or deleted; only cells in
  // the band of columns (rows) bandFirst..bandLast move. A full band also moves the row
  // (column) properties. Cells pushed beyond the sheet's limits are dropped.
  void InsertRows(int first, int count, int bandFirst, int bandLast);
  void DeleteRows(int first, int count, int bandFirst, int bandLast);
  void InsertCols(int first, int count, int bandFirst, int bandLast);
  void DeleteCols(int first, int count, int bandFirst, int bandLast);

  // --- Row and column properties ---
  LineMap<std::string> colHeadings, rowHeadings;
  // While the workbook holds its header rows out (Workbook::HoldHeaderRow): the name each
  // column's header cell (row 0) gave when it was taken, moving with its column. A heading
  // still equal to it leaves that cell as it was read.
  LineMap<std::string> headerNames;
  LineMap<double> colWidths{kDefaultColWidth};
  LineMap<bool> rowHidden, colHidden;
  LineMap<StyleId> rowStyles, colStyles;
  StyleId sheetStyle = kDefaultStyle;
  // Row and column attributes of the file the grid does not model (heights, outline levels),
  // as written there; they move with their lines and are written back.
  LineMap<std::string> rowFileAttrs, colFileAttrs;
  // The width each column had in the file read (0: none), written back as it was while the
  // column keeps the width it was read with: widths are not re-rounded by a save.
  LineMap<double> colFileWidths{0};

  // Hints that let whole-sheet passes be skipped: false only when no cell has a formula
  // (has its own style). Set whenever one may have appeared; cleared by a pass that found none.
  bool mayHaveFormulas = false;
  bool mayHaveCellStyles = false;

 private:
  std::vector<RowEntry>::const_iterator LowerRow(int row) const;
  std::vector<RowEntry>::iterator LowerRow(int row);
  static std::vector<CellEntry>::const_iterator LowerCol(const RowEntry& r, int col);
  static std::vector<CellEntry>::iterator LowerCol(RowEntry& r, int col);
  struct Placed {
    int row, col;
    Cell cell;
  };
  // Moves the band cells of rows from `rowsFrom` on out of their rows, with new row numbers.
  void ExtractBand(int rowsFrom, int bandFirst, int bandLast, int delta,
                   std::vector<Placed>& out);
  // Puts cells (sorted by row, then col) into rows whose band is free.
  void MergeIn(std::vector<Placed>&& cells);
  void DropEmptyRows();

  uint32_t id_;
  std::string name_;
  std::vector<RowEntry> rows_;  // sorted by row, no empty rows
  mutable int lastColCache_ = -1;
  mutable size_t rowHint_ = 0;  // where Find found its last row (checked before use)
};

}  // namespace ddt::grid
