// CDDTInput: loading custom parameters from a custom-parameter file into the custom sheet.
#include "ddtable/cddt_input.h"
#include "input/custom_params.h"
#include "input/input_limits.h"
#include "platform/boundary.h"

int CDDTInput::LoadCustomParameters(std::string& path) try {
  const ddt::platform::MemberScope boundary;
  const std::string custom(ddt::input::kCustomSheet);
  const long customSheet = GetSheetIndex(custom);
  // Without a custom sheet nothing could be written.
  if (customSheet < 1) return 0;
  for (const ddt::input::CustomParameter& p :
       ddt::input::ReadCustomParameters(ddt::input::CustomParameterFile(path))) {
    // Columns carry the legal form of the name, so a name made legal on an earlier load is
    // found again instead of being appended once more.
    std::string name = p.name;
    GetSuggestionNotUnique(name);
    if (name.empty()) continue;
    if (m_nType != DT_TYPE_QX && ParamExists(name, customSheet) == 0) {
      if (AppendColumn(custom, name, p.value, DT_STYLE_BLUE_TEXT) != 0) continue;
    } else {
      SetParamValue(1, name, p.value, custom, 1);
    }
    SetParamValue(2, name, p.prompt, custom, 1);
    SetParamValue(3, name, p.server, custom, 1);
    SetParamValue(4, name, p.mandatory, custom, 1);
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}
