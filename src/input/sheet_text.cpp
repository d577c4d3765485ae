#include "input/sheet_text.h"

namespace ddt::input {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 multibyte character that starts at text[pos], or 0 when
// the bytes there are not one (ASCII, a stray continuation byte, an overlong or surrogate
// form, a lead byte beyond U+10FFFF, or a sequence cut short by the end of the text).
std::size_t MultibyteLength(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  const auto second = static_cast<unsigned char>(text[pos + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 0;
  return length;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && BeginsWithIgnoreCase(a, b);
}

bool BeginsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

std::size_t ChildSeparator(std::string_view sheetName) {
  const std::size_t dot = sheetName.find('.');
  return (dot == std::string_view::npos || dot == 0) ? std::string_view::npos : dot;
}

std::string ParentName(std::string_view sheetName) {
  return std::string(sheetName.substr(0, sheetName.find('.')));
}

void MakeLegalTableName(std::string& name) {
  std::size_t pos = 0;
  while (pos < name.size()) {
    const auto c = static_cast<unsigned char>(name[pos]);
    if (c == '_' || IsAsciiAlnum(c)) {
      ++pos;
    } else if (const std::size_t length = MultibyteLength(name, pos); length > 0) {
      pos += length;
    } else {
      name[pos++] = '_';
    }
  }
}

bool RemoveBracketPairs(std::string& text) {
  bool removed = false;
  for (std::size_t at = text.find("[]"); at != std::string::npos; at = text.find("[]")) {
    text.erase(at, 2);
    removed = true;
  }
  return removed;
}

std::string ReferencedSheetName(std::string_view formula) {
  std::size_t first = formula.find('\'');
  std::size_t last = formula.rfind('\'');
  if (first == std::string_view::npos) {
    first = formula.find('=');
    last = formula.rfind('!');
  }
  if (first == std::string_view::npos || last == std::string_view::npos || last <= first + 1)
    return {};
  return std::string(formula.substr(first + 1, last - first - 1));
}

std::size_t CountCharacters(std::string_view text) {
  std::size_t count = 0;
  for (char c : text)
    if (!IsContinuation(static_cast<unsigned char>(c))) ++count;
  return count;
}

std::string ReplaceLastCharacters(std::string_view text, std::size_t n,
                                  std::string_view replacement) {
  if (CountCharacters(text) <= n) return std::string(text);
  std::size_t cut = text.size();
  for (std::size_t seen = 0; seen < n;) {
    --cut;
    if (!IsContinuation(static_cast<unsigned char>(text[cut]))) ++seen;
  }
  std::string result(text.substr(0, cut));
  result += replacement;
  return result;
}

}  // namespace ddt::input
