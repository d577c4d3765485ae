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
  // A file the command is expected to write: one left by an earlier run is removed just
  // before the command starts, so what is read afterwards is this command's.
  std::string freshFile;
};

struct CommandLimits {
  int jobs = 1;                   // commands running at the same time
  double timeoutSeconds = 0;      // 0: no limit
  std::size_t maxOutputBytes = 1 << 20;  // kept per stream; the rest is read and dropped
  double runSeconds = 0;          // the whole run's limit; 0: none
};

struct CommandOutcome {
  bool finished = false;      // the command ended, or could not be started; false: not run
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

// Why RunCommands stopped before every command had run: a signal (SIGINT, SIGTERM, SIGHUP)
// or the run's time limit. The running commands were killed and reaped (their outcomes are
// not finished), the others never started.
struct RunStop {
  int signal = 0;
  bool overTime = false;
  bool Stopped() const { return signal != 0 || overTime; }
};

struct CommandEvents {
  // Command `index` ended (or could not be started); its outcome is set and no longer
  // touched. Called once the commands that can start have started, so that what the caller
  // does here overlaps them.
  std::function<void(std::size_t index)> finished;
  std::function<void()> tick;                        // about once a second while commands run
};

// Runs every command whose outcome is not already finished (a caller marks rows it settles
// itself as finished); outcome i belongs to command i whatever the order they finish in.
RunStop RunCommands(const std::vector<Command>& commands, const CommandLimits& limits,
                    std::vector<CommandOutcome>& outcomes, const CommandEvents& events);

// Whether argv0 names a program that can be started: a path that is an executable file, or
// a name found on PATH. "" when it can, else the reason.
std::string StartProblem(const std::string& argv0);

}  // namespace ddtcli
