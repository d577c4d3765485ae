// Criteria of the conditional functions (SUMIF, COUNTIF, AVERAGEIF, their *S forms) and the
// wildcard patterns that they, MATCH, the lookups and SEARCH share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "grid/value.h"

namespace ddt::grid::formula {

// A pattern where * matches any run of characters, ? exactly one character, and ~ makes the
// next *, ? or ~ literal (a ~ before anything else is itself literal). Matching ignores case
// and counts a multibyte character as one character.
class Wildcard {
 public:
  explicit Wildcard(std::string_view pattern);
  // Whether the pattern has an unescaped * or ?.
  bool HasWildcards() const { return hasWildcards_; }
  // The pattern without its escapes, for comparing as plain text.
  const std::string& Literal() const { return literal_; }
  // Whether the whole text matches.
  bool Matches(std::string_view text) const;
  // Character index (from 0) of the first match starting at or after character `start`,
  // or npos. Where a match begins, it may end anywhere (SEARCH).
  size_t Search(std::string_view text, size_t start) const;

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  enum class Kind { Char, One, Any };
  struct Token {
    Kind kind;
    char32_t c;  // lower-cased, for Char
  };
  static bool MatchTokens(const std::vector<Token>& tokens, const std::u32string& text,
                          size_t from, bool prefixOnly);

  std::vector<Token> tokens_;
  std::string literal_;
  bool hasWildcards_ = false;
};

// One criterion as the *IF functions read it. From a number, boolean or error: cells equal to
// it. From text: an optional operator (=, <>, <, <=, >, >=) and an operand, which is read as
// a number (also dates, times, percentages), TRUE/FALSE or an error literal when it looks
// like one, and as text otherwise. Text equality ignores case and honours wildcards. An empty
// text matches blank cells and empty texts; "=" alone matches blank cells only; "<>" alone
// matches every cell that is not blank. An empty criterion (a blank cell) means 0.
class Criterion {
 public:
  explicit Criterion(const Value& criterion);
  bool Matches(const Value& cell) const;

 private:
  enum class Op { Eq, Ne, Lt, Le, Gt, Ge };
  enum class Kind { Number, Text, Boolean, Error, Blank };
  bool Equal(const Value& cell) const;
  bool Ordered(const Value& cell) const;

  Op op_ = Op::Eq;
  Kind kind_ = Kind::Number;
  double number_ = 0;
  bool boolean_ = false;
  ErrorCode error_ = ErrorCode::NA;
  std::string text_;
  Wildcard pattern_{""};
  bool blankOrEmptyText_ = false;  // the criterion "" (no operator)
};

}  // namespace ddt::grid::formula
