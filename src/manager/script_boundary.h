// What every script function does at its boundary: make the library's module context
// current, keep C++ exceptions inside, turn C strings into the library's strings, and copy
// results into caller buffers without ever writing past the size given.
#pragma once

#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/boundary.h"
#include "platform/last_error.h"
#include "platform/resources.h"
#include "text/utf8.h"

namespace ddt::manager {

using ddt::platform::Contained;

// The C-function boundary (platform/boundary.h) under the names the script functions use:
// one call per exported function.
template <class Result, class Body>
Result ScriptCall(Result failure, Body&& body) noexcept {
  return ddt::platform::CFunctionCall(std::move(failure), std::forward<Body>(body));
}
template <class Body>
void ScriptCallVoid(Body&& body) noexcept {
  ddt::platform::CFunctionCallVoid(std::forward<Body>(body));
}

// Records text (of the given kind) as the last error and returns code:
// `return Fail(-1, "...")`.
template <class Result>
Result Fail(Result code, std::string text,
            ddt::platform::ErrorKind kind = ddt::platform::ErrorKind::Other) {
  ddt::platform::SetLastError(std::move(text), kind);
  return code;
}

// The failure of a call given a null handle, buffer or size where it needs one.
template <class Result>
Result NullArgument(Result code, const char* function, const char* what) {
  return Fail(code, std::string(function) + ": " + what + " is null",
              ddt::platform::ErrorKind::BadArgument);
}

// A string argument; null counts as empty.
inline std::string Arg(const char* text) { return text == nullptr ? std::string() : text; }

// Copies at most size - 1 bytes of value into buffer, cut on a character boundary, and sets
// every byte from there up to size - 1 to 0 (the value is always terminated). False, with
// nothing written, for a null buffer or a size below 1. True when the whole value fitted.
inline bool CopyToBuffer(std::string_view value, char* buffer, long size) {
  if (buffer == nullptr || size < 1) return false;
  const std::size_t room = static_cast<std::size_t>(size) - 1;
  const std::size_t n = text::utf8::CutPoint(value, room);
  std::memcpy(buffer, value.data(), n);
  std::memset(buffer + n, 0, static_cast<std::size_t>(size) - n);
  return value.size() <= room;
}

// Opens fileName into table. A file that cannot be read is not a failure of the calling
// function (it returns the workbook, empty): its reason is noted as a partial success.
template <class Table>
void OpenNoted(Table& table, const char* fileName) {
  if (Contained(-1, [&] { return table.Open(fileName); }) == 0) return;
  const std::string reason = ddt::platform::LastError();
  ddt::platform::NotePartial(
      reason.empty() ? "Cannot open \"" + std::string(fileName) + "\"" : reason,
      ddt::platform::LastErrorKind());
}

// The name a script uses for "no data table": a file name containing it opens nothing.
inline constexpr std::string_view kNoTableFileName = "null.xls";
inline bool IsNoTableFileName(const char* fileName) {
  return std::string_view(fileName).find(kNoTableFileName) != std::string_view::npos;
}

}  // namespace ddt::manager
