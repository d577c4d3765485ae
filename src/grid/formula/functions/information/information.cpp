// Information functions: what kind of value an argument is (IS*, N, NA, TYPE, ERROR.TYPE),
// which version of this library computes the workbook (VERSION),
// what a reference, formula or sheet is (ISREF, ISFORMULA, FORMULATEXT, SHEET, SHEETS, ADDRESS),
// HYPERLINK, ISBINARY, and the character-code functions UNICHAR and UNICODE.
#include <cctype>
#include <cmath>
#include <string>

#include "ddtable/version.h"
#include "grid/formula/a1.h"
#include "grid/formula/formula.h"
#include "grid/formula/functions.h"
#include "grid/formula/functions/common/results.h"
#include "grid/workbook.h"
#include "text/utf8.h"

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

Operand IsRef(Call& call) { return Value{IsArea(call.Arg(0))}; }

// The cell at the top left of a reference argument; #VALUE! for a non-reference, #REF! for
// a deleted sheet.
const Cell* TopLeftCell(Call& call, int i) {
  const auto* a = std::get_if<Area>(&call.Arg(i));
  if (!a) Fail(ErrorCode::Value);
  const Workbook& book = call.Ctx().Book();
  const int sheet = book.SheetIndexOfId(a->sheetId);
  if (sheet == 0) Fail(ErrorCode::Ref);
  return book.FindCell(sheet, a->firstRow, a->firstCol);
}

Operand IsFormula(Call& call) {
  const Cell* cell = TopLeftCell(call, 0);
  return Value{cell != nullptr && cell->formula != nullptr};
}

Operand FormulaText(Call& call) {
  const Cell* cell = TopLeftCell(call, 0);
  if (!cell || !cell->formula) Fail(ErrorCode::NA);
  return Value{"=" + PrintFormula(*cell->formula, call.Ctx().Book())};
}

// SHEET([value]): the number of the formula's sheet, of a reference's sheet, or of the sheet
// a text names (#N/A when there is none).
Operand Sheet(Call& call) {
  const Workbook& book = call.Ctx().Book();
  uint32_t id = call.Ctx().HostSheetId();
  if (!call.Missing(0)) {
    const Operand& op = call.Arg(0);
    if (const auto* a = std::get_if<Area>(&op)) {
      id = a->sheetId;
    } else {
      const Value v = call.Scalar(0);
      if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
      if (!IsText(v)) Fail(ErrorCode::NA);
      id = call.Ctx().FindSheetId(std::get<SharedText>(v));
      if (id == 0) Fail(ErrorCode::NA);
    }
  }
  const int index = book.SheetIndexOfId(id);
  if (index == 0) Fail(ErrorCode::Ref);
  return Value{static_cast<double>(index)};
}

// SHEETS([reference]): the sheets in the workbook, or the sheets a reference spans (one).
Operand Sheets(Call& call) {
  if (call.Missing(0)) return Value{static_cast<double>(call.Ctx().Book().SheetCount())};
  if (!IsArea(call.Arg(0))) Fail(ErrorCode::Value);
  return Value{1.0};
}

// ADDRESS(row, column, [abs], [a1], [sheet]): the reference as text. abs 1 $A$1, 2 A$1,
// 3 $A1, 4 A1; a1 FALSE writes R1C1 style (relative parts as R[1]C[1]).
Operand Address(Call& call) {
  const double row = std::trunc(call.Number(0)), col = std::trunc(call.Number(1));
  const double absNum = std::trunc(call.Number(2, 1));
  const bool a1 = call.Bool(3, true);
  if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols) Fail(ErrorCode::Value);
  if (absNum < 1 || absNum > 4) Fail(ErrorCode::Value);
  const bool absRow = absNum == 1 || absNum == 2, absCol = absNum == 1 || absNum == 3;
  const int r = static_cast<int>(row), c = static_cast<int>(col);
  std::string out;
  if (!call.Missing(4)) {
    const std::string sheet = call.Text(4);
    bool plain = !sheet.empty() && !(sheet[0] >= '0' && sheet[0] <= '9');
    for (char ch : sheet) {
      plain = plain && (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.' ||
                        static_cast<unsigned char>(ch) >= 0x80);
    }
    if (plain) {
      out = sheet;
    } else {
      out = "'";
      for (char ch : sheet) out += ch == '\'' ? std::string("''") : std::string(1, ch);
      out += "'";
    }
    out += '!';
  }
  if (a1) {
    if (absCol) out += '$';
    out += ColumnLetters(c);
    if (absRow) out += '$';
    out += std::to_string(r);
  } else {
    out += absRow ? "R" + std::to_string(r) : "R[" + std::to_string(r) + "]";
    out += absCol ? "C" + std::to_string(c) : "C[" + std::to_string(c) + "]";
  }
  return Value{out};
}

// HYPERLINK(link, [name]): what the cell shows; following the link is the viewer's business.
Operand Hyperlink(Call& call) {
  const Value shown = call.Missing(1) ? call.Scalar(0) : call.Scalar(1);
  if (const auto* e = std::get_if<ErrorCode>(&shown)) Fail(*e);
  return IsEmpty(shown) ? Value{0.0} : shown;
}

// ISBINARY(value): whether the value reads as a binary number of at most ten digits.
Operand IsBinary(Call& call) {
  const Value v = call.Scalar(0);
  if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
  if (IsBoolean(v)) return Value{false};
  const std::string s = AsText(v);
  bool ok = !s.empty() && s.size() <= 10;
  for (char c : s) ok = ok && (c == '0' || c == '1');
  return Value{ok};
}

// UNICHAR(n): the character with code point n, as UTF-8.
Operand Unichar(Call& call) {
  const double d = std::trunc(call.Number(0));
  if (d < 1 || d > 0x10FFFF || (d >= 0xD800 && d <= 0xDFFF)) Fail(ErrorCode::Value);
  const auto cp = static_cast<uint32_t>(d);
  std::string out;
  text::utf8::AppendCodePoint(out, cp);
  return Value{out};
}

// UNICODE(text): the code point of the first character; #VALUE! for an empty text.
Operand Unicode(Call& call) {
  const std::string s = call.Text(0);
  if (s.empty()) Fail(ErrorCode::Value);
  char32_t cp = 0;
  if (text::utf8::DecodeWellFormed(s, 0, cp) == 0) Fail(ErrorCode::Value);
  return Value{static_cast<double>(cp)};
}

// VERSION(): this library's version text ("0.1.0"), as other spreadsheet engines name their
// own version; workbooks that show which engine computed them use it.
Operand Version(Call&) { return Value{std::string(DDT_VERSION_STRING)}; }

}  // namespace

void RegisterInformationFunctions(FunctionRegistry& r) {
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
  r.Add({"ISREF", 1, 1, IsRef});
  r.Add({"ISFORMULA", 1, 1, IsFormula});
  r.Add({"FORMULATEXT", 1, 1, FormulaText});
  r.Add({"SHEET", 0, 1, Sheet});
  r.Add({"SHEETS", 0, 1, Sheets});
  r.Add({"ADDRESS", 2, 5, Address});
  r.Add({"HYPERLINK", 1, 2, Hyperlink});
  r.Add({"ISBINARY", 1, 1, IsBinary});
  r.Add({"UNICHAR", 1, 1, Unichar});
  r.Add({"UNICODE", 1, 1, Unicode});
}

}  // namespace ddt::grid::formula
