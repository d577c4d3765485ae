// Descriptive statistics: MEDIAN, LARGE, SMALL and RANK, every form of STDEV and VAR,
// percentiles, quartiles, mode, shape and spread measures, paired-array statistics (CORREL,
// SLOPE, ...), and SUBTOTAL and AGGREGATE.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "grid/formula/ast.h"
#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {
namespace {

// --- Number lists ----------------------------------------------------------------------------

// The numbers of arguments first.. as SUM sees them.
std::vector<double> Numbers(Call& call, int first = 0) {
  std::vector<double> out;
  call.ForEachNumber(first, [&](double d) { out.push_back(d); });
  return out;
}

// The numbers of argument i only (a range or array; missing gives none).
std::vector<double> NumbersOf(Call& call, int i) {
  if (call.Missing(i)) return {};
  return call.NumbersOf(i);
}

// As the *A functions read their arguments: in ranges and arrays text counts 0 and booleans
// 1/0; written directly, anything that converts to a number.
std::vector<double> NumbersA(Call& call) {
  std::vector<double> out;
  ForEachNumberA(call, 0, [&](double d) { out.push_back(d); });
  return out;
}

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double d : v) s += d;
  return s / static_cast<double>(v.size());
}

double SumSquaredDeviations(const std::vector<double>& v) {
  const double m = Mean(v);
  double ss = 0;
  for (double d : v) ss += (d - m) * (d - m);
  return ss;
}

double Variance(const std::vector<double>& v, bool sample) {
  const size_t need = sample ? 2 : 1;
  if (v.size() < need) Fail(ErrorCode::Div0);
  return SumSquaredDeviations(v) / static_cast<double>(v.size() - (sample ? 1 : 0));
}

// k-th percentile, k in [0, 1], interpolating between neighbours; `exclusive` ranks over
// n+1 and refuses k outside [1/(n+1), n/(n+1)].
double Percentile(std::vector<double> v, double k, bool exclusive) {
  const size_t n = v.size();
  if (n == 0 || k < 0 || k > 1) Fail(ErrorCode::Num);
  std::sort(v.begin(), v.end());
  double rank;
  if (exclusive) {
    rank = k * static_cast<double>(n + 1) - 1;
    if (rank < 0 || rank > static_cast<double>(n - 1) + 1e-12) Fail(ErrorCode::Num);
  } else {
    rank = k * static_cast<double>(n - 1);
  }
  const size_t lo = static_cast<size_t>(std::floor(rank));
  const double frac = rank - static_cast<double>(lo);
  if (lo + 1 >= n) return v[n - 1];
  return v[lo] + frac * (v[lo + 1] - v[lo]);
}

double Quartile(const std::vector<double>& v, double q, bool exclusive) {
  q = std::trunc(q);
  if (exclusive ? (q < 1 || q > 3) : (q < 0 || q > 4)) Fail(ErrorCode::Num);
  return Percentile(v, q / 4, exclusive);
}

// The most frequent number; among equally frequent ones the first met. #N/A when none
// repeats.
double Mode(const std::vector<double>& v) {
  std::map<double, int> counts;
  for (double d : v) ++counts[d];
  int best = 1;
  double mode = 0;
  for (double d : v) {
    const int c = counts[d];
    if (c > best) {
      best = c;
      mode = d;
    }
  }
  if (best < 2) Fail(ErrorCode::NA);
  return mode;
}

double Median(std::vector<double> v) {
  if (v.empty()) Fail(ErrorCode::Num);
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double KthLargest(std::vector<double> v, double k, bool largest) {
  k = std::ceil(k);
  if (k < 1 || k > static_cast<double>(v.size())) Fail(ErrorCode::Num);
  if (largest) std::sort(v.begin(), v.end(), std::greater<double>());
  else std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(k) - 1];
}

// --- Single-list statistics ----------------------------------------------------------------

Operand MedianOf(Call& call) { return Num(Median(Numbers(call))); }
Operand Large(Call& call) { return Num(KthLargest(NumbersOf(call, 0), call.Number(1), true)); }
Operand Small(Call& call) { return Num(KthLargest(NumbersOf(call, 0), call.Number(1), false)); }
Operand StDevS(Call& call) { return Num(std::sqrt(Variance(Numbers(call), true))); }
Operand StDevP(Call& call) { return Num(std::sqrt(Variance(Numbers(call), false))); }
Operand VarS(Call& call) { return Num(Variance(Numbers(call), true)); }
Operand VarP(Call& call) { return Num(Variance(Numbers(call), false)); }
Operand StDevA(Call& call) { return Num(std::sqrt(Variance(NumbersA(call), true))); }
Operand StDevPA(Call& call) { return Num(std::sqrt(Variance(NumbersA(call), false))); }
Operand VarA(Call& call) { return Num(Variance(NumbersA(call), true)); }
Operand VarPA(Call& call) { return Num(Variance(NumbersA(call), false)); }

