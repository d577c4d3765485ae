// CDT: notification sink, data lock, clipboard and copying between tables.
#include "engine/workbook_limits.h"
#include "platform/boundary.h"
#include "ddtable/cdt.h"
#include "table/engine_call.h"

using ddt::table::TryEngine;

namespace {

// Rows of a copy: both -1 (every row) or 1 <= first <= last within the grid.
bool ValidRows(long first, long last) {
  if (first == ddt::engine::kAll && last == ddt::engine::kAll) return true;
  return first >= 1 && first <= last && last <= ddt::engine::kMaxRows;
}

}  // namespace

// --- Notification -------------------------------------------------------------------------

int CDT::RegisterNotify(CDTNotify* pNotify) try {
  const ddt::platform::MemberScope boundary;
  if (m_pNotify != nullptr) return 0;
  m_pNotify = pNotify;
  m_pEngine->RegisterNotify(pNotify);
  return 1;
} catch (...) {
  return ddt::platform::Failed(0);
}

int CDT::UnRegisterNotify(int) try {
  const ddt::platform::MemberScope boundary;
  if (m_pNotify == nullptr) return -1;
  m_pNotify = nullptr;
  // The engine lets go of the sink too, so a host may destroy it right after.
  m_pEngine->RegisterNotify(nullptr);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

// --- Data lock ----------------------------------------------------------------------------

void CDT::LockData() { m_DataLock.Lock(); }

void CDT::UnlockData() { m_DataLock.Unlock(); }

// --- Clipboard ----------------------------------------------------------------------------

int CDT::EditCopy() try {
  const ddt::platform::MemberScope boundary;
  if (m_pEngine->GetSelectionCount() != 1) return 0;
  m_pEngine->EditCopy();
  return 1;
} catch (...) {
  return ddt::platform::Failed(0);
}

int CDT::EditPaste() try {
  const ddt::platform::MemberScope boundary;
  if (m_pEngine->GetSelectionCount() != 1) return 0;
  m_pEngine->EditPaste();
  return 1;
} catch (...) {
  return ddt::platform::Failed(0);
}

int CDT::CopySheet(const std::string& sheetName) try {
  const ddt::platform::MemberScope boundary;
  if (GetSheetIndex(sheetName) == 0) return -1;
  SetSheet(sheetName);
  SelectRows(-1, -1, 0);
  m_pEngine->EditCopy();
  UnSelectRows(0);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::PasteSheet(const std::string& sheetName) try {
  const ddt::platform::MemberScope boundary;
  if (NewSheet(sheetName) != 0) return -1;
  SetSheet(sheetName);
  SelectRows(-1, -1, 0);
  bool pasted = TryEngine([&] { m_pEngine->EditPaste(); });
  RefreshHeader();
  UnSelectRows(0);
  return pasted ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

// --- Copy from another table --------------------------------------------------------------

int CDT::CopyRange(CDT* source, const std::string& sourceSheet, const std::string& targetSheet,
                   long tr1, long /*tc1*/, long tr2, long /*tc2*/, long sr1, long /*sc1*/,
                   long sr2, long /*sc2*/) try {
  const ddt::platform::MemberScope boundary;
  // Everything that can be checked is checked before the new sheet is made.
  if (source == nullptr || !ValidRows(tr1, tr2) || !ValidRows(sr1, sr2)) return -1;
  long sourceIndex = source->GetSheetIndex(sourceSheet);
  if (sourceIndex == 0) return -1;
  const std::string target = targetSheet.empty() ? sourceSheet : targetSheet;

  if (NewSheet(target) != 0) return -1;
  if (SetSheet(target) != 0) return -1;
  long targetIndex = GetSheetIndex(target);

  CDT_IF* from = source->m_pEngine;
  from->SetSheet(static_cast<int>(sourceIndex));
  int lastCol = static_cast<int>(from->GetLastCol());
  if (lastCol == 0) lastCol = 1;

  if (!TryEngine([&] {
        m_pEngine->CopyRangeFrom(static_cast<int>(targetIndex), static_cast<int>(tr1), 1,
                                 static_cast<int>(tr2), lastCol, *from,
                                 static_cast<int>(sourceIndex), static_cast<int>(sr1), 1,
                                 static_cast<int>(sr2), lastCol);
      }))
    return -1;

  // The parameter names travel with their columns; the new sheet has none of its own.
  int current = static_cast<int>(m_pEngine->GetSheet());
  if (const CStringList* names = from->GetHeaderList(static_cast<int>(sourceIndex))) {
    const CStringList copied(*names);
    for (int c = 1; c <= lastCol && c <= static_cast<int>(copied.size()); ++c)
      if (!copied[c - 1].empty()) m_pEngine->SetColText(current, c, copied[c - 1].c_str());
  }
  RefreshHeader();
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}
