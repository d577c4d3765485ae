// Script functions: the data manager, input and external workbooks, the business process,
// parameter values and single cells.
#include <climits>
#include <memory>

#include "ddtable/ddtable.h"
#include "input/cddt_input.h"
#include "manager/module.h"
#include "manager/prm.h"
#include "manager/script_boundary.h"
#include "results/cddt_results.h"

using ddt::manager::Arg;
using ddt::manager::CopyToBuffer;
using ddt::manager::ScriptCall;
using ddt::manager::ScriptCallVoid;

namespace {

// Row and column numbers arrive as long; the grid counts in int. Values beyond int are
// beyond every sheet anyway and are refused.
bool FitsInt(long value) { return value >= INT_MIN && value <= INT_MAX; }

// The column a parameter name stands for in the named sheet (unknown sheet: the current
// one); -1 when the sheet has no such parameter.
long ParamColumn(CDT* table, const char* sheet, const char* name) {
  return table->GetColIndex(Arg(name), table->GetSheetIndex(Arg(sheet)));
}

// Writes value as text at (row, column) of the named sheet (unknown: the current sheet).
// A row of 0 or less appends below the last used row of the current sheet.
int SetCell(CDT* table, const char* sheet, long row, long column, const char* value) {
  if (column < 1 || !FitsInt(column) || !FitsInt(row)) return -1;
  // The apostrophe makes the grid keep the value as typed text, whatever it looks like.
  const std::string text = "'" + Arg(value);
  if (row <= 0) row = table->m_pEngine->GetLastRow() + 1;
  table->m_pEngine->SetValue(static_cast<int>(table->GetSheetIndex(Arg(sheet))),
                             static_cast<int>(row), static_cast<int>(column), text.c_str());
  return 0;
}

// Copies the displayed text of (row, column) into buffer under the table's data lock; an
// unreadable cell gives -1 and an empty buffer.
int GetCell(CDT* table, const char* sheet, long row, long column, char* buffer, int size) {
  std::string text;
  int result = 0;
  if (column < 1 || !FitsInt(column) || !FitsInt(row)) {
    result = -1;
  } else {
    struct Lock {
      CDT* table;
      explicit Lock(CDT* t) : table(t) { table->LockData(); }
      ~Lock() { table->UnlockData(); }
    } lock(table);
    try {
      text = table->m_pEngine->GetFormattedText(
          static_cast<int>(table->GetSheetIndex(Arg(sheet))), static_cast<int>(row),
          static_cast<int>(column));
    } catch (...) {
      text.clear();
      result = -1;
    }
  }
  CopyToBuffer(text, buffer, size);
  return result;
}

// Inserts (insert) or deletes one whole row of the named sheet, which becomes current.
int ShiftRow(CDT* table, const char* sheet, long row, bool insert) {
  if (row < 1 || !FitsInt(row)) return -1;
  table->SetSheet(Arg(sheet));
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
    if (fileName == nullptr || ddt::manager::IsNoTableFileName(fileName)) return nullptr;
    auto input = std::make_unique<CDDTInput>(nullptr, CDT::DT_TYPE_QX);
    try {
      input->Open(fileName);  // a file that cannot be read leaves the workbook empty
    } catch (...) {
    }
    return input.release();
  });
}

DDT_API int close_input_workbook(CDDTInput* input) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return -1;
    delete input;
    return 0;
  });
}

DDT_API CDDTResults* prm_get_book(const char* alias) {
  return ScriptCall<CDDTResults*>(nullptr, [&]() -> CDDTResults* {
    CPrm* manager = ddt::CurrentManager();
    return manager == nullptr ? nullptr : manager->GetExternWorkbook(Arg(alias));
  });
}

DDT_API EXTERNAL_DATA* prm_open_external_workbook(const char* alias, const char* fileName,
                                                  const char* directory) {
  return ScriptCall<EXTERNAL_DATA*>(nullptr, [&]() -> EXTERNAL_DATA* {
    CPrm* manager = ddt::CurrentManager();
    if (manager == nullptr) return nullptr;
    return manager->LoadExternalWorkbook(Arg(alias), Arg(fileName), Arg(directory), nullptr);
  });
}

DDT_API int set_bp(CDDTInput* input, CDDTResults* results, const char* bpName) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr) return -1;
    const std::string name = Arg(bpName);
    input->SetSheet(name);
    return results->SetScope(input, name);
  });
}

DDT_API int get_param_value(CDDTResults* results, const char* name, char* buffer, int* size,
                            const char* table) {
  return ScriptCall(-1, [&] {
    if (results == nullptr || size == nullptr || buffer == nullptr || *size < 1) return -1;
    const std::string value = results->GetValue(Arg(name), Arg(table));
    const bool whole = CopyToBuffer(value, buffer, *size);
    *size = value.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                              : static_cast<int>(value.size());
    return whole ? 0 : -1;
  });
}

DDT_API int load_custom_parameters(CDDTInput* input, char* path) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return -1;
    std::string file = Arg(path);
    return input->LoadCustomParameters(file);
  });
}

DDT_API int prm_set_cell(CDT* table, const char* sheet, long row, const char* name,
                         const char* value) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return -1;
    // An unknown name gives column -1, which must not reach the grid as "every column".
    return SetCell(table, sheet, row, ParamColumn(table, sheet, name), value);
  });
}

DDT_API int prm_set_cell2(CDT* table, const char* sheet, long row, long column,
                          const char* value) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return -1;
    return SetCell(table, sheet, row, column, value);
  });
}

DDT_API int prm_get_cell(CDT* table, const char* sheet, long row, const char* name,
                         char* buffer, int size) {
  return ScriptCall(-1, [&] {
    if (table == nullptr || buffer == nullptr || size < 1) return -1;
    return GetCell(table, sheet, row, ParamColumn(table, sheet, name), buffer, size);
  });
}

DDT_API int prm_get_cell2(CDT* table, const char* sheet, long row, long column, char* buffer,
                          int size) {
  return ScriptCall(-1, [&] {
    if (table == nullptr || buffer == nullptr || size < 1) return -1;
    return GetCell(table, sheet, row, column, buffer, size);
  });
}

DDT_API int prm_insert_row(CDT* table, const char* sheet, long row) {
  return ScriptCall(-1, [&] { return table == nullptr ? -1 : ShiftRow(table, sheet, row, true); });
}

DDT_API int prm_delete_row(CDT* table, const char* sheet, long row) {
  return ScriptCall(-1, [&] { return table == nullptr ? -1 : ShiftRow(table, sheet, row, false); });
}

}  // extern "C"
