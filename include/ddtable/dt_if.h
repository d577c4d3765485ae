// CDT_IF: the spreadsheet engine every data table talks to. A data table owns exactly one
// engine (CDT_F1 for the interactive editor, CDT_QX for headless script runs) and reaches
// cells, sheets, header texts, selections, formats, files and the clipboard only through it.
//
// Counting: sheets, rows and columns from 1; in a range -1 as both rows means whole columns,
// -1 as both columns whole rows. Sheet 0 in GetValue, GetFormattedText and SetValue is the
// current sheet. Colours are 0x00BBGGRR. The header texts (parameter names) are kept apart
// from the cells: in memory cell row 1 is the first data row; in a file they are row 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ddtable/export.h"

class CDTNotify;

namespace ddt::platform {
class Window;
}

// An ordered list of strings, searched by exact value.
using CStringList = std::vector<std::string>;

class DDT_API CDT_IF {
 public:
  // Both enumerations are int-sized with every int a valid value, so a caller's out-of-range
  // kind reaches the engine intact and is ignored there ("other values do nothing").
  enum DT_CLEAR_TYPE : int { DT_CLEAR_ALL = 0, DT_CLEAR_VALUES = 1, DT_CLEAR_FORMATS = 2 };
  enum DT_SHIFT_TYPE : int {
    DT_SHIFT_HORIZONTAL = 0,  // remaining cells move horizontally
    DT_SHIFT_VERTICAL = 1,    // remaining cells move vertically
    DT_SHIFT_ROWS = 2,        // whole rows are inserted or removed
    DT_SHIFT_COLUMNS = 3      // whole columns are inserted or removed
  };

  // The parent is the data table's window; the derived engine decides what to do with it.
  explicit CDT_IF(ddt::platform::Window* parent);
  CDT_IF(const CDT_IF& other);             // copies the three fields only
  CDT_IF& operator=(const CDT_IF& other);  // copies the three fields only
  virtual ~CDT_IF();

  // View and dialogs.
  virtual void RegisterNotify(CDTNotify* notify) = 0;
  virtual void LaunchDesigner() = 0;
  virtual void FormatCellsDlg() = 0;
  virtual void GotoDlg() = 0;
  virtual void FindDlg() = 0;
  virtual void DeleteDlg() = 0;
  virtual void InsertDlg() = 0;
  virtual void ReplaceDlg() = 0;
  virtual void FilePrint(int flag) = 0;
  virtual void FilePrintSetupDlg() = 0;
  virtual void Resize(int x, int y, int width, int height) = 0;
  virtual void AutoResizeColumns(int firstCol, int lastCol, int flag) = 0;
  virtual void StartEdit() = 0;
  virtual void RedrawWindow() = 0;
  virtual void ShowActiveCell() = 0;
  virtual void CancelEdit() = 0;
  virtual void SetAllowDelete(int allow) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void InitView() = 0;

  // File and change tracking. Open and Save throw on failure.
  virtual void Open(const char* path) = 0;
  virtual void Save(const char* path) = 0;
  virtual void BlockModified(bool block) = 0;
  virtual void OnModified(int sheet) = 0;
  virtual int GetModified() = 0;
  virtual void SetModified(int modified) = 0;
  virtual void SetShowTabs(bool show) = 0;

  // Sheets.
  virtual std::string GetSheetName(int sheet) = 0;
  virtual void SetSheetName(int sheet, const char* name) = 0;
  virtual long GetNumSheets() = 0;
  virtual void SetNumSheets(long count) = 0;
  virtual long GetSheet() = 0;
  virtual void SetSheet(int sheet) = 0;
  virtual void InsertSheets(int position, int count) = 0;
  virtual void DeleteSheets(int first, int count) = 0;

  // Header texts.
  virtual void SetColText(int sheet, int col, const char* text) = 0;
  virtual void SetRowText(int sheet, int row, const char* text) = 0;
  // Entry i-1 is the header text of column i. Owned by the engine; null for a bad sheet.
  virtual CStringList* GetHeaderList(int sheet) = 0;
  // The column of the first header text equal to name in GetHeaderList(sheet); -1 when
  // there is none. The bindings answer from an index kept with the list.
  virtual long FindHeaderColumn(int sheet, const std::string& name);

