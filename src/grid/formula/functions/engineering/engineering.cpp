// Number notations and engineering functions: BASE and DECIMAL, the binary, octal, decimal
// and hexadecimal conversions, the bitwise functions, Roman numerals, DELTA, ERF(C) and the
// Bessel functions.
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "grid/formula/functions/common/results.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {
namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return 99;
}

// Non-negative whole number in `radix`, no padding.
std::string ToRadix(uint64_t n, int radix) {
  std::string out;
  do {
    out.insert(out.begin(), kDigits[n % radix]);
    n /= radix;
  } while (n != 0);
  return out;
}

// --- BASE, DECIMAL -------------------------------------------------------------------------

Operand Base(Call& call) {
  const double n = std::trunc(call.Number(0));
  const double radix = std::trunc(call.Number(1));
  const double minLength = std::trunc(call.Number(2, 0));
  if (n < 0 || n >= 9007199254740992.0) Fail();
  if (radix < 2 || radix > 36) Fail();
  if (minLength < 0 || minLength > 255) Fail();
  std::string out = ToRadix(static_cast<uint64_t>(n), static_cast<int>(radix));
  if (out.size() < minLength) out.insert(0, static_cast<size_t>(minLength) - out.size(), '0');
  return Value{out};
}

Operand Decimal(Call& call) {
  const std::string text = call.Text(0);
  const double radix = std::trunc(call.Number(1));
  if (radix < 2 || radix > 36) Fail();
  if (text.size() > 255) Fail(ErrorCode::Value);
  double n = 0;
  for (char c : text) {
    const int d = DigitValue(c);
    if (d >= radix) Fail();
    n = n * radix + d;
  }
  return Num(n);
}

// --- Fixed-width conversions (BIN2DEC, DEC2HEX, ...) -----------------------------------------
// Binary, octal and hexadecimal numbers have at most 10 digits; the top half of the range
// stands for negatives (two's complement over 10 bits, 30 bits and 40 bits).

struct Radix {
  int base;
  int bits;  // 10 digits of this base
};
constexpr Radix kBin{2, 10}, kOct{8, 30}, kHex{16, 40};

// The text of a binary/octal/hex argument; a number argument is read by its digits.
std::string DigitsArg(Call& call, int i) {
  const Value v = call.Scalar(i);
  if (const auto* e = std::get_if<ErrorCode>(&v)) Fail(*e);
  if (IsBoolean(v)) Fail(ErrorCode::Value);
  return AsText(v);
}

int64_t ParseFixed(const std::string& text, Radix r) {
  if (text.size() > 10) Fail();
  int64_t n = 0;
  for (char c : text) {
    const int d = DigitValue(c);
    if (d >= r.base) Fail();
    n = n * r.base + d;
  }
  const int64_t half = int64_t{1} << (r.bits - 1);
  if (n >= half) n -= half * 2;
  return n;
}

// `n` written in `r`: negatives as 10 digits of two's complement (places ignored); others
// padded to `places` when given.
Value FormatFixed(Call& call, int64_t n, Radix r, int placesArg) {
  const int64_t half = int64_t{1} << (r.bits - 1);
  if (n < -half || n >= half) Fail();
  if (n < 0) return Value{ToRadix(static_cast<uint64_t>(n + half * 2), r.base)};
  std::string out = ToRadix(static_cast<uint64_t>(n), r.base);
  if (!call.Missing(placesArg)) {
    const double places = std::trunc(call.Number(placesArg));
    if (places < 1 || places > 10 || out.size() > places) Fail();
    out.insert(0, static_cast<size_t>(places) - out.size(), '0');
  }
  return Value{out};
}

template <const Radix& From, const Radix& To>
Operand Convert(Call& call) {
  return FormatFixed(call, ParseFixed(DigitsArg(call, 0), From), To, 1);
}

template <const Radix& From>
Operand ToDecimal(Call& call) {
  return Num(static_cast<double>(ParseFixed(DigitsArg(call, 0), From)));
}

template <const Radix& To>
Operand FromDecimal(Call& call) {
  const double d = std::trunc(call.Number(0));
  const double half = std::ldexp(1.0, To.bits - 1);
  if (d < -half || d >= half) Fail();
  return FormatFixed(call, static_cast<int64_t>(d), To, 1);
}

// --- Bitwise ---------------------------------------------------------------------------------

