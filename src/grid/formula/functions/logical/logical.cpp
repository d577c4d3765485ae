// Logical functions. IF, IFERROR, IFNA, IFS and SWITCH evaluate only the arguments they need,
// and hand back the chosen argument as it is (a reference stays a reference).
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

namespace {

// AND, OR and XOR read truth values: written values coerce (text that is not TRUE or FALSE
// is #VALUE!); in areas and arrays only numbers and booleans count. None at all is #VALUE!.
template <typename Fn>
void ForEachTruth(Call& call, Fn&& fn) {
  bool any = false;
  for (int i = 0; i < call.Count(); ++i) {
    if (call.Missing(i)) {
      fn(false);
      any = true;
      continue;
    }
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      if (auto* e = std::get_if<ErrorCode>(&v)) throw FormulaError{*e};
      if (fromRef && !IsNumber(v) && !IsBoolean(v)) return true;
      fn(AsBool(v));
      any = true;
      return true;
    });
  }
  if (!any) throw FormulaError{ErrorCode::Value};
}

Operand And(Call& call) {
  bool all = true;
  ForEachTruth(call, [&](bool b) { all = all && b; });
  return Value{all};
}

Operand Or(Call& call) {
  bool some = false;
  ForEachTruth(call, [&](bool b) { some = some || b; });
  return Value{some};
}

Operand Xor(Call& call) {
  bool odd = false;
  ForEachTruth(call, [&](bool b) { odd = odd != b; });
  return Value{odd};
}

Operand Not(Call& call) { return Value{!call.Bool(0)}; }

// An argument chosen as a result; an empty place between commas gives 0.
Operand Chosen(Call& call, int i) {
  if (call.Missing(i)) return Value{0.0};
  return call.Arg(i);
}

Operand If(Call& call) {
  if (call.Bool(0)) return Chosen(call, 1);
  if (call.Count() < 3) return Value{false};
  return Chosen(call, 2);
}

Operand IfError(Call& call) {
  Value v = call.Scalar(0);
  if (IsError(v)) return Chosen(call, 1);
  return v;
}

Operand IfNa(Call& call) {
  Value v = call.Scalar(0);
  if (auto* e = std::get_if<ErrorCode>(&v); e && *e == ErrorCode::NA) return Chosen(call, 1);
  return v;
}

Operand Ifs(Call& call) {
  if (call.Count() % 2) throw FormulaError{ErrorCode::Value};
  for (int i = 0; i < call.Count(); i += 2)
    if (call.Bool(i)) return Chosen(call, i + 1);
  throw FormulaError{ErrorCode::NA};
}

Operand Switch(Call& call) {
  Value subject = call.Scalar(0);
  if (auto* e = std::get_if<ErrorCode>(&subject)) throw FormulaError{*e};
  int pairsEnd = 1 + (call.Count() - 1) / 2 * 2;
  for (int i = 1; i < pairsEnd; i += 2) {
    Value candidate = call.Scalar(i);
    if (auto* e = std::get_if<ErrorCode>(&candidate)) throw FormulaError{*e};
    // Values of different types never match: 1 is not "1".
    bool sameType = subject.index() == candidate.index() || IsEmpty(subject) || IsEmpty(candidate);
    if (sameType && CompareValues(subject, candidate) == 0) return Chosen(call, i + 1);
  }
  if (pairsEnd < call.Count()) return Chosen(call, pairsEnd);  // the default
  throw FormulaError{ErrorCode::NA};
}

Operand True(Call&) { return Value{true}; }
Operand False(Call&) { return Value{false}; }

}  // namespace

void RegisterLogicalFunctions(FunctionRegistry& r) {
  constexpr int N = kMaxFunctionArgs;
  r.Add({"AND", 1, N, And});
  r.Add({"OR", 1, N, Or});
  r.Add({"XOR", 1, N, Xor});
  r.Add({"NOT", 1, 1, Not});
  r.Add({"IF", 1, 3, If});
  r.Add({"IFERROR", 2, 2, IfError});
  r.Add({"IFNA", 2, 2, IfNa});
  r.Add({"IFS", 2, N - 1, Ifs});
  r.Add({"SWITCH", 3, N, Switch});
  r.Add({"TRUE", 0, 0, True});
  r.Add({"FALSE", 0, 0, False});
}

}  // namespace ddt::grid::formula
