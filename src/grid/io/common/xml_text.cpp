#include "grid/io/common/xml_text.h"

#include <cstdio>

#include "grid/io/common/hex_digit.h"
#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

bool IsXstringEscape(std::string_view s, size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  for (size_t k = 2; k < 6; ++k)
    if (HexDigit(s[i + k]) < 0) return false;
  return true;
}

void AppendHexEscape(uint32_t cp, std::string& out) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "_x%04X_", static_cast<unsigned>(cp));
  out += buf;
}

}  // namespace

void AppendXmlText(std::string_view s, std::string& out, bool escapeControls) {
  for (size_t i = 0; i < s.size();) {
    char32_t cp;
    size_t len = text::utf8::DecodeWellFormed(s, i, cp);
    if (len == 0) {  // not UTF-8: keep the file well-formed
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    switch (cp) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '_':
        if (escapeControls && IsXstringEscape(s, i)) out += "_x005F_";
        else out += '_';
        break;
      default:
        if (cp < 0x20 || cp == 0xFFFE || cp == 0xFFFF) {
          if (escapeControls) AppendHexEscape(cp, out);
        } else {
          out.append(s.data() + i, len);
        }
    }
    i += len;
  }
}

void UnescapeXstring(std::string& text) {
  size_t pos = text.find("_x");
  if (pos == std::string::npos) return;
  std::string out(text, 0, pos);
  for (size_t i = pos; i < text.size();) {
    if (IsXstringEscape(text, i)) {
      uint32_t cp = 0;
      for (size_t k = 2; k < 6; ++k) cp = (cp << 4) | static_cast<uint32_t>(HexDigit(text[i + k]));
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
      text::utf8::AppendCodePoint(out, cp);
      i += 7;
    } else {
      out += text[i++];
    }
  }
  text.swap(out);
}

}  // namespace ddt::grid::io