constexpr double kMaxBits = 281474976710656.0;  // 2^48

uint64_t BitsArg(Call& call, int i) {
  const double d = call.Number(i);
  if (d < 0 || d >= kMaxBits || d != std::trunc(d)) Fail();
  return static_cast<uint64_t>(d);
}

Operand BitAnd(Call& call) { return Num(static_cast<double>(BitsArg(call, 0) & BitsArg(call, 1))); }
Operand BitOr(Call& call) { return Num(static_cast<double>(BitsArg(call, 0) | BitsArg(call, 1))); }
Operand BitXor(Call& call) { return Num(static_cast<double>(BitsArg(call, 0) ^ BitsArg(call, 1))); }

Value Shift(Call& call, bool left) {
  const uint64_t n = BitsArg(call, 0);
  double shift = std::trunc(call.Number(1));
  if (std::fabs(shift) > 53) Fail();
  if (!left) shift = -shift;
  if (shift >= 0) {
    const double r = std::ldexp(static_cast<double>(n), static_cast<int>(shift));
    if (r >= kMaxBits) Fail();
    return Num(r);
  }
  return Num(static_cast<double>(n >> static_cast<int>(-shift)));
}

Operand BitLShift(Call& call) { return Shift(call, true); }
Operand BitRShift(Call& call) { return Shift(call, false); }

// --- Roman numerals ------------------------------------------------------------------------

// ROMAN(number, [form]): form 0 is the classic notation; 1 to 4 allow ever more concise
// subtractive pairs (499 is CDXCIX, LDVLIV, XDIX, VDIV, ID). TRUE means 0 and FALSE 4.
Operand Roman(Call& call) {
  const double d = std::trunc(call.Number(0));
  if (d < 0 || d > 3999) Fail(ErrorCode::Value);  // 0 gives an empty text
  int form = 0;
  if (!call.Missing(1)) {
    const Value f = call.Scalar(1);
    if (const auto* b = std::get_if<bool>(&f)) {
      form = *b ? 0 : 4;
    } else {
      const double fd = std::trunc(AsNumber(f));
      if (fd < 0 || fd > 4) Fail(ErrorCode::Value);
      form = static_cast<int>(fd);
    }
  }
  static constexpr char kChars[] = {'M', 'D', 'C', 'L', 'X', 'V', 'I'};
  static constexpr int kValues[] = {1000, 500, 100, 50, 10, 5, 1};
  constexpr int kLast = 6;
  int value = static_cast<int>(d);
  std::string out;
  for (int i = 0; i <= kLast / 2; ++i) {
    int index = 2 * i;
    const int digit = value / kValues[index];
    if (digit % 5 == 4) {
      // A subtractive pair: the smaller symbol (as small as the form allows) before the
      // larger one.
      const int larger = digit == 4 ? index - 1 : index - 2;
      for (int steps = 0; steps < form && index < kLast; ++steps) {
        if (kValues[larger] - kValues[index + 1] <= value) ++index;
        else break;
      }
      out += kChars[index];
      out += kChars[larger];
      value += kValues[index] - kValues[larger];
    } else {
      if (digit > 4) out += kChars[index - 1];
      out.append(static_cast<size_t>(digit % 5), kChars[index]);
      value %= kValues[index];
    }
  }
  return Value{out};
}

int RomanValue(char c) {
  switch (c & ~0x20) {
    case 'I': return 1;
    case 'V': return 5;
    case 'X': return 10;
    case 'L': return 50;
    case 'C': return 100;
    case 'D': return 500;
    case 'M': return 1000;
    default: return 0;
  }
}

// ARABIC(text): a Roman numeral (any case, an optional leading minus, blanks around) as a
// number; a symbol before a larger one subtracts.
Operand Arabic(Call& call) {
  std::string text = call.Text(0);
  if (text.size() > 255) Fail(ErrorCode::Value);
  const size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  text = b == std::string::npos ? "" : text.substr(b, e - b + 1);
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.erase(0, 1);
  }
  double total = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int v = RomanValue(text[i]);
    if (v == 0) Fail(ErrorCode::Value);
    const int next = i + 1 < text.size() ? RomanValue(text[i + 1]) : 0;
    total += v < next ? -v : v;
  }
  return Num(negative ? -total : total);
}

// --- DELTA, ERF, Bessel ----------------------------------------------------------------------

