// Parsing a number-format code into sections and tokens.
#include <strings.h>

#include <charconv>
#include <cstring>

#include "grid/format/compiled_format.h"
#include "text/ascii.h"
#include "text/utf8.h"

namespace ddt::grid::format {

namespace {

// Codes with more sections than this are not valid; the rest is ignored.
constexpr int kMaxSections = 4;
constexpr int kMaxSubSecondDigits = 3;
// The system long date and long time of the en-US locale ([$-F800] and [$-F400]).
constexpr std::string_view kSystemLongDate = "dddd, mmmm d, yyyy";
constexpr std::string_view kSystemLongTime = "h:mm:ss AM/PM";

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
  return text::StartsWithNoCase(s.substr(at), word);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsPlaceholder(char c) { return c == '0' || c == '#' || c == '?'; }

// Splits at ';' outside quotes, brackets and escapes.
std::vector<std::string_view> SplitSections(std::string_view code) {
  std::vector<std::string_view> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (quoted) {
      if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      const size_t close = code.find(']', i);
      if (close != std::string_view::npos) i = close;
    } else if (c == ';') {
      out.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(code.substr(start));
  return out;
}

class SectionParser {
 public:
  SectionParser(std::string_view s, Section& sec) : s_(s), sec_(sec) {}

  void Run() {
    while (i_ < s_.size()) Step();
    Finish();
  }

 private:
  void Literal(std::string_view text) {
    if (!sec_.tokens.empty() && sec_.tokens.back().kind == TokenKind::Literal)
      sec_.tokens.back().text.append(text);
    else
      Push(TokenKind::Literal).text.assign(text);
  }
  Token& Push(TokenKind kind) {
    sec_.tokens.emplace_back();
    sec_.tokens.back().kind = kind;
    return sec_.tokens.back();
  }
  bool LastIsDigit() const {
    return !sec_.tokens.empty() && sec_.tokens.back().kind == TokenKind::Digit;
  }
  bool HasExponent() const {
    for (const Token& t : sec_.tokens)
      if (t.kind == TokenKind::Exponent) return true;
    return false;
  }
  size_t Run(char lower) const {
    size_t n = 0;
    while (i_ + n < s_.size() && Lower(s_[i_ + n]) == lower) ++n;
    return n;
  }

  void Bracket() {
    const size_t close = s_.find(']', i_);
    if (close == std::string_view::npos) {  // a lone '[' is shown as it is
      Literal("[");
      ++i_;
      return;
    }
    const std::string_view in = s_.substr(i_ + 1, close - i_ - 1);
    i_ = close + 1;
    if (in.empty()) return;
    if (in[0] == '$') {
      const size_t dash = in.find('-');
      const std::string_view symbol = in.substr(1, dash == std::string_view::npos ? in.npos : dash - 1);
      if (!symbol.empty()) Literal(symbol);
      if (dash != std::string_view::npos) {
        const std::string_view locale = in.substr(dash + 1);
        if (strncasecmp(locale.data(), "F800", 4) == 0 && locale.size() == 4) systemExpansion_ = kSystemLongDate;
        if (strncasecmp(locale.data(), "F400", 4) == 0 && locale.size() == 4) systemExpansion_ = kSystemLongTime;
      }
      return;
    }
    if (in[0] == '<' || in[0] == '>' || in[0] == '=') {
      size_t k = 1;
      CompareOp op = CompareOp::Equal;
      if (in[0] == '<' && in.size() > 1 && in[1] == '=') op = CompareOp::LessEqual, k = 2;
      else if (in[0] == '<' && in.size() > 1 && in[1] == '>') op = CompareOp::NotEqual, k = 2;
      else if (in[0] == '>' && in.size() > 1 && in[1] == '=') op = CompareOp::GreaterEqual, k = 2;
      else if (in[0] == '<') op = CompareOp::Less;
      else if (in[0] == '>') op = CompareOp::Greater;
      std::string_view num = in.substr(k);
      while (!num.empty() && num.front() == ' ') num.remove_prefix(1);
      if (!num.empty() && num.front() == '+') num.remove_prefix(1);
      double operand = 0;
      auto res = std::from_chars(num.data(), num.data() + num.size(), operand);
      if (res.ec == std::errc()) {
        sec_.op = op;
        sec_.operand = operand;
      }
      return;
    }
    const char first = Lower(in[0]);
    if (first == 'h' || first == 'm' || first == 's') {
      bool same = true;
      for (char c : in) same = same && Lower(c) == first;
      if (same) {
        Token& t = Push(TokenKind::Elapsed);
        t.ch = first;
        t.width = static_cast<int>(in.size());
        return;
      }
    }
    // Colours ([Red], [Color10]) and anything else in brackets do not show.
  }

  void Step() {
    const char c = s_[i_];
    switch (c) {
      case '"': {
        const size_t close = s_.find('"', i_ + 1);
        const size_t end = close == std::string_view::npos ? s_.size() : close;
        Literal(s_.substr(i_ + 1, end - i_ - 1));
        i_ = end + 1;
        return;
      }
      case '\\':
        if (i_ + 1 < s_.size()) {
          size_t len = Utf8Length(i_ + 1);
          Literal(s_.substr(i_ + 1, len));
          i_ += 1 + len;
        } else {
          ++i_;
        }
        return;
      case '_':  // a space as wide as the next character
        Literal(" ");
        i_ += 1 + (i_ + 1 < s_.size() ? Utf8Length(i_ + 1) : 0);
        return;
      case '*':  // fill with the next character: nothing in text
        i_ += 1 + (i_ + 1 < s_.size() ? Utf8Length(i_ + 1) : 0);
        return;
      case '[':
        Bracket();
        return;
      case '0':
      case '#':
      case '?': {
        Token& t = Push(TokenKind::Digit);
        t.ch = c;
        ++i_;
        return;
      }
      case '.':
        Push(TokenKind::Point);
        ++i_;
        return;
      case ',':
        Comma();
        return;
      case '%':
        ++sec_.percent;
        Literal("%");
        ++i_;
        return;
      case '/':
        Push(TokenKind::Slash);
        ++i_;
        if (i_ < s_.size() && s_[i_] >= '1' && s_[i_] <= '9') {
          int n = 0;
          while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9' && n < 100000000) n = n * 10 + (s_[i_++] - '0');
          Push(TokenKind::FixedDenominator).number = n;
        }
        return;
      case '@':
        Push(TokenKind::Text);
        ++i_;
        return;
      default:
        break;
    }
    if ((c == 'E' || c == 'e') && i_ + 1 < s_.size() && (s_[i_ + 1] == '+' || s_[i_ + 1] == '-')) {
      Token& t = Push(TokenKind::Exponent);
      t.ch = c;
      t.plus = s_[i_ + 1] == '+';
      i_ += 2;
      return;
    }
    if (StartsWithNoCase(s_, i_, "General")) {
      Push(TokenKind::General);
      i_ += 7;
      return;
    }
    if (StartsWithNoCase(s_, i_, "AM/PM")) {
      Token& t = Push(TokenKind::AmPm);
      t.width = 5;
      t.text.assign(s_.substr(i_, 5));
      i_ += 5;
      return;
    }
    if (StartsWithNoCase(s_, i_, "A/P")) {
      Token& t = Push(TokenKind::AmPm);
      t.width = 3;
      t.text.assign(s_.substr(i_, 3));
      i_ += 3;
      return;
    }
    const char l = Lower(c);
    if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') {
      const int n = static_cast<int>(Run(l));
      i_ += static_cast<size_t>(n);
      switch (l) {
        case 'y': Push(TokenKind::Year).width = n <= 2 ? 2 : 4; break;
        case 'm': Push(TokenKind::Month).width = std::min(n, 5); break;
        case 'd': Push(TokenKind::Day).width = std::min(n, 4); break;
        case 'h': Push(TokenKind::Hour).width = std::min(n, 2); break;
        default: Push(TokenKind::Second).width = std::min(n, 2); break;
      }
      return;
    }
    const size_t len = Utf8Length(i_);
    Literal(s_.substr(i_, len));
    i_ += len;
  }

  // A comma between digit placeholders groups thousands; commas after the last placeholder
  // scale by 1000 each; any other comma is shown.
  void Comma() {
    size_t j = i_;
    while (j < s_.size() && s_[j] == ',') ++j;
    const size_t count = j - i_;
    if (HasExponent()) {  // the exponent's digits are never grouped or scaled
      i_ = j;
      return;
    }
    const bool afterDigit = LastIsDigit();
    const bool beforeDigit = j < s_.size() && IsPlaceholder(s_[j]);
    if (afterDigit && beforeDigit) {
      sec_.grouping = true;
    } else if (afterDigit) {
      sec_.scaleThousands += static_cast<int>(count);
    } else {
      Literal(s_.substr(i_, count));
    }
    i_ = j;
  }

  size_t Utf8Length(size_t at) const { return text::utf8::CharBytes(s_, at); }

  static bool IsDateToken(TokenKind k) {
    return k == TokenKind::Year || k == TokenKind::Month || k == TokenKind::Day ||
           k == TokenKind::Hour || k == TokenKind::Minute || k == TokenKind::Second ||
           k == TokenKind::Elapsed || k == TokenKind::AmPm;
  }

  void Finish() {
    std::vector<Token>& t = sec_.tokens;
    bool hasDate = false, hasDigit = false, hasGeneral = false;
    for (const Token& tok : t) {
      hasDate = hasDate || IsDateToken(tok.kind);
      hasDigit = hasDigit || tok.kind == TokenKind::Digit;
      hasGeneral = hasGeneral || tok.kind == TokenKind::General;
      sec_.hasText = sec_.hasText || tok.kind == TokenKind::Text;
    }
    if (hasDate) return FinishDate();
    if (sec_.hasText && !hasDigit) {
      sec_.kind = SectionKind::Text;
      return;
    }
    if (hasGeneral) {
      sec_.kind = SectionKind::General;
      return;
    }
    FinishNumber();
  }

  // Minutes versus months, decimals of seconds, and the 12-hour clock.
  void FinishDate() {
    sec_.kind = SectionKind::Date;
    std::vector<Token>& t = sec_.tokens;
    auto prevDate = [&](size_t i) -> const Token* {
      while (i-- > 0)
        if (IsDateToken(t[i].kind)) return &t[i];
      return nullptr;
    };
    auto nextDate = [&](size_t i) -> const Token* {
      for (++i; i < t.size(); ++i)
        if (IsDateToken(t[i].kind)) return &t[i];
      return nullptr;
    };
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].kind == TokenKind::AmPm) sec_.hour12 = true;
      if (t[i].kind != TokenKind::Month || t[i].width > 2) continue;
      const Token* p = prevDate(i);
      const Token* n = nextDate(i);
      // Minutes right after hours or seconds ("s:m" too), or right before seconds.
      if ((p && (p->kind == TokenKind::Hour || p->kind == TokenKind::Second ||
                 (p->kind == TokenKind::Elapsed && (p->ch == 'h' || p->ch == 's')))) ||
          (n && (n->kind == TokenKind::Second || (n->kind == TokenKind::Elapsed && n->ch == 's'))))
        t[i].kind = TokenKind::Minute;
    }
    // Beside an elapsed unit ([h]), the same unit without brackets (h) shows the total too.
    for (const Token& e : t) {
      if (e.kind != TokenKind::Elapsed) continue;
      sec_.elapsed = true;
      const TokenKind same = e.ch == 'h' ? TokenKind::Hour : e.ch == 'm' ? TokenKind::Minute : TokenKind::Second;
      for (Token& u : t)
        if (u.kind == same) {
          u.kind = TokenKind::Elapsed;
          u.ch = e.ch;
        }
    }
    // "ss.000": a point and zeros right after seconds are decimals of the second.
    std::vector<Token> out;
    for (size_t i = 0; i < t.size(); ++i) {
      Token& tok = t[i];
      if (tok.kind == TokenKind::Point && !out.empty() &&
          (out.back().kind == TokenKind::Second ||
           (out.back().kind == TokenKind::Elapsed && out.back().ch == 's'))) {
        int n = 0;
        while (i + 1 + n < t.size() && t[i + 1 + n].kind == TokenKind::Digit && t[i + 1 + n].ch == '0') ++n;
        if (n > 0) {
          Token sub;
          sub.kind = TokenKind::SubSecond;
          sub.width = std::min(n, kMaxSubSecondDigits);
          sec_.subSecondDigits = std::max(sec_.subSecondDigits, sub.width);
          out.push_back(sub);
          i += static_cast<size_t>(n);
          continue;
        }
      }
      // Number-only tokens mean nothing in a date: show them as they were typed.
      if (tok.kind == TokenKind::Digit) { AppendLiteral(out, std::string(1, tok.ch)); continue; }
      if (tok.kind == TokenKind::Point) { AppendLiteral(out, "."); continue; }
      if (tok.kind == TokenKind::Slash) { AppendLiteral(out, "/"); continue; }
      if (tok.kind == TokenKind::FixedDenominator) { AppendLiteral(out, std::to_string(tok.number)); continue; }
      if (tok.kind == TokenKind::Exponent) { AppendLiteral(out, std::string{tok.ch, tok.plus ? '+' : '-'}); continue; }
      out.push_back(std::move(tok));
    }
    t = std::move(out);
  }

  static void AppendLiteral(std::vector<Token>& out, const std::string& text) {
    if (!out.empty() && out.back().kind == TokenKind::Literal) {
      out.back().text += text;
    } else {
      Token lit;
      lit.text = text;
      out.push_back(std::move(lit));
    }
  }

  // Assigns each placeholder its part (integer, decimals, exponent, fraction).
  void FinishNumber() {
    std::vector<Token>& t = sec_.tokens;
    size_t slash = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i].kind == TokenKind::Exponent) {
        sec_.kind = SectionKind::Scientific;
        break;
      }
      // A bar with placeholders on both sides, literal text allowed in between ("# ?=/=?").
      if (t[i].kind == TokenKind::Slash) {
        size_t before = i, after = i + 1;
        while (before > 0 && t[before - 1].kind == TokenKind::Literal) --before;
        while (after < t.size() && t[after].kind == TokenKind::Literal) ++after;
        if (before > 0 && t[before - 1].kind == TokenKind::Digit && after < t.size() &&
            (t[after].kind == TokenKind::Digit || t[after].kind == TokenKind::FixedDenominator)) {
          sec_.kind = SectionKind::Fraction;
          slash = i;
          break;
        }
      }
    }
    if (sec_.kind == SectionKind::Fraction) return FinishFraction(slash);
    DigitPart part = DigitPart::Integer;
    for (Token& tok : t) {
      switch (tok.kind) {
        case TokenKind::Point:
          if (part == DigitPart::Integer) {
            part = DigitPart::Fraction;
            sec_.hasPoint = true;
          } else {
            tok.kind = TokenKind::Literal;
            tok.text = std::string(1, '.');
          }
          break;
        case TokenKind::Exponent:
          if (part == DigitPart::Exponent) {
            tok.kind = TokenKind::Literal;
            tok.text = std::string{tok.ch, tok.plus ? '+' : '-'};
          }
          part = DigitPart::Exponent;
          break;
        case TokenKind::Digit:
          tok.part = part;
          if (part == DigitPart::Integer) ++sec_.integerDigits;
          else if (part == DigitPart::Fraction) ++sec_.fractionDigits;
          else ++sec_.exponentDigits;
          break;
        case TokenKind::Slash:
          tok.kind = TokenKind::Literal;
          tok.text = std::string(1, '/');
          break;
        case TokenKind::FixedDenominator:
          tok.kind = TokenKind::Literal;
          tok.text = std::to_string(tok.number);
          break;
        default:
          break;
      }
    }
  }

  // Parts of a fraction: the numerator is the last run of placeholders before the bar
  // (literals may stand between it and the bar), the integer part every placeholder before
  // it, the denominator the run of placeholders or the number after the bar.
  void FinishFraction(size_t slash) {
    std::vector<Token>& t = sec_.tokens;
    size_t numEnd = slash;
    while (t[numEnd - 1].kind != TokenKind::Digit) --numEnd;
    size_t numStart = numEnd - 1;
    while (numStart > 0 && t[numStart - 1].kind == TokenKind::Digit) --numStart;
    size_t denStart = slash + 1;
    while (t[denStart].kind == TokenKind::Literal) ++denStart;
    bool inDenominator = true;
    for (size_t i = 0; i < t.size(); ++i) {
      Token& tok = t[i];
      if (i > denStart && tok.kind != TokenKind::Digit) inDenominator = false;
      if (tok.kind == TokenKind::Digit) {
        if (i < numStart) {
          tok.part = DigitPart::Integer;
          ++sec_.integerDigits;
          sec_.hasFractionInteger = true;
          sec_.lastIntegerToken = static_cast<int>(i);
          sec_.integerUnit = tok.ch;
          sec_.integerHasZero = sec_.integerHasZero || tok.ch == '0';
        } else if (i < numEnd) {
          tok.part = DigitPart::Numerator;
          ++sec_.numeratorDigits;
          if (sec_.firstNumeratorToken < 0) sec_.firstNumeratorToken = static_cast<int>(i);
          sec_.numeratorHasZero = sec_.numeratorHasZero || tok.ch == '0';
          sec_.numeratorHasSpace = sec_.numeratorHasSpace || tok.ch == '?';
        } else if (i >= denStart && inDenominator) {
          tok.part = DigitPart::Denominator;
          ++sec_.denominatorDigits;
          sec_.lastDenominatorToken = static_cast<int>(i);
          sec_.denominatorHasSpace = sec_.denominatorHasSpace || tok.ch == '?';
        } else {
          tok.kind = TokenKind::Literal;
          tok.text = std::string(1, tok.ch);
        }
      } else if (tok.kind == TokenKind::FixedDenominator && i == denStart) {
        sec_.fixedDenominator = tok.number;
        sec_.lastDenominatorToken = static_cast<int>(i);
      } else if (tok.kind == TokenKind::Point || (tok.kind == TokenKind::Slash && i != slash) ||
                 tok.kind == TokenKind::FixedDenominator || tok.kind == TokenKind::Exponent) {
        const std::string text = tok.kind == TokenKind::Point   ? "."
                                 : tok.kind == TokenKind::Slash ? "/"
                                 : tok.kind == TokenKind::Exponent
                                     ? std::string{tok.ch, tok.plus ? '+' : '-'}
                                     : std::to_string(tok.number);
        tok.kind = TokenKind::Literal;
        tok.text = text;
      }
    }
  }

 public:
  std::string_view systemExpansion_;

 private:
  std::string_view s_;
  Section& sec_;
  size_t i_ = 0;
};

