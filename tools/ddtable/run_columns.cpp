#include "run_columns.h"

#include <cstdio>

#include "ddtable/cdt.h"

namespace ddtcli {

namespace {

int AddColumnIfMissing(CDT& book, const std::string& sheet, const char* column) {
  const long index = book.GetSheetIndex(sheet);
  if (index < 1) return -1;
  if (book.ParamExists(column, index) != 0) return 0;
  std::string name = column;
  if (book.AddParam(sheet, name, "", CDT::DT_STYLE_NONE, "", 0) != 0) return -1;
  return name == column ? 0 : -1;
}

// Cuts text to at most `limit` bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

// Numbers go in as entered: a parameter value such as "0.250" would be kept as text.
void WriteNumber(CDT& book, const std::string& sheet, long row, const char* param,
                 const std::string& number) {
  const long index = book.GetSheetIndex(sheet);
  const long col = index > 0 ? book.GetColIndex(param, index) : -1;
  if (col < 1) return;
  try {
    book.m_pEngine->SetValue(static_cast<int>(index), static_cast<int>(row), static_cast<int>(col),
                             number.c_str());
  } catch (...) {
    // A value the grid refuses leaves the cell empty; the run's outcome is elsewhere too.
  }
}

int AddRunColumn(CDT& book, const std::string& sheet, const char* column) {
  return AddColumnIfMissing(book, sheet, column);
}

int AddRunColumns(CDT& book, const std::string& sheet, bool commandColumns) {
  const char* all[] = {kStatusColumn, kMessageColumn, kExitColumn, kDurationColumn,
                       kStdoutColumn, kStderrColumn, kNameColumn};
  for (const char* column : all) {
    const bool commandOnly = column != kStatusColumn && column != kMessageColumn && column != kNameColumn;
    if (commandOnly && !commandColumns) continue;
    if (AddColumnIfMissing(book, sheet, column) != 0) return -1;
  }
  return 0;
}

std::string CellText(const std::string& text, std::size_t total) {
  std::string kept = text;
  // Room for the note; the cell limit counts characters, bytes are a safe upper bound.
  constexpr std::size_t kRoom = kMaxCellText - 80;
  bool cut = total > text.size();
  if (kept.size() > kRoom) {
    kept = CutUtf8(kept, kRoom);
    cut = true;
  }
  if (!cut && !kept.empty() && kept.back() == '\n') kept.pop_back();
  if (!cut && !kept.empty() && kept.back() == '\r') kept.pop_back();
  if (cut) {
    char note[80];
    std::snprintf(note, sizeof note, "\n[... output cut: %zu of %zu bytes kept]", kept.size(), total);
    kept += note;
  }
  return kept;
}

void WriteText(CDT& book, const std::string& sheet, long row, const std::string& param,
               const std::string& text) {
  // The leading apostrophe makes the entry text whatever it looks like ("=1", "007", "TRUE").
  const std::string entry = text.empty() ? std::string() : "'" + CutUtf8(text, kMaxCellText - 1);
  book.SetParamValue(row, param, entry, sheet, 0);
}

void WriteRecord(CDT& book, const std::string& sheet, long row, const RowRecord& record) {
  WriteText(book, sheet, row, kStatusColumn, record.status);
  WriteText(book, sheet, row, kMessageColumn, record.message);
  if (!record.name.empty()) WriteText(book, sheet, row, kNameColumn, record.name);
  if (record.command) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", record.seconds);
    WriteNumber(book, sheet, row, kExitColumn, record.exitStatus);
    WriteNumber(book, sheet, row, kDurationColumn, seconds);
    WriteText(book, sheet, row, kStdoutColumn, record.out);
    WriteText(book, sheet, row, kStderrColumn, record.err);
  }
  if (book.SetSheet(sheet) == 0) {
    const CDT::DT_STYLE mark = record.status == kPassed ? CDT::DT_STYLE_GREEN
                               : record.status == kSkipped || record.status == kNotRun ? CDT::DT_STYLE_NONE
                                                           : CDT::DT_STYLE_LIGHT_RED;
    book.SetStyle(mark, kStatusColumn, row);
  }
}

}  // namespace ddtcli
