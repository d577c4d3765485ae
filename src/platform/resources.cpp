#include "platform/resources.h"

#include <array>
#include <cstddef>

namespace ddt::platform {
namespace {

// Index = id; entry 0 is unused. Constant-initialised, so it can be read during any static
// initialisation.
constexpr std::array<std::string_view, kLastStringId + 1> kStringTable = {
    "",
    "Parameter name invalid: '%1', suggest to change it to '%2'",
    "Fail to create Formula One instance.",
    "Error: Attempt to create more than 255 columns.",
    "Global",
    "Iter",
    "VID",
    "Host",
    "Group",
    "Local",
    "None",
    "_out",
    "_exp",
    ".End",
    "1",
    "1",
    "<N/A>",
    "Unresolved refrences to the following business processes were detected:\n\n%1",
};

constexpr ModuleContext kLibraryContext{"ddtable"};
thread_local const ModuleContext* t_current = nullptr;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view LoadStringView(int id) {
  if (id < kFirstStringId || id > kLastStringId) return {};
  return kStringTable[static_cast<std::size_t>(id)];
}

std::string LoadString(int id) { return std::string(LoadStringView(id)); }

std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size());
  const std::size_t count = args.size();
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c != '%' || i + 1 >= pattern.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    const char next = pattern[i + 1];
    if (next == '%') {
      out.push_back('%');
      i += 2;
      continue;
    }
    if (!IsDigit(next) || next == '0') {
      out.push_back(c);
      ++i;
      continue;
    }
    // One or two digits: %1 .. %99.
    std::size_t n = static_cast<std::size_t>(next - '0');
    std::size_t len = 2;
    if (i + 2 < pattern.size() && IsDigit(pattern[i + 2])) {
      n = n * 10 + static_cast<std::size_t>(pattern[i + 2] - '0');
      len = 3;
    }
    if (n <= count) {
      out.append(*(args.begin() + (n - 1)));
    } else {
      out.append(pattern.substr(i, len));
    }
    i += len;
  }
  return out;
}

std::string FormatString(int id, std::initializer_list<std::string_view> args) {
  return FormatMessage(LoadStringView(id), args);
}

const ModuleContext& LibraryContext() { return kLibraryContext; }

const ModuleContext* CurrentModuleContext() { return t_current; }

ModuleContextGuard::ModuleContextGuard() : previous_(t_current) { t_current = &kLibraryContext; }

ModuleContextGuard::~ModuleContextGuard() { t_current = previous_; }

}  // namespace ddt::platform
