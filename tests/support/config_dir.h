// A scratch folder that is the library's configuration folder (DDTABLE_CONFIG_DIR) while the
// object lives: ini files written here are the ones the library reads. The folder is named
// after the process and the running test, emptied first, and removed at the end; the
// variable gets its earlier value back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace ddt::test {

class ConfigDir {
 public:
  explicit ConfigDir(const std::string& prefix = "ddt_config") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info == nullptr ? std::string("none")
                                       : std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() /
            (prefix + "_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    if (const char* old = std::getenv("DDTABLE_CONFIG_DIR")) old_ = old;
    ::setenv("DDTABLE_CONFIG_DIR", path_.c_str(), 1);
  }
  ~ConfigDir() {
    if (old_) ::setenv("DDTABLE_CONFIG_DIR", old_->c_str(), 1);
    else ::unsetenv("DDTABLE_CONFIG_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ConfigDir(const ConfigDir&) = delete;
  ConfigDir& operator=(const ConfigDir&) = delete;

  // Writes a file into the folder; returns its full path.
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return File(name);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> old_;
};

}  // namespace ddt::test