void ParseSection(std::string_view text, Section& sec) {
  SectionParser p(text, sec);
  p.Run();
  if (!p.systemExpansion_.empty() && sec.kind != SectionKind::Date) {
    // [$-F800] / [$-F400] alone stand for the system long date / time.
    Section expanded;
    expanded.op = sec.op;
    expanded.operand = sec.operand;
    SectionParser q(p.systemExpansion_, expanded);
    q.Run();
    sec = std::move(expanded);
  }
}

}  // namespace

bool Section::Matches(double v) const {
  switch (op) {
    case CompareOp::None: return true;
    case CompareOp::Less: return v < operand;
    case CompareOp::LessEqual: return v <= operand;
    case CompareOp::Greater: return v > operand;
    case CompareOp::GreaterEqual: return v >= operand;
    case CompareOp::Equal: return v == operand;
    case CompareOp::NotEqual: return v != operand;
  }
  return true;
}

std::shared_ptr<const CompiledFormat> CompileFormat(std::string_view code) {
  auto f = std::make_shared<CompiledFormat>();
  if (code.empty() || (code.size() == 7 && strncasecmp(code.data(), "General", 7) == 0)) {
    f->isGeneral = true;
    return f;
  }
  std::vector<std::string_view> parts = SplitSections(code);
  if (parts.size() > kMaxSections) parts.resize(kMaxSections);
  std::vector<Section> sections(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) ParseSection(parts[i], sections[i]);
  // The fourth section is for text; with fewer, a section holding @ is.
  size_t textIndex = parts.size();
  if (parts.size() == kMaxSections) {
    textIndex = kMaxSections - 1;
  } else {
    for (size_t i = 0; i < sections.size(); ++i)
      if (sections[i].hasText) {
        textIndex = i;
        break;
      }
  }
  for (size_t i = 0; i < sections.size(); ++i) {
    if (i == textIndex) {
      f->text = std::make_unique<Section>(std::move(sections[i]));
      f->textSection = f->text.get();
    } else if (i < textIndex) {
      f->anyCondition = f->anyCondition || sections[i].op != CompareOp::None;
      f->isDate = f->isDate || sections[i].kind == SectionKind::Date;
      f->sections.push_back(std::move(sections[i]));
    }
  }
  return f;
}

}  // namespace ddt::grid::format
