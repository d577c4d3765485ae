// UTF-8 text, the library's one encoding of text in memory and in files. A character is one
// code point, so a multibyte character counts once (in the formula functions LEN, LEFT, MID,
// FIND and the rest, too). A byte that does not start a well-formed sequence counts as one
// character of its own and is kept as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ddt::text::utf8 {

// Length of the well-formed sequence at byte pos (1 for ASCII, 2 to 4 for a multibyte
// character; 0 for a byte that does not start one: stray continuation, overlong form,
// surrogate, past U+10FFFF, or cut short by the end), with its code point in cp.
size_t DecodeWellFormed(std::string_view s, size_t pos, char32_t& cp);
// Appends code point cp as UTF-8 (1 to 4 bytes), as it is.
void AppendCodePoint(std::string& out, char32_t cp);
// Where text may be cut so that at most limit bytes stay and no character is split: limit
// stepped back over at most three continuation bytes (text that is not UTF-8 is cut at
// limit); text.size() when it is not longer than limit.
size_t CutPoint(std::string_view s, size_t limit);
// Bytes that do not continue a character: the characters of well-formed text.
size_t CountCharacters(std::string_view s);


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
// As AppendCodePoint, but a code point Decode made of a malformed byte gives the byte back.
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

}  // namespace ddt::text::utf8
