// Text functions. Positions and lengths count characters, not bytes: a multibyte UTF-8
// character is one character (see text/utf8.h). CHAR and CODE use the Windows-1252 character
// set, as the spreadsheet does on the systems its workbooks come from.
#include <cmath>
#include <string>

#include "grid/format/number_format.h"
#include "grid/formula/criteria.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions/text/text_number.h"
#include "grid/formula/functions.h"
#include "text/utf8.h"

namespace ddt::grid::formula {
namespace {

Operand Str(std::string s) {
  if (s.size() > static_cast<size_t>(kMaxCellTextLength)) throw FormulaError{ErrorCode::Value};
  return Value{std::move(s)};
}
Operand Num(double d) { return Value{d}; }

// A count or position argument: truncated; #VALUE! below `min`.
size_t CountArg(Call& call, int i, double fallback, double min) {
  const double d = std::trunc(call.Number(i, fallback));
  if (d < min) throw FormulaError{ErrorCode::Value};
  return d > 1e9 ? static_cast<size_t>(1e9) : static_cast<size_t>(d);
}

Operand Char(Call& call) {
  const double n = std::trunc(call.Number(0));
  if (n < 1 || n > 255) throw FormulaError{ErrorCode::Value};
  std::string out;
  text::utf8::Append(out, text::utf8::FromAnsi(static_cast<unsigned char>(n)));
  return Str(out);
}

// Removes the control characters 0 to 31.
Operand Clean(Call& call) {
  std::u32string u = text::utf8::Decode(call.Text(0));
  std::erase_if(u, [](char32_t c) { return c < 32; });
  return Str(text::utf8::Encode(u));
}

// The Windows-1252 code of the first character; 63 ("?") for one that set lacks.
Operand Code(Call& call) {
  const std::string text = call.Text(0);
  if (text.empty()) throw FormulaError{ErrorCode::Value};
  const std::u32string first = text::utf8::Decode(text::utf8::Slice(text, 0, 1));
  const unsigned char code = text::utf8::ToAnsi(first[0]);
  return Num(code ? code : '?');
}

// Every value of every argument, ranges included, blanks as "".
Operand Concat(Call& call) {
  std::string out;
  for (int i = 0; i < call.Count(); ++i) {
    call.ForEachValue(i, [&](const Value& v, bool) {
      ThrowIfError(v);
      out += AsText(v);
      if (out.size() > static_cast<size_t>(kMaxCellTextLength)) throw FormulaError{ErrorCode::Value};
      return true;
    });
  }
  return Str(std::move(out));
}

Operand Concatenate(Call& call) {
  std::string out;
  for (int i = 0; i < call.Count(); ++i) {
    out += call.Text(i);
    if (out.size() > static_cast<size_t>(kMaxCellTextLength)) throw FormulaError{ErrorCode::Value};
  }
  return Str(std::move(out));
}

// Rounds to `decimals` places (negative: to the left of the point), halves away from zero.
double RoundTo(double x, int decimals) {
  const double scale = std::pow(10.0, std::abs(decimals));
  if (decimals >= 0) {
    const double scaled = x * scale;
    return std::isfinite(scaled) ? std::round(scaled) / scale : x;  // beyond double precision
  }
  return std::round(x / scale) * scale;
}

int DecimalsArg(Call& call, int i) {
  const double d = std::trunc(call.Number(i, 2));
  if (d > 127) throw FormulaError{ErrorCode::Value};
  return d < -127 ? -127 : static_cast<int>(d);
}

// The code for a number with `decimals` places: "0.00", "#,##0.00", ...
std::string NumberCode(int decimals, bool grouping) {
  std::string code = grouping ? "#,##0" : "0";
  if (decimals > 0) code.append(".").append(static_cast<size_t>(decimals), '0');
  return code;
}

// DOLLAR(number, [decimals]): currency text, negatives in parentheses.
Operand Dollar(Call& call) {
  const int decimals = DecimalsArg(call, 1);
  const double x = RoundTo(call.Number(0), decimals);
  const std::string body = std::string("$").append(NumberCode(decimals, true));
  return Str(format::FormatNumber(x, body + ";(" + body + ")"));
}

// FIXED(number, [decimals], [no_commas]).
Operand Fixed(Call& call) {
  const int decimals = DecimalsArg(call, 1);
  const bool noCommas = call.Bool(2, false);
  const double x = RoundTo(call.Number(0), decimals);
  return Str(format::FormatNumber(x, NumberCode(decimals, !noCommas)));
}

Operand Exact(Call& call) { return Value{call.Text(0) == call.Text(1)}; }

// FIND(find, within, [start]): case-sensitive, no wildcards; 1-based character position.
Operand Find(Call& call) {
  const std::u32string find = text::utf8::Decode(call.Text(0));
  const std::u32string within = text::utf8::Decode(call.Text(1));
  const size_t start = CountArg(call, 2, 1, 1);
  if (start > within.size() + 1) throw FormulaError{ErrorCode::Value};
  const size_t pos = within.find(find, start - 1);
  if (pos == std::u32string::npos) throw FormulaError{ErrorCode::Value};
  return Num(static_cast<double>(pos + 1));
}

// SEARCH(find, within, [start]): case-insensitive, with wildcards.
Operand Search(Call& call) {
  const Wildcard find(call.Text(0));
  const std::string within = call.Text(1);
  const size_t start = CountArg(call, 2, 1, 1);
  if (start > text::utf8::Length(within) + 1) throw FormulaError{ErrorCode::Value};
  const size_t pos = find.Search(within, start - 1);
  if (pos == Wildcard::npos) throw FormulaError{ErrorCode::Value};
  return Num(static_cast<double>(pos + 1));
}

Operand Left(Call& call) {
  const std::string text = call.Text(0);
  return Str(std::string(text::utf8::Slice(text, 0, CountArg(call, 1, 1, 0))));
}

Operand Right(Call& call) {
  const std::string text = call.Text(0);
  const size_t n = CountArg(call, 1, 1, 0);
  const size_t len = text::utf8::Length(text);
  return Str(std::string(text::utf8::Slice(text, n >= len ? 0 : len - n, n)));
}

Operand Mid(Call& call) {
  const std::string text = call.Text(0);
  const size_t start = CountArg(call, 1, 1, 1);
  const size_t n = CountArg(call, 2, 0, 0);
  return Str(std::string(text::utf8::Slice(text, start - 1, n)));
}

Operand Len(Call& call) { return Num(static_cast<double>(text::utf8::Length(call.Text(0)))); }
Operand Lower(Call& call) { return Str(text::utf8::Lower(call.Text(0))); }
Operand Upper(Call& call) { return Str(text::utf8::Upper(call.Text(0))); }
Operand Proper(Call& call) { return Str(text::utf8::Proper(call.Text(0))); }

// REPLACE(old, start, count, new): characters start..start+count-1 become `new`.
Operand Replace(Call& call) {
  const std::string text = call.Text(0);
  const size_t start = CountArg(call, 1, 1, 1);
  const size_t n = CountArg(call, 2, 0, 0);
  const std::string with = call.Text(3);
  const size_t begin = text::utf8::Offset(text, start - 1);
  const size_t end = begin + text::utf8::Offset(std::string_view(text).substr(begin), n);
  return Str(text.substr(0, begin) + with + text.substr(end));
}

Operand Rept(Call& call) {
  const std::string text = call.Text(0);
  const size_t n = CountArg(call, 1, 0, 0);
  if (!text.empty() && n > static_cast<size_t>(kMaxCellTextLength) / text.size()) {
    throw FormulaError{ErrorCode::Value};
  }
  std::string out;
  out.reserve(text.size() * n);
  for (size_t i = 0; i < n && !text.empty(); ++i) out += text;
  return Str(std::move(out));
}

// SUBSTITUTE(text, old, new, [instance]): case-sensitive; every occurrence, or only the
// given one. An empty `old` changes nothing.
Operand Substitute(Call& call) {
  const std::string text = call.Text(0);
  const std::string from = call.Text(1);
  const std::string to = call.Text(2);
  size_t instance = 0;
  if (!call.Missing(3)) instance = CountArg(call, 3, 1, 1);
  if (from.empty()) return Str(text);
  std::string out;
  size_t pos = 0, seen = 0;
  while (true) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string::npos) break;
    ++seen;
    out.append(text, pos, hit - pos);
    out += (instance == 0 || seen == instance) ? to : from;
    pos = hit + from.size();
    if (out.size() > static_cast<size_t>(kMaxCellTextLength)) throw FormulaError{ErrorCode::Value};
  }
  out.append(text, pos);
  return Str(std::move(out));
}

