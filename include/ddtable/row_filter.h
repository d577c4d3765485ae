// Choosing rows of a sheet by what they hold and by their numbers, with one set of rules for
// every front end (the command's --where and --rows, Python's where() and rows=).
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "ddtable/export.h"

namespace ddt {

// The last row a sheet can have.
inline constexpr long kLastSheetRow = 1048576;

// NAME=PATTERN or NAME!=PATTERN on a parameter's value. The pattern follows the library's
// matching rules (* ? [...], a backslash makes the next character literal; characters, not
// bytes, are counted). The cell's text, blanks at either end aside, matches; a text holding
// a list ("smoke, nightly", "a;b") also matches when one of its words does.
struct DDT_API RowCondition {
  std::string param;
  bool negated = false;
  std::string pattern;

  // Throws std::invalid_argument saying what is wrong with text (without repeating it).
  static RowCondition Parse(std::string_view text);
  bool Matches(std::string_view cellText) const;
};

// Row numbers of a text such as "3,5-9" (from 1; blanks around the parts allowed), each once.
// Numbers past lastRow are left out: such rows cannot exist. Throws std::invalid_argument for
// anything else (an empty part, a sign, a range running backwards, a number of over 9 digits).
DDT_API std::set<long> ParseRowList(std::string_view text, long lastRow = kLastSheetRow);

}  // namespace ddt
