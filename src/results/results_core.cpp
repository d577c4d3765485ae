// CDDTResults: construction, structure taken from the input workbook, scope, name rule.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "input/column_look.h"
#include "input/engine_guards.h"
#include "platform/boundary.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "ddtable/cddt_results.h"
#include "results/journal.h"
#include "results/results_text.h"
#include "table/engine_call.h"
#include "table/shared_strings.h"
#include "text/column_letters.h"

using ddt::input::ColumnLook;
using ddt::input::ReadColumnLook;
using ddt::table::TryEngine;

CDDTResults::CDDTResults(ddt::platform::Window* parent, DT_TYPE type, std::string virtualUserId,
                         std::string groupName, std::string hostName)
    : CDDTInput(parent, type),
      m_strVID(std::move(virtualUserId)),
      m_strHost(std::move(hostName)),
      m_strGroup(std::move(groupName)) {
  m_pEngine->m_bInternalChange = 1;
}

void CDDTResults::Reset(CDDTInput* input) try {
  const ddt::platform::MemberScope boundary;
  const std::string name = GetFileName();
  Open("");
  PrepareResults(input);
  if (!name.empty()) Save(name, 1);
  m_CurrRows.ClearLastSelectedRow();
  m_RunPositions.clear();
} catch (...) {
  ddt::platform::Failed();
}

int CDDTResults::PrepareResults(CDDTInput* input) try {
  const ddt::platform::MemberScope boundary;
  // A results workbook read from an earlier run already has columns: they are reused, so
  // that a sheet keeps one column per parameter however often it is prepared.
  return PrepareFrom(input, true);
} catch (...) {
  return ddt::platform::Failed(-1);
}

namespace {

// Writes the column names into the empty cells of results sheet `sheet`'s held header row,
// as a save would, so that a formula copied from the input that reads row 1 of its file (the
// names) reads the same names here before the results are first saved. A column named only
// by its letters whose input header cell is empty (an unnamed column) stays empty, as the
// input's does and as a save leaves it. `inputHeaderCell` tells whether the input's column of
// a name has a header cell.
void FillHeaderCells(CDT_IF& engine, int sheet, const CStringList* names,
                     const std::function<bool(const std::string&)>& inputHeaderCell) {
  if (names == nullptr) return;
  TryEngine([&] {
    for (std::size_t i = 0; i < names->size(); ++i) {
      const int col = static_cast<int>(i) + 1;
      const std::string& name = (*names)[i];
      if (name.empty() || engine.HasHeaderCell(sheet, col)) continue;
      if (name == ddt::text::ColumnLetters(col) && !inputHeaderCell(name)) continue;
      engine.SetHeaderText(sheet, col, name);
    }
  });
}

}  // namespace

