// Reference functions: positions, sizes, and references computed from other references or
// from text (INDEX, OFFSET, INDIRECT).
#include <cmath>
#include <cstdlib>

#include "grid/formula/a1.h"
#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {

namespace {

const Area& AreaArg(Call& call, int i) {
  const Operand& op = call.Arg(i);
  if (auto* a = std::get_if<Area>(&op)) return *a;
  if (auto* v = std::get_if<Value>(&op))
    if (auto* e = std::get_if<ErrorCode>(v)) throw FormulaError{*e};
  throw FormulaError{ErrorCode::Value};
}

Operand Choose(Call& call) {
  double index = std::trunc(call.Number(0));
  if (index < 1 || index >= call.Count()) throw FormulaError{ErrorCode::Value};
  int i = static_cast<int>(index);
  if (call.Missing(i)) return Value{0.0};
  return call.Arg(i);
}

// Rows above row 1 of the grid that the file has (a held header row): row numbers that
// formulas see and write in text count the file's rows.
int RowOrigin(Call& call) { return call.Ctx().Book().RowOrigin(); }

Operand Row(Call& call) {
  if (call.Missing(0)) return Value{static_cast<double>(call.Ctx().HostRow() + RowOrigin(call))};
  return Value{static_cast<double>(AreaArg(call, 0).firstRow + RowOrigin(call))};
}

Operand Column(Call& call) {
  if (call.Missing(0)) return Value{static_cast<double>(call.Ctx().HostCol())};
  return Value{static_cast<double>(AreaArg(call, 0).firstCol)};
}

void ThrowIfErrorValue(const Operand& op) {
  if (auto* v = std::get_if<Value>(&op))
    if (auto* e = std::get_if<ErrorCode>(v)) throw FormulaError{*e};
}

Operand Rows(Call& call) {
  ThrowIfErrorValue(call.Arg(0));
  return Value{static_cast<double>(OperandRows(call.Arg(0)))};
}

Operand Columns(Call& call) {
  ThrowIfErrorValue(call.Arg(0));
  return Value{static_cast<double>(OperandCols(call.Arg(0)))};
}

// INDEX(array, row, [column], [area]): one cell, or a whole row or column when the other
// position is 0. A reference in gives a reference out.
Operand Index(Call& call) {
  const Operand& op = call.Arg(0);
  ThrowIfErrorValue(op);
  int rows = OperandRows(op), cols = OperandCols(op);
  int r = call.Int(1, 0);
  int c = call.Int(2, 0);
  if (!call.Missing(3) && call.Int(3) != 1) throw FormulaError{ErrorCode::Ref};
  // A single row or column takes one position along its length.
  if (call.Count() < 3 && rows == 1 && cols > 1) {
    c = r;
    r = 1;
  } else if (call.Missing(2) && cols == 1) {
    c = 1;
  }
  if (r < 0 || c < 0) throw FormulaError{ErrorCode::Value};
  if (r > rows || c > cols) throw FormulaError{ErrorCode::Ref};
  int r1 = r ? r - 1 : 0, r2 = r ? r - 1 : rows - 1;
  int c1 = c ? c - 1 : 0, c2 = c ? c - 1 : cols - 1;
  if (auto* a = std::get_if<Area>(&op))
    return Area{a->sheetId, a->firstRow + r1, a->firstCol + c1, a->firstRow + r2, a->firstCol + c2};
  if (r1 == r2 && c1 == c2) return ElementAt(call.Ctx(), op, r1, c1);
  auto m = std::make_shared<Matrix>(r2 - r1 + 1, c2 - c1 + 1);
  for (int i = r1; i <= r2; ++i)
    for (int j = c1; j <= c2; ++j) m->At(i - r1, j - c1) = ElementAt(call.Ctx(), op, i, j);
  return MatrixPtr(m);
}

// OFFSET(reference, rows, cols, [height], [width]); a negative height or width reaches up or
// to the left of the moved corner, as the spreadsheet allows.
Operand Offset(Call& call) {
  const Area& a = AreaArg(call, 0);
  int dr = call.Int(1, 0), dc = call.Int(2, 0);
  int height = call.Missing(3) ? a.Rows() : call.Int(3);
  int width = call.Missing(4) ? a.Cols() : call.Int(4);
  if (height == 0 || width == 0) throw FormulaError{ErrorCode::Ref};
  long top = static_cast<long>(a.firstRow) + dr, left = static_cast<long>(a.firstCol) + dc;
  long bottom = top + height - (height > 0 ? 1 : -1);
  long right = left + width - (width > 0 ? 1 : -1);
  if (bottom < top) std::swap(top, bottom);
  if (right < left) std::swap(left, right);
  if (top < 1 - RowOrigin(call) || left < 1 || bottom > kMaxRows || right > kMaxCols)
    throw FormulaError{ErrorCode::Ref};
  return Area{a.sheetId, static_cast<int>(top), static_cast<int>(left), static_cast<int>(bottom),
              static_cast<int>(right)};
}

// One R1C1 corner: R and C each with an absolute number, a [relative] offset or nothing
// (the host's own row or column).
bool ScanR1C1(std::string_view t, size_t* pos, int hostRow, int hostCol, int* row, int* col) {
  auto part = [&](char letter, int host, int limit, int* out) {
    if (*pos >= t.size() || (t[*pos] | 0x20) != letter) return false;
    ++*pos;
    long v = host;
    if (*pos < t.size() && t[*pos] == '[') {
      size_t end = t.find(']', *pos);
      if (end == std::string_view::npos) return false;
      std::string num(t.substr(*pos + 1, end - *pos - 1));
      char* stop = nullptr;
      long off = std::strtol(num.c_str(), &stop, 10);
      if (num.empty() || *stop) return false;
      v = host + off;
      *pos = end + 1;
    } else if (*pos < t.size() && t[*pos] >= '0' && t[*pos] <= '9') {
      v = 0;
      while (*pos < t.size() && t[*pos] >= '0' && t[*pos] <= '9' && v <= limit)
        v = v * 10 + (t[(*pos)++] - '0');
    }
    if (v < 1 || v > limit) return false;
    *out = static_cast<int>(v);
    return true;
  };
  return part('r', hostRow, kMaxRows, row) && part('c', hostCol, kMaxCols, col);
}

std::optional<Area> ReferenceFromText(Context& ctx, std::string_view t, bool a1, int origin) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  uint32_t sheet = ctx.HostSheetId();
  size_t bang = t.rfind('!');
  if (bang != std::string_view::npos) {
    std::string_view name = t.substr(0, bang);
    std::string unquoted;
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
      for (size_t i = 1; i + 1 < name.size(); ++i) {
        unquoted += name[i];
        if (name[i] == '\'' && i + 2 < name.size() && name[i + 1] == '\'') ++i;
      }
      name = unquoted;
    }
    sheet = ctx.FindSheetId(name);
    if (sheet == 0) return std::nullopt;
    t = t.substr(bang + 1);
  }
  if (!a1) {
    size_t pos = 0;
    int r1, c1, r2, c2;
    if (!ScanR1C1(t, &pos, ctx.HostRow() + origin, ctx.HostCol(), &r1, &c1)) return std::nullopt;
    r2 = r1, c2 = c1;
    if (pos < t.size() && t[pos] == ':') {
      ++pos;
      if (!ScanR1C1(t, &pos, ctx.HostRow() + origin, ctx.HostCol(), &r2, &c2)) return std::nullopt;
    }
    if (pos != t.size()) return std::nullopt;
    return Area{sheet, std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
  }
  ScannedCorner a, b;
  if (ScanRowRange(t, 0, &a, &b) == t.size())
    return Area{sheet, std::min(a.row, b.row), 1, std::max(a.row, b.row), kMaxCols};
  if (ScanColumnRange(t, 0, &a, &b) == t.size())
    return Area{sheet, 1, std::min(a.col, b.col), kMaxRows, std::max(a.col, b.col)};
  size_t end = ScanCellRef(t, 0, &a);
  if (end == std::string_view::npos) return std::nullopt;
  b = a;
  if (end < t.size()) {
    if (t[end] != ':' || ScanCellRef(t, end + 1, &b) != t.size()) return std::nullopt;
  }
  return Area{sheet, std::min(a.row, b.row), std::min(a.col, b.col), std::max(a.row, b.row),
              std::max(a.col, b.col)};
}

Operand Indirect(Call& call) {
  std::string text = call.Text(0);
  bool a1 = call.Bool(1, true);
  // The text names rows of the file; relative R1C1 parts count from the host's file row.
  const int origin = RowOrigin(call);
  std::optional<Area> area = ReferenceFromText(call.Ctx(), text, a1, origin);
  if (!area) throw FormulaError{ErrorCode::Ref};
  if (area->Rows() < kMaxRows) {
    area->firstRow -= origin;
    area->lastRow -= origin;
  } else {
    area->firstRow -= origin;  // whole columns start at a held header row
  }
  return *area;
}

}  // namespace

void RegisterReferenceFunctions(FunctionRegistry& r) {
  r.Add({"CHOOSE", 2, kMaxFunctionArgs, Choose});
  r.Add({"COLUMN", 0, 1, Column});
  r.Add({"COLUMNS", 1, 1, Columns});
  r.Add({"ROW", 0, 1, Row});
  r.Add({"ROWS", 1, 1, Rows});
  r.Add({"INDEX", 2, 4, Index});
  r.Add({"INDIRECT", 1, 2, Indirect, true});
  r.Add({"OFFSET", 3, 5, Offset, true});
}

}  // namespace ddt::grid::formula
