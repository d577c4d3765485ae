// What typed text becomes, and the entry text of a stored constant.
//
// Numbers are recognised conservatively, so that test data keeps what was typed unless it
// is plainly a number: an optional sign, digits with at most one decimal point (".5" and "5."
// count), and an optional exponent ("1e5", "2.5E-3"). Thousands separators ("1,234"),
// currency signs ("$5"), surrounding spaces (" 5 "), parentheses for negatives, hexadecimal,
// "inf"/"nan", dates and times all stay text. A number followed by % is a percentage.
// Numbers beyond the range of a double stay text.
#include "grid/format/entry.h"

#include <strings.h>

#include <charconv>
#include <cmath>

#include "grid/format/number_format.h"
#include "text/ascii.h"

namespace ddt::grid::format {

namespace {

constexpr std::string_view kTrue = "TRUE";
constexpr std::string_view kFalse = "FALSE";
constexpr std::string_view kPercentFormat = "0%";
constexpr std::string_view kPercentDecimalsFormat = "0.00%";
// A percentage's exponent shift: 12.5% is 12.5e-2.
constexpr int kPercentExponent = -2;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the plain-number grammar; `hasDecimals` tells whether a decimal point with digits
// after it was typed.
bool IsPlainNumber(std::string_view s, bool& hasDecimals) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++intDigits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  hasDecimals = fracDigits > 0;
  return i == s.size();
}

// Converts text that passed IsPlainNumber, times 10^shift; nothing when out of range.
std::optional<double> ToNumber(std::string_view s, int shift) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  const size_t e = s.find_first_of("eE");
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view x = s.substr(e + 1);
    if (!x.empty() && x[0] == '+') x.remove_prefix(1);
    auto res = std::from_chars(x.data(), x.data() + x.size(), exponent);
    if (res.ec != std::errc()) return std::nullopt;
  }
  const std::string text = std::string(s.substr(0, e)) + "e" + std::to_string(exponent + shift);
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v))
    return std::nullopt;
  return v == 0 ? 0.0 : v;  // "-0" is zero
}

using text::EqualsNoCase;

}  // namespace

ParsedEntry ParseEntry(std::string_view typed) {
  ParsedEntry e;
  if (typed.empty()) return e;
  if (typed[0] == '=') {
    e.kind = ParsedEntry::Kind::Formula;
    e.formula = std::string(typed.substr(1));
    return e;
  }
  e.kind = ParsedEntry::Kind::Constant;
  if (typed[0] == '\'') {
    e.forcedText = true;
    e.value = std::string(typed.substr(1));
    return e;
  }
  bool hasDecimals = false;
  if (IsPlainNumber(typed, hasDecimals)) {
    if (auto v = ToNumber(typed, 0)) {
      e.value = *v;
      return e;
    }
  } else if (typed.size() > 1 && typed.back() == '%' &&
             IsPlainNumber(typed.substr(0, typed.size() - 1), hasDecimals)) {
    if (auto v = ToNumber(typed.substr(0, typed.size() - 1), kPercentExponent)) {
      e.value = *v;
      e.numberFormat = std::string(hasDecimals ? kPercentDecimalsFormat : kPercentFormat);
      return e;
    }
  }
  if (EqualsNoCase(typed, kTrue)) {
    e.value = true;
  } else if (EqualsNoCase(typed, kFalse)) {
    e.value = false;
  } else if (auto err = ParseErrorText(typed)) {
    e.value = *err;
  } else {
    e.value = std::string(typed);
  }
  return e;
}

std::string EntryText(const Value& value, bool forcedText) {
  if (auto* d = std::get_if<double>(&value)) return FormatGeneral(*d);
  if (auto* b = std::get_if<bool>(&value)) return std::string(*b ? kTrue : kFalse);
  if (auto* err = std::get_if<ErrorCode>(&value)) return ErrorText(*err);
  if (auto* t = std::get_if<SharedText>(&value)) {
    if (forcedText) {
      // The apostrophe comes back only where the bare text would not read as this text.
      const ParsedEntry again = ParseEntry(*t);
      const auto* s = std::get_if<SharedText>(&again.value);
      const bool same = again.kind == ParsedEntry::Kind::Constant && !again.forcedText && s && *s == *t;
      if (!same) return "'" + t->str();
    }
    return t->str();
  }
  return {};
}

std::string EntryText(const Value& value, bool forcedText, std::string_view numberFormat) {
  if (auto* d = std::get_if<double>(&value)) {
    if (IsPercentFormat(numberFormat)) return FormatGeneral(*d * 100) + "%";
  }
  return EntryText(value, forcedText);
}

}  // namespace ddt::grid::format
