// The spreadsheet grid: a workbook of sheets of cells, with headings, styles, formulas and
// number formats. It is the model only: the selection, the active cell and the clipboard are
// the engine's view of it (engine/sheet_view.h), which edits it through these members.
//
// Counting: sheets, rows and columns from 1. In a Range, -1 (kAll) as both rows means every
// row (whole columns), -1 as both columns every column (whole rows). Sheet 0 in the cell
// members means the current sheet. A bad index (other than these forms) throws GridError;
// it never writes anywhere else.
//
// Storage scales with the cells in use: whole-row, whole-column and whole-sheet operations
// cost a pass over the used cells, and styling a whole column stores a column style.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/cell_block.h"
#include "grid/file_session.h"
#include "grid/formula/formula_ptr.h"
#include "grid/grid_error.h"
#include "grid/limits.h"
#include "grid/style.h"
#include "grid/value.h"

namespace ddt::grid {

namespace formula {
class Formula;
class Calculator;
}  // namespace formula

class Sheet;

struct Range {
  int firstRow = 1, firstCol = 1, lastRow = 1, lastCol = 1;
  bool operator==(const Range&) const = default;
  bool WholeColumns() const { return firstRow == kAll && lastRow == kAll; }
  bool WholeRows() const { return firstCol == kAll && lastCol == kAll; }
};

// The range with the -1 forms spelled out (rows 1..kMaxRows, columns 1..kMaxCols) and each
// pair in order; throws GridError for anything else out of bounds.
Range NormalizeRange(const Range& range);
inline bool CoversAllRows(const Range& r) { return r.firstRow == 1 && r.lastRow == kMaxRows; }
inline bool CoversAllCols(const Range& r) { return r.firstCol == 1 && r.lastCol == kMaxCols; }

// Where a cell lies on the outline of the range being formatted.
struct StyleEdges {
  bool top = false, bottom = false, left = false, right = false;
};

// How the remaining cells move when a range is inserted or deleted.
enum class Shift { CellsHorizontal = 0, CellsVertical = 1, Rows = 2, Columns = 3 };
// What a clear removes.
enum class Clear { All = 0, Values = 1, Formats = 2 };

// One cell. A formula cell keeps its parsed form and its cached result in `value`.
struct Cell {
  Value value;
  formula::FormulaPtr formula;  // null for a constant
  StyleId style = kDefaultStyle;  // kDefaultStyle: the row, column or sheet style applies
  bool forcedText = false;        // entered with a leading apostrophe
  bool dirty = false;             // formula result is stale or missing; on a cell without
                                  // a formula: the array formula filling it is stale
};

// Dialogs and print requests the host may want to see; by default nothing happens.
struct UiHooks {
  std::function<void(std::string_view dialog)> dialog;  // "designer", "format-cells", "goto",
                                                        // "find", "delete", "insert",
                                                        // "replace", "print-setup"
  std::function<void(int flag)> print;
};

class Workbook {
 public:
  Workbook();  // one empty sheet named "Sheet1", current
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  // Process-wide handle of this workbook (for CopyRangeFrom); 0 is never a handle.
  uint32_t Handle() const { return handle_; }
  static Workbook* FromHandle(uint32_t handle);

  // --- Sheets -------------------------------------------------------------------------
  int SheetCount() const;
  void SetSheetCount(int count);  // adds blank sheets at the end or removes from the end
  int CurrentSheet() const;
  void SetCurrentSheet(int sheet);
  std::string SheetName(int sheet) const;
  void SetSheetName(int sheet, std::string_view name);  // no duplicate check; not empty
  int FindSheet(std::string_view name) const;           // exact match; 0 when absent
  // New sheets are named "SheetN" with the smallest N no sheet uses; the current sheet stays
  // the same sheet. At most kMaxSheets sheets.
  void InsertSheets(int before, int count);  // before == SheetCount()+1 appends
  // Deleting every sheet is refused; a deleted current sheet passes to the one at `first`.
  void DeleteSheets(int first, int count);
  // Sheets have identities that survive renames and moves; formulas refer to them by id.
  uint32_t SheetId(int sheet) const;
  int SheetIndexOfId(uint32_t id) const;  // 0 when the sheet no longer exists
  bool Date1904() const { return date1904_; }
  void SetDate1904(bool on) { date1904_ = on; }

