#include "table/param_names.h"

#include <cstring>

#include "platform/boundary.h"
#include "platform/resources.h"

namespace ddt::table {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  size_t last = text.size();
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

void MakeLegalName(std::string& name) {
  name = std::string(TrimBlanks(name));
  if (name.empty()) return;
  if (name[0] == '+' || name[0] == '-' || name[0] == '=') name[0] = '_';
  if (name[0] >= '0' && name[0] <= '9') name.insert(name.begin(), '_');
  for (char& c : name)
    if (c == ',' || c == '!' || c == '$' || c == '\\') c = '_';
}

std::string ColumnLetters(int col) {
  std::string letters;
  for (int n = col; n > 0; n = (n - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

std::string ValueEntry(std::string_view value) {
  std::string_view text = TrimBlanks(value);
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

// Length of the longest prefix of text no longer than limit that ends on a UTF-8
// character boundary.
size_t Utf8Prefix(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  // Step back over continuation bytes (10xxxxxx) so the cut falls before a lead byte.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

extern "C" void GetColumnNameSuggestion(char* buffer, int size) {
  // On a failure (out of memory) the buffer keeps what the caller put there.
  ddt::platform::CFunctionCallVoid([&] {
    if (buffer == nullptr || size < 1) return;
    std::string name(buffer, strnlen(buffer, static_cast<size_t>(size)));
    ddt::table::MakeLegalName(name);
    size_t n = Utf8Prefix(name, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
  });
}
