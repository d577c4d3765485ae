// CDT: construction, files, sheets and the header row.
#include <algorithm>
#include <stdexcept>

#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine/workbook_limits.h"
#include "platform/boundary.h"
#include "platform/message_box.h"
#include "ddtable/cdt.h"
#include "table/engine_call.h"
#include "table/entry_limits.h"
#include "table/file_guard.h"
#include "table/table_limits.h"
#include "platform/last_error.h"

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
  ddt::table::ForgetTable(this);
  delete m_pEngine;
  m_pEngine = nullptr;
  Destroy();
  delete m_pOwnHostWnd;
  m_pOwnHostWnd = nullptr;
  m_pHostWnd = nullptr;
}

// --- File ---------------------------------------------------------------------------------

int CDT::Open(const std::string& fileName) try {
  const ddt::platform::MemberScope boundary;
  if (!fileName.empty()) {
    m_strFileName = fileName;
    // The stamp is taken before reading: a change made while the file is read then shows
    // as a change at the next save, which refuses rather than overwrites it.
    const ddt::table::FileStamp before = ddt::table::StampOf(fileName);
    const bool read = TryEngine([&] { m_pEngine->Open(fileName.c_str()); });
    ddt::table::NoteOpened(this, fileName, before, read);
    if (!read) {
      if (ddt::platform::LastError().find(fileName) == std::string::npos)
        ddt::platform::PrefixLastError("Cannot open " + ddt::platform::Quoted(fileName) + ": ");
      return -1;
    }
    // What the read had to guess (the encoding of a text file) is told, not hidden.
    for (const std::string& note : m_pEngine->GetReadNotes())
      ddt::platform::MessageBox(ddt::platform::Quoted(fileName) + ": " + note, {},
                                ddt::platform::MB_OK | ddt::platform::MB_ICONWARNING);
  } else {
    ddt::table::NoteEmptied(this);
    DeleteSheets(1, static_cast<int>(GetNumSheets()));
    // A new workbook's rows are data rows from the start, as an opened one's are: row 1 of
    // the file it will be saved to lies above them (ROW() and copied formulas agree).
    m_pEngine->HoldEmptyHeaderRow();
    m_pEngine->m_bChanged = 0;
  }
  m_pEngine->SetModified(0);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::Save(const std::string& fileName, int setName) try {
  const ddt::platform::MemberScope boundary;
  using ddt::platform::Quoted;
  using ddt::platform::SetLastError;
  const bool changed = m_pEngine->m_bChanged != 0 || m_pEngine->GetModified() != 0;
  const bool ownName = fileName.empty() || fileName == m_strFileName;
  std::string target = m_strFileName;
  if (!fileName.empty()) {
    target = fileName;
    if (setName != 0) m_strFileName = fileName;
  }
  if (target.empty()) {
    if (!changed) return 0;  // nothing to keep, and nowhere to keep it
    SetLastError("Cannot save the workbook: it has no file name",
                 ddt::platform::ErrorKind::BadArgument);
    return -1;
  }

  // Checking and writing are one step for every process of this library, so two that save
  // the same file cannot both find it unchanged and both write it.
  ddt::table::DirectoryLock lock(target);
  // 0 means the file holds this workbook: an unchanged workbook is written all the same when
  // its file is missing, or no longer the one this workbook read or wrote.
  if (!changed && ownName && ddt::table::Unchanged(this, target) &&
      ddt::table::StampOf(target).exists)
    return 0;
  const ddt::table::Refusal refusal = ddt::table::OverwriteRefusal(this, target);
  if (!refusal.text.empty()) {
    SetLastError(refusal.text, refusal.kind);
    m_pEngine->SetModified(1);  // still to be saved, under another name
    return -1;
  }
  if (IsCreated()) m_pEngine->CancelEdit();

  CDTNotify* sink = m_pNotify;
  UnRegisterNotify();
  // Row 1 of the file takes the parameter names: a sheet using the grid's last row would
  // lose it in the file. (Checked with the sink out: it visits every sheet.)
  std::string tooLong;
  const long current = m_pEngine->GetSheet();
  for (long sheet = 1; sheet <= GetNumSheets() && tooLong.empty(); ++sheet) {
    m_pEngine->SetSheet(static_cast<int>(sheet));
    if (m_pEngine->GetLastRow() > ddt::table::kMaxDataRows)
      tooLong = "Cannot save " + Quoted(target) + ": sheet " + Quoted(GetSheetName(sheet)) +
                " uses row " + std::to_string(ddt::engine::kMaxRows) + ", and a file keeps " +
                std::to_string(ddt::table::kMaxDataRows) + " data rows below the names";
  }
  m_pEngine->SetSheet(static_cast<int>(current));
  bool written = false;
  if (tooLong.empty())
    written = TryEngine([&] { m_pEngine->Save(target.c_str()); });
  else
    SetLastError(tooLong, ddt::platform::ErrorKind::OverLimit);
  if (!written && ddt::platform::LastError().find(target) == std::string::npos)
    ddt::platform::PrefixLastError("Cannot save " + Quoted(target) + ": ");
  RegisterNotify(sink);
  // A failed write leaves the workbook changed: otherwise the next Save under this name
  // would find nothing to write and report success while the file holds older data.
  m_pEngine->SetModified(written ? 0 : 1);
  if (written) ddt::table::NoteWritten(this, target);
  return written ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

bool CDT::FileRead() const { return ddt::table::WasRead(this); }

std::vector<std::string> CDT::GetSaveNotes() const try {
  const ddt::platform::LookupScope boundary;
  return m_pEngine != nullptr ? m_pEngine->GetSaveNotes() : std::vector<std::string>{};
} catch (...) {
  ddt::platform::Failed();
  return {};
}

std::string CDT::GetFileName() { return m_strFileName; }

void CDT::SetFileName(const std::string& fileName) { m_strFileName = fileName; }

void CDT::Resize(int x, int y, int width, int height) try {
  const ddt::platform::MemberScope boundary;
  Move(x, y, width, height);
  m_pEngine->Resize(0, 0, width, height);
} catch (...) {
  ddt::platform::Failed();
}

// --- Sheets -------------------------------------------------------------------------------

long CDT::GetNumSheets() try {
  const ddt::platform::LookupScope boundary;
  return m_pEngine->GetNumSheets();
} catch (...) {
  return ddt::platform::Failed(0L);
}

long CDT::GetSheetIndex(const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  long count = GetNumSheets();
  for (long i = 1; i <= count; ++i)
    if (m_pEngine->GetSheetName(static_cast<int>(i)) == sheetName) return i;
  return 0;
} catch (...) {
  return ddt::platform::Failed(0L);
}

std::string CDT::GetSheetName(long sheet) try {
  const ddt::platform::LookupScope boundary;
  if (sheet == 0) sheet = m_pEngine->GetSheet();
  if (sheet < 1 || sheet > GetNumSheets()) return {};
  return m_pEngine->GetSheetName(static_cast<int>(sheet));
} catch (...) {
  return ddt::platform::Failed(std::string());
}

const CStringList& CDT::GetSheetList() try {
  const ddt::platform::LookupScope boundary;
  m_SheetList.clear();
  long count = GetNumSheets();
  for (long i = 1; i <= count; ++i) {
    std::string name = m_pEngine->GetSheetName(static_cast<int>(i));
    if (name == kBlankSheetName) name.clear();
    m_SheetList.push_back(std::move(name));
  }
  return m_SheetList;
} catch (...) {
  ddt::platform::Failed();
  m_SheetList.clear();
  return m_SheetList;
}

int CDT::SetSheet(const std::string& sheetName) try {
  const ddt::platform::MemberScope boundary;
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) {
    ddt::platform::SetLastError("No sheet named " + ddt::platform::Quoted(sheetName),
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  m_pEngine->SetSheet(static_cast<int>(sheet));
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::SetSheetName(const std::string& oldName, const std::string& newName) try {
  const ddt::platform::MemberScope boundary;
  long sheet = oldName.empty() ? m_pEngine->GetSheet() : GetSheetIndex(oldName);
  if (sheet < 1 || sheet > GetNumSheets()) {
    ddt::platform::SetLastError("No sheet named " + ddt::platform::Quoted(oldName),
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (GetSheetIndex(newName) != 0) {
    ddt::platform::SetLastError(
        "A sheet named " + ddt::platform::Quoted(newName) + " exists already",
        ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (!ddt::table::CheckSheetName(newName)) return -1;
  return TryEngine([&] { m_pEngine->SetSheetName(static_cast<int>(sheet), newName.c_str()); })
             ? 0
             : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::InsertSheets(int position, int count) try {
  const ddt::platform::MemberScope boundary;
  // Every caller inserts one sheet; one is what this inserts, whatever the count.
  long sheets = GetNumSheets();
  if (position > sheets + 1) {
    ddt::platform::SetLastError("Cannot insert a sheet at position " + std::to_string(position) +
                                    ": the workbook has " + std::to_string(sheets) + " sheets",
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (sheets >= ddt::engine::kMaxSheets) {
    ddt::platform::SetLastError(
        "Cannot insert a sheet: the workbook already has the most "
        "sheets a workbook may hold (" +
            std::to_string(ddt::engine::kMaxSheets) + ")",
        ddt::platform::ErrorKind::OverLimit);
    return -1;
  }
  int at = position <= 0 ? static_cast<int>(sheets) + 1 : position;
  if (!TryEngine([&] { m_pEngine->InsertSheets(at, 1); })) return -1;

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
    m_pEngine->ForEachCell(placeholder, ddt::engine::kAll, ddt::engine::kAll, ddt::engine::kAll,
                           ddt::engine::kAll, [&](int, int, const CDT_IF::CellView& cell) {
                             if (cell.formula || cell.kind != CDT_IF::CellView::Empty)
                               blank = false;
                           });
  }
  if (blank) m_pEngine->DeleteSheets(placeholder, 1);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::DeleteSheets(int first, int count) try {
  const ddt::platform::MemberScope boundary;
  long sheets = GetNumSheets();
  if (first < 1 || count < 0 || static_cast<long>(first) + count - 1 > sheets) {
    ddt::platform::SetLastError("Cannot delete " + std::to_string(count) + " sheets from sheet " +
                                    std::to_string(first) + ": the workbook has " +
                                    std::to_string(sheets) + " sheets",
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (count == 0) return 0;  // nothing to delete
  return ddt::table::Guarded(-1, [&] {
    if (count == sheets) {
      // A workbook keeps at least one sheet: a blank one takes the place of all deleted.
      // The last old sheet goes only after the blank one is there, which works even when
      // the workbook holds as many sheets as it may.
      if (count > 1) m_pEngine->DeleteSheets(first + 1, count - 1);
      m_pEngine->InsertSheets(2, 1);
      m_pEngine->DeleteSheets(1, 1);
      m_pEngine->SetSheetName(1, kPlaceholderSheet);
    } else {
      m_pEngine->DeleteSheets(first, count);
    }
    return 0;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::DeleteSheet(const std::string& sheetName) try {
  const ddt::platform::MemberScope boundary;
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) {
    ddt::platform::SetLastError("No sheet named " + ddt::platform::Quoted(sheetName),
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  return DeleteSheets(static_cast<int>(sheet), 1);
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::NewSheet(const std::string& sheetName) try {
  const ddt::platform::MemberScope boundary;
  if (sheetName.empty()) {
    ddt::platform::SetLastError("Cannot add a sheet without a name",
                                ddt::platform::ErrorKind::BadArgument);
    return -2;
  }
  if (GetSheetIndex(sheetName) != 0) {
    ddt::platform::SetLastError(
        "A sheet named " + ddt::platform::Quoted(sheetName) + " exists already",
        ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (!ddt::table::CheckSheetName(sheetName)) return -2;
  if (InsertSheets(0, 1) != 0) return -2;
  long last = GetNumSheets();
  TryEngine([&] { m_pEngine->SetSheetName(static_cast<int>(last), sheetName.c_str()); });
  return GetSheetIndex(sheetName) != 0 ? 0 : -2;
} catch (...) {
  return ddt::platform::Failed(-2);
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

CStringList* CDT::GetHeaderList(const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) return nullptr;
  return m_pEngine->GetHeaderList(static_cast<int>(sheet));
} catch (...) {
  return ddt::platform::Failed<CStringList*>(nullptr);
}

long CDT::GetColIndex(const std::string& paramName, long sheet) try {
  const ddt::platform::LookupScope boundary;
  // The sheet is found by name (through the members a derived workbook may replace), so a
  // sheet whose name an earlier sheet also has stands for that earlier one.
  const long index = GetSheetIndex(GetSheetName(sheet));
  if (index == 0) return -1;
  return m_pEngine->FindHeaderColumn(static_cast<int>(index), paramName);
} catch (...) {
  return ddt::platform::Failed(-1L);
}

int CDT::ParamExists(const std::string& paramName, long sheet) try {
  const ddt::platform::LookupScope boundary;
  return GetColIndex(paramName, sheet) > 0 ? 1 : 0;
} catch (...) {
  return ddt::platform::Failed(0);
}

std::string CDT::GetHeader(const std::string& sheetName, long col) try {
  const ddt::platform::LookupScope boundary;
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0 || col < 1) return {};
  std::string text;
  TryEngine([&] { text = m_pEngine->GetColText(static_cast<int>(sheet), static_cast<int>(col)); });
  return text;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

int CDT::HeaderValidityCheck(const CStringList* expected, const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  const CStringList* header = GetHeaderList(sheetName);
  if (header == nullptr || expected == nullptr) return -1;
  size_t n = std::max(header->size(), expected->size());
  for (size_t i = 0; i < n; ++i) {
    if (i >= header->size() || i >= expected->size() || (*header)[i] != (*expected)[i])
      return static_cast<int>(i) + 1;
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

void CDT::SetColHidden(const std::string& paramName, bool hidden) try {
  const ddt::platform::MemberScope boundary;
  long col = GetColIndex(paramName, 0);
  if (col < 1) return;
  m_pEngine->SetColHidden(static_cast<int>(col), static_cast<int>(col), hidden);
} catch (...) {
  ddt::platform::Failed();
}

int CDT::SetActiveCell(long row, const std::string& paramName, long sheet) try {
  const ddt::platform::MemberScope boundary;
  m_pEngine->CancelEdit();
  if (!SwitchToSheet(sheet)) return -1;
  long col = GetColIndex(paramName, 0);
  if (col < 1 || row < 1) return -1;
  return TryEngine([&] { m_pEngine->SetActiveCell(static_cast<int>(row), static_cast<int>(col)); })
             ? 0
             : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}
