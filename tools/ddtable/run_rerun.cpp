#include "run_rerun.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "cli_common.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

// A results workbook of an earlier run (--rerun-failed, --split), checked against this run.
std::unique_ptr<CDT> OpenEarlierResults(const std::string& path, const Plan& plan, const std::string& digest,
                                        bool needSameInput) {
  std::unique_ptr<CDT> book = OpenWithStyles(path);
  const std::optional<RunInfo> info = ReadRunInfo(*book);
  const long bpIndex = book->GetSheetIndex(plan.bp);
  if (!info || bpIndex < 1 || book->ParamExists(kNameColumn, bpIndex) == 0)
    FailFile(path, "not a results workbook of this version of 'ddtable run' (no run information or row names)");
  if (info->bp != plan.bp || info->each != plan.child)
    FailFile(path, "holds a run of '" + info->bp + (info->each.empty() ? "" : "' with --each " + info->each) +
                       "', not of '" + plan.bp + (plan.child.empty() ? "" : "' with --each " + plan.child) + "'");
  if (needSameInput && info->inputDigest != digest)
    FailFile(path, "holds the results of another input workbook (" + info->input + ", since changed or another file); "
                   "with --id its rows are matched by name");
  return book;
}

}  // namespace

std::string TopName(const std::string& name) { return name.substr(0, name.find("]/") == std::string::npos ? name.size() : name.find("]/") + 1); }

Selection MakeSelection(const RunOptions& options, CDDTInput& input, const Plan& plan, const std::string& digest) {
  Selection selection;
  if (!options.rows.empty()) selection.rows = ParseRowList(options.rows);
  const long bpIndex = input.GetSheetIndex(plan.bp);
  for (const std::string& text : options.where) {
    Condition condition = ParseCondition(text);
    if (input.ParamExists(condition.param, bpIndex) == 0)
      FailFile(options.input, "sheet '" + plan.bp + "' has no parameter '" + condition.param + "' for --where " + text);
    selection.where.push_back(std::move(condition));
  }
  if (!options.idIn.empty()) selection.ids = ReadIdList(options.idIn);
  if (!options.rerunFailed.empty()) {
    selection.earlier = OpenEarlierResults(options.rerunFailed, plan, digest, options.id.empty());
    CDT* before = selection.earlier.get();
    for (const SheetInfo& sheet : Sheets(*before)) {
      if (sheet.name != plan.bp && sheet.name != plan.childSheet) continue;
      if (before->ParamExists(kNameColumn, sheet.index) == 0) continue;
      const bool attempts = before->ParamExists(kAttemptsColumn, sheet.index) != 0;
      for (long row = 1; row <= sheet.lastRow; ++row) {
        const std::string name = before->GetParamValue(row, kNameColumn, sheet.index);
        if (name.empty()) continue;
        const std::string count = attempts ? before->GetParamValue(row, kAttemptsColumn, sheet.index) : "";
        selection.attemptsBefore[name] = count.empty() ? 1 : std::max(1L, std::atol(count.c_str()));
        if (sheet.name == plan.bp && before->GetParamValue(row, kStatusColumn, sheet.index) == kPassed)
          selection.passedBefore.insert(name);
      }
    }
  }
  if (!options.split.empty()) {
    const std::string prefix = "durations:";
    if (options.split.compare(0, prefix.size(), prefix) != 0 || options.split.size() == prefix.size())
      FailUsage("--split " + options.split + ": expected durations:PREVIOUS.xlsx");
    const std::string path = options.split.substr(prefix.size());
    std::unique_ptr<CDT> before = OpenEarlierResults(path, plan, digest, false);
    const std::string commandSheet = plan.child.empty() ? plan.bp : plan.childSheet;
    const long index = before->GetSheetIndex(commandSheet);
    if (index < 1 || before->ParamExists(kDurationColumn, index) == 0 || before->ParamExists(kNameColumn, index) == 0)
      FailFile(path, "has no durations of '" + commandSheet + "'");
    const long last = FindSheet(*before, commandSheet).lastRow;
    for (long row = 1; row <= last; ++row) {
      const std::string name = before->GetParamValue(row, kNameColumn, index);
      const std::string seconds = before->GetRawValue(row, kDurationColumn, index);
      if (name.empty() || seconds.empty()) continue;
      selection.secondsByName[TopName(name)] += std::atof(seconds.c_str());
    }
    selection.splitByDuration = true;
  }
  return selection;
}

