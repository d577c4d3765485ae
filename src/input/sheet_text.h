// Text rules of the input workbook's sheet names, terminator marks and formulas. Pure
// functions on UTF-8 text (the process's multibyte code page): a multibyte character is
// never split, and letter case is ignored for ASCII letters only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/ascii.h"

namespace ddt::input {

// Letter case is compared with text::EqualsNoCase and text::StartsWithNoCase (ASCII only:
// ".end", ".END 7" and ".Ending" all begin with ".End").

// Position of the "." that separates a child table's business process from its table name:
// the first "." when it is not the first character; npos otherwise.
std::size_t ChildSeparator(std::string_view sheetName);
// The business process a sheet belongs to: the name up to its first "." (the whole name when
// it has none).
std::string ParentName(std::string_view sheetName);

// Makes a table name legal in place, byte by byte: a complete UTF-8 multibyte character
// stays whole, "_" and ASCII letters and digits stay, every other byte (space, ".", "-",
// other punctuation, control bytes, bytes of a broken UTF-8 sequence) becomes "_".
void MakeLegalTableName(std::string& name);

// Deletes every "[]" from text, repeating until none is left (so "[[]]" becomes empty).
// True when at least one pair was deleted.
bool RemoveBracketPairs(std::string& text);

// The sheet name a formula refers to: the text between its first and last "'"; without
// "'", the text between its first "=" and its last "!". Empty when those marks are missing or
// enclose nothing ("='A" has a single quote and gives "").
std::string ReferencedSheetName(std::string_view formula);

// Text with its last n characters replaced by replacement; unchanged when it has at most
// n characters.
std::string ReplaceLastCharacters(std::string_view text, std::size_t n,
                                  std::string_view replacement);

}  // namespace ddt::input
