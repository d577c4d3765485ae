// CDT_QX: the headless engine of the test-script functions. Its grid sits in a window under
// the (hidden) frame of the data table; nobody looks at it, so dialogs, notifications and
// view operations do nothing, and it reports fixed extents (16384 rows, 255 columns). Like
// the interactive engine it keeps parameter names as column headings while the workbook is in
// memory and writes them back as row 1 on Save, but it takes names as they stand, without
// trimming. Several processes may create headless engines at once: creating the control is
// serialised across the machine by the named mutex "MutexToProtectFormula".
//
// The number of sheets, the current sheet and the sheet names are always those of the
// workbook itself, also after sheets were inserted, deleted or renamed.
//
// Ownership: the binding owns its control window (and the grid workbook in it) and the header
// lists it hands out. The parent window belongs to the caller. Threads: one caller at a time.
#pragma once

#include <memory>

#include "ddtable/dt_if.h"

namespace ddt::engine {
class HeaderCache;
class GridWindow;
struct EngineTestPeer;
}  // namespace ddt::engine

class DDT_API CDT_QX : public CDT_IF {
 public:
  // Creates the control window under parent while holding the named mutex. When it cannot be
  // created, shows "Fail to create Formula One instance." and ends the process with a failure
  // exit code.
  explicit CDT_QX(ddt::platform::Window* parent);
  ~CDT_QX() override;
  CDT_QX(const CDT_QX&) = delete;
  CDT_QX& operator=(const CDT_QX&) = delete;

  // View and dialogs: nothing happens.
  void RegisterNotify(CDTNotify* notify) override;
  void LaunchDesigner() override;
  void FormatCellsDlg() override;
  void GotoDlg() override;
  void FindDlg() override;
  void DeleteDlg() override;
  void InsertDlg() override;
  void ReplaceDlg() override;
  void FilePrint(int flag) override;
  void FilePrintSetupDlg() override;
  void Resize(int x, int y, int width, int height) override;
  void AutoResizeColumns(int firstCol, int lastCol, int flag) override;
  void StartEdit() override;
  void RedrawWindow() override;
  void ShowActiveCell() override;
  void CancelEdit() override;
  void SetAllowDelete(int allow) override;
  void SetEnabled(bool enabled) override;
  void InitView() override;

  // Open reads any workbook file the grid recognises and moves row 1 of every sheet, as it
  // stands, into the column headings. Save writes the names back as row 1 of every sheet
  // (unnamed columns among named ones with their letters). Both throw grid::GridError on
  // failure and leave the workbook in memory as it was.
  void Open(const char* path) override;
  void Save(const char* path) override;
  void BlockModified(bool block) override;  // nothing: there are no notifications
  void OnModified(int sheet) override;
  int GetModified() override;
  void SetModified(int modified) override;
  void SetShowTabs(bool show) override;

  // Sheets. GetSheetName of an index outside the sheets is "".
  std::string GetSheetName(int sheet) override;
  void SetSheetName(int sheet, const char* name) override;
  long GetNumSheets() override;
  void SetNumSheets(long count) override;
  long GetSheet() override;
  void SetSheet(int sheet) override;
  void InsertSheets(int position, int count) override;
  void DeleteSheets(int first, int count) override;

  // Header texts. SetRowText does nothing.
  void SetColText(int sheet, int col, const char* text) override;
  void SetRowText(int sheet, int row, const char* text) override;
  CStringList* GetHeaderList(int sheet) override;
  long FindHeaderColumn(int sheet, const std::string& name) override;

  // Cells.
  void SetValue(int sheet, int row, int col, const char* text) override;
  std::string GetValue(int sheet, int row, int col) override;
  std::string GetFormattedText(int sheet, int row, int col) override;
  void SetFormula(int sheet, int row, int col, const char* formula) override;
  std::string GetFormula(int sheet, int row, int col) override;
  std::string GetColText(int sheet, int col) override;

  // Selection and ranges. DeleteRange removes whole rows or columns only (kinds 2 and 3);
  // kinds 0 and 1 leave the workbook unchanged.
  short GetSelectionCount() override;
  void GetSelection(short index, int& firstRow, int& firstCol, int& lastRow,
                    int& lastCol) override;
  void SetSelection(int firstRow, int firstCol, int lastRow, int lastCol) override;
  void AddSelection(int firstRow, int firstCol, int lastRow, int lastCol) override;
  void ClearRange(int firstRow, int firstCol, int lastRow, int lastCol,
                  DT_CLEAR_TYPE kind) override;
  void InsertRange(int firstRow, int firstCol, int lastRow, int lastCol,
                   DT_SHIFT_TYPE kind) override;
  void DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                   DT_SHIFT_TYPE kind) override;
  long GetLastRow() override;
  long GetLastCol() override;
  long GetMaxRow() override;  // 16384
  long GetMaxCol() override;  // 255

  // Cursor, visibility and calculation.
  void SetActiveCell(int row, int col) override;
  void GetActiveCell(int& row, int& col) override;
  void SetRowHidden(int firstRow, int lastRow, bool hidden) override;
  void SetColHidden(int firstCol, int lastCol, bool hidden) override;
  void Recalc() override;
  void RecalcIfNeeded() override;

  // Formats. SetPattern does nothing.
  std::string GetNumberFormat() override;
  void SetNumberFormat(const char* format) override;
  void GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) override;
  void SetPattern(short pattern, uint32_t foreground, uint32_t background) override;
  uint32_t GetFontColor() override;
  void SetFontColor(uint32_t color) override;

  // Editing and clipboard.
  void EditClear(DT_CLEAR_TYPE kind) override;
  void EditCut() override;
  void EditCopy() override;
  void EditPaste() override;
  void EditDelete(int kind) override;
  void EditInsert(int kind) override;

  ddt::grid::Workbook* GetBook() override;

  ddt::engine::GridWindow* GetControlWindow() { return m_pControl.get(); }

 private:
  friend struct ddt::engine::EngineTestPeer;

  // Moves row 1 of every sheet, as it stands, into the column headings and rebuilds the
  // header cache.
  void CreateHeader();

  std::unique_ptr<ddt::engine::GridWindow> m_pControl;
  // The cache lives behind a pointer so that this header needs no internal type; the
  // reference names the same object for the member functions.
  std::unique_ptr<ddt::engine::HeaderCache> m_pHeaderCache;
  ddt::engine::HeaderCache& m_HeaderCache;
};
