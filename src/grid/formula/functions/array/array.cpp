// Functions that take or give whole arrays: XLOOKUP, MMULT, TRANSPOSE, SEQUENCE, SORT,
// UNIQUE, FILTER, HSTACK, VSTACK, ARRAY_CONSTRAIN and ARRAYFORMULA. A cell shows the top-left
// element of an array result.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grid/formula/criteria.h"
#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

// Results larger than this many elements are refused (#NUM!), so that a formula cannot make
// the engine allocate without bound.
constexpr int64_t kMaxElements = 10'000'000;

std::shared_ptr<Matrix> NewMatrix(int64_t rows, int64_t cols) {
  if (rows < 1 || cols < 1) Fail(ErrorCode::Value);
  if (rows * cols > kMaxElements) Fail(ErrorCode::Num);
  return std::make_shared<Matrix>(static_cast<int>(rows), static_cast<int>(cols));
}

// Argument i as a matrix of values. An area keeps its top-left corner and is cut after its
// last used row and column (a whole column does not become a million rows).
std::shared_ptr<Matrix> MatrixArg(Call& call, int i) {
  const Operand& op = call.Arg(i);
  Table t(call.Ctx(), op);
  int rows = t.Rows(), cols = t.Cols();
  if (t.IsArea()) {
    rows = std::min(rows, std::max(1, t.UsedRows()));
    cols = std::min(cols, std::max(1, t.UsedCols()));
  }
  auto m = NewMatrix(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m->At(r, c) = t.At(r, c);
  return m;
}

Operand Result(std::shared_ptr<Matrix> m) { return MatrixPtr(std::move(m)); }

// --- XLOOKUP ---------------------------------------------------------------------------------

// Same-kind comparison: numbers, texts (ignoring case), booleans; nothing across kinds.
std::optional<int> CompareSameKind(const Value& a, const Value& b) {
  if (a.index() != b.index() || IsEmpty(a) || IsError(a)) return std::nullopt;
  return CompareValues(a, b);
}

// Order for SORT, and of the data XLOOKUP's binary searches expect: numbers < text < booleans; blanks and errors last.
int SortCompare(const Value& a, const Value& b) {
  auto rank = [](const Value& v) { return IsEmpty(v) || IsError(v) ? 1 : 0; };
  if (rank(a) != rank(b)) return rank(a) - rank(b);
  if (rank(a) == 1) return 0;
  return CompareValues(a, b);
}

// XLOOKUP's binary searches (search_mode 2 over data sorted ascending, -2 descending, in
// SORT's order): the range is halved as a spreadsheet halves it, so on data that is not
// sorted the result is the one the spreadsheet gives, not the closest value. The position
// found, or -1.
int BinarySearch(const Table& lookup, bool vertical, int used, const Value& key,
                 int matchMode, bool descending) {
  auto at = [&](int i) { return vertical ? lookup.At(i, 0) : lookup.At(0, i); };
  auto order = [&](const Value& v) { return descending ? -SortCompare(v, key) : SortCompare(v, key); };
  int lo = 0, hi = used;  // the first position not before the key
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (order(at(mid)) < 0) lo = mid + 1;
    else hi = mid;
  }
  if (lo < used && SortCompare(at(lo), key) == 0) return lo;
  if (matchMode == 0) return -1;
  // Past the key in the search's order lies the larger value ascending, the smaller one
  // descending.
  const bool wantAfter = (matchMode == 1) != descending;
  if (wantAfter) return lo < used ? lo : -1;
  return lo - 1;
}

