// ddtable merge: combines the results workbooks of a sharded run (ddtable run --shard I/N)
// into one. Every part holds all rows copied from the input, but only the rows it ran carry
// an outcome; each such row is taken whole, with its marks, from the part that ran it.
//
// A part says what it is (its run information sheet: input, business process, shard, the
// iterations it was given), so a merge knows the whole run: a missing, doubled or foreign
// part is refused by name, because a merged workbook without a dead machine's rows would
// otherwise pass. --allow-partial merges what is there and marks the missing rows "not run".
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "cli_common.h"
#include "commands.h"
#include "junit.h"
#include "report.h"
#include "run_columns.h"
#include "run_info.h"
#include "run_journal.h"
#include "ddtable/cdt.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

struct Part {
  std::string path;
  std::unique_ptr<CDT> book;
  RunInfo info;
};

Part OpenPart(const std::string& path) {
  Part part;
  part.path = path;
  part.book = OpenWithStyles(path);
  bool runColumns = false;
  for (const SheetInfo& sheet : Sheets(*part.book))
    runColumns |= part.book->ParamExists(kStatusColumn, sheet.index) != 0;
  if (!runColumns)
    FailFile(path, "not a results workbook of 'ddtable run' (no " + std::string(kStatusColumn) + " column)");
  std::optional<RunInfo> info = ReadRunInfo(*part.book);
  if (!info)
    FailFile(path, "has no readable '" + std::string(kRunInfoSheet) +
                       "' sheet, so it cannot be checked as a part of a run (written by an earlier "
                       "ddtable? run that shard again)");
  part.info = *info;
  return part;
}

std::string ShardName(const RunInfo& info) {
  return "shard " + std::to_string(info.shardIndex) + "/" + std::to_string(info.shardCount);
}

// The sheets that belong to the run, without the run information.
std::vector<SheetInfo> RunSheets(CDT& book) {
  std::vector<SheetInfo> sheets;
  for (SheetInfo& sheet : Sheets(book)) {
    if (sheet.name != kRunInfoSheet) sheets.push_back(std::move(sheet));
  }
  return sheets;
}

// Text columns are written as text and the run's numbers as numbers, whatever they look
// like; other cells the run did not write hold the same exact copy of the input in every
// part and are left alone (a text "4" entered again would become a number).
void CopyRow(CDT& from, CDT& to, const SheetInfo& sheet, long row) {
  from.SetSheet(sheet.name);
  to.SetSheet(sheet.name);
  for (const std::string& name : sheet.params) {
    const std::string entry = from.GetRawValue(row, name, sheet.index);
    const std::string format = from.GetNumberFormat(row, name, sheet.index);
    if (name == kExitColumn || name == kDurationColumn || name == kAttemptsColumn) {
      WriteNumber(to, sheet.name, row, name.c_str(), entry);
    } else if (entry != to.GetRawValue(row, name, sheet.index)) {
      // A formula stays a formula; any other cell the part wrote is text as it was printed.
      if (!entry.empty() && entry[0] == '=')
        to.SetParamValue(row, name, entry, sheet.name, 0);
      else
        WriteText(to, sheet.name, row, name, from.GetParamValue(row, name, sheet.index));
    }
    if (!format.empty()) to.SetNumberFormat(row, name, format, sheet.index);
    const CDT::DT_STYLE style = from.GetStyle(name, row);
    if (style == CDT::DT_STYLE_GREEN || style == CDT::DT_STYLE_LIGHT_RED) to.SetStyle(style, name, row);
  }
}

// Follows the parts as they come: each must be of the same run as the first, and no
// iteration may be given to two parts.
class PartCheck {
 public:
  void Add(const Part& part) {
    const RunInfo& info = part.info;
    if (first_.empty()) {
      first_ = part.path;
      whole_ = info;
    }
    if (info.inputDigest != whole_.inputDigest || info.bp != whole_.bp || info.each != whole_.each ||
        info.shardCount != whole_.shardCount || info.iterations != whole_.iterations || info.chosen != whole_.chosen) {
      FailFile(part.path, "not a part of the same run as " + first_ + " (" +
                              (info.inputDigest != whole_.inputDigest ? "another input workbook: " + info.input
                               : info.bp != whole_.bp || info.each != whole_.each
                                   ? "another business process: " + info.bp
                               : info.shardCount != whole_.shardCount
                                   ? "split into " + std::to_string(info.shardCount) + " shards, not " +
                                         std::to_string(whole_.shardCount)
                                   : std::string("other rows chosen")) +
                              ")");
    }
    for (long iteration : info.given) {
      auto [at, fresh] = owner_.emplace(iteration, part.path);
      if (!fresh)
        FailFile(part.path, ShardName(info) + " is given twice: " + at->second + " holds iteration " +
                                std::to_string(iteration) + " too");
    }
    if (info.shardIndex > 0) shards_.insert(info.shardIndex);
    if (info.outcome != kRunComplete) whole_.outcome = info.outcome;
    if (info.started < whole_.started) whole_.started = info.started;
    if (info.finished > whole_.finished) whole_.finished = info.finished;
  }

  // The chosen iterations no part was given; refused unless `allowPartial`.
  std::vector<long> Missing(bool allowPartial) const {
    std::vector<long> missing;
    for (long iteration : whole_.chosen) {
      if (owner_.count(iteration) == 0) missing.push_back(iteration);
    }
    if (!missing.empty() && !allowPartial) {
      std::string names;
      for (int s = 1; s <= whole_.shardCount; ++s) {
        if (shards_.count(s) == 0)
          names += (names.empty() ? "shard " : ", shard ") + std::to_string(s) + "/" + std::to_string(whole_.shardCount);
      }
      throw CliError(kExitUsage, "merge: the parts do not make the whole run of " + whole_.input + " (" +
                                     (names.empty() ? "iterations " + FormatIterations(missing) : names) +
                                     " missing); --allow-partial merges them with those rows \"not run\"");
    }
    return missing;
  }

