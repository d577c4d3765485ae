// Script functions: the data manager, input and external workbooks, the business process,
// parameter values and single cells.
#include <climits>
#include <memory>

#include "ddtable/ddtable.h"
#include "engine/workbook_limits.h"
#include "ddtable/cddt_input.h"
#include "manager/module.h"
#include "ddtable/prm.h"
#include "manager/script_boundary.h"
#include "ddtable/cddt_results.h"
#include "table/data_lock.h"
#include "table/entry_limits.h"
#include "table/table_limits.h"

using ddt::manager::Arg;
using ddt::manager::CopyToBuffer;
using ddt::manager::Fail;
using ddt::manager::NullArgument;
using ddt::platform::NotePartial;
using ddt::platform::Quoted;
using ddt::manager::ScriptCall;
using ddt::manager::ScriptCallVoid;

namespace {

// The column ParamColumn gives for a name the sheet does not have (the reason is then the
// last error); kept apart from the column numbers a script may pass, -1 among them.
constexpr long kUnknownParam = LONG_MIN;

// The sheet a cell function works on: the named one, or the current sheet for a name no
// sheet has (noted as the call's partial success, since the script probably misspelt it).
long CellSheet(CDT* table, const char* function, const char* sheet) {
  const long index = table->GetSheetIndex(Arg(sheet));
  if (index == 0 && sheet != nullptr && *sheet != '\0')
    NotePartial(std::string(function) + ": no sheet named " + Quoted(sheet) +
                    "; the current sheet " + Quoted(table->GetSheetName(0)) + " was used",
                ddt::platform::ErrorKind::BadArgument);
  return index;
}

// The column a parameter name stands for in the sheet; kUnknownParam, with the reason as
// the last error, when the sheet has no such parameter.
long ParamColumn(CDT* table, const char* function, long sheet, const char* name) {
  const long column = table->GetColIndex(Arg(name), sheet);
  if (column >= 1) return column;
  ddt::platform::SetLastError(std::string(function) + ": no parameter " + Quoted(Arg(name)) +
                              " in sheet " + Quoted(table->GetSheetName(sheet)));
  return kUnknownParam;
}

// The reason a row or column number cannot address a cell, or "" when it can.
std::string BadCell(long row, long column, bool appendRow) {
  if (column < 1 || column > ddt::engine::kMaxCols)
    return "column " + std::to_string(column) + " is outside the sheet (1 to " +
           std::to_string(ddt::engine::kMaxCols) + ")";
  if ((!appendRow && row < 1) || row > ddt::table::kMaxDataRows)
    return "row " + std::to_string(row) + " is outside the sheet (1 to " +
           std::to_string(ddt::table::kMaxDataRows) + ")";
  return {};
}

// The kind of what BadCell reports: past the sheet's end is over a limit, below 1 a bad
// argument.
ddt::platform::ErrorKind BadCellKind(long row, long column) {
  return column > ddt::engine::kMaxCols || row > ddt::table::kMaxDataRows
             ? ddt::platform::ErrorKind::OverLimit
             : ddt::platform::ErrorKind::BadArgument;
}

// Writes value as text at (row, column) of the sheet (0: the current sheet). A row of 0 or
// less appends below the last used row of the current sheet.
int SetCell(CDT* table, const char* function, long sheet, long row, long column,
            const char* value) {
  if (column == kUnknownParam) return -1;
  if (const std::string bad = BadCell(row, column, true); !bad.empty())
    return Fail(-1, std::string(function) + ": " + bad, BadCellKind(row, column));
  const std::string text = Arg(value);
  if (!ddt::table::CheckCellText(text)) return -1;
  if (row <= 0) row = table->m_pEngine->GetLastRow() + 1;
  if (row > ddt::table::kMaxDataRows)
    return Fail(-1,
                std::string(function) + ": the sheet is full (" +
                    std::to_string(ddt::table::kMaxDataRows) + " rows)",
                ddt::platform::ErrorKind::OverLimit);
  // The apostrophe makes the grid keep the value as typed text, whatever it looks like.
  const std::string entry = "'" + text;
  table->m_pEngine->SetValue(static_cast<int>(sheet), static_cast<int>(row),
                             static_cast<int>(column), entry.c_str());
  return 0;
}

// Copies the displayed text of (row, column) into buffer under the table's data lock; an
// unreadable cell gives -1 and an empty buffer. A cut text is noted.
int GetCell(CDT* table, const char* function, long sheet, long row, long column, char* buffer,
            int size) {
  std::string text;
  int result = 0;
  if (column == kUnknownParam) {
    result = -1;
  } else if (const std::string bad = BadCell(row, column, false); !bad.empty()) {
    ddt::platform::SetLastError(std::string(function) + ": " + bad, BadCellKind(row, column));
    result = -1;
  } else {
    const ddt::table::DataLock lock(*table);
    try {
      text = table->m_pEngine->GetFormattedText(static_cast<int>(sheet), static_cast<int>(row),
                                                static_cast<int>(column));
    } catch (const std::exception&) {
      ddt::platform::RecordCurrentException();
      ddt::platform::PrefixLastError(std::string(function) + ": ");
      text.clear();
      result = -1;
    }
  }
  if (!CopyToBuffer(text, buffer, size))
    NotePartial(std::string(function) + ": the value (" + std::to_string(text.size()) +
                    " bytes) was cut to the buffer of " + std::to_string(size) + " bytes",
                ddt::platform::ErrorKind::OverLimit);
  return result;
}

// Inserts (insert) or deletes one whole row of the named sheet, which becomes current.
int ShiftRow(CDT* table, const char* function, const char* sheet, long row, bool insert) {
  if (row < 1 || row > ddt::table::kMaxDataRows)
    return Fail(-1, std::string(function) + ": " + BadCell(row, 1, false), BadCellKind(row, 1));
  if (table->SetSheet(Arg(sheet)) != 0)
    NotePartial(std::string(function) + ": no sheet named " + Quoted(Arg(sheet)) +
                    "; the current sheet " + Quoted(table->GetSheetName(0)) + " was used",
                ddt::platform::ErrorKind::BadArgument);
  const int r = static_cast<int>(row);
  if (insert) {
    table->m_pEngine->InsertRange(r, -1, r, -1, CDT_IF::DT_SHIFT_ROWS);
  } else {
    table->m_pEngine->DeleteRange(r, -1, r, -1, CDT_IF::DT_SHIFT_ROWS);
  }
  return 0;
}

}  // namespace

