// Evaluation of one formula: operators with Excel's coercions, references, calls.
#include <algorithm>
#include <cmath>
#include <vector>

#include "grid/formula/recalc.h"
#include "grid/sheet.h"

// GCC 12 reports nested std::variant moves as maybe-uninitialized (a known false positive).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace ddt::grid::formula {

namespace {

// Largest array built from ranges in array context.
constexpr size_t kMaxArrayCells = 4 * 1024 * 1024;
// Arguments kept without a heap allocation.
constexpr int kInlineArgs = 8;

Value Finite(double d) {
  if (!std::isfinite(d)) return ErrorCode::Num;
  return d == 0 ? 0.0 : d;  // no negative zero
}

double Power(double x, double y, ErrorCode* error) {
  if (x == 0 && y == 0) {
    *error = ErrorCode::Num;
    return 0;
  }
  if (x == 0 && y < 0) {
    *error = ErrorCode::Div0;
    return 0;
  }
  if (x < 0 && y != std::trunc(y)) {
    // A negative base allows odd roots: (-8)^(1/3) is -2.
    double inv = 1 / y;
    if (std::fabs(inv) < 1e15 && std::fabs(inv - std::round(inv)) < 1e-9 &&
        static_cast<long long>(std::round(inv)) % 2)
      return -std::pow(-x, y);
    *error = ErrorCode::Num;
    return 0;
  }
  return std::pow(x, y);
}

struct DepthGuard {
  explicit DepthGuard(int& d) : d(d) { ++d; }
  ~DepthGuard() { --d; }
  int& d;
};

}  // namespace

Value ApplyUnary(Op op, const Value& a) {
  if (op == Op::Plus) return a;
  try {
    double x = AsNumber(a);
    return Finite(op == Op::Neg ? -x : x / 100);
  } catch (const FormulaError& e) {
    return e.code;
  }
}

Value ApplyBinary(Op op, const Value& a, const Value& b) {
  if (auto* e = std::get_if<ErrorCode>(&a)) return *e;
  if (auto* e = std::get_if<ErrorCode>(&b)) return *e;
  try {
    switch (op) {
      case Op::Add: return Finite(AsNumber(a) + AsNumber(b));
      case Op::Sub: return Finite(AsNumber(a) - AsNumber(b));
      case Op::Mul: return Finite(AsNumber(a) * AsNumber(b));
      case Op::Div: {
        double x = AsNumber(a), y = AsNumber(b);
        if (y == 0) return ErrorCode::Div0;
        return Finite(x / y);
      }
      case Op::Pow: {
        double x = AsNumber(a), y = AsNumber(b);
        ErrorCode error{};
        double r = Power(x, y, &error);
        if (error != ErrorCode{}) return error;
        return Finite(r);
      }
      case Op::Concat: {
        std::string s = AsText(a);
        s += AsText(b);
        if (s.size() > static_cast<size_t>(kMaxCellTextLength)) return ErrorCode::Value;
        return s;
      }
      case Op::Eq: return CompareValues(a, b) == 0;
      case Op::Ne: return CompareValues(a, b) != 0;
      case Op::Lt: return CompareValues(a, b) < 0;
      case Op::Gt: return CompareValues(a, b) > 0;
      case Op::Le: return CompareValues(a, b) <= 0;
      case Op::Ge: return CompareValues(a, b) >= 0;
      default: return ErrorCode::Value;
    }
  } catch (const FormulaError& e) {
    return e.code;
  }
}

Value Evaluator::Run() {
  // An array formula evaluates its operators over whole ranges, element by element.
  Operand op = Eval(f_.root, f_.isArray);
  // Its own cell holds the first element of what it gives.
  if (auto* a = std::get_if<Area>(&op); a && f_.isArray) op = CellValue(a->sheetId, a->firstRow, a->firstCol);
  Value v = ScalarOf(*this, op);
  if (IsEmpty(v)) return 0.0;
  if (auto* d = std::get_if<double>(&v)) return Finite(*d);
  if (auto* t = std::get_if<SharedText>(&v))
    if (t->size() > static_cast<size_t>(kMaxCellTextLength)) return ErrorCode::Value;
  return v;
}

