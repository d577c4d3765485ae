// The last error of the calling thread: why the most recent failing call failed, or what
// a call that succeeded only in part left undone. Exported calls start with an ErrorScope,
// so each outermost call begins with an empty text; the failure points record their
// reason with SetLastError (failures) or NotePartial (a result returned all the same).
#pragma once

#include <string>
#include <string_view>

#include "platform/error_kind.h"

namespace ddt::platform {

// The text, empty when the last call on this thread succeeded.
const std::string& LastError();
// The kind of the last error; None exactly when the text is empty.
ErrorKind LastErrorKind();
// Replaces the text and kind with the reason of a failure.
void SetLastError(std::string text, ErrorKind kind = ErrorKind::Other);
// Replaces the text with what a call that still returns its result did not do (a workbook
// whose file could not be read, an unknown name, a cut value). Kept when the call ends.
void NotePartial(std::string text, ErrorKind kind = ErrorKind::Other);
// Puts prefix before the text, keeping kind and partial mark ("Cannot open X: " before the
// reader's reason).
void PrefixLastError(std::string_view prefix);
// True when the text was set by NotePartial during the current outermost call.
bool LastErrorIsPartial();
void ClearLastError();

// Marks an exported call. The outermost scope on a thread clears the text on entry, so
// that the text always belongs to the call that just returned; nested scopes (a member
// calling other members) keep what inner calls recorded. A scope made with
// clearWhenOutermost false keeps the text even when it is the outermost one.
class ErrorScope {
 public:
  ErrorScope() : ErrorScope(true) {}
  explicit ErrorScope(bool clearWhenOutermost);
  ~ErrorScope();
  ErrorScope(const ErrorScope&) = delete;
  ErrorScope& operator=(const ErrorScope&) = delete;
  bool Outermost() const { return outermost_; }

 private:
  bool outermost_;
};

// Quotes a file, sheet or parameter name for a message.
std::string Quoted(std::string_view name);

}  // namespace ddt::platform
