#include "engine/dt_f1.h"

#include <vector>

#include "engine/control_window.h"
#include "engine/engine_limits.h"
#include "engine/header_cache.h"
#include "engine/internal_sink.h"
#include "engine/kinds.h"
#include "engine/sheet_header.h"
#include "grid/io/file_type.h"

using ddt::engine::ColumnName;
using ddt::engine::ControlWindow;
using ddt::grid::Range;

namespace {

// Sets a flag for the lifetime of a scope and restores its previous value, on every path.
template <typename T>
class ValueScope {
 public:
  ValueScope(T& target, T value) : target_(target), previous_(target) { target_ = value; }
  ~ValueScope() { target_ = previous_; }
  ValueScope(const ValueScope&) = delete;
  ValueScope& operator=(const ValueScope&) = delete;

 private:
  T& target_;
  T previous_;
};

// Holds the control's block flag set for a scope and clears it at the end, on every path.
class BlockScope {
 public:
  explicit BlockScope(ControlWindow& control) : control_(control) { control_.SetBlocked(true); }
  ~BlockScope() { control_.SetBlocked(false); }
  BlockScope(const BlockScope&) = delete;
  BlockScope& operator=(const BlockScope&) = delete;

 private:
  ControlWindow& control_;
};

// Sets the block flag for a scope and puts back the value it had before.
class RestoringBlockScope {
 public:
  explicit RestoringBlockScope(ControlWindow& control)
      : control_(control), previous_(control.Blocked()) {
    control_.SetBlocked(true);
  }
  ~RestoringBlockScope() { control_.SetBlocked(previous_); }
  RestoringBlockScope(const RestoringBlockScope&) = delete;
  RestoringBlockScope& operator=(const RestoringBlockScope&) = delete;

 private:
  ControlWindow& control_;
  bool previous_;
};

// Hands a dialog request to the host's hooks; without a hook nothing happens.
void ShowDialog(const ddt::grid::Workbook& book, std::string_view dialog) {
  if (const auto& show = book.Ui().dialog) show(dialog);
}

}  // namespace

CDT_F1::CDT_F1(ddt::platform::Window* parent)
    : CDT_IF(parent),
      m_pControl(std::make_unique<ControlWindow>()),
      m_pHeaderCache(std::make_unique<ddt::engine::HeaderCache>()),
      m_HeaderCache(*m_pHeaderCache) {
  if (!m_pControl->CreateControl(parent)) ddt::engine::FailControlCreation();
  m_bInternalChange = 0;
  m_pInternalSink = std::make_unique<ddt::engine::InternalSink>(*this);
  m_pControl->SetFirstSink(m_pInternalSink.get());
}

CDT_F1::~CDT_F1() {
  // No notification may reach the sink while it and the cache go away.
  m_pControl->SetFirstSink(nullptr);
  m_pControl->SetSecondSink(nullptr);
  m_pInternalSink.reset();
  m_pControl->Destroy();
  m_HeaderCache.Clear();
}

ddt::grid::Workbook* CDT_F1::GetBook() { return &m_pControl->Book(); }

// --- View and dialogs --------------------------------------------------------------------

void CDT_F1::RegisterNotify(CDTNotify* notify) { m_pControl->SetSecondSink(notify); }
void CDT_F1::LaunchDesigner() { ShowDialog(m_pControl->Book(), "designer"); }
void CDT_F1::FormatCellsDlg() { ShowDialog(m_pControl->Book(), "format-cells"); }
void CDT_F1::GotoDlg() { ShowDialog(m_pControl->Book(), "goto"); }
void CDT_F1::FindDlg() { ShowDialog(m_pControl->Book(), "find"); }
void CDT_F1::DeleteDlg() { ShowDialog(m_pControl->Book(), "delete"); }
void CDT_F1::InsertDlg() { ShowDialog(m_pControl->Book(), "insert"); }
void CDT_F1::ReplaceDlg() { ShowDialog(m_pControl->Book(), "replace"); }
void CDT_F1::FilePrint(int flag) {
  if (const auto& print = m_pControl->Book().Ui().print) print(flag);
}
void CDT_F1::FilePrintSetupDlg() { ShowDialog(m_pControl->Book(), "print-setup"); }

void CDT_F1::Resize(int x, int y, int width, int height) {
  m_pControl->Move(x, y, width, height);  // keeps the Z order
}

