// Calls into the engine that may fail. The grid raises an exception for a file it cannot
// read or write, a value it refuses, and any row, column or sheet outside its extents
// (having written nothing); the data table turns each into its member's failure result and
// keeps the grid's message as the thread's last error.
#pragma once

#include <utility>

#include "platform/boundary.h"

namespace ddt::table {

// Runs fn; false when it threw. The exception's text becomes the last error.
template <class Fn>
bool TryEngine(Fn&& fn) {
  return ddt::platform::Contained(false, [&] {
    std::forward<Fn>(fn)();
    return true;
  });
}

// Runs fn, which returns the member's result; an exception gives `failure` with its text
// as the last error. For members whose every step may meet a grid limit.
template <class Result, class Fn>
Result Guarded(Result failure, Fn&& fn) {
  Result result = failure;
  if (!TryEngine([&] { result = std::forward<Fn>(fn)(); })) return failure;
  return result;
}

}  // namespace ddt::table
