// Functions other spreadsheet programs offer beside the usual set, so that their formulas
// compute here too: the operators as functions (HF.ADD, HF.EQ, ...), COUNTUNIQUE, SPLIT,
// INTERVAL, and the pooling functions MAXPOOL and MEDIANPOOL.
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

// --- Operators ------------------------------------------------------------------------------

Operand Add(Call& call) { return Num(call.Number(0) + call.Number(1)); }
Operand Minus(Call& call) { return Num(call.Number(0) - call.Number(1)); }
Operand Multiply(Call& call) { return Num(call.Number(0) * call.Number(1)); }

Operand Divide(Call& call) {
  const double a = call.Number(0), b = call.Number(1);
  if (b == 0) Fail(ErrorCode::Div0);
  return Num(a / b);
}

Operand Pow(Call& call) {
  const double a = call.Number(0), b = call.Number(1);
  if (a == 0 && b == 0) Fail(ErrorCode::Num);
  if (a == 0 && b < 0) Fail(ErrorCode::Div0);
  return Num(std::pow(a, b));
}

Operand Concat(Call& call) { return Value{call.Text(0) + call.Text(1)}; }
Operand UMinus(Call& call) { return Num(-call.Number(0)); }
Operand UPlus(Call& call) { return Num(call.Number(0)); }
Operand UnaryPercent(Call& call) { return Num(call.Number(0) / 100); }

// Comparisons as the operators make them (text ignoring case; numbers < text < booleans).
template <int Kind>
Operand Compare(Call& call) {
  const Value a = call.Scalar(0), b = call.Scalar(1);
  ThrowIfError(a);
  ThrowIfError(b);
  const int c = CompareValues(a, b);
  switch (Kind) {
    case 0: return Value{c == 0};
    case 1: return Value{c != 0};
    case 2: return Value{c < 0};
    case 3: return Value{c <= 0};
    case 4: return Value{c > 0};
    default: return Value{c >= 0};
  }
}

// --- COUNTUNIQUE, SPLIT, INTERVAL ------------------------------------------------------------

// COUNTUNIQUE(values...): how many different values (text compared exactly); blanks and
// empty texts do not count.
Operand CountUnique(Call& call) {
  std::set<double> numbers;
  std::set<std::string> texts;
  std::set<bool> booleans;
  std::set<int> errors;
  for (int i = 0; i < call.Count(); ++i) {
    call.ForEachValue(i, [&](const Value& v, bool) {
      if (const auto* d = std::get_if<double>(&v)) numbers.insert(*d);
      else if (const auto* t = std::get_if<SharedText>(&v)) {
        if (!t->empty()) texts.insert(t->str());
      } else if (const auto* b = std::get_if<bool>(&v)) booleans.insert(*b);
      else if (const auto* e = std::get_if<ErrorCode>(&v)) errors.insert(static_cast<int>(*e));
      return true;
    });
  }
  return Num(static_cast<double>(numbers.size() + texts.size() + booleans.size() + errors.size()));
}

// SPLIT(text, index): the index-th (from 0) piece of the text between single spaces.
Operand Split(Call& call) {
  const std::string text = call.Text(0);
  const double index = std::trunc(call.Number(1));
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t sp; (sp = text.find(' ', start)) != std::string::npos; start = sp + 1) {
    parts.push_back(text.substr(start, sp - start));
  }
  parts.push_back(text.substr(start));
  if (index < 0 || index >= static_cast<double>(parts.size())) Fail(ErrorCode::Value);
  return Value{parts[static_cast<size_t>(index)]};
}

