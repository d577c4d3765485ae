#include "engine/control_window.h"

#include "engine/engine_limits.h"
#include "ddtable/dt_notify.h"

namespace ddt::engine {

namespace {
// Sets a flag for the lifetime of a scope and clears it again, also when a sink throws.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};
}  // namespace

ControlWindow::ControlWindow() {
  Book().SetChangeListener([this] { OnChange(); });
}

ControlWindow::~ControlWindow() { Book().SetChangeListener(nullptr); }

void ControlWindow::OnChange() {
  if (!blocked_) {
    FlagScope block(blocked_);
    if (firstSink_ != nullptr) firstSink_->NotifyModified();
    if (secondSink_ != nullptr) secondSink_->NotifyModified();
  }
  Book().SetModified(false);
}

void ControlWindow::OnCellDblClick(int row, int col) {
  if (row != 0 && col != 0) StartEdit();
}

bool ControlWindow::PreTranslateChar(unsigned code) {
  try {
    switch (code) {
      case kCharCopy: View().EditCopy(); return true;
      case kCharPaste: View().EditPaste(); return true;
      case kCharCut: View().EditCut(); return true;
      default: return false;
    }
  } catch (const grid::GridError&) {
    return false;
  }
}

}  // namespace ddt::engine
