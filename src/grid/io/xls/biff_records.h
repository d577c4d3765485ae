// The record layer of a BIFF5/BIFF7/BIFF8 workbook stream: records with their lengths checked
// against the stream, records continued in CONTINUE records read as one, and the two string
// encodings (8-bit in the workbook's code page, and BIFF8's compressed or UTF-16 characters).
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/value.h"

namespace ddt::grid::io::biff {

// Record types.
inline constexpr uint16_t kBof = 0x0809;
inline constexpr uint16_t kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409;  // older versions
inline constexpr uint16_t kEof = 0x000A;
inline constexpr uint16_t kContinue = 0x003C;
inline constexpr uint16_t kFilePass = 0x002F;
inline constexpr uint16_t kCodePage = 0x0042;
inline constexpr uint16_t kDateMode = 0x0022;
inline constexpr uint16_t kFormat = 0x041E;
inline constexpr uint16_t kFont = 0x0031;
inline constexpr uint16_t kXf = 0x00E0;
inline constexpr uint16_t kPalette = 0x0092;
inline constexpr uint16_t kBoundSheet = 0x0085;
inline constexpr uint16_t kSst = 0x00FC;
inline constexpr uint16_t kExternSheet = 0x0017;
inline constexpr uint16_t kSupBook = 0x01AE;
inline constexpr uint16_t kExternName = 0x0023;
inline constexpr uint16_t kName = 0x0018;
inline constexpr uint16_t kWindow1 = 0x003D;
inline constexpr uint16_t kRow = 0x0208;
inline constexpr uint16_t kColInfo = 0x007D;
inline constexpr uint16_t kNumber = 0x0203;
inline constexpr uint16_t kRk = 0x027E;
inline constexpr uint16_t kMulRk = 0x00BD;
inline constexpr uint16_t kLabelSst = 0x00FD;
inline constexpr uint16_t kLabel = 0x0204;
inline constexpr uint16_t kRString = 0x00D6;
inline constexpr uint16_t kBlank = 0x0201;
inline constexpr uint16_t kMulBlank = 0x00BE;
inline constexpr uint16_t kBoolErr = 0x0205;
inline constexpr uint16_t kFormula = 0x0006;
inline constexpr uint16_t kString = 0x0207;
inline constexpr uint16_t kShrFmla = 0x04BC;
inline constexpr uint16_t kArray = 0x0221;
inline constexpr uint16_t kTable = 0x0236;  // a data table, after its first cell's FORMULA

// BOF versions and substream types.
inline constexpr uint16_t kBiff5 = 0x0500;
inline constexpr uint16_t kBiff8 = 0x0600;
inline constexpr uint16_t kGlobals = 0x0005;

inline uint16_t U16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}
inline uint32_t U32(const char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }
inline double F64(const char* p) {
  uint64_t bits = U32(p) | static_cast<uint64_t>(U32(p + 4)) << 32;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The number an RK value packs: a 30-bit integer or the high bits of a double, optionally
// divided by 100.
double RkValue(uint32_t rk);

// The error value of a BIFF error code; nothing for an unknown code.
std::optional<ErrorCode> ErrorFromCode(uint8_t code);

// Throws GridError "the .xls workbook stream is damaged (what)".
[[noreturn]] void Damaged(const std::string& what);

struct Record {
  uint16_t type = 0;
  std::string_view data;
};

// Records of a stream from a starting offset. A record whose length runs past the stream is
// damage.
class RecordReader {
 public:
  RecordReader(std::string_view stream, size_t at) : s_(stream), at_(at) {}
  bool Next(Record* r);
  uint16_t PeekType() const { return at_ + 4 <= s_.size() ? U16(s_.data() + at_) : 0; }

 private:
  std::string_view s_;
  size_t at_;
};

// 8-bit text in the workbook's code page (BIFF5 strings) to UTF-8.
class CodePage {
 public:
  CodePage();
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;
  void Set(uint16_t codePage);
  void AppendUtf8(std::string_view bytes, std::string& out) const;
  std::string Utf8(std::string_view bytes) const {
    std::string out;
    AppendUtf8(bytes, out);
    return out;
  }

 private:
  void* iconv_ = nullptr;  // iconv_t; null for Windows-1252, decoded by table
  uint16_t codePage_ = 1252;
};

// Bytes of a record followed by its CONTINUE records, read as one. Characters of a BIFF8
// string that crosses into a continuation take that continuation's own compression flag.
class Pieces {
 public:
  Pieces() = default;
  explicit Pieces(std::string_view first) { Add(first); }
  void Add(std::string_view piece) { pieces_.push_back(piece); }
  bool AtEnd();
  size_t Left();  // bytes not yet read
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  void Skip(size_t n);
  // `count` BIFF8 characters, compressed (Latin-1) or UTF-16, appended as UTF-8.
  void Chars(size_t count, bool wide, std::string& out);

 private:
  void Settle();
  std::vector<std::string_view> pieces_;
  size_t piece_ = 0, pos_ = 0;
};

// Strings as BIFF stores them. Each reads from `data` at `*at`, advances `*at` and throws
// GridError when the string runs past the data. BIFF8 strings carry a flag byte (UTF-16 or
// compressed, rich-text runs, extended data); BIFF5 strings are bytes in the code page.
struct StringReader {
  bool biff8;
  const CodePage& codePage;
  // A string with an 8-bit (shortCount) or 16-bit character count. `lenient`: characters
  // cut short by the end of the record are dropped instead of refused (some writers
  // miscount number format codes).
  std::string Read(std::string_view data, size_t* at, bool shortCount, bool lenient = false) const;
};

}  // namespace ddt::grid::io::biff
