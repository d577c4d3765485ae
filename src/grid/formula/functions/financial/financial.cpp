// Financial functions: annuities (PMT, PV, FV, NPER, RATE and the interest and principal
// parts), cash-flow valuation (NPV, IRR, MIRR, XNPV, XIRR), depreciation, interest-rate
// conversions and Treasury bills.
#include <algorithm>
#include <cmath>
#include <vector>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

// "type": payments at the end (0) or the beginning (any other number) of each period.
double TypeArg(Call& call, int i) { return call.Number(i, 0) != 0 ? 1 : 0; }

// --- Annuities -------------------------------------------------------------------------------

double Pmt(double rate, double nper, double pv, double fv, double type) {
  if (nper == 0) Fail();
  if (rate == 0) return -(pv + fv) / nper;
  const double g = std::pow(1 + rate, nper);
  return -(rate * (fv + pv * g)) / ((1 + rate * type) * (g - 1));
}

double Fv(double rate, double nper, double pmt, double pv, double type) {
  if (rate == 0) return -(pv + pmt * nper);
  const double g = std::pow(1 + rate, nper);
  return -(pv * g + pmt * (1 + rate * type) * (g - 1) / rate);
}

double Ipmt(double rate, double per, double nper, double pv, double fv, double type) {
  if (per < 1 || per > nper) Fail();
  const double pmt = Pmt(rate, nper, pv, fv, type);
  double interest;
  if (per == 1) interest = type == 1 ? 0 : -pv;
  else if (type == 1) interest = Fv(rate, per - 2, pmt, pv, 1) - pmt;
  else interest = Fv(rate, per - 1, pmt, pv, 0);
  return interest * rate;
}

Operand PmtFn(Call& call) {
  return Num(Pmt(call.Number(0), call.Number(1), call.Number(2), call.Number(3, 0), TypeArg(call, 4)));
}

Operand FvFn(Call& call) {
  return Num(Fv(call.Number(0), call.Number(1), call.Number(2), call.Number(3, 0), TypeArg(call, 4)));
}

Operand PvFn(Call& call) {
  const double rate = call.Number(0), nper = call.Number(1), pmt = call.Number(2);
  const double fv = call.Number(3, 0), type = TypeArg(call, 4);
  if (rate == 0) return Num(-(fv + pmt * nper));
  const double g = std::pow(1 + rate, nper);
  return Num(-(fv + pmt * (1 + rate * type) * (g - 1) / rate) / g);
}

Operand NperFn(Call& call) {
  const double rate = call.Number(0), pmt = call.Number(1), pv = call.Number(2);
  const double fv = call.Number(3, 0), type = TypeArg(call, 4);
  if (rate == 0) {
    if (pmt == 0) Fail(ErrorCode::Div0);
    return Num(-(pv + fv) / pmt);
  }
  const double a = pmt * (1 + rate * type);
  const double ratio = (a - fv * rate) / (a + pv * rate);
  if (ratio <= 0 || rate <= -1) Fail();
  return Num(std::log(ratio) / std::log(1 + rate));
}

Operand IpmtFn(Call& call) {
  return Num(Ipmt(call.Number(0), call.Number(1), call.Number(2), call.Number(3),
                  call.Number(4, 0), TypeArg(call, 5)));
}

Operand PpmtFn(Call& call) {
  const double rate = call.Number(0), per = call.Number(1), nper = call.Number(2);
  const double pv = call.Number(3), fv = call.Number(4, 0), type = TypeArg(call, 5);
  return Num(Pmt(rate, nper, pv, fv, type) - Ipmt(rate, per, nper, pv, fv, type));
}

// CUMIPMT and CUMPRINC: interest (principal) paid from period `start` to `end`.
double Cumulative(Call& call, bool principal) {
  const double rate = call.Number(0), nper = std::trunc(call.Number(1)), pv = call.Number(2);
  const double start = std::trunc(call.Number(3)), end = std::trunc(call.Number(4));
  const double typeNum = call.Number(5);
  if (rate <= 0 || nper <= 0 || pv <= 0 || start < 1 || end < start || end > nper ||
      (typeNum != 0 && typeNum != 1) || end - start > 1e6) {
    Fail();  // more than a million periods is refused rather than summed one by one
  }
  const double pmt = Pmt(rate, nper, pv, 0, typeNum);
  double sum = 0;
  for (double per = start; per <= end; ++per) {
    const double interest = Ipmt(rate, per, nper, pv, 0, typeNum);
    sum += principal ? pmt - interest : interest;
  }
  return sum;
}

Operand CumIpmt(Call& call) { return Num(Cumulative(call, false)); }
Operand CumPrinc(Call& call) { return Num(Cumulative(call, true)); }

