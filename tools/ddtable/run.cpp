// ddtable run: a data-driven run of any program. For each run row of the business process
// (or each row of a child-table block with --each) the command's arguments, environment and
// output file name have their parameter references substituted by the library, the command
// runs, its standard output (or the output file) becomes the output parameter, checked
// against its expected value, and the results workbook records every row.
//
// The run goes over the rows twice with the library: the first pass only substitutes (a
// scratch results workbook, never saved), then the commands run, several at once with
// --jobs, and the second pass copies the rows into the results workbook and verifies the
// outputs in input order. The results are therefore the same whatever --jobs is.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/ddtable.h"
#include "input/cddt_input.h"
#include "junit.h"
#include "manager/param_name.h"
#include "process_pool.h"
#include "results/cddt_results.h"
#include "run_columns.h"
#include "table/cdt.h"
#include "workbook_view.h"

extern char** environ;

namespace ddtcli {

namespace {

struct Shard {
  int index = 1;  // from 1
  int count = 1;
};

Shard ParseShard(const std::string& text) {
  Shard shard;
  if (text.empty()) return shard;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d/%d%c", &shard.index, &shard.count, &rest) != 2 ||
      shard.count < 1 || shard.index < 1 || shard.index > shard.count) {
    FailUsage("--shard " + text + ": expected I/N with 1 <= I <= N (for example 2/4)");
  }
  return shard;
}

// One place where a command, a file name or an environment value meets the library's
// substitution of parameter references.
std::string Substitute(CDDTResults* results, const std::string& source) {
  if (source.find('<') == std::string::npos) return source;
  int size = 0;
  substitute_parameters(results, source.c_str(), nullptr, &size, nullptr, nullptr);
  if (size < 0) return source;
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  int capacity = size + 1;
  if (substitute_parameters(results, source.c_str(), text.data(), &capacity, nullptr, nullptr) != 0)
    return source;
  text.resize(static_cast<std::size_t>(capacity));
  return text;
}

// The references "<...>" a text holds, as the library finds them: from a "<" to the first
// ">" after it.
std::vector<std::string> References(const std::string& text) {
  std::vector<std::string> refs;
  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string::npos) {
    const std::size_t end = text.find('>', at);
    if (end == std::string::npos) break;
    refs.push_back(text.substr(at, end - at + 1));
    at = end + 1;
  }
  return refs;
}

// Where a run is in the input.
struct Position {
  long iteration = 0;  // from 1, in run order
  long bpRow = 0;
  long childRow = 0;   // 0 without --each
  bool inShard = true;
};

struct Plan {
  std::string input, bp, child, childSheet;
  long bpLastRow = 0;
  Shard shard;
  std::string outputRef, expected;  // "<name>" / "<table::name>", expected reference or pattern
  std::string outputSheet, outputName;
  std::string expectedSheet, expectedName;  // set when the expected side is a parameter here
  bool verify = false;
};

using Visit = std::function<void(const Position&)>;
using EndIteration = std::function<void(const Position&, long childRows)>;

// Walks the run rows of the business process in run order (and each block of the child
// table with --each), copying each row into `results`.
void Walk(CDDTInput* input, CDDTResults* results, const Plan& plan, const Visit& visit,
          const EndIteration& endIteration) {
  if (set_bp(input, results, plan.bp.c_str()) != 0)
    FailFile(plan.input, "cannot start business process '" + plan.bp + "'");
  Position at;
  while (next_runrow(input, results, 0, 0, 0) == 0) {
    at.bpRow = prm_get_current_run_row(results);
    // Rows past the sheet's data are empty: without data the run-row list covers a whole
    // default range.
    if (at.bpRow < 1 || at.bpRow > plan.bpLastRow) break;
    ++at.iteration;
    at.inShard = (at.iteration - 1) % plan.shard.count == plan.shard.index - 1;
    at.childRow = 0;
    if (plan.child.empty()) {
      visit(at);
      continue;
    }
    long rows = 0;
    for (int more = reset_loop(input, results, plan.child.c_str()); more == 0;
         more = advance_loop(input, results, plan.child.c_str())) {
      at.childRow = results->GetCurrRunRow(plan.childSheet);
      visit(at);
      ++rows;
    }
    at.childRow = 0;
    endIteration(at, rows);
  }
}

struct Task {
  Position at;
  Command command;
  std::string outputFile;
};

struct Mark {
  std::string sheet, name;
  long row;
  CDT::DT_STYLE style;
};

struct Record {
  std::string sheet;
  long row;
  RowRecord record;
};

