#include "platform/named_mutex.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace ddt::platform {
namespace {

constexpr int kChildDeadlineMs = 10000;

std::string UniqueName(const char* what) {
  return std::string("ddt-test-") + what + "-" + std::to_string(::getpid());
}

// Removes a test's lock file when the test ends.
struct LockFileCleanup {
  explicit LockFileCleanup(std::string n) : name(std::move(n)) {}
  ~LockFileCleanup() { ::unlink(NamedMutex::LockFilePath(name).c_str()); }
  std::string name;
};

// Reads one byte, waiting at most the deadline; -1 on timeout, end of file or error.
int ReadByte(int fd, int timeoutMs = kChildDeadlineMs) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) != 1) return -1;
  char c;
  return ::read(fd, &c, 1) == 1 ? static_cast<unsigned char>(c) : -1;
}

void WriteByte(int fd, char c) { ASSERT_EQ(::write(fd, &c, 1), 1); }

// Waits for the child up to the deadline; kills it if it is still running then. Returns its
// exit status, or -1 when it had to be killed or did not exit normally.
int WaitChild(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildDeadlineMs);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(NamedMutexTest, AnotherProcessWaitsUntilTheHolderReleases) {
  const std::string name = UniqueName("wait");
  LockFileCleanup cleanup(name);
  NamedMutex held(name);
  ASSERT_TRUE(held.Lock());

  int ready[2], released[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(released), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    NamedMutex m(name);
    if (m.TryLock()) ::_exit(2);  // must not get it while the parent holds it
    char c = 'w';
    if (::write(ready[1], &c, 1) != 1) ::_exit(3);
    if (!m.Lock()) ::_exit(4);
    // The parent writes 'r' before it unlocks, so it must be there by now.
    ::fcntl(released[0], F_SETFL, O_NONBLOCK);
    if (::read(released[0], &c, 1) != 1 || c != 'r') ::_exit(5);
    m.Unlock();
    ::_exit(0);
  }
  EXPECT_EQ(ReadByte(ready[0]), 'w');
  WriteByte(released[1], 'r');
  EXPECT_TRUE(held.Unlock());
  EXPECT_EQ(WaitChild(pid), 0);
  for (int fd : {ready[0], ready[1], released[0], released[1]}) ::close(fd);
  // Free again for this process.
  NamedMutex again(name);
  EXPECT_TRUE(again.TryLock());
}

TEST(NamedMutexTest, AHolderKilledWithSigkillFreesIt) {
  const std::string name = UniqueName("kill");
  LockFileCleanup cleanup(name);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    NamedMutex m(name);
    if (!m.Lock()) ::_exit(2);
    char c = 'L';
    if (::write(ready[1], &c, 1) != 1) ::_exit(3);
    for (;;) ::pause();
  }
  ASSERT_EQ(ReadByte(ready[0]), 'L');
  NamedMutex m(name);
  EXPECT_FALSE(m.TryLock());
  ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status));
  // The kernel dropped the dead holder's lock when the process ended.
  EXPECT_TRUE(m.TryLock());
  EXPECT_TRUE(m.Unlock());
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(NamedMutexTest, AForkedChildDoesNotInheritTheHold) {
  const std::string name = UniqueName("fork");
  LockFileCleanup cleanup(name);
  NamedMutex m(name);
  ASSERT_TRUE(m.Lock());
  ASSERT_TRUE(m.Lock());  // held twice by this thread
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Neither the inherited object nor a new one holds or can take the parent's lock.
    if (m.Unlock()) ::_exit(2);
    if (m.TryLock()) ::_exit(3);
    NamedMutex other(name);
    if (other.TryLock()) ::_exit(4);
    ::_exit(0);
  }
  EXPECT_EQ(WaitChild(pid), 0);
  // The child's exit did not release the parent's hold.
  NamedMutex probe(name);
  EXPECT_TRUE(probe.TryLock());  // same thread: recursive
  EXPECT_TRUE(probe.Unlock());
  EXPECT_EQ(m.HeldCount(), 2);
  EXPECT_TRUE(m.Unlock());
  EXPECT_TRUE(m.Unlock());
  EXPECT_FALSE(m.Unlock());
}

