// The argument helpers of Call: scalar views, coercions and the SUM-style walk over numbers.
#include <cmath>
#include <limits>

#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {

bool Context::Date1904() const { return Book().Date1904(); }

Value ScalarOf(Context& ctx, const Operand& op) {
  if (auto* v = std::get_if<Value>(&op)) return *v;
  if (auto* a = std::get_if<Area>(&op)) {
    if (a->IsCell()) return ctx.CellValue(a->sheetId, a->firstRow, a->firstCol);
    int row = ctx.HostRow(), col = ctx.HostCol();
    if (a->Cols() == 1 && row >= a->firstRow && row <= a->lastRow)
      return ctx.CellValue(a->sheetId, row, a->firstCol);
    if (a->Rows() == 1 && col >= a->firstCol && col <= a->lastCol)
      return ctx.CellValue(a->sheetId, a->firstRow, col);
    return ErrorCode::Value;
  }
  const MatrixPtr& m = std::get<MatrixPtr>(op);
  if (!m || m->cells.empty()) return ErrorCode::Value;
  return m->cells.front();
}

Value Call::Scalar(int i) { return ScalarOf(Ctx(), Arg(i)); }

double Call::Number(int i) { return AsNumber(Scalar(i)); }
double Call::Number(int i, double fallback) { return Missing(i) ? fallback : Number(i); }
std::string Call::Text(int i) { return AsText(Scalar(i)); }
bool Call::Bool(int i) { return AsBool(Scalar(i)); }
bool Call::Bool(int i, bool fallback) { return Missing(i) ? fallback : Bool(i); }

int Call::Int(int i) {
  double d = std::trunc(Number(i));
  if (d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
    throw FormulaError{ErrorCode::Num};
  return static_cast<int>(d);
}
int Call::Int(int i, int fallback) { return Missing(i) ? fallback : Int(i); }

void Call::ForEachValue(int i, const std::function<bool(const Value&, bool)>& fn) {
  const Operand& op = Arg(i);
  if (auto* v = std::get_if<Value>(&op)) {
    fn(*v, false);
  } else if (auto* a = std::get_if<Area>(&op)) {
    Ctx().ForEachUsed(*a, [&](int, int, const Value& v) { return fn(v, true); });
  } else if (const MatrixPtr& m = std::get<MatrixPtr>(op)) {
    for (const Value& v : m->cells)
      if (!fn(v, true)) break;
  }
}

std::vector<double> Call::NumbersOf(int i) {
  std::vector<double> out;
  ForEachValue(i, [&](const Value& v, bool fromRef) {
    if (auto* e = std::get_if<ErrorCode>(&v)) throw FormulaError{*e};
    if (auto* d = std::get_if<double>(&v)) out.push_back(*d);
    else if (!fromRef) out.push_back(AsNumber(v));
    return true;
  });
  return out;
}

void Call::ForEachNumber(int first, const std::function<void(double)>& fn) {
  for (int i = first; i < Count(); ++i) {
    if (Missing(i)) {
      fn(0);
      continue;
    }
    ForEachValue(i, [&](const Value& v, bool fromRef) {
      if (auto* e = std::get_if<ErrorCode>(&v)) throw FormulaError{*e};
      if (auto* d = std::get_if<double>(&v)) {
        fn(*d);
      } else if (!fromRef) {
        fn(AsNumber(v));
      }
      return true;
    });
  }
}

int OperandRows(const Operand& op) {
  if (auto* a = std::get_if<Area>(&op)) return a->Rows();
  if (auto* m = std::get_if<MatrixPtr>(&op)) return *m ? (*m)->rows : 0;
  return 1;
}

int OperandCols(const Operand& op) {
  if (auto* a = std::get_if<Area>(&op)) return a->Cols();
  if (auto* m = std::get_if<MatrixPtr>(&op)) return *m ? (*m)->cols : 0;
  return 1;
}

Value ElementAt(Context& ctx, const Operand& op, int r, int c) {
  if (auto* v = std::get_if<Value>(&op)) return *v;
  if (auto* a = std::get_if<Area>(&op)) {
    if (r < 0 || c < 0 || r >= a->Rows() || c >= a->Cols()) return ErrorCode::NA;
    return ctx.CellValue(a->sheetId, a->firstRow + r, a->firstCol + c);
  }
  const MatrixPtr& m = std::get<MatrixPtr>(op);
  if (!m || r < 0 || c < 0 || r >= m->rows || c >= m->cols) return ErrorCode::NA;
  return m->At(r, c);
}

}  // namespace ddt::grid::formula
