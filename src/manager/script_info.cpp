// Script functions: the library's version and the sheet names of a workbook.
#include <climits>
#include <string>

#include "ddtable/ddtable.h"
#include "ddtable/version.h"
#include "manager/script_boundary.h"
#include "ddtable/cdt.h"

using ddt::manager::CopyToBuffer;
using ddt::manager::Fail;
using ddt::manager::NullArgument;
using ddt::manager::ScriptCall;

extern "C" DDT_API const char* ddt_version(void) { return DDT_VERSION_STRING; }

extern "C" DDT_API int get_sheet_count(CDT* table) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "get_sheet_count", "the workbook");
    const long count = table->GetNumSheets();
    return count < 0 || count > INT_MAX ? -1 : static_cast<int>(count);
  });
}

extern "C" DDT_API int get_sheet_name(CDT* table, long index, char* buffer, int* size) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "get_sheet_name", "the workbook");
    if (buffer == nullptr || size == nullptr)
      return NullArgument(-1, "get_sheet_name", "the buffer or its size");
    if (*size < 1) return Fail(-1, "get_sheet_name: the buffer size is below 1");
    // The list reads a blank placeholder sheet's name as "", as the editor shows it.
    const CStringList& sheets = table->GetSheetList();
    if (index < 1 || static_cast<unsigned long>(index) > sheets.size()) return -1;
    const std::string& name = sheets[static_cast<std::size_t>(index - 1)];
    if (name.size() > static_cast<std::size_t>(INT_MAX)) return -1;
    const bool whole = CopyToBuffer(name, buffer, *size);
    *size = static_cast<int>(name.size());
    return whole ? 0 : -1;
  });
}
