// Probability distributions and statistical tests: normal, log-normal, exponential, gamma,
// beta, binomial, negative binomial, hypergeometric, Poisson, chi-squared, F, Student's t and
// Weibull, with their inverses, and the tests built on them. The distributions come from
// Boost.Math, set to return NaN (reported as #NUM!) instead of throwing on bad parameters.
#define BOOST_MATH_DOMAIN_ERROR_POLICY ignore_error
#define BOOST_MATH_POLE_ERROR_POLICY ignore_error
#define BOOST_MATH_OVERFLOW_ERROR_POLICY ignore_error
#define BOOST_MATH_EVALUATION_ERROR_POLICY ignore_error
#define BOOST_MATH_ROUNDING_ERROR_POLICY ignore_error

#include <boost/math/distributions/beta.hpp>
#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/exponential.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/hypergeometric.hpp>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/distributions/negative_binomial.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/distributions/weibull.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <algorithm>
#include <cmath>
#include <vector>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

namespace bm = boost::math;

void Require(bool ok) {
  if (!ok) Fail();
}

// A probability argument strictly between 0 and 1 (the inverse functions).
double OpenProbability(Call& call, int i) {
  const double p = call.Number(i);
  Require(p > 0 && p < 1);
  return p;
}

template <typename Dist>
double DistValue(const Dist& d, double x, bool cumulative) {
  return cumulative ? bm::cdf(d, x) : bm::pdf(d, x);
}

// --- Normal family ---------------------------------------------------------------------------

bm::normal Normal(Call& call, int meanArg) {
  const double mean = call.Number(meanArg), sd = call.Number(meanArg + 1);
  Require(sd > 0);
  return bm::normal(mean, sd);
}

Operand NormDist(Call& call) {
  const double x = call.Number(0);
  const bm::normal d = Normal(call, 1);
  return Num(DistValue(d, x, call.Bool(3)));
}

Operand NormInv(Call& call) {
  const double p = OpenProbability(call, 0);
  return Num(bm::quantile(Normal(call, 1), p));
}

Operand NormSDist(Call& call) {
  const double z = call.Number(0);
  const bool cumulative = call.Count() > 1 ? call.Bool(1) : true;
  return Num(DistValue(bm::normal(), z, cumulative));
}

Operand NormSInv(Call& call) { return Num(bm::quantile(bm::normal(), OpenProbability(call, 0))); }
Operand Phi(Call& call) { return Num(bm::pdf(bm::normal(), call.Number(0))); }
Operand Gauss(Call& call) { return Num(bm::cdf(bm::normal(), call.Number(0)) - 0.5); }

Operand LogNormDist(Call& call) {
  const double x = call.Number(0), mean = call.Number(1), sd = call.Number(2);
  const bool cumulative = call.Count() > 3 ? call.Bool(3) : true;
  Require(x > 0 && sd > 0);
  return Num(DistValue(bm::lognormal(mean, sd), x, cumulative));
}

Operand LogNormInv(Call& call) {
  const double p = OpenProbability(call, 0), mean = call.Number(1), sd = call.Number(2);
  Require(sd > 0);
  return Num(bm::quantile(bm::lognormal(mean, sd), p));
}

Operand ConfidenceNorm(Call& call) {
  const double alpha = call.Number(0), sd = call.Number(1), n = std::trunc(call.Number(2));
  Require(alpha > 0 && alpha < 1 && sd > 0 && n >= 1);
  return Num(bm::quantile(bm::normal(), 1 - alpha / 2) * sd / std::sqrt(n));
}

Operand ConfidenceT(Call& call) {
  const double alpha = call.Number(0), sd = call.Number(1), n = std::trunc(call.Number(2));
  Require(alpha > 0 && alpha < 1 && sd > 0 && n >= 1);
  if (n == 1) Fail(ErrorCode::Div0);
  return Num(bm::quantile(bm::students_t(n - 1), 1 - alpha / 2) * sd / std::sqrt(n));
}

// --- Gamma family ----------------------------------------------------------------------------

Operand ExponDist(Call& call) {
  const double x = call.Number(0), lambda = call.Number(1);
  Require(x >= 0 && lambda > 0);
  return Num(DistValue(bm::exponential(lambda), x, call.Bool(2)));
}

