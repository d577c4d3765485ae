// CDT: whole-row selections and row-range lists.
#include "platform/boundary.h"
#include "ddtable/cdt.h"
#include "table/engine_call.h"

using ddt::table::TryEngine;

int CDT::SelectRows(long firstRow, long lastRow, long sheet) try {
  const ddt::platform::MemberScope boundary;
  if (!SwitchToSheet(sheet)) return -1;
  int r1 = static_cast<int>(firstRow), r2 = static_cast<int>(lastRow);
  return TryEngine([&] { m_pEngine->SetSelection(r1, -1, r2, -1); }) ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::AddSelectRows(long firstRow, long lastRow, long sheet) try {
  const ddt::platform::MemberScope boundary;
  if (!SwitchToSheet(sheet)) return -1;
  int r1 = static_cast<int>(firstRow), r2 = static_cast<int>(lastRow);
  bool wholeRows = false;
  if (m_pEngine->GetSelectionCount() > 0) {
    int sr1 = 0, sc1 = 0, sr2 = 0, sc2 = 0;
    m_pEngine->GetSelection(0, sr1, sc1, sr2, sc2);
    wholeRows = sc1 == 1 && sc2 > m_pEngine->GetLastCol();
  }
  return TryEngine([&] {
           if (wholeRows)
             m_pEngine->AddSelection(r1, -1, r2, -1);
           else
             m_pEngine->SetSelection(r1, -1, r2, -1);
         })
             ? 0
             : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::UnSelectRows(long sheet) try {
  const ddt::platform::MemberScope boundary;
  if (!SwitchToSheet(sheet)) return -1;
  m_pEngine->SetSelection(1, 1, 1, 1);
  m_pEngine->RedrawWindow();
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::SelectRows(const CWBRowsRangeList& rowsList, long sheet) try {
  const ddt::platform::MemberScope boundary;
  // Selecting rows of every sheet leaves the sheet current that was; rows of one sheet leave
  // that sheet current, as SelectRows of a row span does.
  return ForEachRequestedSheet(sheet, sheet == 0, [&](const std::string& name) {
    int count = 0;
    if (rowsList.GetRowsRangeCount(name, count) != 0) return;
    bool firstRange = true;
    for (int k = 0; k < count; ++k) {
      CRowsRange range;
      if (rowsList.GetRowsRangeEntry(name, k, range) != 0 || range.m_nFirstRow <= 0) continue;
      bool shown = TryEngine([&] {
        if (firstRange)
          m_pEngine->SetSelection(range.m_nFirstRow, -1, range.m_nLastRow, -1);
        else
          m_pEngine->AddSelection(range.m_nFirstRow, -1, range.m_nLastRow, -1);
      });
      if (shown) firstRange = false;
    }
  }) == 0 ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::GetSelectedRows(CWBRowsRangeList& rowsList, long sheet) try {
  const ddt::platform::LookupScope boundary;
  rowsList.ClearWBRowsRangeList();
  return ForEachRequestedSheet(sheet, true, [&](const std::string& name) {
    long maxCol = m_pEngine->GetMaxCol();
    long maxRow = m_pEngine->GetMaxRow();
    short selections = m_pEngine->GetSelectionCount();
    rowsList.AddSheetEntry(name);

    // A whole-row range that directly continues the last range listed extends it; anything
    // else starts a new range. Partial-row ranges are not listed and do not join ranges.
    int lastAdded = -1;
    CRowsRange added;
    for (short k = 0; k < selections; ++k) {
      int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
      m_pEngine->GetSelection(k, r1, c1, r2, c2);
      if (c1 != 1 || c2 < maxCol) continue;
      if (r1 == 0 || r2 == 0) continue;
      if (maxRow != 0 && r2 >= maxRow) r2 = static_cast<int>(maxRow);
      if (lastAdded >= 0 && r1 == added.m_nLastRow + 1) {
        added.m_nLastRow = r2;
        rowsList.SetRowsRangeEntry(name, lastAdded, added);
      } else {
        added = CRowsRange{r1, r2};
        lastAdded = rowsList.AddRowsRangeEntry(name, added);
      }
    }
  }) == 0 ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::GetAllRows(CWBRowsRangeList& rowsList, long sheet) try {
  const ddt::platform::LookupScope boundary;
  rowsList.ClearWBRowsRangeList();
  return ForEachRequestedSheet(sheet, true, [&](const std::string& name) {
    rowsList.AddSheetEntry(name);
    long lastRow = m_pEngine->GetLastRow();
    if (lastRow > 0) rowsList.AddRowsRangeEntry(name, CRowsRange{1, static_cast<int>(lastRow)});
  }) == 0 ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

long CDT::ForEachRequestedSheet(long sheet, bool restore,
                                const std::function<void(const std::string& name)>& visit) {
  long first = 0, last = 0, current = 0;
  if (GetRequestedSheets(sheet, first, last, current) != 0) return -1;
  for (long i = first; i <= last; ++i) {
    m_pEngine->SetSheet(static_cast<int>(i));
    const std::string name = GetSheetName(i);
    if (!name.empty()) visit(name);
  }
  if (restore && m_pEngine->GetSheet() != current) m_pEngine->SetSheet(static_cast<int>(current));
  return 0;
}
