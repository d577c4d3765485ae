#include "grid/io/xls/ole2_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr size_t kHeaderBytes = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kDirEntryBytes = 128;
constexpr uint8_t kStreamObject = 2;
constexpr uint8_t kRootObject = 5;

[[noreturn]] void Damaged(const std::string& what) {
  throw GridError("the .xls container is damaged (" + what + ")", ErrorKind::Damaged);
}

uint16_t U16(std::string_view b, size_t at) {
  if (at + 2 > b.size()) Damaged("short read");
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(std::string_view b, size_t at) {
  return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : file_(file) {
    if (file.size() < kHeaderBytes) Damaged("no header");
    const uint16_t shift = U16(file, 30);
    const uint16_t miniShift = U16(file, 32);
    if (shift != 9 && shift != 12) Damaged("bad sector size");
    if (miniShift != 6) Damaged("bad mini sector size");
    sectorSize_ = size_t{1} << shift;
    sectorCount_ = (file.size() + sectorSize_ - 1) / sectorSize_;  // an upper bound
    miniCutoff_ = U32(file, 56);
    ReadFat();
    directory_ = Chain(U32(file, 48), fat_, sectorSize_, file_, true);
    const std::string_view dir(directory_);
    if (dir.size() < kDirEntryBytes || dir[66] != static_cast<char>(kRootObject))
      Damaged("no root entry");
    miniFat_ = ToU32s(Chain(U32(file, 60), fat_, sectorSize_, file_, true));
    uint64_t rootSize = U32(dir, 120);
    ministream_ = Chain(U32(dir, 116), fat_, sectorSize_, file_, true);
    if (rootSize > ministream_.size()) Damaged("mini stream shorter than declared");
    ministream_.resize(rootSize);
  }

  std::optional<std::string> Stream(std::string_view wanted) const {
    const std::string_view dir(directory_);
    std::vector<size_t> entries = RootChildren();
    // A directory whose tree is broken: any entry of that name.
    if (!Find(entries, wanted)) {
      entries.clear();
      for (size_t at = 0; at + kDirEntryBytes <= dir.size(); at += kDirEntryBytes)
        entries.push_back(at);
    }
    for (size_t at : entries) {
      if (static_cast<uint8_t>(dir[at + 66]) != kStreamObject) continue;
      if (!NameIs(dir, at, wanted)) continue;
      const uint32_t start = U32(dir, at + 116);
      const uint64_t size = U32(dir, at + 120);  // streams over 4 GB do not occur here
      std::string data;
      if (size < miniCutoff_) data = Chain(start, miniFat_, kMiniSectorSize, ministream_, false);
      else data = Chain(start, fat_, sectorSize_, file_, true);
      if (data.size() < size) Damaged("stream shorter than declared");
      data.resize(size);
      return data;
    }
    return std::nullopt;
  }

 private:
  static constexpr size_t kMiniSectorSize = 64;

  static std::vector<uint32_t> ToU32s(const std::string& bytes) {
    std::vector<uint32_t> out(bytes.size() / 4);
    for (size_t i = 0; i < out.size(); ++i) out[i] = U32(bytes, i * 4);
    return out;
  }

  static bool NameIs(std::string_view dir, size_t at, std::string_view wanted) {
    const size_t bytes = U16(dir, at + 64);
    if (bytes != (wanted.size() + 1) * 2) return false;
    for (size_t i = 0; i < wanted.size(); ++i) {
      uint16_t c = U16(dir, at + 2 * i);
      char w = wanted[i];
      if (c > 0x7F || std::tolower(static_cast<int>(c)) != std::tolower(static_cast<unsigned char>(w)))
        return false;
    }
    return true;
  }

  bool Find(const std::vector<size_t>& entries, std::string_view wanted) const {
    for (size_t at : entries)
      if (static_cast<uint8_t>(directory_[at + 66]) == kStreamObject && NameIs(directory_, at, wanted))
        return true;
    return false;
  }

  // Offsets of the directory entries directly below the root (a tree of siblings), so that
  // streams of embedded objects in sub-storages are never taken for the workbook's own.
  std::vector<size_t> RootChildren() const {
    const std::string_view dir(directory_);
    const size_t entries = dir.size() / kDirEntryBytes;
    std::vector<size_t> out;
    std::vector<bool> seen(entries, false);
    std::vector<uint32_t> todo{U32(dir, 76)};
    while (!todo.empty()) {
      const uint32_t id = todo.back();
      todo.pop_back();
      if (id >= entries || seen[id]) continue;  // no entry, or a loop in the tree
      seen[id] = true;
      const size_t at = size_t{id} * kDirEntryBytes;
      out.push_back(at);
      todo.push_back(U32(dir, at + 68));
      todo.push_back(U32(dir, at + 72));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  const char* Sector(uint32_t index) const {
    const uint64_t offset = (static_cast<uint64_t>(index) + 1) * sectorSize_;
    if (offset + sectorSize_ > file_.size()) Damaged("sector beyond the end of the file");
    return file_.data() + offset;
  }

  void ReadFat() {
    std::vector<uint32_t> fatSectors;
    for (size_t i = 0; i < kHeaderDifatEntries; ++i) {
      uint32_t s = U32(file_, 76 + 4 * i);
      if (s == kFreeSector || s == kEndOfChain) break;
      fatSectors.push_back(s);
    }
    // Further FAT sector locations come in a chain of DIFAT sectors.
    uint32_t difat = U32(file_, 68);
    const size_t perSector = sectorSize_ / 4 - 1;
    for (size_t steps = 0; difat != kEndOfChain && difat != kFreeSector; ++steps) {
      if (steps > sectorCount_) Damaged("looping sector chain");
      const std::string_view s(Sector(difat), sectorSize_);
      for (size_t i = 0; i < perSector; ++i) {
        uint32_t f = U32(s, 4 * i);
        if (f != kFreeSector) fatSectors.push_back(f);
      }
      difat = U32(s, 4 * perSector);
    }
    if (fatSectors.size() > sectorCount_) Damaged("too many FAT sectors");
    fat_.reserve(fatSectors.size() * sectorSize_ / 4);
    for (uint32_t f : fatSectors) {
      const uint64_t offset = (static_cast<uint64_t>(f) + 1) * sectorSize_;
      if (offset >= file_.size()) Damaged("FAT sector beyond the end of the file");
      const std::string_view s(file_.data() + offset,
                               std::min<uint64_t>(sectorSize_, file_.size() - offset));
      for (size_t i = 0; i + 4 <= s.size(); i += 4) fat_.push_back(U32(s, i));
    }
  }

  // The bytes of a chain of sectors of `unit` bytes inside `space`; regular sectors are
  // offset by the header (`headerFirst`). A chain visits each sector of the space at most
  // once, so a longer one loops: it is refused before it collects more than the space holds
  // (a FAT is up to 128 times longer than the file has sectors).
  std::string Chain(uint32_t start, const std::vector<uint32_t>& table, size_t unit,
                    std::string_view space, bool headerFirst) const {
    std::string out;
    const size_t units = (space.size() + unit - 1) / unit - (headerFirst && !space.empty() ? 1 : 0);
    const size_t maxSteps = std::min(table.size(), units);
    uint32_t s = start;
    for (size_t steps = 0; s != kEndOfChain && s != kFreeSector; ++steps) {
      if (s >= table.size()) Damaged("sector index out of range");
      const uint64_t offset = (static_cast<uint64_t>(s) + (headerFirst ? 1 : 0)) * unit;
      if (offset >= space.size()) Damaged("sector beyond the end of the file");
      if (steps >= maxSteps) Damaged("looping sector chain");
      out.append(space.data() + offset, std::min<uint64_t>(unit, space.size() - offset));
      s = table[s];
    }
    return out;
  }

  std::string_view file_;
  size_t sectorSize_ = 512;
  size_t sectorCount_ = 0;
  uint32_t miniCutoff_ = 4096;
  std::vector<uint32_t> fat_, miniFat_;
  std::string directory_, ministream_;
};

}  // namespace

std::optional<std::string> ReadCompoundStream(std::string_view file, std::string_view name) {
  return CompoundFile(file).Stream(name);
}

std::optional<std::string> ReadCompoundStream(std::string_view file,
                                              std::initializer_list<std::string_view> names,
                                              size_t* which) {
  CompoundFile compound(file);
  size_t i = 0;
  for (std::string_view name : names) {
    if (auto s = compound.Stream(name)) {
      if (which) *which = i;
      return s;
    }
    ++i;
  }
  return std::nullopt;
}

}  // namespace ddt::grid::io
