// Read access to a zip archive (libzip) with the bounds of io_limits.h: entries are checked
// against their declared sizes before inflating and counted again while they inflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct zip;

namespace ddt::grid::io {

class ZipReader {
 public:
  // Opens the archive at `path`; throws GridError saying why it is not a readable zip.
  explicit ZipReader(const std::string& path);
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Whether an entry of that name exists (case-insensitive, as part names are).
  bool Has(std::string_view name) const;
  // Inflates an entry and hands it to `sink` in chunks. Throws GridError when the entry is
  // missing, damaged, larger than `maxBytes`, expands suspiciously, or the archive's total
  // read so far passes kMaxArchiveBytes.
  void Stream(std::string_view name, uint64_t maxBytes,
              const std::function<void(const char* data, size_t size)>& sink);
  // The whole entry as a string (for small parts).
  std::string Read(std::string_view name, uint64_t maxBytes);

 private:
  zip* archive_ = nullptr;
  uint64_t totalRead_ = 0;
};

}  // namespace ddt::grid::io
