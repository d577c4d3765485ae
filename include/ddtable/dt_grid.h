// CDT_GRID: what both engine bindings are: a grid workbook hosted in a control window under
// the data table's window, with each sheet's parameter names kept out of the cells while the
// workbook is in memory (row 1 of a file becomes the column headings, the data moves up by
// one row) and cached per sheet. Cells, sheets, selections, formats, files and the clipboard
// are answered here, the same for both; a binding adds only what it does differently.
//
// What a binding decides (each in one place):
//   - the control window it creates, and how (CDT_F1 a window with change events, CDT_QX a
//     plain one, created under a machine-wide lock);
//   - the view: dialogs, printing, sizing, editing, row texts, the fill style and the change
//     notifications (BlockModified, RegisterNotify), which do nothing here;
//   - how a change refreshes the header cache (OnModified);
//   - whether header names are trimmed when a file is read (TrimsHeaderNames);
//   - how new sheets are set up for the view (SetUpInsertedSheets);
//   - what Open and Save do around the shared file step (blocking notifications, moving the
//     cursor, clearing the change flag);
//   - extents and range deletion, where the headless binding reports fixed values.
//
// Ownership: the engine owns its control window (and with it the grid workbook) and the
// header lists it hands out. Threads: one caller at a time.
#pragma once

#include <memory>

#include "ddtable/dt_if.h"

namespace ddt::engine {
class BookAccess;
class HeaderCache;
class GridWindow;
}  // namespace ddt::engine
namespace ddt::grid {
class Workbook;
}

class DDT_API CDT_GRID : public CDT_IF {
 public:
  ~CDT_GRID() override;
  CDT_GRID(const CDT_GRID&) = delete;
  CDT_GRID& operator=(const CDT_GRID&) = delete;

  // Without a screen the view, its dialogs, change notifications, row texts and the fill
  // style do nothing; a binding that shows its grid (CDT_F1) replaces them.
  void RegisterNotify(CDTNotify*) override {}
  void LaunchDesigner() override {}
  void FormatCellsDlg() override {}
  void GotoDlg() override {}
  void FindDlg() override {}
  void DeleteDlg() override {}
  void InsertDlg() override {}
  void ReplaceDlg() override {}
  void FilePrint(int) override {}
  void FilePrintSetupDlg() override {}
  void Resize(int, int, int, int) override {}
  void AutoResizeColumns(int, int, int) override {}
  void StartEdit() override {}
  void RedrawWindow() override {}
  void ShowActiveCell() override {}
  void CancelEdit() override {}
  void SetAllowDelete(int) override {}
  void SetEnabled(bool) override {}
  void InitView() override {}
  void BlockModified(bool) override {}
  void SetRowText(int, int, const char*) override {}
  void SetPattern(short, uint32_t, uint32_t) override {}

  // Open reads any workbook file the grid recognises and moves row 1 of every sheet into the
  // column headings (trimmed when the binding asks for it); the last sheet is current
  // afterwards. Save writes the names back as row 1 of every sheet; unnamed columns among
  // named ones are written, and named from then on, with their column letters. Both throw
  // grid::GridError on failure and leave the workbook in memory as it was.
  void Open(const char* path) override;
  void Save(const char* path) override;
  int GetModified() override;
  void SetModified(int modified) override;
  void SetShowTabs(bool show) override;

  // Sheets: always those of the workbook itself, also after sheets were inserted, deleted
  // or renamed. GetSheetName of an index outside the sheets is "".
  std::string GetSheetName(int sheet) override;
  void SetSheetName(int sheet, const char* name) override;
  long GetNumSheets() override;
  void SetNumSheets(long count) override;
  long GetSheet() override;
  void SetSheet(int sheet) override;  // nothing for 0 or the current sheet
  void InsertSheets(int position, int count) override;
  void DeleteSheets(int first, int count) override;