  // --- Cells (sheet 0: current sheet) ---------------------------------------------------
  // Enter text as a user would type it (see format/entry.h): "=..." is a formula, a leading
  // apostrophe forces text, numbers, booleans, error literals and percentages are parsed.
  // A percentage gives a General cell a percent format. Text longer than kMaxCellTextLength
  // and refused formulas throw GridError and leave the cell as it was.
  void SetEntry(int sheet, int row, int col, std::string_view text);
  // The entry as typed: formulas with their "=", constants without number formatting.
  std::string GetEntry(int sheet, int row, int col);
  // The value as displayed, with the cell's number format applied.
  std::string GetFormattedText(int sheet, int row, int col);
  // Set a formula (with or without "="); an empty text clears the cell's content.
  void SetFormula(int sheet, int row, int col, std::string_view formula);
  // A formula cell's formula without "="; for a constant cell its entry.
  std::string GetFormula(int sheet, int row, int col);
  // Text at (row, col) of the current sheet: the same as the entry.
  std::string GetText(int row, int col) { return GetEntry(0, row, col); }
  void SetText(int row, int col, std::string_view text) { SetEntry(0, row, col, text); }

  // Typed access, used by the file readers and writers and by the formula evaluator.
  void SetCellValue(int sheet, int row, int col, Value value);  // a constant
  void SetCellFormula(int sheet, int row, int col, formula::FormulaPtr f,
                      std::optional<Value> cachedResult);  // no result: evaluated on read
  void SetCellStyle(int sheet, int row, int col, StyleId style);
  Value GetCellValue(int sheet, int row, int col);  // evaluated when stale
  // Null for an unused cell. The pointer is valid until the sheet's cells next change.
  const Cell* FindCell(int sheet, int row, int col) const;
  // Effective style of a cell: its own, else its row's, else its column's, else the sheet's.
  // The reference is valid until the next style is interned.
  const Style& CellStyle(int sheet, int row, int col) const;
  // Every used cell of a sheet in row-major order.
  void ForEachCell(int sheet, const std::function<void(int row, int col, const Cell&)>& fn) const;
  // Used cells inside a range of a sheet, row-major. Cost: the used cells of those rows.
  void ForEachCellIn(int sheet, const Range& range,
                     const std::function<void(int row, int col, const Cell&)>& fn) const;
  StyleTable& Styles() { return styles_; }
  const StyleTable& Styles() const { return styles_; }

  // --- Headings and columns (current sheet unless a sheet is given) ---------------------
  // Headings are plain texts ("" when none); they move with their columns and rows.
  std::string ColHeading(int col) const;
  void SetColHeading(int col, std::string_view text);
  // The last column of the current sheet with a heading; 0 when none.
  int LastHeadingCol() const;
  // The name the held header cell of a column gave when it was taken (see HoldHeaderRow);
  // moves with its column like the heading.
  std::string HeaderName(int col) const;
  void SetHeaderName(int col, std::string_view name);
  std::string RowHeading(int row) const;
  void SetRowHeading(int row, std::string_view text);
  double ColWidth(int sheet, int col) const;  // in characters; default 8.43
  void SetColWidth(int sheet, int col, double width);
  // Fit the widths of the range's columns to their formatted texts and headings; columns
  // with neither keep their width.
  void FitColumns(const Range& range);
  void SetRowsHidden(int sheet, int firstRow, int lastRow, bool hidden);
  void SetColsHidden(int sheet, int firstCol, int lastCol, bool hidden);
  bool RowHidden(int sheet, int row) const;
  bool ColHidden(int sheet, int col) const;
  StyleId RowStyle(int sheet, int row) const;
  StyleId ColStyle(int sheet, int col) const;
  StyleId SheetStyle(int sheet) const;
  void SetColStyle(int sheet, int firstCol, int lastCol, StyleId style);
  void SetRowStyle(int sheet, int firstRow, int lastRow, StyleId style);