extern "C" {

DDT_API CPrm* prm_init_data_manager(void) {
  return ScriptCall<CPrm*>(nullptr, []() -> CPrm* {
    if (CPrm* current = ddt::CurrentManager()) return current;
    return new CPrm(CDT::DT_TYPE_QX);  // registers itself as the current manager
  });
}

DDT_API void prm_release_data_manager(void) {
  ScriptCallVoid([] { delete ddt::CurrentManager(); });  // the destructor clears the reference
}

DDT_API CDDTInput* open_workbook(const char* fileName) {
  return ScriptCall<CDDTInput*>(nullptr, [&]() -> CDDTInput* {
    if (fileName == nullptr) return NullArgument<CDDTInput*>(nullptr, "open_workbook", "the file name");
    if (ddt::manager::IsNoTableFileName(fileName)) return nullptr;
    auto input = std::make_unique<CDDTInput>(nullptr, CDT::DT_TYPE_QX);
    // A file that cannot be read leaves the workbook empty; the reason stays noted.
    ddt::manager::OpenNoted(*input, fileName);
    return input.release();
  });
}

DDT_API int ddt_workbook_file_read(const CDT* table) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "ddt_workbook_file_read", "the workbook");
    return table->FileRead() ? 1 : 0;
  });
}

DDT_API int close_input_workbook(CDDTInput* input) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return NullArgument(-1, "close_input_workbook", "the workbook");
    delete input;
    return 0;
  });
}

DDT_API CDDTResults* prm_get_book(const char* alias) {
  return ScriptCall<CDDTResults*>(nullptr, [&]() -> CDDTResults* {
    CPrm* manager = ddt::CurrentManager();
    if (manager == nullptr)
      return Fail<CDDTResults*>(nullptr, "prm_get_book: there is no data manager");
    CDDTResults* book = manager->GetExternWorkbook(Arg(alias));
    if (book == nullptr)
      ddt::platform::SetLastError("prm_get_book: no external workbook under the alias " +
                                  Quoted(Arg(alias)));
    return book;
  });
}

DDT_API EXTERNAL_DATA* prm_open_external_workbook(const char* alias, const char* fileName,
                                                  const char* directory) {
  return ScriptCall<EXTERNAL_DATA*>(nullptr, [&]() -> EXTERNAL_DATA* {
    CPrm* manager = ddt::CurrentManager();
    if (manager == nullptr)
      return Fail<EXTERNAL_DATA*>(nullptr, "prm_open_external_workbook: there is no data manager");
    EXTERNAL_DATA* record =
        manager->LoadExternalWorkbook(Arg(alias), Arg(fileName), Arg(directory), nullptr);
    if (record != nullptr && record->pWorkbook == nullptr) {
      const std::string reason = ddt::platform::LastError();
      NotePartial("prm_open_external_workbook: " +
                      (reason.empty() ? "cannot read " + Quoted(Arg(fileName)) : reason),
                  ddt::platform::LastErrorKind());
    } else if (record != nullptr && !record->pWorkbook->FileRead() &&
               ddt::platform::LastError().empty()) {
      NotePartial("prm_open_external_workbook: no file " + Quoted(Arg(fileName)) +
                  "; the alias " + Quoted(record->strAlias) + " names an empty workbook");
    }
    return record;
  });
}

