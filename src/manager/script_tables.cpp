// Script functions: table transfer into sheets and comparison with an external workbook.
#include <cstddef>
#include <string>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "manager/script_boundary.h"
#include "manager/table_transfer.h"
#include "ddtable/cddt_results.h"

using ddt::manager::Arg;
using ddt::manager::CopyToBuffer;
using ddt::manager::Fail;
using ddt::manager::NullArgument;
using ddt::manager::ScriptCall;

extern "C" {

DDT_API int table2sheet(const std::vector<std::vector<std::string>>& table, CDDTInput* input,
                        const char* sheet) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return NullArgument(-1, "table2sheet", "the workbook");
    if (sheet == nullptr) return NullArgument(-1, "table2sheet", "the sheet name");
    return ddt::manager::TransferTable(table, *input, sheet);
  });
}

DDT_API int table2sheet_cells(const char* const* cells, int rows, int columns,
                              CDDTInput* input, const char* sheet) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return NullArgument(-1, "table2sheet_cells", "the workbook");
    if (sheet == nullptr) return NullArgument(-1, "table2sheet_cells", "the sheet name");
    if (rows < 0 || columns < 0)
      return Fail(-1, "table2sheet_cells: " + std::to_string(rows) + " rows, " +
                          std::to_string(columns) + " columns");
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (count > 0 && cells == nullptr) return NullArgument(-1, "table2sheet_cells", "the cells");
    ddt::manager::StringTable table(static_cast<std::size_t>(rows));
    for (std::size_t r = 0; r < table.size(); ++r) {
      table[r].reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c)
        table[r].push_back(Arg(cells[r * static_cast<std::size_t>(columns) + c]));
    }
    return ddt::manager::TransferTable(table, *input, sheet);
  });
}

DDT_API int compare_table_sheets(CDDTResults* results, const char* rsheet,
                                 const char* reference, const char* firstColumn,
                                 const char* lastColumn, const char* firstIteration,
                                 const char* lastIteration, int base, char* buffer, int size) {
  return ScriptCall(-1, [&] {
    if (results == nullptr || rsheet == nullptr || reference == nullptr)
      return NullArgument(-1, "compare_table_sheets", "the results workbook, sheet or reference");
    if (buffer == nullptr || size < 1)
      return Fail(-1, "compare_table_sheets: no buffer (a null buffer or a size below 1)",
                  ddt::platform::ErrorKind::BadArgument);
    const ddt::manager::CompareRequest request{rsheet,          reference,
                                               Arg(firstColumn), Arg(lastColumn),
                                               Arg(firstIteration), Arg(lastIteration),
                                               base};
    std::string message;
    bool messageSet = false;
    const int result = ddt::manager::CompareTableSheets(*results, request, message, messageSet);
    if (messageSet && !CopyToBuffer(message, buffer, size))
      ddt::platform::NotePartial(
          "compare_table_sheets: the message (" + std::to_string(message.size()) +
              " bytes) was cut to the buffer of " + std::to_string(size) + " bytes",
          ddt::platform::ErrorKind::OverLimit);
    return result;
  });
}

}  // extern "C"
