// Scope guards around engine and window state that members of the input workbook switch
// off for a while and must switch back on however they leave.
#pragma once

#include "ddtable/dt_if.h"
#include "ddtable/window.h"

namespace ddt::input {

// Keeps the engine's change notifications blocked for the guard's lifetime.
class ModifiedBlock {
 public:
  explicit ModifiedBlock(CDT_IF* engine) : engine_(engine) { engine_->BlockModified(true); }
  ~ModifiedBlock() { engine_->BlockModified(false); }
  ModifiedBlock(const ModifiedBlock&) = delete;
  ModifiedBlock& operator=(const ModifiedBlock&) = delete;

 private:
  CDT_IF* engine_;
};

// Switches a window's redrawing off for the guard's lifetime; on the way out redrawing is
// switched on again and, when Invalidate() was asked for, the window is repainted whole.
class RedrawOff {
 public:
  explicit RedrawOff(ddt::platform::Window& window) : window_(window) { window_.SetRedraw(false); }
  ~RedrawOff() {
    window_.SetRedraw(true);
    if (invalidate_) window_.Invalidate();
  }
  RedrawOff(const RedrawOff&) = delete;
  RedrawOff& operator=(const RedrawOff&) = delete;
  void InvalidateOnExit() { invalidate_ = true; }

 private:
  ddt::platform::Window& window_;
  bool invalidate_ = false;
};

}  // namespace ddt::input