Operand GammaDist(Call& call) {
  const double x = call.Number(0), alpha = call.Number(1), beta = call.Number(2);
  Require(x >= 0 && alpha > 0 && beta > 0);
  return Num(DistValue(bm::gamma_distribution<>(alpha, beta), x, call.Bool(3)));
}

Operand GammaInv(Call& call) {
  const double p = call.Number(0), alpha = call.Number(1), beta = call.Number(2);
  Require(p >= 0 && p < 1 && alpha > 0 && beta > 0);
  return Num(bm::quantile(bm::gamma_distribution<>(alpha, beta), p));
}

Operand GammaFn(Call& call) {
  const double x = call.Number(0);
  Require(!(x <= 0 && x == std::trunc(x)));
  return Num(bm::tgamma(x));
}

Operand GammaLn(Call& call) {
  const double x = call.Number(0);
  Require(x > 0);
  return Num(bm::lgamma(x));
}

Operand WeibullDist(Call& call) {
  const double x = call.Number(0), alpha = call.Number(1), beta = call.Number(2);
  Require(x >= 0 && alpha > 0 && beta > 0);
  return Num(DistValue(bm::weibull(alpha, beta), x, call.Bool(3)));
}

// --- Beta ------------------------------------------------------------------------------------

// BETA.DIST(x, alpha, beta, cumulative, [A], [B]); BETADIST has no `cumulative` and is
// always cumulative.
Value BetaDistOf(Call& call, bool legacy) {
  const double x = call.Number(0), alpha = call.Number(1), beta = call.Number(2);
  const bool cumulative = legacy ? true : call.Bool(3);
  const int bounds = legacy ? 3 : 4;
  const double a = call.Number(bounds, 0), b = call.Number(bounds + 1, 1);
  Require(alpha > 0 && beta > 0 && a < b && x >= a && x <= b);
  const double t = (x - a) / (b - a);
  const bm::beta_distribution<> d(alpha, beta);
  return Num(cumulative ? bm::cdf(d, t) : bm::pdf(d, t) / (b - a));
}

Operand BetaDist(Call& call) { return BetaDistOf(call, false); }
Operand BetaDistLegacy(Call& call) { return BetaDistOf(call, true); }

Operand BetaInv(Call& call) {
  const double p = call.Number(0), alpha = call.Number(1), beta = call.Number(2);
  const double a = call.Number(3, 0), b = call.Number(4, 1);
  Require(p > 0 && p <= 1 && alpha > 0 && beta > 0 && a < b);
  return Num(a + (b - a) * bm::quantile(bm::beta_distribution<>(alpha, beta), p));
}

// --- Discrete --------------------------------------------------------------------------------

Operand BinomDist(Call& call) {
  const double s = std::trunc(call.Number(0)), n = std::trunc(call.Number(1)), p = call.Number(2);
  Require(s >= 0 && n >= 0 && s <= n && p >= 0 && p <= 1);
  return Num(DistValue(bm::binomial(n, p), s, call.Bool(3)));
}

// The smallest number of successes whose cumulative probability reaches alpha.
Operand BinomInv(Call& call) {
  const double n = std::trunc(call.Number(0)), p = call.Number(1), alpha = call.Number(2);
  // Counts of trials past 2^53 are not whole numbers apart: the search below would not end.
  Require(n >= 0 && n <= 9007199254740992.0 && p >= 0 && p <= 1 && alpha >= 0 && alpha <= 1);
  const bm::binomial d(n, p);
  // Binary search: the cumulative probability grows with k.
  double lo = 0, hi = n;
  while (lo < hi) {
    const double mid = std::floor((lo + hi) / 2);
    if (bm::cdf(d, mid) >= alpha * (1 - 1e-15)) hi = mid;
    else lo = mid + 1;
  }
  return Num(lo);
}

Operand NegBinomDist(Call& call) {
  const double f = std::trunc(call.Number(0)), s = std::trunc(call.Number(1)), p = call.Number(2);
  const bool cumulative = call.Count() > 3 ? call.Bool(3) : false;
  Require(f >= 0 && s >= 1 && p >= 0 && p <= 1);
  return Num(DistValue(bm::negative_binomial(s, p), f, cumulative));
}