Operand PercentileInc(Call& call) { return Num(Percentile(NumbersOf(call, 0), call.Number(1), false)); }
Operand PercentileExc(Call& call) { return Num(Percentile(NumbersOf(call, 0), call.Number(1), true)); }
Operand QuartileInc(Call& call) { return Num(Quartile(NumbersOf(call, 0), call.Number(1), false)); }
Operand QuartileExc(Call& call) { return Num(Quartile(NumbersOf(call, 0), call.Number(1), true)); }
Operand ModeSngl(Call& call) { return Num(Mode(Numbers(call))); }

Operand AveDev(Call& call) {
  const std::vector<double> v = Numbers(call);
  if (v.empty()) Fail(ErrorCode::Num);
  const double m = Mean(v);
  double s = 0;
  for (double d : v) s += std::fabs(d - m);
  return Num(s / static_cast<double>(v.size()));
}

Operand DevSq(Call& call) {
  const std::vector<double> v = Numbers(call);
  return Num(v.empty() ? 0 : SumSquaredDeviations(v));
}

Operand GeoMean(Call& call) {
  const std::vector<double> v = Numbers(call);
  if (v.empty()) Fail(ErrorCode::Num);
  double logs = 0;
  for (double d : v) {
    if (d <= 0) Fail(ErrorCode::Num);
    logs += std::log(d);
  }
  return Num(std::exp(logs / static_cast<double>(v.size())));
}

Operand HarMean(Call& call) {
  const std::vector<double> v = Numbers(call);
  if (v.empty()) Fail(ErrorCode::Num);
  double s = 0;
  for (double d : v) {
    if (d <= 0) Fail(ErrorCode::Num);
    s += 1 / d;
  }
  return Num(static_cast<double>(v.size()) / s);
}

double ThirdMoment(const std::vector<double>& v, double sd) {
  const double m = Mean(v);
  double s = 0;
  for (double d : v) s += std::pow((d - m) / sd, 3);
  return s;
}

Operand Skew(Call& call) {
  const std::vector<double> v = Numbers(call);
  const double n = static_cast<double>(v.size());
  if (n < 3) Fail(ErrorCode::Div0);
  const double sd = std::sqrt(Variance(v, true));
  if (sd == 0) Fail(ErrorCode::Div0);
  return Num(n / ((n - 1) * (n - 2)) * ThirdMoment(v, sd));
}

Operand SkewP(Call& call) {
  const std::vector<double> v = Numbers(call);
  if (v.size() < 3) Fail(ErrorCode::Div0);
  const double sd = std::sqrt(Variance(v, false));
  if (sd == 0) Fail(ErrorCode::Div0);
  return Num(ThirdMoment(v, sd) / static_cast<double>(v.size()));
}

Operand SumSq(Call& call) {
  double s = 0;
  call.ForEachNumber(0, [&](double d) { s += d * d; });
  return Num(s);
}

Operand Standardize(Call& call) {
  const double x = call.Number(0), mean = call.Number(1), sd = call.Number(2);
  if (sd <= 0) Fail(ErrorCode::Num);
  return Num((x - mean) / sd);
}

Operand Fisher(Call& call) {
  const double x = call.Number(0);
  if (x <= -1 || x >= 1) Fail(ErrorCode::Num);
  return Num(0.5 * std::log((1 + x) / (1 - x)));
}

Operand FisherInv(Call& call) { return Num(std::tanh(call.Number(0))); }

// RANK(number, ref, [order]): 1 + how many numbers in ref are greater (order 0) or smaller
// (order non-zero); #N/A when ref does not hold the number.
Operand Rank(Call& call) {
  const double x = call.Number(0);
  if (!IsArea(call.Arg(1))) throw FormulaError{ErrorCode::Value};
  const bool ascending = call.Number(2, 0) != 0;
  int64_t before = 0;
  bool found = false;
  for (double d : NumbersOf(call, 1)) {
    if (d == x) found = true;
    else if (ascending ? d < x : d > x) ++before;
  }
  if (!found) throw FormulaError{ErrorCode::NA};
  return Num(static_cast<double>(before + 1));
}

// --- Paired arrays ---------------------------------------------------------------------------

