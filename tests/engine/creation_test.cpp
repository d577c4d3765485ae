// Creating the bindings: a control that cannot be created ends the process with a failure
// code after telling the user; headless creations are serialised across processes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine/engine_testing.h"
#include "engine_test_util.h"
#include "platform/named_mutex.h"

using engine_test::ParentWindow;

namespace {

TEST(CreationDeathTest, InteractiveControlFailureEndsTheProcessWithFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ddt::platform::Window missing;  // never created: no child can be made under it
        CDT_F1 engine(&missing);
      },
      ::testing::ExitedWithCode(EXIT_FAILURE), "Fail to create Formula One instance\\.");
}

TEST(CreationDeathTest, HeadlessControlFailureEndsTheProcessWithFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ddt::platform::Window missing;
        CDT_QX engine(&missing);
      },
      ::testing::ExitedWithCode(EXIT_FAILURE), "Fail to create Formula One instance\\.");
}

// Reads one byte from fd; -1 at the end or on failure.
int ReadByte(int fd) {
  char c = 0;
  ssize_t n;
  do {
    n = ::read(fd, &c, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? static_cast<unsigned char>(c) : -1;
}

void WriteByte(int fd, char c) {
  ssize_t n;
  do {
    n = ::write(fd, &c, 1);
  } while (n < 0 && errno == EINTR);
}

void AppendLine(const std::string& path, const std::string& line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
  if (fd < 0) return;
  const std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

// Two processes create headless bindings at once. Each one, while it is inside the creation,
// logs its entry, tells the test, waits for the test's go and logs its exit. While one is
// inside, the mutex must be taken (the test cannot take it) and the other must not get in.
TEST(Creation, HeadlessCreationsOfTwoProcessesDoNotOverlap) {
  const std::string log = ::testing::TempDir() + "engine_mutex_log_" + std::to_string(::getpid());
  ::unlink(log.c_str());
  int toTest[2], goA[2], goB[2];
  ASSERT_EQ(::pipe(toTest), 0);
  ASSERT_EQ(::pipe(goA), 0);
  ASSERT_EQ(::pipe(goB), 0);

  auto child = [&](char tag, int goFd) {
    ddt::engine::testing::SetHeadlessCreationProbe([&, tag, goFd] {
      AppendLine(log, std::string("in ") + tag);
      WriteByte(toTest[1], tag);
      ReadByte(goFd);
      AppendLine(log, std::string("out ") + tag);
    });
    {
      ParentWindow parent;
      CDT_QX engine(&parent);
    }
    ::_exit(0);
  };
  const pid_t a = ::fork();
  ASSERT_GE(a, 0);
  if (a == 0) child('A', goA[0]);
  const pid_t b = ::fork();
  ASSERT_GE(b, 0);
  if (b == 0) child('B', goB[0]);

  ddt::platform::NamedMutex mutex("MutexToProtectFormula");
  const int first = ReadByte(toTest[0]);
  ASSERT_TRUE(first == 'A' || first == 'B');
  // Should the lock be free by mistake, give it back at once so the children can finish.
  auto tryTake = [&] {
    const bool took = mutex.TryLock();
    if (took) mutex.Unlock();
    return took;
  };
  EXPECT_FALSE(tryTake()) << "the mutex is free while a creation runs";
  WriteByte(first == 'A' ? goA[1] : goB[1], 'g');

  const int second = ReadByte(toTest[0]);
  ASSERT_TRUE(second == 'A' || second == 'B');
  EXPECT_NE(second, first);
  EXPECT_FALSE(tryTake());
  WriteByte(second == 'A' ? goA[1] : goB[1], 'g');

  for (pid_t pid : {a, b}) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Both gone: the mutex is free again.
  EXPECT_TRUE(tryTake());

  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  const std::string f(1, static_cast<char>(first)), s(1, static_cast<char>(second));
  EXPECT_EQ(text.str(), "in " + f + "\nout " + f + "\nin " + s + "\nout " + s + "\n");
  for (int fd : {toTest[0], toTest[1], goA[0], goA[1], goB[0], goB[1]}) ::close(fd);
  ::unlink(log.c_str());
}

}  // namespace
