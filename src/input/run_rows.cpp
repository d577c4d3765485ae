// CDDTInput: run rows and iteration counts. The run-row list maps each sheet to the ranges
// of rows a run executes; child tables are cut into blocks by terminator rows, which the
// capture numbers so that block k closes with ".End k".
#include <algorithm>
#include <string>

#include "ddtable/cddt_input.h"
#include "input/engine_guards.h"
#include "input/input_limits.h"
#include "input/sheet_text.h"
#include "platform/boundary.h"
#include "table/shared_strings.h"


namespace {

bool Contains(const CStringList& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

bool HasDot(const std::string& name) { return name.find('.') != std::string::npos; }

bool IsCustomSheet(const std::string& name) {
  return ddt::text::EqualsNoCase(name, ddt::input::kCustomSheet);
}

std::string NumberedMark(long number) {
  return ddt::Shared().end + " " + std::to_string(number);
}

}  // namespace

int CDDTInput::CountIterations(const CStringList* bpNames, const CWBRowsRangeList& rows) {
  const std::string& global = ddt::Shared().global;
  int count = 0;
  const long sheets = GetNumSheets();
  for (long i = 1; i <= sheets; ++i) {
    const std::string name = GetSheetName(i);
    // Only business processes taking part limit the test: no global, custom or child table.
    if (HasDot(name) || name == global || IsCustomSheet(name)) continue;
    if (bpNames != nullptr && !Contains(*bpNames, name)) continue;
    int sheetRows = 0;
    if (rows.GetRowsCount(name, sheetRows) != 0 || sheetRows <= 0) continue;
    if (count == 0 || sheetRows < count) count = sheetRows;
  }
  return count == 0 ? 1 : count;
}

int CDDTInput::GetIterationCount(const CStringList* bpNames) try {
  const ddt::platform::LookupScope boundary;
  CWBRowsRangeList rows;
  const long current = m_pEngine->GetSheet();
  const std::string currentName = GetSheetName(current);
  if ((bpNames == nullptr || Contains(*bpNames, currentName)) &&
      GetSelectedRows(rows, current) != -1 && !rows.IsEmptyRowsList("")) {
    int selected = 0;
    rows.GetRowsCount(currentName, selected);
    return selected;
  }
  if (GetAllRows(rows, 0) == -1) return 0;
  return CountIterations(bpNames, rows);
} catch (...) {
  return ddt::platform::Failed(0);
}

int CDDTInput::GetQXIterationCount(const CStringList* bpNames) try {
  const ddt::platform::LookupScope boundary;
  CWBRowsRangeList rows;
  if (GetAllRows(rows, 0) == -1) return 1;
  return CountIterations(bpNames, rows);
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTInput::CaptureRowsList(const CStringList* bpNames) try {
  const ddt::platform::MemberScope boundary;
  const std::string& global = ddt::Shared().global;
  const long current = m_pEngine->GetSheet();
  const std::string currentName = GetSheetName(current);
  m_nCaptureSheet = static_cast<int>(current);
  const long sheets = GetNumSheets();

  // The selected rows of the current sheet run in every sheet that takes part.
  if ((bpNames == nullptr || Contains(*bpNames, currentName)) && m_nType != DT_TYPE_QX &&
      GetSelectedRows(m_RunRows, current) != -1 && !m_RunRows.IsEmptyRowsList("")) {
    int rangeCount = 0;
    CRowsRange lastRange{1, 1};
    if (m_RunRows.GetRowsRangeCount(currentName, rangeCount) == 0 && rangeCount > 0)
      m_RunRows.GetRowsRangeEntry(currentName, rangeCount - 1, lastRange);
    const long lastSelected = lastRange.m_nLastRow;
    for (long i = 1; i <= sheets; ++i) {
      const std::string name = GetSheetName(i);
      if (!HasDot(name) && (bpNames == nullptr || Contains(*bpNames, name) ||
                            ddt::text::EqualsNoCase(name, global) || IsCustomSheet(name))) {
        if (i == current) continue;
        m_RunRows.AddSheetEntry(name);
        for (int k = 0; k < rangeCount; ++k) {
          CRowsRange range;
          if (m_RunRows.GetRowsRangeEntry(currentName, k, range) == 0)
            m_RunRows.AddRowsRangeEntry(name, range);
        }
      } else if (bpNames == nullptr || Contains(*bpNames, ddt::input::ParentName(name))) {
        PrepareTable(name, lastSelected);
      }
    }
    int selected = 0;
    m_RunRows.GetRowsCount(currentName, selected);
    return selected;
  }

  if (GetAllRows(m_RunRows, 0) == -1) return 0;

  if (bpNames == nullptr) {
    for (long i = 1; i <= sheets; ++i) {
      const std::string name = GetSheetName(i);
      if (!HasDot(name)) {
        CRowsRange first;
        if (m_RunRows.GetRowsRangeEntry(name, 0, first) != 0)
          m_RunRows.AddRowsRangeEntry(name, CRowsRange{1, static_cast<int>(ddt::input::kNoDataRowLimit)});
      } else {
        // A child table has as many blocks as its business process has rows.
        CRowsRange parent;
        const long count = m_RunRows.GetRowsRangeEntry(ddt::input::ParentName(name), 0, parent) == 0
                               ? parent.m_nLastRow
                               : ddt::input::kNoDataRowLimit;
        PrepareTable(name, count);
      }
    }
    return 0;
  }

  const int count = CountIterations(bpNames, m_RunRows);
  m_RunRows.ClearWBRowsRangeList();
  for (long i = 1; i <= sheets; ++i) {
    const std::string name = GetSheetName(i);
    if ((!HasDot(name) && Contains(*bpNames, name)) || name == global || IsCustomSheet(name)) {
      m_RunRows.AddSheetEntry(name);
      m_RunRows.AddRowsRangeEntry(name, CRowsRange{1, count});
    } else if (Contains(*bpNames, ddt::input::ParentName(name))) {
      PrepareTable(name, count);
    }
  }
  return count;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTInput::PrepareTable(const std::string& name, long count) {
  ddt::input::ModifiedBlock block(m_pEngine);
  if (!HasDot(name)) return 0;
  if (SetSheet(name) != 0) return -1;
  const std::string& mark = ddt::Shared().end;
  const long sheet = m_pEngine->GetSheet();
  const int s = static_cast<int>(sheet);
  const long last = m_pEngine->GetLastRow();
  long block_number = 1;  // number of the next block's terminator
  long end = 0;           // last row examined
  if (count >= 1) {
    for (long r = 1; r <= last; ++r) {
      end = r;
      const std::string value = m_pEngine->GetValue(s, static_cast<int>(r), 1);
      if (ddt::text::StartsWithNoCase(value, mark)) {
        const std::string text = NumberedMark(block_number++);
        if (!ddt::text::EqualsNoCase(text, value)) m_pEngine->SetValue(s, static_cast<int>(r), 1, text.c_str());
      }
      if (block_number > count) break;
    }
  }
  if (end == 0) end = 1;

  int result = 0;
  if (!ddt::text::StartsWithNoCase(m_pEngine->GetValue(s, static_cast<int>(end), 1), mark)) {
    // The closing terminator goes below the data; it never replaces a row that holds any.
    const long row = end + 1;
    if (row > last && row <= m_pEngine->GetMaxRow()) {
      m_pEngine->SetValue(s, static_cast<int>(row), 1, NumberedMark(block_number).c_str());
      SetStyle(DT_STYLE_WHITE_ON_BLUE, "", row);
    } else {
      result = -1;
    }
  }

  m_RunRows.AddSheetEntry(name);
  const CRowsRange all{1, static_cast<int>(m_pEngine->GetLastRow())};
  CRowsRange first;
  if (m_RunRows.GetRowsRangeEntry(name, 0, first) == 0)
    m_RunRows.SetRowsRangeEntry(name, 0, all);
  else
    m_RunRows.AddRowsRangeEntry(name, all);
  return result;
}

int CDDTInput::GetMaxIterations(std::string sheetName) try {
  const ddt::platform::LookupScope boundary;
  const long current = m_pEngine->GetSheet();
  if (!sheetName.empty() && SetSheet(sheetName) == -1) return -1;
  const long result = m_pEngine->GetLastRow();
  m_pEngine->SetSheet(static_cast<int>(current));
  return static_cast<int>(result);
} catch (...) {
  return ddt::platform::Failed(-1);
}

long CDDTInput::GetNumRunRows(const std::string& sheetName) {
  int rows = 0;
  if (sheetName.empty() || m_RunRows.GetRowsCount(sheetName, rows) != 0) return 0;
  return rows;
}

long CDDTInput::GetRunRow(long k, const std::string& sheetName) {
  int ranges = 0;
  if (k < 1 || sheetName.empty() || m_RunRows.GetRowsRangeCount(sheetName, ranges) != 0)
    return 0;
  long before = 0;  // run rows in the ranges passed so far
  for (int i = 0; i < ranges; ++i) {
    CRowsRange range;
    if (m_RunRows.GetRowsRangeEntry(sheetName, i, range) != 0) return 0;
    const long end = before + (range.m_nLastRow - range.m_nFirstRow + 1);
    if (k <= end) return range.m_nFirstRow + (k - before - 1);
    before = end;
  }
  return 0;
}

long CDDTInput::GetNextRunRow(long row, const std::string& sheetName) {
  int ranges = 0;
  if (sheetName.empty() || m_RunRows.GetRowsRangeCount(sheetName, ranges) != 0 || ranges == 0)
    return 0;
  CRowsRange range;
  m_RunRows.GetRowsRangeEntry(sheetName, 0, range);
  if (row == 0) return range.m_nFirstRow;
  for (int i = 0; i < ranges; ++i) {
    m_RunRows.GetRowsRangeEntry(sheetName, i, range);
    if (range.m_nFirstRow <= row && row < range.m_nLastRow) return row + 1;
    if (row == range.m_nLastRow) {
      CRowsRange next;
      return m_RunRows.GetRowsRangeEntry(sheetName, i + 1, next) == 0 ? next.m_nFirstRow : 0;
    }
  }
  return 0;
}

long CDDTInput::GetLastRunRow(const std::string& sheetName) {
  int ranges = 0;
  CRowsRange range;
  if (sheetName.empty() || m_RunRows.GetRowsRangeCount(sheetName, ranges) != 0 || ranges == 0 ||
      m_RunRows.GetRowsRangeEntry(sheetName, ranges - 1, range) != 0)
    return 0;
  return range.m_nLastRow;
}

int CDDTInput::InsertTerminatorRow() try {
  const ddt::platform::MemberScope boundary;
  if (m_pEngine->GetSelectionCount() < 1) return -1;
  int firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0;
  m_pEngine->GetSelection(0, firstRow, firstCol, lastRow, lastCol);
  // A selection of whole columns, or one reaching the sheet's last row, would push every
  // row below it off the sheet and mark up to a million rows: refused.
  if (firstRow < 1 || lastRow >= m_pEngine->GetMaxRow()) return -1;
  m_pEngine->EditInsert(CDT_IF::DT_SHIFT_ROWS);
  m_pEngine->GetSelection(0, firstRow, firstCol, lastRow, lastCol);
  const std::string& mark = ddt::Shared().end;
  for (int r = firstRow; r <= lastRow; ++r) {
    m_pEngine->SetValue(static_cast<int>(m_pEngine->GetSheet()), r, 1, mark.c_str());
    SetStyle(DT_STYLE_WHITE_ON_BLUE, "", r);
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTInput::OnEndExecution() try {
  const ddt::platform::MemberScope boundary;
  if (m_nCaptureSheet != 0 && m_nCaptureSheet <= GetNumSheets())
    m_pEngine->SetSheet(m_nCaptureSheet);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}