  // --- Extents of the current sheet -----------------------------------------------------
  int LastUsedRow() const;  // last row with a cell holding content; 0 when none
  int LastUsedCol() const;  // last column with content (headings do not count); 0 when none
  int MaxRow() const { return kMaxRows; }
  int MaxCol() const { return kMaxCols; }

  // --- Ranges of the current sheet ------------------------------------------------------
  void InsertRange(const Range& range, Shift shift);
  void DeleteRange(const Range& range, Shift shift);
  void ClearRange(const Range& range, Clear what);

  // --- Formats and clearing of ranges of a sheet (0: current) ---------------------------
  // Rewrites the styles of the ranges as one change: `edit` gets each style and where the cell
  // lies on the outline of its range. Whole rows, columns and the whole sheet keep their format
  // as line or sheet styles; only cells with a style of their own are rewritten.
  using StyleEdit = std::function<void(Style&, const StyleEdges&)>;
  void FormatRanges(int sheet, const std::vector<Range>& ranges, const StyleEdit& edit);
  // Clears the ranges as one change; when one of them would change part of an array formula
  // nothing is cleared (GridError).
  void ClearRanges(int sheet, const std::vector<Range>& ranges, Clear what);

  // --- Blocks of cells (see cell_block.h) -----------------------------------------------
  // The cells of a range with their values, formulas and the styles they show; whole columns
  // (rows) bring their headings, widths, hidden flags and line styles.
  ClipBlock TakeBlock(int sheet, const Range& range) const;
  // Takes the block and clears the range, as one change. A range cutting through an array
  // formula is refused (GridError) before anything changes.
  ClipBlock CutBlock(int sheet, const Range& range);
  // Puts a block with its top-left cell at (row, col) as one change, replacing what was there
  // (cells beyond the sheet are dropped). `moved` keeps formulas as they are (what was cut),
  // otherwise their relative references move as copies do.
  void PasteBlock(int sheet, int row, int col, const ClipBlock& block, bool moved);
  // Copy a block of another workbook (or this one) into this one, with its top-left cell at
  // the top-left of `to`, as a paste would. Throws GridError for an unknown handle.
  void CopyRangeFrom(int sheet, const Range& to, uint32_t sourceHandle, int sourceSheet,
                     const Range& from);
  // The formulas of a block taken from this workbook, as text: for a block that outlives the
  // sheets it refers to.
  void KeepFormulasAsText(ClipBlock& block) const;
  // Told of a workbook whose sheets are about to go (destroyed, or replaced by
  // ReplaceContents), so that blocks taken from it can keep their formulas as text. One
  // process-wide listener (the engine's clipboard); null for none.
  static void SetContentsGoingListener(void (*listener)(const Workbook&));

  // --- The header row held out of the cells ---------------------------------------------
  // The engine bindings keep row 1 of every sheet (the parameter names) out of the cells
  // while a workbook is in memory. Holding moves every row of every sheet up by one: file
  // row r becomes row r-1, and row 1 becomes row 0, which the cell members do not reach.
  // This is not an edit: cells, row properties and every formula reference move together,
  // so each formula keeps its meaning and its cached result (=A1+1 under the header row
  // reads the header cell, shown as A0; ROW() and INDIRECT count the rows of the file).
  // Releasing moves everything back. Both are one pass over the cells.
  void HoldHeaderRow();
  void ReleaseHeaderRow();
  // Holds an empty header row above the cells as they are (a workbook built in memory, whose
  // rows are all data rows); nothing moves. No effect while a header row is held.
  void HoldEmptyHeaderRow();
  // 1 while the header row is held (file row = row + 1), else 0.
  int RowOrigin() const { return rowOrigin_; }
  // A file read in place (ReadFile with a row origin): between the two calls the file
  // readers put the file's row r at row r - ReadOrigin(), the header row at row 0, which the
  // cell members then reach. The readers give formulas the file's rows and translate them
  // as HoldHeaderRow would; the row origin stays 0 meanwhile, so formula texts read as the
  // file wrote them. EndReadInPlace holds the header row (RowOrigin() becomes the origin).
  // An origin other than 0 or 1 throws.
  void BeginReadInPlace(int origin);
  int ReadOrigin() const { return readOrigin_; }
  void EndReadInPlace();
  // A cell of the held header row of a sheet (0: current); null when unused or not held.
  const Cell* HeaderCell(int sheet, int col) const;
  // Replaces a held header cell's content by a constant, keeping its style (a renamed
  // parameter is written as text).
  void SetHeaderCell(int sheet, int col, Value value);