// Hypergeometric probabilities for populations above Boost's table methods (104,729): the
// mass as a ratio of binomial masses (each from the incomplete beta function, in constant
// time), which Boost's own method for these sizes can take time proportional to the
// population for (a draw of 5E8 from 2E9 took minutes). p(k) = B(k; K, q) B(n-k; N-K, q) /
// B(n; N, q) for any q; q = n/N keeps the denominator near its mode, far from underflow.
struct LargeHypergeometric {
  double k, n, K, N;  // successes wanted, draws, successes in the population, population

  double Mass(double x) const {
    const double q = n / N;
    if (q >= 1) return x == K ? 1 : 0;  // every item drawn
    return bm::pdf(bm::binomial(K, q), x) * bm::pdf(bm::binomial(N - K, q), n - x) /
           bm::pdf(bm::binomial(N, q), n);
  }

  // P(X <= k): the terms from k towards the nearer tail, each from the one before, until
  // they no longer change the sum. They fall off within a few standard deviations (at most
  // about 2E5 terms for a population of 2^32).
  double Cumulative() const {
    const double lowest = std::max(0.0, n + K - N), highest = std::min(n, K);
    const double mode = std::floor((n + 1) * (K + 1) / (N + 2));
    if (k < mode) {
      double term = Mass(k), sum = term;
      for (double x = k; x > lowest && term > sum * 1e-17; --x) {
        term *= x * (N - n - K + x) / ((n - x + 1) * (K - x + 1));
        sum += term;
      }
      return std::min(sum, 1.0);
    }
    if (k >= highest) return 1;
    double term = Mass(k + 1), upper = term;
    for (double x = k + 1; x < highest && term > 1e-17; ++x) {
      term *= (n - x) * (K - x) / ((x + 1) * (N - n - K + x + 1));
      upper += term;
    }
    return std::max(0.0, 1 - upper);
  }
};

Operand HypGeomDist(Call& call) {
  const double s = std::trunc(call.Number(0)), draws = std::trunc(call.Number(1));
  const double successes = std::trunc(call.Number(2)), population = std::trunc(call.Number(3));
  const bool cumulative = call.Count() > 4 ? call.Bool(4) : false;
  Require(population <= 4294967295.0);  // the counts are unsigned 32-bit below
  Require(s >= 0 && draws > 0 && successes > 0 && population > 0 && draws <= population &&
          successes <= population && s <= std::min(draws, successes) &&
          s >= std::max(0.0, draws + successes - population));
  if (population > 104729) {
    const LargeHypergeometric d{s, draws, successes, population};
    return Num(cumulative ? d.Cumulative() : d.Mass(s));
  }
  const bm::hypergeometric_distribution<> d(static_cast<unsigned>(successes),
                                            static_cast<unsigned>(draws),
                                            static_cast<unsigned>(population));
  return Num(DistValue(d, static_cast<unsigned>(s), cumulative));
}

Operand PoissonDist(Call& call) {
  const double x = std::trunc(call.Number(0)), mean = call.Number(1);
  Require(x >= 0 && mean >= 0);
  if (mean == 0) return Num(x == 0 || call.Bool(2) ? 1 : 0);
  return Num(DistValue(bm::poisson(mean), x, call.Bool(2)));
}

// --- Chi-squared, F, t -----------------------------------------------------------------------

double DegreesArg(Call& call, int i) {
  const double df = std::trunc(call.Number(i));
  Require(df >= 1 && df < 1e10);
  return df;
}

Operand ChiSqDist(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1);
  Require(x >= 0);
  return Num(DistValue(bm::chi_squared(df), x, call.Bool(2)));
}

Operand ChiSqDistRt(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1);
  Require(x >= 0);
  return Num(bm::cdf(bm::complement(bm::chi_squared(df), x)));
}

Operand ChiSqInv(Call& call) {
  const double p = call.Number(0), df = DegreesArg(call, 1);
  Require(p >= 0 && p < 1);
  return Num(bm::quantile(bm::chi_squared(df), p));
}

Operand ChiSqInvRt(Call& call) {
  const double p = call.Number(0), df = DegreesArg(call, 1);
  Require(p > 0 && p <= 1);
  return Num(bm::quantile(bm::complement(bm::chi_squared(df), p)));
}

Operand FDist(Call& call) {
  const double x = call.Number(0), d1 = DegreesArg(call, 1), d2 = DegreesArg(call, 2);
  Require(x >= 0);
  return Num(DistValue(bm::fisher_f(d1, d2), x, call.Bool(3)));
}

