#include "grid/formula/functions/text/text_number.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "text/ascii.h"
#include "text/date_serial.h"
#include "text/utf8.h"

namespace ddt::grid::formula {
namespace {

constexpr int kTwoDigitYearPivot = 30;  // 00..29 -> 20xx, 30..99 -> 19xx

// Blanks around and between the parts of a typed date, time or number.
constexpr std::string_view kBlanks = " \t\n\r";
bool IsBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }
std::string_view Trim(std::string_view s) { return text::Trim(s, kBlanks); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with optional thousands commas (first group 1..3 digits, then groups of three).
// Advances pos; returns the digits without commas, or empty when malformed.
bool ReadGroupedDigits(std::string_view s, size_t& pos, std::string& digits) {
  const size_t start = pos;
  while (pos < s.size() && IsDigit(s[pos])) digits += s[pos++];
  if (pos < s.size() && s[pos] == ',') {
    if (pos - start == 0 || pos - start > 3) return false;
    while (pos < s.size() && s[pos] == ',') {
      ++pos;
      size_t n = 0;
      while (pos < s.size() && IsDigit(s[pos]) && n < 4) digits += s[pos++], ++n;
      if (n != 3) return false;
    }
  }
  return true;
}

// A plain number: [sign][$]digits[.digits][e[sign]digits][%], or $ before the sign.
std::optional<double> ParsePlainNumber(std::string_view s) {
  s = Trim(s);
  bool negative = false;
  if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    negative = true;
    s = Trim(s.substr(1, s.size() - 2));
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) return std::nullopt;
  }
  bool percent = false;
  if (!s.empty() && s.back() == '%') {
    percent = true;
    s = Trim(s.substr(0, s.size() - 1));
  }
  size_t pos = 0;
  // "$-5" and "-$5" both read as -5.
  const bool leadingDollar = pos < s.size() && s[pos] == '$';
  if (leadingDollar) ++pos;
  if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) {
    if (negative) return std::nullopt;  // a sign inside parentheses
    negative = s[pos++] == '-';
  }
  if (!leadingDollar && pos < s.size() && s[pos] == '$') ++pos;
  std::string text;
  if (!ReadGroupedDigits(s, pos, text)) return std::nullopt;
  bool anyDigit = !text.empty();
  if (pos < s.size() && s[pos] == '.') {
    text += s[pos++];
    while (pos < s.size() && IsDigit(s[pos])) text += s[pos++], anyDigit = true;
  }
  if (!anyDigit) return std::nullopt;
  if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
    text += s[pos++];
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) text += s[pos++];
    size_t n = 0;
    while (pos < s.size() && IsDigit(s[pos])) text += s[pos++], ++n;
    if (n == 0) return std::nullopt;
  }
  if (pos != s.size()) return std::nullopt;
  double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  if (percent) v /= 100;
  return negative ? -v : v;
}

// --- Dates and times -----------------------------------------------------------------------

struct Token {
  enum Kind { Num, Word, Sep } kind;
  std::string text;  // digits, word, or the separator character
  long value = 0;    // for Num
};

std::vector<Token> Tokenize(std::string_view s, bool& ok) {
  std::vector<Token> out;
  ok = true;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (IsDigit(c)) {
      size_t j = i;
      while (j < s.size() && IsDigit(s[j])) ++j;
      if (j - i > 9) return ok = false, out;
      Token t{Token::Num, std::string(s.substr(i, j - i))};
      t.value = std::strtol(t.text.c_str(), nullptr, 10);
      out.push_back(t);
      i = j;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
      out.push_back({Token::Word, text::utf8::Lower(s.substr(i, j - i))});
      i = j;
    } else if (IsBlank(c) || c == ',') {
      // Runs of blanks and commas act as one separator; a comma counts as a blank.
      size_t j = i;
      while (j < s.size() && (IsBlank(s[j]) || s[j] == ',')) ++j;
      out.push_back({Token::Sep, " "});
      i = j;
    } else if (c == '/' || c == '-' || c == ':' || c == '.') {
      out.push_back({Token::Sep, std::string(1, c)});
      ++i;
    } else {
      return ok = false, out;
    }
  }
  return out;
}

int MonthFromWord(const std::string& w) {
  static const char* const kNames[12] = {"january", "february", "march",     "april",
                                         "may",     "june",     "july",      "august",
                                         "september", "october", "november", "december"};
  if (w.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    const std::string_view name = kNames[m];
    if (w == name || w == name.substr(0, 3)) return m + 1;
  }
  return 0;
}

int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm.tm_year + 1900;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month != 2) return kDays[month - 1];
  // 1900 has its 29 February in the 1900 date system.
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 || year == 1900;
  return leap ? 29 : 28;
}

// A year as written: two digits map around the pivot; otherwise 1900..9999.
std::optional<int> YearOf(const Token& t) {
  if (t.text.size() <= 2) {
    return static_cast<int>(t.value < kTwoDigitYearPivot ? 2000 + t.value : 1900 + t.value);
  }
  if (t.text.size() == 4 && t.value >= 1900 && t.value <= text::kMaxSerialYear) {
    return static_cast<int>(t.value);
  }
  return std::nullopt;
}

std::optional<double> Serial(std::optional<int> year, long month, long day, bool date1904) {
  if (!year || month < 1 || month > 12 || day < 1 || day > DaysInMonth(*year, month)) {
    return std::nullopt;
  }
  auto s = text::DateToSerial(*year, static_cast<int>(month), static_cast<int>(day), date1904);
  if (!s) return std::nullopt;
  return static_cast<double>(*s);
}

class DateTimeParser {
 public:
  DateTimeParser(const std::vector<Token>& t, bool date1904) : t_(t), date1904_(date1904) {}

