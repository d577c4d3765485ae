// CDT: construction, files, sheets and the header row.
#include <algorithm>
#include <stdexcept>

#include "engine/dt_f1.h"
#include "engine/dt_qx.h"
#include "grid/workbook.h"
#include "table/cdt.h"
#include "table/engine_call.h"

using ddt::platform::Window;
using ddt::table::TryEngine;

namespace {

// This table's window: child id 1 of the host, at (0, 0, 500, 500).
constexpr int kTableWindowId = 1;
constexpr ddt::platform::Rect kTableWindowRect{0, 0, 500, 500};

// The name the grid gives a new workbook's sheet; an empty workbook is one blank "Sheet1".
constexpr const char* kPlaceholderSheet = "Sheet1";

// A sheet name consisting of this one byte reads as empty in GetSheetList.
constexpr const char* kBlankSheetName = "\xFF";

// The host window a table makes when the caller gives none: an interactive table lives in
// the modeless dialog the host registered as template 418 (with a system menu), a headless
// one in a hidden frame. Without that template an interactive table falls back to a hidden
// frame too, so that its window and engine always have a created parent.
Window* CreateHostWindow(CDT::DT_TYPE type) {
  auto* host = new Window;
  bool created = false;
  if (type == CDT::DT_TYPE_F1)
    created = host->CreateDialog(ddt::platform::kDataTableDialogTemplate, nullptr,
                                 ddt::platform::WS_SYSMENU);
  if (!created) host->CreateFrame();
  return host;
}

}  // namespace

CDT::CDT(Window* parent, DT_TYPE type, const std::string& fileName) : m_nType(type) {
  if (type != DT_TYPE_F1 && type != DT_TYPE_QX)
    throw std::invalid_argument("CDT: DT_TYPE must be 0 or 1");
  if (parent != nullptr) {
    m_pHostWnd = parent;
  } else {
    m_pOwnHostWnd = CreateHostWindow(type);
    m_pHostWnd = m_pOwnHostWnd;
  }
  // A parent that is not (or no longer) a created window cannot hold a child; the table's
  // window then stands alone rather than leaving the engine without a parent.
  if (!Create(m_pHostWnd, ddt::platform::WS_CHILD | ddt::platform::WS_VISIBLE,
              kTableWindowRect, kTableWindowId))
    Create(nullptr, ddt::platform::WS_VISIBLE, kTableWindowRect, kTableWindowId);
  try {
    if (type == DT_TYPE_F1)
      m_pEngine = new CDT_F1(this);
    else
      m_pEngine = new CDT_QX(this);
    Open(fileName);
  } catch (...) {
    delete m_pEngine;
    Destroy();
    delete m_pOwnHostWnd;
    throw;
  }
}

CDT::~CDT() {
  delete m_pEngine;
  m_pEngine = nullptr;
  Destroy();
  delete m_pOwnHostWnd;
  m_pOwnHostWnd = nullptr;
  m_pHostWnd = nullptr;
}

// --- File ---------------------------------------------------------------------------------

int CDT::Open(const std::string& fileName) {
  if (!fileName.empty()) {
    m_strFileName = fileName;
    if (!TryEngine([&] { m_pEngine->Open(fileName.c_str()); })) return -1;
  } else {
    DeleteSheets(1, static_cast<int>(GetNumSheets()));
    // A new workbook's rows are data rows from the start, as an opened one's are: row 1 of
    // the file it will be saved to lies above them (ROW() and copied formulas agree).
    if (ddt::grid::Workbook* book = m_pEngine->GetBook()) book->HoldEmptyHeaderRow();
    m_pEngine->m_bChanged = 0;
  }
  m_pEngine->SetModified(0);
  return 0;
}

