#include "platform/last_error.h"

#include <utility>

namespace ddt::platform {
namespace {

struct ThreadError {
  std::string text;
  ErrorKind kind = ErrorKind::None;
  bool partial = false;
};

ThreadError& Current() {
  thread_local ThreadError error;
  return error;
}

// How many exported calls are running on this thread. Apart from the text: every exported
// call counts, and a plain thread_local int needs no first-use check.
thread_local int callDepth = 0;

}  // namespace

const std::string& LastError() { return Current().text; }

ErrorKind LastErrorKind() { return Current().text.empty() ? ErrorKind::None : Current().kind; }

void SetLastError(std::string text, ErrorKind kind) {
  Current().text = std::move(text);
  Current().kind = kind == ErrorKind::None ? ErrorKind::Other : kind;
  Current().partial = false;
}

void NotePartial(std::string text, ErrorKind kind) {
  Current().text = std::move(text);
  Current().kind = kind == ErrorKind::None ? ErrorKind::Other : kind;
  Current().partial = true;
}

void PrefixLastError(std::string_view prefix) {
  if (Current().text.empty()) Current().kind = ErrorKind::Other;
  Current().text.insert(0, prefix);
}

bool LastErrorIsPartial() { return Current().partial && !Current().text.empty(); }

void ClearLastError() {
  Current().text.clear();
  Current().kind = ErrorKind::None;
  Current().partial = false;
}

ErrorScope::ErrorScope(bool clearWhenOutermost) : outermost_(callDepth++ == 0) {
  if (outermost_ && clearWhenOutermost) ClearLastError();
}

ErrorScope::~ErrorScope() { --callDepth; }

std::string Quoted(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.push_back('"');
  text.append(name);
  text.push_back('"');
  return text;
}

}  // namespace ddt::platform
