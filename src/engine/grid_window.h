// GridWindow: the window a binding hosts its grid in. It is a visible child of the data
// table's window (id 2000, rectangle (0, 0, 500, 500)) and owns the grid workbook, "the book
// object" that the binding and a few data-table members work on. Beside the workbook it keeps
// the view state a screen would show: the selection and active cell of each sheet (the
// SheetView, which also cuts, copies and pastes), sheet tabs, whether the user may delete
// cells or give input at all, and whether an in-cell edit is in progress.
#pragma once

#include "engine/sheet_view.h"
#include "grid/workbook.h"
#include "ddtable/window.h"

namespace ddt::engine {

class GridWindow : public platform::Window {
 public:
  GridWindow() = default;
  ~GridWindow() override;

  // Creates the window under parent (a top-level window when parent is null). False when the
  // window cannot be created, e.g. because the parent window does not exist.
  bool CreateControl(platform::Window* parent);

  grid::Workbook& Book() { return book_; }
  const grid::Workbook& Book() const { return book_; }
  SheetView& View() { return view_; }
  const SheetView& View() const { return view_; }

  bool ShowTabs() const { return showTabs_; }
  void SetShowTabs(bool show) { showTabs_ = show; }
  bool AllowDelete() const { return allowDelete_; }
  void SetAllowDelete(bool allow) { allowDelete_ = allow; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  // In-cell editing of the active cell.
  void StartEdit() { editing_ = true; }
  void CancelEdit() { editing_ = false; }
  bool Editing() const { return editing_; }

 private:
  grid::Workbook book_;
  SheetView view_{book_};
  bool showTabs_ = false;
  bool allowDelete_ = false;
  bool enabled_ = true;
  bool editing_ = false;
};

// Shows the "Fail to create Formula One instance." message box and ends the process with a
// failure exit code. Both bindings call it when their control window cannot be created.
[[noreturn]] void FailControlCreation();

}  // namespace ddt::engine
