// ddtable compare: the library's table comparison from a shell. A sheet of a results workbook
// is compared, cell by cell, with the first block of a sheet of a reference workbook.
#include <cstring>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/ddtable.h"
#include "ddtable/cddt_results.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {
constexpr const char kReferenceAlias[] = "reference";
}

int Compare(const CompareOptions& options) {
  // Both files are read once here so that an unreadable one is reported by name; the
  // library itself would compare against an empty workbook.
  {
    std::unique_ptr<CDDTInput> results = OpenWorkbook(options.results);
    FindSheet(*results, options.sheet);
    std::unique_ptr<CDDTInput> reference = OpenWorkbook(options.reference);
    FindSheet(*reference, options.referenceSheet.empty() ? options.sheet : options.referenceSheet);
  }
  if (prm_init_data_manager() == nullptr) FailUsage("the data manager could not be created");
  // The interactive binding keeps the matched and mismatched marks, so --save shows them.
  auto results = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_F1, "1", "None", "Local");
  if (results->Open(options.results) != 0) FailFile(options.results, ReadFailureReason(options.results));
  if (prm_open_external_workbook(kReferenceAlias, options.reference.c_str(), "") == nullptr)
    FailFile(options.reference, ReadFailureReason(options.reference));
  const std::string ref = std::string(kReferenceAlias) + "@@" +
                          (options.referenceSheet.empty() ? options.sheet : options.referenceSheet);
  char missing[4096] = "";
  const int outcome = compare_table_sheets(
      results.get(), options.sheet.c_str(), ref.c_str(), options.firstColumn.c_str(),
      options.lastColumn.c_str(), options.firstIteration.c_str(), options.lastIteration.c_str(),
      options.base, missing, sizeof missing);
  int code = kExitOk;
  switch (outcome) {
    case -1: FailFile(options.reference, "the reference sheet has no parameter names to compare");
    case 32: FailFile(options.reference, "the reference workbook could not be opened");
    case 128: FailFile(options.reference, "no sheet named '" + ref.substr(ref.find("@@") + 2) + "'");
    case 256: FailFile(options.results, "no sheet named '" + options.sheet + "'");
    case 16: FailFile(options.reference, "the first block of the reference sheet is empty (row 1 closes it)");
    default: break;
  }
  if ((outcome & 2) != 0) {
    Note(options.results + ": " + options.sheet + ": some cells differ from " + options.reference);
    code = kExitChecksFailed;
  }
  if ((outcome & 8) != 0) {
    Note(options.results + ": " + options.sheet + ": columns of the reference missing here: " + missing);
    code = kExitChecksFailed;
  }
  if ((outcome & 4) != 0) {
    Note(options.results + ": " + options.sheet + ": nothing was compared");
    code = kExitChecksFailed;
  }
  if (code == kExitOk) Warn(options.results + ": " + options.sheet + ": every compared cell matches");
  if (!options.save.empty()) {
    if (results->Save(options.save, 1) != 0) FailFile(options.save, WriteFailureReason(options.save));
    WarnSaveNotes(*results, options.save);
  }
  results.reset();
  prm_release_data_manager();
  return code;
}

}  // namespace ddtcli
