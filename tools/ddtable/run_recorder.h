// The second pass of a run: each row copied into the results workbook and its output checked,
// in input order, as soon as it and every row before it have ended.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ddtable/param_name.h"
#include "cli_common.h"
#include "references.h"
#include "run_plan.h"

namespace ddtcli {

// The second pass: copies each row into the results workbook and verifies its output, in
// input order, as soon as the row and every row before it have ended.
class Recorder {
 public:
  Recorder(CDDTInput* input, CDDTResults* results, const Plan& plan, const RunOptions& options,
           std::vector<Task>& tasks, std::vector<CommandOutcome>& outcomes, const std::vector<char>& ended,
           const std::map<long, Given>& given,
           const std::map<NameKey, std::string>& names, Progress& progress)
      : walk_(input, results, plan), results_(results), plan_(plan), options_(options),
        scope_(*input, plan.bp, plan.child), tasks_(tasks), outcomes_(outcomes), ended_(ended), given_(given), names_(names),
        progress_(progress) {}

  // Records what can be recorded now: the rows up to the first whose command has not ended
  // (`ended`, by task). With `final`, every row, those not ended as "not run".
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
      if (given == Given::Run && !at.blockEnd && !final && (next_ >= tasks_.size() || ended_[next_] == 0))
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
    return scope_.Replace(text, unresolved,
                          [this](const std::string& resolved) { return EscapePattern(Substitute(results_, resolved)); });
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
          if (!CParamName::FindAll(shownExpected).empty()) {
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
  const std::vector<char>& ended_;
  const std::map<long, Given>& given_;
  const std::map<NameKey, std::string>& names_;
  Progress& progress_;
  std::optional<Position> pending_;
  std::size_t next_ = 0, blockStart_ = 0;
  std::vector<Record> records_;
  std::vector<Mark> marks_;
  std::size_t failed_ = 0, errors_ = 0, notChosen_ = 0;
};


}  // namespace ddtcli
