#include "ddtable/dt_f1.h"

#include "engine/control_window.h"
#include "engine/engine_limits.h"
#include "engine/header_cache.h"
#include "engine/internal_sink.h"
#include "engine/sheet_header.h"

using ddt::engine::ControlWindow;
using ddt::grid::Range;

namespace {

// Holds the control's block flag set for a scope; at the end the flag becomes `after`, on
// every path.
class BlockScope {
 public:
  BlockScope(ControlWindow& control, bool after) : control_(control), after_(after) {
    control_.SetBlocked(true);
  }
  ~BlockScope() { control_.SetBlocked(after_); }
  BlockScope(const BlockScope&) = delete;
  BlockScope& operator=(const BlockScope&) = delete;

 private:
  ControlWindow& control_;
  bool after_;
};

// Hands a dialog request to the host's hooks; without a hook nothing happens.
void ShowDialog(const ddt::grid::Workbook& book, std::string_view dialog) {
  if (const auto& show = book.Ui().dialog) show(dialog);
}

}  // namespace

CDT_F1::CDT_F1(ddt::platform::Window* parent)
    : CDT_GRID(parent, std::make_unique<ControlWindow>()),
      m_pControl(static_cast<ControlWindow*>(&Host())) {
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
}

// --- View and dialogs --------------------------------------------------------------------

void CDT_F1::RegisterNotify(CDTNotify* notify) { m_pControl->SetSecondSink(notify); }
void CDT_F1::LaunchDesigner() { ShowDialog(Book(), "designer"); }
void CDT_F1::FormatCellsDlg() { ShowDialog(Book(), "format-cells"); }
void CDT_F1::GotoDlg() { ShowDialog(Book(), "goto"); }
void CDT_F1::FindDlg() { ShowDialog(Book(), "find"); }
void CDT_F1::DeleteDlg() { ShowDialog(Book(), "delete"); }
void CDT_F1::InsertDlg() { ShowDialog(Book(), "insert"); }
void CDT_F1::ReplaceDlg() { ShowDialog(Book(), "replace"); }
void CDT_F1::FilePrint(int flag) {
  if (const auto& print = Book().Ui().print) print(flag);
}
void CDT_F1::FilePrintSetupDlg() { ShowDialog(Book(), "print-setup"); }

void CDT_F1::Resize(int x, int y, int width, int height) {
  m_pControl->Move(x, y, width, height);  // keeps the Z order
}

void CDT_F1::AutoResizeColumns(int firstCol, int lastCol, int /*flag*/) {
  Book().FitColumns(Range{ddt::grid::kAll, firstCol, ddt::grid::kAll, lastCol});
}

void CDT_F1::StartEdit() { m_pControl->StartEdit(); }

void CDT_F1::RedrawWindow() {
  m_pControl->Invalidate();
  m_pControl->Update();
}

void CDT_F1::ShowActiveCell() {}  // no screen to scroll
void CDT_F1::CancelEdit() { m_pControl->CancelEdit(); }
void CDT_F1::SetAllowDelete(int allow) { m_pControl->SetAllowDelete(allow != 0); }
void CDT_F1::SetEnabled(bool enabled) { m_pControl->SetEnabled(enabled); }

void CDT_F1::InitView() {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = Book();
  {
    BlockScope block(*m_pControl, false);
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

void CDT_F1::SetUpInsertedSheets(int position, int count) {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = Book();
  for (int sheet = position + count - 1; sheet >= position; --sheet) {
    book.SetCurrentSheet(sheet);
    book.SetSetting(kViewSettingSheet, 1);
  }
  book.SetFlag(kViewFlagSheetsA, true);
  book.SetFlag(kViewFlagSheetsB, true);
}

// --- Files and change tracking -----------------------------------------------------------

void CDT_F1::Open(const char* path) {
  BlockScope block(*m_pControl, false);
  CDT_GRID::Open(path);
  SetActiveCell(1, 1);
  m_bChanged = 0;
}

void CDT_F1::CreateHeader() {
  // The headings change under way; no change event may touch the cache meanwhile.
  BlockScope block(*m_pControl, m_pControl->Blocked());
  CDT_GRID::CreateHeader();
}

void CDT_F1::Save(const char* path) {
  BlockScope block(*m_pControl, false);
  CDT_GRID::Save(path);
  m_bChanged = 0;
}

void CDT_F1::BlockModified(bool block) { m_pControl->SetBlocked(block); }

void CDT_F1::OnModified(int sheet) {
  if (sheet < 1) return;
  ddt::grid::Workbook& book = Book();
  const int sheets = book.SheetCount();
  if (m_HeaderCache.Size() != static_cast<std::size_t>(sheets)) {
    const int current = book.CurrentSheet();
    for (int n = 1; n <= sheets; ++n) {
      CStringList& names = m_HeaderCache.Ensure(n);
      book.SetCurrentSheet(n);
      ddt::engine::ReadHeadings(book, names);
    }
    m_HeaderCache.Truncate(static_cast<std::size_t>(sheets));
    book.SetCurrentSheet(current);
  } else if (sheet == book.CurrentSheet()) {
    ddt::engine::ReadHeadings(book, *m_HeaderCache.Edit(sheet));
  }
}

// --- Header texts and formats ------------------------------------------------------------

void CDT_F1::SetRowText(int /*sheet*/, int row, const char* text) {
  Book().SetRowHeading(row, text);
}

void CDT_F1::SetPattern(short pattern, uint32_t foreground, uint32_t background) {
  using namespace ddt::engine;
  ddt::engine::SheetView& view = Host().View();
  view.SetPattern(static_cast<uint16_t>(pattern), foreground, background);
  view.SetBorders(kFillBorderStyle, kFillBorderStyle, kFillBorderStyle, kFillBorderStyle,
                  kFillBorderStyle, kFillBorderColor, kFillBorderColor, kFillBorderColor,
                  kFillBorderColor, kFillBorderColor);
}
