// table2sheet and compare_table_sheets: tables of strings into sheets block by block, and a
// results sheet checked cell by cell against a block of an external workbook's sheet.
#include "manager/table_transfer.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/workbook_limits.h"
#include "ddtable/cddt_input.h"
#include "input/sheet_text.h"
#include "manager/module.h"
#include "ddtable/prm.h"
#include "platform/last_error.h"
#include "platform/resources.h"
#include "ddtable/cddt_results.h"
#include "table/entry_limits.h"
#include "table/table_limits.h"

namespace ddt::manager {
namespace {

// A data row shorter than row 0 has no cell for some column.
bool RowsCoverHeader(const StringTable& table) {
  if (table.empty()) return true;
  const std::size_t width = table.front().size();
  return std::all_of(table.begin() + 1, table.end(),
                     [width](const std::vector<std::string>& row) { return row.size() >= width; });
}

// The standard decimal conversion: leading blanks, a sign, digits; 0 without digits.
long DecimalValue(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// The number of the block after the sheet's last row: one more than the number of the
// terminator written there, 1 when the last row is no numbered terminator.
long NextBlockNumber(CDDTInput& workbook, long sheetIndex, long lastRow,
                     const StringTable& table, const std::string& mark) {
  if (lastRow == 0) return 1;
  const std::string firstName = table.empty() ? std::string() : table.front().front();
  const std::string value = workbook.GetParamValue(lastRow, firstName, sheetIndex);
  const std::string number = value.size() > mark.size() ? value.substr(mark.size()) : "";
  return DecimalValue(number) + 1;
}

}  // namespace

// Whether the whole table fits the sheet: its columns (sheetColumns, or -1 for a new sheet
// of parameter columns), its rows below `lastRow` and the terminator row, and every text. Checked before anything is written, so that a table is
// written whole or not at all; false with the reason as the last error.
static bool TableFits(const StringTable& table, long sheetColumns, long lastRow) {
  using ddt::platform::SetLastError;
  const std::size_t columns = table.empty() ? 0 : table.front().size();
  const long limit = sheetColumns < 0 ? ddt::table::kMaxParamColumns : sheetColumns;
  if (columns > static_cast<std::size_t>(limit)) {
    SetLastError("table2sheet: the table has " + std::to_string(columns) +
                 " columns, a sheet may have " + std::to_string(limit));
    return false;
  }
  const std::size_t rows = table.empty() ? 0 : table.size() - 1;
  if (static_cast<std::size_t>(lastRow) + rows + 1 >
      static_cast<std::size_t>(ddt::table::kMaxDataRows)) {
    SetLastError("table2sheet: " + std::to_string(rows) + " rows and the terminator row do not "
                 "fit below row " + std::to_string(lastRow) + " (a sheet has " +
                 std::to_string(ddt::table::kMaxDataRows) + " data rows)");
    return false;
  }
  for (std::size_t i = 0; i < table.size(); ++i)
    for (std::size_t j = 0; j < columns; ++j)
      if (!(i == 0 ? ddt::table::CheckParamName(table[i][j])
                   : ddt::table::CheckCellText(table[i][j])))
        return false;
  return true;
}

int TransferTable(const StringTable& table, CDDTInput& workbook, const std::string& sheet) {
  if (!RowsCoverHeader(table)) {
    ddt::platform::SetLastError("table2sheet: a row has fewer cells than row 0");
    return -1;
  }
  const std::string mark = ddt::platform::LoadString(ddt::platform::IDS_TERMINATOR_MARK);
  CDT_IF& engine = *workbook.m_pEngine;

  if (workbook.GetSheetIndex(sheet) != 0) {
    workbook.SetSheet(sheet);
    // The block number is read under row 0's first name, which an empty row 0 lacks.
    if (!table.empty() && table.front().empty() && engine.GetLastRow() > 0) {
      ddt::platform::SetLastError("table2sheet: row 0 has no cells and sheet " +
                                  ddt::platform::Quoted(sheet) + " has data");
      return -1;
    }
    // Table columns beyond the sheet's are left out, as they always were.
    if (!TableFits(table, static_cast<long>(ddt::engine::kMaxCols), engine.GetLastRow())) return -1;
  } else {
    if (!TableFits(table, -1, 0) || !ddt::table::CheckSheetName(sheet)) return -1;
    if (workbook.NewSheet(sheet) != 0 || workbook.SetSheet(sheet) != 0) return -1;
    if (!table.empty()) {
      const std::vector<std::string>& names = table.front();
      for (std::size_t j = 0; j < names.size(); ++j) {
        std::string name = names[j].empty() ? std::string("#").append(std::to_string(j + 1)) : names[j];
        workbook.AppendColumnByName(sheet, name, "", CDT::DT_STYLE_GREY_TEXT);
      }
    }
  }
  const long sheetIndex = workbook.GetSheetIndex(sheet);
  const long last = engine.GetLastRow();
  const long block = NextBlockNumber(workbook, sheetIndex, last, table, mark);
  const std::string terminator = mark + " " + std::to_string(block);

  // Columns one after another, each from top to bottom; table columns go to sheet columns
  // by position, whatever the sheet's columns are called.
  if (!table.empty()) {
    for (std::size_t j = 0; j < table.front().size(); ++j) {
      const std::string name =
          engine.GetColText(static_cast<int>(sheetIndex), static_cast<int>(j + 1));
      for (std::size_t i = 1; i < table.size(); ++i)
        workbook.SetParamValue(last + static_cast<long>(i), name, table[i][j], sheet, 1);
    }
  }

  const long terminatorRow = engine.GetLastRow() + 1;
  workbook.SetStyle(CDT::DT_STYLE_WHITE_ON_BLUE, "", terminatorRow);
  engine.SetValue(static_cast<int>(sheetIndex), static_cast<int>(terminatorRow), 1,
                  terminator.c_str());
  return 1;
}

namespace {

// Is row a terminator row of the external sheet (current in `book`): column 1 begins with
// the mark (any case). Where the binding stores styles, the cell under the first parameter
// must also carry the terminator style, so a data cell such as ".Ending" is no terminator
// there. The headless binding stores none (table2sheet's terminators carry no style), so the
// mark alone decides, as it does for the run rows and loops of a run.
bool IsTerminatorRow(CDT& book, long sheetIndex, long row, const std::string& firstParam,
                     const std::string& mark) {
  const std::string value =
      book.m_pEngine->GetValue(static_cast<int>(sheetIndex), static_cast<int>(row), 1);
  if (!ddt::text::StartsWithNoCase(value, mark)) return false;
  return book.m_nType != CDT::DT_TYPE_F1 ||
         book.GetStyle(firstParam, row) == CDT::DT_STYLE_WHITE_ON_BLUE;
}

bool Contains(const CStringList& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

int CompareTableSheets(CDDTResults& results, const CompareRequest& request,
                       std::string& message, bool& messageSet) {
  messageSet = false;
  message.clear();

  static constexpr std::string_view kAliasSeparator = "@@";
  std::string alias, externalSheet;
  const std::size_t separator = request.reference.find(kAliasSeparator);
  if (separator != std::string::npos) {
    alias = request.reference.substr(0, separator);
    externalSheet = request.reference.substr(separator + kAliasSeparator.size());
  }
  CPrm* manager = ddt::CurrentManager();
  CDDTResults* external = manager == nullptr ? nullptr : manager->GetExternWorkbook(alias);
  if (external == nullptr) return kCompareUnknownAlias;
  if (!Contains(external->GetSheetList(), externalSheet)) return kCompareUnknownExternalSheet;
  if (!Contains(results.GetSheetList(), request.resultsSheet)) return kCompareUnknownResultsSheet;
  const long externalIndex = external->GetSheetIndex(externalSheet);
  const long resultsIndex = results.GetSheetIndex(request.resultsSheet);

  messageSet = true;
  const CStringList* headerList = external->GetHeaderList(externalSheet);
  if (headerList == nullptr) return -1;
  const CStringList headers = *headerList;  // the engine's list may be rebuilt below

  // Columns: firstColumn (default the first) through lastColumn (default, or unknown: the
  // last); an unknown first column compares none.
  std::size_t begin = 0, end = headers.size();
  if (!request.firstColumn.empty()) {
    auto it = std::find(headers.begin(), headers.end(), request.firstColumn);
    begin = it == headers.end() ? headers.size() : static_cast<std::size_t>(it - headers.begin());
  }
  if (!request.lastColumn.empty()) {
    auto it = std::find(headers.begin(), headers.end(), request.lastColumn);
    if (it != headers.end()) end = static_cast<std::size_t>(it - headers.begin()) + 1;
  }

  // Iterations: firstIteration (default 1) through lastIteration (default, and at most, the
  // external sheet's last used row).
  const long first = request.firstIteration.empty() ? 1 : DecimalValue(request.firstIteration);
  const long max = external->GetMaxIterations(externalSheet);
  const long last = request.lastIteration.empty()
                        ? max
                        : std::min(DecimalValue(request.lastIteration), max);

  results.SetSheet(request.resultsSheet);
  external->SetSheet(externalSheet);

  // The current run row n reads block n of the external sheet: it starts after the
  // (n - 1)-th terminator row.
  const std::string mark = ddt::platform::LoadString(ddt::platform::IDS_TERMINATOR_MARK);
  const std::string firstParam = headers.empty() ? std::string() : headers.front();
  const long runRow = results.GetCurrRunRow("");
  long start = 0;
  if (runRow > 1) {
    const long lastRow = external->m_pEngine->GetLastRow();
    long seen = 0;
    for (long row = 1; row <= lastRow; ++row) {
      if (!IsTerminatorRow(*external, externalIndex, row, firstParam, mark)) continue;
      if (++seen == runRow - 1) {
        start = row;
        break;
      }
    }
    if (start == 1) {
      message = std::to_string(runRow);
      return kCompareBlockAtFirstRow;
    }
  }

  const std::string skipMark = ddt::platform::LoadString(ddt::platform::IDS_NOT_COMPARED);
  int bits = 0;
  bool compared = false;
  for (std::size_t c = begin; c < end; ++c) {
    const std::string& name = headers[c];
    for (long i = first; i <= last; ++i) {
      const long externalRow = start + i;
      if (IsTerminatorRow(*external, externalIndex, externalRow, firstParam, mark)) break;
      const std::string expected = external->GetParamValue(externalRow, name, externalIndex);
      if (expected == skipMark) continue;

      std::string resultsName = name;
      if (results.GetColIndex(name, resultsIndex) == -1) {
        const std::size_t hash = name.find('#');
        if (hash == std::string::npos) {
          message += "<" + name + "> ";
          bits |= kCompareMissingColumns;
          break;
        }
        // "Name#3" stands for the results sheet's column 3.
        resultsName = results.GetHeader(request.resultsSheet,
                                        DecimalValue(name.substr(hash + 1)));
      }
      const long resultsRow = request.resultsRowBase + i;
      const std::string actual = results.GetParamValue(resultsRow, resultsName, resultsIndex);
      compared = true;
      if (expected == actual) {
        results.SetStyle(CDT::DT_STYLE_GREEN, resultsName, resultsRow);
        bits |= kCompareMatched;
      } else {
        results.SetStyle(CDT::DT_STYLE_LIGHT_RED, resultsName, resultsRow);
        bits |= kCompareMismatched;
      }
    }
  }
  if (!compared) bits |= kCompareNothingCompared;
  return bits;
}

}  // namespace ddt::manager
