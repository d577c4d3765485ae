#include "platform/last_error.h"

#include <utility>

#include "ddtable/ddtable.h"

namespace ddt::platform {
namespace {

struct ThreadError {
  std::string text;
  bool partial = false;
  int depth = 0;
};

ThreadError& Current() {
  thread_local ThreadError error;
  return error;
}

}  // namespace

const std::string& LastError() { return Current().text; }

void SetLastError(std::string text) {
  Current().text = std::move(text);
  Current().partial = false;
}

void NotePartial(std::string text) {
  Current().text = std::move(text);
  Current().partial = true;
}

bool LastErrorIsPartial() { return Current().partial && !Current().text.empty(); }

void ClearLastError() {
  Current().text.clear();
  Current().partial = false;
}

ErrorScope::ErrorScope(bool clearWhenOutermost) : outermost_(Current().depth++ == 0) {
  if (outermost_ && clearWhenOutermost) ClearLastError();
}

ErrorScope::~ErrorScope() { --Current().depth; }

std::string Quoted(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.push_back('"');
  text.append(name);
  text.push_back('"');
  return text;
}

}  // namespace ddt::platform

extern "C" DDT_API const char* ddt_last_error(void) {
  return ddt::platform::LastError().c_str();
}

namespace ddt {

DDT_API std::string LastError() { return platform::LastError(); }

}  // namespace ddt
