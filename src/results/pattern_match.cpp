#include "results/pattern_match.h"

#include <fnmatch.h>
#include <locale.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>
#include "text/utf8.h"

namespace ddt::results {
namespace {

// Non-ASCII characters that fit the one-byte form: the bytes 0x80 to 0xFF.
constexpr std::size_t kMaxRemappedCharacters = 128;
constexpr unsigned char kFirstRemappedByte = 0x80;

locale_t MakeLocale(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (locale_t l = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) return l;
  return static_cast<locale_t>(0);
}

// Made once; C.UTF-8 is always present on Debian, the others are fallbacks. Null when none
// exists: the thread's own locale is used then.
locale_t Utf8Locale() {
  static const locale_t locale = MakeLocale({"C.UTF-8", "C.utf8", "en_US.UTF-8"});
  return locale;
}
locale_t ByteLocale() {
  static const locale_t locale = MakeLocale({"C", "POSIX"});
  return locale;
}

// Makes a locale current on this thread and restores the previous one on the way out.
class ThreadLocale {
 public:
  explicit ThreadLocale(locale_t locale)
      : previous_(locale ? uselocale(locale) : static_cast<locale_t>(0)) {}
  ~ThreadLocale() {
    if (previous_) uselocale(previous_);
  }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;

 private:
  locale_t previous_;
};

bool Fnmatch(const std::string& value, const std::string& pattern, locale_t locale) {
  const ThreadLocale current(locale);
  return fnmatch(pattern.c_str(), value.c_str(), 0) == 0;
}

// Strict UTF-8 decoding up to the first zero byte (where fnmatch stops reading); false for
// an ill-formed sequence (overlong, surrogate, beyond U+10FFFF, cut short).
bool Decode(std::string_view text, std::vector<char32_t>& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size() && text[i] != '\0';) {
    char32_t cp;
    const std::size_t length = text::utf8::DecodeWellFormed(text, i, cp);
    if (length == 0) return false;
    out.push_back(cp);
    i += length;
  }
  return true;
}

bool NamesCharacterClass(std::string_view pattern) {
  return pattern.find("[:") != std::string_view::npos ||
         pattern.find("[=") != std::string_view::npos ||
         pattern.find("[.") != std::string_view::npos;
}

}  // namespace

bool MatchesPattern(std::string_view value, std::string_view pattern) {
  const std::string v(value), p(pattern);
  const auto isAscii = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return !(c & 0x80); });
  };
  if (isAscii(v) && isAscii(p)) return Fnmatch(v, p, ByteLocale());

  std::vector<char32_t> vc, pc;
  if (NamesCharacterClass(p) || !Decode(v, vc) || !Decode(p, pc))
    return Fnmatch(v, p, Utf8Locale());
  std::vector<char32_t> wide;
  for (const auto* s : {&vc, &pc})
    for (char32_t c : *s)
      if (c >= 0x80) wide.push_back(c);
  std::sort(wide.begin(), wide.end());
  wide.erase(std::unique(wide.begin(), wide.end()), wide.end());
  if (wide.size() > kMaxRemappedCharacters) return Fnmatch(v, p, Utf8Locale());

  const auto encode = [&wide](const std::vector<char32_t>& chars) {
    std::string bytes;
    bytes.reserve(chars.size());
    for (char32_t c : chars) {
      if (c < 0x80) {
        bytes.push_back(static_cast<char>(c));
      } else {
        const auto index = std::lower_bound(wide.begin(), wide.end(), c) - wide.begin();
        bytes.push_back(static_cast<char>(kFirstRemappedByte + index));
      }
    }
    return bytes;
  };
  return Fnmatch(encode(vc), encode(pc), ByteLocale());
}

}  // namespace ddt::results