Operand T(Call& call) {
  const Value v = call.Scalar(0);
  ThrowIfError(v);
  if (IsText(v)) return v;
  return Value{std::string()};
}

// TEXT(value, format): numbers (and text that reads as a number) through the number
// format; other text and logical values through its text section.
Operand Text(Call& call) {
  const Value v = call.Scalar(0);
  ThrowIfError(v);
  const std::string code = call.Text(1);
  const bool date1904 = call.Ctx().Date1904();
  if (const auto* t = std::get_if<SharedText>(&v)) {
    if (auto n = ReadNumberText(*t, date1904))
      return Str(format::FormatNumberAsText(*n, code, date1904));
    return Str(format::FormatText(*t, code));
  }
  if (const auto* b = std::get_if<bool>(&v)) return Str(format::FormatLogical(*b, code));
  return Str(format::FormatNumberAsText(AsNumber(v), code, date1904));
}

// TEXTJOIN(delimiter, ignore_empty, text...): values of ranges in row-major order.
Operand TextJoin(Call& call) {
  const std::string delimiter = call.Text(0);
  const bool ignoreEmpty = call.Bool(1);
  std::string out;
  bool first = true;
  auto add = [&](const Value& v) {
    ThrowIfError(v);
    std::string piece = AsText(v);
    if (ignoreEmpty && piece.empty()) return;
    if (!first) out += delimiter;
    out += piece;
    first = false;
    if (out.size() > static_cast<size_t>(kMaxCellTextLength)) throw FormulaError{ErrorCode::Value};
  };
  for (int i = 2; i < call.Count(); ++i) {
    const Operand& op = call.Arg(i);
    if (IsArea(op) && !ignoreEmpty) {
      // Blank cells take their place between delimiters: walk every cell (the length
      // limit stops a walk over whole columns early when the delimiter is not empty).
      Table t(call.Ctx(), op);
      if (delimiter.empty()) {
        t.ForEachUsed([&](int, int, const Value& v) { return add(v), true; });
        continue;
      }
      for (int r = 0; r < t.Rows(); ++r) {
        for (int c = 0; c < t.Cols(); ++c) add(t.At(r, c));
      }
    } else {
      call.ForEachValue(i, [&](const Value& v, bool) { return add(v), true; });
    }
  }
  return Str(std::move(out));
}

