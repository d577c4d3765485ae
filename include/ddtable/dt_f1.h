// CDT_F1: the engine of the interactive editor. It hosts the grid in a control window that is
// a visible child of the data table's window, and adds to the shared grid engine (CDT_GRID)
// what a screen needs: dialogs and printing through the grid's UiHooks, the view set-up, the
// fill style with its borders, and change notifications. The grid's change events refresh
// the header cache and then reach the data table's sink; Open, Save and the header rebuild
// block them, so that the engine's own rearrangements notify nobody.
//
// Ownership: the binding owns its control window (and with it the grid workbook), its
// internal change sink and the header lists it hands out. The parent window and the sink
// given to RegisterNotify belong to the caller and must outlive their use here.
// Threads: only the thread that owns the window tree calls it.
#pragma once

#include <memory>

#include "ddtable/dt_grid.h"

namespace ddt::engine {
class ControlWindow;
class InternalSink;
struct EngineTestPeer;
}  // namespace ddt::engine

class DDT_API CDT_F1 : public CDT_GRID {
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

  // Open and Save as CDT_GRID's, with change events blocked throughout; both clear
  // m_bChanged when they succeed, and Open makes cell (1, 1) active.
  void Open(const char* path) override;
  void Save(const char* path) override;
  void BlockModified(bool block) override;
  // Refreshes the header cache: all of it when it holds a different number of sheets than
  // the workbook, else the list of `sheet` when that is the current sheet.
  void OnModified(int sheet) override;

  void SetRowText(int sheet, int row, const char* text) override;  // the sheet is not used
  // Sets the fill of the selection and draws thin light-grey borders around it.
  void SetPattern(short pattern, uint32_t foreground, uint32_t background) override;

  // The control window, for the host to place it and pass it input (keys, double clicks).
  ddt::engine::ControlWindow* GetControlWindow() { return m_pControl; }

 private:
  friend struct ddt::engine::EngineTestPeer;

  // CDT_GRID's, with change events blocked (and the block flag put back afterwards).
  void CreateHeader() override;
  bool TrimsHeaderNames() const override { return true; }
  // Marks the new sheets for the view, as InitView marks every sheet.
  void SetUpInsertedSheets(int position, int count) override;

  ddt::engine::ControlWindow* m_pControl;  // the control window CDT_GRID owns
  std::unique_ptr<ddt::engine::InternalSink> m_pInternalSink;
};
