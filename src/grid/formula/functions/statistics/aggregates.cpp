// Aggregate functions, plain and conditional: SUMIF(S), COUNTIF(S), AVERAGE(IF/A),
// MAXIFS, MINIFS, SUMPRODUCT, COUNT(A/BLANK), MAX(A), MIN(A). The descriptive statistics
// (MEDIAN, STDEV, VAR, ...) are in descriptive.cpp.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "grid/formula/criteria.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions/text/text_number.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

Operand Num(double d) { return Value{d}; }

// --- Number walks ------------------------------------------------------------------------

// --- Conditional scans -------------------------------------------------------------------

struct Condition {
  Table range;
  Criterion criterion;
};

// Visits every position (0-based offsets in tables of equal shape) where all conditions
// hold, with the value of `values` there (Empty without `values`). Positions no table uses
// are blank everywhere: they are not visited one by one but counted, and the count is
// returned when the conditions accept blanks (0 otherwise). Each table is read once, in the
// order the sheet stores its cells.
int64_t ForEachMatch(const std::vector<Condition>& conds, const Table* values,
                     const std::function<void(const Value& value)>& fn) {
  const Table& shape = conds.front().range;
  std::vector<const Table*> tables;
  for (const Condition& cond : conds) tables.push_back(&cond.range);
  if (values) tables.push_back(values);
  static const Value kBlank;
  const int64_t visited = ForEachUsedTogether(
      tables, shape.Rows(), shape.Cols(), [&](int, int, const std::vector<const Value*>& at) {
        for (size_t i = 0; i < conds.size(); ++i)
          if (!conds[i].criterion.Matches(*at[i])) return;
        fn(values ? *at.back() : kBlank);
      });
  for (const Condition& cond : conds) {
    if (!cond.criterion.Matches(Empty{})) return 0;
  }
  return shape.Size() - visited;
}

// A range argument of the conditional functions. An error in its place (a reference to a
// deleted sheet) is the result, not a range of one error cell that matches nothing.
Table RangeArg(Call& call, int i) {
  const Operand& op = call.Arg(i);
  if (const auto* v = std::get_if<Value>(&op)) ThrowIfError(*v);
  return Table(call.Ctx(), op);
}

Criterion CriterionArg(Call& call, int i) { return Criterion(call.Scalar(i)); }

// The conditions of arguments first, first+1 (range, criterion) ...; every range must have
// the shape `rows` x `cols` (#VALUE! otherwise).
std::vector<Condition> Conditions(Call& call, int first, int rows, int cols) {
  if ((call.Count() - first) % 2 != 0 || call.Count() <= first) throw FormulaError{ErrorCode::Value};
  std::vector<Condition> conds;
  for (int i = first; i < call.Count(); i += 2) {
    Table t = RangeArg(call, i);
    if (t.Rows() != rows || t.Cols() != cols) throw FormulaError{ErrorCode::Value};
    conds.push_back({t, CriterionArg(call, i + 1)});
  }
  return conds;
}

struct SumCount {
  double sum = 0;
  int64_t count = 0;  // numbers summed
};

SumCount SumMatching(const std::vector<Condition>& conds, const Table& values) {
  SumCount sc;
  ForEachMatch(conds, &values, [&](const Value& v) {
    ThrowIfError(v);
    if (const auto* d = std::get_if<double>(&v)) {
      sc.sum += *d;
      ++sc.count;
    }
  });
  return sc;
}

// The sum range of SUMIF/AVERAGEIF: the shape of the criteria range from the top-left cell
// of the given range.
Table ValuesFor(Call& call, int i, const Table& range) {
  if (call.Missing(i)) return range;
  Table given = RangeArg(call, i);
  return given.Sub(0, 0, range.Rows(), range.Cols());
}

Operand SumIf(Call& call) {
  Table range = RangeArg(call, 0);
  std::vector<Condition> conds{{range, CriterionArg(call, 1)}};
  return Num(SumMatching(conds, ValuesFor(call, 2, range)).sum);
}

Operand SumIfs(Call& call) {
  Table values = RangeArg(call, 0);
  return Num(SumMatching(Conditions(call, 1, values.Rows(), values.Cols()), values).sum);
}

Operand AverageIf(Call& call) {
  Table range = RangeArg(call, 0);
  std::vector<Condition> conds{{range, CriterionArg(call, 1)}};
  SumCount sc = SumMatching(conds, ValuesFor(call, 2, range));
  if (sc.count == 0) throw FormulaError{ErrorCode::Div0};
  return Num(sc.sum / static_cast<double>(sc.count));
}

