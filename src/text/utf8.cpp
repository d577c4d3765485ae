#include "text/utf8.h"

#include <locale.h>
#include <wctype.h>

namespace ddt::text::utf8 {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // malformed byte b decodes as kEscapeBase + b

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes the character at pos; returns its byte length and sets cp. A malformed byte b
// decodes alone, as kEscapeBase + b.
size_t DecodeAt(std::string_view s, size_t pos, char32_t& cp) {
  const size_t len = DecodeWellFormed(s, pos, cp);
  if (len != 0) return len;
  cp = kEscapeBase + static_cast<unsigned char>(s[pos]);
  return 1;
}

locale_t Utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

bool IsEscaped(char32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

// Windows-1252 bytes 0x80..0x9F; 0 marks the five unassigned ones.
constexpr char32_t kAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

size_t DecodeWellFormed(std::string_view s, size_t pos, char32_t& cp) {
  if (pos >= s.size()) return 0;
  const auto b0 = static_cast<unsigned char>(s[pos]);
  size_t len;
  char32_t c;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    c = b0 & 0x07;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if (!IsContinuation(b)) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed.
  const bool overlong = (len == 3 && c < 0x800) || (len == 4 && c < 0x10000);
  if (overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  cp = c;
  return len;
}

void AppendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

size_t CutPoint(std::string_view s, size_t limit) {
  if (s.size() <= limit) return s.size();
  // A character takes at most four bytes: step back over at most three continuation bytes
  // to the lead byte of the character the limit splits.
  size_t cut = limit;
  for (int steps = 0; steps < 3 && cut > 0 && IsContinuation(static_cast<unsigned char>(s[cut]));
       ++steps)
    --cut;
  return IsContinuation(static_cast<unsigned char>(s[cut])) ? limit : cut;
}

size_t CountCharacters(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += !IsContinuation(static_cast<unsigned char>(c));
  return n;
}

size_t CharBytes(std::string_view s, size_t pos) {
  if (pos >= s.size()) return 0;
  char32_t c;
  return DecodeAt(s, pos, c);
}

size_t Length(std::string_view s) {
  size_t n = 0;
  for (size_t pos = 0; pos < s.size(); pos += CharBytes(s, pos)) ++n;
  return n;
}

size_t Offset(std::string_view s, size_t index) {
  size_t pos = 0;
  for (; index > 0 && pos < s.size(); --index) pos += CharBytes(s, pos);
  return pos;
}

std::string_view Slice(std::string_view s, size_t first, size_t count) {
  const size_t begin = Offset(s, first);
  const size_t end = begin + Offset(s.substr(begin), count);
  return s.substr(begin, end - begin);
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    char32_t c;
    pos += DecodeAt(s, pos, c);
    out.push_back(c);
  }
  return out;
}

void Append(std::string& out, char32_t c) {
  if (IsEscaped(c)) {
    out.push_back(static_cast<char>(c - kEscapeBase));
  } else {
    AppendCodePoint(out, c);
  }
}

std::string Encode(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) Append(out, c);
  return out;
}

char32_t ToUpper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (IsEscaped(c)) return c;
  locale_t loc = Utf8Locale();
  return loc ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), loc)) : c;
}

char32_t ToLower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (IsEscaped(c)) return c;
  locale_t loc = Utf8Locale();
  return loc ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), loc)) : c;
}

bool IsLetter(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (IsEscaped(c)) return false;
  locale_t loc = Utf8Locale();
  return loc && iswalpha_l(static_cast<wint_t>(c), loc);
}

std::string Upper(std::string_view s) {
  std::u32string u = Decode(s);
  for (char32_t& c : u) c = ToUpper(c);
  return Encode(u);
}

std::string Lower(std::string_view s) {
  std::u32string u = Decode(s);
  for (char32_t& c : u) c = ToLower(c);
  return Encode(u);
}

std::string Proper(std::string_view s) {
  std::u32string u = Decode(s);
  bool inWord = false;
  for (char32_t& c : u) {
    const bool letter = IsLetter(c);
    c = letter && !inWord ? ToUpper(c) : ToLower(c);
    inWord = letter;
  }
  return Encode(u);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t ca, cb;
    i += DecodeAt(a, i, ca);
    j += DecodeAt(b, j, cb);
    ca = ToLower(ca);
    cb = ToLower(cb);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

char32_t FromAnsi(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) {
    const char32_t c = kAnsiHigh[b - 0x80];
    return c ? c : b;  // unassigned bytes keep their C1 code point
  }
  return b;
}

unsigned char ToAnsi(char32_t c) {
  if (c == 0) return 0;
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == c || (kAnsiHigh[i] == 0 && c == char32_t(0x80 + i))) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return 0;
}

}  // namespace ddt::text::utf8
