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
#include "input/cddt_input.h"
#include "junit.h"
#include "manager/param_name.h"
#include "process_pool.h"
#include "references.h"
#include "report.h"
#include "results_target.h"
#include "results/cddt_results.h"
#include "run_columns.h"
#include "run_info.h"
#include "run_journal.h"
#include "row_selection.h"
#include "table/cdt.h"
#include "workbook_view.h"

extern char** environ;

namespace ddtcli {

namespace {

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

// Where a run is in the input.
struct Position {
  long iteration = 0;  // from 1, in run order
  long bpRow = 0;
  long childRow = 0;   // 0 without --each
  bool blockEnd = false;  // with --each: the end of a business-process row's block
  long childRows = 0;     // at a block's end: the rows it had
};

struct Plan {
  std::string input, bp, child, childSheet;
  long bpLastRow = 0;
  std::vector<std::string> command, env;  // references qualified for the scope
  std::string outputFile;
  std::string templateProblem;            // references of the above that name nothing
  std::string outputRef;                  // "<name>" / "<table::name>"
  std::string outputSheet, outputName;
  std::string expected;                   // a reference, or a pattern that may hold references
  bool expectedIsRef = false;
  std::string expectedSheet, expectedName;  // set when the expected side is a parameter here
  bool verify = false;
};

// The run rows of the business process in run order (and each row of a child-table block
// with --each, followed by the end of the block), copying each row into `results`.
class RowWalk {
 public:
  RowWalk(CDDTInput* input, CDDTResults* results, const Plan& plan)
      : input_(input), results_(results), plan_(plan) {}

  bool Next(Position& out) {
    if (!started_) {
      if (set_bp(input_, results_, plan_.bp.c_str()) != 0)
        FailFile(plan_.input, "cannot start business process '" + plan_.bp + "'");
      started_ = true;
    }
    if (done_) return false;
    if (inBlock_) {
      if (advance_loop(input_, results_, plan_.child.c_str()) == 0) {
        at_.childRow = results_->GetCurrRunRow(plan_.childSheet);
        ++blockRows_;
        out = at_;
        return true;
      }
      inBlock_ = false;
      return BlockEnd(out);
    }
    if (next_runrow(input_, results_, 0, 0, 0) != 0) return Stop();
    at_.bpRow = prm_get_current_run_row(results_);
    // Rows past the sheet's data are empty: without data the run-row list covers a whole
    // default range.
    if (at_.bpRow < 1 || at_.bpRow > plan_.bpLastRow) return Stop();
    ++at_.iteration;
    at_.childRow = 0;
    at_.blockEnd = false;
    if (plan_.child.empty()) {
      out = at_;
      return true;
    }
    blockRows_ = 0;
    if (reset_loop(input_, results_, plan_.child.c_str()) == 0) {
      at_.childRow = results_->GetCurrRunRow(plan_.childSheet);
      ++blockRows_;
      inBlock_ = true;
      out = at_;
      return true;
    }
    return BlockEnd(out);
  }

 private:
  bool Stop() {
    done_ = true;
    return false;
  }
  bool BlockEnd(Position& out) {
    out = at_;
    out.childRow = 0;
    out.blockEnd = true;
    out.childRows = blockRows_;
    return true;
  }

