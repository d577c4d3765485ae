#include "process_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace ddtcli {

std::string CommandOutcome::Problem(double timeoutSeconds) const {
  if (!started) return "cannot run: " + startError;
  if (timedOut) {
    char text[64];
    std::snprintf(text, sizeof text, "timed out after %g s", timeoutSeconds);
    return text;
  }
  if (signal != 0) return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  if (exitStatus != 0) return "exit status " + std::to_string(exitStatus);
  return "";
}

namespace {

using Clock = std::chrono::steady_clock;

// SIGCHLD wakes the poll loop through this pipe, so a finished child is reaped at once.
int g_wakeWrite = -1;
volatile sig_atomic_t g_stopSignal = 0;
void OnStop(int signal) {
  g_stopSignal = signal;
  const int saved = errno;
  const char byte = 0;
  [[maybe_unused]] ssize_t n = ::write(g_wakeWrite, &byte, 1);
  errno = saved;
}
void OnChild(int) {
  const int saved = errno;
  const char byte = 0;
  [[maybe_unused]] ssize_t n = ::write(g_wakeWrite, &byte, 1);
  errno = saved;
}

struct Running {
  std::size_t index = 0;
  pid_t pid = -1;
  int outFd = -1, errFd = -1;
  Clock::time_point start;
  std::optional<Clock::time_point> deadline;
  bool exited = false;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Reads what is there without blocking; keeps at most `cap` bytes. false at end of file.
bool Drain(int fd, std::string& kept, std::size_t& total, std::size_t cap) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      total += static_cast<std::size_t>(n);
      if (kept.size() < cap) kept.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), cap - kept.size()));
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

std::vector<char*> CStrings(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

// Starts one command. On failure to run it, fills outcome and returns a Running with pid -1.
// posix_spawn starts the child without copying this process's page tables (vfork-like), which
// is most of the cost per row for short commands.
Running Start(std::size_t index, const Command& command, const CommandLimits& limits,
              CommandOutcome& outcome) {
  Running run;
  run.index = index;
  if (command.argv.empty()) {
    outcome.startError = "empty command";
    return run;
  }
  if (!command.freshFile.empty() && ::unlink(command.freshFile.c_str()) != 0 && errno != ENOENT) {
    outcome.startError = "the output file " + command.freshFile +
                         " left by an earlier run could not be removed: " + std::strerror(errno);
    return run;
  }
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) {
    outcome.startError = std::strerror(errno);
    return run;
  }
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    outcome.startError = std::strerror(errno);
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return run;
  }
  std::vector<char*> argv = CStrings(command.argv);
  std::vector<char*> envp = CStrings(command.env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Own process group (a timeout kills everything the command started), no blocked signals,
  // and the default action for the signals this process handles or ignores while it runs.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigemptyset(&defaults);
  for (int sig : {SIGCHLD, SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                            POSIX_SPAWN_SETSIGDEF);

  run.start = Clock::now();
  pid_t pid = -1;
  const int error = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (error != 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    outcome.startError = command.argv[0] + ": " + std::strerror(error);
    return run;
  }
  ::fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
  ::fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
  outcome.started = true;
  run.pid = pid;
  run.outFd = outPipe[0];
  run.errFd = errPipe[0];
  if (limits.timeoutSeconds > 0) {
    run.deadline = run.start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(limits.timeoutSeconds));
  }
  return run;
}

void Finish(Running& run, int status, CommandOutcome& outcome, std::size_t cap) {
  outcome.seconds = std::chrono::duration<double>(Clock::now() - run.start).count();
  if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  // What the child wrote before it ended is in the pipes; descendants that keep the pipes
  // open are not waited for.
  if (run.outFd >= 0) Drain(run.outFd, outcome.out, outcome.outBytes, cap);
  if (run.errFd >= 0) Drain(run.errFd, outcome.err, outcome.errBytes, cap);
  CloseFd(run.outFd);
  CloseFd(run.errFd);
  if (outcome.timedOut) outcome.signal = 0;
}

}  // namespace

