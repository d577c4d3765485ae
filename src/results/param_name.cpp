#include "ddtable/param_name.h"

#include <strings.h>
#include <tuple>

#include "platform/boundary.h"
#include "results/results_text.h"

namespace {
constexpr std::string_view kAliasSeparator = "@@";
constexpr std::string_view kSheetSeparator = "::";
constexpr const char* kCustomSheet = "Custom";
}  // namespace

CParamName::CParamName(const char* text) { SetParamName(text); }

CParamName::CParamName(std::string alias, std::string sheet, std::string name)
    : m_strAlias(std::move(alias)), m_strName(std::move(name)), m_strSheet(std::move(sheet)) {}

CParamName::~CParamName() = default;

void CParamName::SetParamName(const char* text) try {
  const ddt::platform::LookupScope boundary;
  m_strAlias.clear();
  m_strSheet.clear();
  m_bParam = 0;
  m_strName = text ? text : "";
  if (m_strName.empty()) return;

  if (m_strName.front() == '<') {
    m_strName.erase(0, 1);
    m_bParam = 1;
  }
  if (!m_strName.empty() && m_strName.back() == '>') m_strName.pop_back();

  if (size_t at = m_strName.find(kAliasSeparator); at != std::string::npos) {
    m_strAlias = m_strName.substr(0, at);
    m_strName.erase(0, at + kAliasSeparator.size());
  }
  if (size_t colons = m_strName.find(kSheetSeparator); colons != std::string::npos) {
    m_strSheet = m_strName.substr(0, colons);
    m_strName.erase(0, colons + kSheetSeparator.size());
  }
} catch (...) {
  ddt::platform::Failed();
}

std::string CParamName::GetFullName() const try {
  const ddt::platform::LookupScope boundary;
  std::string full;
  if (!m_strAlias.empty()) full.append(m_strAlias).append(kAliasSeparator);
  if (!m_strSheet.empty()) full.append(m_strSheet).append(kSheetSeparator);
  return full + m_strName;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CParamName::GetText() const try {
  const ddt::platform::LookupScope boundary;
  if (m_strName.empty()) return {};
  return std::string("<").append(GetFullName()).append(">");
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CParamName::GetFullSheet(std::string scope) const try {
  const ddt::platform::LookupScope boundary;
  if (m_strSheet.empty()) return scope;
  if (!m_strAlias.empty() || strcasecmp(m_strSheet.c_str(), kCustomSheet) == 0) return m_strSheet;
  return scope + "." + m_strSheet;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::vector<std::string> CParamName::FindAll(std::string_view text) {
  std::vector<std::string> found;
  for (auto [at, length] = ddt::results::FindReference(text, 0); at != std::string_view::npos;
       std::tie(at, length) = ddt::results::FindReference(text, at + length))
    found.emplace_back(text.substr(at, length));
  return found;
}