std::vector<Value> Evaluator::RunArray(int rows, int cols) {
  auto asCell = [](Value v) -> Value {
    if (IsEmpty(v)) return 0.0;
    if (auto* d = std::get_if<double>(&v)) return Finite(*d);
    if (auto* t = std::get_if<SharedText>(&v))
      if (t->size() > static_cast<size_t>(kMaxCellTextLength)) return ErrorCode::Value;
    return v;
  };
  Operand op = Eval(f_.root, true);
  // The result's own size decides how it spreads; an area is read only as far as needed.
  int resultRows = 1, resultCols = 1;
  MatrixPtr m;
  if (auto* a = std::get_if<Area>(&op)) {
    resultRows = a->Rows();
    resultCols = a->Cols();
    Area part = *a;
    part.lastRow = part.firstRow + std::min(resultRows, rows) - 1;
    part.lastCol = part.firstCol + std::min(resultCols, cols) - 1;
    try {
      m = ToMatrix(part);
    } catch (const FormulaError& e) {
      return std::vector<Value>(static_cast<size_t>(rows) * cols, Value{e.code});
    }
  } else {
    m = ToMatrix(op);
    resultRows = m->rows;
    resultCols = m->cols;
  }
  std::vector<Value> out;
  out.reserve(static_cast<size_t>(rows) * cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      int rr = resultRows == 1 ? 0 : r, cc = resultCols == 1 ? 0 : c;
      if (rr >= resultRows || cc >= resultCols) out.emplace_back(ErrorCode::NA);
      else out.push_back(asCell(m->At(rr, cc)));
    }
  }
  return out;
}

std::vector<Value> Evaluator::RunSpill(int* rows, int* cols) {
  auto asCell = [](Value v) -> Value {
    if (IsEmpty(v)) return 0.0;
    if (auto* d = std::get_if<double>(&v)) return Finite(*d);
    if (auto* t = std::get_if<SharedText>(&v))
      if (t->size() > static_cast<size_t>(kMaxCellTextLength)) return ErrorCode::Value;
    return v;
  };
  *rows = *cols = 1;
  Operand op = Eval(f_.root, f_.isArray);
  if (auto* v = std::get_if<Value>(&op)) return {asCell(*v)};
  MatrixPtr m;
  if (auto* a = std::get_if<Area>(&op)) {
    if (a->IsCell()) return {asCell(CellValue(a->sheetId, a->firstRow, a->firstCol))};
    // An entered formula giving a reference keeps the single value older programs give it
    // (the cell of the range in the formula's row or column): "=A:A" is this row's A.
    if (!f_.isArray) return {asCell(ScalarOf(*this, op))};
    try {
      m = ToMatrix(*a);
    } catch (const FormulaError& e) {
      return {Value{e.code}};
    }
  } else {
    m = std::get<MatrixPtr>(op);
  }
  *rows = m->rows;
  *cols = m->cols;
  if (static_cast<long>(m->rows) * m->cols > kMaxSpillCells) return {};
  std::vector<Value> out;
  out.reserve(m->cells.size());
  for (int r = 0; r < m->rows; ++r)
    for (int c = 0; c < m->cols; ++c) out.push_back(asCell(m->At(r, c)));
  return out;
}

Operand Evaluator::Eval(uint32_t index, bool arrayContext) {
  DepthGuard guard(recalc_.Depth());
  const Node& n = f_.nodes[index];
  switch (n.kind) {
    case NodeKind::Number: return Value{n.number};
    case NodeKind::Text: return Value{f_.texts[n.data]};
    case NodeKind::Bool: return Value{n.boolean};
    case NodeKind::Error: return Value{n.error};
    case NodeKind::Missing: return Value{};
    case NodeKind::Ref: return EvalRef(f_.refs[n.data]);
    case NodeKind::Name: return Value{ErrorCode::Name};
    case NodeKind::Array: return f_.arrays[n.data];
    case NodeKind::Paren: return Eval(f_.ChildIndex(n, 0), arrayContext);
    case NodeKind::Unary:
    case NodeKind::Percent: return EvalUnary(n, arrayContext);
    case NodeKind::Binary: return EvalBinary(n, arrayContext);
    case NodeKind::Call: return EvalCall(n, arrayContext);
  }
  return Value{ErrorCode::Value};
}

