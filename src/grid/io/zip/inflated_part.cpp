#include "grid/io/zip/inflated_part.h"

#include <sys/mman.h>
#include <unistd.h>

#include <utility>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

size_t PageSize() {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

}  // namespace

InflatedPart::InflatedPart(size_t size) : size_(size) {
  const size_t page = PageSize();
  mapped_ = (size + 1 + page - 1) / page * page;
  void* p = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw GridError("out of memory (" + std::to_string(size) + " bytes)");
  data_ = static_cast<char*>(p);
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
  const size_t end = offset / PageSize() * PageSize();
  if (end <= released_) return false;
  // The pages stay mapped and read as zero; only their memory goes back.
  if (::madvise(data_ + released_, end - released_, MADV_DONTNEED) != 0) return false;
  released_ = end;
  return true;
}

}  // namespace ddt::grid::io