void CDT_F1::AutoResizeColumns(int firstCol, int lastCol, int /*flag*/) {
  m_pControl->Book().FitColumns(Range{ddt::grid::kAll, firstCol, ddt::grid::kAll, lastCol});
}

void CDT_F1::StartEdit() { m_pControl->StartEdit(); }

void CDT_F1::RedrawWindow() {
  m_pControl->Invalidate();
  m_pControl->Update();
}

void CDT_F1::ShowActiveCell() { m_pControl->Book().ShowActiveCell(); }
void CDT_F1::CancelEdit() { m_pControl->CancelEdit(); }
void CDT_F1::SetAllowDelete(int allow) { m_pControl->SetAllowDelete(allow != 0); }
void CDT_F1::SetEnabled(bool enabled) { m_pControl->SetEnabled(enabled); }

void CDT_F1::InitView() {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = m_pControl->Book();
  {
    BlockScope block(*m_pControl);
    SetAllowDelete(1);
    book.SetFlag(kViewFlagInit, true);
    book.SetFlag(kViewFlagSheetsA, false);
    book.SetFlag(kViewFlagSheetsA, true);
    book.SetFlag(kViewFlagSheetsB, true);
    book.SetSetting(kViewSettingA, 1);
    book.SetSetting(kViewSettingB, 1);
    SetShowTabs(true);

    const int current = book.CurrentSheet();
    for (int sheet = book.SheetCount(); sheet >= 1; --sheet) {
      book.SetCurrentSheet(sheet);
      book.SetSetting(kViewSettingSheet, 1);
    }
    book.SetCurrentSheet(current);

    book.FitColumns(Range{ddt::grid::kAll, ddt::grid::kAll, ddt::grid::kAll, ddt::grid::kAll});
    RedrawWindow();
  }
  book.SetDefaultFont(kViewFontFace, kViewFontCharset, kViewFontSize);
}

// --- Files and change tracking -----------------------------------------------------------

void CDT_F1::Open(const char* path) {
  BlockScope block(*m_pControl);
  m_nFileFormat = ddt::grid::io::kFileTypeAny;
  ddt::grid::Workbook& book = m_pControl->Book();
  m_nFileFormat = static_cast<short>(book.ReadFile(path, ddt::grid::io::kFileTypeAny));
  book.HoldHeaderRow();
  CreateHeader();
  SetActiveCell(1, 1);
  m_bChanged = 0;
}

void CDT_F1::CreateHeader() {
  ddt::grid::Workbook& book = m_pControl->Book();
  // The headings change under way; no change event may touch the cache meanwhile.
  RestoringBlockScope block(*m_pControl);
  book.HoldHeaderRow();  // row 1 of each sheet leaves the cells (once)
  m_HeaderCache.Clear();
  const int sheets = book.SheetCount();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    book.SetCurrentSheet(sheet);
    ddt::engine::TakeHeaderRow(book, /*trim=*/true, m_HeaderCache.Append());
  }
}

void CDT_F1::Save(const char* path) {
  using namespace ddt::engine;
  BlockScope block(*m_pControl);
  ddt::grid::Workbook& book = m_pControl->Book();
  const int current = book.CurrentSheet();
  const int sheets = book.SheetCount();

  // A workbook built in memory has only data rows: its header rows are new and empty.
  book.HoldEmptyHeaderRow();
  // The names each sheet's header row gets; cells of unchanged names stay as read.
  std::vector<CStringList> names(static_cast<std::size_t>(sheets));
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    book.SetCurrentSheet(sheet);
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
    book.SetCurrentSheet(current);
    throw;
  }
  book.HoldHeaderRow();

  // Headings and cache as written, unnamed columns inside the span with their letters.
  m_HeaderCache.Clear();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    book.SetCurrentSheet(sheet);
    const CStringList& list = names[static_cast<std::size_t>(sheet - 1)];
    SetHeadings(book, list);
    m_HeaderCache.Append() = list;
  }
  book.SetCurrentSheet(current);
  m_bChanged = 0;
}

void CDT_F1::BlockModified(bool block) { m_pControl->SetBlocked(block); }

void CDT_F1::RefillCurrent(CStringList& names) {
  ddt::engine::ReadHeadings(m_pControl->Book(), names);
}

