#include "results/results_text.h"

#include <algorithm>

#include "input/sheet_text.h"
#include "platform/profile.h"
#include "results/results_limits.h"
#include "text/ascii.h"

namespace ddt::results {

bool NextReference(std::string_view source, std::string& reference) {
  std::size_t start = 0;
  if (!reference.empty()) {
    // Resume after the last occurrence of the previous reference.
    for (std::size_t p = source.find(reference); p != std::string_view::npos;
         p = source.find(reference, start))
      start = p + reference.size();
  }
  const auto [at, length] = FindReference(source, start);
  if (at == std::string_view::npos) {
    reference.clear();
    return false;
  }
  reference.assign(source.substr(at, length));
  return true;
}

std::pair<std::size_t, std::size_t> FindReference(std::string_view source, std::size_t from) {
  const std::size_t open = source.find('<', from);
  const std::size_t close = open == std::string_view::npos ? open : source.find('>', open);
  if (close == std::string_view::npos) return {std::string_view::npos, 0};
  return {open, close - open + 1};
}

std::size_t ReplaceFirst(std::string& text, std::string_view what, std::string_view with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return at;
}

std::string Trim(std::string_view text) { return std::string(text::Trim(text)); }

void CleanResultsName(std::string& name) {
  name = Trim(name);
  if (name.empty()) return;
  if (name[0] == '+' || name[0] == '-' || name[0] == '=') name[0] = '_';
  std::replace(name.begin(), name.end(), ',', '_');
}

std::string SuggestResultsName(std::string& name, const std::vector<std::string>* header) {
  CleanResultsName(name);
  if (name.empty()) return {};
  const auto taken = [header](const std::string& n) {
    return header && std::find(header->begin(), header->end(), n) != header->end();
  };
  if (!taken(name)) return name;
  const std::string base = name;
  for (int i = 1; i <= kMaxResultsNameSuffix; ++i) {
    name = base + std::to_string(i);
    if (!taken(name)) return name;
  }
  return {};
}

bool ClosesBlock(std::string_view cell, std::string_view mark, long block) {
  if (!ddt::text::StartsWithNoCase(cell, mark)) return false;
  const std::size_t numberAt = mark.size() + 1;  // after the separator
  if (cell.size() <= numberAt) return false;
  return cell.substr(numberAt) == std::to_string(block);
}

std::optional<bool> FormulaTruth(std::string_view raw, std::string_view displayed) {
  if (raw.empty() || raw[0] != '=') return std::nullopt;
  if (ddt::text::EqualsNoCase(displayed, kTrueText)) return true;
  if (ddt::text::EqualsNoCase(displayed, kFalseText) ||
      ddt::text::EqualsNoCase(displayed, kNotAvailableText))
    return false;
  return std::nullopt;
}

bool SaveResultsAfterEveryRow() {
  return platform::GetPrivateProfileInt(kRunSettingsSection, kSaveAfterEveryRowKey, 0,
                                        kRunSettingsFile) != 0;
}

}  // namespace ddt::results
