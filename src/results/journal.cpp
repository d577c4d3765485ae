#include "results/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace ddt::results {
namespace {

constexpr char kMagic[4] = {'D', 'J', 'R', '1'};
constexpr std::size_t kFrameHeader = 12;  // magic, payload length, checksum

uint32_t Crc32(const char* data, std::size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutString(std::string& out, std::string_view s) {
  PutU32(out, static_cast<uint32_t>(s.size()));
  out += s;
}

class Reader {
 public:
  Reader(const char* data, std::size_t size) : p_(data), end_(data + size) {}
  bool U32(uint32_t& v) {
    if (end_ - p_ < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(p_[i])) << (8 * i);
    p_ += 4;
    return true;
  }
  bool U16(uint16_t& v) {
    uint32_t w = 0;
    if (!U32(w) || w > 0xFFFF) return false;
    v = static_cast<uint16_t>(w);
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t w = 0;
    if (!U32(w)) return false;
    v = static_cast<int32_t>(w);
    return true;
  }
  bool String(std::string& s) {
    uint32_t n = 0;
    if (!U32(n) || static_cast<std::size_t>(end_ - p_) < n) return false;
    s.assign(p_, n);
    p_ += n;
    return true;
  }
  bool AtEnd() const { return p_ == end_; }

 private:
  const char* p_;
  const char* end_;
};

void PutBorder(std::string& out, const engine::CellBorder& b) {
  PutU32(out, b.style);
  PutU32(out, b.color);
}
bool GetBorder(Reader& in, engine::CellBorder& b) { return in.U16(b.style) && in.U32(b.color); }

// A value as its kind (0 empty, 1 number, 2 text, 3 boolean, 4 error) and its content.
void PutValue(std::string& out, const engine::CellData& value) {
  PutU32(out, static_cast<uint32_t>(value.kind));
  switch (value.kind) {
    case CDT_IF::CellView::Number: {
      uint64_t bits = 0;
      std::memcpy(&bits, &value.number, sizeof bits);
      PutU32(out, static_cast<uint32_t>(bits));
      PutU32(out, static_cast<uint32_t>(bits >> 32));
      break;
    }
    case CDT_IF::CellView::Text: PutString(out, value.text); break;
    case CDT_IF::CellView::Bool: PutU32(out, value.boolean ? 1 : 0); break;
    case CDT_IF::CellView::Error: PutU32(out, value.errorCode); break;
    default: break;
  }
}
bool GetValue(Reader& in, engine::CellData& value) {
  uint32_t kind = 0, a = 0, b = 0;
  if (!in.U32(kind)) return false;
  switch (kind) {
    case 0: value = engine::CellData{}; return true;
    case 1: {
      if (!in.U32(a) || !in.U32(b)) return false;
      const uint64_t bits = static_cast<uint64_t>(a) | (static_cast<uint64_t>(b) << 32);
      double d = 0;
      std::memcpy(&d, &bits, sizeof d);
      value = engine::CellData::Number(d);
      return true;
    }
    case 2: {
      std::string t;
      if (!in.String(t)) return false;
      value = engine::CellData::Text(std::move(t));
      return true;
    }
    case 3:
      if (!in.U32(a)) return false;
      value = engine::CellData::Bool(a != 0);
      return true;
    case 4:
      if (!in.U32(a) || !engine::IsCellErrorCode(a)) return false;
      value = engine::CellData::Error(static_cast<uint8_t>(a));
      return true;
    default:
      return false;
  }
}

bool DecodePayload(const char* data, std::size_t size, JournalRecord& record) {
  Reader in(data, size);
  uint32_t count = 0;
  if (!in.U32(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    JournalCell cell;
    engine::CellLook& s = cell.style;
    if (!in.String(cell.sheet) || !in.I32(cell.row) || !in.I32(cell.col) ||
        !in.String(cell.name) || !GetValue(in, cell.value) || !in.String(cell.formula) ||
        !in.String(s.numberFormat) ||
        !in.U16(s.pattern) || !in.U32(s.patternFg) || !in.U32(s.patternBg) ||
        !in.U32(s.fontColor) || !GetBorder(in, s.left) || !GetBorder(in, s.right) ||
        !GetBorder(in, s.top) || !GetBorder(in, s.bottom))
      return false;
    record.push_back(std::move(cell));
  }
  return in.AtEnd();
}

}  // namespace

std::string JournalPath(const std::string& workbookPath) { return workbookPath + ".journal"; }

std::string EncodeRecord(const JournalRecord& record) {
  std::string payload;
  PutU32(payload, static_cast<uint32_t>(record.size()));
  for (const JournalCell& cell : record) {
    const engine::CellLook& s = cell.style;
    PutString(payload, cell.sheet);
    PutU32(payload, static_cast<uint32_t>(cell.row));
    PutU32(payload, static_cast<uint32_t>(cell.col));
    PutString(payload, cell.name);
    PutValue(payload, cell.value);
    PutString(payload, cell.formula);
    PutString(payload, s.numberFormat);
    PutU32(payload, s.pattern);
    PutU32(payload, s.patternFg);
    PutU32(payload, s.patternBg);
    PutU32(payload, s.fontColor);
    PutBorder(payload, s.left);
    PutBorder(payload, s.right);
    PutBorder(payload, s.top);
    PutBorder(payload, s.bottom);
  }
  std::string frame(kMagic, sizeof kMagic);
  PutU32(frame, static_cast<uint32_t>(payload.size()));
  PutU32(frame, Crc32(payload.data(), payload.size()));
  return frame + payload;
}

RunJournal::~RunJournal() {
  if (fd_ >= 0) ::close(fd_);
}

bool RunJournal::Append(const JournalRecord& record) {
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
  }
  const std::string frame = EncodeRecord(record);
  std::size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = ::write(fd_, frame.data() + done, frame.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::fdatasync(fd_) == 0;
}

bool RunJournal::Remove() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  return std::remove(path_.c_str()) == 0 || errno == ENOENT;
}

std::vector<JournalRecord> RunJournal::Read(const std::string& path) {
  std::vector<JournalRecord> records;
  std::ifstream file(path, std::ios::binary);
  if (!file) return records;
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::size_t at = 0;
  while (data.size() - at >= kFrameHeader && std::memcmp(data.data() + at, kMagic, 4) == 0) {
    Reader head(data.data() + at + 4, 8);
    uint32_t size = 0, crc = 0;
    head.U32(size);
    head.U32(crc);
    if (data.size() - at - kFrameHeader < size) break;  // torn at the end
    const char* payload = data.data() + at + kFrameHeader;
    if (Crc32(payload, size) != crc) break;
    JournalRecord record;
    if (!DecodePayload(payload, size, record)) break;
    records.push_back(std::move(record));
    at += kFrameHeader + size;
  }
  return records;
}

}  // namespace ddt::results
