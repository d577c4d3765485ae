#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace ddt::platform {
namespace detail {

// One per lock file and process, shared by every NamedMutex object of that name.
struct NamedLockState {
  explicit NamedLockState(std::string p) : path(std::move(p)), pid(::getpid()) {}
  ~NamedLockState() {
    if (fd >= 0) ::close(fd);
  }

  // After fork() the child has a copy of the parent's bookkeeping and shares its open file
  // description (and so its flock). Start afresh: the child holds nothing.
  void ForgetParentLocked() {
    if (pid == ::getpid()) return;
    if (fd >= 0) ::close(fd);  // the parent keeps its own descriptor and its lock
    fd = -1;
    count = 0;
    owner = std::thread::id();
    pid = ::getpid();
  }

  bool OpenLocked() {
    if (fd >= 0) return true;
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return fd >= 0;
  }

  const std::string path;
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  int count = 0;
  int fd = -1;
  pid_t pid;
};

}  // namespace detail

namespace {

using detail::NamedLockState;

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::weak_ptr<NamedLockState>>& Registry() {
  static std::map<std::string, std::weak_ptr<NamedLockState>> registry;
  return registry;
}

std::shared_ptr<NamedLockState> StateFor(const std::string& path) {
  std::lock_guard lock(RegistryMutex());
  auto& registry = Registry();
  // Drop entries whose objects are all gone.
  for (auto it = registry.begin(); it != registry.end();)
    it = it->second.expired() ? registry.erase(it) : std::next(it);
  std::weak_ptr<NamedLockState>& slot = registry[path];
  std::shared_ptr<NamedLockState> state = slot.lock();
  if (!state) {
    state = std::make_shared<NamedLockState>(path);
    slot = state;
  }
  return state;
}

// Keeps letters, digits, '-', '_' and '.'; every other byte becomes %XX, so distinct names
// give distinct files and no name can leave the directory.
std::string EncodeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || (c == '.' && !out.empty());
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

bool IsDirectory(const char* path) {
  struct stat st {};
  return path != nullptr && *path != '\0' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string NamedMutex::LockFilePath(std::string_view name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsDirectory(runtime))
    return std::string(runtime) + "/ddtable-" + EncodeName(name) + ".lock";
  // The temporary directory is shared by all users: the user id keeps their locks apart.
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  return (dir / ("ddtable-" + std::to_string(::getuid()) + "-" + EncodeName(name) + ".lock"))
      .string();
}

NamedMutex::NamedMutex(std::string_view name) : name_(name) {}

NamedMutex::~NamedMutex() {
  if (held_ == 0 || !state_) return;
  std::lock_guard lock(state_->mutex);
  state_->ForgetParentLocked();
  if (state_->count == 0) return;  // reset by a fork
  state_->count -= std::min(held_, state_->count);
  if (state_->count == 0) {
    if (state_->fd >= 0) ::flock(state_->fd, LOCK_UN);
    state_->owner = std::thread::id();
    state_->released.notify_one();
  }
}

bool NamedMutex::Acquire(bool wait) {
  if (!state_) state_ = StateFor(LockFilePath(name_));
  NamedLockState& s = *state_;
  std::unique_lock lock(s.mutex);
  s.ForgetParentLocked();
  // After a fork the child's own holds count for nothing.
  if (s.count == 0) held_ = 0;
  const std::thread::id me = std::this_thread::get_id();
  if (s.count > 0 && s.owner == me) {
    ++s.count;
    ++held_;
    return true;
  }
  if (!wait && s.count > 0) return false;
  s.released.wait(lock, [&] { return s.count == 0; });
  if (!s.OpenLocked()) return false;
  // Claim the in-process side first so other threads wait on the condition, not on flock.
  s.owner = me;
  s.count = 1;
  const int fd = s.fd;
  lock.unlock();
  int rc;
  do {
    rc = ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  lock.lock();
  if (rc != 0) {
    s.owner = std::thread::id();
    s.count = 0;
    s.released.notify_one();
    return false;
  }
  held_ = 1;
  return true;
}

bool NamedMutex::Lock() { return Acquire(true); }

bool NamedMutex::TryLock() { return Acquire(false); }

bool NamedMutex::Unlock() {
  if (held_ == 0 || !state_) return false;
  NamedLockState& s = *state_;
  std::lock_guard lock(s.mutex);
  s.ForgetParentLocked();
  if (s.count == 0 || s.owner != std::this_thread::get_id()) {
    if (s.count == 0) held_ = 0;
    return false;
  }
  --held_;
  if (--s.count == 0) {
    ::flock(s.fd, LOCK_UN);
    s.owner = std::thread::id();
    s.released.notify_one();
  }
  return true;
}

}  // namespace ddt::platform
