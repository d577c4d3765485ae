// Small helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::fuzz {

// A file path private to this process, removed at exit; the same path on every call. In a
// directory of its own (DDT_FUZZ_SCRATCH, the smoke run sets it) the name has no process id,
// so that the inputs the library sees, and the run, repeat exactly.
inline const std::string& ScratchPath(const char* suffix) {
  static const std::string path = [suffix] {
    const char* own = std::getenv("DDT_FUZZ_SCRATCH");
    const char* dir = std::getenv("TMPDIR");
    std::string p = own && *own ? std::string(own) + "/ddt_fuzz" + suffix
                                : std::string(dir && *dir ? dir : "/tmp") + "/ddt_fuzz_" +
                                      std::to_string(::getpid()) + suffix;
    static const std::string removeAtExit = p;
    std::atexit([] { std::remove(removeAtExit.c_str()); });
    return p;
  }();
  return path;
}

// Writes bytes to path, replacing it. False when the write failed (then the input is skipped).
inline bool WriteWhole(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// The input cut into at most `parts` texts at NUL bytes (the last part takes the rest).
inline std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size, size_t parts) {
  std::vector<std::string> out;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (out.size() + 1 < parts) {
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) break;
    out.emplace_back(rest.substr(0, nul));
    rest.remove_prefix(nul + 1);
  }
  out.emplace_back(rest);
  out.resize(parts);
  return out;
}

}  // namespace ddt::fuzz