// XLOOKUP(key, lookup, return, [if_not_found], [match_mode], [search_mode]). match_mode 0
// exact, -1 exact or next smaller, 1 exact or next larger, 2 wildcards; search_mode 1 from
// the first, -1 from the last, 2 and -2 binary searches over data sorted ascending or
// descending (wildcards are matched in order from the first).
Operand XLookup(Call& call) {
  Value key = call.Scalar(0);
  ThrowIfError(key);
  if (IsEmpty(key)) key = Value{0.0};
  Table lookup(call.Ctx(), call.Arg(1));
  Table ret(call.Ctx(), call.Arg(2));
  const int matchMode = call.Int(4, 0), searchMode = call.Int(5, 1);
  if (matchMode < -1 || matchMode > 2) Fail(ErrorCode::Value);
  if (searchMode != 1 && searchMode != -1 && searchMode != 2 && searchMode != -2) {
    Fail(ErrorCode::Value);
  }
  const bool vertical = lookup.Cols() == 1;
  if (!vertical && lookup.Rows() != 1) Fail(ErrorCode::Value);
  const int n = vertical ? lookup.Rows() : lookup.Cols();
  if ((vertical ? ret.Rows() : ret.Cols()) != n) Fail(ErrorCode::Value);

  std::optional<Wildcard> pattern;
  if (matchMode == 2 && IsText(key)) pattern.emplace(std::get<SharedText>(key));
  const int used = std::min(n, std::max(1, vertical ? lookup.UsedRows() : lookup.UsedCols()));
  int found = -1;
  Value best;
  const bool binary = (searchMode == 2 || searchMode == -2) && !pattern;
  if (binary) found = BinarySearch(lookup, vertical, used, key, matchMode, searchMode < 0);
  for (int k = 0; !binary && k < used; ++k) {
    const int i = searchMode < 0 ? used - 1 - k : k;
    const Value v = vertical ? lookup.At(i, 0) : lookup.At(0, i);
    if (pattern) {
      if (IsText(v) && pattern->Matches(std::get<SharedText>(v))) {
        found = i;
        break;
      }
      continue;
    }
    const std::optional<int> cmp = CompareSameKind(v, key);
    if (!cmp) continue;
    if (*cmp == 0) {
      found = i;
      break;
    }
    // The closest value on the allowed side.
    if ((matchMode == -1 && *cmp < 0) || (matchMode == 1 && *cmp > 0)) {
      if (found < 0 || (matchMode == -1 ? CompareValues(v, best) > 0 : CompareValues(v, best) < 0)) {
        found = i;
        best = v;
      }
    }
  }
  if (found < 0) {
    if (call.Count() > 3 && !call.Missing(3)) return call.Arg(3);
    Fail(ErrorCode::NA);
  }
  // The matching row (column) of the return array; a reference when it is one cell.
  const Operand& r = call.Arg(2);
  const auto* a = std::get_if<Area>(&r);
  if (a && (vertical ? a->Cols() : a->Rows()) == 1) {
    Area out = *a;
    if (vertical) out.firstRow = out.lastRow = a->firstRow + found;
    else out.firstCol = out.lastCol = a->firstCol + found;
    return out;
  }
  auto m = NewMatrix(vertical ? 1 : ret.Rows(), vertical ? ret.Cols() : 1);
  for (int j = 0; j < (vertical ? ret.Cols() : ret.Rows()); ++j) {
    m->cells[static_cast<size_t>(j)] = vertical ? ret.At(found, j) : ret.At(j, found);
  }
  return Result(m);
}

// --- Matrix arithmetic and shapes ------------------------------------------------------------

// Products costing more multiply-adds than this are refused (#NUM!), as results too large are:
// about a 464 x 464 square product, well under a second; two 3000 x 3000 arguments (within the
// element limit) would take minutes.
constexpr int64_t kMaxMultiplyAdds = 100'000'000;

// The inner product of n numbers at x and y. Left out of the fuzzers' coverage hooks (clang):
// the loop has no branch of interest, and the hooks made a large product take minutes.
#if defined(__clang__)
__attribute__((no_sanitize("coverage")))
#endif
double Dot(const double* x, const double* y, size_t n) {
  double s = 0;
  for (size_t k = 0; k < n; ++k) s += x[k] * y[k];
  return s;
}

Operand MMult(Call& call) {
  const auto a = MatrixArg(call, 0), b = MatrixArg(call, 1);
  if (a->cols != b->rows) Fail(ErrorCode::Value);
  if (int64_t{a->rows} * a->cols * b->cols > kMaxMultiplyAdds) Fail(ErrorCode::Num);
  // The arguments as plain numbers first (each checked once), b by columns, so that the
  // inner loop only multiplies and adds.
  auto numbers = [](const Matrix& m, bool byCols) {
    std::vector<double> out(m.cells.size());
    for (int r = 0; r < m.rows; ++r) {
      for (int c = 0; c < m.cols; ++c) {
        const Value& v = m.At(r, c);
        ThrowIfError(v);
        if (!IsNumber(v)) Fail(ErrorCode::Value);
        out[byCols ? static_cast<size_t>(c) * m.rows + r : static_cast<size_t>(r) * m.cols + c] =
            std::get<double>(v);
      }
    }
    return out;
  };
  const std::vector<double> x = numbers(*a, false), y = numbers(*b, true);
  const size_t inner = static_cast<size_t>(a->cols);
  auto out = NewMatrix(a->rows, b->cols);
  for (int r = 0; r < a->rows; ++r) {
    const double* row = x.data() + static_cast<size_t>(r) * inner;
    for (int c = 0; c < b->cols; ++c) {
      out->At(r, c) = Dot(row, y.data() + static_cast<size_t>(c) * inner, inner);
    }
  }
  return Result(out);
}

// An empty cell inside an array result shows as 0, as in the spreadsheet.
Value Shown(const Value& v) { return IsEmpty(v) ? Value{0.0} : v; }

