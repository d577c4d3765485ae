// ddtable run: a data-driven run of any program. For each run row of the business process
// (or each row of a child-table block with --each) the command's arguments, environment and
// output file name have their parameter references substituted by the library, the command
// runs, its standard output (or the output file) becomes the output parameter, checked
// against its expected value, and the results workbook records every row.
//
// The run goes over the rows twice with the library: the first pass only substitutes (a
// scratch results workbook, never saved), then the commands run, several at once with
// --jobs, and the second pass copies the rows into the results workbook and verifies the
// outputs in input order, each row as soon as it and every row before it have ended. The
// results are therefore the same whatever --jobs is, and a failed row is reported as it
// happens.
//
// Every reference is resolved before a row runs: one that names no parameter makes the row
// an error. Each ended row goes into a journal beside the results workbook, so an
// interrupted run keeps what finished (see run_journal.h).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "junit.h"
#include "ddtable/param_name.h"
#include "process_pool.h"
#include "references.h"
#include "report.h"
#include "results_target.h"
#include "ddtable/cddt_results.h"
#include "run_columns.h"
#include "run_info.h"
#include "run_journal.h"
#include "run_plan.h"
#include "run_recorder.h"
#include "run_rerun.h"
#include "serial_worker.h"
#include "row_selection.h"
#include "ddtable/cdt.h"
#include "workbook_view.h"

extern char** environ;

namespace ddtcli {

namespace {

// The first `cap` bytes of the file. Opened close-on-exec: it is read while other rows'
// commands are being started.
std::string ReadCapped(const std::string& path, std::size_t cap, std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    problem = "the command wrote no output file " + path + " (" + std::strerror(errno) + ")";
    return "";
  }
  std::string text;
  char buffer[65536];
  while (text.size() < cap) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, cap - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::string DefaultResultsPath(const std::string& input, const Shard& shard) {
  std::filesystem::path path(input);
  std::string name = path.stem().string() + "_results";
  if (shard.count > 1) name += ".part" + std::to_string(shard.index) + "of" + std::to_string(shard.count);
  return (path.parent_path() / (name + ".xlsx")).string();
}


std::vector<std::string> BaseEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) env.emplace_back(*e);
  return env;
}

void SetEnv(std::vector<std::string>& env, const std::string& assignment) {
  const std::string key = assignment.substr(0, assignment.find('=') + 1);
  for (std::string& e : env) {
    if (e.compare(0, key.size(), key) == 0) {
      e = assignment;
      return;
    }
  }
  env.push_back(assignment);
}

std::string OutcomeSummary(std::size_t rows, std::size_t passed, std::size_t failed,
                           std::size_t errors, std::size_t notRun) {
  std::ostringstream text;
  text << rows << " row" << (rows == 1 ? "" : "s") << ": " << passed << " passed, " << failed
       << " failed, " << errors << " error" << (errors == 1 ? "" : "s");
  if (notRun > 0) text << ", " << notRun << " not run";
  return text.str();
}

// What identifies a run for its journal: the same input, rows and command give the same
// rows.
std::string RunIdentity(const RunOptions& options, const std::string& digest) {
  std::string id = "ddtable run 1\n" + digest + "\n" + options.bp + "\n" + options.each + "\n" +
                   options.shard + "\n" + options.output + "\n" + options.outputFile + "\n" +
                   options.expect + "\n";
  for (const std::string& arg : options.command) id += "arg " + arg + "\n";
  for (const std::string& env : options.env) id += "env " + env + "\n";
  return id;
}

// Saves the results workbook to `path`, or beside it under a new name when `path` has
// become impossible to write (held open by another program, say). Returns where it went;
// "" when it could not be saved anywhere.
template <typename SaveTo>
std::string SaveWithFallback(const std::string& path, SaveTo save) {
  const std::string problem = ResultsTargetProblem(path);
  if (problem.empty() && save(path)) return path;
  const std::string beside = NameBeside(path);
  Note(path + ": " + (problem.empty() ? WriteFailureReason(path) : problem) + "; the results go to " + beside +
       " instead");
  return save(beside) ? beside : "";
}

}  // namespace