// The pairs of arguments a and b (equal sizes, else #N/A) where both elements are numbers;
// an error in either is the result.
struct Pairs {
  std::vector<double> x, y;
};

Pairs PairsOf(Call& call, int a, int b) {
  Table ta(call.Ctx(), call.Arg(a)), tb(call.Ctx(), call.Arg(b));
  if (ta.Size() != tb.Size()) Fail(ErrorCode::NA);
  Pairs p;
  if (ta.Rows() == tb.Rows() && ta.Cols() == tb.Cols()) {
    // Same shape: only the used part of whole columns matters.
    const int rows = std::min(ta.Rows(), std::max(ta.UsedRows(), tb.UsedRows()));
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < ta.Cols(); ++c) {
        const Value va = ta.At(r, c), vb = tb.At(r, c);
        ThrowIfError(va);
        ThrowIfError(vb);
        if (IsNumber(va) && IsNumber(vb)) {
          p.x.push_back(std::get<double>(va));
          p.y.push_back(std::get<double>(vb));
        }
      }
    }
    return p;
  }
  for (int64_t k = 0; k < ta.Size(); ++k) {
    const Value va = ta.At(static_cast<int>(k / ta.Cols()), static_cast<int>(k % ta.Cols()));
    const Value vb = tb.At(static_cast<int>(k / tb.Cols()), static_cast<int>(k % tb.Cols()));
    ThrowIfError(va);
    ThrowIfError(vb);
    if (IsNumber(va) && IsNumber(vb)) {
      p.x.push_back(std::get<double>(va));
      p.y.push_back(std::get<double>(vb));
    }
  }
  return p;
}

struct Moments {
  double n = 0, sxx = 0, syy = 0, sxy = 0, mx = 0, my = 0;
};

Moments MomentsOf(const Pairs& p) {
  Moments m;
  m.n = static_cast<double>(p.x.size());
  if (m.n == 0) return m;
  m.mx = Mean(p.x);
  m.my = Mean(p.y);
  for (size_t i = 0; i < p.x.size(); ++i) {
    const double dx = p.x[i] - m.mx, dy = p.y[i] - m.my;
    m.sxx += dx * dx;
    m.syy += dy * dy;
    m.sxy += dx * dy;
  }
  return m;
}

double Correlation(const Moments& m) {
  if (m.n < 1 || m.sxx == 0 || m.syy == 0) Fail(ErrorCode::Div0);
  return m.sxy / std::sqrt(m.sxx * m.syy);
}

Operand Correl(Call& call) { return Num(Correlation(MomentsOf(PairsOf(call, 0, 1)))); }

Operand Rsq(Call& call) {
  const double r = Correlation(MomentsOf(PairsOf(call, 0, 1)));
  return Num(r * r);
}

// SLOPE, INTERCEPT, STEYX take (known_y's, known_x's).
Moments Regression(Call& call) {
  const Pairs p = PairsOf(call, 1, 0);
  const Moments m = MomentsOf(p);
  if (m.n < 1 || m.sxx == 0) Fail(ErrorCode::Div0);
  return m;
}

Operand Slope(Call& call) {
  const Moments m = Regression(call);
  return Num(m.sxy / m.sxx);
}

Operand Intercept(Call& call) {
  const Moments m = Regression(call);
  return Num(m.my - m.sxy / m.sxx * m.mx);
}

Operand Steyx(Call& call) {
  const Moments m = Regression(call);
  if (m.n < 3) Fail(ErrorCode::Div0);
  return Num(std::sqrt((m.syy - m.sxy * m.sxy / m.sxx) / (m.n - 2)));
}

Operand CovarianceP(Call& call) {
  const Moments m = MomentsOf(PairsOf(call, 0, 1));
  if (m.n < 1) Fail(ErrorCode::Div0);
  return Num(m.sxy / m.n);
}

Operand CovarianceS(Call& call) {
  const Moments m = MomentsOf(PairsOf(call, 0, 1));
  if (m.n < 2) Fail(ErrorCode::Div0);
  return Num(m.sxy / (m.n - 1));
}

// SUMX2MY2, SUMX2PY2, SUMXMY2: sums over the pairs.
template <int Kind>
Operand SumPairs(Call& call) {
  const Pairs p = PairsOf(call, 0, 1);
  double s = 0;
  for (size_t i = 0; i < p.x.size(); ++i) {
    const double x = p.x[i], y = p.y[i];
    s += Kind == 0 ? x * x - y * y : Kind == 1 ? x * x + y * y : (x - y) * (x - y);
  }
  return Num(s);
}

