// Database functions (DSUM, DCOUNT, DGET, ...): a database is a range whose first row names
// its fields; criteria are a range whose first row names fields and whose further rows each
// give one alternative (the conditions of one row must all hold; a record matching any row
// counts).
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "grid/formula/criteria.h"
#include "grid/formula/fn_results.h"
#include "grid/formula/fn_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

bool StartsWithOperator(std::string_view s) {
  return !s.empty() && (s[0] == '=' || s[0] == '<' || s[0] == '>');
}

// The column of `db` whose header equals `name` (ignoring case), or -1.
int FieldIndex(const Table& db, const Value& name) {
  for (int c = 0; c < db.Cols(); ++c) {
    const Value h = db.At(0, c);
    if (IsText(h) && IsText(name) &&
        CompareTextNoCase(std::get<SharedText>(h), std::get<SharedText>(name)) == 0) {
      return c;
    }
  }
  return -1;
}

// The field argument: a header text or a 1-based column number.
int FieldArg(Call& call, const Table& db) {
  const Value f = call.Scalar(1);
  ThrowIfError(f);
  if (IsText(f)) {
    const int c = FieldIndex(db, f);
    if (c < 0) Fail(ErrorCode::Value);
    return c;
  }
  const double n = std::trunc(AsNumber(f));
  if (n < 1 || n > db.Cols()) Fail(ErrorCode::Value);
  return static_cast<int>(n) - 1;
}

struct Condition {
  int column;
  Criterion criterion;
};

// The records (0-based rows of `db` below its header) that the criteria select.
std::vector<int> Matching(Call& call, const Table& db, int criteriaArg) {
  Table crit(call.Ctx(), call.Arg(criteriaArg));
  if (crit.Rows() < 2) Fail(ErrorCode::Value);
  const int critCols = std::min(crit.Cols(), std::max(1, crit.UsedCols()));
  const int critRows = std::min(crit.Rows(), std::max(2, crit.UsedRows()));
  std::vector<std::vector<Condition>> alternatives;
  for (int r = 1; r < critRows; ++r) {
    std::vector<Condition> conds;
    bool impossible = false;
    for (int c = 0; c < critCols; ++c) {
      const Value v = crit.At(r, c);
      if (IsEmpty(v)) continue;
      const int column = FieldIndex(db, crit.At(0, c));
      if (column < 0) {
        impossible = true;  // a condition on a field the database lacks
        continue;
      }
      // A plain text matches every text that begins with it.
      Value criterion = v;
      if (const auto* t = std::get_if<SharedText>(&v); t && !StartsWithOperator(*t)) {
        criterion = t->str() + "*";
      }
      conds.push_back({column, Criterion(criterion)});
    }
    if (!impossible) alternatives.push_back(std::move(conds));
  }
  const int records = std::min(db.Rows(), std::max(1, db.UsedRows()));
  std::vector<int> out;
  for (int r = 1; r < records; ++r) {
    for (const auto& conds : alternatives) {
      const bool all = std::all_of(conds.begin(), conds.end(), [&](const Condition& c) {
        return c.criterion.Matches(db.At(r, c.column));
      });
      if (all) {
        out.push_back(r);
        break;
      }
    }
  }
  return out;
}

// The numbers of the field in the selected records (text, blanks and booleans skipped).
std::vector<double> FieldNumbers(Call& call) {
  Table db(call.Ctx(), call.Arg(0));
  const int field = FieldArg(call, db);
  std::vector<double> out;
  for (int r : Matching(call, db, 2)) {
    const Value v = db.At(r, field);
    ThrowIfError(v);
    if (IsNumber(v)) out.push_back(std::get<double>(v));
  }
  return out;
}

double Variance(const std::vector<double>& v, bool sample) {
  if (v.size() < (sample ? 2u : 1u)) Fail(ErrorCode::Div0);
  double mean = 0;
  for (double d : v) mean += d;
  mean /= static_cast<double>(v.size());
  double ss = 0;
  for (double d : v) ss += (d - mean) * (d - mean);
  return ss / static_cast<double>(v.size() - (sample ? 1 : 0));
}

Operand DSum(Call& call) {
  double s = 0;
  for (double d : FieldNumbers(call)) s += d;
  return Num(s);
}

Operand DAverage(Call& call) {
  const std::vector<double> v = FieldNumbers(call);
  if (v.empty()) Fail(ErrorCode::Div0);
  double s = 0;
  for (double d : v) s += d;
  return Num(s / static_cast<double>(v.size()));
}

Operand DMax(Call& call) {
  const std::vector<double> v = FieldNumbers(call);
  return Num(v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
}

Operand DMin(Call& call) {
  const std::vector<double> v = FieldNumbers(call);
  return Num(v.empty() ? 0 : *std::min_element(v.begin(), v.end()));
}

Operand DProduct(Call& call) {
  const std::vector<double> v = FieldNumbers(call);
  double p = 1;
  for (double d : v) p *= d;
  return Num(v.empty() ? 0 : p);
}

Operand DStDev(Call& call) { return Num(std::sqrt(Variance(FieldNumbers(call), true))); }
Operand DStDevP(Call& call) { return Num(std::sqrt(Variance(FieldNumbers(call), false))); }
Operand DVar(Call& call) { return Num(Variance(FieldNumbers(call), true)); }
Operand DVarP(Call& call) { return Num(Variance(FieldNumbers(call), false)); }

// DCOUNT and DCOUNTA: numbers (non-blank values) of the field in the selected records; with
// the field omitted, the selected records.
Operand DCountOf(Call& call, bool any) {
  Table db(call.Ctx(), call.Arg(0));
  const std::vector<int> rows = Matching(call, db, 2);
  if (call.Missing(1)) return Num(static_cast<double>(rows.size()));
  const int field = FieldArg(call, db);
  double n = 0;
  for (int r : rows) {
    const Value v = db.At(r, field);
    n += any ? !IsEmpty(v) : IsNumber(v);
  }
  return Num(n);
}

Operand DCount(Call& call) { return DCountOf(call, false); }
Operand DCountA(Call& call) { return DCountOf(call, true); }

// DGET: the field of the one selected record; #VALUE! when none, #NUM! when several.
Operand DGet(Call& call) {
  Table db(call.Ctx(), call.Arg(0));
  const int field = FieldArg(call, db);
  const std::vector<int> rows = Matching(call, db, 2);
  if (rows.empty()) Fail(ErrorCode::Value);
  if (rows.size() > 1) Fail(ErrorCode::Num);
  const Value v = db.At(rows.front(), field);
  return IsEmpty(v) ? Value{0.0} : v;
}

}  // namespace

void RegisterDatabaseFunctions(FunctionRegistry& r) {
  r.Add({"DSUM", 3, 3, DSum});
  r.Add({"DAVERAGE", 3, 3, DAverage});
  r.Add({"DCOUNT", 3, 3, DCount});
  r.Add({"DCOUNTA", 3, 3, DCountA});
  r.Add({"DGET", 3, 3, DGet});
  r.Add({"DMAX", 3, 3, DMax});
  r.Add({"DMIN", 3, 3, DMin});
  r.Add({"DPRODUCT", 3, 3, DProduct});
  r.Add({"DSTDEV", 3, 3, DStDev});
  r.Add({"DSTDEVP", 3, 3, DStDevP});
  r.Add({"DVAR", 3, 3, DVar});
  r.Add({"DVARP", 3, 3, DVarP});
}

}  // namespace ddt::grid::formula
