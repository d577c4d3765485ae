// CDDTInput: construction, Open with the global and custom sheets, business processes and
// their child tables, the view, and synchronisation with another input workbook.
#include <algorithm>
#include <vector>

#include "ddtable/cddt_input.h"
#include "input/column_look.h"
#include "input/custom_params.h"
#include "input/engine_guards.h"
#include "input/input_limits.h"
#include "input/sheet_text.h"
#include "platform/boundary.h"
#include "platform/last_error.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "table/current_manager.h"

using ddt::input::ChildSeparator;
using ddt::input::ColumnLook;
using ddt::input::ReadColumnLook;
using ddt::input::ModifiedBlock;

namespace {

bool Contains(const CStringList& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

CDDTInput::CDDTInput(ddt::platform::Window* parent, DT_TYPE type) : CDT(parent, type, "") {}

CDDTInput::~CDDTInput() = default;

void CDDTInput::SetGlobalUsage(int usage) {
  m_nGlobalUsage = usage;
  if (usage != 0) AddGlobals();
}

void CDDTInput::AddGlobals() {
  using namespace ddt::platform;
  ModifiedBlock block(m_pEngine);
  const std::string global = LoadString(IDS_GLOBAL_SHEET);
  if (SetSheet(global) == 0) return;
  // At the sheet limit there is no new sheet, and sheet 1 is the user's: nothing to name.
  if (InsertSheets(1, 1) != 0) return;
  m_pEngine->SetSheetName(1, global.c_str());
  SetSheet(global);
  static constexpr int kColumns[][2] = {{IDS_ITER_COLUMN, IDS_ITER_INITIAL},
                                        {IDS_VID_COLUMN, IDS_VID_INITIAL},
                                        {IDS_HOST_COLUMN, IDS_HOST_INITIAL},
                                        {IDS_GROUP_COLUMN, IDS_GROUP_INITIAL}};
  for (const auto& column : kColumns) {
    std::string name = LoadString(column[0]);
    AddParam(global, name, LoadString(column[1]), DT_STYLE_GREY_TEXT, "", 0);
  }
}

int CDDTInput::Open(const std::string& fileName) try {
  const ddt::platform::MemberScope boundary;
  const int rc = CDT::Open(fileName);
  if (rc != -1 && m_nGlobalUsage != 0) AddGlobals();
  if (m_nType != DT_TYPE_QX && ddt::input::ToolkitChangesEnabled()) PrepareCustomSheet();
  // The sheet look-ups on the way fail by design; a successful Open leaves no error.
  if (rc == 0 && boundary.Outermost()) ddt::platform::ClearLastError();
  return rc;
} catch (...) {
  return ddt::platform::Failed(-1);
}

void CDDTInput::PrepareCustomSheet() {
  ModifiedBlock block(m_pEngine);
  const std::string custom(ddt::input::kCustomSheet);
  if (SetSheet(custom) == -1) {
    if (InsertSheets(1, 1) != 0) return;  // the sheet limit: sheet 1 is the user's
    m_pEngine->SetSheetName(1, custom.c_str());
    SetSheet(custom);
  }
  // Row headings belong to the current sheet, which is now the custom sheet.
  int row = 1;
  for (std::string_view heading : ddt::input::kCustomRowHeadings)
    m_pEngine->SetRowText(1, row++, std::string(heading).c_str());
}

int CDDTInput::GetChild(std::string& name) {
  const std::size_t separator = ChildSeparator(name);
  const bool isChild = separator != std::string::npos;
  const std::string prefix = isChild ? name.substr(0, separator + 1) : name + ".";
  bool passed = !isChild;
  const auto matches = [&prefix](const std::string& sheet) {
    return sheet.compare(0, prefix.size(), prefix) == 0;
  };
  const long sheets = GetNumSheets();
  for (long i = 1; i <= sheets; ++i) {
    std::string sheet = GetSheetName(i);
    if (!matches(sheet)) continue;
    if (passed) {
      name = std::move(sheet);
      return 1;
    }
    if (sheet == name) passed = true;
  }
  if (!passed) {
    // A child-table name that no sheet has: start over at the first child table.
    for (long i = 1; i <= sheets; ++i) {
      std::string sheet = GetSheetName(i);
      if (matches(sheet)) {
        name = std::move(sheet);
        return 1;
      }
    }
  }
  return 0;
}

int CDDTInput::DeleteBP(const std::string& name) {
  int result = DeleteSheet(name);
  std::string current = name;
  while (GetChild(current) == 1) {
    result = DeleteSheet(current);
    // A child table that cannot be deleted would be found again without end.
    if (result != 0) break;
    current = name;
  }
  return result;
}

int CDDTInput::RenameBP(const std::string& oldName, const std::string& newName) {
  if (oldName == newName) return 0;
  if (oldName.empty() || newName.empty()) return -1;
  // The child tables are listed before anything is renamed, so each is visited once, even
  // when its new name is taken or the new business-process name begins with the old one.
  std::vector<std::string> children;
  for (std::string current = oldName; GetChild(current) == 1;) children.push_back(current);

  if (GetSheetIndex(oldName) > 0 && SetSheetName(oldName, newName) != 0) return -1;
  int result = 0;
  for (const std::string& child : children) {
    const std::size_t separator = ChildSeparator(child);
    const std::string target =
        separator == std::string::npos ? newName : newName + child.substr(separator);
    if (SetSheetName(child, target) != 0) result = -1;
  }
  return result;
}

void CDDTInput::OpenView() try {
  const ddt::platform::MemberScope boundary;
  if (m_pHostWnd == nullptr) return;
  m_pHostWnd->Show(ddt::platform::SW_SHOWNORMAL);
  m_pHostWnd->Activate();
} catch (...) {
  ddt::platform::Failed();
}

CPrm* CDDTInput::GetPrmManager() { return ddt::CurrentManager(); }

int CDDTInput::Sync(CDDTInput* source, int copy) try {
  const ddt::platform::MemberScope boundary;
  return SyncSheetSelection(source, copy, nullptr);
} catch (...) {
  return ddt::platform::Failed(0);
}

int CDDTInput::SyncSheetSelection(CDDTInput* source, int copy, const CStringList* sheets) try {
  const ddt::platform::MemberScope boundary;
  if (source == nullptr || source == this) return 0;
  ddt::input::RedrawOff redraw(*this);
  CDT_IF* sourceEngine = source->m_pEngine;
  const long sourceSheets = source->GetNumSheets();
  for (long i = 1; i <= sourceSheets; ++i) {
    const std::string name = source->GetSheetName(i);
    if (sheets != nullptr && !Contains(*sheets, name)) continue;
    if (copy != 0) {
      CopyRange(source, name, "", -1, -1, -1, -1, -1, -1, -1, -1);
      continue;
    }
    NewSheet(name);
    const long index = GetSheetIndex(name);
    if (index < 1) return 0;
    const CStringList* sourceHeader = source->GetHeaderList(name);
    if (sourceHeader == nullptr) continue;
    const CStringList params = *sourceHeader;  // AddParam below must not touch the source
    for (const std::string& requested : params) {
      if (requested.empty()) continue;  // a column without a name is no parameter
      std::string legal = requested;
      GetSuggestionNotUnique(legal);
      // A name made legal by an earlier synchronisation counts as present.
      if (ParamExists(requested, index) != 0 || ParamExists(legal, index) != 0) continue;
      std::string used = requested;
      if (AddParam(name, used, "", DT_STYLE_NONE, "", 0) != 0) continue;
      if (m_nType == DT_TYPE_F1 && used != requested) {
        ddt::platform::MessageBox(
            ddt::platform::FormatString(ddt::platform::IDS_PARAM_NAME_INVALID,
                                        {requested, used}),
            {}, ddt::platform::MB_OK);
      }
      // The new column takes the look of the source's column of the requested name.
      const long sourceCol = source->GetColIndex(requested, i);
      ColumnLook look;
      if (sourceEngine == nullptr || sourceCol < 1 ||
          !ReadColumnLook(*sourceEngine, static_cast<int>(i), static_cast<int>(sourceCol), look))
        continue;
      SetSheet(name);
      SetStyle(ConvertToStyle(look.pattern, look.foreground, look.fontColor), used, 0);
      if (SelectParam(used, 0, 1) == 0) m_pEngine->SetNumberFormat(look.numberFormat.c_str());
    }
  }
  redraw.InvalidateOnExit();
  return 1;
} catch (...) {
  return ddt::platform::Failed(0);
}
