// Text rules for parameter names and values, shared by the data table and the exported
// GetColumnNameSuggestion.
#pragma once

#include <string>
#include <string_view>

#include "ddtable/export.h"

namespace ddt::table {

// Makes a name legal in place: trims white space (text::Trim); a leading "+", "-" or "=" becomes "_"; a
// leading digit gets "_" in front; each ",", "!", "$" and "\" becomes "_". A name of blanks
// only becomes empty.
void MakeLegalName(std::string& name);

// The text a parameter value is written as: the value trimmed of blanks, and a text that
// would lose its leading zero as a number ("007", "0.50": at least two characters, starting
// with "0", only digits and at most one ".") wrapped into a formula yielding that text.
std::string ValueEntry(std::string_view value);

}  // namespace ddt::table

// Makes the zero-terminated name in buffer legal (the rule of MakeLegalName) and copies the
// result back: at most size - 1 bytes, never splitting a multibyte character, then a
// terminating zero. A null buffer or a size below 1 does nothing. The buffer is read no
// further than size bytes. Also declared in include/ddtable/ddtable.h.
extern "C" DDT_API void GetColumnNameSuggestion(char* buffer, int size);
