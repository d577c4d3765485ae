// NamedMutex: a lock shared by every process of the user that uses the same name. It is an
// exclusive flock on a lock file named after the mutex, in $XDG_RUNTIME_DIR when that is set,
// else in the temporary directory. The kernel drops the lock when the holding process ends,
// however it ends (also by SIGKILL), so a crashed holder never blocks the others.
//
// Within one process it behaves like a Windows mutex: the thread that holds it may lock it
// again (every Lock needs its Unlock), other threads wait, and any number of NamedMutex
// objects of the same name share one lock. A child made by fork() does not inherit the
// parent's hold: it waits like any other process.
//
// The lock file is left in place after use (removing it could let two processes lock two
// different files of the same name).
//
// The same header also gives the in-process critical sections, the tick count and the
// current-directory helpers.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "ddtable/critical_section.h"
#include "platform/files.h"

namespace ddt::platform {

namespace detail {
struct NamedLockState;
}

class NamedMutex {
 public:
  // Names the mutex; nothing is locked or opened yet. Any text is a valid name.
  explicit NamedMutex(std::string_view name);
  // Releases every hold this object still has.
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Waits, without time limit, until this thread holds the mutex. False only when the lock
  // file cannot be created or opened (then nothing is held).
  bool Lock();
  // Takes the mutex if that needs no waiting.
  bool TryLock();
  // Gives back one hold this object took on this thread; false when there is none.
  bool Unlock();
  // Holds this object has taken and not given back.
  int HeldCount() const { return held_; }

  const std::string& Name() const { return name_; }
  // Where the lock file of a name lives.
  static std::string LockFilePath(std::string_view name);

 private:
  bool Acquire(bool wait);

  std::string name_;
  std::shared_ptr<detail::NamedLockState> state_;
  int held_ = 0;
};

}  // namespace ddt::platform
