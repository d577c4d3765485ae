// ddtable merge: combines the results workbooks of a sharded run (ddtable run --shard I/N)
// into one. Every part holds all rows copied from the input, but only the rows it ran carry
// an outcome; each such row is taken whole, with its marks, from the part that ran it.
#include <memory>
#include <set>

#include "cli_common.h"
#include "commands.h"
#include "junit.h"
#include "run_columns.h"
#include "table/cdt.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

std::unique_ptr<CDT> OpenPart(const std::string& path) {
  OpenWorkbook(path);  // reports a missing or unreadable file by name
  // The interactive binding reads and keeps the cell styles (the pass and fail marks).
  auto book = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_F1, "");
  if (book->Open(path) != 0) FailFile(path, ReadFailureReason(path));
  bool runColumns = false;
  for (const SheetInfo& sheet : Sheets(*book)) runColumns |= book->ParamExists(kStatusColumn, sheet.index) != 0;
  if (!runColumns) FailFile(path, "not a results workbook of 'ddtable run' (no " + std::string(kStatusColumn) + " column)");
  return book;
}

void CopyRow(CDT& from, CDT& to, const SheetInfo& sheet, long row) {
  from.SetSheet(sheet.name);
  to.SetSheet(sheet.name);
  for (const std::string& name : sheet.params) {
    const std::string entry = from.GetRawValue(row, name, sheet.index);
    const std::string format = from.GetNumberFormat(row, name, sheet.index);
    // Cells the run did not write hold the same exact copy of the input in every part;
    // leaving them alone keeps their type (a text "4" entered again would become a number).
    if (entry != to.GetRawValue(row, name, sheet.index))
      to.SetParamValue(row, name, entry, sheet.name, 0);
    if (!format.empty()) to.SetNumberFormat(row, name, format, sheet.index);
    const CDT::DT_STYLE style = from.GetStyle(name, row);
    if (style == CDT::DT_STYLE_GREEN || style == CDT::DT_STYLE_LIGHT_RED) to.SetStyle(style, name, row);
  }
}

}  // namespace

int Merge(const MergeOptions& options) {
  if (options.parts.empty()) FailUsage("merge: no parts given");
  std::unique_ptr<CDT> merged = OpenPart(options.parts.front());
  const std::vector<SheetInfo> layout = Sheets(*merged);
  for (std::size_t p = 1; p < options.parts.size(); ++p) {
    const std::string& path = options.parts[p];
    std::unique_ptr<CDT> part = OpenPart(path);
    const std::vector<SheetInfo> sheets = Sheets(*part);
    if (sheets.size() != layout.size())
      FailFile(path, "not a part of the same run as " + options.parts.front() + " (other sheets)");
    for (std::size_t s = 0; s < sheets.size(); ++s) {
      if (sheets[s].name != layout[s].name || sheets[s].params != layout[s].params)
        FailFile(path, "not a part of the same run as " + options.parts.front() + " (sheet '" +
                           sheets[s].name + "' differs)");
    }
    for (const SheetInfo& sheet : sheets) {
      if (part->ParamExists(kStatusColumn, sheet.index) == 0) continue;
      for (long row = 1; row <= sheet.lastRow; ++row) {
        if (part->GetParamValue(row, kStatusColumn, sheet.index).empty()) continue;
        if (!merged->GetParamValue(row, kStatusColumn, sheet.index).empty())
          FailFile(path, "row " + std::to_string(row) + " of sheet '" + sheet.name +
                             "' ran in an earlier part too; the parts overlap");
        CopyRow(*part, *merged, sheet, row);
      }
    }
  }
  // The outcome over every part.
  std::size_t rows = 0, bad = 0;
  std::string suite;
  for (const SheetInfo& sheet : Sheets(*merged)) {
    if (merged->ParamExists(kStatusColumn, sheet.index) == 0) continue;
    if (suite.empty() && sheet.role == SheetRole::BusinessProcess) suite = sheet.name;
    if (merged->ParamExists(kExitColumn, sheet.index) == 0) continue;
    for (long row = 1; row <= sheet.lastRow; ++row) {
      const std::string status = merged->GetParamValue(row, kStatusColumn, sheet.index);
      if (status.empty()) continue;
      ++rows;
      if (status == kFailed || status == kError) ++bad;
    }
  }
  if (merged->Save(options.out, 1) != 0) FailFile(options.out, WriteFailureReason(options.out));
  WarnSaveNotes(*merged, options.out);
  if (!options.junit.empty()) WriteJUnit(*merged, suite.empty() ? "ddtable" : suite, options.junit);
  Warn(options.out + ": " + std::to_string(options.parts.size()) + " parts, " + std::to_string(rows) +
       " rows, " + std::to_string(bad) + " not passed");
  return bad > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
