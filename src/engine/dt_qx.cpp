#include "engine/dt_qx.h"

#include <mutex>
#include <vector>

#include "engine/engine_limits.h"
#include "engine/engine_testing.h"
#include "engine/grid_window.h"
#include "engine/header_cache.h"
#include "engine/kinds.h"
#include "engine/sheet_header.h"
#include "grid/io/file_type.h"
#include "platform/named_mutex.h"

using ddt::engine::GridWindow;
using ddt::grid::Range;

namespace {

constexpr const char* kCreationMutexName = "MutexToProtectFormula";

// The machine-wide lock around creating a headless control, shared by all instances.
ddt::platform::NamedMutex& CreationMutex() {
  static ddt::platform::NamedMutex mutex(kCreationMutexName);
  return mutex;
}

std::mutex& ProbeMutex() {
  static std::mutex m;
  return m;
}
std::function<void()>& CreationProbe() {
  static std::function<void()> probe;
  return probe;
}

void RunCreationProbe() {
  std::function<void()> probe;
  {
    std::lock_guard lock(ProbeMutex());
    probe = CreationProbe();
  }
  if (probe) probe();
}

}  // namespace

namespace ddt::engine::testing {
void SetHeadlessCreationProbe(std::function<void()> probe) {
  std::lock_guard lock(ProbeMutex());
  CreationProbe() = std::move(probe);
}
}  // namespace ddt::engine::testing

CDT_QX::CDT_QX(ddt::platform::Window* parent)
    : CDT_IF(parent),
      m_pControl(std::make_unique<GridWindow>()),
      m_pHeaderCache(std::make_unique<ddt::engine::HeaderCache>()),
      m_HeaderCache(*m_pHeaderCache) {
  ddt::platform::NamedMutex& mutex = CreationMutex();
  // Without a lock file the control is still created; the lock only orders creations.
  const bool locked = mutex.Lock();
  // On failure the process ends here, still holding the mutex; the system releases it.
  if (!m_pControl->CreateControl(parent)) ddt::engine::FailControlCreation();
  RunCreationProbe();
  if (locked) mutex.Unlock();
}

CDT_QX::~CDT_QX() {
  m_HeaderCache.Clear();
  m_pControl->Destroy();
}

ddt::grid::Workbook* CDT_QX::GetBook() { return &m_pControl->Book(); }

// --- Operations without a screen: nothing to do ------------------------------------------

void CDT_QX::RegisterNotify(CDTNotify*) {}
void CDT_QX::LaunchDesigner() {}
void CDT_QX::FormatCellsDlg() {}
void CDT_QX::GotoDlg() {}
void CDT_QX::FindDlg() {}
void CDT_QX::DeleteDlg() {}
void CDT_QX::InsertDlg() {}
void CDT_QX::ReplaceDlg() {}
void CDT_QX::FilePrint(int) {}
void CDT_QX::FilePrintSetupDlg() {}
void CDT_QX::Resize(int, int, int, int) {}
void CDT_QX::AutoResizeColumns(int, int, int) {}
void CDT_QX::StartEdit() {}
void CDT_QX::RedrawWindow() {}
void CDT_QX::ShowActiveCell() {}
void CDT_QX::CancelEdit() {}
void CDT_QX::SetAllowDelete(int) {}
void CDT_QX::SetEnabled(bool) {}
void CDT_QX::InitView() {}
void CDT_QX::BlockModified(bool) {}
void CDT_QX::SetRowText(int, int, const char*) {}
void CDT_QX::SetPattern(short, uint32_t, uint32_t) {}

// --- Files -------------------------------------------------------------------------------

void CDT_QX::Open(const char* path) {
  m_nFileFormat = ddt::grid::io::kFileTypeAny;
  ddt::grid::Workbook& book = m_pControl->Book();
  m_nFileFormat = static_cast<short>(book.ReadFile(path, ddt::grid::io::kFileTypeAny));
  book.HoldHeaderRow();
  CreateHeader();
}

void CDT_QX::CreateHeader() {
  m_pControl->Book().HoldHeaderRow();  // row 1 of each sheet leaves the cells (once)
  m_HeaderCache.Clear();
  const long sheets = GetNumSheets();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    SetSheet(sheet);
    ddt::engine::TakeHeaderRow(m_pControl->Book(), /*trim=*/false, m_HeaderCache.Append());
  }
}

