// Numbers through digit placeholders: fixed, scientific and fraction sections.
#include <cmath>
#include <cstdint>

#include "grid/format/decimal_digits.h"
#include "grid/format/render.h"
#include "text/utf8.h"

namespace ddt::grid::format {

namespace {

constexpr int kGroupSize = 3;
// Fractions approximate with denominators of at most this many digits.
constexpr int kMaxDenominatorDigits = 7;
// Beyond this a value is its own fraction's numerator over 1.
constexpr double kMaxFractionValue = 1e15;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Writes integer digits into the integer placeholders, right-aligned.
class IntegerWriter {
 public:
  IntegerWriter(std::string_view digits, int placeholders, bool grouping)
      : digits_(digits), placeholders_(placeholders), grouping_(grouping) {}

  // The next integer placeholder, left to right.
  void Placeholder(std::string& out, char ph) {
    const int len = static_cast<int>(digits_.size());
    if (index_ == 0 && len > placeholders_) {
      for (int i = 0; i < len - placeholders_; ++i) Emit(out, digits_[i], len - 1 - i);
    }
    const int pos = placeholders_ - 1 - index_;  // from the right
    ++index_;
    if (pos < len) {
      Emit(out, digits_[len - 1 - pos], pos);
    } else if (ph == '0') {
      Emit(out, '0', pos);
    } else if (ph == '?') {
      out += ' ';
      if (grouping_ && pos > 0 && pos % kGroupSize == 0) out += ' ';
    }
  }
  // All digits at once, where a section has no integer placeholder.
  void All(std::string& out) {
    const int len = static_cast<int>(digits_.size());
    for (int i = 0; i < len; ++i) Emit(out, digits_[i], len - 1 - i);
  }

 private:
  void Emit(std::string& out, char c, int pos) {
    out += c;
    if (grouping_ && pos > 0 && pos % kGroupSize == 0) out += ',';
  }
  std::string_view digits_;
  int placeholders_;
  bool grouping_;
  int index_ = 0;
};

// Writes decimals into the decimal placeholders: # drops and ? blanks trailing zeros.
void FractionPlaceholder(std::string& out, const std::string& digits, int lastNonZero, int j,
                         char ph) {
  if (j <= lastNonZero) out += digits[j];
  else if (ph == '0') out += '0';
  else if (ph == '?') out += ' ';
}

int LastNonZero(const std::string& s) {
  for (int i = static_cast<int>(s.size()) - 1; i >= 0; --i)
    if (s[i] != '0') return i;
  return -1;
}

double Scale(const Section& s, double x) {
  if (s.kind == SectionKind::Scientific) return x;
  for (int i = 0; i < s.percent; ++i) x *= 100;
  for (int i = 0; i < s.scaleThousands; ++i) x /= 1000;
  return x;
}

void RenderFixed(std::string& out, const Section& s, double x) {
  const FixedDigits fixed = ToFixed(ToDecimalDigits(Scale(s, x)), s.fractionDigits);
  IntegerWriter ints(fixed.integer, s.integerDigits, s.grouping);
  const int lastNonZero = LastNonZero(fixed.fraction);
  int j = 0;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TokenKind::Literal: out += t.text; break;
      case TokenKind::Point:
        if (s.integerDigits == 0) ints.All(out);
        out += '.';
        break;
      case TokenKind::Digit:
        if (t.part == DigitPart::Integer) ints.Placeholder(out, t.ch);
        else FractionPlaceholder(out, fixed.fraction, lastNonZero, j++, t.ch);
        break;
      default: break;
    }
  }
}

