#include "engine/grid_window.h"

#include <cstdlib>

#include "engine/engine_limits.h"
#include "platform/message_box.h"
#include "platform/resources.h"

namespace ddt::engine {

GridWindow::~GridWindow() { Destroy(); }

bool GridWindow::CreateControl(platform::Window* parent) {
  const platform::Rect rect{0, 0, kControlWindowWidth, kControlWindowHeight};
  return Create(parent, platform::WS_VISIBLE, rect, kControlWindowId);
}

void FailControlCreation() {
  platform::MessageBox(platform::LoadString(platform::IDS_CREATE_ENGINE_FAILED));
  // A process without its grid cannot go on; it ends, and says that it failed.
  std::exit(EXIT_FAILURE);
}

}  // namespace ddt::engine
