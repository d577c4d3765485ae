// Temporary stand-ins so that the grid links before the number-format module lands; the
// format module replaces this file.
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "grid/format/entry.h"
#include "grid/format/number_format.h"

namespace ddt::grid::format {

std::string FormatGeneral(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}
std::string FormatNumber(double value, std::string_view, bool) { return FormatGeneral(value); }
std::string FormatText(std::string_view text, std::string_view) { return std::string(text); }
const char* BuiltinFormatCode(int id) { return id == 0 ? "General" : nullptr; }
int BuiltinFormatId(std::string_view code) { return code == "General" ? 0 : -1; }
bool IsDateFormat(std::string_view) { return false; }

ParsedEntry ParseEntry(std::string_view typed) {
  ParsedEntry e;
  if (typed.empty()) return e;
  if (typed[0] == '=') {
    e.kind = ParsedEntry::Kind::Formula;
    e.formula = std::string(typed.substr(1));
    return e;
  }
  e.kind = ParsedEntry::Kind::Constant;
  if (typed[0] == '\'') {
    e.forcedText = true;
    e.value = std::string(typed.substr(1));
    return e;
  }
  std::string s(typed);
  char* end = nullptr;
  double d = std::strtod(s.c_str(), &end);
  if (end && *end == '\0') e.value = d;
  else if (strcasecmp(s.c_str(), "TRUE") == 0) e.value = true;
  else if (strcasecmp(s.c_str(), "FALSE") == 0) e.value = false;
  else e.value = s;
  return e;
}

std::string EntryText(const Value& value, bool forcedText) {
  if (auto* d = std::get_if<double>(&value)) return FormatGeneral(*d);
  if (auto* b = std::get_if<bool>(&value)) return *b ? "TRUE" : "FALSE";
  if (auto* e = std::get_if<ErrorCode>(&value)) return ErrorText(*e);
  if (auto* t = std::get_if<std::string>(&value)) return forcedText ? "'" + *t : *t;
  return {};
}

}  // namespace ddt::grid::format
