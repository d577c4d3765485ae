// Private-profile (ini) reads with the semantics the library's settings and custom-parameter
// files were written for.
//
// Where the file is: a name without a '/' is looked up in the configuration directory
// ($DDTABLE_CONFIG_DIR if set and not empty, else $XDG_CONFIG_HOME/ddtable when that is an
// absolute path, else $HOME/.config/ddtable); a name with a '/' is used as given (relative to
// the current directory when it is relative).
//
// File format, line by line (line ends "\n" or "\r\n"; a UTF-8 byte-order mark is skipped):
// - Leading and trailing spaces and tabs are trimmed from every line, section name, key and
//   value.
// - Empty lines and lines whose first character is ';' or '#' are comments. There are no
//   comments after a value: "a = 1 ; x" has the value "1 ; x".
// - "[name]" starts a section; text after the ']' is ignored; without a ']' the rest of the
//   line is the name. Lines before the first section belong to no section and are never read.
// - "key=value" splits at the first '='; a line without '=' is a key with an empty value.
// - A value enclosed in a matching pair of double or single quotes loses the pair
//   ("'a b'" reads as "a b"); nothing else is unescaped.
// Names compare case-insensitively (ASCII letters). The first occurrence wins: of a key within
// a section, and of a section: keys are looked up in the first section of a name only, and a
// repeated section name is listed once.
//
// A file that is missing, unreadable, not a regular file or larger than kMaxProfileBytes
// reads as empty: every read gives its default.
//
// Thread-safe. The last file parsed is cached and re-read when its size or modification time
// changes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::platform {

inline constexpr std::size_t kMaxProfileBytes = 16u * 1024 * 1024;

// The directory bare file names are looked up in (see above), without a trailing '/'.
std::string ProfileDirectory();
// The path a file argument stands for.
std::string ResolveProfilePath(std::string_view file);

// The integer value of key in section. A missing file, section or key, and an empty value,
// give def. Otherwise, as Windows does: leading blanks are skipped, an optional '+' or '-'
// sign and the decimal digits that follow make the number, the rest is ignored, and a value
// with no digits gives 0 ("12abc" -> 12, "-7" -> -7, "abc" -> 0). Values beyond the int range
// are clamped to it.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         std::string_view file);

// The text of key in section, or def when the file, section or key is missing; then cut to
// fit a buffer of size bytes with its terminator: at most size - 1 bytes, never splitting a
// UTF-8 character (a cut character is left out whole). size 0 gives "".
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::string_view file,
                                    std::size_t size);

// The section names in file order, each once, as they would come out through a buffer of
// size bytes holding every name followed by a zero byte and one more zero byte at the end:
// names are taken while name.size() + 1 bytes for each name taken plus the final zero fit in
// size bytes. The first name that does not fit and all after it are left out (never cut, so
// every listed name is a real section). *truncated, when given, says whether any was left
// out.
std::vector<std::string> GetPrivateProfileSectionNames(std::string_view file, std::size_t size,
                                                       bool* truncated = nullptr);

}  // namespace ddt::platform
