#include "input/sheet_text.h"

#include "text/utf8.h"

namespace ddt::input {
namespace {

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 multibyte character that starts at text[pos], or 0 when
// the bytes there are not one (ASCII, or not well-formed).
std::size_t MultibyteLength(std::string_view text, std::size_t pos) {
  char32_t cp;
  const std::size_t length = text::utf8::DecodeWellFormed(text, pos, cp);
  return length > 1 ? length : 0;
}

}  // namespace

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

std::string ReplaceLastCharacters(std::string_view text, std::size_t n,
                                  std::string_view replacement) {
  if (text::utf8::CountCharacters(text) <= n) return std::string(text);
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
