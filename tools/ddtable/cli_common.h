// Shared pieces of the ddtable command: exit codes, error reporting, opening workbooks,
// warnings from the library and the progress bar.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ddtable/cddt_input.h"

namespace ddtcli {

// Exit codes of every subcommand.
enum ExitCode : int {
  kExitOk = 0,          // done; every check passed
  kExitChecksFailed = 1,  // done, but a check, a lint or a run row failed
  kExitUsage = 2,       // bad usage, or a file that cannot be read or written
};

// An error that ends the command: the message (already naming the file and the reason)
// goes to standard error and the command exits with `code`.
class CliError : public std::runtime_error {
 public:
  CliError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// Throws CliError(kExitUsage, "FILE: REASON"): every kind of file failure exits with 2.
[[noreturn]] void FailFile(const std::string& file, const std::string& reason);
// Throws CliError(kExitUsage, message).
[[noreturn]] void FailUsage(const std::string& message);

// Options every subcommand shares.
struct GlobalOptions {
  bool quiet = false;
};
GlobalOptions& Global();

// "ddtable: " + message on standard error, unless --quiet.
void Warn(const std::string& message);
// "ddtable: " + message on standard error, always (results the user asked for).
void Note(const std::string& message);

// Routes the library's message boxes to Warn (they never wait for an answer here).
void InstallMessageHandler();

// Why `path` could not be read as a workbook, from the kind and text of the library's last
// error (missing, not a workbook, damaged, encrypted, ...).
std::string ReadFailureReason(const std::string& path);
// Why a workbook could not be written to `path`: the library's reason (not writable,
// changed on disk, locked), or the system's for a file the command writes itself.
std::string WriteFailureReason(const std::string& path);
// Warns of what the last save of `table` to `path` could not keep (a macro project in a
// file named .xlsx, parts an insertion made wrong, ...): one line each.
void WarnSaveNotes(CDT& table, const std::string& path);

// Opens a workbook for reading with the headless binding. Throws CliError (exit 2) naming
// the file and the reason when it cannot be read.
std::unique_ptr<CDDTInput> OpenWorkbook(const std::string& path);

// The text without the blanks (spaces, tabs, line breaks) around it.
std::string Trim(const std::string& text);

// Opens a workbook with the interactive binding, which reads and keeps cell styles (the
// pass and fail marks of a results workbook). Throws CliError (exit 2) naming the file and
// the reason when it cannot be read.
std::unique_ptr<CDT> OpenWithStyles(const std::string& path);

// The lower-cased file extension without the dot ("xlsx"), or "" when there is none.
std::string Extension(const std::string& path);

// Progress of long work on standard error. On a terminal: a bar. Elsewhere (a CI log): a
// one-line count at most every 10 seconds. --quiet silences both.
class Progress {
 public:
  Progress(std::string label, std::size_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Update(std::size_t done);
  // A line of its own ("ddtable: " + line), printed at once above the bar (unless --quiet).
  void Say(const std::string& line);
  // Without a terminal, prints "ddtable: " + label + ": " + count() when 10 seconds have
  // passed since the work began or since the last count.
  template <typename CountText>
  void Periodic(CountText count) {
    if (quiet_ || shown_ || !DueForCount()) return;
    Say(label_ + ": " + count());
  }

 private:
  bool DueForCount();
  void Draw();

  std::string label_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool quiet_;
  bool shown_;
  int lastWidth_ = -1;
  double lastCount_;
};

}  // namespace ddtcli
