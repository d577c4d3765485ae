// CDDTInput: appending child tables and parameter columns from outside the spreadsheet, and
// repairing formula references that carry "[]".
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/engine_error.h"
#include "ddtable/cddt_input.h"
#include "input/input_limits.h"
#include "input/sheet_text.h"
#include "platform/boundary.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "table/entry_limits.h"
#include "table/shared_strings.h"


namespace {

std::string Enclose(const std::string& name) { return "<" + name + ">"; }

// True when text contains part at a position after its first character.
bool ContainsAfterFirst(const std::string& text, const std::string& part) {
  return !part.empty() && text.find(part, 1) != std::string::npos;
}

}  // namespace

void CDDTInput::AppendTableByName(const std::string& bpName, std::string& tableName) try {
  const ddt::platform::MemberScope boundary;
  ddt::input::MakeLegalTableName(tableName);
  std::string used = tableName;
  std::string full = bpName + "." + used;
  long after = GetSheetIndex(bpName);
  for (long d = 1;; ++d) {
    const long existing = GetSheetIndex(full);
    if (existing < 1) break;
    after = existing;
    used = tableName + std::to_string(d);
    full = bpName + "." + used;
  }
  const long sheetsBefore = GetNumSheets();
  // Without a new sheet (the sheet limit) the sheet at that place is someone else's and
  // keeps its name; the caller finds no table under the name.
  if (!ddt::table::CheckSheetName(full) || InsertSheets(static_cast<int>(after + 1), 1) != 0)
    return;
  // Inserting may remove a blank placeholder sheet 1 in front of the new sheet.
  const long index = (GetNumSheets() == sheetsBefore && after >= 1) ? after : after + 1;
  m_pEngine->SetSheetName(static_cast<int>(index), full.c_str());
  tableName = used;
} catch (...) {
  ddt::platform::Failed();
}

int CDDTInput::AppendColumn(const std::string& sheetName, std::string& paramName,
                            const std::string& value, DT_STYLE style) {
  const CStringList* header = GetHeaderList(sheetName);
  if (header == nullptr) return -1;
  const CStringList params = *header;
  const std::string& out = ddt::Shared().out;
  const std::string& exp = ddt::Shared().exp;

  const bool wasVisible = IsVisible();
  Show(ddt::platform::SW_HIDE);
  SetSheet(sheetName);
  const long sheet = GetSheetIndex(sheetName);
  const auto exists = [&](const std::string& name) { return ParamExists(name, sheet) != 0; };
  const auto firstOfStyle = [&](auto wanted) {
    for (const std::string& p : params)
      if (!p.empty() && wanted(GetStyle(p, 0))) return p;
    return std::string();
  };
  std::string before;
  std::string anchor;
  switch (style) {
    case DT_STYLE_BLUE_TEXT:
      before = firstOfStyle([](DT_STYLE s) { return s != DT_STYLE_BLUE_TEXT; });
      break;
    case DT_STYLE_GREY_TEXT:
      if (exists(paramName + exp)) {
        anchor = paramName + exp;
      } else if (ContainsAfterFirst(paramName, out)) {
        const std::string base = paramName.substr(0, paramName.size() - out.size());
        if (exists(base + exp)) anchor = base + exp;
      }
      if (anchor.empty()) before = firstOfStyle([](DT_STYLE s) { return s == DT_STYLE_YELLOW; });
      break;
    case DT_STYLE_YELLOW:
      if (ContainsAfterFirst(paramName, exp)) {
        const std::string base = paramName.substr(0, paramName.size() - exp.size());
        if (exists(base) && GetStyle(base, 0) == DT_STYLE_GREY_TEXT)
          before = base;
        else if (exists(base + out))
          before = base + out;
      }
      break;
    default:
      break;
  }
  if (wasVisible) Show(ddt::platform::SW_SHOW);

  if (!anchor.empty()) {
    // The column right of the anchor; past the last column its letters match no parameter.
    const long col = GetColIndex(anchor, 0);
    before = m_pEngine->GetColText(static_cast<int>(m_pEngine->GetSheet()), static_cast<int>(col + 1));
  }
  return AddParam(sheetName, paramName, value, style, before, 1);
}

void CDDTInput::AppendColumnByName(const std::string& sheetName, std::string& paramName,
                                   const std::string& value, DT_STYLE style) try {
  const ddt::platform::MemberScope boundary;
  AppendColumn(sheetName, paramName, value, style);
  paramName = Enclose(paramName);
} catch (...) {
  ddt::platform::Failed();
}

