// Many virtual users at once: 16 processes run the same data-driven run on the same input
// workbook, each with its own results file. Every results file must be complete and equal to
// the results of a run made alone (apart from the virtual-user id each one records). Once
// with the example program (separate executables, as a test tool starts them), once with the
// run made in C++ in forked processes, each with its own virtual-user id.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "data_run.h"
#include "reliability_util.h"

namespace ddt::reliability {
namespace {

constexpr int kUsers = 16;

using Cells = std::map<std::tuple<std::string, int, int>, std::string>;

// Every used cell of the file, with the virtual-user id column's cells masked.
::testing::AssertionResult ReadCells(const std::string& path, int user, Cells& out) {
  grid::Workbook book;
  try {
    book.ReadFile(path, grid::io::kFileTypeAny);
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << path << ": " << e.what();
  }
  for (int s = 1; s <= book.SheetCount(); ++s) {
    const std::string sheet = book.SheetName(s);
    int vidCol = 0;
    book.ForEachCell(s, [&](int row, int col, const grid::Cell&) {
      std::string entry = book.GetEntry(s, row, col);
      if (sheet == "Global" && row == 1 && entry == "VID") vidCol = col;
      if (sheet == "Global" && row > 1 && col == vidCol) {
        if (entry != std::to_string(user)) entry = "wrong user " + entry;
        else entry = "<vid>";
      }
      out[{sheet, row, col}] = entry;
    });
  }
  return ::testing::AssertionSuccess();
}

TEST(Load, SixteenVirtualUsersWriteCompleteResults) {
  ScratchDir dir;
  const std::string input = dir.File("input.xlsx");
  WriteRunInput(input);

  // The run made alone, as the reference.
  const std::string alone = dir.File("alone.xlsx");
  const int aloneStatus = RunInChild([&] { return RunData(input, alone, 100); });
  ASSERT_TRUE(WIFEXITED(aloneStatus) && WEXITSTATUS(aloneStatus) == 0)
      << "the single run failed at step " << WEXITSTATUS(aloneStatus);
  Cells reference;
  ASSERT_TRUE(ReadCells(alone, 100, reference));
  // The reference holds every iteration: the last verified total and the last leg.
  ASSERT_EQ(reference[std::make_tuple(std::string("Flight"), kIterations + 1, 1)],
            "City" + std::to_string(kIterations));

  // All users start together (a pipe closed by the parent is the starting signal).
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> pids;
  for (int user = 1; user <= kUsers; ++user) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char c;
      (void)!::read(start[0], &c, 1);
      ::_exit(RunData(input, dir.File("results" + std::to_string(user) + ".xlsx"), user));
    }
    ASSERT_GT(pid, 0);
    pids.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (int user = 1; user <= kUsers; ++user) {
    int status = 0;
    ::waitpid(pids[static_cast<size_t>(user - 1)], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "user " << user << " failed at step " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  for (int user = 1; user <= kUsers; ++user) {
    Cells cells;
    ASSERT_TRUE(ReadCells(dir.File("results" + std::to_string(user) + ".xlsx"), user, cells));
    EXPECT_EQ(cells, reference) << "results of user " << user << " differ from the single run";
  }
  // The input workbook was only read.
  Cells before, after;
  ASSERT_TRUE(ReadCells(input, 0, after));
  WriteRunInput(dir.File("fresh.xlsx"));
  ASSERT_TRUE(ReadCells(dir.File("fresh.xlsx"), 0, before));
  EXPECT_EQ(after, before);
}


#ifdef DDT_EXAMPLE_RUN
// Runs the example program with its results at `results`; its exit status (-1: not run).
int StartExample(const std::string& results) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The program prints a line per iteration; the test only wants its files.
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(97);
    ::execl(DDT_EXAMPLE_RUN, DDT_EXAMPLE_RUN, DDT_EXAMPLE_DIR, results.c_str(), nullptr);
    ::_exit(96);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Load, SixteenExampleRunsAtOnceWriteCompleteResults) {
  ScratchDir dir;
  ASSERT_EQ(Wait(StartExample(dir.File("alone.xlsx"))), 0) << "the example alone failed";
  Cells reference;
  ASSERT_TRUE(ReadCells(dir.File("alone.xlsx"), 7, reference));
  ASSERT_GT(reference.size(), 10u);

  std::vector<pid_t> pids;
  for (int user = 1; user <= kUsers; ++user)
    pids.push_back(StartExample(dir.File("results" + std::to_string(user) + ".xlsx")));
  for (int user = 1; user <= kUsers; ++user)
    EXPECT_EQ(Wait(pids[static_cast<size_t>(user - 1)]), 0) << "run " << user;
  for (int user = 1; user <= kUsers; ++user) {
    Cells cells;
    ASSERT_TRUE(ReadCells(dir.File("results" + std::to_string(user) + ".xlsx"), 7, cells));
    EXPECT_EQ(cells, reference) << "results of run " << user << " differ from the single run";
  }
}
#endif

}  // namespace
}  // namespace ddt::reliability