// MAXIFS and MINIFS: the extreme number of the first range where all conditions hold; 0
// when none does.
Operand ExtremeIfs(Call& call, bool max) {
  Table values = RangeArg(call, 0);
  std::vector<Condition> conds = Conditions(call, 1, values.Rows(), values.Cols());
  bool any = false;
  double best = 0;
  ForEachMatch(conds, &values, [&](const Value& v) {
    ThrowIfError(v);
    if (const auto* d = std::get_if<double>(&v)) {
      if (!any || (max ? *d > best : *d < best)) best = *d;
      any = true;
    }
  });
  return Num(best);
}

Operand MaxIfs(Call& call) { return ExtremeIfs(call, true); }
Operand MinIfs(Call& call) { return ExtremeIfs(call, false); }

Operand CountIf(Call& call) {
  Table range = RangeArg(call, 0);
  std::vector<Condition> conds{{range, CriterionArg(call, 1)}};
  int64_t n = 0;
  const int64_t blanks = ForEachMatch(conds, nullptr, [&](const Value&) { ++n; });
  return Num(static_cast<double>(n + blanks));
}

Operand CountIfs(Call& call) {
  Table first = RangeArg(call, 0);
  std::vector<Condition> conds = Conditions(call, 0, first.Rows(), first.Cols());
  int64_t n = 0;
  const int64_t blanks = ForEachMatch(conds, nullptr, [&](const Value&) { ++n; });
  return Num(static_cast<double>(n + blanks));
}

// The conditional functions' results are kept under a key of their inputs: the same SUMIFS
// over the same ranges fills whole summary tables, and each walks its ranges only once.
// Ranges are named by their areas (their cells cannot change while a result is kept); a
// criterion given as a larger area is read by intersection with the formula's cell, which
// joins the key. Arrays are not kept.
void AppendKey(std::string& key, const Value& v) {
  switch (v.index()) {
    case 0: key += 'e'; break;
    case 1: {
      const double d = std::get<double>(v);
      key += 'n';
      key.append(reinterpret_cast<const char*>(&d), sizeof d);
      break;
    }
    case 2: {
      const std::string_view t = std::get<SharedText>(v);
      key += 't' + std::to_string(t.size()) + ':';
      key += t;
      break;
    }
    case 3: key += std::get<bool>(v) ? "b1" : "b0"; break;
    default: key += 'x' + std::to_string(static_cast<int>(std::get<ErrorCode>(v))); break;
  }
}

Operand Kept(Call& call, std::string_view name, int firstCriterion, FunctionImpl fn) {
  std::string key(name);
  for (int i = 0; i < call.Count(); ++i) {
    key += '|';
    if (call.Missing(i)) continue;
    const Operand& op = call.Arg(i);
    if (IsMatrix(op)) return fn(call);
    if (const auto* v = std::get_if<Value>(&op)) {
      AppendKey(key, *v);
      continue;
    }
    const Area& a = std::get<Area>(op);
    key += 'a' + std::to_string(a.sheetId) + ':' + std::to_string(a.firstRow) + ':' +
           std::to_string(a.firstCol) + ':' + std::to_string(a.lastRow) + ':' +
           std::to_string(a.lastCol);
    const bool criterion = i >= firstCriterion && (i - firstCriterion) % 2 == 0;
    if (criterion && !a.IsCell()) {
      key += '@' + std::to_string(call.Ctx().HostSheetId()) + ':' +
             std::to_string(call.Ctx().HostRow()) + ':' + std::to_string(call.Ctx().HostCol());
    }
  }
  Context& ctx = call.Ctx();
  if (const Value* kept = ctx.Recall(key)) return *kept;
  Operand result = fn(call);
  if (const auto* v = std::get_if<Value>(&result)) ctx.Keep(key, *v);
  return result;
}

Operand SumIfKept(Call& call) { return Kept(call, "SUMIF", 1, SumIf); }
Operand SumIfsKept(Call& call) { return Kept(call, "SUMIFS", 2, SumIfs); }
Operand AverageIfKept(Call& call) { return Kept(call, "AVERAGEIF", 1, AverageIf); }
Operand CountIfKept(Call& call) { return Kept(call, "COUNTIF", 1, CountIf); }
Operand CountIfsKept(Call& call) { return Kept(call, "COUNTIFS", 1, CountIfs); }
Operand MaxIfsKept(Call& call) { return Kept(call, "MAXIFS", 2, MaxIfs); }
Operand MinIfsKept(Call& call) { return Kept(call, "MINIFS", 2, MinIfs); }