void CDT_F1::OnModified(int sheet) {
  if (sheet < 1) return;
  ddt::grid::Workbook& book = m_pControl->Book();
  const int sheets = book.SheetCount();
  if (m_HeaderCache.Size() != static_cast<std::size_t>(sheets)) {
    const int current = book.CurrentSheet();
    for (int n = 1; n <= sheets; ++n) {
      CStringList& names = m_HeaderCache.Ensure(n);
      book.SetCurrentSheet(n);
      RefillCurrent(names);
    }
    m_HeaderCache.Truncate(static_cast<std::size_t>(sheets));
    book.SetCurrentSheet(current);
  } else if (sheet == book.CurrentSheet()) {
    RefillCurrent(*m_HeaderCache.Edit(sheet));
  }
}

int CDT_F1::GetModified() { return m_pControl->Book().Modified() ? 1 : 0; }
void CDT_F1::SetModified(int modified) { m_pControl->Book().SetModified(modified != 0); }
void CDT_F1::SetShowTabs(bool show) { m_pControl->SetShowTabs(show); }

// --- Sheets ------------------------------------------------------------------------------

std::string CDT_F1::GetSheetName(int sheet) {
  const ddt::grid::Workbook& book = m_pControl->Book();
  if (sheet < 1 || sheet > book.SheetCount()) return {};
  return book.SheetName(sheet);
}

void CDT_F1::SetSheetName(int sheet, const char* name) {
  m_pControl->Book().SetSheetName(sheet, name);
}

long CDT_F1::GetNumSheets() { return m_pControl->Book().SheetCount(); }
void CDT_F1::SetNumSheets(long count) { m_pControl->Book().SetSheetCount(static_cast<int>(count)); }
long CDT_F1::GetSheet() { return m_pControl->Book().CurrentSheet(); }

void CDT_F1::SetSheet(int sheet) {
  ddt::grid::Workbook& book = m_pControl->Book();
  if (sheet != 0 && sheet != book.CurrentSheet()) book.SetCurrentSheet(sheet);
}

void CDT_F1::InsertSheets(int position, int count) {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = m_pControl->Book();
  while (m_HeaderCache.Size() < static_cast<std::size_t>(book.SheetCount())) m_HeaderCache.Append();

  book.InsertSheets(position, count);
  for (int sheet = position + count - 1; sheet >= position; --sheet) {
    book.SetCurrentSheet(sheet);
    book.SetSetting(kViewSettingSheet, 1);
  }
  book.SetFlag(kViewFlagSheetsA, true);
  book.SetFlag(kViewFlagSheetsB, true);

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
}

void CDT_F1::DeleteSheets(int first, int count) {
  ValueScope<int> internal(m_bInternalChange, 1);
  m_pControl->Book().DeleteSheets(first, count);
  if (first >= 1 && count > 0)
    m_HeaderCache.Erase(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(count));
}

// --- Header texts ------------------------------------------------------------------------

void CDT_F1::SetColText(int sheet, int col, const char* text) {
  m_pControl->Book().SetColHeading(col, text);
  OnModified(sheet);
}

void CDT_F1::SetRowText(int /*sheet*/, int row, const char* text) {
  m_pControl->Book().SetRowHeading(row, text);
}

CStringList* CDT_F1::GetHeaderList(int sheet) { return m_HeaderCache.Find(sheet); }

long CDT_F1::FindHeaderColumn(int sheet, const std::string& name) {
  return m_HeaderCache.IndexOf(sheet, name);
}

std::string CDT_F1::GetColText(int sheet, int col) {
  return ColumnName(m_HeaderCache.Find(sheet), col);
}

// --- Cells -------------------------------------------------------------------------------

void CDT_F1::SetValue(int sheet, int row, int col, const char* text) {
  m_pControl->Book().SetEntry(sheet, row, col, text);
}
std::string CDT_F1::GetValue(int sheet, int row, int col) {
  return m_pControl->Book().GetEntry(sheet, row, col);
}
std::string CDT_F1::GetFormattedText(int sheet, int row, int col) {
  return m_pControl->Book().GetFormattedText(sheet, row, col);
}
void CDT_F1::SetFormula(int sheet, int row, int col, const char* formula) {
  m_pControl->Book().SetFormula(sheet, row, col, formula);
}
std::string CDT_F1::GetFormula(int sheet, int row, int col) {
  return m_pControl->Book().GetFormula(sheet, row, col);
}

// --- Selection and ranges ----------------------------------------------------------------

short CDT_F1::GetSelectionCount() {
  return static_cast<short>(m_pControl->Book().SelectionCount());
}

