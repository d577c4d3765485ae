#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace ddt::platform {

std::string GetCurrentDirectory() {
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool SetCurrentDirectory(std::string_view path) {
  if (path.empty()) return false;
  const std::string p(path);
  return ::chdir(p.c_str()) == 0;
}

FileKind GetFileKind(std::string_view path) {
  if (path.empty()) return FileKind::Missing;
  const std::string p(path);
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return FileKind::Missing;
  if (S_ISDIR(st.st_mode)) return FileKind::Directory;
  if (S_ISREG(st.st_mode)) return FileKind::File;
  return FileKind::Other;
}

bool FileExists(std::string_view path) {
  const FileKind kind = GetFileKind(path);
  return kind == FileKind::File || kind == FileKind::Other;
}

}  // namespace ddt::platform