// RATE(nper, pmt, pv, [fv], [type], [guess]) by Newton's method.
Operand RateFn(Call& call) {
  const double nper = call.Number(0), pmt = call.Number(1), pv = call.Number(2);
  const double fv = call.Number(3, 0), type = TypeArg(call, 4);
  double rate = call.Number(5, 0.1);
  if (nper <= 0) Fail();
  for (int i = 0; i < 100; ++i) {
    double f, df;
    if (std::fabs(rate) < 1e-12) {
      f = pv + pmt * nper + fv;
      df = pv * nper + pmt * nper * (nper - 1) / 2 + pmt * type * nper;
    } else {
      const double g = std::pow(1 + rate, nper);
      const double dg = nper * std::pow(1 + rate, nper - 1);
      const double a = (g - 1) / rate;
      const double da = (dg * rate - (g - 1)) / (rate * rate);
      f = pv * g + pmt * (1 + rate * type) * a + fv;
      df = pv * dg + pmt * type * a + pmt * (1 + rate * type) * da;
    }
    if (df == 0 || !std::isfinite(df)) break;
    const double next = rate - f / df;
    if (!std::isfinite(next) || next <= -1) break;
    if (std::fabs(next - rate) < 1e-10) return Num(next);
    rate = next;
  }
  Fail();
}

// --- Cash flows ------------------------------------------------------------------------------

Operand Npv(Call& call) {
  const double rate = call.Number(0);
  if (rate == -1) Fail(ErrorCode::Div0);
  double sum = 0, factor = 1;
  call.ForEachNumber(1, [&](double d) {
    factor *= 1 + rate;
    sum += d / factor;
  });
  return Num(sum);
}

// The numbers of a range or array (text, booleans and blanks skipped; errors thrown).
std::vector<double> Flows(Call& call, int i) { return call.NumbersOf(i); }

bool HasBothSigns(const std::vector<double>& v) {
  bool pos = false, neg = false;
  for (double d : v) {
    pos = pos || d > 0;
    neg = neg || d < 0;
  }
  return pos && neg;
}

// The root of f near `guess` by Newton's method; #NUM! when it does not converge.
template <typename F, typename D>
double Solve(double guess, F f, D df) {
  double x = guess;
  for (int i = 0; i < 100; ++i) {
    const double fx = f(x), d = df(x);
    if (d == 0 || !std::isfinite(fx) || !std::isfinite(d)) break;
    const double next = x - fx / d;
    if (!std::isfinite(next)) break;
    if (std::fabs(next - x) < 1e-10 * std::max(1.0, std::fabs(x))) return next;
    x = next <= -1 ? (x - 1) / 2 : next;
  }
  Fail();
}

Operand Irr(Call& call) {
  const std::vector<double> v = Flows(call, 0);
  if (!HasBothSigns(v)) Fail();
  const double guess = call.Number(1, 0.1);
  auto f = [&](double r) {
    double s = 0;
    for (size_t i = 0; i < v.size(); ++i) s += v[i] / std::pow(1 + r, static_cast<double>(i));
    return s;
  };
  auto df = [&](double r) {
    double s = 0;
    for (size_t i = 1; i < v.size(); ++i) {
      s -= static_cast<double>(i) * v[i] / std::pow(1 + r, static_cast<double>(i) + 1);
    }
    return s;
  };
  return Num(Solve(guess, f, df));
}

Operand Mirr(Call& call) {
  const std::vector<double> v = Flows(call, 0);
  const double financeRate = call.Number(1), reinvestRate = call.Number(2);
  const double n = static_cast<double>(v.size());
  double pos = 0, neg = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const double t = static_cast<double>(i);
    if (v[i] > 0) pos += v[i] / std::pow(1 + reinvestRate, t);
    else neg += v[i] / std::pow(1 + financeRate, t);
  }
  if (pos == 0 || neg == 0 || n < 2) Fail(ErrorCode::Div0);
  return Num(std::pow(-pos * std::pow(1 + reinvestRate, n - 1) / neg, 1 / (n - 1)) - 1);
}

struct Dated {
  std::vector<double> values, days;  // days from the first date
};

