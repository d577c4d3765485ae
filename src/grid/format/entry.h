// What a typed entry becomes: the rules a user expects when typing into a cell.
#pragma once

#include <string>
#include <string_view>

#include "grid/value.h"

namespace ddt::grid::format {

struct ParsedEntry {
  enum class Kind { Empty, Constant, Formula };
  Kind kind = Kind::Empty;
  Value value;               // for Constant
  std::string formula;       // for Formula: the text after "="
  bool forcedText = false;   // a leading apostrophe made it text
  std::string numberFormat;  // a format the entry brings (a percentage: "0%", "0.00%"); else empty
};

// "=..." is a formula; a leading apostrophe forces text (without the apostrophe); plain
// decimal numbers (sign, decimals, exponent: "-1.5", ".5", "5.", "1e5") are numbers, while
// "1,234", "$5", " 5 " (spaces), "(5)", dates and times stay text; TRUE/FALSE in any case are
// booleans; error literals are errors; "12.5%" is 0.125 with a percent format; anything else
// is text ("0%" without decimals typed, "0.00%" with). An empty entry is Empty.
ParsedEntry ParseEntry(std::string_view typed);

// The entry read back for a constant: numbers as General would show them without losing
// digits, booleans TRUE/FALSE, errors as literals; text with a leading apostrophe when it
// would otherwise parse as something else (forcedText).
std::string EntryText(const Value& value, bool forcedText);
// The same for a cell with a number format: a number under a percent format reads back as
// a percentage ("12.5%"), the way it would be typed.
std::string EntryText(const Value& value, bool forcedText, std::string_view numberFormat);

}  // namespace ddt::grid::format