int CDDTInput::AppendColumnByName(const std::string& bpName, const std::string& tableName,
                                  std::string& paramName, const CStringList& values,
                                  DT_STYLE style) try {
  const ddt::platform::MemberScope boundary;
  const std::string sheetName = bpName + "." + tableName;
  if (SetSheet(sheetName) == -1) return -1;
  std::string plain = paramName;
  const int added =
      AppendColumn(sheetName, plain, values.empty() ? std::string() : values.front(), style);
  paramName = Enclose(plain);
  if (added != 0) return -1;

  long row = 2;
  for (std::size_t i = 1; i < values.size(); ++i, ++row)
    SetParamValue(row, plain, values[i], sheetName, 0);
  m_pEngine->RecalcIfNeeded();

  // Close the block below the values. A row that holds data of other columns (their lists
  // were longer) is never overwritten: the terminator goes into the first row that is empty
  // in every column, and a terminator row met first already closes the block.
  const std::string& mark = ddt::Shared().end;
  const int sheet = static_cast<int>(m_pEngine->GetSheet());
  const long lastRow = m_pEngine->GetLastRow();
  const long lastCol = m_pEngine->GetLastCol();
  const long maxRow = m_pEngine->GetMaxRow();
  for (long r = row; r <= maxRow; ++r) {
    const int ri = static_cast<int>(r);
    if (ddt::text::StartsWithNoCase(m_pEngine->GetValue(sheet, ri, 1), mark)) break;
    bool empty = r > lastRow;
    for (long c = 1; !empty && c <= lastCol; ++c) {
      if (!m_pEngine->GetValue(sheet, ri, static_cast<int>(c)).empty()) break;
      if (c == lastCol) empty = true;
    }
    if (empty) {
      SetStyle(DT_STYLE_WHITE_ON_BLUE, "", r);
      m_pEngine->SetValue(sheet, ri, 1, mark.c_str());
      break;
    }
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

bool CDDTInput::CorrectReferenceCells() try {
  const ddt::platform::MemberScope boundary;
  std::vector<std::string> missing;
  const long sheets = m_pEngine->GetNumSheets();
  for (long s = 1; s <= sheets; ++s) {
    const int sheet = static_cast<int>(s);
    m_pEngine->SetSheet(sheet);
    const long lastCol = m_pEngine->GetLastCol();
    const long lastRow = m_pEngine->GetLastRow();
    if (lastCol < 1 || lastRow < 1) continue;
    // Only cells in use can hold a formula; they are visited column by column.
    std::vector<std::pair<int, int>> cells;  // (column, row)
    m_pEngine->ForEachCell(
        sheet, 1, 1, static_cast<int>(lastRow), static_cast<int>(lastCol),
        [&cells](int row, int col, const CDT_IF::CellView&) { cells.emplace_back(col, row); });
    std::sort(cells.begin(), cells.end());
    for (const auto& [col, row] : cells) {
      std::string text = m_pEngine->GetValue(sheet, row, col);
      if (text.empty() || text.front() != '=') continue;
      if (RemoveBrackets(text) == 0) continue;
      try {
        m_pEngine->SetValue(sheet, row, col, text.c_str());
      } catch (const ddt::engine::EngineError& error) {
        const std::string message =
            std::string(error.what()).substr(0, ddt::input::kMaxErrorMessageChars);
        if (!ddt::text::EqualsNoCase(message, ddt::engine::kInvalidFormulaSyntax)) throw;
        const std::string name = FindReferencedSheetName(text);
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
          missing.push_back(name);
      }
    }
  }
  if (!missing.empty()) {
    std::string list;
    for (const std::string& name : missing) list += name + "\n";
    ddt::platform::MessageBox(
        ddt::platform::FormatString(ddt::platform::IDS_UNRESOLVED_REFERENCES, {list}),
        ddt::input::kReferenceMessageCaption,
        ddt::platform::MB_ICONINFORMATION | ddt::platform::MB_OK);
  }
  return true;
} catch (...) {
  return ddt::platform::Failed(false);
}

std::string CDDTInput::FindReferencedSheetName(const std::string& formula) {
  return ddt::input::ReferencedSheetName(formula);
}

int CDDTInput::RemoveBrackets(std::string& text) try {
  const ddt::platform::MemberScope boundary;
  return ddt::input::RemoveBracketPairs(text) ? 1 : 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}
