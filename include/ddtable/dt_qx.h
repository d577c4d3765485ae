// CDT_QX: the headless engine of the test-script functions. Its grid sits in a window under
// the (hidden) frame of the data table; nobody looks at it, so dialogs, notifications, view
// operations and the fill style do nothing, and it reports fixed extents (16384 rows, 255
// columns). Everything else is the shared grid engine's (CDT_GRID): it keeps parameter names
// as column headings while the workbook is in memory and writes them back as row 1 on Save,
// taking names as they stand, without trimming. Several processes may create headless
// engines at once: creating the control is serialised across the machine by the named mutex
// "MutexToProtectFormula".
//
// Ownership: the binding owns its control window (and the grid workbook in it) and the header
// lists it hands out. The parent window belongs to the caller. Threads: one caller at a time.
#pragma once

#include "ddtable/dt_grid.h"

namespace ddt::engine {
struct EngineTestPeer;
}  // namespace ddt::engine

class DDT_API CDT_QX : public CDT_GRID {
 public:
  // Creates the control window under parent while holding the named mutex. When it cannot be
  // created, shows "Fail to create Formula One instance." and ends the process with a failure
  // exit code.
  explicit CDT_QX(ddt::platform::Window* parent);
  ~CDT_QX() override;
  CDT_QX(const CDT_QX&) = delete;
  CDT_QX& operator=(const CDT_QX&) = delete;

  // Refreshes the list of `sheet` (made current) from its headings and sets the modified
  // flag; a workbook that gained sheets behind the cache first gets a list for each.
  void OnModified(int sheet) override;

  // Removes whole rows or columns only (kinds 2 and 3); kinds 0 and 1 leave the workbook
  // unchanged.
  void DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                   DT_SHIFT_TYPE kind) override;
  long GetMaxRow() override;  // 16384
  long GetMaxCol() override;  // 255

  ddt::engine::GridWindow* GetControlWindow() { return &Host(); }

 private:
  friend struct ddt::engine::EngineTestPeer;
};
