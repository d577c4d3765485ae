// Coercions and comparisons shared by the operators and the function library.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "grid/format/number_format.h"
#include "grid/formula/functions.h"
#include "text/utf8.h"

namespace ddt::grid::formula {

namespace {

constexpr double kEqualTolerance = 1e-15;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

// Letter case follows the one Unicode case mapping of the text functions (UPPER, LOWER).
int CompareTextNoCase(std::string_view a, std::string_view b) { return text::utf8::CompareNoCase(a, b); }
std::string UpperText(std::string_view text) { return text::utf8::Upper(text); }
std::string LowerText(std::string_view text) { return text::utf8::Lower(text); }

std::optional<double> TextToNumber(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsSpace(text[b])) ++b;
  while (e > b && IsSpace(text[e - 1])) --e;
  std::string_view s = text.substr(b, e - b);
  if (s.empty()) return std::nullopt;
  bool negate = false;
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    negate = true;
    s = s.substr(1, s.size() - 2);
  }
  double scale = 1;
  if (!s.empty() && s.back() == '%') {
    scale = 0.01;
    s.remove_suffix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  }
  // Sign, then digits with optional thousands separators in groups of three, decimals,
  // exponent.
  std::string clean;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
  if (negate && !clean.empty()) return std::nullopt;
  size_t intStart = i;
  int groupDigits = -1;  // digits since the last separator; -1 before any separator
  int digits = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      clean += c;
      ++digits;
      if (groupDigits >= 0) ++groupDigits;
    } else if (c == ',' && digits > 0 && i > intStart) {
      if (groupDigits >= 0 && groupDigits != 3) return std::nullopt;
      groupDigits = 0;
    } else {
      break;
    }
  }
  if (groupDigits >= 0 && groupDigits != 3) return std::nullopt;
  int fraction = 0;
  if (i < s.size() && s[i] == '.') {
    clean += s[i++];
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++fraction) clean += s[i];
  }
  if (digits == 0 && fraction == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    clean += s[i++];
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
    size_t expStart = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) clean += s[i];
    if (i == expStart) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  double v = std::strtod(clean.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  v *= scale;
  return negate ? -v : v;
}

std::string NumberToText(double value) { return format::FormatGeneral(value); }

double AsNumber(const Value& v) {
  switch (v.index()) {
    case 0: return 0;
    case 1: return std::get<double>(v);
    case 2: {
      if (auto d = TextToNumber(std::get<SharedText>(v))) return *d;
      throw FormulaError{ErrorCode::Value};
    }
    case 3: return std::get<bool>(v) ? 1 : 0;
    default: throw FormulaError{std::get<ErrorCode>(v)};
  }
}

std::string AsText(const Value& v) {
  switch (v.index()) {
    case 0: return {};
    case 1: return NumberToText(std::get<double>(v));
    case 2: return std::get<SharedText>(v).str();
    case 3: return std::get<bool>(v) ? "TRUE" : "FALSE";
    default: throw FormulaError{std::get<ErrorCode>(v)};
  }
}

bool AsBool(const Value& v) {
  switch (v.index()) {
    case 0: return false;
    case 1: return std::get<double>(v) != 0;
    case 2: {
      std::string_view t = std::get<SharedText>(v);
      if (CompareTextNoCase(t, "TRUE") == 0) return true;
      if (CompareTextNoCase(t, "FALSE") == 0) return false;
      throw FormulaError{ErrorCode::Value};
    }
    case 3: return std::get<bool>(v);
    default: throw FormulaError{std::get<ErrorCode>(v)};
  }
}

int CompareValues(const Value& a, const Value& b) {
  // Rank of a type in mixed comparisons; empty takes the rank of the other side.
  auto rank = [](const Value& v) { return v.index() == 1 ? 0 : v.index() == 2 ? 1 : 2; };
  if (IsEmpty(a) && IsEmpty(b)) return 0;
  if (IsEmpty(a)) {
    if (IsNumber(b)) return CompareValues(Value{0.0}, b);
    if (IsText(b)) return CompareValues(Value{std::string()}, b);
    return CompareValues(Value{false}, b);
  }
  if (IsEmpty(b)) return -CompareValues(b, a);
  int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) {
    // Numbers equal to 15 significant digits compare equal, so 0.1+0.2 = 0.3.
    double x = std::get<double>(a), y = std::get<double>(b);
    if (x == y || std::fabs(x - y) <= kEqualTolerance * std::fmax(std::fabs(x), std::fabs(y)))
      return 0;
    return x < y ? -1 : 1;
  }
  if (ra == 1) {
    int c = CompareTextNoCase(std::get<SharedText>(a), std::get<SharedText>(b));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  bool x = std::get<bool>(a), y = std::get<bool>(b);
  return x == y ? 0 : (x ? 1 : -1);
}

}  // namespace ddt::grid::formula
