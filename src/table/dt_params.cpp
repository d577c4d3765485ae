// CDT: parameter columns, values, number formats, styles and names.
#include <string>
#include <unordered_set>

#include "engine/workbook_limits.h"
#include "platform/boundary.h"
#include "platform/last_error.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "ddtable/cdt.h"
#include "table/engine_call.h"
#include "table/entry_limits.h"
#include "table/param_names.h"
#include "table/table_limits.h"
#include "text/column_letters.h"

using ddt::table::TryEngine;

namespace {

// Fill and font of each DT_STYLE; kKeep leaves what the cell has.
constexpr int64_t kKeep = -1;
struct StyleLook {
  short pattern;
  int64_t foreground, background, font;
};
constexpr StyleLook kLooks[] = {
    {0, kKeep, kKeep, kKeep},                // plain
    {0, kKeep, 0xFF0000, 0xFF0000},          // blue text
    {0, kKeep, 0x808080, 0x808080},          // grey text
    {1, 0x00FFFF, kKeep, kKeep},             // yellow fill
    {1, 0x8080FF, kKeep, kKeep},             // light red fill
    {1, 0x00FF00, kKeep, kKeep},             // green fill
    {3, 0xFFFFFF, 0xFF0000, kKeep},          // pattern 3, white on blue
    {1, 0xE0E0E0, kKeep, kKeep},             // light grey fill
};

}  // namespace

// --- Columns ------------------------------------------------------------------------------