Operand FDistRt(Call& call) {
  const double x = call.Number(0), d1 = DegreesArg(call, 1), d2 = DegreesArg(call, 2);
  Require(x >= 0);
  return Num(bm::cdf(bm::complement(bm::fisher_f(d1, d2), x)));
}

Operand FInv(Call& call) {
  const double p = call.Number(0), d1 = DegreesArg(call, 1), d2 = DegreesArg(call, 2);
  Require(p >= 0 && p < 1);
  return Num(bm::quantile(bm::fisher_f(d1, d2), p));
}

Operand FInvRt(Call& call) {
  const double p = call.Number(0), d1 = DegreesArg(call, 1), d2 = DegreesArg(call, 2);
  Require(p > 0 && p <= 1);
  return Num(bm::quantile(bm::complement(bm::fisher_f(d1, d2), p)));
}

Operand TDist(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1);
  return Num(DistValue(bm::students_t(df), x, call.Bool(2)));
}

Operand TDist2T(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1);
  Require(x >= 0);
  return Num(2 * bm::cdf(bm::complement(bm::students_t(df), x)));
}

Operand TDistRt(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1);
  return Num(bm::cdf(bm::complement(bm::students_t(df), x)));
}

// TDIST(x, df, tails): the right tail (1) or both tails (2) beyond x >= 0.
Operand TDistLegacy(Call& call) {
  const double x = call.Number(0), df = DegreesArg(call, 1), tails = std::trunc(call.Number(2));
  Require(x >= 0 && (tails == 1 || tails == 2));
  return Num(tails * bm::cdf(bm::complement(bm::students_t(df), x)));
}

Operand TInv(Call& call) {
  const double p = OpenProbability(call, 0), df = DegreesArg(call, 1);
  return Num(bm::quantile(bm::students_t(df), p));
}

Operand TInv2T(Call& call) {
  const double p = call.Number(0), df = DegreesArg(call, 1);
  Require(p > 0 && p <= 1);
  return Num(bm::quantile(bm::complement(bm::students_t(df), p / 2)));
}

// --- Tests -----------------------------------------------------------------------------------

std::vector<double> NumbersOf(Call& call, int i) { return call.NumbersOf(i); }

struct Sample {
  double n = 0, mean = 0, var = 0;  // sample variance
};

Sample Describe(const std::vector<double>& v) {
  Sample s;
  s.n = static_cast<double>(v.size());
  if (s.n == 0) return s;
  for (double d : v) s.mean += d;
  s.mean /= s.n;
  for (double d : v) s.var += (d - s.mean) * (d - s.mean);
  s.var = s.n > 1 ? s.var / (s.n - 1) : 0;
  return s;
}

// CHISQ.TEST(actual, expected): the right tail of the chi-squared statistic, with
// (rows-1)(cols-1) degrees of freedom (n-1 for a single row or column).
Operand ChiSqTest(Call& call) {
  Table actual(call.Ctx(), call.Arg(0)), expected(call.Ctx(), call.Arg(1));
  if (actual.Rows() != expected.Rows() || actual.Cols() != expected.Cols()) Fail(ErrorCode::NA);
  double chi = 0;
  for (int r = 0; r < actual.Rows(); ++r) {
    for (int c = 0; c < actual.Cols(); ++c) {
      const Value a = actual.At(r, c), e = expected.At(r, c);
      ThrowIfError(a);
      ThrowIfError(e);
      if (!IsNumber(a) || !IsNumber(e)) continue;
      const double ev = std::get<double>(e), av = std::get<double>(a);
      if (ev == 0) Fail(ErrorCode::Div0);
      chi += (av - ev) * (av - ev) / ev;
    }
  }
  const int rows = actual.Rows(), cols = actual.Cols();
  const double df = rows > 1 && cols > 1 ? double(rows - 1) * (cols - 1) : double(rows * cols - 1);
  Require(df >= 1);
  return Num(bm::cdf(bm::complement(bm::chi_squared(df), chi)));
}

// F.TEST: the two-tailed probability that the variances do not differ.
Operand FTest(Call& call) {
  const Sample a = Describe(NumbersOf(call, 0)), b = Describe(NumbersOf(call, 1));
  if (a.n < 2 || b.n < 2 || a.var == 0 || b.var == 0) Fail(ErrorCode::Div0);
  const bm::fisher_f d(a.n - 1, b.n - 1);
  const double f = a.var / b.var;
  const double p = bm::cdf(d, f);
  return Num(2 * std::min(p, 1 - p));
}