DDT_API int set_bp(CDDTInput* input, CDDTResults* results, const char* bpName) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr)
      return NullArgument(-1, "set_bp", "a workbook");
    const std::string name = Arg(bpName);
    const bool known = input->SetSheet(name) == 0;
    const int result = results->SetScope(input, name);
    if (!known)
      NotePartial("set_bp: no business process " + Quoted(name) + " in the input workbook " +
                      Quoted(input->GetFileName()) + "; its parameters will read as empty",
                  ddt::platform::ErrorKind::BadArgument);
    return result;
  });
}

DDT_API int get_param_value(CDDTResults* results, const char* name, char* buffer, int* size,
                            const char* table) {
  return ScriptCall(-1, [&] {
    if (results == nullptr) return NullArgument(-1, "get_param_value", "the results workbook");
    if (size == nullptr || buffer == nullptr || *size < 1)
      return Fail(-1, "get_param_value: no buffer (a null buffer or size, or a size below 1)",
                  ddt::platform::ErrorKind::BadArgument);
    const std::string value = results->GetValue(Arg(name), Arg(table));
    const int given = *size;
    const bool whole = CopyToBuffer(value, buffer, given);
    *size = value.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                              : static_cast<int>(value.size());
    const std::string sheet = results->LoopSheet(Arg(table));
    const long index = results->GetSheetIndex(sheet);
    if (index < 1)
      NotePartial("get_param_value: no sheet " + Quoted(sheet) + " in the results workbook",
                  ddt::platform::ErrorKind::BadArgument);
    else if (results->ParamExists(Arg(name), index) == 0)
      NotePartial(
          "get_param_value: no parameter " + Quoted(Arg(name)) + " in sheet " + Quoted(sheet),
          ddt::platform::ErrorKind::BadArgument);
    else if (!whole)
      NotePartial("get_param_value: the value of " + Quoted(Arg(name)) + " (" +
                      std::to_string(value.size()) + " bytes) was cut to the buffer of " +
                      std::to_string(given) + " bytes",
                  ddt::platform::ErrorKind::OverLimit);
    return whole ? 0 : -1;
  });
}

DDT_API int load_custom_parameters(CDDTInput* input, char* path) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return NullArgument(-1, "load_custom_parameters", "the workbook");
    std::string file = Arg(path);
    return input->LoadCustomParameters(file);
  });
}

DDT_API int prm_set_cell(CDT* table, const char* sheet, long row, const char* name,
                         const char* value) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_set_cell", "the workbook");
    const long index = CellSheet(table, "prm_set_cell", sheet);
    // An unknown name gives column -1, which must not reach the grid as "every column".
    return SetCell(table, "prm_set_cell", index, row,
                   ParamColumn(table, "prm_set_cell", index, name), value);
  });
}

DDT_API int prm_set_cell2(CDT* table, const char* sheet, long row, long column,
                          const char* value) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_set_cell2", "the workbook");
    const long index = CellSheet(table, "prm_set_cell2", sheet);
    return SetCell(table, "prm_set_cell2", index, row, column, value);
  });
}

DDT_API int prm_get_cell(CDT* table, const char* sheet, long row, const char* name,
                         char* buffer, int size) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_get_cell", "the workbook");
    if (buffer == nullptr || size < 1)
      return Fail(-1, "prm_get_cell: no buffer (a null buffer or a size below 1)",
                  ddt::platform::ErrorKind::BadArgument);
    const long index = CellSheet(table, "prm_get_cell", sheet);
    return GetCell(table, "prm_get_cell", index, row,
                   ParamColumn(table, "prm_get_cell", index, name), buffer, size);
  });
}

DDT_API int prm_get_cell2(CDT* table, const char* sheet, long row, long column, char* buffer,
                          int size) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_get_cell2", "the workbook");
    if (buffer == nullptr || size < 1)
      return Fail(-1, "prm_get_cell2: no buffer (a null buffer or a size below 1)",
                  ddt::platform::ErrorKind::BadArgument);
    const long index = CellSheet(table, "prm_get_cell2", sheet);
    return GetCell(table, "prm_get_cell2", index, row, column, buffer, size);
  });
}

DDT_API int prm_insert_row(CDT* table, const char* sheet, long row) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_insert_row", "the workbook");
    return ShiftRow(table, "prm_insert_row", sheet, row, true);
  });
}

DDT_API int prm_delete_row(CDT* table, const char* sheet, long row) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "prm_delete_row", "the workbook");
    return ShiftRow(table, "prm_delete_row", sheet, row, false);
  });
}

}  // extern "C"
