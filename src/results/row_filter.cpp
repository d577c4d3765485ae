#include "ddtable/row_filter.h"

#include <algorithm>
#include <stdexcept>

#include "results/pattern_match.h"
#include "text/ascii.h"

namespace ddt {

using ddt::results::MatchesPattern;
using ddt::text::Trim;

RowCondition RowCondition::Parse(std::string_view text) {
  const std::size_t at = text.find('=');
  if (at == std::string_view::npos || at == 0 || (at == 1 && text[0] == '!'))
    throw std::invalid_argument("expected NAME=PATTERN or NAME!=PATTERN");
  RowCondition c;
  c.negated = text[at - 1] == '!';
  c.param = std::string(Trim(text.substr(0, c.negated ? at - 1 : at)));
  c.pattern = std::string(text.substr(at + 1));
  if (c.param.empty()) throw std::invalid_argument("no parameter name before the '='");
  return c;
}

bool RowCondition::Matches(std::string_view cellText) const {
  bool any = MatchesPattern(Trim(cellText), pattern);
  if (!any && cellText.find_first_of(",;") != std::string_view::npos) {
    std::size_t from = 0;
    while (!any && from <= cellText.size()) {
      std::size_t sep = cellText.find_first_of(",;", from);
      if (sep == std::string_view::npos) sep = cellText.size();
      any = MatchesPattern(Trim(cellText.substr(from, sep - from)), pattern);
      from = sep + 1;
    }
  }
  return negated ? !any : any;
}

namespace {

constexpr std::string_view kRowListForm = "expected row numbers such as 3,5-9 (from 1)";

long RowNumber(std::string_view text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos)
    throw std::invalid_argument(std::string(kRowListForm));
  long n = 0;
  for (char c : text) n = n * 10 + (c - '0');
  return n;
}

}  // namespace

std::set<long> ParseRowList(std::string_view text, long lastRow) {
  std::set<long> rows;
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t comma = text.find(',', from);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view part = Trim(text.substr(from, comma - from));
    const std::size_t dash = part.find('-', 1);
    const long first = RowNumber(dash == std::string_view::npos ? part : Trim(part.substr(0, dash)));
    const long last = dash == std::string_view::npos ? first : RowNumber(Trim(part.substr(dash + 1)));
    if (first < 1 || last < first) throw std::invalid_argument(std::string(kRowListForm));
    for (long n = first; n <= std::min(last, lastRow); ++n) rows.insert(n);
    from = comma + 1;
  }
  return rows;
}

}  // namespace ddt
