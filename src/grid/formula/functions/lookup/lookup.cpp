// Lookup functions: MATCH, VLOOKUP, HLOOKUP, LOOKUP. Exact matching honours wildcards in a
// text lookup value; approximate matching is a binary search over sorted data, as in the
// spreadsheet, so it only gives meaningful results on sorted data.
#include <cmath>
#include <optional>

#include "grid/formula/criteria.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"
#include "text/utf8.h"

namespace ddt::grid::formula {
namespace {

// A found cell as the result: a blank cell gives 0, as it shows in the spreadsheet.
Operand Found(Value v) {
  if (IsEmpty(v)) return Value{0.0};
  return v;
}

// One row or column of a table, indexed from 0.
class Line {
 public:
  Line(const Table& t, bool alongRow) : t_(t), alongRow_(alongRow) {}
  int Size() const { return alongRow_ ? t_.Cols() : t_.Rows(); }
  // One past the last used position: binary searches over whole columns stop there.
  int UsedSize() const { return alongRow_ ? t_.UsedCols() : t_.UsedRows(); }
  Value At(int i) const { return alongRow_ ? t_.At(0, i) : t_.At(i, 0); }
  void ForEachUsed(const std::function<bool(int i, const Value& v)>& fn) const {
    t_.ForEachUsed([&](int r, int c, const Value& v) { return fn(alongRow_ ? c : r, v); });
  }

 private:
  Table t_;
  bool alongRow_;
};

// Values of the same kind compare: numbers, texts (ignoring case), booleans.
std::optional<int> Compare(const Value& cell, const Value& key) {
  if (cell.index() != key.index()) return std::nullopt;
  if (const auto* d = std::get_if<double>(&cell)) {
    const double k = std::get<double>(key);
    return *d < k ? -1 : (*d > k ? 1 : 0);
  }
  if (const auto* t = std::get_if<SharedText>(&cell)) {
    return text::utf8::CompareNoCase(*t, std::get<SharedText>(key));
  }
  if (const auto* b = std::get_if<bool>(&cell)) return int(*b) - int(std::get<bool>(key));
  return std::nullopt;
}

// The lookup value: errors are the result; a blank finds nothing.
Value KeyArg(Call& call, int i) {
  Value key = call.Scalar(i);
  ThrowIfError(key);
  if (IsEmpty(key)) throw FormulaError{ErrorCode::NA};
  return key;
}

// First position equal to the key (text ignoring case, with wildcards).
std::optional<int> FindExact(const Line& line, const Value& key) {
  std::optional<int> found;
  if (const auto* text = std::get_if<SharedText>(&key)) {
    const Wildcard pattern(*text);
    line.ForEachUsed([&](int i, const Value& v) {
      const auto* t = std::get_if<SharedText>(&v);
      if (t && (pattern.HasWildcards() ? pattern.Matches(*t)
                                       : text::utf8::CompareNoCase(*t, pattern.Literal()) == 0)) {
        found = i;
        return false;
      }
      return true;
    });
    return found;
  }
  line.ForEachUsed([&](int i, const Value& v) {
    if (Compare(v, key) == 0) {
      found = i;
      return false;
    }
    return true;
  });
  return found;
}

// Binary search for the last position whose value is <= key (ascending data), or, with
// `descending`, the last whose value is >= key. Values of another kind are stepped over.
std::optional<int> FindApprox(const Line& line, const Value& key, bool descending) {
  int lo = 0, hi = std::min(line.Size(), line.UsedSize()) - 1;
  std::optional<int> found;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    int m = mid;
    std::optional<int> cmp;
    for (; m >= lo; --m) {
      cmp = Compare(line.At(m), key);
      if (cmp) break;
    }
    if (!cmp) {
      lo = mid + 1;  // nothing comparable in lo..mid
      continue;
    }
    const bool before = descending ? *cmp >= 0 : *cmp <= 0;
    if (before) {
      found = m;
      lo = mid + 1;
    } else {
      hi = m - 1;
    }
  }
  return found;
}

Operand Match(Call& call) {
  const Value key = KeyArg(call, 0);
  Table t(call.Ctx(), call.Arg(1));
  if (t.Rows() != 1 && t.Cols() != 1) throw FormulaError{ErrorCode::NA};
  const double type = call.Number(2, 1);
  const Line line(t, t.Rows() == 1 && t.Cols() > 1);
  const std::optional<int> pos =
      type == 0 ? FindExact(line, key) : FindApprox(line, key, type < 0);
  if (!pos) throw FormulaError{ErrorCode::NA};
  return Value{static_cast<double>(*pos + 1)};
}

// VLOOKUP and HLOOKUP: find in the first column (row), return from the index-th.
Operand TableLookup(Call& call, bool vertical) {
  const Value key = KeyArg(call, 0);
  Table t(call.Ctx(), call.Arg(1));
  const double index = std::trunc(call.Number(2));
  const bool approx = call.Bool(3, true);
  if (index < 1) throw FormulaError{ErrorCode::Value};
  if (index > (vertical ? t.Cols() : t.Rows())) throw FormulaError{ErrorCode::Ref};
  const Line first(vertical ? t.Sub(0, 0, t.Rows(), 1) : t.Sub(0, 0, 1, t.Cols()), !vertical);
  const std::optional<int> pos = approx ? FindApprox(first, key, false) : FindExact(first, key);
  if (!pos) throw FormulaError{ErrorCode::NA};
  const int k = static_cast<int>(index) - 1;
  return Found(vertical ? t.At(*pos, k) : t.At(k, *pos));
}

Operand VLookup(Call& call) { return TableLookup(call, true); }
Operand HLookup(Call& call) { return TableLookup(call, false); }

// LOOKUP(key, vector, [result]) and LOOKUP(key, array): approximate match. The array form
// searches the first row when the array is wider than tall, else the first column, and
// returns from the last row or column.
Operand Lookup(Call& call) {
  const Value key = KeyArg(call, 0);
  Table t(call.Ctx(), call.Arg(1));
  const bool wide = t.Cols() > t.Rows();
  const Line searched(wide ? t.Sub(0, 0, 1, t.Cols()) : t.Sub(0, 0, t.Rows(), 1), wide);
  const std::optional<int> pos = FindApprox(searched, key, false);
  if (!pos) throw FormulaError{ErrorCode::NA};
  if (call.Missing(2)) return Found(wide ? t.At(t.Rows() - 1, *pos) : t.At(*pos, t.Cols() - 1));
  Table result(call.Ctx(), call.Arg(2));
  if (result.Rows() != 1 && result.Cols() != 1) throw FormulaError{ErrorCode::NA};
  const Line out(result, result.Rows() == 1 && result.Cols() > 1);
  if (*pos >= out.Size()) throw FormulaError{ErrorCode::NA};
  return Found(out.At(*pos));
}

}  // namespace

void RegisterLookupFunctions(FunctionRegistry& r) {
  r.Add({"HLOOKUP", 3, 4, HLookup});
  r.Add({"LOOKUP", 2, 3, Lookup});
  r.Add({"MATCH", 2, 3, Match});
  r.Add({"VLOOKUP", 3, 4, VLookup});
}

}  // namespace ddt::grid::formula