// INTERVAL(seconds): an ISO 8601 duration with 360-day years and 30-day months, such as
// "P1Y3M12DT23H6M40S"; fractions of a second are dropped.
Operand Interval(Call& call) {
  const double seconds = std::trunc(call.Number(0));
  if (seconds < 0 || seconds > 1e15) Fail(ErrorCode::Num);
  auto total = static_cast<int64_t>(seconds);
  const int64_t s = total % 60, m = total / 60 % 60, h = total / 3600 % 24;
  int64_t days = total / 86400;
  const int64_t years = days / 360;
  days %= 360;
  const int64_t months = days / 30;
  days %= 30;
  std::string out = "P";
  if (years) out += std::to_string(years) + "Y";
  if (months) out += std::to_string(months) + "M";
  if (days) out += std::to_string(days) + "D";
  out += "T";
  if (h) out += std::to_string(h) + "H";
  if (m) out += std::to_string(m) + "M";
  if (s) out += std::to_string(s) + "S";
  return Value{out};
}

// --- Pooling ---------------------------------------------------------------------------------

// MAXPOOL and MEDIANPOOL(range, window, [stride]): the range cut into window x window blocks
// every `stride` cells (window by default), each block reduced to one number. The range
// must hold numbers only.
template <bool Median>
Operand Pool(Call& call) {
  Table t(call.Ctx(), call.Arg(0));
  const int window = call.Int(1);
  const int stride = call.Int(2, window);
  // The blocks must tile the range exactly.
  if (window < 1 || stride < 1 || window > t.Rows() || window > t.Cols() ||
      (t.Rows() - window) % stride != 0 || (t.Cols() - window) % stride != 0) {
    Fail(ErrorCode::Value);
  }
  const int rows = (t.Rows() - window) / stride + 1, cols = (t.Cols() - window) / stride + 1;
  if (static_cast<int64_t>(rows) * cols * window * window > 10'000'000) Fail(ErrorCode::Num);
  auto out = std::make_shared<Matrix>(rows, cols);
  std::vector<double> block;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      block.clear();
      for (int i = 0; i < window; ++i) {
        for (int j = 0; j < window; ++j) {
          const Value v = t.At(r * stride + i, c * stride + j);
          ThrowIfError(v);
          if (!IsNumber(v)) Fail(ErrorCode::Value);  // the range must be all numbers
          block.push_back(std::get<double>(v));
        }
      }
      std::sort(block.begin(), block.end());
      const size_t n = block.size();
      out->At(r, c) = Median ? (n % 2 ? block[n / 2] : (block[n / 2 - 1] + block[n / 2]) / 2)
                             : block.back();
    }
  }
  return MatrixPtr(out);
}

}  // namespace

void RegisterCompatFunctions(FunctionRegistry& r) {
  r.Add({"HF.ADD", 2, 2, Add});
  r.Add({"HF.MINUS", 2, 2, Minus});
  r.Add({"HF.MULTIPLY", 2, 2, Multiply});
  r.Add({"HF.DIVIDE", 2, 2, Divide});
  r.Add({"HF.POW", 2, 2, Pow});
  r.Add({"HF.CONCAT", 2, 2, Concat});
  r.Add({"HF.UMINUS", 1, 1, UMinus});
  r.Add({"HF.UPLUS", 1, 1, UPlus});
  r.Add({"HF.UNARY_PERCENT", 1, 1, UnaryPercent});
  r.Add({"HF.EQ", 2, 2, Compare<0>});
  r.Add({"HF.NE", 2, 2, Compare<1>});
  r.Add({"HF.LT", 2, 2, Compare<2>});
  r.Add({"HF.LTE", 2, 2, Compare<3>});
  r.Add({"HF.GT", 2, 2, Compare<4>});
  r.Add({"HF.GTE", 2, 2, Compare<5>});
  r.Add({"COUNTUNIQUE", 1, kMaxFunctionArgs, CountUnique});
  r.Add({"SPLIT", 2, 2, Split});
  r.Add({"INTERVAL", 1, 1, Interval});
  r.Add({"MAXPOOL", 2, 3, Pool<false>});
  r.Add({"MEDIANPOOL", 2, 3, Pool<true>});
}

}  // namespace ddt::grid::formula
