// The encoding of a text file read as a table: UTF-8 with or without its byte-order mark,
// UTF-16 (little or big endian) with its byte-order mark, and otherwise Windows-1252, the
// code page spreadsheet programs on Windows write text files in.
#pragma once

#include <string>
#include <string_view>

namespace ddt::grid::io {

enum class TextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Windows1252 };

struct DecodedText {
  std::string utf8;  // the text without its byte-order mark
  TextEncoding encoding = TextEncoding::Utf8;
};

// Decides the encoding of `bytes` and converts them to UTF-8 (UTF-8 is taken over without
// a copy). Bytes without a byte-order
// mark are UTF-8 when they are well-formed UTF-8 throughout, Windows-1252 otherwise. In
// UTF-16 a lone surrogate or a last odd byte becomes U+FFFD.
DecodedText DecodeText(std::string bytes);

// The encoding's name for a message ("UTF-16LE", "Windows-1252", ...).
const char* EncodingName(TextEncoding encoding);

}  // namespace ddt::grid::io
