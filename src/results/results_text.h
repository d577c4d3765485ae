// Text rules of the results workbook: finding parameter references inside a text, the
// results workbook's own column-name suggestion, terminator rows of a given block, the
// truth value of an expected formula, and the save-after-every-row setting. Pure functions
// apart from the setting read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ddt::results {

// Finds the reference that follows `reference` in source. A reference is a "<" and
// everything up to the first ">" after it, brackets included; nothing escapes a "<". The
// search starts after the last occurrence of the given reference (at the start of the
// source when it is empty), so a reference that occurs twice is found once. True with the
// reference in `reference`; false with `reference` emptied when there is none.
bool NextReference(std::string_view source, std::string& reference);

// The reference that starts at the first "<" at or after `from`: its position and length,
// brackets included; npos when there is none (no "<", or no ">" after it).
std::pair<std::size_t, std::size_t> FindReference(std::string_view source, std::size_t from);

// Replaces the first occurrence of `what` in text by `with`. Returns where the replacement
// starts, or npos (text unchanged) when `what` does not occur.
std::size_t ReplaceFirst(std::string& text, std::string_view what, std::string_view with);

// The text without leading and trailing white space (space, tab, line breaks, form feed,
// vertical tab).
std::string Trim(std::string_view text);

// The results workbook's rule for a column name: surrounding white space removed, a leading
// "+", "-" or "=" and every "," replaced by "_". Changes name in place.
void CleanResultsName(std::string& name);
// Cleans name and makes it unique among header (exact comparison) by appending the first of
// 1 .. kMaxResultsNameSuffix that is free; name receives the result. Returns the name, or
// "" when it is empty once cleaned or every suffix is taken (name then ends in the last
// suffix tried). A null header counts as empty.
std::string SuggestResultsName(std::string& name, const std::vector<std::string>* header);

// True when a cell of column 1 closes block `block`: its first characters equal the
// terminator mark ignoring ASCII case, and what follows the one separator character after
// the mark is the decimal text of block exactly (".End 2" closes block 2, ".END_2" too,
// ".End 12" and ".End 2 " do not).
bool ClosesBlock(std::string_view cell, std::string_view mark, long block);

// The check an expected formula makes by itself: when its entry (raw) begins with "=" and its
// displayed value reads TRUE, FALSE or #N/A (any case), the formula's truth value decides
// (true only for TRUE). Nothing when the rule does not apply and the value is a pattern.
std::optional<bool> FormulaTruth(std::string_view raw, std::string_view displayed);

// The save-after-every-row setting ("SaveResultsSpreadSheetFile", section "TessaroSAP",
// "qxctl.ini"); off when the file or key is missing or the value is 0.
bool SaveResultsAfterEveryRow();

}  // namespace ddt::results