void CDT_QX::Save(const char* path) {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = m_pControl->Book();
  const int current = static_cast<int>(GetSheet());
  const long sheets = GetNumSheets();
  // A workbook built in memory has only data rows: its header rows are new and empty.
  book.HoldEmptyHeaderRow();
  // The names each sheet's header row gets; cells of unchanged names stay as read.
  std::vector<CStringList> names(static_cast<std::size_t>(sheets));
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    SetSheet(sheet);
    CStringList& list = names[static_cast<std::size_t>(sheet - 1)];
    const int lastCol = SavedHeaderCols(book);
    for (int col = 1; col <= lastCol; ++col)
      list.push_back(SavedName(m_HeaderCache.Find(sheet), book, col));
    PutHeaderRow(book, list);
  }
  // The header rows go back into the cells for the file, and out again afterwards; on
  // failure headings and cache stay as they were.
  book.ReleaseHeaderRow();
  try {
    book.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  } catch (...) {
    book.HoldHeaderRow();
    SetSheet(current);
    throw;
  }
  book.HoldHeaderRow();
  m_HeaderCache.Clear();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    SetSheet(sheet);
    const CStringList& list = names[static_cast<std::size_t>(sheet - 1)];
    SetHeadings(book, list);
    m_HeaderCache.Append() = list;
  }
  SetSheet(current);
}

void CDT_QX::OnModified(int sheet) {
  // A workbook that was never opened (or gained sheets behind the cache) still has a list
  // for each of its sheets, so that names given to its columns are not lost.
  const long sheets = GetNumSheets();
  if (sheet >= 1 && sheet <= sheets) m_HeaderCache.Ensure(static_cast<int>(sheets));
  if (sheet < 1 || static_cast<std::size_t>(sheet) > m_HeaderCache.Size()) return;
  SetSheet(sheet);
  ddt::engine::ReadHeadings(m_pControl->Book(), *m_HeaderCache.Edit(sheet));
  SetModified(1);
}

int CDT_QX::GetModified() { return m_pControl->Book().Modified() ? 1 : 0; }
void CDT_QX::SetModified(int modified) { m_pControl->Book().SetModified(modified != 0); }
void CDT_QX::SetShowTabs(bool show) { m_pControl->SetShowTabs(show); }

// --- Sheets: always read from the workbook, so they follow every change of its sheets -----

std::string CDT_QX::GetSheetName(int sheet) {
  const ddt::grid::Workbook& book = m_pControl->Book();
  if (sheet < 1 || sheet > book.SheetCount()) return {};
  return book.SheetName(sheet);
}

void CDT_QX::SetSheetName(int sheet, const char* name) {
  m_pControl->Book().SetSheetName(sheet, name);
}

long CDT_QX::GetNumSheets() { return m_pControl->Book().SheetCount(); }
void CDT_QX::SetNumSheets(long count) { m_pControl->Book().SetSheetCount(static_cast<int>(count)); }
long CDT_QX::GetSheet() { return m_pControl->Book().CurrentSheet(); }

void CDT_QX::SetSheet(int sheet) {
  ddt::grid::Workbook& book = m_pControl->Book();
  if (sheet != 0 && sheet != book.CurrentSheet()) book.SetCurrentSheet(sheet);
}

void CDT_QX::InsertSheets(int position, int count) {
  while (m_HeaderCache.Size() < static_cast<std::size_t>(GetNumSheets())) m_HeaderCache.Append();
  m_pControl->Book().InsertSheets(position, count);
  for (int i = 0; i < count; ++i) {
    const std::size_t index = static_cast<std::size_t>(position - 1);
    if (position >= 1 && index < m_HeaderCache.Size()) {
      m_HeaderCache.InsertEmptyAt(index);
      OnModified(position);
    } else {
      m_HeaderCache.Append();
      OnModified(static_cast<int>(GetNumSheets()));
    }
  }
  // One list per sheet, no more (OnModified may have filled the cache up already).
  m_HeaderCache.Truncate(static_cast<std::size_t>(GetNumSheets()));
}

void CDT_QX::DeleteSheets(int first, int count) {
  m_pControl->Book().DeleteSheets(first, count);
  if (first >= 1 && count > 0)
    m_HeaderCache.Erase(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(count));
}

// --- Header texts ------------------------------------------------------------------------

void CDT_QX::SetColText(int sheet, int col, const char* text) {
  m_pControl->Book().SetColHeading(col, text);
  OnModified(sheet);
}

CStringList* CDT_QX::GetHeaderList(int sheet) { return m_HeaderCache.Find(sheet); }

long CDT_QX::FindHeaderColumn(int sheet, const std::string& name) {
  return m_HeaderCache.IndexOf(sheet, name);
}

std::string CDT_QX::GetColText(int sheet, int col) {
  return ddt::engine::ColumnName(m_HeaderCache.Find(sheet), col);
}

// --- Cells -------------------------------------------------------------------------------