Operand Delta(Call& call) { return Num(call.Number(0) == call.Number(1, 0) ? 1 : 0); }

Operand Erf(Call& call) {
  const double lower = call.Number(0);
  if (call.Missing(1)) return Num(std::erf(lower));
  return Num(std::erf(call.Number(1)) - std::erf(lower));
}
Operand ErfPrecise(Call& call) { return Num(std::erf(call.Number(0))); }
Operand Erfc(Call& call) { return Num(std::erfc(call.Number(0))); }

// BESSELx(x, n): n is truncated and may not be negative.
int Order(Call& call) {
  const double n = std::trunc(call.Number(1));
  if (n < 0 || n > 1000) Fail();
  return static_cast<int>(n);
}

// The standard library's special functions report arguments out of their range with
// domain_error, and arguments too large for their series with runtime_error (overflow_error
// among them): #NUM! each.
template <typename F>
double Guarded(F f) {
  try {
    return f();
  } catch (const std::domain_error&) {
    Fail();
  } catch (const std::runtime_error&) {
    Fail();
  }
}

Operand BesselJ(Call& call) {
  const double x = call.Number(0);
  const int n = Order(call);
  const double r = Guarded([&] { return std::cyl_bessel_j(n, std::fabs(x)); });
  return Num(x < 0 && n % 2 ? -r : r);  // J_n is odd for odd n
}

Operand BesselI(Call& call) {
  const double x = call.Number(0);
  const int n = Order(call);
  const double r = Guarded([&] { return std::cyl_bessel_i(n, std::fabs(x)); });
  return Num(x < 0 && n % 2 ? -r : r);
}

Operand BesselY(Call& call) {
  const double x = call.Number(0);
  const int n = Order(call);
  if (x <= 0) Fail();
  return Num(Guarded([&] { return std::cyl_neumann(n, x); }));
}

Operand BesselK(Call& call) {
  const double x = call.Number(0);
  const int n = Order(call);
  if (x <= 0) Fail();
  return Num(Guarded([&] { return std::cyl_bessel_k(n, x); }));
}

}  // namespace

void RegisterEngineeringFunctions(FunctionRegistry& r) {
  r.Add({"BASE", 2, 3, Base});
  r.Add({"DECIMAL", 2, 2, Decimal});
  r.Add({"BIN2DEC", 1, 1, ToDecimal<kBin>});
  r.Add({"OCT2DEC", 1, 1, ToDecimal<kOct>});
  r.Add({"HEX2DEC", 1, 1, ToDecimal<kHex>});
  r.Add({"DEC2BIN", 1, 2, FromDecimal<kBin>});
  r.Add({"DEC2OCT", 1, 2, FromDecimal<kOct>});
  r.Add({"DEC2HEX", 1, 2, FromDecimal<kHex>});
  r.Add({"BIN2OCT", 1, 2, Convert<kBin, kOct>});
  r.Add({"BIN2HEX", 1, 2, Convert<kBin, kHex>});
  r.Add({"OCT2BIN", 1, 2, Convert<kOct, kBin>});
  r.Add({"OCT2HEX", 1, 2, Convert<kOct, kHex>});
  r.Add({"HEX2BIN", 1, 2, Convert<kHex, kBin>});
  r.Add({"HEX2OCT", 1, 2, Convert<kHex, kOct>});
  r.Add({"BITAND", 2, 2, BitAnd});
  r.Add({"BITOR", 2, 2, BitOr});
  r.Add({"BITXOR", 2, 2, BitXor});
  r.Add({"BITLSHIFT", 2, 2, BitLShift});
  r.Add({"BITRSHIFT", 2, 2, BitRShift});
  r.Add({"ROMAN", 1, 2, Roman});
  r.Add({"ARABIC", 1, 1, Arabic});
  r.Add({"DELTA", 1, 2, Delta});
  r.Add({"ERF", 1, 2, Erf});
  r.Add({"ERF.PRECISE", 1, 1, ErfPrecise});
  r.Add({"ERFC", 1, 1, Erfc});
  r.Add({"ERFC.PRECISE", 1, 1, Erfc});
  r.Add({"BESSELJ", 2, 2, BesselJ});
  r.Add({"BESSELI", 2, 2, BesselI});
  r.Add({"BESSELY", 2, 2, BesselY});
  r.Add({"BESSELK", 2, 2, BesselK});
}

}  // namespace ddt::grid::formula