Operand Transpose(Call& call) {
  const auto a = MatrixArg(call, 0);
  auto out = NewMatrix(a->cols, a->rows);
  for (int r = 0; r < a->rows; ++r)
    for (int c = 0; c < a->cols; ++c) out->At(c, r) = Shown(a->At(r, c));
  return Result(out);
}

Operand Sequence(Call& call) {
  const double rows = std::trunc(call.Number(0)), cols = std::trunc(call.Number(1, 1));
  const double start = call.Number(2, 1), step = call.Number(3, 1);
  // No rows or columns asked for is an empty array (#CALC!); fewer than none is wrong input.
  if (rows < 0 || cols < 0) Fail(ErrorCode::Value);
  if (rows < 1 || cols < 1) Fail(ErrorCode::Calc);
  if (rows * cols > kMaxElements) Fail(ErrorCode::Num);
  auto out = NewMatrix(static_cast<int64_t>(rows), static_cast<int64_t>(cols));
  double v = start;
  for (Value& cell : out->cells) {
    cell = v;
    v += step;
  }
  return Result(out);
}

// SORT(array, [index], [order], [by_col]): rows (columns) ordered by the index-th column
// (row); order -1 descends. Equal keys keep their order.
Operand Sort(Call& call) {
  const auto a = MatrixArg(call, 0);
  const int index = call.Int(1, 1), order = call.Int(2, 1);
  const bool byCol = call.Bool(3, false);
  if (order != 1 && order != -1) Fail(ErrorCode::Value);
  const int lines = byCol ? a->cols : a->rows, width = byCol ? a->rows : a->cols;
  if (index < 1 || index > width) Fail(ErrorCode::Value);
  auto at = [&](int line, int k) -> const Value& {
    return byCol ? a->At(k, line) : a->At(line, k);
  };
  std::vector<int> idx(static_cast<size_t>(lines));
  std::iota(idx.begin(), idx.end(), 0);
  std::stable_sort(idx.begin(), idx.end(), [&](int x, int y) {
    const Value &vx = at(x, index - 1), &vy = at(y, index - 1);
    const bool blankX = IsEmpty(vx) || IsError(vx), blankY = IsEmpty(vy) || IsError(vy);
    if (blankX || blankY) return !blankX && blankY;  // blanks last in either order
    const int c = SortCompare(vx, vy);
    return order == 1 ? c < 0 : c > 0;
  });
  auto out = NewMatrix(a->rows, a->cols);
  for (int i = 0; i < lines; ++i) {
    for (int k = 0; k < width; ++k) {
      (byCol ? out->At(k, i) : out->At(i, k)) = Shown(at(idx[static_cast<size_t>(i)], k));
    }
  }
  return Result(out);
}

// A key equal for lines that compare equal: kinds apart, numbers exactly, text ignoring case.
std::string LineKey(const Matrix& m, bool byCol, int line) {
  std::string key;
  const int width = byCol ? m.rows : m.cols;
  for (int k = 0; k < width; ++k) {
    const Value& v = byCol ? m.At(k, line) : m.At(line, k);
    key += static_cast<char>('0' + v.index());
    if (const auto* d = std::get_if<double>(&v)) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", *d);
      key += buf;
    } else if (const auto* t = std::get_if<SharedText>(&v)) {
      key += LowerText(*t);
    } else if (const auto* b = std::get_if<bool>(&v)) {
      key += *b ? '1' : '0';
    } else if (const auto* e = std::get_if<ErrorCode>(&v)) {
      key += std::to_string(static_cast<int>(*e));
    }
    key += '\x1f';
  }
  return key;
}

// UNIQUE(array, [by_col], [exactly_once]): distinct rows (columns) in first-seen order, or
// only those that occur once.
Operand Unique(Call& call) {
  const auto a = MatrixArg(call, 0);
  const bool byCol = call.Bool(1, false), once = call.Bool(2, false);
  const int lines = byCol ? a->cols : a->rows, width = byCol ? a->rows : a->cols;
  std::unordered_map<std::string, int> counts;
  std::vector<std::string> keys(static_cast<size_t>(lines));
  for (int i = 0; i < lines; ++i) {
    keys[static_cast<size_t>(i)] = LineKey(*a, byCol, i);
    ++counts[keys[static_cast<size_t>(i)]];
  }
  std::vector<int> keep;
  std::unordered_set<std::string> seen;
  for (int i = 0; i < lines; ++i) {
    const std::string& key = keys[static_cast<size_t>(i)];
    if (once ? counts[key] == 1 : seen.insert(key).second) keep.push_back(i);
  }
  if (keep.empty()) Fail(ErrorCode::Calc);  // nothing to return: an empty array
  const int n = static_cast<int>(keep.size());
  auto out = byCol ? NewMatrix(width, n) : NewMatrix(n, width);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < width; ++k) {
      const int line = keep[static_cast<size_t>(i)];
      (byCol ? out->At(k, i) : out->At(i, k)) = Shown(byCol ? a->At(k, line) : a->At(line, k));
    }
  }
  return Result(out);
}

