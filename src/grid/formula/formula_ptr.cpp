#include "grid/formula/formula_ptr.h"

#include "grid/formula/ast.h"

namespace ddt::grid::formula {

void AddRef(const Formula* f) noexcept { f->refCount.n.fetch_add(1, std::memory_order_relaxed); }

void Release(const Formula* f) noexcept {
  if (f->refCount.n.fetch_sub(1, std::memory_order_acq_rel) == 1) delete f;
}

}  // namespace ddt::grid::formula