int Run(const RunOptions& options) {
  if (options.command.empty()) FailUsage("run: no command given after --");
  if (options.jobs < 1) FailUsage("--jobs must be 1 or more");
  const Shard shard = ParseShard(options.shard, ProcessEnvironment());
  const std::string resultsPath =
      options.results.empty() ? DefaultResultsPath(options.input, shard) : options.results;
  for (const std::string& env : options.env) {
    if (env.find('=') == std::string::npos || env.front() == '=')
      FailUsage("--env " + env + ": expected NAME=VALUE");
  }

  if (prm_init_data_manager() == nullptr) FailUsage("the data manager could not be created");
  std::unique_ptr<CDDTInput> inputBook = OpenWorkbook(options.input);
  CDDTInput* input = inputBook.get();
  const Plan plan = MakePlan(options, *input);
  if (!options.id.empty() && input->ParamExists(options.id, input->GetSheetIndex(plan.bp)) == 0)
    FailFile(options.input, "sheet '" + plan.bp + "' has no parameter '" + options.id + "' for --id");
  std::error_code same;
  if (std::filesystem::equivalent(options.input, resultsPath, same))
    FailFile(resultsPath, "is the input workbook; the results go into a workbook of their own");
  // A results workbook that cannot be written is found now, not after every row has run.
  if (const std::string problem = ResultsTargetProblem(resultsPath); !problem.empty()) FailFile(resultsPath, problem);
  if (!options.junit.empty()) {
    if (const std::string problem = ResultsTargetProblem(options.junit); !problem.empty())
      FailFile(options.junit, problem);
  }
  if (plan.bpLastRow == 0) Warn(options.input + ": business process '" + plan.bp + "' has no data rows");

  RunInfo info;
  info.input = options.input;
  info.inputDigest = FileDigest(options.input);
  info.bp = plan.bp;
  info.each = plan.child;
  info.shardIndex = shard.index;
  info.shardCount = shard.count;
  info.started = UtcNow();
  info.host = HostName();

  // Pass 1: name every row, choose the iterations, and substitute the commands of the rows
  // chosen.
  const Selection selection = MakeSelection(options, *input, plan, info.inputDigest);
  std::vector<Task> tasks;
  std::map<NameKey, std::string> names;
  std::map<long, Given> given;
  std::vector<long> chosen;
  {
    auto scratch = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX, "1", "None", "Local");
    if (prepare_results(scratch.get(), input) != 0)
      FailFile(options.input, "the results workbook could not be given its sheets");
    capture_runrows(input);
    const std::vector<std::string> base = BaseEnvironment();
    const long bpIndex = input->GetSheetIndex(plan.bp);
    std::map<std::string, long> idRows;  // id -> business-process row, to refuse doubles
    RowWalk walk(input, scratch.get(), plan);
    Position at;
    bool isChosen = false;
    long blockPlace = 0;
    while (walk.Next(at)) {
      if (info.iterations != at.iteration) {
        // A new iteration: its name, and whether the selection takes it.
        info.rows.push_back(at.bpRow);
        info.iterations = at.iteration;
        blockPlace = 0;
        std::string id = std::to_string(at.iteration);
        if (!options.id.empty()) {
          id = Trim(input->GetParamValue(at.bpRow, options.id, bpIndex));
          if (id.empty())
            FailFile(options.input, "row " + std::to_string(at.bpRow) + " of '" + plan.bp + "' has no " +
                                        options.id + "; every row needs an id with --id");
          auto [other, fresh] = idRows.emplace(id, at.bpRow);
          if (!fresh)
            FailFile(options.input, "rows " + std::to_string(other->second) + " and " + std::to_string(at.bpRow) +
                                        " of '" + plan.bp + "' have the same " + options.id + " '" + id +
                                        "'; ids must name one row each");
        }
        names[{at.iteration, 0}] = plan.bp + "[" + id + "]";
        isChosen = selection.Chooses(*input, bpIndex, at.iteration, at.bpRow, id, names[{at.iteration, 0}]);
        given[at.iteration] = isChosen ? Given::Run : Given::NotChosen;
        if (isChosen) chosen.push_back(at.iteration);
      }
      if (at.blockEnd) continue;
      std::string name = names[{at.iteration, 0}];
      if (!plan.child.empty()) {
        name += "/" + plan.child + "[" + std::to_string(++blockPlace) + "]";
        names[{at.iteration, at.childRow}] = name;
      }
      if (!isChosen) continue;
      Task task;
      task.at = at;
      task.name = name;
      task.problem = plan.templateProblem;
      for (const std::string& arg : plan.command) task.command.argv.push_back(Substitute(scratch.get(), arg));
      task.command.env = base;
      SetEnv(task.command.env, "DDTABLE_ITERATION=" + std::to_string(at.iteration));
      SetEnv(task.command.env, "DDTABLE_ROW=" + std::to_string(at.childRow > 0 ? at.childRow : at.bpRow));
      SetEnv(task.command.env, "DDTABLE_NAME=" + name);
      for (const std::string& env : plan.env) SetEnv(task.command.env, Substitute(scratch.get(), env));
      if (!plan.outputFile.empty()) task.command.freshFile = Substitute(scratch.get(), plan.outputFile);
      tasks.push_back(std::move(task));
    }
  }
  // The shard's part of the chosen iterations: round robin, or balanced by earlier durations.
  {
    std::map<long, int> shardOf;
    if (selection.splitByDuration) {
      std::map<long, double> seconds;
      for (long iteration : chosen) {
        auto found = selection.secondsByName.find(names[{iteration, 0}]);
        if (found != selection.secondsByName.end()) seconds[iteration] = found->second;
      }
      shardOf = SplitByDuration(chosen, seconds, shard.count);
    } else {
      for (std::size_t i = 0; i < chosen.size(); ++i) shardOf[chosen[i]] = static_cast<int>(i % shard.count) + 1;
    }
    for (long iteration : chosen) {
      if (shardOf[iteration] == shard.index) {
        info.given.push_back(iteration);
      } else {
        given[iteration] = Given::OtherShard;
      }
    }
    info.chosen = chosen;
    tasks.erase(std::remove_if(tasks.begin(), tasks.end(),
                               [&](const Task& task) { return given[task.at.iteration] != Given::Run; }),
                tasks.end());
  }
  // A command that cannot be started stops the run before any row runs.
  {
    std::set<std::string> checked;
    for (const Task& task : tasks) {
      if (!task.problem.empty() || task.command.argv.empty()) continue;
      const std::string& program = task.command.argv.front();
      if (!checked.insert(program).second) continue;
      if (const std::string problem = StartProblem(program); !problem.empty())
        FailUsage(options.input + ": the command '" + program + "' cannot be started: " + problem);
    }
  }
  if (!plan.outputFile.empty() && options.jobs > 1 && plan.outputFile.find('<') == std::string::npos)
    Warn("--output-file " + plan.outputFile + " is the same file for every row; with --jobs " +
         std::to_string(options.jobs) + " rows running at once overwrite each other's output");

  // Rows ended in an earlier, interrupted run of the same rows and command are taken from
  // its journal; the others run.
  std::vector<CommandOutcome> outcomes(tasks.size());
  for (std::size_t i = 0; i < tasks.size(); ++i) outcomes[i].finished = !tasks[i].problem.empty();
  OutcomeJournal journal(RunJournalPath(resultsPath), RunIdentity(options, info.inputDigest));
  {
    bool foreign = false;
    std::map<RowKey, JournalRow> recovered;
    if (!options.restart) recovered = journal.Recover(foreign);
    if (foreign) Warn(RunJournalPath(resultsPath) + ": the journal of another run (other input or command) is replaced");
    std::map<RowKey, JournalRow> carried;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
      const RowKey key{tasks[i].at.iteration, tasks[i].at.childRow};
      auto found = recovered.find(key);
      if (found == recovered.end() || !tasks[i].problem.empty()) continue;
      outcomes[i] = found->second.outcome;
      tasks[i].outputFileText = found->second.outputFileText;
      tasks[i].outputFileProblem = found->second.outputFileProblem;
      carried.insert(*found);
    }
    if (!carried.empty())
      Warn(options.input + ": " + std::to_string(carried.size()) +
           " rows ended in an interrupted run are taken from its journal; the other rows run");
    std::string problem;
    if (!journal.Start(carried, problem))
      Warn(RunJournalPath(resultsPath) + ": no journal (" + problem + "); an interrupted run keeps no rows");
  }

  // The commands, and the second pass behind them.
  auto results = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX, "1", "None", "Local");
  if (prepare_results(results.get(), input) != 0)
    FailFile(options.input, "the results workbook could not be given its sheets");
  CommandLimits limits;
  limits.jobs = options.jobs;
  limits.timeoutSeconds = options.timeout;
  limits.maxOutputBytes = options.maxOutput;
  limits.runSeconds = options.maxRunTime;
  std::vector<Command> commands;
  commands.reserve(tasks.size());
  for (const Task& task : tasks) commands.push_back(task.command);
  Progress progress("run " + plan.bp, commands.size());
  // The rows ended so far, as the recorder has been told of them (the outcomes themselves
  // are the command runner's until it announces a row).
  std::vector<char> ended(tasks.size(), 0);
  std::size_t endedCount = 0;
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    ended[i] = outcomes[i].finished ? 1 : 0;
    endedCount += ended[i];
  }
  Recorder recorder(input, results.get(), plan, options, tasks, outcomes, ended, given, names, progress);
  progress.Update(endedCount);
  recorder.Advance(false);
  // Each ended row is read, journaled, checked and recorded on the worker's thread, in the
  // order the rows end; this thread only starts and reaps commands.
  SerialWorker worker;
  CommandEvents events;
  events.finished = [&](std::size_t i) {
    worker.Post([&, i] {
      Task& task = tasks[i];
      if (!task.command.freshFile.empty() && outcomes[i].started)
        task.outputFileText = ReadCapped(task.command.freshFile, options.maxOutput, task.outputFileProblem);
      journal.Append({task.at.iteration, task.at.childRow}, {outcomes[i], task.outputFileText, task.outputFileProblem});
      ended[i] = 1;
      progress.Update(++endedCount);
      recorder.Advance(false);
    });
  };
  events.tick = [&] {
    worker.Post([&] {
      progress.Periodic([&] {
        return std::to_string(endedCount) + " of " + std::to_string(tasks.size()) + " rows ended, " +
               std::to_string(recorder.Failed()) + " failed, " + std::to_string(recorder.Errors()) + " errors";
      });
    });
  };
  RunStop stop;
  try {
    stop = RunCommands(commands, limits, outcomes, events);
  } catch (...) {
    try {
      worker.Finish();
    } catch (...) {
    }
    throw;
  }
  worker.Finish();
  recorder.Advance(true);
  if (stop.Stopped()) {
    info.outcome = stop.signal != 0 ? kRunInterrupted : kRunOverTime;
    Note(options.input + ": run " +
         (stop.signal != 0 ? "interrupted by signal " + std::to_string(stop.signal)
                           : std::string("stopped at its time limit")) +
         "; the rows that ended are kept, the others are \"not run\"");
  }
  info.finished = UtcNow();

  // The library writes the rows it copied; the run columns, outputs as printed, marks and
  // the run information go in with the interactive binding, which keeps styles.
  const std::string written = SaveWithFallback(resultsPath, [&](const std::string& path) {
    return save_results_as(results.get(), path.c_str(), 1) == 0;
  });
  results.reset();
  inputBook.reset();
  prm_release_data_manager();
  if (written.empty()) FailFile(resultsPath, WriteFailureReason(resultsPath) + "; the journal " +
                                                 RunJournalPath(resultsPath) + " keeps the rows that ended");

  CDT book(nullptr, CDT::DT_TYPE_F1, "");
  if (book.Open(written) != 0) FailFile(written, ReadFailureReason(written));
  const bool each = !plan.child.empty();
  if (AddRunColumns(book, plan.bp, !each) != 0 || (each && AddRunColumns(book, plan.childSheet, true) != 0))
    FailFile(written, "the run columns could not be added");
  // Outputs are written as the text printed: "0.5", "007" and "1e3" stay as they were.
  for (const Record& row : recorder.Records()) {
    if (row.hasOutput) WriteText(book, plan.outputSheet, row.row, plan.outputName, row.output);
  }
  for (const Mark& mark : recorder.Marks()) {
    if (book.SetSheet(mark.sheet) == 0) book.SetStyle(mark.style, mark.name, mark.row);
  }
  // Every row of the run is named, those of other shards too, so that every part and the
  // report call a row alike.
  for (const auto& [key, name] : names) {
    const long iteration = key.first;
    if (key.second != 0) {
      WriteText(book, plan.childSheet, key.second, kNameColumn, name);
    } else if (iteration >= 1 && static_cast<std::size_t>(iteration) <= info.rows.size()) {
      WriteText(book, plan.bp, info.rows[static_cast<std::size_t>(iteration) - 1], kNameColumn, name);
    }
  }
  for (const Record& row : recorder.Records()) WriteRecord(book, row.sheet, row.row, row.record);
  if (!options.rerunFailed.empty()) KeepEarlierOutcomes(book, plan, names, info, selection, recorder.Records());
  // The outcome, from the rows as written (with --rerun-failed, earlier ones included).
  std::size_t passed = 0, failed = 0, errors = 0, notRun = 0, notChosen = 0, rows = 0;
  {
    const SheetInfo sheet = FindSheet(book, each ? plan.childSheet : plan.bp);
    for (long row = 1; row <= sheet.lastRow; ++row) {
      const std::string status = book.GetParamValue(row, kStatusColumn, sheet.index);
      if (status.empty()) continue;
      ++rows;
      if (status == kPassed) ++passed;
      if (status == kFailed) ++failed;
      if (status == kError) ++errors;
      if (status == kNotRun) ++(book.GetParamValue(row, kMessageColumn, sheet.index) == kNotChosen ? notChosen : notRun);
    }
  }
  WriteRunInfo(book, info);
  const std::string saved = SaveWithFallback(written, [&](const std::string& path) { return book.Save(path, 1) == 0; });
  if (!saved.empty()) {
    WarnSaveNotes(book, saved);
    journal.Remove();
  }
  if (!options.junit.empty()) WriteJUnit(book, plan.bp, options.junit);
  if (!options.report.empty() && !saved.empty()) {
    ReportOptions report;
    report.history = options.history;
    WriteReport(std::vector<OpenResults>{{saved, &book}}, report, options.report);
  }
  if (saved.empty())
    FailFile(written, WriteFailureReason(written) + "; the journal " + RunJournalPath(resultsPath) +
                          " keeps the rows that ended");
  Warn(plan.bp + ": " + OutcomeSummary(rows - notChosen, passed, failed, errors, notRun) +
       (notChosen > 0 ? " (" + std::to_string(notChosen) + " not chosen)" : std::string()) + "; results in " + saved);
  if (stop.signal != 0) return 128 + stop.signal;
  return failed + errors + notRun > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
