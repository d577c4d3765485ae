// ControlWindow: the interactive binding's grid window. Beside the grid it holds the block
// flag and two change sinks: the first is the binding's internal sink (it refreshes the
// header cache), the second the sink the data table registers. It turns the grid's change
// event into notifications of both sinks, and clipboard keys into clipboard commands.
#pragma once

#include "engine/grid_window.h"

class CDTNotify;

namespace ddt::engine {

class ControlWindow : public GridWindow {
 public:
  // Subscribes to the change event of its workbook.
  ControlWindow();
  ~ControlWindow() override;

  // While set, change events are not passed on to the sinks.
  bool Blocked() const { return blocked_; }
  void SetBlocked(bool blocked) { blocked_ = blocked; }

  // Sinks are not owned; either may be null.
  void SetFirstSink(CDTNotify* sink) { firstSink_ = sink; }
  void SetSecondSink(CDTNotify* sink) { secondSink_ = sink; }
  CDTNotify* FirstSink() const { return firstSink_; }
  CDTNotify* SecondSink() const { return secondSink_; }

  // The grid changed. Unless blocked, notifies the first sink, then the second, with the
  // block flag set meanwhile so that changes made by a sink raise no nested notification.
  // The grid's own modified flag is cleared in every case.
  void OnChange();

  // A double click at (row, col) of the grid: starts editing when both are non-zero.
  void OnCellDblClick(int row, int col);

  // A character message before the grid sees it. Codes 3, 22 and 24 (Ctrl+C, Ctrl+V,
  // Ctrl+X) copy, paste and cut and count as handled (true). When the grid fails meanwhile
  // the failure is dropped and the message passes on (false), as do all other codes.
  bool PreTranslateChar(unsigned code);

 private:
  bool blocked_ = false;
  CDTNotify* firstSink_ = nullptr;
  CDTNotify* secondSink_ = nullptr;
};

}  // namespace ddt::engine
