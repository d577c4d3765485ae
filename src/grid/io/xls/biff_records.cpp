#include "grid/io/xls/biff_records.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "grid/grid_error.h"
#include "text/utf8.h"

namespace ddt::grid::io::biff {

namespace {

// A Windows-1252 byte as a code point; the five bytes the code page leaves unassigned read
// as the replacement character.
char32_t Cp1252(unsigned char b) {
  const char32_t c = text::utf8::FromAnsi(b);
  return c == b && b >= 0x80 && b < 0xA0 ? 0xFFFD : c;
}

// The iconv name of a Windows code page number; null for Windows-1252 and its aliases.
std::string IconvName(uint16_t cp) {
  switch (cp) {
    case 367: case 1252: case 32769: case 1200: return "";  // ASCII, ANSI, UTF-16 (BIFF8)
    case 10000: case 32768: return "MACINTOSH";
    case 65001: return "UTF-8";
    default: return "CP" + std::to_string(cp);
  }
}

}  // namespace

double RkValue(uint32_t rk) {
  double d;
  if (rk & 2) {
    d = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&d, &bits, sizeof d);
  }
  return (rk & 1) ? d / 100 : d;
}

std::optional<ErrorCode> ErrorFromCode(uint8_t code) {
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

void Damaged(const std::string& what) {
  throw GridError("the .xls workbook stream is damaged (" + what + ")", ErrorKind::Damaged);
}

bool RecordReader::Next(Record* r) {
  if (at_ + 4 > s_.size()) return false;
  r->type = U16(s_.data() + at_);
  const size_t len = U16(s_.data() + at_ + 2);
  if (at_ + 4 + len > s_.size()) Damaged("a record runs past the end of the stream");
  r->data = s_.substr(at_ + 4, len);
  at_ += 4 + len;
  return true;
}

CodePage::CodePage() = default;

CodePage::~CodePage() {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
}

void CodePage::Set(uint16_t codePage) {
  if (iconv_) iconv_close(static_cast<iconv_t>(iconv_));
  iconv_ = nullptr;
  codePage_ = codePage;
  const std::string name = IconvName(codePage);
  if (name.empty()) return;
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  // A code page iconv does not know is read as Windows-1252: text stays readable.
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_ = cd;
}

void CodePage::AppendUtf8(std::string_view bytes, std::string& out) const {
  if (!iconv_) {
    for (unsigned char c : bytes) {
      if (c < 0x80) out += static_cast<char>(c);
      else text::utf8::AppendCodePoint(out, Cp1252(c));
    }
    return;
  }
  iconv_t cd = static_cast<iconv_t>(iconv_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buf[1024];
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<size_t>(o - buf));
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      // An invalid or incomplete sequence: one replacement character, then go on.
      text::utf8::AppendCodePoint(out, 0xFFFD);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

bool Pieces::AtEnd() {
  Settle();
  return piece_ >= pieces_.size();
}

size_t Pieces::Left() {
  Settle();
  size_t n = 0;
  for (size_t i = piece_; i < pieces_.size(); ++i) n += pieces_[i].size();
  return n - (piece_ < pieces_.size() ? pos_ : 0);
}

void Pieces::Settle() {
  while (piece_ < pieces_.size() && pos_ >= pieces_[piece_].size()) {
    ++piece_;
    pos_ = 0;
  }
}

uint8_t Pieces::U8() {
  Settle();
  if (piece_ >= pieces_.size()) Damaged("a record is shorter than its content");
  return static_cast<uint8_t>(pieces_[piece_][pos_++]);
}

uint16_t Pieces::U16() {
  uint16_t lo = U8();
  return static_cast<uint16_t>(lo | U8() << 8);
}

uint32_t Pieces::U32() {
  uint32_t lo = U16();
  return lo | static_cast<uint32_t>(U16()) << 16;
}

void Pieces::Skip(size_t n) {
  while (n > 0) {
    Settle();
    if (piece_ >= pieces_.size()) Damaged("a record is shorter than its content");
    const size_t take = std::min(n, pieces_[piece_].size() - pos_);
    pos_ += take;
    n -= take;
  }
}

void Pieces::Chars(size_t count, bool wide, std::string& out) {
  while (count > 0) {
    if (piece_ < pieces_.size() && pos_ >= pieces_[piece_].size()) {
      // The characters start in the next CONTINUE record, which begins with their flag.
      Settle();
      if (piece_ >= pieces_.size()) Damaged("a string runs past its record");
      wide = pieces_[piece_][pos_++] & 1;
      continue;
    }
    if (piece_ >= pieces_.size()) Damaged("a string runs past its record");
    std::string_view p = pieces_[piece_];
    const size_t unit = wide ? 2 : 1;
    const size_t avail = (p.size() - pos_) / unit;
    if (avail == 0) Damaged("a character is split between records");
    const size_t take = std::min(count, avail);
    const char* c = p.data() + pos_;
    if (wide) {
      for (size_t i = 0; i < take; ++i) {
        char32_t cp = biff::U16(c + 2 * i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < take) {
          char32_t lo = biff::U16(c + 2 * i + 2);
          if (lo >= 0xDC00 && lo <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            ++i;
          }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        text::utf8::AppendCodePoint(out, cp);
      }
    } else {
      for (size_t i = 0; i < take; ++i) {
        const unsigned char b = static_cast<unsigned char>(c[i]);
        if (b < 0x80) out += static_cast<char>(b);
        else text::utf8::AppendCodePoint(out, b);
      }
    }
    pos_ += take * unit;
    count -= take;
    // The rest, if any, is in the next CONTINUE record, after its own flag byte (above).
  }
}

std::string StringReader::Read(std::string_view data, size_t* at, bool shortCount,
                               bool lenient) const {
  const size_t countBytes = shortCount ? 1 : 2;
  if (*at + countBytes > data.size()) Damaged("a string runs past its record");
  size_t count = shortCount ? static_cast<uint8_t>(data[*at]) : U16(data.data() + *at);
  *at += countBytes;
  std::string out;
  if (!biff8) {
    if (lenient) count = std::min(count, data.size() - *at);
    if (*at + count > data.size()) Damaged("a string runs past its record");
    codePage.AppendUtf8(data.substr(*at, count), out);
    *at += count;
    return out;
  }
  if (*at + 1 > data.size()) {
    if (count == 0) return out;  // some writers leave out the flag of an empty string
    Damaged("a string runs past its record");
  }
  const uint8_t flags = static_cast<uint8_t>(data[(*at)++]);
  size_t runs = 0, ext = 0;
  if (flags & 0x08) {
    if (*at + 2 > data.size()) Damaged("a string runs past its record");
    runs = U16(data.data() + *at);
    *at += 2;
  }
  if (flags & 0x04) {
    if (*at + 4 > data.size()) Damaged("a string runs past its record");
    ext = U32(data.data() + *at);
    *at += 4;
  }
  if (lenient && *at <= data.size()) count = std::min(count, (data.size() - *at) / ((flags & 1) ? 2 : 1));
  const size_t bytes = count * ((flags & 1) ? 2 : 1);
  if (*at + bytes > data.size()) Damaged("a string runs past its record");
  Pieces p(data.substr(*at, bytes));
  p.Chars(count, flags & 1, out);
  *at += bytes;
  // Formatting runs and extended data follow the characters; where they are cut short, the
  // record ends there.
  *at = std::min(data.size(), *at + runs * 4 + ext);
  return out;
}

}  // namespace ddt::grid::io::biff
