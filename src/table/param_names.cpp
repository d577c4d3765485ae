#include "table/param_names.h"

#include <cstring>

#include "platform/boundary.h"
#include "platform/resources.h"
#include "text/ascii.h"
#include "text/utf8.h"

namespace ddt::table {

void MakeLegalName(std::string& name) {
  name = std::string(text::Trim(name));
  if (name.empty()) return;
  if (name[0] == '+' || name[0] == '-' || name[0] == '=') name[0] = '_';
  if (name[0] >= '0' && name[0] <= '9') name.insert(name.begin(), '_');
  for (char& c : name)
    if (c == ',' || c == '!' || c == '$' || c == '\\') c = '_';
}

std::string ValueEntry(std::string_view value) {
  std::string_view text = text::Trim(value);
  bool keepsZero = text.size() >= 2 && text[0] == '0' &&
                   text.find_first_not_of("1234567890.") == std::string_view::npos &&
                   text.find('.') == text.rfind('.');
  if (!keepsZero) return std::string(text);
  std::string formula = "=\"";
  formula += text;
  formula += '"';
  return formula;
}

}  // namespace ddt::table

namespace {

}  // namespace

extern "C" void GetColumnNameSuggestion(char* buffer, int size) {
  // On a failure (out of memory) the buffer keeps what the caller put there.
  ddt::platform::CFunctionCallVoid([&] {
    if (buffer == nullptr || size < 1) return;
    std::string name(buffer, strnlen(buffer, static_cast<size_t>(size)));
    ddt::table::MakeLegalName(name);
    size_t n = ddt::text::utf8::CutPoint(name, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
  });
}
