#include "grid/utf8.h"
#include "grid/io/biff_formulas.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <optional>

#include "grid/grid_error.h"
#include "grid/limits.h"

namespace ddt::grid::io {

namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kString = 0x0207;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kBiff8 = 0x0600;
constexpr uint8_t kWorksheet = 0;

[[noreturn]] void Damaged(const char* what) {
  throw GridError(std::string("the .xls workbook stream is damaged (") + what + ")");
}

struct Record {
  uint16_t type;
  std::string_view data;
};

class Records {
 public:
  Records(std::string_view stream, size_t at) : s_(stream), at_(at) {}
  bool Next(Record* r) {
    if (at_ + 4 > s_.size()) return false;
    r->type = U16(s_.data() + at_);
    const size_t len = U16(s_.data() + at_ + 2);
    if (at_ + 4 + len > s_.size()) Damaged("record beyond the end");
    r->data = s_.substr(at_ + 4, len);
    at_ += 4 + len;
    return true;
  }
  // The next record's type without moving; 0 at the end.
  uint16_t PeekType() const { return at_ + 4 <= s_.size() ? U16(s_.data() + at_) : 0; }
  static uint16_t U16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
  }
  static uint32_t U32(const char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }

 private:
  std::string_view s_;
  size_t at_;
};

// Characters of an XLUnicodeString body spread over pieces (a record and its CONTINUE
// records, each continuation starting with its own compression flag).
class UnicodeText {
 public:
  explicit UnicodeText(size_t chars) : left_(chars) {}
  bool Done() const { return left_ == 0; }
  // `piece` starts with the flag byte.
  void Add(std::string_view piece) {
    if (piece.empty()) return;
    const bool wide = piece[0] & 1;
    size_t i = 1;
    while (left_ > 0 && i + (wide ? 2 : 1) <= piece.size()) {
      uint32_t c = wide ? Records::U16(piece.data() + i) : static_cast<uint8_t>(piece[i]);
      i += wide ? 2 : 1;
      --left_;
      if (c >= 0xD800 && c <= 0xDBFF && wide && left_ > 0 && i + 2 <= piece.size()) {
        uint32_t lo = Records::U16(piece.data() + i);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
          --left_;
        }
      }
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
      AppendUtf8(text_, c);
    }
  }
  std::string Take() { return std::move(text_); }

 private:
  size_t left_;
  std::string text_;
};

std::optional<ErrorCode> BiffError(uint8_t code) {
  switch (code) {
    case 0x00: return ErrorCode::Null;
    case 0x07: return ErrorCode::Div0;
    case 0x0F: return ErrorCode::Value;
    case 0x17: return ErrorCode::Ref;
    case 0x1D: return ErrorCode::Name;
    case 0x24: return ErrorCode::Num;
    case 0x2A: return ErrorCode::NA;
    default: return std::nullopt;
  }
}

bool InGrid(int row, int col) { return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxCols; }

void ReadSheet(std::string_view stream, size_t offset, BiffSheetCells& out) {
  Records records(stream, offset);
  Record r;
  if (!records.Next(&r) || r.type != kBof) Damaged("sheet without a BOF record");
  int pendingRow = 0, pendingCol = 0;  // a formula whose text result follows
  while (records.Next(&r)) {
    if (r.type == kEof) break;
    if (r.type == kFormula && r.data.size() >= 20) {
      const char* d = r.data.data();
      const int row = Records::U16(d) + 1, col = Records::U16(d + 2) + 1;
      const char* v = d + 6;
      pendingRow = 0;
      if (!InGrid(row, col)) continue;
      if (static_cast<uint8_t>(v[6]) == 0xFF && static_cast<uint8_t>(v[7]) == 0xFF) {
        switch (static_cast<uint8_t>(v[0])) {
          case 0: pendingRow = row, pendingCol = col; break;  // text in the STRING record
          case 1: out.cells.push_back({row, col, Value(v[2] != 0)}); break;
          case 2:
            if (auto e = BiffError(static_cast<uint8_t>(v[2])))
              out.cells.push_back({row, col, Value(*e)});
            break;
          case 3: out.cells.push_back({row, col, Value(std::string())}); break;
          default: break;
        }
      } else {
        double value;
        uint64_t bits = Records::U32(v) | static_cast<uint64_t>(Records::U32(v + 4)) << 32;
        std::memcpy(&value, &bits, sizeof value);
        out.cells.push_back({row, col, Value(value)});
      }
    } else if (r.type == kString && pendingRow > 0 && r.data.size() >= 3) {
      UnicodeText text(Records::U16(r.data.data()));
      text.Add(r.data.substr(2));
      while (!text.Done() && records.PeekType() == kContinue) {
        records.Next(&r);
        text.Add(r.data);
      }
      out.cells.push_back({pendingRow, pendingCol, Value(text.Take())});
      pendingRow = 0;
    } else if (r.type == kBoolErr && r.data.size() >= 8) {
      const char* d = r.data.data();
      const int row = Records::U16(d) + 1, col = Records::U16(d + 2) + 1;
      if (!InGrid(row, col)) continue;
      const uint8_t v = static_cast<uint8_t>(d[6]);
      if (d[7] == 0) {
        out.cells.push_back({row, col, Value(v != 0)});
      } else if (auto e = BiffError(v)) {
        out.cells.push_back({row, col, Value(*e)});
      }
    }
  }
}

constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kFormat = 0x041E;

// Reads bytes across a record and its CONTINUE records; characters of a string that crosses
// into a continuation get that continuation's own compression flag.
class Segments {
 public:
  void Add(std::string_view s) { segs_.push_back(s); }
  bool AtEnd() const { return seg_ >= segs_.size(); }
  void Bytes(size_t n) {
    while (n > 0) {
      Settle();
      if (AtEnd()) Damaged("a string runs past its record");
      size_t take = std::min(n, segs_[seg_].size() - pos_);
      pos_ += take;
      n -= take;
    }
  }
  uint8_t Byte() {
    Settle();
    if (AtEnd()) Damaged("a string runs past its record");
    return static_cast<uint8_t>(segs_[seg_][pos_++]);
  }
  uint16_t U16() {
    uint16_t lo = Byte();
    return static_cast<uint16_t>(lo | Byte() << 8);
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | static_cast<uint32_t>(U16()) << 16;
  }
  void Chars(size_t count, bool wide) {
    while (count > 0) {
      Settle();
      if (AtEnd()) Damaged("a string runs past its record");
      size_t avail = (segs_[seg_].size() - pos_) / (wide ? 2 : 1);
      if (avail == 0) Damaged("a character is split between records");
      size_t take = std::min(count, avail);
      pos_ += take * (wide ? 2 : 1);
      count -= take;
      if (count > 0) {  // continues in the next record, which starts with a flag byte
        Settle();
        if (AtEnd()) Damaged("a string runs past its record");
        wide = segs_[seg_][pos_++] & 1;
      }
    }
  }

 private:
  void Settle() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size()) {
      ++seg_;
      pos_ = 0;
    }
  }
  std::vector<std::string_view> segs_;
  size_t seg_ = 0, pos_ = 0;
};

// An XLUnicodeString (16-bit count) or ShortXLUnicodeString (8-bit count).
void CheckString(std::string_view data, size_t at, bool shortCount) {
  Segments s;
  if (at > data.size()) Damaged("a string runs past its record");
  s.Add(data.substr(at));
  size_t count = shortCount ? s.Byte() : s.U16();
  bool wide = s.Byte() & 1;
  s.Chars(count, wide);
}

void CheckSst(Segments& s) {
  s.U32();
  const uint32_t unique = s.U32();
  for (uint32_t i = 0; i < unique; ++i) {
    if (s.AtEnd()) return;  // fewer strings than announced: libfreexl stops too
    const uint16_t count = s.U16();
    const uint8_t flags = s.Byte();
    const uint16_t runs = (flags & 0x08) ? s.U16() : 0;
    const uint32_t ext = (flags & 0x04) ? s.U32() : 0;
    s.Chars(count, flags & 1);
    s.Bytes(size_t{runs} * 4);
    s.Bytes(ext);
  }
}

}  // namespace

void CheckBiffStructure(std::string_view stream) {
  Records records(stream, 0);
  Record r;
  bool biff8 = false;
  if (records.Next(&r) && r.type == kBof && r.data.size() >= 2)
    biff8 = Records::U16(r.data.data()) == kBiff8;
  else
    Damaged("no BOF record at the start");
  while (records.Next(&r)) {
    if (!biff8) continue;
    switch (r.type) {
      case kBoundSheet: CheckString(r.data, 6, true); break;
      case kLabel: CheckString(r.data, 6, false); break;
      case kFormat: CheckString(r.data, 2, false); break;
      case kString: {
        Segments s;
        s.Add(r.data);
        while (records.PeekType() == kContinue && records.Next(&r)) s.Add(r.data);
        const uint16_t count = s.U16();
        s.Chars(count, s.Byte() & 1);
        break;
      }
      case kSst: {
        Segments s;
        s.Add(r.data);
        while (records.PeekType() == kContinue && records.Next(&r)) s.Add(r.data);
        CheckSst(s);
        break;
      }
      default: break;
    }
  }
}

std::vector<BiffSheetCells> ReadBiffFormulaResults(std::string_view stream) {
  std::vector<BiffSheetCells> sheets;
  Records records(stream, 0);
  Record r;
  if (!records.Next(&r) || r.type != kBof || r.data.size() < 2 ||
      Records::U16(r.data.data()) != kBiff8)
    return sheets;  // not BIFF8: nothing beyond what libfreexl reads
  std::vector<size_t> offsets;
  while (records.Next(&r) && r.type != kEof) {
    if (r.type != kBoundSheet || r.data.size() < 8) continue;
    const char* d = r.data.data();
    if (static_cast<uint8_t>(d[5]) != kWorksheet) continue;
    offsets.push_back(Records::U32(d));
    UnicodeText name(static_cast<uint8_t>(d[6]));
    name.Add(r.data.substr(7));
    sheets.push_back({name.Take(), {}});
  }
  for (size_t i = 0; i < sheets.size(); ++i) {
    if (offsets[i] >= stream.size()) Damaged("sheet offset beyond the end");
    ReadSheet(stream, offsets[i], sheets[i]);
  }
  return sheets;
}

}  // namespace ddt::grid::io
