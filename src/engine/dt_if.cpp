#include "ddtable/dt_if.h"

#include <variant>

#include "grid/format/entry.h"

// The parent window belongs to the derived engine; the interface keeps only its three fields.
CDT_IF::CDT_IF(ddt::platform::Window* /*parent*/) {}

CDT_IF::CDT_IF(const CDT_IF& other)
    : m_bInternalChange(other.m_bInternalChange),
      m_bChanged(other.m_bChanged),
      m_nFileFormat(other.m_nFileFormat) {}

CDT_IF& CDT_IF::operator=(const CDT_IF& other) {
  m_bInternalChange = other.m_bInternalChange;
  m_bChanged = other.m_bChanged;
  m_nFileFormat = other.m_nFileFormat;
  return *this;
}

CDT_IF::~CDT_IF() = default;

long CDT_IF::FindHeaderColumn(int sheet, const std::string& name) {
  const CStringList* header = GetHeaderList(sheet);
  if (header == nullptr) return -1;
  for (std::size_t i = 0; i < header->size(); ++i)
    if ((*header)[i] == name) return static_cast<long>(i) + 1;
  return -1;
}

bool CDT_IF::TypedEntryStaysText(std::string_view text) {
  const ddt::grid::format::ParsedEntry entry = ddt::grid::format::ParseEntry(text);
  if (entry.kind == ddt::grid::format::ParsedEntry::Kind::Empty) return text.empty();
  if (entry.kind != ddt::grid::format::ParsedEntry::Kind::Constant || entry.forcedText) return false;
  const auto* typed = std::get_if<ddt::grid::SharedText>(&entry.value);
  return typed != nullptr && std::string_view(*typed) == text;
}