  // --- Merged ranges (sheet 0: current) -------------------------------------------------
  // Merges come from the file read (the session keeps them); a spill over one is blocked.
  // Ranges in the grid's rows: one reaching into a held header row starts at row 0.
  std::vector<Range> MergedRanges(int sheet) const;
  // Removes every merged range that overlaps `range`, as one change; spills they blocked
  // spill again. Returns the ranges removed (none: nothing changed).
  std::vector<Range> Unmerge(int sheet, const Range& range);

  // --- Calculation ----------------------------------------------------------------------
  void Recalc();          // every formula
  void RecalcIfNeeded();  // what changed, what depends on it, and volatile functions
  formula::Calculator& Calc() { return *calc_; }

  // --- Files (grid/io) ------------------------------------------------------------------
  // Replace the whole workbook by the file; returns the file-type code read (io/file_type.h).
  // On failure throws GridError and leaves the workbook as it was. With `rowOrigin` 1 the
  // file is read with its header row held (as ReadFile, then HoldHeaderRow, without moving
  // the cells a second time).
  int ReadFile(const std::string& path, int fileType, int rowOrigin = 0);
  // Write the workbook (Office Open XML) atomically: temporary file, then rename.
  void WriteFile(const std::string& path, int fileType) const;
  // What the file held beside the grid's own model, carried to the next save (null for a
  // workbook not read from an .xlsx/.xlsm file). The workbook holds it without knowing what
  // it is and tells it of every structural edit.
  const std::shared_ptr<FileSession>& Extras() const { return extras_; }
  void SetExtras(std::shared_ptr<FileSession> extras) { extras_ = std::move(extras); }
  // Others that hear of structural edits (rows and columns inserted or deleted, sheets
  // renamed or removed). The listener must outlive its registration.
  void AddStructureListener(StructureListener* listener);
  void RemoveStructureListener(StructureListener* listener);
  // What the last save could not keep (parts a structural edit made wrong, a macro project
  // saved under a name that cannot hold one), one sentence each; empty when it kept all.
  const std::vector<std::string>& LastSaveNotes() const { return saveNotes_; }
  // What the last read of a file noticed without refusing it (text that was not UTF-8 and
  // was read as Windows-1252), one sentence each; empty when there was nothing to say.
  const std::vector<std::string>& LastReadNotes() const { return readNotes_; }
  void SetReadNotes(std::vector<std::string> notes) { readNotes_ = std::move(notes); }
  // Take over the contents (sheets, cells, styles, date system) of another workbook,
  // keeping this workbook's handle, listener and hooks. Counts as one change.
  void ReplaceContents(Workbook&& other);

  // --- State ----------------------------------------------------------------------------
  bool Modified() const { return modified_; }
  void SetModified(bool on) { modified_ = on; }
  // Called once after every operation that changes content or structure (the model's
  // listener; the engine turns it into the change event of its window).
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }
  void SetUiHooks(UiHooks hooks) { ui_ = std::move(hooks); }
  const UiHooks& Ui() const { return ui_; }
  // Pass a dialog or print request on to the hooks (nothing happens without one).
  void ShowDialog(std::string_view dialog) const;
  void Print(int flag) const;
  // Set-up flags and integers of the control and the default font: stored, no effect.
  void SetFlag(int id, bool on);
  bool Flag(int id) const;
  void SetSetting(int id, int value);
  int Setting(int id) const;
  void SetDefaultFont(std::string_view face, int charset, int size);
  std::string DefaultFontFace() const { return fontFace_; }
  int DefaultFontSize() const { return fontSize_; }