  CDDTInput* input_;
  CDDTResults* results_;
  const Plan& plan_;
  Position at_;
  bool started_ = false, done_ = false, inBlock_ = false;
  long blockRows_ = 0;
};

// What a run does with an iteration.
enum class Given { Run, OtherShard, NotChosen };

// Row names: "Login[alice]" (by the --id column) or "Login[3]" (by iteration); a child-table
// row adds "/Passengers[2]", its place in the block.
using NameKey = std::pair<long, long>;  // iteration, child row (0: the business-process row)

struct Task {
  Position at;
  std::string name;
  Command command;
  std::string problem;  // set when the row cannot run (a reference names nothing)
  std::string outputFileText, outputFileProblem;
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
  bool hasOutput = false;
  std::string output;  // the output as printed (surrounding blanks removed), written as text
};

std::string ReadCapped(const std::string& path, std::size_t cap, std::string& problem) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    problem = "the command wrote no output file " + path + " (" + std::strerror(errno) + ")";
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

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t\r\n\v\f");
  return text.substr(first, last - first + 1);
}

bool IsWholeReference(const std::string& text) {
  return text.size() >= 2 && text.front() == '<' && text.back() == '>' &&
         FindReferences(text).size() == 1;
}

// Checks the options against the input workbook and fills the plan.
Plan MakePlan(const RunOptions& options, CDDTInput& input) {
  Plan plan;
  plan.input = options.input;
  plan.bp = options.bp;
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
  const ReferenceScope scope(input, plan.bp, plan.child);
  std::vector<std::string> problems;
  auto qualify = [&](const std::string& where, const std::string& text) {
    std::vector<std::string> unresolved;
    std::string qualified = scope.Qualify(text, unresolved);
    if (!unresolved.empty()) problems.push_back(UnresolvedMessage(where, unresolved));
    return qualified;
  };
  for (std::size_t i = 0; i < options.command.size(); ++i)
    plan.command.push_back(qualify(i == 0 ? "the command" : "argument " + std::to_string(i), options.command[i]));
  for (const std::string& env : options.env) plan.env.push_back(qualify("--env " + env.substr(0, env.find('=')), env));
  if (!options.outputFile.empty()) plan.outputFile = qualify("--output-file", options.outputFile);

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
    if (plan.verify && IsWholeReference(plan.expected)) {
      const std::string resolved = scope.Resolve(plan.expected);
      if (resolved.empty()) {
        problems.push_back(UnresolvedMessage("--expect", {plan.expected}));
      } else {
        plan.expected = resolved;
        plan.expectedIsRef = true;
        CParamName ref(resolved.c_str());
        if (ref.GetExternAlias().empty()) {
          plan.expectedSheet = ref.GetFullSheet(plan.bp);
          plan.expectedName = ref.GetName();
        }
      }
    } else if (plan.verify) {
      plan.expected = qualify("--expect", plan.expected);
    }
  } else if (!options.expect.empty() || !options.outputFile.empty()) {
    FailUsage("--expect and --output-file need --output NAME");
  }
  for (const std::string& problem : problems) {
    if (!plan.templateProblem.empty()) plan.templateProblem += "; ";
    plan.templateProblem += problem;
  }
  if (!plan.templateProblem.empty())
    Warn(options.input + ": " + plan.templateProblem + " of sheet '" + owner.name +
         "'; every row is an error and no command runs");
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

// The second pass: copies each row into the results workbook and verifies its output, in
// input order, as soon as the row and every row before it have ended.
class Recorder {
 public:
  Recorder(CDDTInput* input, CDDTResults* results, const Plan& plan, const RunOptions& options,
           std::vector<Task>& tasks, std::vector<CommandOutcome>& outcomes, const std::map<long, Given>& given,
           const std::map<NameKey, std::string>& names, Progress& progress)
      : walk_(input, results, plan), results_(results), plan_(plan), options_(options),
        scope_(*input, plan.bp, plan.child), tasks_(tasks), outcomes_(outcomes), given_(given), names_(names),
        progress_(progress) {}

  // Records what can be recorded now; with `final`, every row, those not ended as "not run".
  void Advance(bool final) {
    for (;;) {
      if (!pending_) {
        Position at;
        if (!walk_.Next(at)) break;
        pending_ = at;
      }
      const Position at = *pending_;
      auto found = given_.find(at.iteration);
      const Given given = found != given_.end() ? found->second : Given::OtherShard;
      if (given == Given::Run && !at.blockEnd && !final && (next_ >= tasks_.size() || !outcomes_[next_].finished))
        break;
      pending_.reset();
      if (given == Given::OtherShard) continue;
      if (given == Given::NotChosen) {
        RecordNotChosen(at);
      } else if (at.blockEnd) {
        EndBlock(at);
      } else {
        RecordRow(at);
      }
    }
    if (final && next_ != tasks_.size())
      throw CliError(kExitUsage, options_.input + ": the run rows changed during the run");
  }

