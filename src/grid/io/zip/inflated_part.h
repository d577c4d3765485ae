// An archive entry inflated whole into memory of its own, followed by one zero byte (so that
// a scanner can stop at the end without checking bounds at every byte). The memory is mapped
// anonymously: a reader that has consumed the front of a large part can hand those pages
// back (Release) while it builds what it reads, so the part and its result are not both
// held whole at the same time.
#pragma once

#include <cstddef>

namespace ddt::grid::io {

class InflatedPart {
 public:
  // Memory for `size` bytes and the zero after them; throws GridError when none can be had.
  explicit InflatedPart(size_t size);
  ~InflatedPart();
  InflatedPart(InflatedPart&& other) noexcept;
  InflatedPart& operator=(InflatedPart&& other) noexcept;
  InflatedPart(const InflatedPart&) = delete;
  InflatedPart& operator=(const InflatedPart&) = delete;

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }

  // Gives back the whole pages below `offset`; they read as zero afterwards. Returns
  // whether anything was given back (the part is then no longer whole).
  bool Release(size_t offset);
  // Whether every byte is still as inflated.
  bool Whole() const { return released_ == 0; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t mapped_ = 0;
  size_t released_ = 0;
};

}  // namespace ddt::grid::io