// Scientific sections neither scale (% and trailing commas are shown or dropped) nor group
// the exponent. The exponent's sign goes with its digits, after any text that follows E.
void RenderScientific(std::string& out, const Section& s, double x) {
  const int group = std::max(1, s.integerDigits);
  DecimalDigits d = ToDecimalDigits(x);
  int64_t exponent = 0;
  FixedDigits mantissa;
  if (d.digits.empty()) {
    // Zero fills every integer placeholder with 0.
    mantissa = ToFixed(d, s.fractionDigits);
    mantissa.integer.assign(static_cast<size_t>(s.integerDigits), '0');
  } else {
    // The exponent is a multiple of the integer placeholders ("##0.0E+0" is engineering).
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int64_t e = d.point - 1;
      exponent = FloorDiv(e, group) * group;
      DecimalDigits m = d;
      m.point = static_cast<int>(e - exponent + 1);
      mantissa = ToFixed(m, s.fractionDigits);
      if (static_cast<int>(mantissa.integer.size()) <= m.point) break;
      d = DecimalDigits{"1", d.point + 1};  // rounding carried into a new digit
    }
  }
  const std::string exponentDigits = std::to_string(exponent < 0 ? -exponent : exponent);
  IntegerWriter ints(mantissa.integer, s.integerDigits, s.grouping);
  IntegerWriter exps(exponentDigits, s.exponentDigits, false);
  const int lastNonZero = LastNonZero(mantissa.fraction);
  int j = 0;
  bool signWritten = false;
  auto sign = [&](const Token& e) {
    if (exponent < 0) out += '-';
    else if (e.plus) out += '+';
    signWritten = true;
  };
  const Token* expToken = nullptr;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TokenKind::Literal: out += t.text; break;
      case TokenKind::Point:
        if (s.integerDigits == 0) ints.All(out);
        out += '.';
        break;
      case TokenKind::Exponent:
        expToken = &t;
        out += t.ch;
        if (s.exponentDigits == 0) {
          sign(t);
          out += exponentDigits;
        }
        break;
      case TokenKind::Digit:
        if (t.part == DigitPart::Integer) {
          ints.Placeholder(out, t.ch);
        } else if (t.part == DigitPart::Fraction) {
          FractionPlaceholder(out, mantissa.fraction, lastNonZero, j++, t.ch);
        } else if (expToken) {
          if (!signWritten) sign(*expToken);
          exps.Placeholder(out, t.ch);
        }
        break;
      default: break;
    }
  }
}

// The closest fraction to x with a denominator up to maxDen (continued fractions).
void BestFraction(double x, int64_t maxDen, int64_t& num, int64_t& den) {
  int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double r = x;
  for (int iter = 0; iter < 64; ++iter) {
    const double af = std::floor(r);
    if (af > 1e15) break;
    const int64_t a = static_cast<int64_t>(af);
    int64_t q2, p2;  // q0 + a*q1 and p0 + a*p1; a term that would overflow ends the expansion
    if (__builtin_mul_overflow(a, q1, &q2) || __builtin_add_overflow(q2, q0, &q2)) break;
    if (q2 > maxDen) break;
    if (__builtin_mul_overflow(a, p1, &p2) || __builtin_add_overflow(p2, p0, &p2)) break;
    p0 = p1, q0 = q1, p1 = p2, q1 = q2;
    const double frac = r - af;
    if (frac < 1e-12) break;
    r = 1 / frac;
  }
  if (q1 == 0) {  // x beyond any denominator's reach
    num = static_cast<int64_t>(std::llround(x));
    den = 1;
    return;
  }
  // The best semiconvergent below the limit may beat the last convergent.
  const int64_t k = (maxDen - q0) / q1;
  int64_t pb = 0, qb = 0;
  const bool overflow = __builtin_mul_overflow(k, p1, &pb) || __builtin_add_overflow(pb, p0, &pb) ||
                        __builtin_mul_overflow(k, q1, &qb) || __builtin_add_overflow(qb, q0, &qb);
  if (!overflow && qb > 0 && std::fabs(x - static_cast<double>(pb) / qb) <
                    std::fabs(x - static_cast<double>(p1) / q1)) {
    num = pb, den = qb;
  } else {
    num = p1, den = q1;
  }
}

size_t DisplayWidth(std::string_view s) { return text::utf8::CountCharacters(s); }

