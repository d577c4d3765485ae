#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "ddtable/platform.h"
#include "platform/boundary.h"

namespace ddt::platform {
namespace {

std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

}  // namespace

int DefaultMessageHandler(std::string_view text, std::string_view caption, unsigned) {
  std::string line(caption.empty() ? kDefaultCaption : caption);
  line.append(": ");
  // One box, one line: line breaks inside the text become single spaces.
  bool space = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      space = true;
      continue;
    }
    if (space && !line.empty() && line.back() != ' ') line.push_back(' ');
    space = false;
    line.push_back(c);
  }
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return IDOK;
}

int MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
  MessageHandler handler;
  {
    std::lock_guard lock(HandlerMutex());
    handler = Handler();
  }
  if (!handler) return DefaultMessageHandler(text, caption, flags);
  const int answer = handler(text, caption, flags);
  // A handler that answers no button leaves the box to the default: it is not lost.
  return answer == 0 ? DefaultMessageHandler(text, caption, flags) : answer;
}

MessageHandler SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(HandlerMutex());
  return std::exchange(Handler(), std::move(handler));
}

MessageCapture::MessageCapture(int answer) : answer_(answer) {
  previous_ = SetMessageHandler([this](std::string_view text, std::string_view caption,
                                       unsigned flags) {
    messages_.push_back({std::string(text), std::string(caption), flags});
    return answer_;
  });
}

MessageCapture::~MessageCapture() { SetMessageHandler(std::move(previous_)); }

}  // namespace ddt::platform

extern "C" DDT_API void ddt_set_message_handler(ddt_message_handler handler, void* user) {
  using namespace ddt::platform;
  CFunctionCallVoid([&] {
    if (handler == nullptr) {
      SetMessageHandler(nullptr);
      return;
    }
    SetMessageHandler([handler, user](std::string_view text, std::string_view caption,
                                      unsigned flags) {
      // The C side wants zero-terminated strings.
      const std::string t(text);
      const std::string c(caption);
      return handler(t.c_str(), c.c_str(), flags, user);
    });
  });
}
