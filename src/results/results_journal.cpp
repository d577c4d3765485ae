// CDDTResults: the run journal that keeps a results file current after every copied row
// without rewriting it (see results/journal.h).
#include <exception>
#include <string>

#include "engine/cell_image.h"
#include "platform/boundary.h"
#include "ddtable/cddt_results.h"
#include "platform/last_error.h"
#include "results/journal.h"
#include "results/results_text.h"

namespace rs = ddt::results;

CDDTResults::~CDDTResults() {
  if (!m_pJournal) return;
  try {
    Save("", 1);  // removes the journal once the file holds its rows
  } catch (...) {
    // The journal stays beside the file; the next Open recovers it.
  }
}

int CDDTResults::Open(const std::string& fileName) try {
  const ddt::platform::MemberScope boundary;
  // The file being left gets what its journal holds, as it would have after each row.
  if (m_pJournal) Save("", 1);
  m_pJournal.reset();
  const int result = CDDTInput::Open(fileName);
  if (result == 0 && !fileName.empty()) Recover(fileName);
  return result;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CDDTResults::Save(const std::string& fileName, int setName) try {
  const ddt::platform::MemberScope boundary;
  const std::string target = fileName.empty() ? GetFileName() : fileName;
  const int result = CDT::Save(fileName, setName);
  if (result != 0 || target.empty()) return result;
  // The file now holds every row in memory, journaled or not.
  const std::string journal = rs::JournalPath(target);
  if (m_pJournal && m_pJournal->Path() == journal) {
    if (m_pJournal->Remove()) m_pJournal.reset();
  } else {
    rs::RunJournal(journal).Remove();
  }
  return result;
} catch (...) {
  return ddt::platform::Failed(-1);
}

void CDDTResults::Recover(const std::string& fileName) {
  const std::string path = rs::JournalPath(fileName);
  const std::vector<rs::JournalRecord> records = rs::RunJournal::Read(path);
  if (records.empty()) {
    rs::RunJournal(path).Remove();  // nothing complete in it
    return;
  }
  const long current = m_pEngine->GetSheet();
  for (const rs::JournalRecord& record : records) {
    for (const rs::JournalCell& cell : record) {
      if (cell.row < 1 || cell.col < 1) continue;
      long sheet = GetSheetIndex(cell.sheet);
      if (sheet == 0 && NewSheet(cell.sheet) == 0) sheet = GetSheetIndex(cell.sheet);
      if (sheet == 0) continue;
      const int s = static_cast<int>(sheet);
      const CStringList* header = m_pEngine->GetHeaderList(s);
      if (!cell.name.empty() &&
          (header == nullptr || static_cast<std::size_t>(cell.col) > header->size() ||
           (*header)[cell.col - 1] != cell.name)) {
        m_pEngine->SetSheet(s);  // headings are set on the current sheet
        m_pEngine->SetColText(s, cell.col, cell.name.c_str());
      }
      ddt::engine::WriteCellImage(*m_pEngine, s, cell.row, cell.col, cell);
    }
  }
  if (current >= 1 && current <= GetNumSheets()) m_pEngine->SetSheet(static_cast<int>(current));
  m_pEngine->SetModified(1);
  // Folds the rows into the file; the journal goes once the file holds them.
  Save("", 1);
}

void CDDTResults::JournalCells(const std::vector<std::array<long, 3>>& cells) {
  const std::string file = GetFileName();
  if (m_nType != DT_TYPE_QX || file.empty() || !rs::SaveResultsAfterEveryRow()) return;
  const std::string path = rs::JournalPath(file);
  if (!m_pJournal || m_pJournal->Path() != path) {
    // The journal records changes to the file as written now: what is in memory (this row
    // included) goes into the file once, then only the rows that follow into the journal.
    m_pJournal.reset();
    if (Save("", 1) != 0) {
      ddt::platform::NotePartial(
          "The row was copied but the results were not saved: " + ddt::platform::LastError(),
          ddt::platform::LastErrorKind());
      return;
    }
    m_pJournal = std::make_unique<rs::RunJournal>(path);
    return;
  }
  rs::JournalRecord record;
  for (const auto& [sheet, row, col] : cells) {
    if (sheet < 1 || sheet > GetNumSheets() || row < 1) continue;
    const int s = static_cast<int>(sheet), r = static_cast<int>(row);
    const std::string sheetName = m_pEngine->GetSheetName(s);
    const CStringList* header = m_pEngine->GetHeaderList(s);
    const long first = col > 0 ? col : 1;
    const long last = col > 0 ? col : (header != nullptr ? static_cast<long>(header->size()) : 0);
    for (long c = first; c <= last; ++c) {
      rs::JournalCell cell;
      static_cast<ddt::engine::CellImage&>(cell) =
          ddt::engine::ReadCellImage(*m_pEngine, s, r, static_cast<int>(c));
      cell.sheet = sheetName;
      cell.row = r;
      cell.col = static_cast<int>(c);
      if (header != nullptr && static_cast<std::size_t>(c) <= header->size())
        cell.name = (*header)[c - 1];
      record.push_back(std::move(cell));
    }
  }
  if (record.empty()) return;
  // A journal that cannot be written any more gives way to a full save, as before.
  if (!m_pJournal->Append(record)) {
    m_pJournal.reset();
    if (Save("", 1) != 0)
      ddt::platform::NotePartial(
          "The row was copied but the results were not saved: " + ddt::platform::LastError(),
          ddt::platform::LastErrorKind());
  }
}

void CDDTResults::JournalVerified(const Resolved* output, const Resolved* expected) {
  std::vector<std::array<long, 3>> cells;
  for (const Resolved* cell : {output, expected}) {
    if (cell == nullptr || cell->book != this) continue;
    const long sheet = GetSheetIndex(cell->fullSheet);
    const long col = sheet > 0 ? GetColIndex(cell->name, sheet) : -1;
    if (col > 0) cells.push_back({sheet, cell->row, col});
  }
  if (!cells.empty()) JournalCells(cells);
}
