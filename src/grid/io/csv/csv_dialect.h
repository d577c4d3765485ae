// The dialect of a delimited text file: which character separates its fields, and which
// fields a writer must quote so that reading the file gives back the same cells.
#pragma once

#include <string>
#include <string_view>

namespace ddt::grid::io {

// The field separator of delimited text: comma, semicolon or tab, whichever splits the first
// records (up to 50, or 64 KB) into the same number of fields, more than one, throughout;
// quoted fields are respected and blank lines do not count. When several do, tab goes
// before semicolon before comma (a comma is also a decimal separator in many locales, tab
// and semicolon rarely occur in data); when none does, the one that most records agree on,
// else comma.
char SniffSeparator(std::string_view text);

// A cell's text as a field of delimited text with separator `separator`: quoted (with its
// quotes doubled) when it holds a separator (any of comma, semicolon and tab, so that the
// sniffing of the separator is not misled), a quote or a line break, has surrounding
// blanks, or would be read back as something other than this text (a number such as "007",
// a date, TRUE, a formula); otherwise as it is.
std::string QuoteCsvField(std::string_view text, char separator = ',');

}  // namespace ddt::grid::io