void KeepEarlierOutcomes(CDT& book, const Plan& plan, const std::map<NameKey, std::string>& names,
                         const RunInfo& info, const Selection& selection, const std::vector<Record>& records) {
  if (!selection.earlier) return;
  CDT& before = *selection.earlier;
  const std::string earlierPath = before.GetFileName();
  std::map<std::string, std::pair<std::string, long>> place;  // this run's rows by name
  for (const auto& [key, name] : names) {
    if (key.second == 0) {
      if (key.first >= 1 && static_cast<std::size_t>(key.first) <= info.rows.size())
        place[name] = {plan.bp, info.rows[static_cast<std::size_t>(key.first) - 1]};
    } else {
      place[name] = {plan.childSheet, key.second};
    }
  }
  const bool each = !plan.child.empty();
  if (AddRunColumn(book, plan.bp, kAttemptsColumn) != 0 || (each && AddRunColumn(book, plan.childSheet, kAttemptsColumn) != 0))
    FailFile(earlierPath, "the RunAttempts column could not be added");
  auto attemptsBefore = [&](const std::string& name) -> long {
    auto found = selection.attemptsBefore.find(name);
    return found != selection.attemptsBefore.end() ? found->second : 0;
  };
  for (const Record& row : records) {
    if (row.record.message == kNotChosen || row.record.name.empty()) continue;
    WriteNumber(book, row.sheet, row.row, kAttemptsColumn, std::to_string(attemptsBefore(row.record.name) + 1));
  }
  const char* const textColumns[] = {kStatusColumn, kMessageColumn, kStdoutColumn, kStderrColumn, kNameColumn};
  const char* const numberColumns[] = {kExitColumn, kDurationColumn};
  for (const std::string& sheetName : {plan.bp, plan.childSheet}) {
    const long from = sheetName.empty() ? 0 : before.GetSheetIndex(sheetName);
    if (from < 1 || before.ParamExists(kNameColumn, from) == 0) continue;
    const long to = book.GetSheetIndex(sheetName);
    const long last = FindSheet(before, sheetName).lastRow;
    for (long row = 1; row <= last; ++row) {
      const std::string name = before.GetParamValue(row, kNameColumn, from);
      if (name.empty() || selection.passedBefore.count(TopName(name)) == 0) continue;
      auto found = place.find(name);
      if (found == place.end() || found->second.first != sheetName) continue;
      const long target = found->second.second;
      for (const char* column : textColumns) {
        if (before.ParamExists(column, from) != 0)
          WriteText(book, sheetName, target, column, before.GetParamValue(row, column, from));
      }
      for (const char* column : numberColumns) {
        if (before.ParamExists(column, from) != 0 && book.ParamExists(column, to) != 0)
          WriteNumber(book, sheetName, target, column, before.GetRawValue(row, column, from));
      }
      WriteNumber(book, sheetName, target, kAttemptsColumn, std::to_string(std::max(1L, attemptsBefore(name))));
      std::vector<std::string> marked = {kStatusColumn};
      if (sheetName == plan.outputSheet) {
        marked.push_back(plan.outputName);
        if (before.ParamExists(plan.outputName, from) != 0)
          WriteText(book, sheetName, target, plan.outputName, before.GetParamValue(row, plan.outputName, from));
      }
      if (sheetName == plan.expectedSheet) marked.push_back(plan.expectedName);
      before.SetSheet(sheetName);
      book.SetSheet(sheetName);
      for (const std::string& column : marked) {
        if (before.ParamExists(column, from) == 0) continue;
        const CDT::DT_STYLE style = before.GetStyle(column, row);
        book.SetStyle(style == CDT::DT_STYLE_GREEN || style == CDT::DT_STYLE_LIGHT_RED ? style : CDT::DT_STYLE_NONE,
                      column, target);
      }
    }
  }
}

}  // namespace ddtcli