void RenderFraction(std::string& out, const Section& s, double x) {
  x = Scale(s, x);
  double whole = 0, part = x;
  if (s.hasFractionInteger) {
    whole = std::floor(x);
    part = x - whole;
  }
  int64_t num = 0, den = 1;
  if (x >= kMaxFractionValue) {
    // Too large for a fraction: the whole number alone (num stays 0).
  } else if (s.fixedDenominator > 0 && part * s.fixedDenominator < kMaxFractionValue) {
    den = s.fixedDenominator;
    num = static_cast<int64_t>(std::floor(part * den + 0.5));
  } else if (s.fixedDenominator > 0) {
    // Numerator beyond an integer's range: the whole number alone.
  } else {
    int64_t maxDen = 1;
    for (int i = 0; i < std::min(s.denominatorDigits, kMaxDenominatorDigits); ++i) maxDen *= 10;
    BestFraction(part, maxDen - 1, num, den);
  }
  if (s.hasFractionInteger && num == den && num > 0) {
    whole += 1;
    num = 0;
  }
  // A whole number leaves the fraction out, unless the numerator has a 0 placeholder: then
  // it shows 0/1. Its place is blank (spaces where a part has a ? placeholder) and the
  // integer part shows at least a 0.
  const bool blankFraction = s.hasFractionInteger && num == 0 && !s.numeratorHasZero;
  std::string wholeDigits;
  std::string numDigits;
  if (s.hasFractionInteger) {
    if (whole >= 1) wholeDigits = ToFixed(ToDecimalDigits(whole), 0).integer;
    if (wholeDigits.empty() && num == 0 && (blankFraction || s.integerUnit != '#'))
      wholeDigits.assign(1, '0');
    numDigits = std::to_string(num);
  } else {
    numDigits = x >= kMaxFractionValue ? ToFixed(ToDecimalDigits(x), 0).integer : std::to_string(num);
  }
  const std::string denDigits = std::to_string(den);
  const bool padBlank = s.integerUnit == '?' || s.numeratorHasSpace || s.denominatorHasSpace;
  // Text between the integer part and the numerator: shown after digits, blank after a ?
  // integer place or before a ? numerator, left out otherwise.
  const bool integerShown = !wholeDigits.empty() || s.integerHasZero;
  const bool blankSeparator = s.integerUnit == '?' || s.numeratorHasSpace;
  const int denPadding = std::max(0, s.denominatorDigits - static_cast<int>(denDigits.size()));
  IntegerWriter ints(wholeDigits, s.integerDigits, s.grouping);
  IntegerWriter nums(numDigits, s.numeratorDigits, false);
  int denIndex = 0;
  const int n = static_cast<int>(s.tokens.size());
  for (int i = 0; i < n; ++i) {
    const Token& t = s.tokens[i];
    const bool afterInteger = s.hasFractionInteger && i > s.lastIntegerToken;
    if ((blankFraction && afterInteger && i <= s.lastDenominatorToken) ||
        (!integerShown && afterInteger && i < s.firstNumeratorToken)) {
      const bool blank = blankFraction ? padBlank : blankSeparator;
      if (!blank) continue;
      size_t width = t.kind == TokenKind::Literal            ? DisplayWidth(t.text)
                     : t.kind == TokenKind::FixedDenominator ? std::to_string(t.number).size()
                     : t.kind == TokenKind::Digit || t.kind == TokenKind::Slash ? 1
                                                                                : 0;
      out.append(width, ' ');
      continue;
    }
    switch (t.kind) {
      case TokenKind::Literal: out += t.text; break;
      case TokenKind::Slash: out += '/'; break;
      case TokenKind::FixedDenominator: out += denDigits; break;
      case TokenKind::Digit:
        if (t.part == DigitPart::Integer) {
          ints.Placeholder(out, t.ch);
        } else if (t.part == DigitPart::Numerator) {
          nums.Placeholder(out, t.ch);
        } else if (denIndex++ == 0) {
          // The denominator: 0 placeholders it does not fill pad it with zeros on the left,
          // ? placeholders with spaces on the right (so the bars of a column line up).
          int zeros = 0, spaces = 0;
          for (int j = i, k = 0; j < n && k < denPadding; ++j) {
            if (s.tokens[j].kind != TokenKind::Digit) continue;
            ++k;
            if (s.tokens[j].ch == '0') ++zeros;
            else if (s.tokens[j].ch == '?') ++spaces;
          }
          out.append(static_cast<size_t>(zeros), '0');
          out += denDigits;
          out.append(static_cast<size_t>(spaces), ' ');
        }
        break;
      default: break;
    }
  }
}

void RenderGeneralSection(std::string& out, const Section& s, double x) {
  for (const Token& t : s.tokens) {
    if (t.kind == TokenKind::Literal) out += t.text;
    else if (t.kind == TokenKind::General) AppendGeneralDisplay(out, Scale(s, x));
  }
}

}  // namespace

void RenderNumber(std::string& out, const Section& s, double x, bool minus) {
  if (!std::isfinite(Scale(s, x))) {
    out += kNoDisplayText;
    return;
  }
  if (minus) out += '-';
  switch (s.kind) {
    case SectionKind::Scientific: return RenderScientific(out, s, x);
    case SectionKind::Fraction: return RenderFraction(out, s, x);
    case SectionKind::General: return RenderGeneralSection(out, s, x);
    default: return RenderFixed(out, s, x);
  }
}

void RenderText(std::string& out, const Section& s, std::string_view text) {
  for (const Token& t : s.tokens) {
    if (t.kind == TokenKind::Literal) out += t.text;
    else if (t.kind == TokenKind::Text) out += text;
  }
}

}  // namespace ddt::grid::format
