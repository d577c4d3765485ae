// Helpers of the reliability tests: scratch directories, child processes, workbooks.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "grid/workbook.h"

namespace ddt::reliability {

// A fresh directory under the temporary directory, removed with its content.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "ddt_rel_XXXXXX").string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs body in a child process; the child's exit code is body's result. Returns the raw
// wait status. The child leaves with _exit, so nothing of the parent's state is torn down twice.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// A workbook whose every cell is known: `rows` x `cols` numbers and texts, a marker in A1.
inline void FillWorkbook(grid::Workbook& book, const std::string& marker, int rows, int cols) {
  book.SetEntry(1, 1, 1, marker);
  for (int r = 2; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c)
      book.SetEntry(1, r, c, c % 2 ? std::to_string(r * 100 + c) : "text " + std::to_string(r));
}

// True when the file reads and holds exactly what FillWorkbook(marker, rows, cols) wrote.
inline ::testing::AssertionResult HoldsWorkbook(const std::string& path, const std::string& marker,
                                                int rows, int cols) {
  grid::Workbook book;
  try {
    book.ReadFile(path, 4 /* any type */);
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << path << " does not read: " << e.what();
  }
  if (book.GetEntry(1, 1, 1) != marker)
    return ::testing::AssertionFailure() << "A1 is \"" << book.GetEntry(1, 1, 1) << "\", not " << marker;
  for (int r = 2; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c) {
      const std::string want = c % 2 ? std::to_string(r * 100 + c) : "text " + std::to_string(r);
      if (book.GetEntry(1, r, c) != want)
        return ::testing::AssertionFailure() << "cell " << r << "," << c << " is \""
                                             << book.GetEntry(1, r, c) << "\"";
    }
  if (!book.GetEntry(1, rows + 1, 1).empty())
    return ::testing::AssertionFailure() << "a row past the end is filled";
  return ::testing::AssertionSuccess();
}

}  // namespace ddt::reliability
