#include "grid/formula/functions/common/argument_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "grid/formula/functions/text/text_number.h"
#include "text/date_serial.h"

namespace ddt::grid::formula {

Table::Table(Context& ctx, const Operand& op) : ctx_(&ctx), op_(op) {
  if (const auto* a = std::get_if<Area>(&op_)) {
    rows_ = a->Rows();
    cols_ = a->Cols();
  } else if (const auto* m = std::get_if<MatrixPtr>(&op_)) {
    rows_ = *m ? (*m)->rows : 0;
    cols_ = *m ? (*m)->cols : 0;
  }
}

Table::Table(Context& ctx, Operand op, int r0, int c0, int rows, int cols)
    : ctx_(&ctx), op_(std::move(op)), r0_(r0), c0_(c0), rows_(rows), cols_(cols) {}

Value Table::At(int r, int c) const {
  if (r < 0 || c < 0 || r >= rows_ || c >= cols_) return Empty{};
  if (const auto* a = std::get_if<Area>(&op_)) {
    return ctx_->CellValue(a->sheetId, a->firstRow + r, a->firstCol + c);
  }
  if (const auto* m = std::get_if<MatrixPtr>(&op_)) {
    const Matrix& mat = **m;
    if (r0_ + r >= mat.rows || c0_ + c >= mat.cols) return Empty{};
    return mat.At(r0_ + r, c0_ + c);
  }
  return (r0_ == 0 && c0_ == 0) ? std::get<Value>(op_) : Value{Empty{}};
}

void Table::ForEachUsed(const std::function<bool(int, int, const Value&)>& fn) const {
  if (const auto* a = std::get_if<Area>(&op_)) {
    ctx_->ForEachUsed(*a, [&](int row, int col, const Value& v) {
      return fn(row - a->firstRow, col - a->firstCol, v);
    });
    return;
  }
  // An array or value cut to a larger shape (SUMIF's sum range) is empty past its elements:
  // those positions are not visited, or a whole-sheet shape would take minutes.
  int rows = 0, cols = 0;
  if (const auto* m = std::get_if<MatrixPtr>(&op_)) {
    rows = *m ? std::min(rows_, (*m)->rows - r0_) : 0;
    cols = *m ? std::min(cols_, (*m)->cols - c0_) : 0;
  } else if (r0_ == 0 && c0_ == 0) {
    rows = std::min(rows_, 1);
    cols = std::min(cols_, 1);
  }
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      if (!fn(r, c, At(r, c))) return;
    }
  }
}

std::vector<Table::UsedCell> Table::Used() const {
  std::vector<UsedCell> out;
  ForEachUsed([&](int r, int c, const Value& v) {
    out.push_back(UsedCell{r, c, v});
    return true;
  });
  return out;
}

std::vector<Value> Table::ColumnValues(int c, int first, int count) const {
  std::vector<Value> out(static_cast<size_t>(std::max(count, 0)));
  if (count <= 0 || c < 0 || c >= cols_ || first < 0) return out;
  Sub(first, c, count, 1).ForEachUsed([&](int r, int, const Value& v) {
    if (r < count) out[static_cast<size_t>(r)] = v;
    return true;
  });
  return out;
}

Table Table::Sub(int r, int c, int rows, int cols) const {
  if (const auto* a = std::get_if<Area>(&op_)) {
    Area sub = *a;
    sub.firstRow = a->firstRow + r;
    sub.firstCol = a->firstCol + c;
    sub.lastRow = std::min(sub.firstRow + rows - 1, kMaxRows);
    sub.lastCol = std::min(sub.firstCol + cols - 1, kMaxCols);
    return Table(*ctx_, Operand{sub});
  }
  return Table(*ctx_, op_, r0_ + r, c0_ + c, rows, cols);
}

int Table::UsedRows() const {
  if (const auto* a = std::get_if<Area>(&op_)) {
    auto used = ctx_->ClipToUsed(*a);
    return used ? used->lastRow - a->firstRow + 1 : 0;
  }
  return rows_;
}

