#include "ddtable/dt_grid.h"

#include <vector>

#include "engine/grid_window.h"
#include "engine/header_cache.h"
#include "engine/kinds.h"
#include "engine/sheet_header.h"
#include "grid/io/file_type.h"

using ddt::grid::Range;

namespace {

// Sets a value for the lifetime of a scope and restores its previous value, on every path.
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

}  // namespace

CDT_GRID::CDT_GRID(ddt::platform::Window* parent, std::unique_ptr<ddt::engine::GridWindow> window)
    : CDT_IF(parent),
      m_pHost(std::move(window)),
      m_pHeaderCache(std::make_unique<ddt::engine::HeaderCache>()),
      m_HeaderCache(*m_pHeaderCache) {}

CDT_GRID::~CDT_GRID() {
  m_pHost->Destroy();
  m_HeaderCache.Clear();
}

ddt::grid::Workbook& CDT_GRID::Book() { return m_pHost->Book(); }

// --- Files and change tracking -----------------------------------------------------------

void CDT_GRID::Open(const char* path) {
  m_nFileFormat = ddt::grid::io::kFileTypeAny;
  // Read with the header row held: row 1 of each sheet lands at row 0, no second pass.
  m_nFileFormat = static_cast<short>(Book().ReadFile(path, ddt::grid::io::kFileTypeAny, 1));
  Host().View().Reset();  // the sheets read have their first cell selected
  CreateHeader();
}

void CDT_GRID::CreateHeader() {
  ddt::grid::Workbook& book = Book();
  book.HoldHeaderRow();  // row 1 of each sheet leaves the cells (once)
  m_HeaderCache.Clear();
  const int sheets = book.SheetCount();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    book.SetCurrentSheet(sheet);
    ddt::engine::TakeHeaderRow(book, TrimsHeaderNames(), m_HeaderCache.Append());
  }
}

void CDT_GRID::Save(const char* path) {
  using namespace ddt::engine;
  ddt::grid::Workbook& book = Book();
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

  // The writer puts each held header row at the file's row 1 and data row r at row r + 1;
  // no cell moves. On failure headings and cache stay as they were.
  try {
    book.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  } catch (...) {
    book.SetCurrentSheet(current);
    throw;
  }

  // Headings and cache as written, unnamed columns inside the span with their letters.
  m_HeaderCache.Clear();
  for (int sheet = 1; sheet <= sheets; ++sheet) {
    book.SetCurrentSheet(sheet);
    const CStringList& list = names[static_cast<std::size_t>(sheet - 1)];
    SetHeadings(book, list);
    m_HeaderCache.Append() = list;
  }
  book.SetCurrentSheet(current);
}

int CDT_GRID::GetModified() { return Book().Modified() ? 1 : 0; }
void CDT_GRID::SetModified(int modified) { Book().SetModified(modified != 0); }
void CDT_GRID::SetShowTabs(bool show) { m_pHost->SetShowTabs(show); }

// --- Sheets ------------------------------------------------------------------------------

std::string CDT_GRID::GetSheetName(int sheet) {
  const ddt::grid::Workbook& book = Book();
  if (sheet < 1 || sheet > book.SheetCount()) return {};
  return book.SheetName(sheet);
}

void CDT_GRID::SetSheetName(int sheet, const char* name) { Book().SetSheetName(sheet, name); }
long CDT_GRID::GetNumSheets() { return Book().SheetCount(); }
void CDT_GRID::SetNumSheets(long count) { Book().SetSheetCount(static_cast<int>(count)); }
long CDT_GRID::GetSheet() { return Book().CurrentSheet(); }

void CDT_GRID::SetSheet(int sheet) {
  ddt::grid::Workbook& book = Book();
  if (sheet != 0 && sheet != book.CurrentSheet()) book.SetCurrentSheet(sheet);
}

void CDT_GRID::InsertSheets(int position, int count) {
  ddt::grid::Workbook& book = Book();
  while (m_HeaderCache.Size() < static_cast<std::size_t>(book.SheetCount())) m_HeaderCache.Append();
  book.InsertSheets(position, count);
  SetUpInsertedSheets(position, count);
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
  m_HeaderCache.Truncate(static_cast<std::size_t>(book.SheetCount()));
}

void CDT_GRID::DeleteSheets(int first, int count) {
  // The grid's change events must not refresh the cache while its lists still stand for
  // the sheets before the deletion.
  ValueScope<int> internal(m_bInternalChange, 1);
  Book().DeleteSheets(first, count);
  if (first >= 1 && count > 0)
    m_HeaderCache.Erase(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(count));
}

// --- Header texts ------------------------------------------------------------------------

void CDT_GRID::SetColText(int sheet, int col, const char* text) {
  Book().SetColHeading(col, text);
  OnModified(sheet);
}

CStringList* CDT_GRID::GetHeaderList(int sheet) { return m_HeaderCache.Find(sheet); }

long CDT_GRID::FindHeaderColumn(int sheet, const std::string& name) {
  return m_HeaderCache.IndexOf(sheet, name);
}

std::string CDT_GRID::GetColText(int sheet, int col) {
  return ddt::engine::ColumnName(m_HeaderCache.Find(sheet), col);
}

// --- Cells -------------------------------------------------------------------------------

