// Matching a captured value against an expected pattern: POSIX fnmatch with no flags over
// UTF-8 text, where a multibyte character counts as one character ("?" matches "é", "??"
// does not). "*" matches any run of characters, "?" one character, "[...]" one character
// of a set ("!" or "^" first complements it, "a-z" is a range by code point), a backslash
// makes the next character literal; everything else compares case-sensitively. Without
// wildcards this is plain string equality.
#pragma once

#include <string_view>

namespace ddt::results {

// True when value matches pattern. Thread-safe; the process locale is never changed.
//
// How: the C library's fnmatch under a UTF-8 locale counts a multibyte character as one,
// but the glibc in use also accepts a match of the bytes ("??" matches the two bytes of
// "é"). So each distinct non-ASCII character of the two texts is first given one byte of
// its own, in code-point order (order kept, so ranges mean the same), and fnmatch compares
// the bytes under the C locale. Texts that are not valid UTF-8, that hold more than 128
// distinct non-ASCII characters, or whose pattern names a character class ("[:alpha:]")
// go to fnmatch under a UTF-8 locale made current for this thread for the call only.
bool MatchesPattern(std::string_view value, std::string_view pattern);

}  // namespace ddt::results
