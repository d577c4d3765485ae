#include "grid/io/common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <random>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

constexpr int kNameAttempts = 100;
constexpr size_t kBufferBytes = 1 << 20;

// A failed system call while writing: its reason, and the kind its errno gives.
GridError SystemError(const char* what) {
  const int error = errno;
  return GridError(std::string(what) + " (" + std::strerror(error) + ")",
                   platform::KindOfWriteErrno(error));
}

}  // namespace

class AtomicFileWriter::TempFile {
 public:
  explicit TempFile(const std::string& target) {
    size_t slash = target.find_last_of('/');
    dir_ = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device rd;
    for (int i = 0; i < kNameAttempts && fd_ < 0; ++i) {
      path_ = dir_ + "/." + base + "." + std::to_string(rd() % 1000000000u) + ".tmp";
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && (errno == ENOENT || errno == ENOTDIR))
        throw GridError("no folder " + dir_ + " (" + std::strerror(errno) + ")",
                        ErrorKind::NotWritable);
      if (fd_ < 0 && errno != EEXIST)
        throw SystemError("cannot create a temporary file in its directory");
    }
    if (fd_ < 0)
      throw GridError("cannot create a temporary file in its directory", ErrorKind::NotWritable);
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
    if (::close(fd) != 0) throw SystemError("cannot write the file");
  }
  void CommitTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) throw SystemError("cannot replace the file");
    committed_ = true;
  }

 private:
  std::string dir_, path_;
  int fd_ = -1;
  bool committed_ = false;
};

AtomicFileWriter::AtomicFileWriter(const std::string& path)
    : path_(path), tmp_(std::make_unique<TempFile>(path)) {}

AtomicFileWriter::~AtomicFileWriter() = default;

namespace {

void WriteAll(int fd, const char* p, size_t left) {
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SystemError("cannot write the file");
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

void AtomicFileWriter::Flush() {
  WriteAll(tmp_->fd(), buffer_.data(), used_);
  used_ = 0;
}

void AtomicFileWriter::Write(const char* data, size_t size) {
  if (!tmp_ || tmp_->fd() < 0) throw GridError("the file is already written");
  if (size >= kBufferBytes) {  // large pieces go straight to the file
    Flush();
    WriteAll(tmp_->fd(), data, size);
    return;
  }
  if (buffer_.empty()) buffer_.resize(kBufferBytes);
  while (size > 0) {
    const size_t n = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
    if (used_ == buffer_.size()) Flush();
  }
}

void AtomicFileWriter::Commit() {
  if (!tmp_ || tmp_->fd() < 0) throw GridError("the file is already written");
  Flush();
  std::vector<char>().swap(buffer_);
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw GridError("the name is a directory", ErrorKind::NotWritable);
    ::fchmod(tmp_->fd(), st.st_mode & 07777);
  }
  if (::fsync(tmp_->fd()) != 0) throw SystemError("cannot flush the file to disk");
  tmp_->Close();
  tmp_->CommitTo(path_);
  // Make the rename itself durable.
  int dirfd = ::open(tmp_->dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd >= 0) {
    ::fsync(dirfd);
    ::close(dirfd);
  }
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace ddt::grid::io
