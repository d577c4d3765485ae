#include "engine/clipboard.h"

#include "grid/workbook.h"

namespace ddt::engine {

Clipboard& Clipboard::Instance() {
  static Clipboard clipboard;
  return clipboard;
}

Clipboard::Clipboard() { grid::Workbook::SetContentsGoingListener(&Clipboard::SourceGoing); }

// Workbooks destroyed after the clipboard (static ones) have nothing to tell it.
Clipboard::~Clipboard() { grid::Workbook::SetContentsGoingListener(nullptr); }

void Clipboard::SourceGoing(const grid::Workbook& book) {
  Clipboard& clip = Instance();
  if (clip.block_) book.KeepFormulasAsText(*clip.block_);
}

}  // namespace ddt::engine
