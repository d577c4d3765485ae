// The library's two exception boundaries. Nothing thrown inside the library leaves an exported
// C function or an exported class member: the exception becomes the call's failure result and
// its text the calling thread's last error (platform/last_error.h).
//
// C functions run their body through CFunctionCall:
//
//   extern "C" DDT_API int open_thing(...) {
//     return ddt::platform::CFunctionCall(-1, [&] { ... });
//   }
//
// Exported members wrap their body in a function try block whose first statement is a
// MemberScope (LookupScope for a member that only answers) and whose handler returns the
// member's failure result through Failed:
//
//   int CDT::DelRow(long row) try {
//     const ddt::platform::MemberScope scope;
//     ...
//   } catch (...) {
//     return ddt::platform::Failed(-1);
//   }
//
// Both clear the last error when the outermost exported call begins, so a call that succeeds
// leaves it empty unless it noted a partial success (NotePartial); a member called by another
// member keeps what its caller recorded so far. Members that only answer a question (a
// lookup, a getter, a row-range list) keep the last error as it is, so that a caller can
// still read why an earlier call failed after asking them.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/error_kind.h"
#include "platform/last_error.h"
#include "platform/resources.h"

namespace ddt::platform {

// Records the exception being handled as the last error. Call only inside a handler.
inline void RecordCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    SetLastError("out of memory");
  } catch (const KindedError& e) {
    try {
      SetLastError(e.what(), e.kind());
    } catch (...) {  // no memory for the text: the short one needs none
      SetLastError("out of memory");
    }
  } catch (const std::exception& e) {
    // A std::invalid_argument is a caller's value the library refused.
    const ErrorKind kind = dynamic_cast<const std::invalid_argument*>(&e) != nullptr
                               ? ErrorKind::BadArgument
                               : ErrorKind::Other;
    try {
      SetLastError(e.what(), kind);
    } catch (...) {  // no memory for the text: the short one needs none
      SetLastError("out of memory");
    }
  } catch (...) {
    SetLastError("unknown error");
  }
}

// The handler of a boundary: records the exception being handled and returns `failure`.
template <class Result>
Result Failed(Result failure) noexcept {
  RecordCurrentException();
  return failure;
}
inline void Failed() noexcept { RecordCurrentException(); }

// Returns body()'s result; an exception gives `failure`, its text the last error. The one
// place where the boundaries below catch.
template <class Result, class Body>
Result Contained(Result failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return Failed(std::move(failure));
  }
}

// The first statement of an exported member: clears the last error when it is the outermost
// exported call on this thread.
class MemberScope {
 public:
  MemberScope() = default;
  MemberScope(const MemberScope&) = delete;
  MemberScope& operator=(const MemberScope&) = delete;
  // False for a member called by another exported member or function.
  bool Outermost() const { return scope_.Outermost(); }

 private:
  ErrorScope scope_;
};

// The first statement of an exported member that only answers a question: the last error
// stays as it is, also through the members it calls.
class LookupScope {
 public:
  LookupScope() = default;
  LookupScope(const LookupScope&) = delete;
  LookupScope& operator=(const LookupScope&) = delete;

 private:
  ErrorScope scope_{false};
};

// Runs an exported C function's body with the library's module context current and returns
// its result; an exception gives `failure`. A result other than `failure` of the outermost
// call clears what failed on the way and was overcome, unless the body noted a partial
// success.
template <class Result, class Body>
Result CFunctionCall(Result failure, Body&& body) noexcept {
  ModuleContextGuard context;
  ErrorScope scope;
  Result result = Contained(failure, std::forward<Body>(body));
  if (scope.Outermost() && result != failure && !LastErrorIsPartial()) ClearLastError();
  return result;
}

// As CFunctionCall for C functions without a result.
template <class Body>
void CFunctionCallVoid(Body&& body) noexcept {
  ModuleContextGuard context;
  ErrorScope scope;
  Contained(0, [&] {
    std::forward<Body>(body)();
    return 0;
  });
}

}  // namespace ddt::platform