int CDT::Save(const std::string& fileName, int setName) {
  if (m_pEngine->m_bChanged == 0 && m_pEngine->GetModified() == 0 &&
      (fileName.empty() || fileName == m_strFileName))
    return 0;
  std::string target = m_strFileName;
  if (!fileName.empty()) {
    target = fileName;
    if (setName != 0) m_strFileName = fileName;
  }
  if (target.empty()) return -1;
  if (IsCreated()) m_pEngine->CancelEdit();

  CDTNotify* sink = m_pNotify;
  UnRegisterNotify();
  bool written = TryEngine([&] { m_pEngine->Save(target.c_str()); });
  RegisterNotify(sink);
  // A failed write leaves the workbook changed: otherwise the next Save under this name
  // would find nothing to write and report success while the file holds older data.
  m_pEngine->SetModified(written ? 0 : 1);
  return written ? 0 : -1;
}

std::string CDT::GetFileName() { return m_strFileName; }

void CDT::SetFileName(const std::string& fileName) { m_strFileName = fileName; }

void CDT::Resize(int x, int y, int width, int height) {
  Move(x, y, width, height);
  m_pEngine->Resize(0, 0, width, height);
}

// --- Sheets -------------------------------------------------------------------------------

long CDT::GetNumSheets() { return m_pEngine->GetNumSheets(); }

long CDT::GetSheetIndex(const std::string& sheetName) {
  long count = GetNumSheets();
  for (long i = 1; i <= count; ++i)
    if (m_pEngine->GetSheetName(static_cast<int>(i)) == sheetName) return i;
  return 0;
}

std::string CDT::GetSheetName(long sheet) {
  if (sheet == 0) sheet = m_pEngine->GetSheet();
  if (sheet < 1 || sheet > GetNumSheets()) return {};
  return m_pEngine->GetSheetName(static_cast<int>(sheet));
}

const CStringList& CDT::GetSheetList() {
  m_SheetList.clear();
  long count = GetNumSheets();
  for (long i = 1; i <= count; ++i) {
    std::string name = m_pEngine->GetSheetName(static_cast<int>(i));
    if (name == kBlankSheetName) name.clear();
    m_SheetList.push_back(std::move(name));
  }
  return m_SheetList;
}

int CDT::SetSheet(const std::string& sheetName) {
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) return -1;
  m_pEngine->SetSheet(static_cast<int>(sheet));
  return 0;
}

int CDT::SetSheetName(const std::string& oldName, const std::string& newName) {
  long sheet = oldName.empty() ? m_pEngine->GetSheet() : GetSheetIndex(oldName);
  if (sheet < 1 || sheet > GetNumSheets()) return -1;
  if (GetSheetIndex(newName) != 0) return -1;
  return TryEngine([&] { m_pEngine->SetSheetName(static_cast<int>(sheet), newName.c_str()); })
             ? 0
             : -1;
}

int CDT::InsertSheets(int position, int count) {
  // Every caller inserts one sheet; one is what this inserts, whatever the count.
  long sheets = GetNumSheets();
  if (position > sheets + 1) return -1;
  int at = position <= 0 ? static_cast<int>(sheets) + 1 : position;
  m_pEngine->InsertSheets(at, 1);

  // A new workbook's placeholder sheet gives way to the first real one. Only a blank
  // "Sheet1" is a placeholder: a sheet of that name with data or header texts is the
  // user's and stays.
  int placeholder = position == 1 ? 2 : 1;
  if (placeholder > GetNumSheets() ||
      m_pEngine->GetSheetName(placeholder) != kPlaceholderSheet)
    return 0;
  bool blank = true;
  if (const CStringList* header = m_pEngine->GetHeaderList(placeholder))
    for (const std::string& text : *header)
      if (!text.empty()) blank = false;
  if (blank) {
    m_pEngine->GetBook()->ForEachCell(placeholder, [&](int, int, const ddt::grid::Cell& cell) {
      if (cell.formula || !ddt::grid::IsEmpty(cell.value)) blank = false;
    });
  }
  if (blank) m_pEngine->DeleteSheets(placeholder, 1);
  return 0;
}

