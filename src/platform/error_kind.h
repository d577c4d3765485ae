// What kind of failure an error is, beside its text: front ends choose an exit code or an
// exception class from the kind instead of looking at the file again. The values match
// ddt_error_kind in ddtable/ddtable.h one for one.
#pragma once

#include <stdexcept>
#include <string>

namespace ddt::platform {

enum class ErrorKind : int {
  None = 0,           // no error
  Other = 1,          // none of the kinds below
  Missing = 2,        // the file does not exist
  NotAWorkbook = 3,   // the file is no workbook (text named .xlsx, a folder, an image ...)
  Damaged = 4,        // a workbook file that is damaged or truncated
  Encrypted = 5,      // a password-protected workbook
  ChangedOnDisk = 6,  // the file changed since it was read or last written
  Locked = 7,         // another program holds the file open (its lock file is beside it)
  NotWritable = 8,    // the file or its folder cannot be written
  OverLimit = 9,      // a size, count, row or column beyond what the library keeps
  BadArgument = 10,   // a value the call does not accept (an unknown name, a bad index)
};

// An exception that knows its kind. The grid's GridError is one; the library's exception
// boundaries record the kind with the text (platform/boundary.h).
class KindedError : public std::runtime_error {
 public:
  explicit KindedError(const std::string& what, ErrorKind kind = ErrorKind::Other)
      : std::runtime_error(what), kind_(kind) {}
  explicit KindedError(const char* what, ErrorKind kind = ErrorKind::Other)
      : std::runtime_error(what), kind_(kind) {}
  ErrorKind kind() const noexcept { return kind_; }

 private:
  ErrorKind kind_;
};

// The kind of a failed open(2), fopen or stat from its errno value.
ErrorKind KindOfOpenErrno(int error) noexcept;
// The kind of a failed write, create or rename from its errno value.
ErrorKind KindOfWriteErrno(int error) noexcept;

}  // namespace ddt::platform
