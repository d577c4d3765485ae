#include "results_target.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace ddtcli {

namespace fs = std::filesystem;

std::string LockFileOf(const std::string& path) {
  const fs::path target(path);
  const fs::path folder = target.parent_path();
  const std::string name = target.filename().string();
  std::error_code ec;
  for (const std::string& lock : {".~lock." + name + "#", "~$" + name}) {
    const fs::path candidate = folder / lock;
    if (fs::exists(candidate, ec)) return candidate.string();
  }
  // Excel shortens long names: "~$" replaces the first two characters.
  if (name.size() > 2) {
    const fs::path shortened = folder / ("~$" + name.substr(2));
    if (fs::exists(shortened, ec)) return shortened.string();
  }
  return "";
}

std::string ResultsTargetProblem(const std::string& path) {
  std::error_code ec;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) return "folder " + folder.string() + " does not exist";
  if (::access(folder.c_str(), W_OK) != 0) return "cannot write in " + folder.string() + ": " + std::strerror(errno);
  if (fs::is_directory(target, ec)) return "is a folder";
  if (fs::exists(target, ec) && ::access(target.c_str(), W_OK) != 0)
    return std::string("cannot be written: ") + std::strerror(errno);
  const std::string lock = LockFileOf(path);
  if (!lock.empty()) return "is open in another program (lock file " + lock + ")";
  return "";
}

std::string NameBeside(const std::string& path) {
  const fs::path target(path);
  const std::string stem = target.stem().string();
  const std::string ext = target.extension().string();
  std::error_code ec;
  for (int n = 1;; ++n) {
    const fs::path candidate = target.parent_path() / (stem + "-" + std::to_string(n) + ext);
    if (!fs::exists(candidate, ec) && LockFileOf(candidate.string()).empty()) return candidate.string();
  }
}

}  // namespace ddtcli
