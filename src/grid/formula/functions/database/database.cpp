// Database functions (DSUM, DCOUNT, DGET, ...): a database is a range whose first row names
// its fields; criteria are a range whose first row names fields and whose further rows each
// give one alternative (the conditions of one row must all hold; a record matching any row
// counts).
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

#include "grid/formula/criteria.h"
#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

bool StartsWithOperator(std::string_view s) {
  return !s.empty() && (s[0] == '=' || s[0] == '<' || s[0] == '>');
}

// The header row of a database: its used cells, read once, in column order.
class Fields {
 public:
  explicit Fields(const Table& db) : headers_(db.Sub(0, 0, 1, db.Cols()).Used()) {}
  // The first column whose header equals `name` (ignoring case), or -1.
  int IndexOf(const Value& name) const {
    if (!IsText(name)) return -1;
    for (const Table::UsedCell& h : headers_) {
      if (IsText(h.v) &&
          CompareTextNoCase(std::get<SharedText>(h.v), std::get<SharedText>(name)) == 0) {
        return h.c;
      }
    }
    return -1;
  }

 private:
  std::vector<Table::UsedCell> headers_;
};

// The field argument: a header text or a 1-based column number.
int FieldArg(Call& call, const Table& db, const Fields& fields) {
  const Value f = call.Scalar(1);
  ThrowIfError(f);
  if (IsText(f)) {
    const int c = fields.IndexOf(f);
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

// The records of a database (its rows below the header, up to the last used one) and the
// columns read from them, each read once as a whole.
class Records {
 public:
  explicit Records(const Table& db)
      : db_(db), count_(std::max(0, std::min(db.Rows(), std::max(1, db.UsedRows())) - 1)) {}
  int Count() const { return count_; }
  // The value of column c in record i (0-based below the header).
  const Value& At(int i, int c) {
    auto it = columns_.find(c);
    if (it == columns_.end()) it = columns_.emplace(c, db_.ColumnValues(c, 1, count_)).first;
    return it->second[static_cast<size_t>(i)];
  }

 private:
  const Table& db_;
  int count_;
  std::unordered_map<int, std::vector<Value>> columns_;
};

// The records (0-based below the header) that the criteria select. Only the used cells of
// the criteria range are read: it may span thousands of empty rows and columns.
std::vector<int> Matching(Call& call, const Fields& fields, Records& records, int criteriaArg) {
  Table crit(call.Ctx(), call.Arg(criteriaArg));
  if (crit.Rows() < 2) Fail(ErrorCode::Value);
  const int critCols = std::min(crit.Cols(), std::max(1, crit.UsedCols()));
  const int critRows = std::min(crit.Rows(), std::max(2, crit.UsedRows()));
  const std::vector<Table::UsedCell> cells = crit.Sub(0, 0, critRows, critCols).Used();
  // The database column each criteria column names (read on first use; -1: none).
  std::unordered_map<int, int> columnOf;
  auto column = [&](int c) {
    auto it = columnOf.find(c);
    if (it == columnOf.end()) it = columnOf.emplace(c, fields.IndexOf(crit.At(0, c))).first;
    return it->second;
  };
  // One alternative per criteria row below the header; a row without conditions selects
  // every record, a condition on a field the database lacks none.
  std::vector<std::vector<Condition>> conditions(static_cast<size_t>(critRows - 1));
  std::vector<char> impossible(conditions.size(), 0);
  for (const Table::UsedCell& cell : cells) {
    if (cell.r == 0 || IsEmpty(cell.v)) continue;
    const size_t row = static_cast<size_t>(cell.r - 1);
    const int col = column(cell.c);
    if (col < 0) {
      impossible[row] = 1;
      continue;
    }
    // A plain text matches every text that begins with it.
    Value criterion = cell.v;
    if (const auto* t = std::get_if<SharedText>(&cell.v); t && !StartsWithOperator(*t)) {
      criterion = t->str() + "*";
    }
    conditions[row].push_back({col, Criterion(criterion)});
  }
  std::vector<std::vector<Condition>> alternatives;
  for (size_t row = 0; row < conditions.size(); ++row)
    if (!impossible[row]) alternatives.push_back(std::move(conditions[row]));

  std::vector<int> out;
  for (int r = 0; r < records.Count(); ++r) {
    for (const auto& conds : alternatives) {
      const bool all = std::all_of(conds.begin(), conds.end(), [&](const Condition& c) {
        return c.criterion.Matches(records.At(r, c.column));
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
  const Fields fields(db);
  const int field = FieldArg(call, db, fields);
  Records records(db);
  std::vector<double> out;
  for (int r : Matching(call, fields, records, 2)) {
    const Value& v = records.At(r, field);
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
  const Fields fields(db);
  Records records(db);
  const std::vector<int> rows = Matching(call, fields, records, 2);
  if (call.Missing(1)) return Num(static_cast<double>(rows.size()));
  const int field = FieldArg(call, db, fields);
  double n = 0;
  for (int r : rows) {
    const Value& v = records.At(r, field);
    n += any ? !IsEmpty(v) : IsNumber(v);
  }
  return Num(n);
}

Operand DCount(Call& call) { return DCountOf(call, false); }
Operand DCountA(Call& call) { return DCountOf(call, true); }

// DGET: the field of the one selected record; #VALUE! when none, #NUM! when several.
Operand DGet(Call& call) {
  Table db(call.Ctx(), call.Arg(0));
  const Fields fields(db);
  const int field = FieldArg(call, db, fields);
  Records records(db);
  const std::vector<int> rows = Matching(call, fields, records, 2);
  if (rows.empty()) Fail(ErrorCode::Value);
  if (rows.size() > 1) Fail(ErrorCode::Num);
  const Value v = records.At(rows.front(), field);
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
