// What every script function does at its boundary: make the library's module context
// current, keep C++ exceptions inside, turn C strings into the library's strings, and copy
// results into caller buffers without ever writing past the size given.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "platform/resources.h"

namespace ddt::manager {

// Returns body()'s result; any exception becomes `failure`.
template <class Result, class Body>
Result Contained(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Runs body() with the library's module context current and returns its result; any
// exception becomes `failure`. One call per exported function.
template <class Result, class Body>
Result ScriptCall(Result failure, Body&& body) noexcept {
  ddt::platform::ModuleContextGuard guard;
  return Contained(failure, static_cast<Body&&>(body));
}

// As ScriptCall for functions without a result.
template <class Body>
void ScriptCallVoid(Body&& body) noexcept {
  ddt::platform::ModuleContextGuard guard;
  try {
    body();
  } catch (...) {
  }
}

// A string argument; null counts as empty.
inline std::string Arg(const char* text) { return text == nullptr ? std::string() : text; }

// Copies at most size - 1 bytes of value into buffer and sets every byte from there up to
// size - 1 to 0 (the value is always terminated). False, with nothing written, for a null
// buffer or a size below 1. True when the whole value fitted.
inline bool CopyToBuffer(std::string_view value, char* buffer, long size) {
  if (buffer == nullptr || size < 1) return false;
  const std::size_t room = static_cast<std::size_t>(size) - 1;
  const std::size_t n = value.size() < room ? value.size() : room;
  std::memcpy(buffer, value.data(), n);
  std::memset(buffer + n, 0, static_cast<std::size_t>(size) - n);
  return value.size() <= room;
}

// The name a script uses for "no data table": a file name containing it opens nothing.
inline constexpr std::string_view kNoTableFileName = "null.xls";
inline bool IsNoTableFileName(const char* fileName) {
  return std::string_view(fileName).find(kNoTableFileName) != std::string_view::npos;
}

}  // namespace ddt::manager