TEST(NamedMutexTest, RecursiveForTheOwnerThreadExclusiveForOthers) {
  const std::string name = UniqueName("threads");
  LockFileCleanup cleanup(name);
  NamedMutex a(name);
  NamedMutex b(name);
  ASSERT_TRUE(a.Lock());
  ASSERT_TRUE(b.Lock());  // another object of the same name, same thread
  EXPECT_EQ(a.HeldCount(), 1);
  EXPECT_EQ(b.HeldCount(), 1);

  std::atomic<int> stage{0};
  std::atomic<bool> triedWhileHeld{true};
  std::thread other([&] {
    NamedMutex c(name);
    triedWhileHeld = c.TryLock();
    if (triedWhileHeld) c.Unlock();
    stage = 1;
    c.Lock();  // waits until both holds above are given back
    stage = 2;
    c.Unlock();
  });
  while (stage.load() == 0) std::this_thread::yield();
  EXPECT_FALSE(triedWhileHeld.load());
  EXPECT_TRUE(a.Unlock());
  EXPECT_NE(stage.load(), 2);  // b still holds it
  EXPECT_FALSE(a.Unlock());    // a has nothing left to give back
  EXPECT_TRUE(b.Unlock());
  other.join();
  EXPECT_EQ(stage.load(), 2);
}

TEST(NamedMutexTest, DestructionReleasesAndNamesStayApart) {
  const std::string name = UniqueName("scope");
  LockFileCleanup cleanup(name);
  {
    NamedMutex m(name);
    ASSERT_TRUE(m.Lock());
    ASSERT_TRUE(m.Lock());
  }
  std::atomic<bool> got{false};
  std::thread([&] {
    NamedMutex m(name);
    got = m.TryLock();
    if (got) m.Unlock();
  }).join();
  EXPECT_TRUE(got.load());

  {
    NamedMutex m(name);
    ScopedLock<NamedMutex> hold(m);
    std::thread([&] {
      LockFileCleanup otherCleanup(name + "-other");
      NamedMutex other(name + "-other");
      got = other.TryLock();
    }).join();
    EXPECT_TRUE(got.load());
  }
}

TEST(NamedMutexTest, LockFilesStayInsideTheRuntimeDirectory) {
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  ::setenv("XDG_RUNTIME_DIR", "/tmp", 1);
  EXPECT_EQ(NamedMutex::LockFilePath("MutexToProtectFormula"),
            "/tmp/ddtable-MutexToProtectFormula.lock");
  const std::string odd = NamedMutex::LockFilePath("../a/b\\c");
  EXPECT_EQ(odd.rfind('/'), 4u) << odd;
  EXPECT_NE(NamedMutex::LockFilePath("a/b"), NamedMutex::LockFilePath("a_b"));
  if (old != nullptr)
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(CriticalSectionTest, ReentrantForItsOwnerOnly) {
  CriticalSection cs;
  cs.Lock();
  EXPECT_TRUE(cs.TryLock());
  std::atomic<bool> got{true};
  std::thread([&] {
    got = cs.TryLock();
    if (got) cs.Unlock();
  }).join();
  EXPECT_FALSE(got.load());
  cs.Unlock();
  cs.Unlock();
  std::thread([&] {
    ScopedLock<CriticalSection> hold(cs);
    got = true;
  }).join();
  EXPECT_TRUE(got.load());
}

TEST(PlatformFilesTest, CurrentDirectoryAndFileKinds) {
  const std::string start = GetCurrentDirectory();
  ASSERT_FALSE(start.empty());
  EXPECT_TRUE(SetCurrentDirectory("/"));
  EXPECT_EQ(GetCurrentDirectory(), "/");
  EXPECT_FALSE(SetCurrentDirectory("/no/such/directory/here"));
  EXPECT_EQ(GetCurrentDirectory(), "/");
  EXPECT_FALSE(SetCurrentDirectory(""));
  EXPECT_TRUE(SetCurrentDirectory(start));
  EXPECT_EQ(GetCurrentDirectory(), start);

  EXPECT_EQ(GetFileKind("/"), FileKind::Directory);
  EXPECT_FALSE(FileExists("/"));
  EXPECT_EQ(GetFileKind("/no/such/file"), FileKind::Missing);
  EXPECT_EQ(GetFileKind(""), FileKind::Missing);
  EXPECT_TRUE(FileExists("/proc/self/exe"));
}

}  // namespace
}  // namespace ddt::platform