// T.TEST(array1, array2, tails, type): type 1 paired, 2 equal variances, 3 unequal.
Operand TTest(Call& call) {
  const double tails = std::trunc(call.Number(2)), type = std::trunc(call.Number(3));
  Require((tails == 1 || tails == 2) && type >= 1 && type <= 3);
  double t, df;
  if (type == 1) {
    Table ta(call.Ctx(), call.Arg(0)), tb(call.Ctx(), call.Arg(1));
    if (ta.Size() != tb.Size()) Fail(ErrorCode::NA);
    std::vector<double> diff;
    for (int64_t k = 0; k < ta.Size(); ++k) {
      const Value a = ta.At(static_cast<int>(k / ta.Cols()), static_cast<int>(k % ta.Cols()));
      const Value b = tb.At(static_cast<int>(k / tb.Cols()), static_cast<int>(k % tb.Cols()));
      ThrowIfError(a);
      ThrowIfError(b);
      if (IsNumber(a) && IsNumber(b)) diff.push_back(std::get<double>(a) - std::get<double>(b));
    }
    const Sample s = Describe(diff);
    if (s.n < 2 || s.var == 0) Fail(ErrorCode::Div0);
    t = s.mean / std::sqrt(s.var / s.n);
    df = s.n - 1;
  } else {
    const Sample a = Describe(NumbersOf(call, 0)), b = Describe(NumbersOf(call, 1));
    if (a.n < 2 || b.n < 2) Fail(ErrorCode::Div0);
    if (type == 2) {
      df = a.n + b.n - 2;
      const double pooled = ((a.n - 1) * a.var + (b.n - 1) * b.var) / df;
      if (pooled == 0) Fail(ErrorCode::Div0);
      t = (a.mean - b.mean) / std::sqrt(pooled * (1 / a.n + 1 / b.n));
    } else {
      const double va = a.var / a.n, vb = b.var / b.n;
      if (va + vb == 0) Fail(ErrorCode::Div0);
      t = (a.mean - b.mean) / std::sqrt(va + vb);
      df = (va + vb) * (va + vb) / (va * va / (a.n - 1) + vb * vb / (b.n - 1));
    }
  }
  return Num(tails * bm::cdf(bm::complement(bm::students_t(df), std::fabs(t))));
}

// Z.TEST(array, x, [sigma]): the one-tailed probability of a mean at least this far above x.
Operand ZTest(Call& call) {
  const Sample s = Describe(NumbersOf(call, 0));
  const double x = call.Number(1);
  if (s.n < 1) Fail(ErrorCode::NA);
  const double sigma = call.Missing(2) ? std::sqrt(s.var) : call.Number(2);
  if (sigma <= 0) Fail(ErrorCode::Div0);
  return Num(1 - bm::cdf(bm::normal(), (s.mean - x) / (sigma / std::sqrt(s.n))));
}

}  // namespace

