// Script functions: the results workbook, run rows, iteration loops, parameter enumeration,
// substitution and output verification.
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "manager/script_boundary.h"
#include "platform/resources.h"
#include "ddtable/cddt_results.h"

using ddt::manager::Arg;
using ddt::manager::Contained;
using ddt::manager::CopyToBuffer;
using ddt::manager::Fail;
using ddt::manager::NullArgument;
using ddt::manager::ScriptCall;
using ddt::platform::NotePartial;
using ddt::platform::Quoted;

namespace {

int LengthAsInt(std::size_t length) {
  return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

}  // namespace

extern "C" {

DDT_API CDDTResults* open_results(const char* fileName, int virtualUserId, const char* group,
                                  const char* host) {
  return ScriptCall<CDDTResults*>(nullptr, [&]() -> CDDTResults* {
    using namespace ddt::platform;
    if (fileName == nullptr)
      return NullArgument<CDDTResults*>(nullptr, "open_results", "the file name");
    if (ddt::manager::IsNoTableFileName(fileName)) return nullptr;
    std::unique_ptr<CDDTResults> results;
    if (group == nullptr) {
      // No run context given: the one a single local user runs with.
      results = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX,
                                              LoadString(IDS_VID_INITIAL),
                                              LoadString(IDS_GROUP_INITIAL),
                                              LoadString(IDS_HOST_INITIAL));
    } else {
      results = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX,
                                              std::to_string(virtualUserId), group, Arg(host));
    }
    // A missing file is the usual start of a run: the workbook starts empty. A file that
    // exists but cannot be read leaves it empty too, and the reason is noted.
    std::error_code ec;
    const bool exists = std::filesystem::exists(fileName, ec);
    ddt::manager::OpenNoted(*results, fileName);
    if (!exists) ddt::platform::ClearLastError();
    return results.release();
  });
}

DDT_API int save_results_as(CDDTResults* results, const char* fileName, int setName) {
  return ScriptCall(-1, [&] {
    if (results == nullptr) return NullArgument(-1, "save_results_as", "the results workbook");
    const std::string name =
        (fileName != nullptr && *fileName != '\0') ? std::string(fileName) : results->GetFileName();
    return results->Save(name, setName);
  });
}

DDT_API int prepare_results(CDDTResults* results, CDDTInput* input) {
  return ScriptCall(-1, [&] {
    if (results == nullptr || input == nullptr)
      return NullArgument(-1, "prepare_results", "a workbook");
    return results->PrepareResults(input);
  });
}

DDT_API int close_results(CDDTResults* results) {
  return ScriptCall(-1, [&] {
    if (results == nullptr) return NullArgument(-1, "close_results", "the results workbook");
    delete results;
    return 0;
  });
}

DDT_API int refresh_parameters(CDDTInput* input, CDDTResults* results, const char* name) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr)
      return NullArgument(-1, "refresh_parameters", "a workbook");
    return results->RefreshParameters(input, Arg(name));
  });
}

DDT_API int clear_runrows(CDT* table) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "clear_runrows", "the workbook");
    return table->UnSelectRows(0);
  });
}

DDT_API int add_runrows(CDT* table, long firstRow, long lastRow) {
  return ScriptCall(-1, [&] {
    if (table == nullptr) return NullArgument(-1, "add_runrows", "the workbook");
    return table->AddSelectRows(firstRow, lastRow, 0);
  });
}

DDT_API int capture_runrows(CDDTInput* input) {
  return ScriptCall(-1, [&] {
    if (input == nullptr) return NullArgument(-1, "capture_runrows", "the input workbook");
    return input->CaptureRowsList(nullptr) != 0 ? 0 : -1;
  });
}

DDT_API int next_runrow(CDDTInput* input, CDDTResults* results, int mode, int first,
                        int count) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr) return NullArgument(-1, "next_runrow", "a workbook");
    return results->CopyNextRunRow(input, mode, first, count);
  });
}

DDT_API int reset_loop(CDDTInput* input, CDDTResults* results, const char* table) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr) return NullArgument(-1, "reset_loop", "a workbook");
    return results->ResetLoop(input, Arg(table));
  });
}