int Table::UsedCols() const {
  if (const auto* a = std::get_if<Area>(&op_)) {
    auto used = ctx_->ClipToUsed(*a);
    return used ? used->lastCol - a->firstCol + 1 : 0;
  }
  return cols_;
}

int64_t ForEachUsedTogether(
    const std::vector<const Table*>& tables, int rows, int cols,
    const std::function<void(int r, int c, const std::vector<const Value*>& values)>& fn) {
  struct Entry {
    int64_t pos;
    Value v;
  };
  // Each table's used cells as (position, value), ascending: ForEachUsed goes row-major.
  std::vector<std::vector<Entry>> lists(tables.size());
  for (size_t i = 0; i < tables.size(); ++i) {
    std::vector<Entry>& list = lists[i];
    tables[i]->ForEachUsed([&](int r, int c, const Value& v) {
      if (r < rows && c < cols) list.push_back(Entry{static_cast<int64_t>(r) * cols + c, v});
      return true;
    });
  }
  // A merge of the sorted lists: each step takes the smallest position any list is at.
  static const Value kBlank;
  constexpr int64_t kDone = INT64_MAX;
  std::vector<size_t> at(lists.size(), 0);
  std::vector<const Value*> values(lists.size(), &kBlank);
  int64_t visited = 0;
  for (;;) {
    int64_t pos = kDone;
    for (size_t i = 0; i < lists.size(); ++i)
      if (at[i] < lists[i].size()) pos = std::min(pos, lists[i][at[i]].pos);
    if (pos == kDone) break;
    for (size_t i = 0; i < lists.size(); ++i) {
      const bool here = at[i] < lists[i].size() && lists[i][at[i]].pos == pos;
      values[i] = here ? &lists[i][at[i]].v : &kBlank;
    }
    ++visited;
    fn(static_cast<int>(pos / cols), static_cast<int>(pos % cols), values);
    for (size_t i = 0; i < lists.size(); ++i)
      if (at[i] < lists[i].size() && lists[i][at[i]].pos == pos) ++at[i];
  }
  return visited;
}

double SerialArg(Call& call, int i) {
  const Value v = call.Scalar(i);
  ThrowIfError(v);
  const bool date1904 = call.Ctx().Date1904();
  double serial;
  if (const auto* t = std::get_if<SharedText>(&v)) {
    auto n = ReadNumberText(*t, date1904);
    if (!n) throw FormulaError{ErrorCode::Value};
    serial = *n;
  } else {
    serial = AsNumber(v);
  }
  if (!std::isfinite(serial) || serial < 0 ||
      serial >= static_cast<double>(text::MaxSerial(date1904) + 1)) {
    throw FormulaError{ErrorCode::Num};
  }
  return serial;
}

std::set<int64_t> HolidaysArg(Call& call, int i) {
  std::set<int64_t> out;
  if (call.Missing(i)) return out;
  const bool date1904 = call.Ctx().Date1904();
  const double last = static_cast<double>(text::MaxSerial(date1904));
  const auto add = [&](double day) {
    if (day >= 0 && day < last + 1) out.insert(static_cast<int64_t>(std::floor(day)));
  };
  call.ForEachValue(i, [&](const Value& v, bool) {
    ThrowIfError(v);
    if (const auto* d = std::get_if<double>(&v)) {
      add(*d);
    } else if (const auto* t = std::get_if<SharedText>(&v)) {
      auto n = ReadNumberText(*t, date1904);
      if (!n) throw FormulaError{ErrorCode::Value};
      add(*n);
    }
    return true;
  });
  return out;
}

void ForEachNumberA(Call& call, int first, const std::function<void(double)>& fn) {
  for (int i = first; i < call.Count(); ++i) {
    if (call.Missing(i)) {
      fn(0);
      continue;
    }
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      ThrowIfError(v);
      if (const auto* d = std::get_if<double>(&v)) fn(*d);
      else if (const auto* b = std::get_if<bool>(&v)) fn(*b ? 1 : 0);
      else if (IsText(v)) fn(fromRef ? 0 : AsNumber(v));
      else if (!fromRef) fn(0);
      return true;
    });
  }
}

}  // namespace ddt::grid::formula