void RegisterDistributionFunctions(FunctionRegistry& r) {
  r.Add({"NORM.DIST", 4, 4, NormDist});
  r.Add({"NORMDIST", 4, 4, NormDist});
  r.Add({"NORM.INV", 3, 3, NormInv});
  r.Add({"NORMINV", 3, 3, NormInv});
  r.Add({"NORM.S.DIST", 2, 2, NormSDist});
  r.Add({"NORMSDIST", 1, 1, NormSDist});
  r.Add({"NORM.S.INV", 1, 1, NormSInv});
  r.Add({"NORMSINV", 1, 1, NormSInv});
  r.Add({"PHI", 1, 1, Phi});
  r.Add({"GAUSS", 1, 1, Gauss});
  r.Add({"LOGNORM.DIST", 4, 4, LogNormDist});
  r.Add({"LOGNORMDIST", 3, 3, LogNormDist});
  r.Add({"LOGNORM.INV", 3, 3, LogNormInv});
  r.Add({"LOGINV", 3, 3, LogNormInv});
  r.Add({"LOGNORMINV", 3, 3, LogNormInv});
  r.Add({"CONFIDENCE", 3, 3, ConfidenceNorm});
  r.Add({"CONFIDENCE.NORM", 3, 3, ConfidenceNorm});
  r.Add({"CONFIDENCE.T", 3, 3, ConfidenceT});
  r.Add({"EXPON.DIST", 3, 3, ExponDist});
  r.Add({"EXPONDIST", 3, 3, ExponDist});
  r.Add({"GAMMA.DIST", 4, 4, GammaDist});
  r.Add({"GAMMADIST", 4, 4, GammaDist});
  r.Add({"GAMMA.INV", 3, 3, GammaInv});
  r.Add({"GAMMAINV", 3, 3, GammaInv});
  r.Add({"GAMMA", 1, 1, GammaFn});
  r.Add({"GAMMALN", 1, 1, GammaLn});
  r.Add({"GAMMALN.PRECISE", 1, 1, GammaLn});
  r.Add({"WEIBULL", 4, 4, WeibullDist});
  r.Add({"WEIBULL.DIST", 4, 4, WeibullDist});
  r.Add({"WEIBULLDIST", 4, 4, WeibullDist});
  r.Add({"BETA.DIST", 4, 6, BetaDist});
  r.Add({"BETADIST", 3, 5, BetaDistLegacy});
  r.Add({"BETA.INV", 3, 5, BetaInv});
  r.Add({"BETAINV", 3, 5, BetaInv});
  r.Add({"BINOM.DIST", 4, 4, BinomDist});
  r.Add({"BINOMDIST", 4, 4, BinomDist});
  r.Add({"BINOM.INV", 3, 3, BinomInv});
  r.Add({"CRITBINOM", 3, 3, BinomInv});
  r.Add({"NEGBINOM.DIST", 4, 4, NegBinomDist});
  r.Add({"NEGBINOMDIST", 3, 3, NegBinomDist});
  r.Add({"HYPGEOM.DIST", 5, 5, HypGeomDist});
  r.Add({"HYPGEOMDIST", 4, 4, HypGeomDist});
  r.Add({"POISSON.DIST", 3, 3, PoissonDist});
  r.Add({"POISSON", 3, 3, PoissonDist});
  r.Add({"POISSONDIST", 3, 3, PoissonDist});
  r.Add({"CHISQ.DIST", 3, 3, ChiSqDist});
  r.Add({"CHISQ.DIST.RT", 2, 2, ChiSqDistRt});
  r.Add({"CHIDIST", 2, 2, ChiSqDistRt});
  r.Add({"CHIDISTRT", 2, 2, ChiSqDistRt});
  r.Add({"CHISQ.INV", 2, 2, ChiSqInv});
  r.Add({"CHISQ.INV.RT", 2, 2, ChiSqInvRt});
  r.Add({"CHIINV", 2, 2, ChiSqInvRt});
  r.Add({"CHIINVRT", 2, 2, ChiSqInvRt});
  r.Add({"CHISQ.TEST", 2, 2, ChiSqTest});
  r.Add({"CHITEST", 2, 2, ChiSqTest});
  r.Add({"F.DIST", 4, 4, FDist});
  r.Add({"F.DIST.RT", 3, 3, FDistRt});
  r.Add({"FDIST", 3, 3, FDistRt});
  r.Add({"FDISTRT", 3, 3, FDistRt});
  r.Add({"F.INV", 3, 3, FInv});
  r.Add({"F.INV.RT", 3, 3, FInvRt});
  r.Add({"FINV", 3, 3, FInvRt});
  r.Add({"FINVRT", 3, 3, FInvRt});
  r.Add({"F.TEST", 2, 2, FTest});
  r.Add({"FTEST", 2, 2, FTest});
  r.Add({"T.DIST", 3, 3, TDist});
  r.Add({"T.DIST.2T", 2, 2, TDist2T});
  r.Add({"TDIST2T", 2, 2, TDist2T});
  r.Add({"T.DIST.RT", 2, 2, TDistRt});
  r.Add({"TDISTRT", 2, 2, TDistRt});
  r.Add({"TDIST", 3, 3, TDistLegacy});
  r.Add({"T.INV", 2, 2, TInv});
  r.Add({"T.INV.2T", 2, 2, TInv2T});
  r.Add({"TINV", 2, 2, TInv2T});
  r.Add({"TINV2T", 2, 2, TInv2T});
  r.Add({"T.TEST", 4, 4, TTest});
  r.Add({"TTEST", 4, 4, TTest});
  r.Add({"Z.TEST", 2, 3, ZTest});
  r.Add({"ZTEST", 2, 3, ZTest});
}

}  // namespace ddt::grid::formula