RunStop RunCommands(const std::vector<Command>& commands, const CommandLimits& limits,
                    std::vector<CommandOutcome>& outcomes, const CommandEvents& events) {
  outcomes.resize(commands.size());
  RunStop stop;
  std::size_t next = 0;
  auto skipSettled = [&] {
    while (next < commands.size() && outcomes[next].finished) ++next;
  };
  skipSettled();
  if (next == commands.size()) return stop;

  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error(std::strerror(errno));
  g_wakeWrite = wake[1];
  struct sigaction action {}, previous {};
  action.sa_handler = &OnChild;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
  ::sigaction(SIGCHLD, &action, &previous);
  struct sigaction ignorePipe {}, previousPipe {};
  ignorePipe.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignorePipe, &previousPipe);
  // The commands run in process groups of their own, out of reach of the terminal's Ctrl-C:
  // an interrupt or termination of this process ends them here.
  g_stopSignal = 0;
  struct sigaction onStop {}, previousInt {}, previousTerm {}, previousHup {};
  onStop.sa_handler = &OnStop;
  sigemptyset(&onStop.sa_mask);
  ::sigaction(SIGINT, &onStop, &previousInt);
  ::sigaction(SIGTERM, &onStop, &previousTerm);
  ::sigaction(SIGHUP, &onStop, &previousHup);
  auto restore = [&] {
    ::sigaction(SIGCHLD, &previous, nullptr);
    ::sigaction(SIGPIPE, &previousPipe, nullptr);
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    ::sigaction(SIGHUP, &previousHup, nullptr);
    g_wakeWrite = -1;
    ::close(wake[0]);
    ::close(wake[1]);
  };

  const std::size_t jobs = static_cast<std::size_t>(std::max(1, limits.jobs));
  const Clock::time_point begin = Clock::now();
  std::optional<Clock::time_point> runDeadline;
  if (limits.runSeconds > 0)
    runDeadline = begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limits.runSeconds));
  Clock::time_point lastTick = begin;
  std::vector<Running> running;
  std::vector<pollfd> fds;
  // Commands reaped (or not started) whose end is not announced yet: the free slots are
  // filled first, so that what the caller does with an ended row overlaps the next command.
  std::vector<std::size_t> ended;
  auto announce = [&] {
    for (std::size_t index : ended) {
      outcomes[index].finished = true;
      if (events.finished) events.finished(index);
    }
    ended.clear();
  };
  try {
    for (;;) {
      if (g_stopSignal != 0 || (runDeadline && Clock::now() >= *runDeadline)) {
        stop.signal = g_stopSignal;
        stop.overTime = stop.signal == 0;
        for (Running& run : running) {
          ::kill(-run.pid, SIGKILL);
          int status = 0;
          while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
          }
          CloseFd(run.outFd);
          CloseFd(run.errFd);
          // Killed by this stop, not by its own doing: the row did not run to its end.
          outcomes[run.index] = CommandOutcome();
        }
        running.clear();
        announce();
        break;
      }
      while (running.size() < jobs && next < commands.size()) {
        Running run = Start(next, commands[next], limits, outcomes[next]);
        if (run.pid < 0) {
          ended.push_back(next);
        } else {
          running.push_back(run);
        }
        ++next;
        skipSettled();
      }
      announce();
      if (running.empty()) break;

      // Wait for output, a finished child, the nearest deadline or the next tick.
      fds.clear();
      fds.push_back({wake[0], POLLIN, 0});
      for (const Running& run : running) {
        if (run.outFd >= 0) fds.push_back({run.outFd, POLLIN, 0});
        if (run.errFd >= 0) fds.push_back({run.errFd, POLLIN, 0});
      }
      int waitMs = events.tick ? 1000 : -1;
      const Clock::time_point now = Clock::now();
      auto nearer = [&](Clock::time_point deadline) {
        const double left = std::chrono::duration<double, std::milli>(deadline - now).count();
        const int ms = left <= 0 ? 0 : static_cast<int>(std::ceil(left));
        waitMs = waitMs < 0 ? ms : std::min(waitMs, ms);
      };
      for (const Running& run : running) {
        if (run.deadline) nearer(*run.deadline);
      }
      if (runDeadline) nearer(*runDeadline);
      if (::poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
        throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
      char sink[256];
      while (::read(wake[0], sink, sizeof sink) > 0) {
      }

      for (Running& run : running) {
        CommandOutcome& outcome = outcomes[run.index];
        if (run.outFd >= 0 && !Drain(run.outFd, outcome.out, outcome.outBytes, limits.maxOutputBytes))
          CloseFd(run.outFd);
        if (run.errFd >= 0 && !Drain(run.errFd, outcome.err, outcome.errBytes, limits.maxOutputBytes))
          CloseFd(run.errFd);
        if (run.deadline && !outcome.timedOut && Clock::now() >= *run.deadline) {
          outcome.timedOut = true;
          ::kill(-run.pid, SIGKILL);
        }
        int status = 0;
        const pid_t reaped = ::waitpid(run.pid, &status, WNOHANG);
        if (reaped == run.pid) {
          if (outcome.timedOut) ::kill(-run.pid, SIGKILL);
          Finish(run, status, outcome, limits.maxOutputBytes);
          run.exited = true;
        }
      }
      for (std::size_t i = 0; i < running.size();) {
        if (running[i].exited) {
          ended.push_back(running[i].index);
          running.erase(running.begin() + static_cast<long>(i));
        } else {
          ++i;
        }
      }
      if (events.tick && Clock::now() - lastTick >= std::chrono::seconds(1)) {
        lastTick = Clock::now();
        events.tick();
      }
    }
  } catch (...) {
    for (Running& run : running) {
      ::kill(-run.pid, SIGKILL);
      int status = 0;
      while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
      }
      CloseFd(run.outFd);
      CloseFd(run.errFd);
    }
    restore();
    throw;
  }
  restore();
  return stop;
}

std::string StartProblem(const std::string& argv0) {
  if (argv0.empty()) return "empty command";
  auto executable = [](const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
  };
  if (argv0.find('/') != std::string::npos) {
    struct stat info {};
    if (::stat(argv0.c_str(), &info) != 0) return std::strerror(errno);
    if (!S_ISREG(info.st_mode)) return "not a program file";
    if (::access(argv0.c_str(), X_OK) != 0) return std::strerror(errno);
    return "";
  }
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t from = 0;
  for (;;) {
    const std::size_t colon = dirs.find(':', from);
    std::string dir = dirs.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
    if (dir.empty()) dir = ".";
    if (executable(dir + "/" + argv0)) return "";
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  return "not found on PATH";
}

}  // namespace ddtcli