std::string ReadCapped(const std::string& path, std::size_t cap, std::string& problem) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    problem = "output file " + path + ": " + std::strerror(errno);
    return "";
  }
  std::string text(cap, '\0');
  file.read(text.data(), static_cast<std::streamsize>(cap));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

std::string DefaultResultsPath(const std::string& input, const Shard& shard) {
  std::filesystem::path path(input);
  std::string name = path.stem().string() + "_results";
  if (shard.count > 1) name += ".part" + std::to_string(shard.index) + "of" + std::to_string(shard.count);
  return (path.parent_path() / (name + ".xlsx")).string();
}

void CheckWritable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec) || ::access(folder.c_str(), W_OK) != 0 ||
      fs::is_directory(target, ec))
    FailFile(path, WriteFailureReason(path));
}

// Checks the options against the input workbook and fills the plan.
Plan MakePlan(const RunOptions& options, CDDTInput& input) {
  Plan plan;
  plan.input = options.input;
  plan.bp = options.bp;
  plan.shard = ParseShard(options.shard);
  const SheetInfo bp = FindSheet(input, options.bp);
  if (bp.role != SheetRole::BusinessProcess)
    FailFile(options.input, "sheet '" + options.bp + "' is the " + RoleName(bp.role) +
                                " sheet, not a business process");
  plan.bpLastRow = bp.lastRow;
  SheetInfo owner = bp;
  if (!options.each.empty()) {
    plan.child = options.each;
    plan.childSheet = options.bp + "." + options.each;
    owner = FindSheet(input, plan.childSheet);
  }
  if (!options.output.empty()) {
    std::string name = options.output;
    if (name.size() >= 2 && name.front() == '<' && name.back() == '>') name = name.substr(1, name.size() - 2);
    if (input.ParamExists(name, owner.index) == 0)
      FailFile(options.input, "sheet '" + owner.name + "' has no parameter '" + name + "' for --output");
    plan.outputName = name;
    plan.outputSheet = owner.name;
    plan.outputRef = "<" + (plan.child.empty() ? "" : plan.child + "::") + name + ">";
    if (!options.expect.empty()) {
      plan.expected = options.expect;
    } else {
      // The expected column beside an output X or X_out is X_exp.
      std::string base = name;
      if (base.size() > 4 && base.compare(base.size() - 4, 4, "_out") == 0) base.resize(base.size() - 4);
      const std::string expected = base + "_exp";
      if (input.ParamExists(expected, owner.index) != 0)
        plan.expected = "<" + (plan.child.empty() ? "" : plan.child + "::") + expected + ">";
    }
    plan.verify = !plan.expected.empty();
    if (plan.verify && plan.expected.front() == '<') {
      CParamName ref(plan.expected.c_str());
      if (ref.IsParam() && ref.GetExternAlias().empty()) {
        const std::string sheet = ref.GetFullSheet(plan.bp);
        const long index = input.GetSheetIndex(sheet);
        if (index > 0 && input.ParamExists(ref.GetName(), index) != 0) {
          plan.expectedSheet = sheet;
          plan.expectedName = ref.GetName();
        }
      }
    }
  } else if (!options.expect.empty() || !options.outputFile.empty()) {
    FailUsage("--expect and --output-file need --output NAME");
  }
  // References that name nothing are passed on as they are (a shell command may hold "<"
  // and ">" of its own); say so once.
  std::vector<std::pair<std::string, std::string>> texts;
  for (std::size_t i = 0; i < options.command.size(); ++i)
    texts.emplace_back("argument " + std::to_string(i), options.command[i]);
  for (const std::string& env : options.env) texts.emplace_back("--env", env);
  if (!options.outputFile.empty()) texts.emplace_back("--output-file", options.outputFile);
  for (const auto& [where, text] : texts) {
    for (const std::string& token : References(text)) {
      CParamName ref(token.c_str());
      if (!ref.GetExternAlias().empty()) continue;
      const std::string sheet = ref.GetFullSheet(plan.bp);
      const long index = input.GetSheetIndex(sheet);
      if (index < 1 || input.ParamExists(ref.GetName(), index) == 0)
        Warn(options.input + ": " + where + ": " + token + " names no parameter of sheet '" + sheet +
             "'; passed on unchanged");
    }
  }
  return plan;
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
                           std::size_t errors, std::size_t skipped) {
  std::ostringstream text;
  text << rows << " row" << (rows == 1 ? "" : "s") << ": " << passed << " passed, " << failed
       << " failed, " << errors << " error" << (errors == 1 ? "" : "s");
  if (skipped > 0) text << ", " << skipped << " skipped";
  return text.str();
}

}  // namespace

