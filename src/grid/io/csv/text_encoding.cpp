#include "grid/io/csv/text_encoding.h"

#include <utility>

#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool WellFormedUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    char32_t cp = 0;
    const size_t n = text::utf8::DecodeWellFormed(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string FromUtf16(std::string_view s, bool bigEndian) {
  std::string out;
  out.reserve(s.size());
  auto unit = [&](size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
    return bigEndian ? char32_t(a << 8 | b) : char32_t(b << 8 | a);
  };
  size_t i = 0;
  for (; i + 1 < s.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF) {
      const char32_t low = i + 3 < s.size() ? unit(i + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    text::utf8::AppendCodePoint(out, c);
  }
  if (i < s.size()) text::utf8::AppendCodePoint(out, kReplacement);
  return out;
}

std::string FromWindows1252(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (const char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) out += ch;
    else text::utf8::AppendCodePoint(out, text::utf8::FromAnsi(b));
  }
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

DecodedText DecodeText(std::string bytes) {
  DecodedText d;
  const std::string_view view(bytes);
  if (StartsWith(view, "\xEF\xBB\xBF")) {
    d.encoding = TextEncoding::Utf8Bom;
    bytes.erase(0, 3);
    d.utf8 = std::move(bytes);
  } else if (StartsWith(view, "\xFF\xFE")) {
    d.encoding = TextEncoding::Utf16Le;
    d.utf8 = FromUtf16(view.substr(2), false);
  } else if (StartsWith(view, "\xFE\xFF")) {
    d.encoding = TextEncoding::Utf16Be;
    d.utf8 = FromUtf16(view.substr(2), true);
  } else if (WellFormedUtf8(view)) {
    d.encoding = TextEncoding::Utf8;
    d.utf8 = std::move(bytes);
  } else {
    d.encoding = TextEncoding::Windows1252;
    d.utf8 = FromWindows1252(view);
  }
  return d;
}

const char* EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf8Bom: return "UTF-8 with byte-order mark";
    case TextEncoding::Utf16Le: return "UTF-16LE";
    case TextEncoding::Utf16Be: return "UTF-16BE";
    case TextEncoding::Windows1252: return "Windows-1252";
  }
  return "";
}

}  // namespace ddt::grid::io
