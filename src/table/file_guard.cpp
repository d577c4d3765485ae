#include "table/file_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/last_error.h"

namespace ddt::table {
namespace {

namespace fs = std::filesystem;

// A path as a key: absolute and lexically normal, so "./r.xlsx" and "r.xlsx" meet.
std::string Key(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(path), ec);
  if (ec) return path;
  return p.lexically_normal().string();
}

struct TableFiles {
  bool read = false;
  std::string unreadable;               // key of a file that existed but could not be read
  std::map<std::string, FileStamp> stamps;  // key -> stamp when read or last written
};

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<const CDT*, TableFiles>& Registry() {
  static std::unordered_map<const CDT*, TableFiles> tables;
  return tables;
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
  if (exists != other.exists) return false;
  if (!exists) return true;
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = st.st_mtim;
  return stamp;
}

std::string ForeignLockFile(const std::string& path) {
  const fs::path p(path);
  const fs::path lock = p.parent_path() / (".~lock." + p.filename().string() + "#");
  std::error_code ec;
  return fs::exists(lock, ec) ? lock.string() : std::string();
}

void NoteOpened(const CDT* table, const std::string& path, const FileStamp& before, bool read) {
  std::lock_guard lock(RegistryMutex());
  TableFiles& files = Registry()[table];
  files = TableFiles{};
  files.read = read;
  const std::string key = Key(path);
  files.stamps[key] = before;
  // An empty file holds nothing a save could destroy (a results file made beforehand, for
  // instance), so only a file with content that could not be read is guarded.
  if (!read && before.exists && before.size > 0) files.unreadable = key;
}

void NoteEmptied(const CDT* table) {
  std::lock_guard lock(RegistryMutex());
  Registry()[table] = TableFiles{};
}

void NoteWritten(const CDT* table, const std::string& path) {
  const FileStamp stamp = StampOf(path);
  std::lock_guard lock(RegistryMutex());
  TableFiles& files = Registry()[table];
  const std::string key = Key(path);
  files.stamps[key] = stamp;
  if (files.unreadable == key) files.unreadable.clear();
}

void ForgetTable(const CDT* table) {
  std::lock_guard lock(RegistryMutex());
  Registry().erase(table);
}

bool WasRead(const CDT* table) {
  std::lock_guard lock(RegistryMutex());
  const auto it = Registry().find(table);
  return it != Registry().end() && it->second.read;
}

bool Unchanged(const CDT* table, const std::string& path) {
  const FileStamp now = StampOf(path);
  std::lock_guard lock(RegistryMutex());
  const auto it = Registry().find(table);
  if (it == Registry().end()) return false;
  const std::string key = Key(path);
  if (it->second.unreadable == key) return false;  // it does not hold this workbook
  const auto stamp = it->second.stamps.find(key);
  return stamp != it->second.stamps.end() && stamp->second == now;
}

Refusal OverwriteRefusal(const CDT* table, const std::string& path) {
  using ddt::platform::ErrorKind;
  using ddt::platform::Quoted;
  const std::string lockFile = ForeignLockFile(path);
  if (!lockFile.empty())
    return {"Cannot save " + Quoted(path) + ": another program has it open (lock file " +
                Quoted(lockFile) + "); save under another name, or close it there first",
            ErrorKind::Locked};
  const FileStamp now = StampOf(path);
  if (!now.exists) return {};  // nothing there to lose
  std::lock_guard lock(RegistryMutex());
  const auto it = Registry().find(table);
  if (it == Registry().end()) return {};
  const std::string key = Key(path);
  if (it->second.unreadable == key)
    return {"Cannot save " + Quoted(path) +
                ": the file could not be read when it was opened and would be lost; save "
                "under another name",
            ErrorKind::Other};
  const auto stamp = it->second.stamps.find(key);
  if (stamp == it->second.stamps.end() || stamp->second == now) return {};
  return {"Cannot save " + Quoted(path) + ": " +
              (stamp->second.exists ? "the file changed on disk since this workbook read or "
                                      "last wrote it"
                                    : "the file was made by another process or run since "
                                      "this workbook was opened") +
              "; save under another name",
          ErrorKind::ChangedOnDisk};
}

DirectoryLock::DirectoryLock(const std::string& path) {
  fs::path dir = fs::path(path).parent_path();
  if (dir.empty()) dir = ".";
  fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace ddt::table
