// A number-format code parsed once into sections of tokens, ready for rendering.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::grid::format {

enum class TokenKind : uint8_t {
  Literal,      // text shown as is (quoted, escaped, _ spacing, [$xx-409] currency)
  Digit,        // 0 # ? placeholder; `ch` tells which, `part` where it belongs
  Point,        // the decimal point of the number
  Exponent,     // E+ E- e+ e-; `ch` is the letter, `plus` whether + is always shown
  Slash,        // the fraction bar
  FixedDenominator,  // a fraction's fixed denominator; `number`
  Text,         // @
  General,      // the word General inside a section
  Year,         // width 2 or 4
  Month,        // width 1, 2 (numeric), 3 (Jan), 4 (January), 5 (J)
  Day,          // width 1, 2 (numeric), 3 (Sun), 4 (Sunday)
  Hour,         // width 1 or 2
  Minute,       // width 1 or 2
  Second,       // width 1 or 2
  SubSecond,    // .0 .00 .000 after seconds; width digits
  Elapsed,      // [h] [m] [s]; `ch` h/m/s, width as typed
  AmPm,         // AM/PM (width 5) or A/P (width 3); `text` holds the code's letters
};

// Where a digit placeholder belongs.
enum class DigitPart : uint8_t { Integer, Fraction, Exponent, Numerator, Denominator };

struct Token {
  TokenKind kind = TokenKind::Literal;
  char ch = 0;
  DigitPart part = DigitPart::Integer;
  bool plus = false;
  int width = 0;
  int number = 0;
  std::string text;
};

enum class SectionKind : uint8_t { Number, Scientific, Fraction, Date, Text, General };

enum class CompareOp : uint8_t { None, Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };

struct Section {
  SectionKind kind = SectionKind::Number;
  std::vector<Token> tokens;
  CompareOp op = CompareOp::None;
  double operand = 0;
  // Numbers: scaling and layout.
  int percent = 0;          // each % multiplies by 100
  int scaleThousands = 0;   // each trailing comma divides by 1000
  bool grouping = false;    // thousands separators in the integer part
  int integerDigits = 0;
  int fractionDigits = 0;
  bool hasPoint = false;
  bool hasText = false;     // an @ in the section
  int exponentDigits = 0;   // scientific: placeholders after E
  int numeratorDigits = 0;  // fractions
  int denominatorDigits = 0;
  int fixedDenominator = 0;
  bool hasFractionInteger = false;  // fractions: an integer part before the numerator
  int lastIntegerToken = -1;        // fractions: token indexes of the parts' ends
  int firstNumeratorToken = -1;
  int lastDenominatorToken = -1;
  char integerUnit = 0;             // fractions: the integer part's last placeholder
  bool integerHasZero = false;      // fractions: which placeholders the parts have
  bool numeratorHasZero = false;
  bool numeratorHasSpace = false;
  bool denominatorHasSpace = false;
  // Dates: a 12-hour clock when AM/PM is present; decimals of seconds shown.
  bool hour12 = false;
  int subSecondDigits = 0;
  bool elapsed = false;     // an elapsed unit: [h], [m] or [s]

  bool Matches(double v) const;
};

struct CompiledFormat {
  std::vector<Section> sections;  // number sections, in code order (at most three)
  const Section* textSection = nullptr;  // the text section, if any (points into `text`)
  std::unique_ptr<Section> text;
  bool anyCondition = false;
  bool isDate = false;
  bool isGeneral = false;  // the code is General (or empty)
};

// Parses a code; never fails: an unusable code yields a General format.
std::shared_ptr<const CompiledFormat> CompileFormat(std::string_view code);

// The compiled form of a code from a process-wide cache (thread-safe).
std::shared_ptr<const CompiledFormat> GetCompiledFormat(std::string_view code);

// Appends the General rendering of a value (see FormatGeneral).
void AppendGeneral(std::string& out, double value);
// Appends a value as the General number format shows it: at most 11 characters besides the
// sign, plain decimals rounded to fit, the scientific form (1.12346E+11) for numbers of more
// than 11 digits and for small ones that it shows with more significant digits.
void AppendGeneralDisplay(std::string& out, double value);

}  // namespace ddt::grid::format