Dated DatedFlows(Call& call, int valuesArg, int datesArg) {
  Table tv(call.Ctx(), call.Arg(valuesArg)), td(call.Ctx(), call.Arg(datesArg));
  if (tv.Size() != td.Size()) Fail();
  Dated d;
  for (int64_t k = 0; k < tv.Size(); ++k) {
    const Value v = tv.At(static_cast<int>(k / tv.Cols()), static_cast<int>(k % tv.Cols()));
    const Value t = td.At(static_cast<int>(k / td.Cols()), static_cast<int>(k % td.Cols()));
    ThrowIfError(v);
    ThrowIfError(t);
    if (!IsNumber(v) || !IsNumber(t)) Fail(ErrorCode::Value);
    d.values.push_back(std::get<double>(v));
    d.days.push_back(std::trunc(std::get<double>(t)));
  }
  if (d.values.empty()) Fail();
  for (double& day : d.days) {
    if (day < d.days.front()) Fail();
  }
  const double first = d.days.front();
  for (double& day : d.days) day -= first;
  return d;
}

double XnpvOf(double rate, const Dated& d) {
  double s = 0;
  for (size_t i = 0; i < d.values.size(); ++i) s += d.values[i] / std::pow(1 + rate, d.days[i] / 365);
  return s;
}

Operand Xnpv(Call& call) {
  const double rate = call.Number(0);
  if (rate <= -1) Fail();
  return Num(XnpvOf(rate, DatedFlows(call, 1, 2)));
}

Operand Xirr(Call& call) {
  const Dated d = DatedFlows(call, 0, 1);
  if (!HasBothSigns(d.values)) Fail();
  auto df = [&](double r) {
    double s = 0;
    for (size_t i = 0; i < d.values.size(); ++i) {
      const double t = d.days[i] / 365;
      s -= t * d.values[i] / std::pow(1 + r, t + 1);
    }
    return s;
  };
  return Num(Solve(call.Number(2, 0.1), [&](double r) { return XnpvOf(r, d); }, df));
}

// --- Depreciation ----------------------------------------------------------------------------

Operand Sln(Call& call) {
  const double cost = call.Number(0), salvage = call.Number(1), life = call.Number(2);
  if (life == 0) Fail(ErrorCode::Div0);
  return Num((cost - salvage) / life);
}

Operand Syd(Call& call) {
  const double cost = call.Number(0), salvage = call.Number(1), life = call.Number(2);
  const double per = call.Number(3);
  if (life <= 0 || per <= 0 || per > life) Fail();
  return Num((cost - salvage) * (life - per + 1) * 2 / (life * (life + 1)));
}

// DB: fixed-declining balance at a rate rounded to three decimals; the first year may be
// partial (`month` months) and then a last partial year follows.
Operand Db(Call& call) {
  const double cost = call.Number(0), salvage = call.Number(1);
  const double life = std::trunc(call.Number(2)), period = std::trunc(call.Number(3));
  const double month = std::trunc(call.Number(4, 12));
  if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || month < 1 || month > 12 ||
      period > life + (month < 12 ? 1 : 0)) {
    Fail();
  }
  if (cost == 0) return Num(0);
  const double rate = std::round((1 - std::pow(salvage / cost, 1 / life)) * 1000) / 1000;
  const double first = cost * rate * month / 12;
  if (period == 1) return Num(first);
  // After the first (partial) year the remaining value shrinks by (1 - rate) a year.
  const double remaining = (cost - first) * std::pow(1 - rate, period - 2);
  if (period == life + 1) return Num(remaining * rate * (12 - month) / 12);
  return Num(remaining * rate);
}

// DDB: declining balance at factor/life per period, never below the salvage value.
Operand Ddb(Call& call) {
  const double cost = call.Number(0), salvage = call.Number(1), life = call.Number(2);
  const double period = call.Number(3), factor = call.Number(4, 2);
  if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || period > life || factor <= 0) Fail();
  // The book value before the period is cost*(1-rate)^(period-1); once it falls to the
  // salvage value nothing more is written off.
  const double rate = std::min(1.0, factor / life);
  const double value = cost * std::pow(1 - rate, std::ceil(period) - 1);
  return Num(std::max(0.0, std::min(value * rate, value - salvage)));
}

// --- Rates and prices ------------------------------------------------------------------------

Operand Effect(Call& call) {
  const double nominal = call.Number(0), n = std::trunc(call.Number(1));
  if (nominal <= 0 || n < 1) Fail();
  return Num(std::pow(1 + nominal / n, n) - 1);
}

Operand Nominal(Call& call) {
  const double effect = call.Number(0), n = std::trunc(call.Number(1));
  if (effect <= 0 || n < 1) Fail();
  return Num(n * (std::pow(1 + effect, 1 / n) - 1));
}

// DOLLARDE(1.02, 16): 1 and 2/16. DOLLARFR is the inverse.
double FractionArg(Call& call) {
  const double f = std::trunc(call.Number(1));
  if (f < 0) Fail();
  if (f == 0) Fail(ErrorCode::Div0);
  return f;
}