// --- SUBTOTAL and AGGREGATE ------------------------------------------------------------------

bool CallsSubtotal(const Formula& f) {
  for (const Node& n : f.nodes) {
    if (n.kind == NodeKind::Call && n.fn &&
        (n.fn->name == "SUBTOTAL" || n.fn->name == "AGGREGATE")) {
      return true;
    }
  }
  return false;
}

struct Gathered {
  std::vector<double> numbers;
  int64_t nonBlank = 0;  // for COUNTA
};

struct GatherRules {
  bool skipHidden = false;
  bool skipErrors = false;
  bool skipNested = true;  // cells holding SUBTOTAL or AGGREGATE
};

// The values of argument i for SUBTOTAL/AGGREGATE: cells whose formula is itself a SUBTOTAL
// or AGGREGATE are left out (no double counting), and hidden rows and errors as asked.
void Gather(Call& call, int i, const GatherRules& rules, Gathered* out) {
  auto take = [&](const Value& v, bool fromRef) {
    if (const auto* e = std::get_if<ErrorCode>(&v)) {
      if (rules.skipErrors) return;
      Fail(*e);
    }
    if (!IsEmpty(v)) ++out->nonBlank;
    if (const auto* d = std::get_if<double>(&v)) out->numbers.push_back(*d);
    else if (!fromRef && !IsEmpty(v)) out->numbers.push_back(AsNumber(v));
  };
  const Operand& op = call.Arg(i);
  if (const auto* a = std::get_if<Area>(&op)) {
    const Workbook& book = call.Ctx().Book();
    const int sheet = book.SheetIndexOfId(a->sheetId);
    if (sheet == 0) Fail(ErrorCode::Ref);
    call.Ctx().ForEachUsed(*a, [&](int row, int col, const Value& v) {
      if (rules.skipHidden && book.RowHidden(sheet, row)) return true;
      const Cell* cell = book.FindCell(sheet, row, col);
      if (rules.skipNested && cell && cell->formula && CallsSubtotal(*cell->formula)) return true;
      take(v, true);
      return true;
    });
  } else {
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      take(v, fromRef);
      return true;
    });
  }
}

// Functions 1..11 of SUBTOTAL and AGGREGATE, and AGGREGATE's 12..13.
double Summarise(int fn, const Gathered& g) {
  const std::vector<double>& v = g.numbers;
  switch (fn) {
    case 1:
      if (v.empty()) Fail(ErrorCode::Div0);
      return Mean(v);
    case 2: return static_cast<double>(v.size());
    case 3: return static_cast<double>(g.nonBlank);
    case 4: return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    case 5: return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
    case 6: {
      if (v.empty()) return 0;
      double p = 1;
      for (double d : v) p *= d;
      return p;
    }
    case 7: return std::sqrt(Variance(v, true));
    case 8: return std::sqrt(Variance(v, false));
    case 9: {
      double s = 0;
      for (double d : v) s += d;
      return s;
    }
    case 10: return Variance(v, true);
    case 11: return Variance(v, false);
    case 12: return Median(v);
    case 13: return Mode(v);
    default: Fail(ErrorCode::Value);
  }
}

// SUBTOTAL(function, ref, ...): 1..11 summarise every row, 101..111 leave hidden rows out.
Operand Subtotal(Call& call) {
  const int code = call.Int(0);
  const int fn = code > 100 ? code - 100 : code;
  if (fn < 1 || fn > 11) Fail(ErrorCode::Value);
  GatherRules rules;
  rules.skipHidden = code > 100;
  Gathered g;
  for (int i = 1; i < call.Count(); ++i) {
    if (!call.Missing(i)) Gather(call, i, rules, &g);
  }
  return Num(Summarise(fn, g));
}

// AGGREGATE(function, options, ref, ...) for functions 1..13, AGGREGATE(function, options,
// array, k) for 14..19. Options: bit 0 leaves hidden rows out, bit 1 errors; 0..3 also
// leave out nested SUBTOTAL/AGGREGATE cells, 4..7 count them.
Operand Aggregate(Call& call) {
  const int fn = call.Int(0);
  const int options = call.Int(1, 0);
  if (fn < 1 || fn > 19 || options < 0 || options > 7) Fail(ErrorCode::Value);
  if (call.Count() < 3) Fail(ErrorCode::Value);
  GatherRules rules;
  rules.skipHidden = (options & 1) != 0;
  rules.skipErrors = (options & 2) != 0;
  rules.skipNested = options < 4;
  Gathered g;
  if (fn <= 13) {
    for (int i = 2; i < call.Count(); ++i) {
      if (!call.Missing(i)) Gather(call, i, rules, &g);
    }
    return Num(Summarise(fn, g));
  }
  if (call.Count() != 4) Fail(ErrorCode::Value);
  Gather(call, 2, rules, &g);
  const double k = call.Number(3);
  switch (fn) {
    case 14: return Num(KthLargest(g.numbers, k, true));
    case 15: return Num(KthLargest(g.numbers, k, false));
    case 16: return Num(Percentile(g.numbers, k, false));
    case 17: return Num(Quartile(g.numbers, k, false));
    case 18: return Num(Percentile(g.numbers, k, true));
    default: return Num(Quartile(g.numbers, k, true));
  }
}

}  // namespace