// FILTER(array, include, [if_empty]): the rows (or columns, when include is a row as wide as
// the array) whose include value is true.
Operand Filter(Call& call) {
  const auto a = MatrixArg(call, 0);
  Table inc(call.Ctx(), call.Arg(1));
  bool byCol;
  if (inc.Cols() == 1 && inc.Rows() == a->rows) byCol = false;
  else if (inc.Rows() == 1 && inc.Cols() == a->cols) byCol = true;
  else Fail(ErrorCode::Value);
  const int lines = byCol ? a->cols : a->rows, width = byCol ? a->rows : a->cols;
  std::vector<int> keep;
  for (int i = 0; i < lines; ++i) {
    const Value v = byCol ? inc.At(0, i) : inc.At(i, 0);
    ThrowIfError(v);
    if (!IsEmpty(v) && AsBool(v)) keep.push_back(i);
  }
  if (keep.empty()) {
    if (call.Count() > 2 && !call.Missing(2)) return call.Arg(2);
    Fail(ErrorCode::Calc);  // no match and no if_empty: an empty array
  }
  const int n = static_cast<int>(keep.size());
  auto out = byCol ? NewMatrix(width, n) : NewMatrix(n, width);
  for (int i = 0; i < n; ++i) {
    const int line = keep[static_cast<size_t>(i)];
    for (int k = 0; k < width; ++k) {
      (byCol ? out->At(k, i) : out->At(i, k)) = Shown(byCol ? a->At(k, line) : a->At(line, k));
    }
  }
  return Result(out);
}

// HSTACK and VSTACK: arrays side by side (one above the other); gaps are #N/A.
Operand Stack(Call& call, bool horizontal) {
  std::vector<std::shared_ptr<Matrix>> parts;
  int64_t along = 0, across = 0;
  for (int i = 0; i < call.Count(); ++i) {
    parts.push_back(MatrixArg(call, i));
    const Matrix& m = *parts.back();
    along += horizontal ? m.cols : m.rows;
    across = std::max<int64_t>(across, horizontal ? m.rows : m.cols);
  }
  auto out = horizontal ? NewMatrix(across, along) : NewMatrix(along, across);
  for (Value& v : out->cells) v = ErrorCode::NA;
  int offset = 0;
  for (const auto& m : parts) {
    for (int r = 0; r < m->rows; ++r) {
      for (int c = 0; c < m->cols; ++c) {
        (horizontal ? out->At(r, offset + c) : out->At(offset + r, c)) = Shown(m->At(r, c));
      }
    }
    offset += horizontal ? m->cols : m->rows;
  }
  return Result(out);
}

Operand HStack(Call& call) { return Stack(call, true); }
Operand VStack(Call& call) { return Stack(call, false); }

// ARRAY_CONSTRAIN(array, rows, cols): the top-left part of an array.
Operand ArrayConstrain(Call& call) {
  const auto a = MatrixArg(call, 0);
  const int rows = call.Int(1), cols = call.Int(2);
  if (rows < 1 || cols < 1) Fail(ErrorCode::Value);
  auto out = NewMatrix(std::min(rows, a->rows), std::min(cols, a->cols));
  for (int r = 0; r < out->rows; ++r)
    for (int c = 0; c < out->cols; ++c) out->At(r, c) = Shown(a->At(r, c));
  return Result(out);
}

// ARRAYFORMULA(expression): the expression evaluated as an array formula.
Operand ArrayFormula(Call& call) { return call.Arg(0); }

}  // namespace

void RegisterArrayFunctions(FunctionRegistry& r) {
  constexpr int N = kMaxFunctionArgs;
  r.Add({"XLOOKUP", 3, 6, XLookup});
  r.Add({"MMULT", 2, 2, MMult, false, true});
  r.Add({"TRANSPOSE", 1, 1, Transpose, false, true});
  r.Add({"SEQUENCE", 1, 4, Sequence});
  r.Add({"SORT", 1, 4, Sort, false, true});
  r.Add({"UNIQUE", 1, 3, Unique, false, true});
  r.Add({"FILTER", 2, 3, Filter, false, true});
  r.Add({"HSTACK", 1, N, HStack, false, true});
  r.Add({"VSTACK", 1, N, VStack, false, true});
  r.Add({"ARRAY_CONSTRAIN", 3, 3, ArrayConstrain, false, true});
  r.Add({"ARRAYFORMULA", 1, 1, ArrayFormula, false, true});
}

}  // namespace ddt::grid::formula
