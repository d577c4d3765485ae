// Saves that are interrupted or cannot complete: the previous file stays whole and readable,
// and a failed save is reported, never a truncated file.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "data_run.h"
#include "reliability_util.h"

namespace ddt::reliability {
namespace {

namespace fs = std::filesystem;
using grid::Workbook;

constexpr int kBigRows = 20000, kBigCols = 8;  // a save of this takes a noticeable while
constexpr int kSmallRows = 5, kSmallCols = 3;

// True while a temporary file of a save is present beside target.
bool SaveInProgress(const ScratchDir& dir) {
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    if (entry.path().extension() == ".tmp") return true;
  return false;
}

// A child saving a big workbook over an existing file is killed at different moments: before
// the temporary file appears, while it is being written, and later. Every time the target
// reads back whole, either as the old workbook or (when the save had finished) as the new one.
TEST(SaveFault, KilledSaveLeavesThePreviousFileWhole) {
  ScratchDir dir;
  const std::string target = dir.File("book.xlsx");
  {
    Workbook old;
    FillWorkbook(old, "old", kSmallRows, kSmallCols);
    old.WriteFile(target, grid::io::kFileTypeXlsx);
  }
  Workbook big;
  FillWorkbook(big, "new", kBigRows, kBigCols);

  int killedDuringWrite = 0;
  for (int delayMs : {0, 1, 5, 20, 50, 0, 2, 10}) {
    const bool waitForTemp = delayMs != 0 || killedDuringWrite == 0;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      (void)!::write(ready[1], "x", 1);
      try {
        big.WriteFile(target, grid::io::kFileTypeXlsx);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    if (waitForTemp) {
      // Wait until the save writes its temporary file (or has finished), then a bit more.
      for (int i = 0; i < 20000 && !SaveInProgress(dir); ++i) {
        int status;
        if (::waitpid(pid, &status, WNOHANG) == pid) goto reaped;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (SaveInProgress(dir)) ++killedDuringWrite;
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  reaped:
    grid::Workbook probe;
    ASSERT_NO_THROW(probe.ReadFile(target, grid::io::kFileTypeAny)) << "delay " << delayMs;
    if (probe.GetEntry(1, 1, 1) == "old")
      EXPECT_TRUE(HoldsWorkbook(target, "old", kSmallRows, kSmallCols)) << "delay " << delayMs;
    else
      EXPECT_TRUE(HoldsWorkbook(target, "new", kBigRows, kBigCols)) << "delay " << delayMs;
    // Leftover temporaries of killed saves are removed by hand (a killed process cannot).
    for (const auto& entry : fs::directory_iterator(dir.Path()))
      if (entry.path().extension() == ".tmp") fs::remove(entry.path());
    if (probe.GetEntry(1, 1, 1) == "new") {
      Workbook old;
      FillWorkbook(old, "old", kSmallRows, kSmallCols);
      old.WriteFile(target, grid::io::kFileTypeXlsx);
    }
  }
  // At least one kill must have hit a save in the middle, or the test proved nothing.
  EXPECT_GT(killedDuringWrite, 0);
}

// A full disk, simulated with a file-size limit in a child process (the tests may run as root,
// for whom a read-only directory does not stop a write; a size limit stops everyone): the save
// fails with the system's reason, and the previous file is untouched.
TEST(SaveFault, FullDiskFailsCleanlyAndKeepsThePreviousFile) {
  ScratchDir dir;
  const std::string target = dir.File("book.xlsx");
  {
    Workbook old;
    FillWorkbook(old, "old", kSmallRows, kSmallCols);
    old.WriteFile(target, grid::io::kFileTypeXlsx);
  }
  const auto oldSize = fs::file_size(target);
  Workbook big;
  FillWorkbook(big, "new", kBigRows, kBigCols);
  int message[2];
  ASSERT_EQ(::pipe(message), 0);
  const int status = RunInChild([&] {
    ::close(message[0]);
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of killing the process
    const rlimit limit{64 * 1024, 64 * 1024};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    try {
      big.WriteFile(target, grid::io::kFileTypeXlsx);
    } catch (const grid::GridError& e) {
      (void)!::write(message[1], e.what(), std::strlen(e.what()));
      return 0;
    }
    return 1;  // the save claimed success
  });
  ::close(message[1]);
  char text[512] = {};
  (void)!::read(message[0], text, sizeof text - 1);
  ::close(message[0]);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the save did not fail";
  EXPECT_NE(std::string(text).find(std::strerror(EFBIG)), std::string::npos) << text;
  EXPECT_EQ(fs::file_size(target), oldSize);
  EXPECT_TRUE(HoldsWorkbook(target, "old", kSmallRows, kSmallCols));
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << "a failed save left " << entry.path();
}

// A directory that cannot exist (a path component is a regular file; this stops root too):
// the save fails with a message naming the reason, and nothing is created.
TEST(SaveFault, UnwritableDirectoryFailsWithAReason) {
  ScratchDir dir;
  const std::string notADir = dir.File("plain");
  { Workbook b; b.WriteFile(notADir, grid::io::kFileTypeXlsx); }
  Workbook book;
  FillWorkbook(book, "x", kSmallRows, kSmallCols);
  for (const std::string& path : {notADir + "/book.xlsx", dir.File("missing/book.xlsx")}) {
    try {
      book.WriteFile(path, grid::io::kFileTypeXlsx);
      ADD_FAILURE() << "saved to " << path;
    } catch (const grid::GridError& e) {
      const std::string why = e.what();
      EXPECT_TRUE(why.find(std::strerror(ENOTDIR)) != std::string::npos ||
                  why.find(std::strerror(ENOENT)) != std::string::npos) << why;
    }
    EXPECT_FALSE(fs::exists(path));
  }
}

}  // namespace
}  // namespace ddt::reliability

namespace ddt::reliability {
namespace {

// Through the script functions: a results save that fails (file-size limit) returns -1 and
// leaves the previous file; saving again once the disk has room writes the results, so a
// failed save never makes the next one think there is nothing to write.
TEST(SaveFault, AFailedResultsSaveIsReportedAndCanBeRepeated) {
  ScratchDir dir;
  const std::string input = dir.File("input.xlsx");
  const std::string results = dir.File("results.xlsx");
  WriteRunInput(input);
  ASSERT_EQ(RunData(input, results, 1), 0);
  const auto firstSize = std::filesystem::file_size(results);
  {
    grid::Workbook first;
    first.ReadFile(results, grid::io::kFileTypeAny);
    ASSERT_EQ(first.GetEntry(first.FindSheet("Flight"), 2, 1), "City1");
  }
  const int status = RunInChild([&] {
    CDDTInput* in = open_workbook(input.c_str());
    CDDTResults* out = open_results(dir.File("second.xlsx").c_str(), 2, "G", "H");
    if (!in || !out || prepare_results(out, in) != 0) return 2;
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    if (save_results_as(out, results.c_str(), 1) != -1) return 4;
    const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_FSIZE, &none) != 0) return 3;
    if (std::filesystem::file_size(results) != firstSize) return 5;
    if (save_results_as(out, nullptr, 0) != 0) return 6;
    close_results(out);
    close_input_workbook(in);
    return 0;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "step " << WEXITSTATUS(status);
  // The file now holds the second workbook: prepared, without iterations.
  grid::Workbook book;
  ASSERT_NO_THROW(book.ReadFile(results, grid::io::kFileTypeAny));
  const int flight = book.FindSheet("Flight");
  ASSERT_GT(flight, 0);
  EXPECT_EQ(book.GetEntry(flight, 1, 1), "from");
  EXPECT_EQ(book.GetEntry(flight, 2, 1), "") << "the second save did not write";
}

}  // namespace
}  // namespace ddt::reliability