DDT_API int advance_loop(CDDTInput* input, CDDTResults* results, const char* table) {
  return ScriptCall(-1, [&] {
    if (input == nullptr || results == nullptr)
      return NullArgument(-1, "advance_loop", "a workbook");
    return results->AdvanceLoop(input, Arg(table));
  });
}

DDT_API int get_parameter_count(CDDTResults* results, const char* sheet) {
  return ScriptCall(-1, [&] {
    if (results == nullptr) return NullArgument(-1, "get_parameter_count", "the results workbook");
    if (sheet == nullptr) return NullArgument(-1, "get_parameter_count", "the sheet name");
    const std::string loop = results->LoopSheet(sheet);
    if (results->GetSheetIndex(loop) < 1)
      NotePartial("get_parameter_count: no sheet " + Quoted(loop) + " in the results workbook",
                  ddt::platform::ErrorKind::BadArgument);
    return results->GetParamCount(sheet);
  });
}

DDT_API int get_parameter_name(CDDTResults* results, const char* sheet, long index,
                               char* buffer, int size) {
  return ScriptCall(-1, [&] {
    if (buffer != nullptr && size >= 1) buffer[0] = '\0';
    if (results == nullptr) return NullArgument(-1, "get_parameter_name", "the results workbook");
    if (buffer == nullptr || size < 2)
      return Fail(-1, "get_parameter_name: no buffer (a null buffer or a size below 2)",
                  ddt::platform::ErrorKind::BadArgument);
    const std::string name = results->GetParamName(index, Arg(sheet));
    if (!CopyToBuffer(name, buffer, size))  // the result stays 0, as a script expects
      NotePartial("get_parameter_name: the name of parameter " + std::to_string(index) + " (" +
                      std::to_string(name.size()) + " bytes) was cut to the buffer of " +
                      std::to_string(size) + " bytes",
                  ddt::platform::ErrorKind::OverLimit);
    return 0;
  });
}

DDT_API int substitute_parameters(CDDTResults* results, const char* source, char* buffer,
                                  int* size, DDT_SUBSTITUTE_CALLBACK callback, void* context) {
  return ScriptCall(-1, [&] {
    if (size == nullptr) return NullArgument(-1, "substitute_parameters", "the size");
    const std::string text = Arg(source);
    if (results == nullptr) {
      CopyToBuffer(text, buffer, *size);  // refuses a null buffer or a size below 1
      *size = LengthAsInt(text.size());
      return NullArgument(-1, "substitute_parameters", "the results workbook");
    }
    std::string out;
    results->SubstituteParameters(text, out, callback, context);
    int result = -1;
    if (buffer != nullptr && *size > 0 && out.size() < static_cast<std::size_t>(*size)) {
      std::memcpy(buffer, out.c_str(), out.size() + 1);
      result = 0;
    } else if (buffer != nullptr) {
      ddt::platform::SetLastError("substitute_parameters: the result needs " +
                                  std::to_string(out.size() + 1) + " bytes, the buffer has " +
                                  std::to_string(*size));
    }
    *size = LengthAsInt(out.size());
    return result;
  });
}

DDT_API int prm_set_and_verify_output(CDDTResults* results, const char* outputName,
                                      const char* value, const char* expected, int verify) {
  return ScriptCall(-1, [&] {
    if (results == nullptr)
      return NullArgument(-1, "prm_set_and_verify_output", "the results workbook");
    return results->SetAndVerifyOutput(outputName, value, expected, verify != 0);
  });
}

DDT_API int prm_get_current_run_row(CDDTResults* results) {
  return ScriptCall(-1, [&] {
    if (results == nullptr)
      return NullArgument(-1, "prm_get_current_run_row", "the results workbook");
    return results->GetCurrRunRow("");
  });
}

// The one script function that keeps the caller's module context.
DDT_API long get_last_res_row(CDT* table, const char* sheet) {
  ddt::platform::ErrorScope scope;
  return Contained(-1L, [&]() -> long {
    if (table == nullptr) return NullArgument(-1L, "get_last_res_row", "the workbook");
    if (table->SetSheet(Arg(sheet)) == -1)
      return Fail(-2L, "get_last_res_row: no sheet named " + Quoted(Arg(sheet)));
    return table->m_pEngine->GetLastRow();
  });
}

}  // extern "C"
