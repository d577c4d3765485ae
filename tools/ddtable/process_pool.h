// Runs commands as child processes, several at once: each in its own process group with
// standard input from /dev/null, its standard output and error captured up to a cap, and
// killed (the whole group) when it outlives its time limit.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ddtcli {

struct Command {
  std::vector<std::string> argv;  // argv[0] is looked up on PATH when it has no "/"
  std::vector<std::string> env;   // the whole environment, "NAME=value"
};

struct CommandLimits {
  int jobs = 1;                   // commands running at the same time
  double timeoutSeconds = 0;      // 0: no limit
  std::size_t maxOutputBytes = 1 << 20;  // kept per stream; the rest is read and dropped
};

struct CommandOutcome {
  bool started = false;       // false: it could not be run (startError says why)
  std::string startError;
  int exitStatus = -1;        // when it exited
  int signal = 0;             // when a signal ended it
  bool timedOut = false;
  double seconds = 0;         // from start to exit
  std::string out, err;       // captured, at most maxOutputBytes each
  std::size_t outBytes = 0, errBytes = 0;  // bytes written in all

  bool Succeeded() const { return started && !timedOut && signal == 0 && exitStatus == 0; }
  // "exit status 3", "killed by signal 9", "timed out after 2 s", "cannot run: ..."; "" on success.
  std::string Problem(double timeoutSeconds) const;
};

// Thrown by RunCommands when SIGINT, SIGTERM or SIGHUP arrived: the running commands were
// killed and reaped, the others never started.
class Interrupted : public std::runtime_error {
 public:
  explicit Interrupted(int signal)
      : std::runtime_error("interrupted by signal " + std::to_string(signal)), signal_(signal) {}
  int signal() const { return signal_; }

 private:
  int signal_;
};

// Runs every command; outcome i belongs to command i whatever the order they finish in.
// progress(done) is called after each command ends.
std::vector<CommandOutcome> RunCommands(const std::vector<Command>& commands,
                                        const CommandLimits& limits,
                                        const std::function<void(std::size_t)>& progress);

}  // namespace ddtcli