// Arguments are arrays of one shape; the sum of their element-wise products, where
// anything but a number counts as 0 and an error anywhere is the result.
Operand SumProduct(Call& call) {
  std::vector<Table> tables;
  for (int i = 0; i < call.Count(); ++i) {
    tables.emplace_back(call.Ctx(), call.Arg(i));
    if (tables.back().Rows() != tables.front().Rows() ||
        tables.back().Cols() != tables.front().Cols()) {
      throw FormulaError{ErrorCode::Value};
    }
  }
  std::vector<const Table*> read;
  for (const Table& t : tables) read.push_back(&t);
  double sum = 0;
  ForEachUsedTogether(read, tables.front().Rows(), tables.front().Cols(),
                      [&](int, int, const std::vector<const Value*>& at) {
                        double product = 1;
                        for (const Value* v : at) {
                          ThrowIfError(*v);
                          const auto* d = std::get_if<double>(v);
                          product *= d ? *d : 0;
                        }
                        sum += product;
                      });
  return Num(sum);
}

// --- Plain aggregates ------------------------------------------------------------------

Operand Average(Call& call) {
  double sum = 0;
  int64_t n = 0;
  call.ForEachNumber(0, [&](double d) { sum += d, ++n; });
  if (n == 0) throw FormulaError{ErrorCode::Div0};
  return Num(sum / static_cast<double>(n));
}

Operand AverageA(Call& call) {
  double sum = 0;
  int64_t n = 0;
  ForEachNumberA(call, 0, [&](double d) { sum += d, ++n; });
  if (n == 0) throw FormulaError{ErrorCode::Div0};
  return Num(sum / static_cast<double>(n));
}

// Numbers in references and arrays; written directly, also booleans and numeric text.
// Errors are not counted and do not stop the count.
Operand Count(Call& call) {
  double n = 0;
  for (int i = 0; i < call.Count(); ++i) {
    if (call.Missing(i)) continue;
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      if (IsNumber(v)) ++n;
      else if (!fromRef && IsBoolean(v)) ++n;
      else if (!fromRef && IsText(v) && ReadNumberText(std::get<SharedText>(v))) ++n;
      return true;
    });
  }
  return Num(n);
}

Operand CountA(Call& call) {
  double n = 0;
  for (int i = 0; i < call.Count(); ++i) {
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      if (!fromRef || !IsEmpty(v)) ++n;
      return true;
    });
  }
  return Num(n);
}

bool IsBlankValue(const Value& v) {
  if (IsEmpty(v)) return true;
  const auto* t = std::get_if<SharedText>(&v);
  return t && t->empty();
}

// Blank cells and cells holding an empty text.
Operand CountBlank(Call& call) {
  Table t = RangeArg(call, 0);
  int64_t filled = 0;
  t.ForEachUsed([&](int, int, const Value& v) {
    filled += !IsBlankValue(v);
    return true;
  });
  return Num(static_cast<double>(t.Size() - filled));
}

Operand Extreme(Call& call, bool max, bool withText) {
  double best = max ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  bool any = false;
  auto take = [&](double d) {
    best = max ? std::max(best, d) : std::min(best, d);
    any = true;
  };
  if (withText) ForEachNumberA(call, 0, take);
  else call.ForEachNumber(0, take);
  return Num(any ? best : 0);
}

Operand Max(Call& call) { return Extreme(call, true, false); }
Operand MaxA(Call& call) { return Extreme(call, true, true); }
Operand Min(Call& call) { return Extreme(call, false, false); }
Operand MinA(Call& call) { return Extreme(call, false, true); }

}  // namespace

void RegisterAggregateFunctions(FunctionRegistry& r) {
  r.Add({"SUMIF", 2, 3, SumIfKept});
  r.Add({"SUMIFS", 3, kMaxFunctionArgs, SumIfsKept});
  r.Add({"SUMPRODUCT", 1, kMaxFunctionArgs, SumProduct, false, true});
  r.Add({"AVERAGE", 1, kMaxFunctionArgs, Average});
  r.Add({"AVERAGEA", 1, kMaxFunctionArgs, AverageA});
  r.Add({"AVERAGEIF", 2, 3, AverageIfKept});
  r.Add({"COUNT", 1, kMaxFunctionArgs, Count});
  r.Add({"COUNTA", 1, kMaxFunctionArgs, CountA});
  r.Add({"COUNTBLANK", 1, 1, CountBlank});
  r.Add({"COUNTIF", 2, 2, CountIfKept});
  r.Add({"COUNTIFS", 2, kMaxFunctionArgs, CountIfsKept});
  r.Add({"MAXIFS", 3, kMaxFunctionArgs, MaxIfsKept});
  r.Add({"MINIFS", 3, kMaxFunctionArgs, MinIfsKept});
  r.Add({"MAX", 1, kMaxFunctionArgs, Max});
  r.Add({"MAXA", 1, kMaxFunctionArgs, MaxA});
  r.Add({"MIN", 1, kMaxFunctionArgs, Min});
  r.Add({"MINA", 1, kMaxFunctionArgs, MinA});
}

}  // namespace ddt::grid::formula