  // Header texts.
  void SetColText(int sheet, int col, const char* text) override;
  CStringList* GetHeaderList(int sheet) override;
  long FindHeaderColumn(int sheet, const std::string& name) override;
  std::string GetColText(int sheet, int col) override;  // the cached name, else the letters

  // Cells.
  void SetValue(int sheet, int row, int col, const char* text) override;
  std::string GetValue(int sheet, int row, int col) override;
  std::string GetFormattedText(int sheet, int row, int col) override;
  void SetFormula(int sheet, int row, int col, const char* formula) override;
  std::string GetFormula(int sheet, int row, int col) override;

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
  long GetMaxRow() override;  // the grid's
  long GetMaxCol() override;  // the grid's

  // Cursor, visibility and calculation.
  void SetActiveCell(int row, int col) override;
  void GetActiveCell(int& row, int& col) override;
  void SetRowHidden(int firstRow, int lastRow, bool hidden) override;
  void SetColHidden(int firstCol, int lastCol, bool hidden) override;
  void Recalc() override;
  void RecalcIfNeeded() override;

  // Formats.
  std::string GetNumberFormat() override;
  void SetNumberFormat(const char* format) override;
  void GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) override;
  uint32_t GetFontColor() override;
  ColumnLook GetColumnLook(int sheet, int col) override;
  void SetFontColor(uint32_t color) override;

  // Editing and clipboard.
  void EditClear(DT_CLEAR_TYPE kind) override;
  void EditCut() override;
  void EditCopy() override;
  void EditPaste() override;
  void EditDelete(int kind) override;
  void EditInsert(int kind) override;

  // Bulk operations, typed sets and file notes (see CDT_IF).
  void VisitRange(int sheet, int firstRow, int firstCol, int lastRow, int lastCol,
                  CellVisitor& visitor) override;
  void CopyCell(int sheet, int row, int col, CDT_IF& from, int fromSheet, int fromRow,
                int fromCol) override;  // `from` must be a CDT_GRID too
  void ResetCell(int sheet, int row, int col) override;
  void CopyRangeFrom(int sheet, int firstRow, int firstCol, int lastRow, int lastCol, CDT_IF& from,
                     int fromSheet, int fromFirstRow, int fromFirstCol, int fromLastRow,
                     int fromLastCol) override;
  void SetNumber(int sheet, int row, int col, double value) override;
  void SetText(int sheet, int row, int col, std::string_view text) override;
  void SetBool(int sheet, int row, int col, bool value) override;
  bool Uses1904Dates() override;
  std::vector<std::string> GetSaveNotes() override;
  std::vector<std::string> GetReadNotes() override;
  void HoldEmptyHeaderRow() override;
  bool HasHeaderCell(int sheet, int col) override;
  void SetHeaderText(int sheet, int col, std::string_view text) override;
  void CopySheetLookUnlessOwn(int toSheet, CDT_IF& from, int fromSheet) override;

 protected:
  // Takes ownership of the binding's control window; the binding creates it (CreateControl)
  // in its own constructor.
  CDT_GRID(ddt::platform::Window* parent, std::unique_ptr<ddt::engine::GridWindow> window);

  ddt::engine::GridWindow& Host() { return *m_pHost; }
  ddt::grid::Workbook& Book();

  // Moves row 1 of every sheet into the column headings and rebuilds the header cache.
  virtual void CreateHeader();
  // Whether CreateHeader removes white space around the names it takes.
  virtual bool TrimsHeaderNames() const { return false; }
  // Called by InsertSheets after the grid inserted sheets position..position+count-1.
  virtual void SetUpInsertedSheets(int /*position*/, int /*count*/) {}

 private:
  friend class ddt::engine::BookAccess;  // the engine's own code and its tests

  std::unique_ptr<ddt::engine::GridWindow> m_pHost;
  // The cache lives behind a pointer so that this header needs no internal type; the
  // reference names the same object for the member functions.
  std::unique_ptr<ddt::engine::HeaderCache> m_pHeaderCache;

 protected:
  ddt::engine::HeaderCache& m_HeaderCache;
};
