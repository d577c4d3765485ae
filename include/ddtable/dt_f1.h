// CDT_F1: the engine of the interactive editor. It hosts the grid in a control window that is
// a visible child of the data table's window, keeps each sheet's parameter names out of the
// cells while the workbook is in memory (row 1 of a file becomes the column headings, the data
// moves up by one row), caches those names per sheet, and passes the grid's change events on
// to the data table's sink.
//
// Ownership: the binding owns its control window (and with it the grid workbook), its
// internal change sink and the header lists it hands out. The parent window and the sink
// given to RegisterNotify belong to the caller and must outlive their use here.
// Threads: only the thread that owns the window tree calls it.
#pragma once

#include <memory>

#include "ddtable/dt_if.h"

namespace ddt::engine {
class HeaderCache;
class ControlWindow;
class InternalSink;
struct EngineTestPeer;
}  // namespace ddt::engine

class DDT_API CDT_F1 : public CDT_IF {
 public:
  // Creates the control window under parent. When it cannot be created, shows "Fail to
  // create Formula One instance." and ends the process with a failure exit code.
  explicit CDT_F1(ddt::platform::Window* parent);
  ~CDT_F1() override;
  CDT_F1(const CDT_F1&) = delete;
  CDT_F1& operator=(const CDT_F1&) = delete;

  // View and dialogs: dialogs and printing go to the grid's UiHooks.
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

  // Open reads any workbook file the grid recognises and moves row 1 of every sheet (names
  // trimmed) into the column headings; the last sheet is current afterwards. Save writes the
  // names back as row 1 of every sheet; unnamed columns among named ones are written, and
  // named from then on, with their column letters. Both throw grid::GridError on failure and
  // leave the workbook in memory as it was.
  void Open(const char* path) override;
  void Save(const char* path) override;
  void BlockModified(bool block) override;
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

  // Header texts.
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

  // Selection and ranges.
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
  long GetMaxRow() override;
  long GetMaxCol() override;

  // Cursor, visibility and calculation.
  void SetActiveCell(int row, int col) override;
  void GetActiveCell(int& row, int& col) override;
  void SetRowHidden(int firstRow, int lastRow, bool hidden) override;
  void SetColHidden(int firstCol, int lastCol, bool hidden) override;
  void Recalc() override;
  void RecalcIfNeeded() override;

  // Formats. SetPattern also draws thin light-grey borders around the selection.
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

  // The control window, for the host to place it and pass it input (keys, double clicks).
  ddt::engine::ControlWindow* GetControlWindow() { return m_pControl.get(); }

 private:
  friend struct ddt::engine::EngineTestPeer;

  // Moves row 1 of every sheet into the column headings and rebuilds the header cache.
  void CreateHeader();
  // Refills the header list of the current sheet from its column headings.
  void RefillCurrent(CStringList& names);

  std::unique_ptr<ddt::engine::ControlWindow> m_pControl;
  std::unique_ptr<ddt::engine::InternalSink> m_pInternalSink;
  // The cache lives behind a pointer so that this header needs no internal type; the
  // reference names the same object for the member functions.
  std::unique_ptr<ddt::engine::HeaderCache> m_pHeaderCache;
  ddt::engine::HeaderCache& m_HeaderCache;
};
