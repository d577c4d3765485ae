#include "workbook_view.h"

#include <cctype>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli_common.h"
#include "ddtable/cdt.h"

namespace ddtcli {

namespace {
constexpr const char kGlobalSheet[] = "Global";
constexpr const char kCustomSheet[] = "Custom";
constexpr const char kTerminatorMark[] = ".End";
}  // namespace

SheetRole RoleOf(const std::string& sheetName) {
  if (sheetName == kGlobalSheet) return SheetRole::Global;
  if (sheetName == kCustomSheet) return SheetRole::Custom;
  if (sheetName.find('.') != std::string::npos) return SheetRole::ChildTable;
  return SheetRole::BusinessProcess;
}

const char* RoleName(SheetRole role) {
  switch (role) {
    case SheetRole::Global: return "global";
    case SheetRole::Custom: return "custom";
    case SheetRole::BusinessProcess: return "business process";
    case SheetRole::ChildTable: return "child table";
  }
  return "";
}

std::string OwnerOf(const std::string& sheetName) {
  if (RoleOf(sheetName) != SheetRole::ChildTable) return "";
  return sheetName.substr(0, sheetName.find('.'));
}

bool IsTerminator(const std::string& column1) {
  const std::size_t n = sizeof kTerminatorMark - 1;
  if (column1.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(column1[i])) !=
        std::tolower(static_cast<unsigned char>(kTerminatorMark[i])))
      return false;
  }
  return true;
}

std::vector<SheetInfo> Sheets(CDT& book) {
  std::vector<SheetInfo> sheets;
  const long count = book.GetNumSheets();
  for (long s = 1; s <= count; ++s) {
    SheetInfo info;
    info.index = s;
    info.name = book.GetSheetName(s);
    info.role = RoleOf(info.name);
    if (const CStringList* header = book.GetHeaderList(info.name)) {
      info.params.assign(header->begin(), header->end());
    }
    try {
      book.m_pEngine->SetSheet(static_cast<int>(s));
      info.lastRow = book.m_pEngine->GetLastRow();
    } catch (...) {
      info.lastRow = 0;
    }
    if (info.lastRow < 0) info.lastRow = 0;
    sheets.push_back(std::move(info));
  }
  return sheets;
}

SheetInfo FindSheet(CDT& book, const std::string& name) {
  for (SheetInfo& sheet : Sheets(book)) {
    if (sheet.name == name) return sheet;
  }
  std::string names;
  for (const SheetInfo& sheet : Sheets(book)) names += (names.empty() ? "" : ", ") + sheet.name;
  FailFile(book.GetFileName(), "no sheet named '" + name + "' (sheets: " + names + ")");
}

std::string EnteredText(CDT& book, long sheet, long row, long col) {
  try {
    return book.m_pEngine->GetValue(static_cast<int>(sheet), static_cast<int>(row),
                                    static_cast<int>(col));
  } catch (...) {
    return "";
  }
}

std::string DisplayedText(CDT& book, long sheet, long row, long col) {
  try {
    return book.m_pEngine->GetFormattedText(static_cast<int>(sheet), static_cast<int>(row),
                                            static_cast<int>(col));
  } catch (...) {
    return "";
  }
}

std::vector<Block> Blocks(CDT& book, const SheetInfo& sheet) {
  std::vector<Block> blocks;
  long first = 1;
  for (long row = 1; row <= sheet.lastRow; ++row) {
    const std::string mark = EnteredText(book, sheet.index, row, 1);
    if (!IsTerminator(mark)) continue;
    blocks.push_back(Block{first, row - 1, row, mark});
    first = row + 1;
  }
  if (first <= sheet.lastRow) blocks.push_back(Block{first, sheet.lastRow, 0, ""});
  return blocks;
}

std::string CsvField(const std::string& text, bool isText) {
  if (text.find_first_of(",\"\r\n") == std::string::npos &&
      (!isText || CDT_IF::TypedEntryStaysText(text)))
    return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(const std::string& text) {
  return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonDocument(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace ddtcli
