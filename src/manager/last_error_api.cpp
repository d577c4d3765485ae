// The last-error text and kind as the script functions and C++ callers read them.
#include "ddtable/ddtable.h"
#include "platform/last_error.h"

namespace {

using ddt::platform::ErrorKind;

// The public kinds are the internal ones under their C names, value for value.
static_assert(static_cast<int>(ErrorKind::None) == DDT_ERROR_NONE);
static_assert(static_cast<int>(ErrorKind::Other) == DDT_ERROR_OTHER);
static_assert(static_cast<int>(ErrorKind::Missing) == DDT_ERROR_MISSING);
static_assert(static_cast<int>(ErrorKind::NotAWorkbook) == DDT_ERROR_NOT_A_WORKBOOK);
static_assert(static_cast<int>(ErrorKind::Damaged) == DDT_ERROR_DAMAGED);
static_assert(static_cast<int>(ErrorKind::Encrypted) == DDT_ERROR_ENCRYPTED);
static_assert(static_cast<int>(ErrorKind::ChangedOnDisk) == DDT_ERROR_CHANGED_ON_DISK);
static_assert(static_cast<int>(ErrorKind::Locked) == DDT_ERROR_LOCKED);
static_assert(static_cast<int>(ErrorKind::NotWritable) == DDT_ERROR_NOT_WRITABLE);
static_assert(static_cast<int>(ErrorKind::OverLimit) == DDT_ERROR_OVER_LIMIT);
static_assert(static_cast<int>(ErrorKind::BadArgument) == DDT_ERROR_BAD_ARGUMENT);

}  // namespace

extern "C" DDT_API const char* ddt_last_error(void) {
  return ddt::platform::LastError().c_str();
}

extern "C" DDT_API ddt_error_kind ddt_last_error_kind(void) {
  return static_cast<ddt_error_kind>(ddt::platform::LastErrorKind());
}

namespace ddt {

DDT_API std::string LastError() { return platform::LastError(); }

DDT_API ddt_error_kind LastErrorKind() { return ddt_last_error_kind(); }

}  // namespace ddt
