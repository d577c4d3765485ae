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
#include "run_columns.h"
#include "run_info.h"
#include "run_journal.h"
#include "table/cdt.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

struct Part {
  std::string path;
  std::unique_ptr<CDT> book;
  RunInfo info;
};

Part OpenPart(const std::string& path) {
  OpenWorkbook(path);  // reports a missing or unreadable file by name
  Part part;
  part.path = path;
  // The interactive binding reads and keeps the cell styles (the pass and fail marks).
  part.book = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_F1, "");
  if (part.book->Open(path) != 0) FailFile(path, ReadFailureReason(path));
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
    if (name == kExitColumn || name == kDurationColumn) {
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

// Checks that the parts make one run; returns the iterations no part was given.
std::vector<long> CheckParts(const std::vector<Part>& parts, bool allowPartial) {
  const RunInfo& first = parts.front().info;
  std::map<long, const Part*> owner;
  std::set<int> shards;
  for (const Part& part : parts) {
    const RunInfo& info = part.info;
    if (info.inputDigest != first.inputDigest || info.bp != first.bp || info.each != first.each ||
        info.shardCount != first.shardCount || info.iterations != first.iterations) {
      FailFile(part.path, "not a part of the same run as " + parts.front().path + " (" +
                              (info.inputDigest != first.inputDigest ? "another input workbook: " + info.input
                               : info.bp != first.bp || info.each != first.each
                                   ? "another business process: " + info.bp
                                   : "split into " + std::to_string(info.shardCount) + " shards, not " +
                                         std::to_string(first.shardCount)) +
                              ")");
    }
    for (long iteration : info.given) {
      auto [at, fresh] = owner.emplace(iteration, &part);
      if (!fresh)
        FailFile(part.path, ShardName(info) + " is given twice: " + at->second->path + " holds iteration " +
                                std::to_string(iteration) + " too");
    }
    if (info.shardIndex > 0) shards.insert(info.shardIndex);
  }
  std::vector<long> missing;
  for (long iteration = 1; iteration <= first.iterations; ++iteration) {
    if (owner.count(iteration) == 0) missing.push_back(iteration);
  }
  if (!missing.empty() && !allowPartial) {
    std::string names;
    for (int s = 1; s <= first.shardCount; ++s) {
      if (shards.count(s) == 0) names += (names.empty() ? "shard " : ", shard ") + std::to_string(s) + "/" +
                                         std::to_string(first.shardCount);
    }
    throw CliError(kExitUsage, "merge: the parts do not make the whole run of " + first.input + " (" +
                                   (names.empty() ? std::string("iterations ") + FormatIterations(missing)
                                                  : names) +
                                   " missing); --allow-partial merges them with those rows \"not run\"");
  }
  return missing;
}

}  // namespace

int Merge(const MergeOptions& options) {
  if (options.parts.empty()) FailUsage("merge: no parts given");
  std::vector<Part> parts;
  for (const std::string& path : options.parts) {
    // A part whose run was killed left its rows in a journal: the same run command again
    // finishes it from there.
    if (!RunJournalPath(path).empty() && std::filesystem::exists(RunJournalPath(path)))
      Warn(path + ": its run was killed before it ended; " + RunJournalPath(path) +
           " holds the rows that ended (run the same command again to finish it)");
    parts.push_back(OpenPart(path));
  }
  const std::vector<long> missing = CheckParts(parts, options.allowPartial);

  Part& merged = parts.front();
  const std::vector<SheetInfo> layout = RunSheets(*merged.book);
  for (std::size_t p = 1; p < parts.size(); ++p) {
    Part& part = parts[p];
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
        if (part.book->GetParamValue(row, kStatusColumn, sheet.index).empty()) continue;
        if (!merged.book->GetParamValue(row, kStatusColumn, sheet.index).empty())
          FailFile(part.path, "row " + std::to_string(row) + " of sheet '" + sheet.name +
                                  "' ran in an earlier part too; the parts overlap");
        CopyRow(*part.book, *merged.book, sheet, row);
      }
    }
  }
  // Rows of the parts that are missing: "not run", so the merged run does not pass.
  RunInfo whole = merged.info;
  CDT& book = *merged.book;
  for (long iteration : missing) {
    if (iteration < 1 || static_cast<std::size_t>(iteration) > whole.rows.size()) continue;
    RowRecord record;
    record.status = kNotRun;
    record.message = "its part of the run is missing";
    WriteRecord(book, whole.bp, whole.rows[static_cast<std::size_t>(iteration) - 1], record);
  }
  whole.shardIndex = 0;
  whole.given.clear();
  for (const Part& part : parts) whole.given.insert(whole.given.end(), part.info.given.begin(), part.info.given.end());
  std::sort(whole.given.begin(), whole.given.end());
  for (const Part& part : parts) {
    if (part.info.outcome != kRunComplete) whole.outcome = part.info.outcome;
    if (part.info.started < whole.started) whole.started = part.info.started;
    if (part.info.finished > whole.finished) whole.finished = part.info.finished;
  }
  if (!missing.empty()) whole.outcome = "parts missing";
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
  Warn(options.out + ": " + std::to_string(options.parts.size()) + " parts, " + std::to_string(rows) +
       " rows, " + std::to_string(bad) + " not passed" +
       (notRun > 0 ? ", " + std::to_string(notRun) + " not run" : std::string()));
  return bad + notRun > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
