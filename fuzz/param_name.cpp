// Fuzzes CParamName: any text parses, and parts without separators in them rebuild a
// reference that parses back to the same parts.
#include <cstdint>
#include <string>

#include "ddtable/param_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CParamName name(text.c_str());
  (void)name.GetFullSheet("Flight");
  (void)name.GetFullSheet("");
  // The written form has no escapes: a name holding "@@" or "::", or a sheet holding "::",
  // cannot be told apart from the separators. Other references read back to the same parts.
  const auto plain = [](const std::string& s) {
    return s.find("@@") == std::string::npos && s.find("::") == std::string::npos;
  };
  const std::string written = name.GetText();
  if (!written.empty() && plain(name.GetName()) && plain(name.GetSheet())) {
    CParamName back(written.c_str());
    if (back.GetFullName() != name.GetFullName() || !back.IsParam()) __builtin_trap();
  }
  CParamName parts(name.GetExternAlias(), name.GetSheet(), name.GetName());
  (void)parts.GetText();
  return 0;
}