// Builds this workbook's sheets and columns from the input. missingOnly: a parameter the
// results sheet already has (under its name or its cleaned name) is left alone, so that a
// refresh brings in what is new without repeating what is there.
int CDDTResults::PrepareFrom(CDDTInput* input, bool missingOnly) {
  if (input == nullptr || input == this) return -1;
  ddt::input::RedrawOff redraw(*this);
  redraw.InvalidateOnExit();
  CDT_IF* inputEngine = input->m_pEngine;
  const std::string& globalName = ddt::Shared().global;
  const long sheets = input->GetNumSheets();
  for (long s = 1; s <= sheets; ++s) {
    const std::string name = input->GetSheetName(s);
    if (m_nType == DT_TYPE_F1) {
      int ranges = 0;
      if (input->m_RunRows.GetRowsRangeCount(name, ranges) != 0 || name == globalName) continue;
      SetOrAddCurrentRow(name, 0);
      // (the input's sheet s has this name: GetSheetName(s) gave it)
    }
    TryEngine([&] { input->m_pEngine->SetSheet(static_cast<int>(s)); });
    NewSheet(name);
    const long j = GetSheetIndex(name);
    if (j < 1) return -1;
    // The sheet takes the input sheet's look (column widths, frozen panes, data
    // validations, hidden or not) once its columns are there (a new column may be fitted
    // to its name). A sheet that carries a look of its own (read from an earlier run's
    // results file) keeps it.
    const auto copyLook = [&] {
      TryEngine([&] {
        m_pEngine->CopySheetLookUnlessOwn(static_cast<int>(j), *inputEngine, static_cast<int>(s));
      });
    };
    const CStringList* inputHeader = input->GetHeaderList(name);
    if (inputHeader == nullptr || inputHeader->empty()) {
      copyLook();
      continue;
    }
    const CStringList params = *inputHeader;  // AddParam below must not touch the input
    for (const std::string& p : params) {
      if (missingOnly) {
        std::string cleaned = p;
        ddt::results::CleanResultsName(cleaned);
        if (ParamExists(p, j) != 0 || ParamExists(cleaned, j) != 0) continue;
      }
      std::string q = p;
      if (AddParam(name, q, "", DT_STYLE_NONE, "", 0) != 0) continue;
      const long inputCol = input->GetColIndex(p, s);
      if (m_nType == DT_TYPE_F1) {
        if (input->GetColIndex(q, s) < 0) {
          ddt::platform::MessageBox(
              ddt::platform::FormatString(ddt::platform::IDS_PARAM_NAME_INVALID, {p, q}), {},
              ddt::platform::MB_OK);
        }
        // The look of the input's column (of the name as the input has it) becomes the
        // look of the results column.
        ColumnLook look;
        if (inputCol < 1 || !ReadColumnLook(*inputEngine, static_cast<int>(inputCol), look))
          continue;
        SetSheet(name);
        SetStyle(ConvertToStyle(look.pattern, look.foreground, look.fontColor), q, 0);
      }
      // A headless workbook takes no styles, and no number format for the whole column
      // either: each copied cell brings its own input cell's format (CopyValues). The first
      // data row's format given to the column would show every other row, and the header,
      // with it wherever that row's own format is General.
    }
    FillHeaderCells(*m_pEngine, static_cast<int>(j), GetHeaderList(name),
                    [&](const std::string& n) {
                      const long col = input->GetColIndex(n, s);
                      return col >= 1 && inputEngine != nullptr &&
                             inputEngine->HasHeaderCell(static_cast<int>(s),
                                                                   static_cast<int>(col));
                    });
    copyLook();
  }
  return 0;
}

int CDDTResults::SetScope(CDDTInput* input, const std::string& bpName) try {
  const ddt::platform::MemberScope boundary;
  m_strScope = bpName;
  return RefreshSheet(input, bpName);
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::RefreshSheet(CDDTInput* input, const std::string& sheetName) {
  if (m_nType == DT_TYPE_QX) {
    m_CurrRows.AddLastSelectedRowEntry(sheetName, 0);
    return 0;
  }
  if (input == nullptr) return -1;
  const CStringList* inputHeader = input->GetHeaderList(sheetName);
  if (inputHeader == nullptr) return -1;
  const CStringList expected = *inputHeader;
  if (HeaderValidityCheck(&expected, sheetName) != 0) {
    PrepareFrom(input, true);
    SetSheet(sheetName);
  }
  m_CurrRows.AddLastSelectedRowEntry(sheetName, 0);
  return 0;
}

std::string CDDTResults::GetSuggestion(std::string& paramName, const std::string& sheetName) try {
  const ddt::platform::LookupScope boundary;
  return ddt::results::SuggestResultsName(paramName, GetHeaderList(sheetName));
} catch (...) {
  return ddt::platform::Failed(std::string());
}

std::string CDDTResults::LoopSheet(const std::string& tableName) const try {
  const ddt::platform::LookupScope boundary;
  return tableName.empty() ? m_strScope : m_strScope + "." + tableName;
} catch (...) {
  return ddt::platform::Failed(std::string());
}

long CDDTResults::CurrentRow(const std::string& sheetName) const {
  long row = 0;
  if (m_CurrRows.GetLastSelectedRow(sheetName, row) != 0) return 0;
  return row;
}

void CDDTResults::SetOrAddCurrentRow(const std::string& sheetName, long row) {
  if (m_CurrRows.SetLastSelectedRowEntry(sheetName, row) != 0)
    m_CurrRows.AddLastSelectedRowEntry(sheetName, row);
  m_RunPositions.erase(sheetName);
}

int CDDTResults::GetCurrRunRow(std::string sheetName) try {
  const ddt::platform::LookupScope boundary;
  return static_cast<int>(CurrentRow(sheetName.empty() ? m_strScope : sheetName));
} catch (...) {
  return ddt::platform::Failed(-1);
}