  std::optional<double> Parse() {
    // A time alone, a date alone, or a date, a blank and a time.
    if (auto time = ParseTime(0)) return time;
    for (size_t end = 1; end <= t_.size(); ++end) {
      auto date = ParseDate(0, end);
      if (!date) continue;
      if (end == t_.size()) return date;
      if (IsSep(end, ' ')) {
        if (auto time = ParseTime(end + 1)) return *date + *time;
      }
    }
    return std::nullopt;
  }

 private:
  bool IsNum(size_t i) const { return i < t_.size() && t_[i].kind == Token::Num; }
  bool IsSep(size_t i, char c) const {
    return i < t_.size() && t_[i].kind == Token::Sep && t_[i].text[0] == c;
  }
  bool IsDateSep(size_t i) const { return IsSep(i, '/') || IsSep(i, '-') || IsSep(i, ' '); }
  int Month(size_t i) const {
    return i < t_.size() && t_[i].kind == Token::Word ? MonthFromWord(t_[i].text) : 0;
  }

  // The tokens [from, end) as a date.
  std::optional<double> ParseDate(size_t from, size_t end) const {
    const size_t n = end - from;
    const auto& a = t_[from];
    if (n == 5 && IsNum(from) && IsNum(from + 2) && IsNum(from + 4)) {
      const char s1 = t_[from + 1].text[0], s2 = t_[from + 3].text[0];
      if (s1 != s2 || (s1 != '/' && s1 != '-')) return std::nullopt;
      if (a.text.size() == 4) {  // y-m-d or y/m/d
        return Serial(YearOf(a), t_[from + 2].value, t_[from + 4].value, date1904_);
      }
      return Serial(YearOf(t_[from + 4]), a.value, t_[from + 2].value, date1904_);
    }
    if (n == 3 && IsNum(from) && IsNum(from + 2) && (IsSep(from + 1, '/') || IsSep(from + 1, '-'))) {
      // m/d in the current year, else m/yyyy (the first of the month).
      if (auto s = Serial(CurrentYear(), a.value, t_[from + 2].value, date1904_)) return s;
      if (t_[from + 2].text.size() == 4) return Serial(YearOf(t_[from + 2]), a.value, 1, date1904_);
      return std::nullopt;
    }
    if (n == 5 && IsNum(from) && Month(from + 2) && IsNum(from + 4) && IsDateSep(from + 1) &&
        IsDateSep(from + 3)) {  // d-mmm-yyyy
      return Serial(YearOf(t_[from + 4]), Month(from + 2), a.value, date1904_);
    }
    if (n == 3 && IsNum(from) && Month(from + 2) && IsDateSep(from + 1)) {  // d-mmm
      return Serial(CurrentYear(), Month(from + 2), a.value, date1904_);
    }
    if (n == 5 && Month(from) && IsNum(from + 2) && IsNum(from + 4) && IsDateSep(from + 1) &&
        IsDateSep(from + 3)) {  // mmm d yyyy, "mmmm d, yyyy"
      return Serial(YearOf(t_[from + 4]), Month(from), t_[from + 2].value, date1904_);
    }
    if (n == 3 && Month(from) && IsNum(from + 2) && IsDateSep(from + 1)) {
      // mmm-d in the current year when d can be a day, else mmm-yy (the first of the month).
      const Token& b = t_[from + 2];
      if (b.text.size() <= 2 && b.value >= 1 && b.value <= DaysInMonth(CurrentYear(), Month(from))) {
        return Serial(CurrentYear(), Month(from), b.value, date1904_);
      }
      return Serial(YearOf(b), Month(from), 1, date1904_);
    }
    return std::nullopt;
  }

  // The tokens from `from` to the end as a time of day.
  std::optional<double> ParseTime(size_t from) const {
    size_t i = from;
    if (!IsNum(i)) return std::nullopt;
    long h = t_[i++].value, m = 0;
    double s = 0;
    bool colon = false;
    if (IsSep(i, ':') && IsNum(i + 1)) {
      colon = true;
      m = t_[i + 1].value;
      i += 2;
      if (IsSep(i, ':') && IsNum(i + 1)) {
        s = static_cast<double>(t_[i + 1].value);
        i += 2;
        if (IsSep(i, '.') && IsNum(i + 1)) {
          s += std::strtod(("0." + t_[i + 1].text).c_str(), nullptr);
          i += 2;
        }
      }
    }
    if (IsSep(i, ' ')) ++i;
    int half = 0;  // 1 am, 2 pm
    if (i < t_.size() && t_[i].kind == Token::Word) {
      const std::string& w = t_[i].text;
      if (w == "am" || w == "a") half = 1;
      else if (w == "pm" || w == "p") half = 2;
      else return std::nullopt;
      ++i;
    }
    if (i != t_.size() || (!colon && !half)) return std::nullopt;
    if (m > 59 || s >= 60) return std::nullopt;
    if (half) {
      if (h > 12) return std::nullopt;
      h = h % 12 + (half == 2 ? 12 : 0);
    } else if (h > 9999) {
      return std::nullopt;
    }
    return text::TimeToSerial(static_cast<double>(h), static_cast<double>(m), s);
  }

  const std::vector<Token>& t_;
  bool date1904_;
};

}  // namespace

std::optional<double> ReadDateTimeText(std::string_view text, bool date1904) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  bool ok;
  const std::vector<Token> tokens = Tokenize(text, ok);
  if (!ok || tokens.empty()) return std::nullopt;
  return DateTimeParser(tokens, date1904).Parse();
}

std::optional<double> ReadNumberText(std::string_view text, bool date1904) {
  if (auto n = ParsePlainNumber(text)) return n;
  return ReadDateTimeText(text, date1904);
}

}  // namespace ddt::grid::formula