  // The run information of the merged workbook.
  RunInfo Whole(const std::vector<long>& missing) const {
    RunInfo whole = whole_;
    whole.shardIndex = 0;
    whole.given.clear();
    for (const auto& [iteration, path] : owner_) whole.given.push_back(iteration);
    if (!missing.empty()) whole.outcome = "parts missing";
    return whole;
  }

 private:
  std::string first_;
  RunInfo whole_;
  std::map<long, std::string> owner_;
  std::set<int> shards_;
};

}  // namespace

int Merge(const MergeOptions& options) {
  if (options.parts.empty()) FailUsage("merge: no parts given");
  auto warnKilled = [](const std::string& path) {
    // A part whose run was killed left its rows in a journal: the same run command again
    // finishes it from there.
    if (std::filesystem::exists(RunJournalPath(path)))
      Warn(path + ": its run was killed before it ended; " + RunJournalPath(path) +
           " holds the rows that ended (run the same command again to finish it)");
  };
  // The parts are read one at a time into the first, so a merge of many parts holds two.
  PartCheck check;
  warnKilled(options.parts.front());
  Part merged = OpenPart(options.parts.front());
  check.Add(merged);
  CDT& book = *merged.book;
  const std::vector<SheetInfo> layout = RunSheets(book);
  for (std::size_t p = 1; p < options.parts.size(); ++p) {
    warnKilled(options.parts[p]);
    Part part = OpenPart(options.parts[p]);
    check.Add(part);
    const std::vector<SheetInfo> sheets = RunSheets(*part.book);
    if (sheets.size() != layout.size())
      FailFile(part.path, "not a part of the same run as " + merged.path + " (other sheets)");
    for (std::size_t s = 0; s < sheets.size(); ++s) {
      if (sheets[s].name != layout[s].name || sheets[s].params != layout[s].params)
        FailFile(part.path, "not a part of the same run as " + merged.path + " (sheet '" + sheets[s].name +
                                "' differs)");
    }
    for (const SheetInfo& sheet : sheets) {
      if (part.book->ParamExists(kStatusColumn, sheet.index) == 0) continue;
      for (long row = 1; row <= sheet.lastRow; ++row) {
        const std::string status = part.book->GetParamValue(row, kStatusColumn, sheet.index);
        if (status.empty()) continue;
        // Rows no part was to run say so alike in every part.
        if (status == kNotRun && part.book->GetParamValue(row, kMessageColumn, sheet.index) == kNotChosen) continue;
        const std::string already = book.GetParamValue(row, kStatusColumn, sheet.index);
        if (!already.empty() && already != kNotRun)
          FailFile(part.path, "row " + std::to_string(row) + " of sheet '" + sheet.name +
                                  "' ran in an earlier part too; the parts overlap");
        CopyRow(*part.book, book, sheet, row);
      }
    }
  }
  const std::vector<long> missing = check.Missing(options.allowPartial);
  RunInfo whole = check.Whole(missing);
  // Rows of the parts that are missing: "not run", so the merged run does not pass.
  for (long iteration : missing) {
    if (iteration < 1 || static_cast<std::size_t>(iteration) > whole.rows.size()) continue;
    RowRecord record;
    record.status = kNotRun;
    record.message = "its part of the run is missing";
    WriteRecord(book, whole.bp, whole.rows[static_cast<std::size_t>(iteration) - 1], record);
  }
  WriteRunInfo(book, whole);

  // The outcome over every part.
  std::size_t rows = 0, bad = 0, notRun = 0;
  std::string suite;
  for (const SheetInfo& sheet : RunSheets(book)) {
    if (book.ParamExists(kStatusColumn, sheet.index) == 0) continue;
    if (suite.empty() && sheet.role == SheetRole::BusinessProcess) suite = sheet.name;
    // Rows are counted where the commands ran; without them (a missing part's --each rows),
    // the business-process rows.
    const bool commandSheet = book.ParamExists(kExitColumn, sheet.index) != 0;
    for (long row = 1; row <= sheet.lastRow; ++row) {
      const std::string status = book.GetParamValue(row, kStatusColumn, sheet.index);
      if (status.empty()) continue;
      if (status == kNotRun) {
        if (book.GetParamValue(row, kMessageColumn, sheet.index) == kNotChosen) continue;
        ++notRun;
        if (!commandSheet) ++rows;
        continue;
      }
      if (!commandSheet) continue;
      ++rows;
      if (status == kFailed || status == kError) ++bad;
    }
  }
  if (book.Save(options.out, 1) != 0) FailFile(options.out, WriteFailureReason(options.out));
  WarnSaveNotes(book, options.out);
  if (!options.junit.empty()) WriteJUnit(book, suite.empty() ? "ddtable" : suite, options.junit);
  if (!options.report.empty()) {
    ReportOptions report;
    report.history = options.history;
    WriteReport(std::vector<OpenResults>{{options.out, &book}}, report, options.report);
  }
  Warn(options.out + ": " + std::to_string(options.parts.size()) + " parts, " + std::to_string(rows) +
       " rows, " + std::to_string(bad) + " not passed" +
       (notRun > 0 ? ", " + std::to_string(notRun) + " not run" : std::string()));
  return bad + notRun > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
