// The one exception type of the grid: every grid failure throws it with its message text.
#pragma once

#include <stdexcept>
#include <string>

namespace ddt::grid {

class GridError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kInvalidFormulaSyntax = "Invalid formula syntax.";

}  // namespace ddt::grid