  // Cells.
  virtual void SetValue(int sheet, int row, int col, const char* text) = 0;  // may throw
  virtual std::string GetValue(int sheet, int row, int col) = 0;
  virtual std::string GetFormattedText(int sheet, int row, int col) = 0;
  virtual void SetFormula(int sheet, int row, int col, const char* formula) = 0;
  virtual std::string GetFormula(int sheet, int row, int col) = 0;
  virtual std::string GetColText(int sheet, int col) = 0;

  // Selection and ranges (current sheet).
  virtual short GetSelectionCount() = 0;
  virtual void GetSelection(short index, int& firstRow, int& firstCol, int& lastRow,
                            int& lastCol) = 0;
  virtual void SetSelection(int firstRow, int firstCol, int lastRow, int lastCol) = 0;
  virtual void AddSelection(int firstRow, int firstCol, int lastRow, int lastCol) = 0;
  virtual void ClearRange(int firstRow, int firstCol, int lastRow, int lastCol,
                          DT_CLEAR_TYPE kind) = 0;
  virtual void InsertRange(int firstRow, int firstCol, int lastRow, int lastCol,
                           DT_SHIFT_TYPE kind) = 0;
  virtual void DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                           DT_SHIFT_TYPE kind) = 0;
  virtual long GetLastRow() = 0;
  virtual long GetLastCol() = 0;
  virtual long GetMaxRow() = 0;
  virtual long GetMaxCol() = 0;

  // Cursor, visibility and calculation.
  virtual void SetActiveCell(int row, int col) = 0;
  virtual void GetActiveCell(int& row, int& col) = 0;
  virtual void SetRowHidden(int firstRow, int lastRow, bool hidden) = 0;
  virtual void SetColHidden(int firstCol, int lastCol, bool hidden) = 0;
  virtual void Recalc() = 0;
  virtual void RecalcIfNeeded() = 0;

  // Formats of the selection (set) or active cell (get).
  virtual std::string GetNumberFormat() = 0;
  virtual void SetNumberFormat(const char* format) = 0;
  virtual void GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) = 0;
  virtual void SetPattern(short pattern, uint32_t foreground, uint32_t background) = 0;
  virtual uint32_t GetFontColor() = 0;
  virtual void SetFontColor(uint32_t color) = 0;
  // The look of a column as its first data row shows it: what a column of parameters gives
  // the cells a table adds to it.
  struct ColumnLook {
    short pattern = 0;
    uint32_t foreground = 0;
    uint32_t background = 0;
    uint32_t fontColor = 0;
    std::string numberFormat;
  };
  // The look of column col of sheet `sheet` (0: the current sheet). Moves neither the
  // selection nor the active cell, nor the current sheet. Throws for a bad sheet or column.
  virtual ColumnLook GetColumnLook(int sheet, int col) = 0;

  // Editing and clipboard (current selection).
  virtual void EditClear(DT_CLEAR_TYPE kind) = 0;
  virtual void EditCut() = 0;
  virtual void EditCopy() = 0;
  virtual void EditPaste() = 0;
  virtual void EditDelete(int kind) = 0;  // 0..3 as DT_SHIFT_TYPE; other values do nothing
  virtual void EditInsert(int kind) = 0;  // 0..3 as DT_SHIFT_TYPE; other values do nothing

  // --- Bulk operations -------------------------------------------------------------------
  // What a cell holds, as VisitRange shows it. Texts are views into the engine's cells,
  // valid during the visit only; two cells sharing one stored text give the same data().
  struct CellView {
    enum Kind : int { Empty = 0, Number = 1, Text = 2, Bool = 3, Error = 4 };
    Kind kind = Empty;
    double number = 0;        // Number
    bool boolean = false;     // Bool
    std::string_view text;    // Text: the text; Error: its display text ("#N/A")
    bool formula = false;     // the value is a formula's result
    bool forcedText = false;  // a text entered with a leading apostrophe
    // The cell's effective number format ("General" when none was given), and an id that
    // is the same for cells of the same effective style during one visit.
    std::string_view numberFormat;
    uint32_t styleId = 0;
  };
  // Receives the cells of a range from VisitRange.
  class CellVisitor {
   public:
    virtual ~CellVisitor() = default;
    virtual void Visit(int row, int col, const CellView& cell) = 0;
  };
  // Shows visitor every cell the engine keeps in rows firstRow..lastRow, columns
  // firstCol..lastCol of sheet (0: the current sheet), row by row, left to right. Cells never
  // given anything are skipped; a cell holding only a format comes as Empty. Formula results
  // are brought up to date first. The visitor must not change the workbook. Cost: the kept
  // cells of those rows. Throws for a bad sheet.
  virtual void VisitRange(int sheet, int firstRow, int firstCol, int lastRow, int lastCol,
                          CellVisitor& visitor) = 0;
  // VisitRange with any callable taking (int row, int col, const CellView&).
  template <class Fn>
  void ForEachCell(int sheet, int firstRow, int firstCol, int lastRow, int lastCol, Fn&& fn) {
    struct Adapter final : CellVisitor {
      explicit Adapter(Fn& f) : fn(f) {}
      void Visit(int row, int col, const CellView& cell) override { fn(row, col, cell); }
      Fn& fn;
    } adapter(fn);
    VisitRange(sheet, firstRow, firstCol, lastRow, lastCol, adapter);
  }

  // Copies one cell from engine `from` (it may be this one) into (sheet, row, col): its
  // formula (as a formula, references kept as written) or its value with its type (a text
  // that looks like a number stays text; an empty source empties the target), and its
  // effective number format. Does not move the selection or the active cell of either
  // engine. Throws for a bad sheet, row or column.
  virtual void CopyCell(int sheet, int row, int col, CDT_IF& from, int fromSheet, int fromRow,
                        int fromCol) = 0;
  // Empties the cell and gives it the General number format; its other formats stay.
  virtual void ResetCell(int sheet, int row, int col) = 0;
  // Copies rows fromFirstRow..fromLastRow, columns fromFirstCol..fromLastCol of sheet
  // fromSheet of `from` to (firstRow, firstCol) of sheet `sheet` of this engine, as a paste
  // would (values, formulas moved with their relative references, formats); -1 as both rows
  // (columns) means whole columns (rows). lastRow and lastCol bound the target. Throws for a
  // bad sheet or range.
  virtual void CopyRangeFrom(int sheet, int firstRow, int firstCol, int lastRow, int lastCol,
                             CDT_IF& from, int fromSheet, int fromFirstRow, int fromFirstCol,
                             int fromLastRow, int fromLastCol) = 0;
  // Typed sets: the value as it is, never parsed as a user's typing would be (a text "=1"
  // stays that text). The cell keeps its format. Throws for a bad sheet, row or column, or
  // a text over the cell limit.
  virtual void SetNumber(int sheet, int row, int col, double value) = 0;
  virtual void SetText(int sheet, int row, int col, std::string_view text) = 0;
  virtual void SetBool(int sheet, int row, int col, bool value) = 0;
  // True when the workbook counts dates from 1904 (a file from an old Mac spreadsheet).
  virtual bool Uses1904Dates() = 0;
  // True when `text`, typed into a cell, is entered as that same text: not a number, a
  // boolean, an error, a percentage or a formula. A text cell written to a plain-text file
  // needs quoting, to read back as text, exactly when this is false.
  static bool TypedEntryStaysText(std::string_view text);

  // What the last Save could not keep in the file (parts a structural edit made wrong, a
  // macro project under a name that cannot hold one), one sentence each; empty when it kept
  // everything. What the last Open noticed without refusing the file (text that was not
  // UTF-8), one sentence each.
  virtual std::vector<std::string> GetSaveNotes() = 0;
  virtual std::vector<std::string> GetReadNotes() = 0;
  // Gives every sheet an empty header row held out of the cells, as a workbook built in
  // memory has: row 1 of the file it will be saved to lies above its data rows.
  virtual void HoldEmptyHeaderRow() = 0;
  // The header row held out of the cells (row 1 of the file): whether sheet `sheet` has a
  // cell there in column col (false when no header row is held), and a text put into it
  // (nothing when no header row is held). Throws for a bad sheet.
  virtual bool HasHeaderCell(int sheet, int col) = 0;
  virtual void SetHeaderText(int sheet, int col, std::string_view text) = 0;
  // Gives sheet toSheet the look of sheet fromSheet of `from` (column widths, frozen panes,
  // data validations, hidden or not), unless toSheet has a look of its own (one read from
  // a file). Throws for a bad sheet.
  virtual void CopySheetLookUnlessOwn(int toSheet, CDT_IF& from, int fromSheet) = 0;

  short GetFileFormat() const { return m_nFileFormat; }

  int m_bInternalChange = 0;  // while set, change events do not refresh the header cache
  int m_bChanged = 0;         // set on every change event; cleared by Open and Save
  short m_nFileFormat = 0;    // file-type code of the workbook last read
};
