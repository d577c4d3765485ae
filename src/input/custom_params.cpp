#include "input/custom_params.h"

#include "input/input_limits.h"
#include "input/sheet_text.h"
#include "platform/profile.h"
#include "text/utf8.h"

namespace ddt::input {

bool ToolkitChangesEnabled() {
  return ddt::platform::GetPrivateProfileInt(kSettingsSection, kToolkitChangesKey, 0,
                                             kSettingsFile) != 0;
}

std::string CustomParameterFile(const std::string& callerPath) {
  if (ddt::text::utf8::CountCharacters(callerPath) <= kMinPathCharsForSuffix) return callerPath;
  return ReplaceLastCharacters(callerPath, kCustomFileSuffix.size(), kCustomFileSuffix);
}

std::vector<CustomParameter> ReadCustomParameters(const std::string& file) {
  using ddt::platform::GetPrivateProfileString;
  std::vector<CustomParameter> parameters;
  for (const std::string& section :
       ddt::platform::GetPrivateProfileSectionNames(file, kSectionNamesBufferSize)) {
    if (section.compare(0, kCustomSectionPrefix.size(), kCustomSectionPrefix) != 0) continue;
    CustomParameter p;
    p.name = section.substr(kCustomSectionPrefix.size());
    if (p.name.empty()) continue;
    const auto read = [&](std::string_view key) {
      return GetPrivateProfileString(section, key, "", file, kCustomValueBufferSize);
    };
    p.value = read(kCurrentValueKey);
    p.prompt = read(kPromptKey);
    p.server = read(kIsServerKey);
    p.mandatory = read(kMandatoryKey);
    parameters.push_back(std::move(p));
  }
  return parameters;
}

}  // namespace ddt::input
