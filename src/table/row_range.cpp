#include "ddtable/row_range.h"

#include <utility>

#include "platform/boundary.h"

CWBRowsRangeList::~CWBRowsRangeList() { ClearWBRowsRangeList(); }

void CWBRowsRangeList::ClearWBRowsRangeList() { m_Sheets.clear(); }

int CWBRowsRangeList::AddSheetEntry(std::string sheet) try {
  const ddt::platform::LookupScope boundary;
  return m_Sheets.try_emplace(std::move(sheet)).second ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CWBRowsRangeList::AddRowsRangeEntry(std::string sheet, const CRowsRange& range) try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Sheets.find(sheet);
  if (it == m_Sheets.end()) return -1;
  it->second.push_back(range);
  return static_cast<int>(it->second.size()) - 1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CWBRowsRangeList::GetRowsRangeCount(std::string sheet, int& count) const try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Sheets.find(sheet);
  if (it == m_Sheets.end()) return -1;
  count = static_cast<int>(it->second.size());
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CWBRowsRangeList::GetRowsCount(std::string sheet, int& count) const try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Sheets.find(sheet);
  if (it == m_Sheets.end()) return -1;
  int rows = 0;
  for (const CRowsRange& r : it->second) rows += r.m_nLastRow - r.m_nFirstRow + 1;
  count = rows;
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CWBRowsRangeList::GetRowsRangeEntry(std::string sheet, int index, CRowsRange& range) const try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Sheets.find(sheet);
  if (it == m_Sheets.end() || index < 0 || static_cast<size_t>(index) >= it->second.size())
    return -1;
  range = it->second[static_cast<size_t>(index)];
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CWBRowsRangeList::SetRowsRangeEntry(std::string sheet, int index, const CRowsRange& range) try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Sheets.find(sheet);
  if (it == m_Sheets.end() || index < 0 || static_cast<size_t>(index) >= it->second.size())
    return -1;
  it->second[static_cast<size_t>(index)] = range;
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

bool CWBRowsRangeList::IsEmptyRowsList(std::string sheet) const try {
  const ddt::platform::LookupScope boundary;
  if (sheet.empty()) {
    for (const auto& [name, ranges] : m_Sheets)
      if (!ranges.empty()) return false;
    return true;
  }
  auto it = m_Sheets.find(sheet);
  return it == m_Sheets.end() || it->second.empty();
} catch (...) {
  return ddt::platform::Failed(false);
}

CLastSelectedRow::~CLastSelectedRow() { ClearLastSelectedRow(); }

int CLastSelectedRow::AddLastSelectedRowEntry(std::string sheet, long row) try {
  const ddt::platform::LookupScope boundary;
  return m_Rows.try_emplace(std::move(sheet), static_cast<int>(row)).second ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CLastSelectedRow::SetLastSelectedRowEntry(std::string sheet, long row) try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Rows.find(sheet);
  if (it == m_Rows.end()) return -1;
  it->second = static_cast<int>(row);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CLastSelectedRow::GetLastSelectedRow(std::string sheet, long& row) const try {
  const ddt::platform::LookupScope boundary;
  auto it = m_Rows.find(sheet);
  if (it == m_Rows.end()) return -1;
  row = it->second;
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

void CLastSelectedRow::ClearLastSelectedRow() { m_Rows.clear(); }
