#include "grid/io/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

constexpr int kNameAttempts = 100;

std::string SystemError(const char* what) {
  return std::string(what) + " (" + std::strerror(errno) + ")";
}

class TempFile {
 public:
  explicit TempFile(const std::string& target) {
    size_t slash = target.find_last_of('/');
    dir_ = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device rd;
    for (int i = 0; i < kNameAttempts && fd_ < 0; ++i) {
      path_ = dir_ + "/." + base + "." + std::to_string(rd() % 1000000000u) + ".tmp";
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST)
        throw GridError(SystemError("cannot create a temporary file in its directory"));
    }
    if (fd_ < 0) throw GridError("cannot create a temporary file in its directory");
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& dir() const { return dir_; }
  void Close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw GridError(SystemError("cannot write the file"));
  }
  void CommitTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0)
      throw GridError(SystemError("cannot replace the file"));
    committed_ = true;
  }

 private:
  std::string dir_, path_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace

void ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  TempFile tmp(path);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(tmp.fd(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw GridError(SystemError("cannot write the file"));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw GridError("the name is a directory");
    ::fchmod(tmp.fd(), st.st_mode & 07777);
  }
  if (::fsync(tmp.fd()) != 0) throw GridError(SystemError("cannot flush the file to disk"));
  tmp.Close();
  tmp.CommitTo(path);
  // Make the rename itself durable.
  int dirfd = ::open(tmp.dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
}

}  // namespace ddt::grid::io