void CDT_GRID::SetValue(int sheet, int row, int col, const char* text) {
  Book().SetEntry(sheet, row, col, text);
}
std::string CDT_GRID::GetValue(int sheet, int row, int col) {
  return Book().GetEntry(sheet, row, col);
}
std::string CDT_GRID::GetFormattedText(int sheet, int row, int col) {
  return Book().GetFormattedText(sheet, row, col);
}
void CDT_GRID::SetFormula(int sheet, int row, int col, const char* formula) {
  Book().SetFormula(sheet, row, col, formula);
}
std::string CDT_GRID::GetFormula(int sheet, int row, int col) {
  return Book().GetFormula(sheet, row, col);
}

// --- Selection and ranges ----------------------------------------------------------------

short CDT_GRID::GetSelectionCount() { return static_cast<short>(Host().View().SelectionCount()); }

void CDT_GRID::GetSelection(short index, int& firstRow, int& firstCol, int& lastRow,
                            int& lastCol) {
  const Range range = Host().View().GetSelection(index);
  firstRow = range.firstRow;
  firstCol = range.firstCol;
  lastRow = range.lastRow;
  lastCol = range.lastCol;
}

void CDT_GRID::SetSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  Host().View().SetSelection(Range{firstRow, firstCol, lastRow, lastCol});
}
void CDT_GRID::AddSelection(int firstRow, int firstCol, int lastRow, int lastCol) {
  Host().View().AddSelection(Range{firstRow, firstCol, lastRow, lastCol});
}

void CDT_GRID::ClearRange(int firstRow, int firstCol, int lastRow, int lastCol,
                          DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind))
    Book().ClearRange(Range{firstRow, firstCol, lastRow, lastCol}, *what);
}
void CDT_GRID::InsertRange(int firstRow, int firstCol, int lastRow, int lastCol,
                           DT_SHIFT_TYPE kind) {
  if (auto shift = ddt::engine::ShiftKind(kind))
    Book().InsertRange(Range{firstRow, firstCol, lastRow, lastCol}, *shift);
}
void CDT_GRID::DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                           DT_SHIFT_TYPE kind) {
  if (auto shift = ddt::engine::ShiftKind(kind))
    Book().DeleteRange(Range{firstRow, firstCol, lastRow, lastCol}, *shift);
}

long CDT_GRID::GetLastRow() { return ddt::engine::LastDataRow(Book()); }
long CDT_GRID::GetLastCol() { return ddt::engine::LastHeaderCol(Book()); }
long CDT_GRID::GetMaxRow() { return Book().MaxRow(); }
long CDT_GRID::GetMaxCol() { return Book().MaxCol(); }

// --- Cursor, visibility and calculation --------------------------------------------------

void CDT_GRID::SetActiveCell(int row, int col) { Host().View().SetActiveCell(row, col); }
void CDT_GRID::GetActiveCell(int& row, int& col) { Host().View().GetActiveCell(&row, &col); }

void CDT_GRID::SetRowHidden(int firstRow, int lastRow, bool hidden) {
  Book().SetRowsHidden(Book().CurrentSheet(), firstRow, lastRow, hidden);
}
void CDT_GRID::SetColHidden(int firstCol, int lastCol, bool hidden) {
  Book().SetColsHidden(Book().CurrentSheet(), firstCol, lastCol, hidden);
}

void CDT_GRID::Recalc() { Book().Recalc(); }
void CDT_GRID::RecalcIfNeeded() { Book().RecalcIfNeeded(); }

// --- Formats -----------------------------------------------------------------------------

std::string CDT_GRID::GetNumberFormat() { return Host().View().GetNumberFormat(); }
void CDT_GRID::SetNumberFormat(const char* format) { Host().View().SetNumberFormat(format); }

void CDT_GRID::GetPattern(short& pattern, uint32_t& foreground, uint32_t& background) {
  uint16_t fill = 0;
  Host().View().GetPattern(&fill, &foreground, &background);
  pattern = static_cast<short>(fill);
}

uint32_t CDT_GRID::GetFontColor() { return Host().View().GetFontColor(); }
void CDT_GRID::SetFontColor(uint32_t color) { Host().View().SetFontColor(color); }

CDT_IF::ColumnLook CDT_GRID::GetColumnLook(int sheet, int col) {
  // Row 1: the cell that is active when the whole column is selected.
  const ddt::grid::Style& style = Book().CellStyle(sheet, 1, col);
  ColumnLook look;
  look.pattern = static_cast<short>(style.pattern);
  look.foreground = style.patternFg;
  look.background = style.patternBg;
  look.fontColor = style.fontColor;
  look.numberFormat = style.numberFormat;
  return look;
}

// --- Editing and clipboard ---------------------------------------------------------------

void CDT_GRID::EditClear(DT_CLEAR_TYPE kind) {
  if (auto what = ddt::engine::ClearKind(kind)) Host().View().EditClear(*what);
}
void CDT_GRID::EditCut() { Host().View().EditCut(); }
void CDT_GRID::EditCopy() { Host().View().EditCopy(); }
void CDT_GRID::EditPaste() { Host().View().EditPaste(); }
void CDT_GRID::EditDelete(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) Host().View().EditDelete(*shift);
}
void CDT_GRID::EditInsert(int kind) {
  if (auto shift = ddt::engine::ShiftKind(kind)) Host().View().EditInsert(*shift);
}
