// CDDTResults: copying input rows into the results, and the iteration loops over them.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "grid/formula/formula.h"
#include "grid/workbook.h"
#include "input/sheet_text.h"
#include "platform/boundary.h"
#include "platform/last_error.h"
#include "ddtable/cddt_results.h"
#include "results/results_limits.h"
#include "results/results_text.h"
#include "results/row_choice.h"
#include "table/data_lock.h"
#include "table/engine_call.h"
#include "table/param_names.h"
#include "table/shared_strings.h"

using ddt::table::DataLock;
using ddt::table::TryEngine;
namespace rs = ddt::results;

namespace {

// The run rows of one sheet of a run-row list.
rs::RunRows RunRowsOf(const CWBRowsRangeList& list, const std::string& sheetName) {
  std::vector<rs::RowSpan> spans;
  int count = 0;
  if (!sheetName.empty() && list.GetRowsRangeCount(sheetName, count) == 0) {
    for (int i = 0; i < count; ++i) {
      CRowsRange range;
      if (list.GetRowsRangeEntry(sheetName, i, range) == 0)
        spans.push_back({range.m_nFirstRow, range.m_nLastRow});
    }
  }
  return rs::RunRows(std::move(spans));
}

}  // namespace

int CDDTResults::CopyNextRow(CDDTInput* input, const std::string& sheetName, int mode,
                             int first, int count) try {
  const ddt::platform::MemberScope boundary;
  if (input == nullptr || input == this) return rs::kNothingToCopy;
  const long current = CurrentRow(sheetName);
  const auto hint = m_RunPositions.find(sheetName);
  const rs::RowChoice choice =
      rs::ChooseRow(RunRowsOf(input->m_RunRows, sheetName), mode, first, count, current,
                    hint == m_RunPositions.end() ? 0 : hint->second);
  if (choice.wrapped) {
    m_CurrRows.SetLastSelectedRowEntry(sheetName, 0);
    m_RunPositions.erase(sheetName);
  }
  if (choice.row == 0) {
    long now = 0;
    if (m_CurrRows.GetLastSelectedRow(sheetName, now) != 0 || now == 0) return rs::kNothingToCopy;
    return rs::kEndOfRows;
  }
  return CopyRow(input, sheetName, choice.row, choice.position);
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::CopyNextRunRow(CDDTInput* input, int mode, int first, int count) try {
  const ddt::platform::MemberScope boundary;
  return CopyNextRow(input, m_strScope, mode, first, count);
} catch (...) {
  return ddt::platform::Failed(-1);
}

// Copies input row `row` of the sheet into the same row of this workbook's sheet of that
// name, then the run context and the custom values beside it.
int CDDTResults::CopyRow(CDDTInput* input, const std::string& sheetName, long row,
                         long position) {
  const long i = input->GetSheetIndex(sheetName);
  if (i < 1) return rs::kNothingToCopy;  // index 0 would read the input's current sheet
  if (m_CurrRows.SetLastSelectedRowEntry(sheetName, row) == 0)
    m_RunPositions[sheetName] = position;
  const CStringList* header = GetHeaderList(sheetName);
  if (header == nullptr) return rs::kNothingToCopy;
  const long j = GetSheetIndex(sheetName);
  if (header->empty()) {
    // A child table without parameters still carries its terminator mark in column 1.
    if (sheetName.find('.') != std::string::npos) {
      std::string cell;
      {
        DataLock lock(*input);
        TryEngine([&] { cell = input->m_pEngine->GetValue(static_cast<int>(i), static_cast<int>(row), 1); });
      }
      TryEngine([&] {
        m_pEngine->SetValue(static_cast<int>(j), static_cast<int>(row), 1, cell.c_str());
      });
    }
  } else {
    CopyValues(input, i, j, row, *header);
  }
  WriteRunContext(row);
  WriteCustomValues(input, row);
  TryEngine([&] { m_pEngine->RecalcIfNeeded(); });
  // The row, its run context and custom values are made durable (journal or first save).
  JournalCells({{j, row, 0},
                {GetSheetIndex(ddt::Shared().global), row, 0},
                {GetSheetIndex(std::string(rs::kCustomSheet)), row, 0}});
  return rs::kCopied;
}

// Copies each parameter's cell of this workbook's sheet from the input's column of that name,
// exactly: the value with its type (text that looks like a number stays that text, with every
// character), a formula as its formula, and the number format; a parameter the input lacks
// gets an empty value. Each column is looked up once per row instead of once per call (a
// lookup walks the header, which made a row cost quadratic in its parameters).
void CDDTResults::CopyValues(CDDTInput* input, long inputSheet, long sheet, long row,
                             const CStringList& header) {
  const CStringList params = header;
  const CStringList* inputHeader = input->GetHeaderList(input->GetSheetName(inputSheet));
  const CStringList inputParams = inputHeader != nullptr ? *inputHeader : CStringList{};
  std::unordered_map<std::string_view, int> inputCols, cols;  // first column of each name
  for (std::size_t c = inputParams.size(); c-- > 0;)
    inputCols[inputParams[c]] = static_cast<int>(c + 1);
  for (std::size_t c = params.size(); c-- > 0;) cols[params[c]] = static_cast<int>(c + 1);
  const int r = static_cast<int>(row);
  const int si = static_cast<int>(inputSheet), sj = static_cast<int>(sheet);
  input->m_pEngine->CancelEdit();
  m_pEngine->CancelEdit();
  TryEngine([&] {
    if (m_pEngine->GetSheet() != sj) m_pEngine->SetSheet(sj);
  });
  ddt::grid::Workbook* from = input->m_pEngine->GetBook();
  ddt::grid::Workbook* to = m_pEngine->GetBook();
  // Column order: each cell is written on its own without recalculation, so the order is
  // free, and the grid appends to a row faster than it inserts at its front.
  for (auto n = params.begin(); n != params.end(); ++n) {
    const auto source = inputCols.find(*n);
    // What the input cell holds: its entry for a formula, else its typed value. An array
    // formula is copied as one (its extent, legacy or dynamic); a cell an array fills or
    // spills over is left to the array copied with it (its value is copied where there is
    // none).
    ddt::grid::Value value;
    std::string formula, format;
    ddt::grid::formula::FormulaPtr array;
    bool forcedText = false, arrayCell = false;
    if (source != inputCols.end()) {
      DataLock lock(*input);
      TryEngine([&] {
        if (input->m_pEngine->GetSheet() != si) input->m_pEngine->SetSheet(si);
        if (const ddt::grid::Cell* cell = from->FindCell(si, r, source->second)) {
          int rows = 1, cols = 1;
          if (cell->formula && ddt::grid::formula::IsArrayFormula(*cell->formula, &rows, &cols))
            array = ddt::grid::formula::Rebased(*cell->formula, *from, *to);
          else if (cell->formula) formula = "=" + from->GetFormula(si, r, source->second);
          else value = cell->value;
          forcedText = cell->forcedText;
          arrayCell = !cell->formula &&
                      from->Calc().ArrayAnchor(from->SheetId(si), r, source->second).has_value();
        }
        input->m_pEngine->SetActiveCell(r, source->second);
        format = input->m_pEngine->GetNumberFormat();
      });
    }
    const int c = cols[*n];
    TryEngine([&] {
      m_pEngine->SetActiveCell(r, c);
      m_pEngine->SetSelection(r, c, r, c);
      m_pEngine->SetNumberFormat(format.c_str());
    });
    TryEngine([&] {
      if (array) {
        to->SetCellFormula(sj, r, c, array, std::nullopt);
      } else if (arrayCell && to->Calc().ArrayAnchor(to->SheetId(sj), r, c)) {
        // The array copied into this workbook writes the cell: a value would be in its way.
      } else if (!formula.empty()) {
        to->SetEntry(sj, r, c, formula);
      } else if (const auto* text = std::get_if<ddt::grid::SharedText>(&value); text && forcedText) {
        to->SetEntry(sj, r, c, "'" + text->str());  // keeps the mark the text was entered with
      } else if (ddt::grid::IsEmpty(value)) {
        to->SetEntry(sj, r, c, "");
      } else {
        to->SetCellValue(sj, r, c, value);
      }
    });
  }
}

// "Iter" = row, "VID", "Host" and "Group" into row `row` of the global sheet, where the
// sheet and those columns exist.
void CDDTResults::WriteRunContext(long row) {
  const ddt::SharedStrings& shared = ddt::Shared();
  if (GetSheetIndex(shared.global) < 1) return;
  SetParamValue(row, shared.iter, std::to_string(row), shared.global, 0);
  SetParamValue(row, shared.vid, m_strVID, shared.global, 0);
  SetParamValue(row, shared.host, m_strHost, shared.global, 0);
  SetParamValue(row, shared.group, m_strGroup, shared.global, 0);
}

// The custom values (row 1 of the input's custom sheet) into row `row` of this workbook's
// custom sheet, for each custom parameter this workbook has.
void CDDTResults::WriteCustomValues(CDDTInput* input, long row) {
  const std::string custom(rs::kCustomSheet);
  const CStringList* header = GetHeaderList(custom);
  const long inputCustom = input->GetSheetIndex(custom);
  if (header == nullptr || inputCustom < 1) return;
  const CStringList params = *header;
  for (const std::string& n : params) {
    std::string value;
    {
      DataLock lock(*input);
      value = input->GetRawValue(1, n, inputCustom);
    }
    SetParamValue(row, n, value, custom, 0);
  }
}

int CDDTResults::AdvanceLoop(CDDTInput* input, const std::string& tableName) try {
  const ddt::platform::MemberScope boundary;
  const std::string sheet = LoopSheet(tableName);
  if (CopyNextRow(input, sheet, 0, 1, 1) != rs::kCopied) return rs::kLoopEnds;
  long r = 0;
  // Without an entry the row just copied is not recorded, and the next call would copy
  // the first run row again for ever: the loop cannot go on.
  if (m_CurrRows.GetLastSelectedRow(sheet, r) != 0) return rs::kLoopEnds;
  if (r <= 0) return rs::kLoopGoesOn;
  CRowsRange firstRange;
  if (input->m_RunRows.GetRowsRangeEntry(sheet, 0, firstRange) == 0 && r > firstRange.m_nLastRow)
    return rs::kLoopEnds;
  const long j = GetSheetIndex(sheet);
  std::string cell;
  if (j > 0) TryEngine([&] { cell = m_pEngine->GetValue(static_cast<int>(j), static_cast<int>(r), 1); });
  if (!ddt::text::StartsWithNoCase(cell, ddt::Shared().end)) return rs::kLoopGoesOn;
  // The row just copied closes a block.
  if (m_nType == DT_TYPE_F1) {
    SetSheet(sheet);
    SetStyle(DT_STYLE_WHITE_ON_BLUE, "", r);
  }
  return rs::kLoopEnds;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::ResetLoop(CDDTInput* input, const std::string& tableName) try {
  const ddt::platform::MemberScope boundary;
  if (input == nullptr || input == this) return -1;
  const std::string sheet = LoopSheet(tableName);
  RefreshSheet(input, sheet);
  const long n = CurrentRow(m_strScope);  // the business-process iteration whose block starts
  if (n <= 0) return -1;
  long start = 0;
  if (n > 1) {
    const long inputSheet = input->GetSheetIndex(sheet);
    if (inputSheet < 1) return -1;
    const long last = input->GetLastRunRow(sheet);
    bool found = false;
    for (long i = n - 1; i <= last && !found; ++i) {
      std::string cell;
      {
        DataLock lock(*input);
        TryEngine([&] {
          cell = input->m_pEngine->GetValue(static_cast<int>(inputSheet), static_cast<int>(i), 1);
        });
      }
      if (rs::ClosesBlock(cell, ddt::Shared().end, n - 1)) {
        start = i;
        found = true;
      }
    }
    if (!found) return -1;
  }
  SetOrAddCurrentRow(sheet, start);
  return AdvanceLoop(input, tableName);
} catch (...) {
  return ddt::platform::Failed(-1);
}