  std::vector<Record>& Records() { return records_; }
  std::size_t NotChosen() const { return notChosen_; }
  const std::vector<Mark>& Marks() const { return marks_; }
  std::size_t Failed() const { return failed_; }
  std::size_t Errors() const { return errors_; }

 private:
  void Report(const Record& row) {
    const std::string& status = row.record.status;
    if (status == kFailed) ++failed_;
    if (status == kError) ++errors_;
    if (status == kFailed || status == kError)
      progress_.Say(options_.input + ": " + row.sheet + " row " + std::to_string(row.row) + ": " + status +
                    ": " + row.record.message);
  }

  std::string NameOf(long iteration, long childRow) const {
    auto found = names_.find({iteration, childRow});
    return found != names_.end() ? found->second : std::string();
  }

  // A row that the selection left out: "not run", never dropped.
  void RecordNotChosen(const Position& at) {
    Record row;
    const bool child = !plan_.child.empty() && !at.blockEnd;
    row.sheet = child ? plan_.childSheet : plan_.bp;
    row.row = child ? at.childRow : at.bpRow;
    row.record.name = NameOf(at.iteration, child ? at.childRow : 0);
    row.record.status = kNotRun;
    row.record.message = kNotChosen;
    if (child || plan_.child.empty()) ++notChosen_;
    records_.push_back(std::move(row));
  }

  // The expected value as a pattern: references in it replaced by their values, taken
  // literally. Unresolved references are collected.
  std::string ExpandPattern(const std::string& text, std::vector<std::string>& unresolved) const {
    std::string out;
    std::size_t from = 0, at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
      const std::size_t end = text.find('>', at);
      if (end == std::string::npos) break;
      const std::string token = text.substr(at, end - at + 1);
      const std::string resolved = scope_.Resolve(token);
      out.append(text, from, at - from);
      if (resolved.empty()) {
        unresolved.push_back(token);
        out += token;
      } else {
        out += EscapePattern(Substitute(results_, resolved));
      }
      from = at = end + 1;
    }
    out.append(text, from, std::string::npos);
    return out;
  }

  void RecordRow(const Position& at) {
    if (next_ >= tasks_.size() || tasks_[next_].at.bpRow != at.bpRow || tasks_[next_].at.childRow != at.childRow)
      throw CliError(kExitUsage, options_.input + ": the run rows changed during the run");
    const Task& task = tasks_[next_];
    const CommandOutcome& outcome = outcomes_[next_];
    ++next_;
    Record row;
    row.sheet = plan_.child.empty() ? plan_.bp : plan_.childSheet;
    row.row = plan_.child.empty() ? at.bpRow : at.childRow;
    RowRecord& record = row.record;
    record.command = true;
    record.name = task.name;
    if (!task.problem.empty()) {
      record.status = kError;
      record.message = task.problem;
      Report(row);
      records_.push_back(std::move(row));
      return;
    }
    if (!outcome.finished) {
      record.status = kNotRun;
      records_.push_back(std::move(row));
      return;
    }
    if (outcome.started && !outcome.timedOut && outcome.signal == 0)
      record.exitStatus = std::to_string(outcome.exitStatus);
    record.seconds = outcome.seconds;
    record.out = CellText(outcome.out, outcome.outBytes);
    record.err = CellText(outcome.err, outcome.errBytes);
    std::string problem = outcome.Problem(options_.timeout);
    std::string mismatch;
    if (!plan_.outputRef.empty() && outcome.started) {
      std::string value = task.command.freshFile.empty() ? outcome.out : task.outputFileText;
      if (!task.outputFileProblem.empty()) {
        if (problem.empty()) problem = task.outputFileProblem;
      } else {
        if (value.size() > kMaxCellText - 1) {
          value = CellText(value.substr(0, kMaxCellText - 1), value.size());
          value = value.substr(0, value.find("\n[... output cut"));
          Warn(options_.input + ": " + row.sheet + " row " + std::to_string(row.row) +
               ": output cut to the cell limit before the check");
        }
        // The expected value with the references it holds substituted; a reference to an
        // expected cell that holds none goes to the library as it is (it reads the cell and
        // handles formulas there).
        std::string expected = plan_.expected;
        std::string shownExpected;
        std::vector<std::string> unresolved;
        if (plan_.verify && plan_.expectedIsRef) {
          shownExpected = Substitute(results_, plan_.expected);
          if (!FindReferences(shownExpected).empty()) {
            expected = ExpandPattern(shownExpected, unresolved);
          }
        } else if (plan_.verify) {
          expected = ExpandPattern(plan_.expected, unresolved);
          shownExpected = expected;
        }
        const bool verify = plan_.verify && unresolved.empty();
        const int verdict = prm_set_and_verify_output(results_, plan_.outputRef.c_str(), value.c_str(),
                                                      expected.c_str(), verify ? 1 : 0);
        row.hasOutput = verdict >= 0;
        row.output = Trim(value);
        if (!unresolved.empty()) {
          if (problem.empty()) problem = UnresolvedMessage("expected value " + shownExpected, unresolved);
        } else if (verdict < 0) {
          if (problem.empty()) problem = "output " + plan_.outputName + " could not be written";
        } else if (verdict == 1 || verdict == 2) {
          const CDT::DT_STYLE style = verdict == 1 ? CDT::DT_STYLE_GREEN : CDT::DT_STYLE_LIGHT_RED;
          marks_.push_back({plan_.outputSheet, plan_.outputName, row.row, style});
          if (!plan_.expectedName.empty()) marks_.push_back({plan_.expectedSheet, plan_.expectedName, row.row, style});
          if (verdict == 2) {
            mismatch = plan_.outputName + " was '" + row.output + "', expected '" +
                       (plan_.expectedIsRef && expected == plan_.expected ? shownExpected : expected) + "'";
          }
        }
      }
    }
    record.status = !problem.empty() ? kError : !mismatch.empty() ? kFailed : kPassed;
    record.message = !problem.empty() ? problem : mismatch;
    Report(row);
    records_.push_back(std::move(row));
  }