Operand Evaluator::EvalRef(const Reference& r) {
  if (r.invalid) return Value{ErrorCode::Ref};
  uint32_t sheet = r.hasSheet ? r.sheetId : sheet_;
  if (r.hasSheet && recalc_.Book().SheetIndexOfId(sheet) == 0) return Value{ErrorCode::Ref};
  return Area{sheet, r.FirstRow(), r.FirstCol(), r.LastRow(), r.LastCol()};
}

MatrixPtr Evaluator::ToMatrix(const Operand& op) {
  if (auto* m = std::get_if<MatrixPtr>(&op)) return *m;
  if (auto* v = std::get_if<Value>(&op)) {
    auto m = std::make_shared<Matrix>(1, 1);
    m->cells[0] = *v;
    return m;
  }
  Area a = std::get<Area>(op);
  // Whole columns and rows are cut down to the sheet's used part.
  if (a.Rows() >= kMaxRows || a.Cols() == kMaxCols) {
    Area bounds;
    if (!recalc_.UsedBounds(a.sheetId, &bounds)) {
      a.lastRow = a.firstRow, a.lastCol = a.firstCol;
    } else {
      if (a.Rows() >= kMaxRows) a.lastRow = std::max(a.firstRow, bounds.lastRow);
      if (a.Cols() == kMaxCols) a.lastCol = std::max(a.firstCol, bounds.lastCol);
    }
  }
  if (static_cast<size_t>(a.Rows()) * a.Cols() > kMaxArrayCells) throw FormulaError{ErrorCode::Num};
  auto m = std::make_shared<Matrix>(a.Rows(), a.Cols());
  ForEachUsed(a, [&](int row, int col, const Value& v) {
    m->At(row - a.firstRow, col - a.firstCol) = v;
    return true;
  });
  return m;
}

Operand Evaluator::EvalUnary(const Node& n, bool arrayContext) {
  Op op = n.kind == NodeKind::Percent ? Op::Div : n.op;  // Div stands for "/100" here
  Operand x = Eval(f_.ChildIndex(n, 0), arrayContext);
  auto apply = [&](const Value& v) {
    return n.kind == NodeKind::Percent ? ApplyUnary(Op::Div, v) : ApplyUnary(op, v);
  };
  if (arrayContext && !std::holds_alternative<Value>(x)) {
    MatrixPtr m;
    try {
      m = ToMatrix(x);
    } catch (const FormulaError& e) {
      return Value{e.code};
    }
    auto out = std::make_shared<Matrix>(m->rows, m->cols);
    for (size_t i = 0; i < m->cells.size(); ++i) out->cells[i] = apply(m->cells[i]);
    return MatrixPtr(out);
  }
  if (n.kind == NodeKind::Unary && n.op == Op::Plus) return x;
  return apply(ScalarOf(*this, x));
}

Operand Evaluator::EvalBinary(const Node& n, bool arrayContext) {
  Operand a = Eval(f_.ChildIndex(n, 0), arrayContext);
  Operand b = Eval(f_.ChildIndex(n, 1), arrayContext);
  if (n.op == Op::Range) {
    // The smallest area holding both sides, which must be references on one sheet.
    if (auto* e = std::get_if<Value>(&a)) return IsError(*e) ? *e : Value{ErrorCode::Value};
    if (auto* e = std::get_if<Value>(&b)) return IsError(*e) ? *e : Value{ErrorCode::Value};
    const Area* x = std::get_if<Area>(&a);
    const Area* y = std::get_if<Area>(&b);
    if (!x || !y || x->sheetId != y->sheetId) return Value{ErrorCode::Value};
    return Area{x->sheetId, std::min(x->firstRow, y->firstRow), std::min(x->firstCol, y->firstCol),
                std::max(x->lastRow, y->lastRow), std::max(x->lastCol, y->lastCol)};
  }
  bool arrays = arrayContext && (!std::holds_alternative<Value>(a) || !std::holds_alternative<Value>(b));
  if (!arrays) return ApplyBinary(n.op, ScalarOf(*this, a), ScalarOf(*this, b));
  MatrixPtr x, y;
  try {
    x = ToMatrix(a);
    y = ToMatrix(b);
  } catch (const FormulaError& e) {
    return Value{e.code};
  }
  // Sizes combine as in Excel: a single row or column stretches, missing parts are #N/A.
  int rows = std::max(x->rows, y->rows), cols = std::max(x->cols, y->cols);
  auto out = std::make_shared<Matrix>(rows, cols);
  auto pick = [](const Matrix& m, int r, int c) -> Value {
    int rr = m.rows == 1 ? 0 : r, cc = m.cols == 1 ? 0 : c;
    if (rr >= m.rows || cc >= m.cols) return ErrorCode::NA;
    return m.At(rr, cc);
  };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) out->At(r, c) = ApplyBinary(n.op, pick(*x, r, c), pick(*y, r, c));
  return MatrixPtr(out);
}

