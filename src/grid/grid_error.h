// The one exception type of the grid: every grid failure throws it with its message text
// and the kind of failure (a missing, damaged or encrypted file, a value over a limit ...),
// which the library's boundaries keep with the text as the thread's last error.
#pragma once

#include <string>

#include "platform/error_kind.h"

namespace ddt::grid {

using platform::ErrorKind;

class GridError : public platform::KindedError {
 public:
  explicit GridError(const std::string& what, ErrorKind kind = ErrorKind::Other)
      : KindedError(what, kind) {}
  explicit GridError(const char* what, ErrorKind kind = ErrorKind::Other)
      : KindedError(what, kind) {}
};

inline constexpr const char* kInvalidFormulaSyntax = "Invalid formula syntax.";

}  // namespace ddt::grid
