// Read access to a zip archive (libzip) with the bounds of io_limits.h: entries are checked
// against their declared sizes before inflating and counted again while they inflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "grid/io/zip/inflated_part.h"

struct zip;
struct zip_stat;

namespace ddt::grid {
struct CarriedArchive;
}

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
  // The entry's uncompressed size as the archive declares it (not checked: Stream counts);
  // 0 when the entry is missing.
  uint64_t DeclaredSize(std::string_view name) const;
  // Inflates an entry and hands it to `sink` in chunks. Throws GridError when the entry is
  // missing, damaged, larger than `maxBytes`, expands suspiciously, or the archive's total
  // read so far passes kMaxArchiveBytes.
  void Stream(std::string_view name, uint64_t maxBytes,
              const std::function<void(const char* data, size_t size)>& sink);
  // The whole entry inflated in one call (libdeflate) into memory of its size, with the
  // checks of Stream and its CRC compared. Entries libdeflate cannot take (neither deflated
  // nor stored, or encrypted) and every failure go through Stream instead, so that a damaged
  // or hostile entry is refused with the same error.
  InflatedPart Inflate(std::string_view name, uint64_t maxBytes);
  // Stream for an entry Inflate has already returned (the reader gave its memory back and
  // needs it again): the same checks, but not counted a second time toward the archive's
  // total.
  void StreamAgain(std::string_view name, uint64_t maxBytes,
                   const std::function<void(const char* data, size_t size)>& sink);
  // The whole entry as a string (for small parts).
  std::string Read(std::string_view name, uint64_t maxBytes);
  // Every entry name, with "/" between folders whatever the archive used.
  std::vector<std::string> Names() const;
  // An archive in memory holding the named entries as they are stored here (compressed
  // bytes copied, nothing inflated). Names that are missing are left out.
  std::shared_ptr<CarriedArchive> CopyEntries(const std::vector<std::string>& names) const;

 private:
  int64_t Locate(std::string_view name) const;
  // Finds the entry and refuses it on its declared sizes; throws GridError.
  uint64_t CheckedEntry(const std::string& entry, struct zip_stat* st) const;
  bool InflateWhole(uint64_t index, const struct zip_stat& st, InflatedPart& out);
  static std::string Folded(std::string_view name);

  zip* archive_ = nullptr;
  uint64_t totalRead_ = 0;
  // Archives written with "\\" between folders: lower-case names with "/" -> entry.
  std::unordered_map<std::string, int64_t> backslashed_;
};

}  // namespace ddt::grid::io
