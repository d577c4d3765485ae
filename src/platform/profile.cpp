#include "platform/profile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "text/ascii.h"
#include "text/utf8.h"

namespace ddt::platform {
namespace {

struct Entry {
  std::string key;
  std::string value;
};
struct Section {
  std::string name;
  std::vector<Entry> entries;
};
struct Profile {
  std::vector<Section> sections;  // every block of the file, duplicates included
};

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

Profile Parse(std::string_view text) {
  Profile profile;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Section* current = nullptr;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = text::Trim(line, text::kSpaceAndTab);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      line.remove_prefix(1);
      const std::size_t close = line.find(']');
      profile.sections.push_back({std::string(text::Trim(line.substr(0, close), text::kSpaceAndTab)), {}});
      current = &profile.sections.back();
      continue;
    }
    if (current == nullptr) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->entries.push_back({std::string(line), {}});
    } else {
      current->entries.push_back({std::string(text::Trim(line.substr(0, eq), text::kSpaceAndTab)),
                                  std::string(Unquote(text::Trim(line.substr(eq + 1), text::kSpaceAndTab)))});
    }
  }
  return profile;
}

// One-entry cache of the last file parsed, keyed by path and checked against the file's
// identity, size and modification time.
struct CachedProfile {
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  std::shared_ptr<const Profile> profile;
};

std::mutex g_cacheMutex;
CachedProfile g_cache;

std::shared_ptr<const Profile> Load(std::string_view file) {
  static const auto kEmpty = std::make_shared<const Profile>();
  const std::string path = ResolveProfilePath(file);
  if (path.empty()) return kEmpty;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kMaxProfileBytes)
    return kEmpty;
  {
    std::lock_guard lock(g_cacheMutex);
    if (g_cache.profile && g_cache.path == path && g_cache.dev == st.st_dev &&
        g_cache.ino == st.st_ino && g_cache.size == st.st_size &&
        g_cache.mtime.tv_sec == st.st_mtim.tv_sec && g_cache.mtime.tv_nsec == st.st_mtim.tv_nsec)
      return g_cache.profile;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return kEmpty;
  std::string text;
  char buffer[8192];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    text.append(buffer, n);
    if (text.size() > kMaxProfileBytes) break;
  }
  const bool failed = std::ferror(f) != 0 || text.size() > kMaxProfileBytes;
  std::fclose(f);
  if (failed) return kEmpty;
  auto profile = std::make_shared<const Profile>(Parse(text));
  std::lock_guard lock(g_cacheMutex);
  g_cache = {path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, profile};
  return profile;
}

const std::string* Find(const Profile& profile, std::string_view section, std::string_view key) {
  for (const Section& s : profile.sections) {
    if (!text::EqualsNoCase(s.name, section)) continue;
    for (const Entry& e : s.entries)
      if (text::EqualsNoCase(e.key, key)) return &e.value;
    return nullptr;  // only the first section of a name counts
  }
  return nullptr;
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

std::string WithoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// Longest prefix of s of at most limit bytes that does not end inside a UTF-8 character.
std::string_view CutToCharacters(std::string_view s, std::size_t limit) {
  return s.substr(0, text::utf8::CutPoint(s, limit));
}

}  // namespace

std::string ProfileDirectory() {
  const char* own = std::getenv("DDTABLE_CONFIG_DIR");
  if (own != nullptr && *own != '\0') return WithoutTrailingSlash(own);
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return WithoutTrailingSlash(xdg) + "/ddtable";
  return HomeDirectory() + "/.config/ddtable";
}

std::string ResolveProfilePath(std::string_view file) {
  if (file.empty()) return {};
  if (file.find('/') != std::string_view::npos) return std::string(file);
  return ProfileDirectory() + "/" + std::string(file);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         std::string_view file) {
  const auto profile = Load(file);
  const std::string* value = Find(*profile, section, key);
  if (value == nullptr || value->empty()) return def;
  std::string_view v = text::Trim(*value, text::kSpaceAndTab);
  bool negative = false;
  if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  long long n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') break;
    if (n <= static_cast<long long>(INT_MAX) + 1) n = n * 10 + (c - '0');
  }
  if (negative) n = -n;
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::string_view file,
                                    std::size_t size) {
  if (size == 0) return {};
  const auto profile = Load(file);
  const std::string* value = Find(*profile, section, key);
  return std::string(CutToCharacters(value != nullptr ? std::string_view(*value) : def, size - 1));
}

std::vector<std::string> GetPrivateProfileSectionNames(std::string_view file, std::size_t size,
                                                       bool* truncated) {
  std::vector<std::string> names;
  if (truncated != nullptr) *truncated = false;
  const auto profile = Load(file);
  std::unordered_set<std::string> seen;  // lower-cased names already listed
  std::size_t used = 1;                  // the final zero byte
  for (const Section& s : profile->sections) {
    std::string folded = s.name;
    for (char& c : folded) c = text::LowerAscii(c);
    if (!seen.insert(std::move(folded)).second) continue;
    if (used + s.name.size() + 1 > size) {
      if (truncated != nullptr) *truncated = true;
      break;
    }
    used += s.name.size() + 1;
    names.push_back(s.name);
  }
  return names;
}

}  // namespace ddt::platform
