// UTF-8 text as the text functions see it: a character is one code point, so a multibyte
// character counts once in LEN, LEFT, MID, FIND and the rest. A byte that does not start a
// well-formed sequence counts as one character of its own and is kept as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ddt::grid::formula::utf8 {

// Bytes of the character starting at byte `pos` (1 for a malformed byte; 0 at the end).
size_t CharBytes(std::string_view s, size_t pos);
// Number of characters.
size_t Length(std::string_view s);
// Byte offset of character `index` (from 0); s.size() when the text is shorter.
size_t Offset(std::string_view s, size_t index);
// `count` characters from character `first` (from 0), clipped to the text.
std::string_view Slice(std::string_view s, size_t first, size_t count);

// Code points; a malformed byte b decodes as U+DC00 + b so that Encode gives it back.
std::u32string Decode(std::string_view s);
std::string Encode(std::u32string_view s);
void Append(std::string& out, char32_t c);

// Simple (one-to-one) Unicode case mapping.
char32_t ToUpper(char32_t c);
char32_t ToLower(char32_t c);
bool IsLetter(char32_t c);
std::string Upper(std::string_view s);
std::string Lower(std::string_view s);
// First letter of every run of letters upper case, the rest lower case (PROPER).
std::string Proper(std::string_view s);
// Case-insensitive comparison: <0, 0, >0.
int CompareNoCase(std::string_view a, std::string_view b);

// Windows-1252, the character set of CHAR and CODE: the code point of byte `b` (1..255),
// and the byte of a code point (0 when it has none).
char32_t FromAnsi(unsigned char b);
unsigned char ToAnsi(char32_t c);

}  // namespace ddt::grid::formula::utf8
