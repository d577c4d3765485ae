// The text of a cell value: one pointer to an immutable, reference-counted character block.
//
// A cell holds millions of these, so the text is kept out of line: a Value stays 16 bytes,
// and a text copied from cell to cell, or from a file's shared-string table into its cells,
// shares one block instead of a copy per cell. The empty text needs no block.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ddt::grid {

class SharedText {
 public:
  SharedText() noexcept = default;
  SharedText(std::string_view s) : rep_(Make(s)) {}  // NOLINT: a text converts implicitly
  SharedText(const std::string& s) : SharedText(std::string_view(s)) {}
  SharedText(const char* s) : SharedText(std::string_view(s)) {}
  SharedText(const SharedText& o) noexcept : rep_(o.rep_) {
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedText(SharedText&& o) noexcept : rep_(std::exchange(o.rep_, nullptr)) {}
  SharedText& operator=(const SharedText& o) noexcept {
    SharedText copy(o);
    std::swap(rep_, copy.rep_);
    return *this;
  }
  SharedText& operator=(SharedText&& o) noexcept {
    std::swap(rep_, o.rep_);
    return *this;
  }
  ~SharedText() {
    if (rep_ && rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(rep_);
  }

  std::string_view view() const noexcept {
    return rep_ ? std::string_view(rep_->chars, rep_->size) : std::string_view();
  }
  operator std::string_view() const noexcept { return view(); }  // NOLINT
  std::string str() const { return std::string(view()); }
  // Always terminated by a zero byte.
  const char* c_str() const noexcept { return rep_ ? rep_->chars : ""; }
  const char* data() const noexcept { return c_str(); }
  size_t size() const noexcept { return rep_ ? rep_->size : 0; }
  bool empty() const noexcept { return size() == 0; }
  char operator[](size_t i) const noexcept { return rep_->chars[i]; }

  friend bool operator==(const SharedText& a, const SharedText& b) noexcept {
    return a.rep_ == b.rep_ || a.view() == b.view();
  }
  friend bool operator==(const SharedText& a, std::string_view b) noexcept {
    return a.view() == b;
  }
  friend bool operator==(const SharedText& a, const std::string& b) noexcept {
    return a.view() == b;
  }
  friend bool operator==(const SharedText& a, const char* b) noexcept { return a.view() == b; }

 private:
  struct Rep {
    std::atomic<uint32_t> refs;
    uint32_t size;
    char chars[1];  // size characters and a zero byte
  };
  static Rep* Make(std::string_view s);
  static void Free(Rep* rep) noexcept;

  Rep* rep_ = nullptr;
};

}  // namespace ddt::grid
