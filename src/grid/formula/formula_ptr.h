// A counted reference to a parsed formula, one pointer wide: every formula cell holds one,
// and cells filled from one formula share it. The count lives in the formula itself.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace ddt::grid::formula {

class Formula;  // defined in formula/ast.h
void AddRef(const Formula* f) noexcept;
void Release(const Formula* f) noexcept;  // deletes the formula with its last reference

// T is Formula while a new formula is built (MakeFormula), const Formula once it is shared.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}  // NOLINT: as a null pointer
  explicit Ref(T* p) noexcept : p_(p) {
    if (p_) AddRef(p_);
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) noexcept : Ref(o.get()) {}  // NOLINT
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(o.release()) {}  // NOLINT
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) Release(p_);
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset() noexcept { Ref().swap(*this); }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }
  // Gives up the reference without releasing it (for a converting move).
  T* release() noexcept { return std::exchange(p_, nullptr); }

  template <class U>
  bool operator==(const Ref<U>& o) const noexcept {
    return p_ == o.get();
  }
  bool operator==(std::nullptr_t) const noexcept { return p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

using FormulaPtr = Ref<const Formula>;

}  // namespace ddt::grid::formula