Operand DollarDe(Call& call) {
  const double x = call.Number(0), f = FractionArg(call);
  const double whole = std::trunc(x), part = x - whole;
  return Num(whole + part * std::pow(10, std::ceil(std::log10(f))) / f);
}

Operand DollarFr(Call& call) {
  const double x = call.Number(0), f = FractionArg(call);
  const double whole = std::trunc(x), part = x - whole;
  return Num(whole + part * f / std::pow(10, std::ceil(std::log10(f))));
}

Operand FvSchedule(Call& call) {
  double value = call.Number(0);
  call.ForEachValue(1, [&](const Value& v, bool) {
    ThrowIfError(v);
    value *= 1 + AsNumber(v);
    return true;
  });
  return Num(value);
}

Operand PDuration(Call& call) {
  const double rate = call.Number(0), pv = call.Number(1), fv = call.Number(2);
  if (rate <= 0 || pv <= 0 || fv <= 0) Fail();
  return Num((std::log(fv) - std::log(pv)) / std::log(1 + rate));
}

Operand Rri(Call& call) {
  const double nper = call.Number(0), pv = call.Number(1), fv = call.Number(2);
  if (nper <= 0) Fail();
  if (pv == 0) Fail();
  return Num(std::pow(fv / pv, 1 / nper) - 1);
}

Operand Ispmt(Call& call) {
  const double rate = call.Number(0), per = call.Number(1), nper = call.Number(2);
  const double pv = call.Number(3);
  if (nper == 0) Fail(ErrorCode::Div0);
  return Num(pv * rate * (per / nper - 1));
}

// Days from settlement to maturity of a Treasury bill: at most a year.
double BillDays(Call& call) {
  const double settlement = std::trunc(SerialArg(call, 0));
  const double maturity = std::trunc(SerialArg(call, 1));
  const double days = maturity - settlement;
  if (days <= 0 || days > 365) Fail();
  return days;
}

Operand TBillPrice(Call& call) {
  const double days = BillDays(call), discount = call.Number(2);
  if (discount <= 0) Fail();
  const double price = 100 * (1 - discount * days / 360);
  if (price <= 0) Fail();
  return Num(price);
}

Operand TBillYield(Call& call) {
  const double days = BillDays(call), price = call.Number(2);
  if (price <= 0) Fail();
  return Num((100 - price) / price * 360 / days);
}

Operand TBillEq(Call& call) {
  const double days = BillDays(call), discount = call.Number(2);
  if (discount <= 0) Fail();
  const double denominator = 360 - discount * days;
  if (denominator <= 0) Fail();
  return Num(365 * discount / denominator);
}

}  // namespace

void RegisterFinancialFunctions(FunctionRegistry& r) {
  constexpr int N = kMaxFunctionArgs;
  r.Add({"PMT", 3, 5, PmtFn});
  r.Add({"PV", 3, 5, PvFn});
  r.Add({"FV", 3, 5, FvFn});
  r.Add({"NPER", 3, 5, NperFn});
  r.Add({"RATE", 3, 6, RateFn});
  r.Add({"IPMT", 4, 6, IpmtFn});
  r.Add({"PPMT", 4, 6, PpmtFn});
  r.Add({"CUMIPMT", 6, 6, CumIpmt});
  r.Add({"CUMPRINC", 6, 6, CumPrinc});
  r.Add({"NPV", 2, N, Npv});
  r.Add({"IRR", 1, 2, Irr});
  r.Add({"MIRR", 3, 3, Mirr});
  r.Add({"XNPV", 3, 3, Xnpv});
  r.Add({"XIRR", 2, 3, Xirr});
  r.Add({"SLN", 3, 3, Sln});
  r.Add({"SYD", 4, 4, Syd});
  r.Add({"DB", 4, 5, Db});
  r.Add({"DDB", 4, 5, Ddb});
  r.Add({"EFFECT", 2, 2, Effect});
  r.Add({"NOMINAL", 2, 2, Nominal});
  r.Add({"DOLLARDE", 2, 2, DollarDe});
  r.Add({"DOLLARFR", 2, 2, DollarFr});
  r.Add({"FVSCHEDULE", 2, 2, FvSchedule});
  r.Add({"PDURATION", 3, 3, PDuration});
  r.Add({"RRI", 3, 3, Rri});
  r.Add({"ISPMT", 4, 4, Ispmt});
  r.Add({"TBILLPRICE", 3, 3, TBillPrice});
  r.Add({"TBILLYIELD", 3, 3, TBillYield});
  r.Add({"TBILLEQ", 3, 3, TBillEq});
}

}  // namespace ddt::grid::formula