int Run(const RunOptions& options) {
  if (options.command.empty()) FailUsage("run: no command given after --");
  if (options.jobs < 1) FailUsage("--jobs must be 1 or more");
  const Shard shard = ParseShard(options.shard);
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
  CheckWritable(resultsPath);
  std::error_code same;
  if (std::filesystem::equivalent(options.input, resultsPath, same))
    FailFile(resultsPath, "is the input workbook; the results go into a workbook of their own");
  if (!options.junit.empty()) CheckWritable(options.junit);
  if (plan.bpLastRow == 0) Warn(options.input + ": business process '" + plan.bp + "' has no data rows");

  // Pass 1: substitute every row's command.
  std::vector<Task> tasks;
  {
    auto scratch = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX, "1", "None", "Local");
    if (prepare_results(scratch.get(), input) != 0)
      FailFile(options.input, "the results workbook could not be given its sheets");
    capture_runrows(input);
    const std::vector<std::string> base = BaseEnvironment();
    Walk(input, scratch.get(), plan,
         [&](const Position& at) {
           if (!at.inShard) return;
           Task task;
           task.at = at;
           for (const std::string& arg : options.command)
             task.command.argv.push_back(Substitute(scratch.get(), arg));
           task.command.env = base;
           SetEnv(task.command.env, "DDTABLE_ITERATION=" + std::to_string(at.iteration));
           SetEnv(task.command.env,
                  "DDTABLE_ROW=" + std::to_string(at.childRow > 0 ? at.childRow : at.bpRow));
           for (const std::string& env : options.env) SetEnv(task.command.env, Substitute(scratch.get(), env));
           if (!options.outputFile.empty()) task.outputFile = Substitute(scratch.get(), options.outputFile);
           tasks.push_back(std::move(task));
         },
         [](const Position&, long) {});
  }

  // The commands.
  CommandLimits limits;
  limits.jobs = options.jobs;
  limits.timeoutSeconds = options.timeout;
  limits.maxOutputBytes = options.maxOutput;
  std::vector<Command> commands;
  commands.reserve(tasks.size());
  for (const Task& task : tasks) commands.push_back(task.command);
  std::vector<CommandOutcome> outcomes;
  {
    Progress progress("run " + plan.bp, commands.size());
    try {
      outcomes = RunCommands(commands, limits, [&](std::size_t done) { progress.Update(done); });
    } catch (const Interrupted& e) {
      throw CliError(kExitUsage, options.input + ": run " + e.what() +
                                     "; its commands were stopped and no results were written");
    }
  }

  // Pass 2: copy the rows into the results workbook and verify each output in input order.
  std::vector<Record> records;
  std::vector<Mark> marks;
  auto results = std::make_unique<CDDTResults>(nullptr, CDT::DT_TYPE_QX, "1", "None", "Local");
  if (prepare_results(results.get(), input) != 0)
    FailFile(options.input, "the results workbook could not be given its sheets");
  std::size_t next = 0;
  std::size_t blockStart = 0;
  Walk(input, results.get(), plan,
       [&](const Position& at) {
         if (!at.inShard) return;
         if (next >= tasks.size() || tasks[next].at.bpRow != at.bpRow ||
             tasks[next].at.childRow != at.childRow)
           throw CliError(kExitUsage, options.input + ": the run rows changed during the run");
         const Task& task = tasks[next];
         const CommandOutcome& outcome = outcomes[next];
         ++next;
         Record row;
         row.sheet = plan.child.empty() ? plan.bp : plan.childSheet;
         row.row = plan.child.empty() ? at.bpRow : at.childRow;
         RowRecord& record = row.record;
         record.command = true;
         if (outcome.started && !outcome.timedOut && outcome.signal == 0)
           record.exitStatus = std::to_string(outcome.exitStatus);
         record.seconds = outcome.seconds;
         record.out = CellText(outcome.out, outcome.outBytes);
         record.err = CellText(outcome.err, outcome.errBytes);
         std::string problem = outcome.Problem(options.timeout);
         std::string mismatch;
         if (!plan.outputRef.empty() && outcome.started) {
           std::string value = outcome.out;
           std::string fileProblem;
           if (!task.outputFile.empty()) value = ReadCapped(task.outputFile, options.maxOutput, fileProblem);
           if (!fileProblem.empty()) {
             if (problem.empty()) problem = fileProblem;
           } else {
             if (value.size() > kMaxCellText - 1) {
               value = CellText(value.substr(0, kMaxCellText - 1), value.size());
               value = value.substr(0, value.find("\n[... output cut"));
               Warn(options.input + ": " + row.sheet + " row " + std::to_string(row.row) +
                    ": output cut to the cell limit before the check");
             }
             const int verdict = prm_set_and_verify_output(results.get(), plan.outputRef.c_str(),
                                                           value.c_str(), plan.expected.c_str(),
                                                           plan.verify ? 1 : 0);
             if (verdict < 0) {
               if (problem.empty()) problem = "output " + plan.outputName + " could not be written";
             } else if (verdict == 1 || verdict == 2) {
               const CDT::DT_STYLE style = verdict == 1 ? CDT::DT_STYLE_GREEN : CDT::DT_STYLE_LIGHT_RED;
               marks.push_back({plan.outputSheet, plan.outputName, row.row, style});
               if (!plan.expectedName.empty())
                 marks.push_back({plan.expectedSheet, plan.expectedName, row.row, style});
               if (verdict == 2) {
                 std::string got = value;
                 while (!got.empty() && std::isspace(static_cast<unsigned char>(got.back()))) got.pop_back();
                 mismatch = plan.outputName + " was '" + got + "', expected '" +
                            Substitute(results.get(), plan.expected) + "'";
               }
             }
           }
         }
         record.status = !problem.empty() ? kError : !mismatch.empty() ? kFailed : kPassed;
         record.message = !problem.empty() ? problem : mismatch;
         records.push_back(std::move(row));
       },
       [&](const Position& at, long rows) {
         if (!at.inShard) return;
         // The business-process row sums up its block.
         Record row;
         row.sheet = plan.bp;
         row.row = at.bpRow;
         std::size_t failed = 0, errors = 0;
         for (std::size_t i = blockStart; i < records.size(); ++i) {
           if (records[i].record.status == kFailed) ++failed;
           if (records[i].record.status == kError) ++errors;
         }
         const std::size_t total = records.size() - blockStart;
         if (rows == 0) {
           row.record.status = kSkipped;
           row.record.message = "no rows in its block of " + plan.childSheet;
         } else {
           row.record.status = errors > 0 ? kError : failed > 0 ? kFailed : kPassed;
           if (errors + failed > 0)
             row.record.message = std::to_string(errors + failed) + " of " + std::to_string(total) +
                                  " rows of " + plan.childSheet + " did not pass";
         }
         records.push_back(std::move(row));
         blockStart = records.size();
       });
  if (next != tasks.size()) throw CliError(kExitUsage, options.input + ": the run rows changed during the run");
  if (save_results_as(results.get(), resultsPath.c_str(), 1) != 0) FailFile(resultsPath, WriteFailureReason(resultsPath));
  results.reset();
  inputBook.reset();
  prm_release_data_manager();

  // The run columns and the marks go in with the interactive binding, which keeps styles.
  CDT book(nullptr, CDT::DT_TYPE_F1, "");
  if (book.Open(resultsPath) != 0) FailFile(resultsPath, ReadFailureReason(resultsPath));
  const bool each = !plan.child.empty();
  if (AddRunColumns(book, plan.bp, !each) != 0 || (each && AddRunColumns(book, plan.childSheet, true) != 0))
    FailFile(resultsPath, "the run columns could not be added");
  for (const Mark& mark : marks) {
    if (book.SetSheet(mark.sheet) == 0) book.SetStyle(mark.style, mark.name, mark.row);
  }
  std::size_t passed = 0, failed = 0, errors = 0, skipped = 0, rows = 0;
  for (const Record& row : records) {
    WriteRecord(book, row.sheet, row.row, row.record);
    if (!row.record.command && each) continue;  // counted through its block's rows
    ++rows;
    if (row.record.status == kPassed) ++passed;
    if (row.record.status == kFailed) ++failed;
    if (row.record.status == kError) ++errors;
    if (row.record.status == kSkipped) ++skipped;
    if (row.record.status == kFailed || row.record.status == kError)
      Warn(options.input + ": " + row.sheet + " row " + std::to_string(row.row) + ": " +
           row.record.status + ": " + row.record.message);
  }
  if (book.Save(resultsPath, 1) != 0) FailFile(resultsPath, WriteFailureReason(resultsPath));
  WarnSaveNotes(book, resultsPath);
  if (!options.junit.empty()) WriteJUnit(book, plan.bp, options.junit);
  Warn(plan.bp + ": " + OutcomeSummary(rows, passed, failed, errors, skipped) + "; results in " +
       resultsPath);
  return failed + errors > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
