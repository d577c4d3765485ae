// The process-wide clipboard of the engine's views: one block of cells at a time, taken by a
// copy or a cut and put back by pastes. Used from one thread.
#pragma once

#include <optional>

#include "grid/cell_block.h"

namespace ddt::grid {
class Workbook;
}

namespace ddt::engine {

class Clipboard {
 public:
  // The one clipboard; it listens for workbooks whose sheets go, so that a block taken from
  // one keeps its formulas as text.
  static Clipboard& Instance();
  ~Clipboard();
  Clipboard(const Clipboard&) = delete;
  Clipboard& operator=(const Clipboard&) = delete;

  void Put(grid::ClipBlock block, bool cut) {
    block_ = std::move(block);
    cut_ = cut;
  }
  const grid::ClipBlock* Block() const { return block_ ? &*block_ : nullptr; }
  bool IsCut() const { return cut_; }
  void Clear() { block_.reset(); }

 private:
  Clipboard();
  static void SourceGoing(const grid::Workbook& book);

  std::optional<grid::ClipBlock> block_;
  bool cut_ = false;
};

}  // namespace ddt::engine
