// Complex-number functions. A complex number is text such as "3+4i", "-2.5j", "i" or a plain
// number; results are written the same way, with the suffix of the input ("i" unless "j").
#include <cmath>
#include <algorithm>
#include <cctype>
#include <complex>
#include <optional>
#include <cstdlib>
#include <string>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions/common/argument_table.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

using Complex = std::complex<double>;

struct Parsed {
  Complex z;
  char suffix = 0;  // 'i', 'j', or 0 for a real number
};

// Reads a signed decimal number at s[pos]; false when there is none.
bool ReadNumber(const std::string& s, size_t& pos, double* out) {
  const char* begin = s.c_str() + pos;
  if (*begin == '\0' || std::isspace(static_cast<unsigned char>(*begin))) return false;
  char* end = nullptr;
  *out = std::strtod(begin, &end);
  if (end == begin) return false;
  // strtod also takes "inf", "nan" and hexadecimal forms, which are not complex numbers.
  for (const char* p = begin; p < end; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '.' && *p != 'e' && *p != 'E' &&
        *p != '+' && *p != '-') {
      return false;
    }
  }
  pos += static_cast<size_t>(end - begin);
  return true;
}

// "a", "bi", "a+bi", "a-bi", "i", "-i", "a+i" (and with j).
std::optional<Parsed> ParseComplex(const std::string& s) {
  if (s.empty()) return Parsed{};
  Parsed p;
  const char last = s.back();
  if (last == 'i' || last == 'j') {
    p.suffix = last;
    const std::string body = s.substr(0, s.size() - 1);
    // Split at the sign that starts the imaginary part (not one after an exponent 'e').
    size_t split = std::string::npos;
    for (size_t k = body.size(); k-- > 1;) {
      if ((body[k] == '+' || body[k] == '-') && body[k - 1] != 'e' && body[k - 1] != 'E') {
        split = k;
        break;
      }
    }
    std::string realText = split == std::string::npos ? "" : body.substr(0, split);
    std::string imagText = split == std::string::npos ? body : body.substr(split);
    double re = 0, im;
    if (!realText.empty()) {
      size_t pos = 0;
      if (!ReadNumber(realText, pos, &re) || pos != realText.size()) return std::nullopt;
    }
    if (imagText.empty() || imagText == "+") im = 1;
    else if (imagText == "-") im = -1;
    else {
      size_t pos = 0;
      if (!ReadNumber(imagText, pos, &im) || pos != imagText.size()) return std::nullopt;
    }
    p.z = Complex(re, im);
    return p;
  }
  double re;
  size_t pos = 0;
  if (!ReadNumber(s, pos, &re) || pos != s.size()) return std::nullopt;
  p.z = Complex(re, 0);
  return p;
}

Parsed ComplexOf(const Value& v) {
  if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
  if (const auto* d = std::get_if<double>(&v)) return Parsed{Complex(*d, 0), 0};
  if (IsBoolean(v)) Fail(ErrorCode::Value);
  auto p = ParseComplex(AsText(v));
  if (!p) Fail();
  return *p;
}

Parsed ComplexArg(Call& call, int i) { return ComplexOf(call.Scalar(i)); }

// Each part as General shows it (15 significant digits). Round-off is kept, as in the
// spreadsheet: IMSQRT("-4") is "1.22464679914735E-16+2i".
std::string Part(double d) { return NumberToText(d); }

Value Format(Complex z, char suffix) {
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) Fail();
  const double re = z.real(), im = z.imag();
  const std::string s(1, suffix ? suffix : 'i');
  if (im == 0) return Value{Part(re)};
  std::string imText = im == 1 ? "" : im == -1 ? "-" : Part(im);
  if (re == 0) return Value{imText + s};
  return Value{Part(re) + (im > 0 ? "+" : "") + imText + s};
}

// The suffix of a result from two inputs: they must agree when both have one.
char Suffix(char a, char b) {
  if (a && b && a != b) Fail(ErrorCode::Value);
  return a ? a : b;
}

Operand ComplexFn(Call& call) {
  const double re = call.Number(0), im = call.Number(1);
  std::string suffix = call.Missing(2) ? "i" : call.Text(2);
  if (suffix.empty()) suffix = "i";
  if (suffix != "i" && suffix != "j") Fail(ErrorCode::Value);
  return Format(Complex(re, im), suffix[0]);
}

Value Real(double d) {
  if (!std::isfinite(d)) Fail();
  return Value{d};
}

Operand ImReal(Call& call) { return Real(ComplexArg(call, 0).z.real()); }
Operand Imaginary(Call& call) { return Real(ComplexArg(call, 0).z.imag()); }
Operand ImAbs(Call& call) { return Real(std::abs(ComplexArg(call, 0).z)); }

Operand ImArgument(Call& call) {
  const Complex z = ComplexArg(call, 0).z;
  if (z == Complex(0, 0)) Fail(ErrorCode::Div0);
  return Real(std::arg(z));
}

// One-argument functions: f(z) with the input's suffix.
template <Complex (*F)(Complex)>
Operand Unary(Call& call) {
  const Parsed p = ComplexArg(call, 0);
  return Format(F(p.z), p.suffix);
}

