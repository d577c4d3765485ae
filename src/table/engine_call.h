// Calls into the engine that may fail. The grid raises an exception for a file it cannot
// read or write, a value it refuses, and any row, column or sheet outside its extents
// (having written nothing); the data table turns each into its member's failure result.
#pragma once

#include <utility>

namespace ddt::table {

// Runs fn; false when it threw.
template <class Fn>
bool TryEngine(Fn&& fn) {
  try {
    std::forward<Fn>(fn)();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ddt::table