int CDT::AddParam(const std::string& sheetName, std::string& paramName, const std::string& value,
                  DT_STYLE style, const std::string& beforeName, int show) try {
  const ddt::platform::MemberScope boundary;
  if (!ddt::table::CheckParamName(paramName) || !ddt::table::CheckCellText(value)) return -1;
  // An unknown sheet name leaves the current sheet in use; the name lookups below then
  // refer to that sheet too.
  std::string sheet = SetSheet(sheetName) == 0 ? sheetName : GetSheetName(0);

  long lastCol = m_pEngine->GetLastCol();
  if (lastCol >= ddt::table::kMaxParamColumns) {
    const std::string text = ddt::platform::LoadString(ddt::platform::IDS_TOO_MANY_COLUMNS);
    ddt::platform::MessageBox(text, {}, ddt::platform::MB_OK);
    ddt::platform::SetLastError(text + " (sheet " + ddt::platform::Quoted(sheet) + ")",
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  long col = beforeName.empty() ? lastCol + 1 : GetColIndex(beforeName, 0);
  if (col < 1) col = lastCol + 1;

  // The name is settled before the column is made: without a legal, unique name there is
  // no parameter to add (an empty header text would make a column no name reaches).
  const std::string requested = paramName;
  if (GetSuggestion(paramName, sheet).empty()) {
    ddt::platform::SetLastError("Cannot add parameter " + ddt::platform::Quoted(requested) +
                                    " to sheet " + ddt::platform::Quoted(sheet) +
                                    ": no legal, unique name can be made of it",
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  // The suggestion may have added a suffix.
  if (!ddt::table::CheckParamName(paramName)) return -1;

  int c = static_cast<int>(col);
  return ddt::table::Guarded(-1, [&] {
    m_pEngine->CancelEdit();
    m_pEngine->InsertRange(-1, c, -1, c, CDT_IF::DT_SHIFT_COLUMNS);
    m_pEngine->ClearRange(-1, c, -1, c, CDT_IF::DT_CLEAR_FORMATS);
    m_pEngine->SetActiveCell(1, c);
    m_pEngine->SetColText(static_cast<int>(m_pEngine->GetSheet()), c, paramName.c_str());
    if (style != DT_STYLE_NONE) SetStyle(style, paramName, 0);
    SetParamValue(1, paramName, value, sheet, 1);
    m_pEngine->AutoResizeColumns(c, c, 0);
    if (show != 0) m_pEngine->ShowActiveCell();
    return 0;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::DeleteParam(const std::string& paramName) try {
  const ddt::platform::MemberScope boundary;
  if (paramName.empty()) return -1;
  long col = GetColIndex(paramName, 0);
  if (col < 1) return -1;
  int c = static_cast<int>(col);
  m_pEngine->CancelEdit();
  m_pEngine->DeleteRange(-1, c, -1, c, CDT_IF::DT_SHIFT_COLUMNS);
  RefreshHeader();
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::DelRow(long row) try {
  const ddt::platform::MemberScope boundary;
  m_pEngine->CancelEdit();
  if (row < 1) return -1;
  int r = static_cast<int>(row);
  return TryEngine([&] { m_pEngine->DeleteRange(r, -1, r, -1, CDT_IF::DT_SHIFT_ROWS); }) ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::SelectParam(const std::string& paramName, long sheet, int show) try {
  const ddt::platform::MemberScope boundary;
  if (paramName.empty()) return -1;
  if (!SwitchToSheet(sheet)) return -1;
  long col = GetColIndex(paramName, 0);
  if (col < 1) return -1;
  int c = static_cast<int>(col);
  m_pEngine->SetSelection(-1, c, -1, c);
  m_pEngine->SetActiveCell(1, c);
  if (show != 0) m_pEngine->ShowActiveCell();
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

std::string CDT::GetParamLetters(const std::string& paramName) try {
  const ddt::platform::LookupScope boundary;
  return ddt::text::ColumnLetters(static_cast<int>(GetColIndex(paramName, 0)));
} catch (...) {
  return ddt::platform::Failed(std::string());
}

// --- Values -------------------------------------------------------------------------------

std::string CDT::GetRawValue(long row, const std::string& paramName, long sheet) try {
  const ddt::platform::LookupScope boundary;
  long col = GetColIndex(paramName, sheet);
  if (col < 1 || row < 1) return {};
  std::string text;
  TryEngine([&] {
    text = m_pEngine->GetValue(static_cast<int>(sheet), static_cast<int>(row),
                               static_cast<int>(col));
  });
  return text;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CDT::GetParamValue(long row, const std::string& paramName, long sheet) try {
  const ddt::platform::LookupScope boundary;
  long col = GetColIndex(paramName, sheet);
  if (col < 1 || row < 1) return {};
  std::string text;
  TryEngine([&] {
    text = m_pEngine->GetFormattedText(static_cast<int>(sheet), static_cast<int>(row),
                                       static_cast<int>(col));
  });
  return text;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CDT::GetParamValue(long row, const std::string& paramName,
                               const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  return GetParamValue(row, paramName, GetSheetIndex(sheetName));
} catch (...) {
  return ddt::platform::Failed(std::string());
}

int CDT::SetParamValue(long row, const std::string& paramName, const std::string& value,
                       const std::string& sheetName, int recalc) try {
  const ddt::platform::MemberScope boundary;
  long sheet = GetSheetIndex(sheetName);
  if (sheet == 0) return -1;
  return SetParamValue(row, paramName, value, sheet, recalc);
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDT::SetParamValue(long row, const std::string& paramName, const std::string& value,
                       long sheet, int recalc) try {
  const ddt::platform::MemberScope boundary;
  m_pEngine->CancelEdit();
  long col = GetColIndex(paramName, sheet);
  if (col < 1) {
    ddt::platform::SetLastError("No parameter " + ddt::platform::Quoted(paramName) + " in sheet " +
                                    ddt::platform::Quoted(GetSheetName(sheet)),
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (row < 1 || row > ddt::table::kMaxDataRows) {
    ddt::platform::SetLastError("Row " + std::to_string(row) + " is outside the sheet (1 to " +
                                    std::to_string(ddt::table::kMaxDataRows) + ")",
                                ddt::platform::ErrorKind::BadArgument);
    return -1;
  }
  if (!ddt::table::CheckCellText(value)) return -1;
  std::string entry = ddt::table::ValueEntry(value);
  bool done = TryEngine([&] {
    m_pEngine->SetValue(static_cast<int>(sheet), static_cast<int>(row), static_cast<int>(col),
                        entry.c_str());
    if (recalc != 0) m_pEngine->RecalcIfNeeded();
  });
  return done ? 0 : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

// --- Number formats -----------------------------------------------------------------------

std::string CDT::GetNumberFormat(long row, const std::string& paramName, long sheet) try {
  const ddt::platform::LookupScope boundary;
  if (SetActiveCell(row, paramName, sheet) != 0) return {};
  return m_pEngine->GetNumberFormat();
} catch (...) {
  return ddt::platform::Failed(std::string());
}

int CDT::SetNumberFormat(long row, const std::string& paramName, const std::string& format,
                         long sheet) try {
  const ddt::platform::MemberScope boundary;
  if (SetActiveCell(row, paramName, sheet) != 0) return -1;
  // The engine formats the selection; it is narrowed to the parameter's cell first so that
  // no other cell is touched.
  int r = static_cast<int>(row), c = static_cast<int>(GetColIndex(paramName, 0));
  return TryEngine([&] {
           m_pEngine->SetSelection(r, c, r, c);
           m_pEngine->SetNumberFormat(format.c_str());
         })
             ? 0
             : -1;
} catch (...) {
  return ddt::platform::Failed(-1);
}

// --- Styles -------------------------------------------------------------------------------

int CDT::SetStyle(DT_STYLE style, const std::string& paramName, long row) try {
  const ddt::platform::MemberScope boundary;
  if (m_nType == DT_TYPE_QX) return 0;
  m_pEngine->CancelEdit();
  if (style == DT_STYLE_NONE) return 0;
  if (style < DT_STYLE_PLAIN || style > DT_STYLE_NONE) style = DT_STYLE_PLAIN;
  if (row < 0) return -1;

  long col = 1;
  if (!paramName.empty()) {
    col = GetColIndex(paramName, 0);
    if (col < 1) return -1;
  } else if (row == 0) {
    return -1;
  }

  int r = static_cast<int>(row), c = static_cast<int>(col);
  bool selected = true;
  if (row == 0)
    selected = SelectParam(paramName, 0, 1) == 0;
  else if (!paramName.empty())
    selected = TryEngine([&] { m_pEngine->SetSelection(r, c, r, c); });
  else
    selected = TryEngine([&] { m_pEngine->SetSelection(r, -1, r, -1); });
  if (!selected) return -1;

  short pattern = 0;
  uint32_t foreground = 0, background = 0;
  m_pEngine->GetPattern(pattern, foreground, background);
  const StyleLook& look = kLooks[style];
  if (look.font != kKeep) m_pEngine->SetFontColor(static_cast<uint32_t>(look.font));
  pattern = look.pattern;
  if (look.foreground != kKeep) foreground = static_cast<uint32_t>(look.foreground);
  if (look.background != kKeep) background = static_cast<uint32_t>(look.background);
  m_pEngine->SetPattern(pattern, foreground, background);
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

CDT::DT_STYLE CDT::GetStyle(const std::string& paramName, long row) try {
  const ddt::platform::LookupScope boundary;
  long col = GetColIndex(paramName, 0);
  if (col < 1 || row < 0) return DT_STYLE_PLAIN;
  if (row > 0) {
    if (!TryEngine([&] {
          m_pEngine->SetActiveCell(static_cast<int>(row), static_cast<int>(col));
        }))
      return DT_STYLE_PLAIN;
  } else {
    int current = static_cast<int>(m_pEngine->GetSheet());
    SelectParam(m_pEngine->GetColText(current, static_cast<int>(col)), 0, 1);
  }
  short pattern = 0;
  uint32_t foreground = 0, background = 0;
  m_pEngine->GetPattern(pattern, foreground, background);
  return ConvertToStyle(pattern, foreground, m_pEngine->GetFontColor());
} catch (...) {
  return ddt::platform::Failed(CDT::DT_STYLE_PLAIN);
}

CDT::DT_STYLE CDT::ConvertToStyle(short pattern, uint32_t foreground, uint32_t fontColor) try {
  const ddt::platform::LookupScope boundary;
  if (pattern == 0) {
    if (fontColor == 0x808080) return DT_STYLE_GREY_TEXT;
    if (fontColor == 0xFF0000) return DT_STYLE_BLUE_TEXT;
    return DT_STYLE_PLAIN;
  }
  if (pattern == 1) {
    switch (foreground) {
      case 0x00FFFF: return DT_STYLE_YELLOW;
      case 0x8080FF: return DT_STYLE_LIGHT_RED;
      case 0x00FF00: return DT_STYLE_GREEN;
      case 0xE0E0E0: return DT_STYLE_LIGHT_GREY;
      default: return DT_STYLE_BLUE_TEXT;
    }
  }
  return DT_STYLE_WHITE_ON_BLUE;
} catch (...) {
  return ddt::platform::Failed(CDT::DT_STYLE_PLAIN);
}

// --- Names --------------------------------------------------------------------------------

std::string CDT::GetSuggestionNotUnique(std::string& name) try {
  const ddt::platform::LookupScope boundary;
  ddt::table::MakeLegalName(name);
  return name;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CDT::GetSuggestion(std::string& paramName, const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  if (GetSuggestionNotUnique(paramName).empty()) return {};
  const CStringList* header = GetHeaderList(sheetName);
  if (header == nullptr) return paramName;
  std::unordered_set<std::string_view> taken(header->begin(), header->end());
  if (!taken.count(paramName)) return paramName;
  const std::string base = paramName;
  for (int i = 1; i <= ddt::table::kMaxNameSuffix; ++i) {
    paramName = base + std::to_string(i);
    if (!taken.count(paramName)) return paramName;
  }
  return {};
} catch (...) {
  return ddt::platform::Failed(std::string());
}