Complex Conj(Complex z) { return std::conj(z); }
Complex Cos(Complex z) { return std::cos(z); }
Complex Cosh(Complex z) { return std::cosh(z); }
Complex Sin(Complex z) { return std::sin(z); }
Complex Sinh(Complex z) { return std::sinh(z); }
Complex Tan(Complex z) { return std::tan(z); }
Complex Exp(Complex z) { return std::exp(z); }
// In polar form, as the spreadsheet computes it (so IMSQRT("-4") keeps its round-off).
Complex Sqrt(Complex z) { return std::polar(std::sqrt(std::abs(z)), std::arg(z) / 2); }

Complex NonZero(Complex z) {
  if (z == Complex(0, 0)) Fail();
  return z;
}
Complex Cot(Complex z) { return 1.0 / NonZero(std::tan(z)); }
Complex Csc(Complex z) { return 1.0 / NonZero(std::sin(z)); }
Complex Csch(Complex z) { return 1.0 / NonZero(std::sinh(z)); }
Complex Sec(Complex z) { return 1.0 / NonZero(std::cos(z)); }
Complex Sech(Complex z) { return 1.0 / NonZero(std::cosh(z)); }
Complex Ln(Complex z) { return std::log(NonZero(z)); }
Complex Log10(Complex z) { return std::log(NonZero(z)) / std::log(10.0); }
Complex Log2(Complex z) { return std::log(NonZero(z)) / std::log(2.0); }

Operand ImDiv(Call& call) {
  const Parsed a = ComplexArg(call, 0), b = ComplexArg(call, 1);
  const char s = Suffix(a.suffix, b.suffix);
  if (b.z == Complex(0, 0)) Fail();
  return Format(a.z / b.z, s);
}

Operand ImSub(Call& call) {
  const Parsed a = ComplexArg(call, 0), b = ComplexArg(call, 1);
  return Format(a.z - b.z, Suffix(a.suffix, b.suffix));
}

// IMPOWER(z, n): z^n for real n, in polar form.
Operand ImPower(Call& call) {
  const Parsed p = ComplexArg(call, 0);
  const double n = call.Number(1);
  if (p.z == Complex(0, 0)) {
    if (n <= 0) Fail();
    return Format(Complex(0, 0), p.suffix);
  }
  return Format(std::polar(std::pow(std::abs(p.z), n), std::arg(p.z) * n), p.suffix);
}

// IMSUM and IMPRODUCT: over every value of every argument (ranges included; blanks skipped).
template <bool Product>
Operand Fold(Call& call) {
  Complex acc = Product ? Complex(1, 0) : Complex(0, 0);
  char suffix = 0;
  for (int i = 0; i < call.Count(); ++i) {
    call.ForEachValue(i, [&](const Value& v, bool fromRef) {
      if (fromRef && IsEmpty(v)) return true;
      const Parsed p = ComplexOf(v);
      suffix = Suffix(suffix, p.suffix);
      acc = Product ? acc * p.z : acc + p.z;
      return true;
    });
  }
  return Format(acc, suffix);
}

}  // namespace

void RegisterComplexFunctions(FunctionRegistry& r) {
  constexpr int N = kMaxFunctionArgs;
  r.Add({"COMPLEX", 2, 3, ComplexFn});
  r.Add({"IMREAL", 1, 1, ImReal});
  r.Add({"IMAGINARY", 1, 1, Imaginary});
  r.Add({"IMABS", 1, 1, ImAbs});
  r.Add({"IMARGUMENT", 1, 1, ImArgument});
  r.Add({"IMCONJUGATE", 1, 1, Unary<Conj>});
  r.Add({"IMCOS", 1, 1, Unary<Cos>});
  r.Add({"IMCOSH", 1, 1, Unary<Cosh>});
  r.Add({"IMCOT", 1, 1, Unary<Cot>});
  r.Add({"IMCSC", 1, 1, Unary<Csc>});
  r.Add({"IMCSCH", 1, 1, Unary<Csch>});
  r.Add({"IMSEC", 1, 1, Unary<Sec>});
  r.Add({"IMSECH", 1, 1, Unary<Sech>});
  r.Add({"IMSIN", 1, 1, Unary<Sin>});
  r.Add({"IMSINH", 1, 1, Unary<Sinh>});
  r.Add({"IMTAN", 1, 1, Unary<Tan>});
  r.Add({"IMEXP", 1, 1, Unary<Exp>});
  r.Add({"IMLN", 1, 1, Unary<Ln>});
  r.Add({"IMLOG10", 1, 1, Unary<Log10>});
  r.Add({"IMLOG2", 1, 1, Unary<Log2>});
  r.Add({"IMSQRT", 1, 1, Unary<Sqrt>});
  r.Add({"IMDIV", 2, 2, ImDiv});
  r.Add({"IMSUB", 2, 2, ImSub});
  r.Add({"IMPOWER", 2, 2, ImPower});
  r.Add({"IMSUM", 1, N, Fold<false>});
  r.Add({"IMPRODUCT", 1, N, Fold<true>});
}

}  // namespace ddt::grid::formula
