// Fuzzes the ini reader: any file content reads without a crash, values fit their buffers.
// Input: the file content; the first line (when there is one) names the section and key read.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace p = ddt::platform;
  const std::string& path = ddt::fuzz::ScratchPath(".ini");
  if (!ddt::fuzz::WriteWhole(path, data, size)) return 0;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view first = text.substr(0, text.find('\n'));
  const size_t eq = first.find('=');
  const std::string section(first.substr(0, eq));
  const std::string key(eq == std::string_view::npos ? "" : first.substr(eq + 1));
  for (size_t buffer : {0, 1, 2, 5, 256}) {
    const std::string value = p::GetPrivateProfileString(section, key, "def", path, buffer);
    if (buffer > 0 && value.size() > buffer - 1) __builtin_trap();
    bool truncated = false;
    size_t used = 1;
    for (const auto& name : p::GetPrivateProfileSectionNames(path, buffer, &truncated))
      used += name.size() + 1;
    if (buffer > 0 && used > buffer && used > 1) __builtin_trap();
  }
  (void)p::GetPrivateProfileInt(section, key, -5, path);
  return 0;
}