int CDT::DeleteSheets(int first, int count) {
  long sheets = GetNumSheets();
  if (first < 1 || count < 1 || static_cast<long>(first) + count - 1 > sheets) return -1;
  if (count == sheets) {
    // A workbook keeps at least one sheet: a blank one takes the place of all deleted.
    m_pEngine->InsertSheets(static_cast<int>(sheets) + 1, 1);
    m_pEngine->DeleteSheets(first, count);
    m_pEngine->SetSheetName(1, kPlaceholderSheet);
  } else {
    m_pEngine->DeleteSheets(first, count);
  }
  return 0;
}

int CDT::DeleteSheet(const std::string& sheetName) {
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) return -1;
  return DeleteSheets(static_cast<int>(sheet), 1);
}

int CDT::NewSheet(const std::string& sheetName) {
  if (sheetName.empty()) return -2;
  if (GetSheetIndex(sheetName) != 0) return -1;
  InsertSheets(0, 1);
  long last = GetNumSheets();
  TryEngine([&] { m_pEngine->SetSheetName(static_cast<int>(last), sheetName.c_str()); });
  return GetSheetIndex(sheetName) != 0 ? 0 : -2;
}

long CDT::GetRequestedSheets(long sheet, long& first, long& last, long& current) {
  current = m_pEngine->GetSheet();
  long sheets = GetNumSheets();
  if (sheet == 0) {
    first = 1;
    last = sheets;
    return 0;
  }
  if (sheet < 0 || sheet > sheets) return -1;
  first = last = sheet;
  return 0;
}

bool CDT::SwitchToSheet(long sheet) {
  if (sheet == 0) return true;
  if (sheet < 0 || sheet > GetNumSheets()) return false;
  if (sheet != m_pEngine->GetSheet()) m_pEngine->SetSheet(static_cast<int>(sheet));
  return true;
}

void CDT::RefreshHeader() { m_pEngine->OnModified(static_cast<int>(m_pEngine->GetSheet())); }

// --- Header row ---------------------------------------------------------------------------

CStringList* CDT::GetHeaderList(const std::string& sheetName) {
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) return nullptr;
  return m_pEngine->GetHeaderList(static_cast<int>(sheet));
}

long CDT::GetColIndex(const std::string& paramName, long sheet) {
  // The sheet is found by name (through the members a derived workbook may replace), so a
  // sheet whose name an earlier sheet also has stands for that earlier one.
  const long index = GetSheetIndex(GetSheetName(sheet));
  if (index == 0) return -1;
  return m_pEngine->FindHeaderColumn(static_cast<int>(index), paramName);
}

int CDT::ParamExists(const std::string& paramName, long sheet) {
  return GetColIndex(paramName, sheet) > 0 ? 1 : 0;
}

std::string CDT::GetHeader(const std::string& sheetName, long col) {
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0 || col < 1) return {};
  std::string text;
  TryEngine([&] { text = m_pEngine->GetColText(static_cast<int>(sheet), static_cast<int>(col)); });
  return text;
}

int CDT::HeaderValidityCheck(const CStringList* expected, const std::string& sheetName) {
  const CStringList* header = GetHeaderList(sheetName);
  if (header == nullptr || expected == nullptr) return -1;
  size_t n = std::max(header->size(), expected->size());
  for (size_t i = 0; i < n; ++i) {
    if (i >= header->size() || i >= expected->size() || (*header)[i] != (*expected)[i])
      return static_cast<int>(i) + 1;
  }
  return 0;
}

void CDT::SetColHidden(const std::string& paramName, bool hidden) {
  long col = GetColIndex(paramName, 0);
  if (col < 1) return;
  m_pEngine->SetColHidden(static_cast<int>(col), static_cast<int>(col), hidden);
}

int CDT::SetActiveCell(long row, const std::string& paramName, long sheet) {
  m_pEngine->CancelEdit();
  if (!SwitchToSheet(sheet)) return -1;
  long col = GetColIndex(paramName, 0);
  if (col < 1 || row < 1) return -1;
  return TryEngine([&] { m_pEngine->SetActiveCell(static_cast<int>(row), static_cast<int>(col)); })
             ? 0
             : -1;
}
