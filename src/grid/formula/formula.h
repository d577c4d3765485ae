// The grid's view of formulas: parse, print, adjust and evaluate. The parsed form is
// immutable and shared; edits make new objects.
//
// References keep absolute row and column numbers with their $ flags, and point at sheets by
// identity (Workbook::SheetId), so a renamed sheet prints under its new name and a deleted one
// prints and evaluates as #REF!. A reference without a sheet means the formula's own sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "grid/formula/formula_ptr.h"
#include "grid/limits.h"
#include "grid/value.h"

namespace ddt::grid {
class Workbook;
struct Range;
}

namespace ddt::grid::formula {


// Parse formula text, with or without its leading "=". Sheet names resolve against `book`.
// Throws GridError(kInvalidFormulaSyntax) when the text does not parse or names a sheet the
// book does not have. Unknown function names parse (and evaluate to #NAME?).
FormulaPtr ParseFormula(std::string_view text, const Workbook& book);

// Canonical text, without "=". Sheet names are quoted when needed; a reference to a deleted
// sheet or to deleted cells prints as #REF!.
std::string PrintFormula(const Formula& f, const Workbook& book);
// The text a workbook file stores: as PrintFormula, with the "_xlfn." prefix that files give
// functions newer than the original file format (IFS, SWITCH, XOR, IFNA, ...). Row numbers
// are the file's: the cells' plus `rowOrigin` (Workbook::RowOrigin); whole columns stay
// whole, and a reference beyond the file's last row prints as #REF!.
std::string PrintFormulaForFile(const Formula& f, const Workbook& book, int rowOrigin = 0);

bool IsVolatile(const Formula& f);

// A structural change of one sheet. Rows (or columns) first..first+count-1 were inserted or
// deleted; only cells inside the band (columns for row changes, rows for column changes)
// moved: the whole sheet width or height for whole rows or columns.
struct StructuralChange {
  enum class Kind { InsertRows, DeleteRows, InsertCols, DeleteCols };
  uint32_t sheetId = 0;
  Kind kind = Kind::InsertRows;
  int first = 1;
  int count = 1;
  int bandFirst = 1;
  int bandLast = kMaxCols;  // kMaxRows for column changes
};

// The formula after the change, for a formula living on sheet `hostSheetId`; null when the
// change does not touch it. References into a deleted area become #REF!.
// A formula kept as written (VerbatimFormula) needs `book`: the plain A1 references and
// ranges of its text move the same way, the text's rows being the file's (one more than the
// cells' while the header row is held); strings, structured table references, external and
// 3-D references, names and calls stay as written.
FormulaPtr Adjusted(const Formula& f, const StructuralChange& change, uint32_t hostSheetId,
                    const Workbook* book = nullptr);

// The formula with every row number moved by `rows`, $ or not: the same cells seen from a
// grid whose rows all moved by that much (whole columns stay whole, from row 0 when the
// move reaches it). Nothing becomes #REF! unless it leaves the grid.
FormulaPtr Translated(const Formula& f, int rows);

// A formula kept as a file wrote it because this engine cannot read it (structured table
// references, the intersection operator, external references, ...): it prints as `text`
// and its value is the cached result the cell was given.
FormulaPtr VerbatimFormula(std::string text);

// Whether the formula's result must come from the cell's cached value while it has one: a
// verbatim formula, or one calling a function or naming a name this engine does not have.
bool KeepsCachedResult(const Formula& f);

// The formula as an array (CSE) formula over `rows` x `cols` cells anchored at its cell;
// `dynamic`: a dynamic-array formula (kept as one by a save). An array formula stays
// dynamic when it was.
FormulaPtr AsArrayFormula(const Formula& f, int rows, int cols, bool dynamic = false);
bool IsDynamicArrayFormula(const Formula& f);
// Whether it is one, and its extent.
bool IsArrayFormula(const Formula& f, int* rows, int* cols);
// An array formula over more than one cell fills each of them with its part of the result;
// its other cells are plain cells the calculator writes. Arrays over more cells than this
// give only their own cell a result (the others keep what the file stored).
inline constexpr long kMaxFilledArrayCells = 65536;
// A dynamic-array formula spills over at most this many cells; a larger result gives #SPILL!.
inline constexpr long kMaxSpillCells = 1 << 20;
// The formula as a user entered it: an array result spills (see Formula::maySpill). A file's
// plain formulas are not marked, so that they keep the single result they were saved with.
FormulaPtr AsEnteredFormula(FormulaPtr f);
// Whether the formula spills an array result: a dynamic-array formula, or an entered one.
bool MaySpill(const Formula& f);
// Whether `f` is an array formula whose other cells it fills, and its extent.
bool FillsArrayCells(const Formula& f, int* rows, int* cols);

// The formula moved by (rows, cols) as by copy and paste: relative parts shift, $ parts stay;
// a reference pushed off the sheet becomes #REF!.
// `minRow` 0 lets references reach a held header row (Workbook::HoldHeaderRow).
FormulaPtr Shifted(const Formula& f, int rows, int cols, int minRow = 1);

// The formula copied from one workbook to another: sheet references map by name; a sheet
// the target lacks becomes #REF!.
FormulaPtr Rebased(const Formula& f, const Workbook& from, const Workbook& to);

// Recalculation of a workbook's formula cells. The workbook owns one and tells it about
// every change; reading a formula cell's value goes through Evaluate. A formula that depends
// on itself keeps the result it had (the one a file stored), or 0 when it had none, and so
// does every other formula of the cycle; evaluation never loops.
class Calculator {
 public:
  explicit Calculator(Workbook& book);
  ~Calculator();
  Calculator(const Calculator&) = delete;
  Calculator& operator=(const Calculator&) = delete;

