// Message boxes. There is no screen: every box goes to a handler, which answers with the
// button the "user" chose. The host installs its own handler through the exported
// ddt_set_message_handler (ddtable/platform.h); the default handler writes the caption and
// the text to standard error as one line and answers IDOK. Tests capture boxes with MessageCapture.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::platform {

// Buttons (low nibble) and icons of the flags argument, with the values of the Windows API.
inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned MB_OKCANCEL = 0x0001;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x0002;
inline constexpr unsigned MB_YESNOCANCEL = 0x0003;
inline constexpr unsigned MB_YESNO = 0x0004;
inline constexpr unsigned MB_RETRYCANCEL = 0x0005;
inline constexpr unsigned MB_TYPEMASK = 0x000F;
inline constexpr unsigned MB_ICONERROR = 0x0010;
inline constexpr unsigned MB_ICONQUESTION = 0x0020;
inline constexpr unsigned MB_ICONWARNING = 0x0030;
inline constexpr unsigned MB_ICONINFORMATION = 0x0040;
inline constexpr unsigned MB_ICONMASK = 0x00F0;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Gets text, caption and flags; returns the answer (one of the ID* values).
using MessageHandler =
    std::function<int(std::string_view text, std::string_view caption, unsigned flags)>;

// Shows a message box through the current handler and returns its answer; a handler that
// answers 0 (no button) passes the box on to the default handler. Safe from any
// thread; the handler runs on the caller's thread, outside any lock of this module, so a
// handler may itself show boxes or replace the handler.
int MessageBox(std::string_view text, std::string_view caption = {}, unsigned flags = MB_OK);

// Installs a handler (an empty one restores the default) and returns the previous one (empty
// when the default was in place).
MessageHandler SetMessageHandler(MessageHandler handler);

// The caption of a box shown without one.
inline constexpr std::string_view kDefaultCaption = "ddtable";

// The default handler: one line "caption: text" on standard error (kDefaultCaption when the
// caption is empty; line breaks in the text become spaces); answers IDOK.
int DefaultMessageHandler(std::string_view text, std::string_view caption, unsigned flags);

// Installs a recording handler for its lifetime and restores the previous handler after.
// Every box is recorded and answered with answer(). Meant for tests; not for nesting across
// threads.
class MessageCapture {
 public:
  struct Message {
    std::string text;
    std::string caption;
    unsigned flags = 0;
  };

  explicit MessageCapture(int answer = IDOK);
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  const std::vector<Message>& Messages() const { return messages_; }
  std::size_t Count() const { return messages_.size(); }
  // The last message's text, or "" when none was shown.
  std::string LastText() const { return messages_.empty() ? std::string() : messages_.back().text; }
  void SetAnswer(int answer) { answer_ = answer; }
  void Clear() { messages_.clear(); }

 private:
  std::vector<Message> messages_;
  int answer_;
  MessageHandler previous_;
};

}  // namespace ddt::platform
