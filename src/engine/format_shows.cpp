#include "engine/format_shows.h"

#include "grid/format/compiled_format.h"
#include "grid/format/number_format.h"

namespace ddt::engine {

FormatShows ClassifyNumberFormat(const std::string& code) {
  namespace fmt = ddt::grid::format;
  if (!fmt::IsDateFormat(code)) return FormatShows::Number;
  bool day = false, clock = false, elapsed = false;
  const auto compiled = fmt::GetCompiledFormat(code);
  for (const fmt::Section& section : compiled->sections) {
    if (section.kind != fmt::SectionKind::Date) continue;
    for (const fmt::Token& token : section.tokens) {
      switch (token.kind) {
        case fmt::TokenKind::Year:
        case fmt::TokenKind::Month:
        case fmt::TokenKind::Day: day = true; break;
        case fmt::TokenKind::Hour:
        case fmt::TokenKind::Minute:
        case fmt::TokenKind::Second:
        case fmt::TokenKind::SubSecond:
        case fmt::TokenKind::AmPm: clock = true; break;
        case fmt::TokenKind::Elapsed: elapsed = true; break;
        default: break;
      }
    }
    break;  // the first date section describes the value
  }
  if (elapsed && !day) return FormatShows::Duration;
  if (day) return clock ? FormatShows::DateTime : FormatShows::Date;
  return clock ? FormatShows::Time : FormatShows::Number;
}

}  // namespace ddt::engine