void CDT_QX::SetValue(int sheet, int row, int col, const char* text) {
  m_pControl->Book().SetEntry(sheet, row, col, text);
}
std::string CDT_QX::GetValue(int sheet, int row, int col) {
  return m_pControl->Book().GetEntry(sheet, row, col);
}
std::string CDT_QX::GetFormattedText(int sheet, int row, int col) {
  return m_pControl->Book().GetFormattedText(sheet, row, col);
}
void CDT_QX::SetFormula(int sheet, int row, int col, const char* formula) {
  m_pControl->Book().SetFormula(sheet, row, col, formula);
}
std::string CDT_QX::GetFormula(int sheet, int row, int col) {
  return m_pControl->Book().GetFormula(sheet, row, col);
}

// --- Selection and ranges ----------------------------------------------------------------

short CDT_QX::GetSelectionCount() {
  return static_cast<short>(m_pControl->Book().SelectionCount());
}

void CDT_QX::GetSelection(short index, int& firstRow, int& firstCol, int& lastRow,
                          int& lastCol) {
  const Range range = m_pControl->Book().GetSelection(index);
  firstRow = range.firstRow;
  firstCol = range.firstCol;
  lastRow = range.lastRow;
  lastCol = range.lastCol;
}

void CDT_QX::SetSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  m_pControl->Book().SetSelection(Range{firstRow, firstCol, lastRow, lastCol});
}
void CDT_QX::AddSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  m_pControl->Book().AddSelection(Range{firstRow, firstCol, lastRow, lastCol});
}

void CDT_QX::ClearRange(int firstRow, int firstCol, int lastRow, int lastCol,
                        DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind))
    m_pControl->Book().ClearRange(Range{firstRow, firstCol, lastRow, lastCol}, *what);
}
void CDT_QX::InsertRange(int firstRow, int firstCol, int lastRow, int lastCol,
                         DT_SHIFT_TYPE kind) {
  if (auto shift = ddt::engine::ShiftKind(kind))
    m_pControl->Book().InsertRange(Range{firstRow, firstCol, lastRow, lastCol}, *shift);
}
void CDT_QX::DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                         DT_SHIFT_TYPE kind) {
  // Only whole rows and whole columns are removed here.
  if (kind != DT_SHIFT_ROWS && kind != DT_SHIFT_COLUMNS) return;
  m_pControl->Book().DeleteRange(Range{firstRow, firstCol, lastRow, lastCol},
                                 *ddt::engine::ShiftKind(kind));
}

long CDT_QX::GetLastRow() { return ddt::engine::LastDataRow(m_pControl->Book()); }
long CDT_QX::GetLastCol() { return ddt::engine::LastHeaderCol(m_pControl->Book()); }
long CDT_QX::GetMaxRow() { return ddt::engine::kHeadlessMaxRow; }
long CDT_QX::GetMaxCol() { return ddt::engine::kHeadlessMaxCol; }

// --- Cursor, visibility and calculation --------------------------------------------------

void CDT_QX::SetActiveCell(int row, int col) { m_pControl->Book().SetActiveCell(row, col); }
void CDT_QX::GetActiveCell(int& row, int& col) { m_pControl->Book().GetActiveCell(&row, &col); }

void CDT_QX::SetRowHidden(int firstRow, int lastRow, bool hidden) {
  ddt::grid::Workbook& book = m_pControl->Book();
  book.SetRowsHidden(book.CurrentSheet(), firstRow, lastRow, hidden);
}
void CDT_QX::SetColHidden(int firstCol, int lastCol, bool hidden) {
  ddt::grid::Workbook& book = m_pControl->Book();
  book.SetColsHidden(book.CurrentSheet(), firstCol, lastCol, hidden);
}

void CDT_QX::Recalc() { m_pControl->Book().Recalc(); }
void CDT_QX::RecalcIfNeeded() { m_pControl->Book().RecalcIfNeeded(); }

// --- Formats -----------------------------------------------------------------------------

std::string CDT_QX::GetNumberFormat() { return m_pControl->Book().GetNumberFormat(); }
void CDT_QX::SetNumberFormat(const char* format) { m_pControl->Book().SetNumberFormat(format); }

void CDT_QX::GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) {
  uint16_t fill = 0;
  m_pControl->Book().GetPattern(&fill, &foreground, &background);
  pattern = static_cast<short>(fill);
}

uint32_t CDT_QX::GetFontColor() { return m_pControl->Book().GetFontColor(); }
void CDT_QX::SetFontColor(uint32_t color) { m_pControl->Book().SetFontColor(color); }

// --- Editing and clipboard ---------------------------------------------------------------

void CDT_QX::EditClear(DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind)) m_pControl->Book().EditClear(*what);
}
void CDT_QX::EditCut() { m_pControl->Book().EditCut(); }
void CDT_QX::EditCopy() { m_pControl->Book().EditCopy(); }
void CDT_QX::EditPaste() { m_pControl->Book().EditPaste(); }
void CDT_QX::EditDelete(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) m_pControl->Book().EditDelete(*shift);
}
void CDT_QX::EditInsert(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) m_pControl->Book().EditInsert(*shift);
}