void CDT_F1::GetSelection(short index, int& firstRow, int& firstCol, int& lastRow,
                          int& lastCol) {
  const Range range = m_pControl->Book().GetSelection(index);
  firstRow = range.firstRow;
  firstCol = range.firstCol;
  lastRow = range.lastRow;
  lastCol = range.lastCol;
}

void CDT_F1::SetSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  m_pControl->Book().SetSelection(Range{firstRow, firstCol, lastRow, lastCol});
}
void CDT_F1::AddSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  m_pControl->Book().AddSelection(Range{firstRow, firstCol, lastRow, lastCol});
}

void CDT_F1::ClearRange(int firstRow, int firstCol, int lastRow, int lastCol,
                        DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind))
    m_pControl->Book().ClearRange(Range{firstRow, firstCol, lastRow, lastCol}, *what);
}
void CDT_F1::InsertRange(int firstRow, int firstCol, int lastRow, int lastCol,
                         DT_SHIFT_TYPE kind) {
  if (auto shift = ddt::engine::ShiftKind(kind))
    m_pControl->Book().InsertRange(Range{firstRow, firstCol, lastRow, lastCol}, *shift);
}
void CDT_F1::DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                         DT_SHIFT_TYPE kind) {
  if (auto shift = ddt::engine::ShiftKind(kind))
    m_pControl->Book().DeleteRange(Range{firstRow, firstCol, lastRow, lastCol}, *shift);
}

long CDT_F1::GetLastRow() { return ddt::engine::LastDataRow(m_pControl->Book()); }
long CDT_F1::GetLastCol() { return ddt::engine::LastHeaderCol(m_pControl->Book()); }
long CDT_F1::GetMaxRow() { return m_pControl->Book().MaxRow(); }
long CDT_F1::GetMaxCol() { return m_pControl->Book().MaxCol(); }

// --- Cursor, visibility and calculation --------------------------------------------------

void CDT_F1::SetActiveCell(int row, int col) { m_pControl->Book().SetActiveCell(row, col); }
void CDT_F1::GetActiveCell(int& row, int& col) { m_pControl->Book().GetActiveCell(&row, &col); }

void CDT_F1::SetRowHidden(int firstRow, int lastRow, bool hidden) {
  ddt::grid::Workbook& book = m_pControl->Book();
  book.SetRowsHidden(book.CurrentSheet(), firstRow, lastRow, hidden);
}
void CDT_F1::SetColHidden(int firstCol, int lastCol, bool hidden) {
  ddt::grid::Workbook& book = m_pControl->Book();
  book.SetColsHidden(book.CurrentSheet(), firstCol, lastCol, hidden);
}

void CDT_F1::Recalc() { m_pControl->Book().Recalc(); }
void CDT_F1::RecalcIfNeeded() { m_pControl->Book().RecalcIfNeeded(); }

// --- Formats -----------------------------------------------------------------------------

std::string CDT_F1::GetNumberFormat() { return m_pControl->Book().GetNumberFormat(); }
void CDT_F1::SetNumberFormat(const char* format) { m_pControl->Book().SetNumberFormat(format); }

void CDT_F1::GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) {
  uint16_t fill = 0;
  m_pControl->Book().GetPattern(&fill, &foreground, &background);
  pattern = static_cast<short>(fill);
}

void CDT_F1::SetPattern(short pattern, uint32_t foreground, uint32_t background) {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = m_pControl->Book();
  book.SetPattern(static_cast<uint16_t>(pattern), foreground, background);
  book.SetBorders(kFillBorderStyle, kFillBorderStyle, kFillBorderStyle, kFillBorderStyle,
                  kFillBorderStyle, kFillBorderColor, kFillBorderColor, kFillBorderColor,
                  kFillBorderColor, kFillBorderColor);
}

uint32_t CDT_F1::GetFontColor() { return m_pControl->Book().GetFontColor(); }
void CDT_F1::SetFontColor(uint32_t color) { m_pControl->Book().SetFontColor(color); }

// --- Editing and clipboard ---------------------------------------------------------------

void CDT_F1::EditClear(DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind)) m_pControl->Book().EditClear(*what);
}
void CDT_F1::EditCut() { m_pControl->Book().EditCut(); }
void CDT_F1::EditCopy() { m_pControl->Book().EditCopy(); }
void CDT_F1::EditPaste() { m_pControl->Book().EditPaste(); }
void CDT_F1::EditDelete(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) m_pControl->Book().EditDelete(*shift);
}
void CDT_F1::EditInsert(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) m_pControl->Book().EditInsert(*shift);
}