// Removes leading and trailing spaces and shortens inner runs of spaces to one.
Operand Trim(Call& call) {
  const std::string text = call.Text(0);
  std::string out;
  bool pendingSpace = false;
  for (char c : text) {
    if (c == ' ') {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out += ' ';
    pendingSpace = false;
    out += c;
  }
  return Str(std::move(out));
}

Operand ValueFn(Call& call) {
  const Value v = call.Scalar(0);
  ThrowIfError(v);
  if (const auto* d = std::get_if<double>(&v)) return Num(*d);
  if (IsEmpty(v)) return Num(0);
  if (const auto* t = std::get_if<SharedText>(&v)) {
    if (auto n = ReadNumberText(*t, call.Ctx().Date1904())) return Num(*n);
  }
  throw FormulaError{ErrorCode::Value};
}

}  // namespace

void RegisterTextFunctions(FunctionRegistry& r) {
  r.Add({"CHAR", 1, 1, Char});
  r.Add({"CLEAN", 1, 1, Clean});
  r.Add({"CODE", 1, 1, Code});
  r.Add({"CONCAT", 1, kMaxFunctionArgs, Concat});
  r.Add({"CONCATENATE", 1, kMaxFunctionArgs, Concatenate});
  r.Add({"DOLLAR", 1, 2, Dollar});
  r.Add({"EXACT", 2, 2, Exact});
  r.Add({"FIND", 2, 3, Find});
  r.Add({"FIXED", 1, 3, Fixed});
  r.Add({"LEFT", 1, 2, Left});
  r.Add({"LEN", 1, 1, Len});
  r.Add({"LOWER", 1, 1, Lower});
  r.Add({"MID", 3, 3, Mid});
  r.Add({"PROPER", 1, 1, Proper});
  r.Add({"REPLACE", 4, 4, Replace});
  r.Add({"REPT", 2, 2, Rept});
  r.Add({"RIGHT", 1, 2, Right});
  r.Add({"SEARCH", 2, 3, Search});
  r.Add({"SUBSTITUTE", 3, 4, Substitute});
  r.Add({"T", 1, 1, T});
  r.Add({"TEXT", 2, 2, Text});
  r.Add({"TEXTJOIN", 3, kMaxFunctionArgs, TextJoin});
  r.Add({"TRIM", 1, 1, Trim});
  r.Add({"UPPER", 1, 1, Upper});
  r.Add({"VALUE", 1, 1, ValueFn});
}

}  // namespace ddt::grid::formula