  // For the grid's own modules (formula evaluation, file io).
  Sheet& SheetAt(int sheet);  // sheet 0: current
  const Sheet& SheetAt(int sheet) const;
  // The sheet index (1-based) for a sheet argument (0: current); throws GridError when bad.
  int ResolveSheet(int sheet) const;

 private:
  void Changed();  // sets the modified flag and raises the change event
  // Tells the file session and the structure listeners of an edit.
  void TellStructure(const std::function<void(StructureListener&)>& tell);
  void MoveAllRows(int delta);  // HoldHeaderRow / ReleaseHeaderRow
  void CheckCell(int row, int col) const;
  Sheet& Current() { return *sheets_[current_ - 1]; }
  const Sheet& Current() const { return *sheets_[current_ - 1]; }
  std::string NewSheetName(int taken) const;
  void ClearContent(Sheet& s, int row, int col);
  // Refuses (GridError) an edit of the cells of `range` that would change part of an array
  // formula over several cells; ranges covering whole arrays pass.
  void CheckArrayEdit(const Sheet& s, const Range& range) const;
  [[noreturn]] static void RefuseArrayEdit(const Range& array);
  void PutFormula(Sheet& s, int row, int col, formula::FormulaPtr f);
  // Creates the missing cells an array formula at (row, col) fills, stale until computed.
  void AddArrayCells(Sheet& s, int row, int col);
  void ClearIn(Sheet& s, const Range& range, Clear what);
  void ShiftRange(const Range& range, Shift shift, bool insert);
  // Refuses (GridError) an insertion or deletion that would move or remove part of an
  // array formula over several cells.
  void CheckArrayShift(const Sheet& s, const Range& r, bool rowsMove, bool insert, int bandFirst,
                       int bandLast) const;
  void AdjustFormulas(int kind, int first, int count, int bandFirst, int bandLast);
  // Rewrites the styles of a range of a sheet: whole rows, columns or the sheet change their
  // line styles and only the cells that carry a style of their own.
  void EditStyles(Sheet& s, const Range& range,
                  const std::function<void(Style&, const StyleEdges&)>& edit);
  StyleId CellStyleId(const Sheet& s, int row, int col) const;
  ClipBlock TakeBlockOf(const Sheet& s, const Range& range) const;
  void PasteBlockInto(Sheet& s, int row, int col, const ClipBlock& block, bool moved);
  // After changing the contents of many cells: per-cell notices, or one structural notice.
  void ContentsChanged(const Sheet& s, const std::vector<std::pair<int, int>>& cells);

  uint32_t handle_;
  std::vector<std::unique_ptr<Sheet>> sheets_;
  int current_ = 1;
  uint32_t nextSheetId_ = 1;
  bool date1904_ = false;
  int rowOrigin_ = 0;  // rows held out above row 1 (HoldHeaderRow)
  int readOrigin_ = 0;  // the row origin of a read in place, while it runs
  bool modified_ = false;
  StyleTable styles_;
  std::shared_ptr<FileSession> extras_;
  std::vector<StructureListener*> structureListeners_;
  mutable std::vector<std::string> saveNotes_;
  std::vector<std::string> readNotes_;
  std::unique_ptr<formula::Calculator> calc_;
  std::function<void()> listener_;
  UiHooks ui_;
  std::vector<std::pair<int, int>> settings_;
  std::vector<std::pair<int, bool>> flags_;
  std::string fontFace_ = "Arial";
  int fontCharset_ = 0;
  int fontSize_ = 10;
};

}  // namespace ddt::grid