  // A cell's content changed (constant or formula set, cleared or moved): what depends on it
  // becomes stale.
  void CellChanged(uint32_t sheetId, int row, int col);
  // Sheets were inserted, deleted, renamed or moved, or a file was read: the dependency index
  // is rebuilt; cached results stay (formulas reading a deleted sheet are recomputed).
  void StructureChanged();
  // Rows, columns or cells of a sheet were inserted or deleted, after the grid has moved the
  // cells and stored the Adjusted formulas: formulas on that sheet or reading it are
  // recomputed, with what depends on them. Includes StructureChanged.
  void CellsMoved(const StructuralChange& change);
  // Many cells of a range changed at once (a large clear or paste): formulas reading into it
  // are recomputed, with what depends on them. Cheaper than a CellChanged per cell.
  void RangeChanged(uint32_t sheetId, const Range& range);
  // The value of the cell at (sheet index, row, col), computing stale formulas first
  // (iteratively: long chains do not recurse). Constants are returned as they are.
  Value Evaluate(int sheet, int row, int col);
  // Stale formulas, what depends on them, and volatile functions.
  void RecalcIfNeeded();
  // Every formula.
  void RecalcAll();
  // Formulas that may spill and wait for their result are computed (before a cell is read:
  // where a formula spills is known only once it is computed).
  void ComputePendingSpills();
  // The extents of the array formulas over several cells of a sheet that overlap `range`;
  // `spills` false leaves out those of dynamic-array formulas (their cells may be typed over).
  std::vector<Range> ArraysOverlapping(uint32_t sheetId, const Range& range, bool spills = true);
  // The cell of the array formula whose extent holds (row, col) of sheet `sheetId`, when that
  // is another cell: a cell an array fills or a dynamic array spills over.
  std::optional<std::pair<int, int>> ArrayAnchor(uint32_t sheetId, int row, int col);

 private:
  struct State;
  Workbook& book_;
  std::unique_ptr<State> state_;
};

}  // namespace ddt::grid::formula
