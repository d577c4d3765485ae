#include "grid/formula/criteria.h"

#include "grid/formula/functions/text/text_number.h"
#include "text/utf8.h"

namespace ddt::grid::formula {

Wildcard::Wildcard(std::string_view pattern) {
  const std::u32string p = text::utf8::Decode(pattern);
  for (size_t i = 0; i < p.size(); ++i) {
    char32_t c = p[i];
    if (c == U'~' && i + 1 < p.size() && (p[i + 1] == U'*' || p[i + 1] == U'?' || p[i + 1] == U'~')) {
      c = p[++i];
      tokens_.push_back({Kind::Char, text::utf8::ToLower(c)});
      text::utf8::Append(literal_, c);
    } else if (c == U'*') {
      // Consecutive stars match what one star matches.
      if (tokens_.empty() || tokens_.back().kind != Kind::Any) tokens_.push_back({Kind::Any, 0});
      hasWildcards_ = true;
      literal_ += '*';
    } else if (c == U'?') {
      tokens_.push_back({Kind::One, 0});
      hasWildcards_ = true;
      literal_ += '?';
    } else {
      tokens_.push_back({Kind::Char, text::utf8::ToLower(c)});
      text::utf8::Append(literal_, c);
    }
  }
}

// Greedy matching with one backtrack point (the last star): linear in text and pattern for
// each star, never exponential. With prefixOnly the match may end before the text does.
bool Wildcard::MatchTokens(const std::vector<Token>& tokens, const std::u32string& text,
                           size_t from, bool prefixOnly) {
  size_t t = from, p = 0;
  size_t starP = npos, starT = 0;
  while (true) {
    if (p == tokens.size() && (prefixOnly || t == text.size())) return true;
    if (t < text.size() && p < tokens.size()) {
      const Token& tok = tokens[p];
      if (tok.kind == Kind::Any) {
        starP = p++;
        starT = t;
        continue;
      }
      if (tok.kind == Kind::One || tok.c == text::utf8::ToLower(text[t])) {
        ++p;
        ++t;
        continue;
      }
    } else if (t == text.size()) {
      // Text exhausted: only trailing stars can still match.
      while (p < tokens.size() && tokens[p].kind == Kind::Any) ++p;
      return p == tokens.size();
    }
    if (starP == npos) return false;
    p = starP + 1;
    t = ++starT;
    if (t > text.size()) return false;
  }
}

bool Wildcard::Matches(std::string_view text) const {
  return MatchTokens(tokens_, text::utf8::Decode(text), 0, false);
}

size_t Wildcard::Search(std::string_view text, size_t start) const {
  const std::u32string t = text::utf8::Decode(text);
  // Split at the first star: the part before it is matched at each start position; the rest
  // (star first) matches from a position only if it matches from every earlier one, so it
  // is tried once, at the first place where the head fits. Linear in the text for the head.
  size_t head = 0;
  while (head < tokens_.size() && tokens_[head].kind != Kind::Any) ++head;
  const std::vector<Token> headTokens(tokens_.begin(), tokens_.begin() + head);
  const std::vector<Token> tail(tokens_.begin() + head, tokens_.end());
  for (size_t i = start; i + head <= t.size(); ++i) {
    if (!MatchTokens(headTokens, t, i, true)) continue;
    if (tail.empty()) return i;
    return MatchTokens(tail, t, i + head, true) ? i : npos;
  }
  return npos;
}

Criterion::Criterion(const Value& criterion) {
  if (const auto* d = std::get_if<double>(&criterion)) {
    number_ = *d;
    return;
  }
  if (const auto* b = std::get_if<bool>(&criterion)) {
    kind_ = Kind::Boolean;
    boolean_ = *b;
    return;
  }
  if (const auto* e = std::get_if<ErrorCode>(&criterion)) {
    kind_ = Kind::Error;
    error_ = *e;
    return;
  }
  if (IsEmpty(criterion)) return;  // a blank criterion cell means 0

  std::string_view s = std::get<SharedText>(criterion);
  bool explicitOp = true;
  if (s.starts_with("<=")) op_ = Op::Le, s.remove_prefix(2);
  else if (s.starts_with(">=")) op_ = Op::Ge, s.remove_prefix(2);
  else if (s.starts_with("<>")) op_ = Op::Ne, s.remove_prefix(2);
  else if (s.starts_with("<")) op_ = Op::Lt, s.remove_prefix(1);
  else if (s.starts_with(">")) op_ = Op::Gt, s.remove_prefix(1);
  else if (s.starts_with("=")) op_ = Op::Eq, s.remove_prefix(1);
  else explicitOp = false;

  if (s.empty()) {
    kind_ = Kind::Blank;
    blankOrEmptyText_ = !explicitOp;
    return;
  }
  if (auto n = ReadNumberText(s)) {
    number_ = *n;
    return;
  }
  if (text::utf8::CompareNoCase(s, "TRUE") == 0 || text::utf8::CompareNoCase(s, "FALSE") == 0) {
    kind_ = Kind::Boolean;
    boolean_ = text::utf8::CompareNoCase(s, "TRUE") == 0;
    return;
  }
  if (auto e = ParseErrorText(s)) {
    kind_ = Kind::Error;
    error_ = *e;
    return;
  }
  kind_ = Kind::Text;
  text_ = std::string(s);
  pattern_ = Wildcard(s);
}

bool Criterion::Equal(const Value& cell) const {
  switch (kind_) {
    case Kind::Number:
      if (const auto* d = std::get_if<double>(&cell)) return *d == number_;
      // Text that reads as a number equals it, as in the spreadsheet this imitates.
      if (const auto* t = std::get_if<SharedText>(&cell)) {
        auto n = ReadNumberText(*t);
        return n && *n == number_;
      }
      return false;
    case Kind::Boolean: {
      const auto* b = std::get_if<bool>(&cell);
      return b && *b == boolean_;
    }
    case Kind::Error: {
      const auto* e = std::get_if<ErrorCode>(&cell);
      return e && *e == error_;
    }
    case Kind::Text: {
      const auto* t = std::get_if<SharedText>(&cell);
      if (!t) return false;
      return pattern_.HasWildcards() ? pattern_.Matches(*t)
                                     : text::utf8::CompareNoCase(*t, pattern_.Literal()) == 0;
    }
    case Kind::Blank:
      if (IsEmpty(cell)) return true;
      if (blankOrEmptyText_) {
        const auto* t = std::get_if<SharedText>(&cell);
        return t && t->empty();
      }
      return false;
  }
  return false;
}

bool Criterion::Ordered(const Value& cell) const {
  int cmp;
  if (kind_ == Kind::Number) {
    const auto* d = std::get_if<double>(&cell);
    if (!d) return false;
    cmp = *d < number_ ? -1 : (*d > number_ ? 1 : 0);
  } else if (kind_ == Kind::Text || kind_ == Kind::Blank) {
    const auto* t = std::get_if<SharedText>(&cell);
    if (!t) return false;
    cmp = text::utf8::CompareNoCase(*t, text_);
  } else if (kind_ == Kind::Boolean) {
    const auto* b = std::get_if<bool>(&cell);
    if (!b) return false;
    cmp = int(*b) - int(boolean_);
  } else {
    return false;
  }
  switch (op_) {
    case Op::Lt: return cmp < 0;
    case Op::Le: return cmp <= 0;
    case Op::Gt: return cmp > 0;
    case Op::Ge: return cmp >= 0;
    default: return false;
  }
}

bool Criterion::Matches(const Value& cell) const {
  if (op_ == Op::Eq) return Equal(cell);
  if (op_ == Op::Ne) return !Equal(cell);
  return Ordered(cell);
}

}  // namespace ddt::grid::formula