  // The business-process row sums up its block.
  void EndBlock(const Position& at) {
    Record row;
    row.sheet = plan_.bp;
    row.row = at.bpRow;
    row.record.name = NameOf(at.iteration, 0);
    std::size_t failed = 0, errors = 0, notRun = 0;
    for (std::size_t i = blockStart_; i < records_.size(); ++i) {
      if (records_[i].record.status == kFailed) ++failed;
      if (records_[i].record.status == kError) ++errors;
      if (records_[i].record.status == kNotRun) ++notRun;
    }
    const std::size_t total = records_.size() - blockStart_;
    if (at.childRows == 0) {
      // A business-process row without rows to run is not a pass.
      row.record.status = kError;
      row.record.message = "no rows in its block of " + plan_.childSheet;
      Report(row);
    } else {
      row.record.status = errors > 0 ? kError : failed > 0 ? kFailed : notRun > 0 ? kNotRun : kPassed;
      if (errors + failed > 0)
        row.record.message = std::to_string(errors + failed) + " of " + std::to_string(total) +
                             " rows of " + plan_.childSheet + " did not pass";
    }
    records_.push_back(std::move(row));
    blockStart_ = records_.size();
  }

  RowWalk walk_;
  CDDTResults* results_;
  const Plan& plan_;
  const RunOptions& options_;
  ReferenceScope scope_;
  std::vector<Task>& tasks_;
  std::vector<CommandOutcome>& outcomes_;
  const std::map<long, Given>& given_;
  const std::map<NameKey, std::string>& names_;
  Progress& progress_;
  std::optional<Position> pending_;
  std::size_t next_ = 0, blockStart_ = 0;
  std::vector<Record> records_;
  std::vector<Mark> marks_;
  std::size_t failed_ = 0, errors_ = 0, notChosen_ = 0;
};

// The iterations a run is given, before the split into shards.
struct Selection {
  std::set<long> rows;             // --rows; empty: every iteration
  std::vector<Condition> where;    // on the business process's parameters, all must hold
  std::set<std::string> ids;       // --id-in; empty: every id
  std::set<std::string> passedBefore;           // --rerun-failed: names of rows that passed
  std::map<std::string, long> attemptsBefore;   // --rerun-failed: runs of each row so far
  bool splitByDuration = false;
  std::map<std::string, double> secondsByName;  // --split: a business-process row's earlier time

