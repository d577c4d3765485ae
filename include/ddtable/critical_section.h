// Critical sections: re-entrant in-process locks, and a scoped lock for anything with
// Lock/Unlock.
#pragma once

#include <mutex>

namespace ddt::platform {

// A recursive mutex: the owning thread may lock it again; it is free after as many Unlocks.
class CriticalSection {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  bool TryLock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds lockable.Lock() for its lifetime (CriticalSection, NamedMutex, ...).
template <class Lockable>
class ScopedLock {
 public:
  explicit ScopedLock(Lockable& lockable) : lockable_(lockable) { lockable_.Lock(); }
  ~ScopedLock() { lockable_.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lockable& lockable_;
};

}  // namespace ddt::platform
