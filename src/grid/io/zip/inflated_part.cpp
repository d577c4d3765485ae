#include "grid/io/zip/inflated_part.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

size_t PageSize() {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

constexpr size_t kHugePageBytes = size_t{2} << 20;

}  // namespace

InflatedPart::InflatedPart(size_t size) : size_(size) {
  // Large parts go in huge pages where the system allows it (a fault per 2 MiB, not per
  // 4 KiB): the memory starts on a huge-page boundary, so that Release splits none.
  const bool huge = size >= kHugePageBytes;
  const size_t unit = huge ? kHugePageBytes : PageSize();
  mapped_ = (size + 1 + unit - 1) / unit * unit;
  const size_t asked = huge ? mapped_ + unit : mapped_;
  void* p = ::mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw GridError("out of memory (" + std::to_string(size) + " bytes)");
  char* raw = static_cast<char*>(p);
  data_ = raw;
  if (huge) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(raw);
    data_ = raw + ((unit - at % unit) % unit);
    if (data_ > raw) ::munmap(raw, static_cast<size_t>(data_ - raw));
    if (raw + asked > data_ + mapped_)
      ::munmap(data_ + mapped_, static_cast<size_t>(raw + asked - (data_ + mapped_)));
    ::madvise(data_, mapped_, MADV_HUGEPAGE);
  }
  data_[size] = 0;  // fresh anonymous pages are zero already; said here for the reader
}

InflatedPart::~InflatedPart() {
  if (data_) ::munmap(data_, mapped_);
}

InflatedPart::InflatedPart(InflatedPart&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      released_(std::exchange(other.released_, 0)) {}

InflatedPart& InflatedPart::operator=(InflatedPart&& other) noexcept {
  if (this != &other) {
    if (data_) ::munmap(data_, mapped_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    released_ = std::exchange(other.released_, 0);
  }
  return *this;
}

bool InflatedPart::Release(size_t offset) {
  if (offset > size_) offset = size_;
  // Whole huge pages, so that none is split.
  const size_t unit = size_ >= kHugePageBytes ? kHugePageBytes : PageSize();
  const size_t end = offset / unit * unit;
  if (end <= released_) return false;
  // The pages stay mapped and read as zero; only their memory goes back.
  if (::madvise(data_ + released_, end - released_, MADV_DONTNEED) != 0) return false;
  released_ = end;
  return true;
}

}  // namespace ddt::grid::io
