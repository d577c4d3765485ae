#include "cli_common.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "ddtable/cddt_input.h"
#include "ddtable/ddtable.h"
#include "ddtable/platform.h"

namespace ddtcli {

void FailFile(const std::string& file, const std::string& reason) {
  throw CliError(kExitUsage, file + ": " + reason);
}

void FailUsage(const std::string& message) { throw CliError(kExitUsage, message); }

GlobalOptions& Global() {
  static GlobalOptions options;
  return options;
}

void Warn(const std::string& message) {
  if (!Global().quiet) std::fprintf(stderr, "ddtable: %s\n", message.c_str());
}

void Note(const std::string& message) { std::fprintf(stderr, "ddtable: %s\n", message.c_str()); }

void WarnSaveNotes(CDT& table, const std::string& path) {
  for (const std::string& note : table.GetSaveNotes()) Warn(path + ": " + note);
}

namespace {
int OnMessageBox(const char* text, const char* caption, unsigned flags, void* user) {
  std::string message = caption != nullptr && *caption != '\0' ? std::string(caption) + ": " : "";
  message += text != nullptr ? text : "";
  Warn(message);
  return 1;  // OK
}
}  // namespace

void InstallMessageHandler() { ddt_set_message_handler(&OnMessageBox, nullptr); }

namespace {

// The library's reason for the failure of its last call on path, or "" when its last call
// did not fail on that file (the command's own check or write failed instead).
std::string LibraryReason(const std::string& path) {
  const char* reason = ddt_last_error();
  if (ddt_last_error_kind() == DDT_ERROR_NONE || reason == nullptr) return {};
  const std::string text = reason;
  return text.find(path) != std::string::npos ? text : std::string();
}

}  // namespace

std::string ReadFailureReason(const std::string& path) {
  const std::string reason = LibraryReason(path);
  if (reason.empty()) {
    // The command refused the path before the library read it (not a regular file).
    const int error = errno;
    return error != 0 ? std::strerror(error) : "not a workbook this library can read";
  }
  switch (ddt_last_error_kind()) {
    case DDT_ERROR_MISSING: return std::strerror(ENOENT);
    case DDT_ERROR_NOT_A_WORKBOOK:
    case DDT_ERROR_DAMAGED:
    case DDT_ERROR_ENCRYPTED:
    case DDT_ERROR_OVER_LIMIT: return "not a workbook this library can read: " + reason;
    default: return reason;
  }
}

std::string WriteFailureReason(const std::string& path) {
  const std::string reason = LibraryReason(path);
  if (!reason.empty()) return reason;
  // A file the command writes itself (JUnit, a report): the system's reason.
  const int error = errno;
  return error != 0 ? std::string("cannot write it: ") + std::strerror(error)
                    : std::string("the file could not be written");
}

std::unique_ptr<CDDTInput> OpenWorkbook(const std::string& path) {
  // A file the library cannot read still gives an (empty) workbook with Open answering -1;
  // the command refuses it instead of working on nothing.
  auto book = std::make_unique<CDDTInput>(nullptr, CDT::DT_TYPE_QX);
  if (book->Open(path) != 0) FailFile(path, ReadFailureReason(path));
  return book;
}

std::unique_ptr<CDT> OpenWithStyles(const std::string& path) {
  auto book = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_F1, "");
  if (book->Open(path) != 0) FailFile(path, ReadFailureReason(path));
  return book;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t\r\n\v\f");
  return text.substr(first, last - first + 1);
}

std::string Extension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

namespace {
double MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Progress::Progress(std::string label, std::size_t total)
    : label_(std::move(label)), total_(total), quiet_(Global().quiet),
      shown_(!Global().quiet && total > 0 && ::isatty(STDERR_FILENO) == 1),
      lastCount_(MonotonicSeconds()) {}

Progress::~Progress() {
  if (shown_ && lastWidth_ >= 0) std::fprintf(stderr, "\r\033[K");
}

void Progress::Update(std::size_t done) {
  done_ = done;
  if (!shown_) return;
  constexpr int kBar = 30;
  const int width = static_cast<int>(done * kBar / total_);
  if (width == lastWidth_ && done != total_) return;
  lastWidth_ = width;
  Draw();
}

void Progress::Draw() {
  constexpr int kBar = 30;
  const int width = std::max(0, lastWidth_);
  std::fprintf(stderr, "\r%s [%s%s] %zu/%zu", label_.c_str(), std::string(width, '#').c_str(),
               std::string(kBar - width, ' ').c_str(), done_, total_);
  std::fflush(stderr);
}

void Progress::Say(const std::string& line) {
  if (quiet_) return;
  if (shown_ && lastWidth_ >= 0) std::fprintf(stderr, "\r\033[K");
  std::fprintf(stderr, "ddtable: %s\n", line.c_str());
  if (shown_ && lastWidth_ >= 0) Draw();
  std::fflush(stderr);
}

bool Progress::DueForCount() {
  const double now = MonotonicSeconds();
  if (now - lastCount_ < 10.0) return false;
  lastCount_ = now;
  return true;
}

}  // namespace ddtcli