void RegisterDescriptiveStatisticsFunctions(FunctionRegistry& r) {
  r.Add({"MEDIAN", 1, kMaxFunctionArgs, MedianOf});
  r.Add({"LARGE", 2, 2, Large});
  r.Add({"SMALL", 2, 2, Small});
  r.Add({"RANK", 2, 3, Rank});
  // STDEV and VAR are the sample forms under their older names.
  r.Add({"STDEV", 1, kMaxFunctionArgs, StDevS});
  r.Add({"VAR", 1, kMaxFunctionArgs, VarS});
  constexpr int N = kMaxFunctionArgs;
  r.Add({"STDEV.S", 1, N, StDevS});
  r.Add({"STDEVS", 1, N, StDevS});
  r.Add({"STDEV.P", 1, N, StDevP});
  r.Add({"STDEVP", 1, N, StDevP});
  r.Add({"STDEVA", 1, N, StDevA});
  r.Add({"STDEVPA", 1, N, StDevPA});
  r.Add({"VAR.S", 1, N, VarS});
  r.Add({"VARS", 1, N, VarS});
  r.Add({"VAR.P", 1, N, VarP});
  r.Add({"VARP", 1, N, VarP});
  r.Add({"VARA", 1, N, VarA});
  r.Add({"VARPA", 1, N, VarPA});
  r.Add({"PERCENTILE", 2, 2, PercentileInc});
  r.Add({"PERCENTILE.INC", 2, 2, PercentileInc});
  r.Add({"PERCENTILE.EXC", 2, 2, PercentileExc});
  r.Add({"QUARTILE", 2, 2, QuartileInc});
  r.Add({"QUARTILE.INC", 2, 2, QuartileInc});
  r.Add({"QUARTILE.EXC", 2, 2, QuartileExc});
  r.Add({"MODE", 1, N, ModeSngl});
  r.Add({"MODE.SNGL", 1, N, ModeSngl});
  r.Add({"AVEDEV", 1, N, AveDev});
  r.Add({"DEVSQ", 1, N, DevSq});
  r.Add({"GEOMEAN", 1, N, GeoMean});
  r.Add({"HARMEAN", 1, N, HarMean});
  r.Add({"SKEW", 1, N, Skew});
  r.Add({"SKEW.P", 1, N, SkewP});
  r.Add({"SKEWP", 1, N, SkewP});
  r.Add({"SUMSQ", 1, N, SumSq});
  r.Add({"STANDARDIZE", 3, 3, Standardize});
  r.Add({"FISHER", 1, 1, Fisher});
  r.Add({"FISHERINV", 1, 1, FisherInv});
  r.Add({"CORREL", 2, 2, Correl});
  r.Add({"PEARSON", 2, 2, Correl});
  r.Add({"RSQ", 2, 2, Rsq});
  r.Add({"SLOPE", 2, 2, Slope});
  r.Add({"INTERCEPT", 2, 2, Intercept});
  r.Add({"STEYX", 2, 2, Steyx});
  r.Add({"COVAR", 2, 2, CovarianceP});
  r.Add({"COVARIANCE.P", 2, 2, CovarianceP});
  r.Add({"COVARIANCEP", 2, 2, CovarianceP});
  r.Add({"COVARIANCE.S", 2, 2, CovarianceS});
  r.Add({"COVARIANCES", 2, 2, CovarianceS});
  r.Add({"SUMX2MY2", 2, 2, SumPairs<0>});
  r.Add({"SUMX2PY2", 2, 2, SumPairs<1>});
  r.Add({"SUMXMY2", 2, 2, SumPairs<2>});
  r.Add({"SUBTOTAL", 2, N, Subtotal});
  r.Add({"AGGREGATE", 3, N, Aggregate});
}

}  // namespace ddt::grid::formula
