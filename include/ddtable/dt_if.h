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
#include <vector>

#include "ddtable/export.h"

class CDTNotify;

namespace ddt::platform {
class Window;
}
namespace ddt::grid {
class Workbook;
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

  // Editing and clipboard (current selection).
  virtual void EditClear(DT_CLEAR_TYPE kind) = 0;
  virtual void EditCut() = 0;
  virtual void EditCopy() = 0;
  virtual void EditPaste() = 0;
  virtual void EditDelete(int kind) = 0;  // 0..3 as DT_SHIFT_TYPE; other values do nothing
  virtual void EditInsert(int kind) = 0;  // 0..3 as DT_SHIFT_TYPE; other values do nothing

  // The grid workbook behind the engine ("the book object"), for the few data-table members
  // that reach past this interface. Owned by the engine.
  virtual ddt::grid::Workbook* GetBook() = 0;

  short GetFileFormat() const { return m_nFileFormat; }

  int m_bInternalChange = 0;  // while set, change events do not refresh the header cache
  int m_bChanged = 0;         // set on every change event; cleared by Open and Save
  short m_nFileFormat = 0;    // file-type code of the workbook last read
};
