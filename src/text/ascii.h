// Byte-wise text rules that look at ASCII only: letter case of A-Z, blanks, trimming. A byte
// of a multibyte character never matches an ASCII letter or blank, so these are safe on UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace ddt::text {

// Space, tab, line feed, carriage return, vertical tab and form feed.
inline constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";
// Space and tab only.
inline constexpr std::string_view kSpaceAndTab = " \t";

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when text begins with prefix, ignoring ASCII letter case.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

// True when a equals b ignoring ASCII letter case.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// text with A-Z made a-z.
inline std::string LowerAsciiText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// text without the characters of blanks at either end.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks = kWhiteSpace) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace ddt::text