  bool Chooses(CDT& input, long bpIndex, long iteration, long bpRow, const std::string& id,
               const std::string& name) const {
    if (!rows.empty() && rows.count(iteration) == 0) return false;
    if (!ids.empty() && ids.count(id) == 0) return false;
    if (passedBefore.count(name) != 0) return false;
    for (const Condition& condition : where) {
      if (!condition.Matches(input.GetParamValue(bpRow, condition.param, bpIndex))) return false;
    }
    return true;
  }
};

// The name of the business-process row a row name belongs to: "Book[LH1]" of
// "Book[LH1]/Passengers[2]".
std::string TopName(const std::string& name) { return name.substr(0, name.find("]/") == std::string::npos ? name.size() : name.find("]/") + 1); }

// A results workbook of an earlier run (--rerun-failed, --split), checked against this run.
std::unique_ptr<CDT> OpenEarlierResults(const std::string& path, const RunOptions& options, const Plan& plan,
                                        const std::string& digest, bool needSameInput) {
  OpenWorkbook(path);  // a missing or unreadable file, by name
  auto book = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_F1, "");
  if (book->Open(path) != 0) FailFile(path, ReadFailureReason(path));
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
  (void)options;
  return book;
}

Selection MakeSelection(const RunOptions& options, CDDTInput& input, const Plan& plan, const std::string& digest) {
  Selection selection;
  if (!options.rows.empty()) selection.rows = ParseRowList(options.rows);
  const long bpIndex = input.GetSheetIndex(plan.bp);
  for (const std::string& text : options.where) {
    Condition condition = Condition::Parse(text);
    if (input.ParamExists(condition.param, bpIndex) == 0)
      FailFile(options.input, "sheet '" + plan.bp + "' has no parameter '" + condition.param + "' for --where " + text);
    selection.where.push_back(std::move(condition));
  }
  if (!options.idIn.empty()) selection.ids = ReadIdList(options.idIn);
  if (!options.rerunFailed.empty()) {
    std::unique_ptr<CDT> before = OpenEarlierResults(options.rerunFailed, options, plan, digest, options.id.empty());
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
    std::unique_ptr<CDT> before = OpenEarlierResults(path, options, plan, digest, false);
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

// --rerun-failed: the rows that passed in the earlier run keep their outcome, copied from
// its results workbook by row name; RunAttempts counts every row's runs.
void KeepEarlierOutcomes(CDT& book, const std::string& earlierPath, const Plan& plan,
                         const std::map<NameKey, std::string>& names, const RunInfo& info, const Selection& selection,
                         const std::vector<Record>& records) {
  CDT before(nullptr, CDT::DT_TYPE_F1, "");
  if (before.Open(earlierPath) != 0) FailFile(earlierPath, ReadFailureReason(earlierPath));
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
  Recorder recorder(input, results.get(), plan, options, tasks, outcomes, given, names, progress);
  std::size_t ended = 0;
  for (const CommandOutcome& outcome : outcomes) ended += outcome.finished ? 1 : 0;
  progress.Update(ended);
  CommandEvents events;
  events.finished = [&](std::size_t i) {
    Task& task = tasks[i];
    if (!task.command.freshFile.empty() && outcomes[i].started)
      task.outputFileText = ReadCapped(task.command.freshFile, options.maxOutput, task.outputFileProblem);
    journal.Append({task.at.iteration, task.at.childRow}, {outcomes[i], task.outputFileText, task.outputFileProblem});
    progress.Update(++ended);
    recorder.Advance(false);
  };
  events.tick = [&] {
    progress.Periodic([&] {
      return std::to_string(ended) + " of " + std::to_string(tasks.size()) + " rows ended, " +
             std::to_string(recorder.Failed()) + " failed, " + std::to_string(recorder.Errors()) + " errors";
    });
  };
  recorder.Advance(false);
  const RunStop stop = RunCommands(commands, limits, outcomes, events);
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
  if (!options.rerunFailed.empty()) KeepEarlierOutcomes(book, options.rerunFailed, plan, names, info, selection, recorder.Records());
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