namespace {

// The arguments of one call, evaluated on first use.
class EvalCallArgs final : public Call {
 public:
  EvalCallArgs(Evaluator& ev, const Formula& f, const Node& n, bool arrayContext)
      : ev_(ev), f_(f), n_(n), arrayContext_(arrayContext) {
    if (n.count > kInlineArgs) more_.resize(n.count);
  }

  Context& Ctx() override { return ev_; }
  int Count() const override { return static_cast<int>(n_.count); }
  bool Missing(int i) const override {
    return i < 0 || i >= Count() || f_.Child(n_, i).kind == NodeKind::Missing;
  }
  const Operand& Arg(int i) override {
    static const Operand kOmitted = Value{};
    if (i < 0 || i >= Count()) return kOmitted;
    std::optional<Operand>& slot = i < kInlineArgs ? inline_[i] : more_[i];
    if (!slot) slot = ev_.Eval(f_.ChildIndex(n_, i), arrayContext_);
    return *slot;
  }

 private:
  Evaluator& ev_;
  const Formula& f_;
  const Node& n_;
  bool arrayContext_;
  std::optional<Operand> inline_[kInlineArgs];
  std::vector<std::optional<Operand>> more_;
};

}  // namespace

Operand Evaluator::EvalCall(const Node& n, bool arrayContext) {
  if (!n.fn) return Value{ErrorCode::Name};
  const FunctionSpec& spec = *n.fn;
  int count = static_cast<int>(n.count);
  if (count < spec.minArgs || count > spec.maxArgs) return Value{ErrorCode::Value};
  EvalCallArgs args(*this, f_, n, arrayContext || spec.arrayArgs);
  Operand result;
  try {
    result = spec.impl(args);
  } catch (const FormulaError& e) {
    return Value{e.code};
  }
  if (auto* v = std::get_if<Value>(&result))
    if (auto* d = std::get_if<double>(v)) return Finite(*d);
  return result;
}

void Evaluator::ForEachUsed(const Area& area,
                            const std::function<bool(int, int, const Value&)>& fn) {
  Workbook& book = recalc_.Book();
  int index = book.SheetIndexOfId(area.sheetId);
  if (index == 0) throw FormulaError{ErrorCode::Ref};
  const Sheet& sheet = book.SheetAt(index);
  bool stopped = false;
  sheet.ForEachIn(area.firstRow, area.firstCol, area.lastRow, area.lastCol,
                  [&](int r, int c, const Cell& cell) {
                    if (stopped || (!NeedsCompute(cell) && IsEmpty(cell.value))) return;
                    if (!NeedsCompute(cell)) {
                      stopped = !fn(r, c, cell.value);
                      return;
                    }
                    Value v = recalc_.CellValue(area.sheetId, r, c);
                    stopped = !fn(r, c, v);
                  });
}

std::optional<Area> Evaluator::ClipToUsed(const Area& area) {
  Area bounds;
  if (!recalc_.UsedBounds(area.sheetId, &bounds)) return std::nullopt;
  Area a = area;
  a.lastRow = std::min(a.lastRow, bounds.lastRow);
  a.lastCol = std::min(a.lastCol, bounds.lastCol);
  if (a.lastRow < a.firstRow || a.lastCol < a.firstCol) return std::nullopt;
  return a;
}

uint32_t Evaluator::FindSheetId(std::string_view name) const {
  return BookSheetNames(recalc_.Book()).IdOf(name);
}

}  // namespace ddt::grid::formula
