// Information functions: what kind of value an argument is, and which version of this
// library computes the workbook.
#include <cmath>

#include "ddtable/version.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

namespace {

// TYPE numbers.
constexpr double kTypeNumber = 1, kTypeText = 2, kTypeBool = 4, kTypeError = 16, kTypeArray = 64;

Operand IsBlank(Call& call) { return Value{IsEmpty(call.Scalar(0))}; }

Operand IsErr(Call& call) {
  Value v = call.Scalar(0);
  auto* e = std::get_if<ErrorCode>(&v);
  return Value{e && *e != ErrorCode::NA};
}

Operand IsError(Call& call) { return Value{ddt::grid::IsError(call.Scalar(0))}; }

Operand IsNa(Call& call) {
  Value v = call.Scalar(0);
  auto* e = std::get_if<ErrorCode>(&v);
  return Value{e && *e == ErrorCode::NA};
}

// ISEVEN and ISODD look at the whole part of a number; a boolean is #VALUE!.
double WholePart(Call& call) {
  Value v = call.Scalar(0);
  if (IsBoolean(v)) throw FormulaError{ErrorCode::Value};
  return std::trunc(AsNumber(v));
}

Operand IsEven(Call& call) { return Value{std::fmod(WholePart(call), 2) == 0}; }
Operand IsOdd(Call& call) { return Value{std::fmod(WholePart(call), 2) != 0}; }
Operand IsLogical(Call& call) { return Value{IsBoolean(call.Scalar(0))}; }
Operand IsNonText(Call& call) { return Value{!IsText(call.Scalar(0))}; }
Operand IsNumber(Call& call) { return Value{ddt::grid::IsNumber(call.Scalar(0))}; }
Operand IsText(Call& call) { return Value{ddt::grid::IsText(call.Scalar(0))}; }

Operand N(Call& call) {
  Value v = call.Scalar(0);
  if (auto* e = std::get_if<ErrorCode>(&v)) throw FormulaError{*e};
  if (auto* d = std::get_if<double>(&v)) return Value{*d};
  if (auto* b = std::get_if<bool>(&v)) return Value{*b ? 1.0 : 0.0};
  return Value{0.0};
}

Operand Na(Call&) { return Value{ErrorCode::NA}; }

Operand Type(Call& call) {
  const Operand& op = call.Arg(0);
  if (IsMatrix(op)) return Value{kTypeArray};
  if (auto* a = std::get_if<Area>(&op); a && !a->IsCell()) return Value{kTypeArray};
  Value v = call.Scalar(0);
  switch (v.index()) {
    case 2: return Value{kTypeText};
    case 3: return Value{kTypeBool};
    case 4: return Value{kTypeError};
    default: return Value{kTypeNumber};
  }
}

Operand ErrorType(Call& call) {
  Value v = call.Scalar(0);
  auto* e = std::get_if<ErrorCode>(&v);
  if (!e) throw FormulaError{ErrorCode::NA};
  return Value{static_cast<double>(static_cast<int>(*e))};
}

// VERSION(): this library's version text ("0.1.0"), as other spreadsheet engines name their
// own version; workbooks that show which engine computed them use it.
Operand Version(Call&) { return Value{std::string(DDT_VERSION_STRING)}; }

}  // namespace

void RegisterInfoFunctions(FunctionRegistry& r) {
  r.Add({"ISBLANK", 1, 1, IsBlank});
  r.Add({"ISERR", 1, 1, IsErr});
  r.Add({"ISERROR", 1, 1, IsError});
  r.Add({"ISEVEN", 1, 1, IsEven});
  r.Add({"ISLOGICAL", 1, 1, IsLogical});
  r.Add({"ISNA", 1, 1, IsNa});
  r.Add({"ISNONTEXT", 1, 1, IsNonText});
  r.Add({"ISNUMBER", 1, 1, IsNumber});
  r.Add({"ISODD", 1, 1, IsOdd});
  r.Add({"ISTEXT", 1, 1, IsText});
  r.Add({"N", 1, 1, N});
  r.Add({"NA", 0, 0, Na});
  r.Add({"TYPE", 1, 1, Type});
  r.Add({"ERROR.TYPE", 1, 1, ErrorType});
  r.Add({"VERSION", 0, 0, Version});
}

}  // namespace ddt::grid::formula
