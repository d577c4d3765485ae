// The plan of a `ddtable run`: the options checked against the input workbook, where the
// run is in the input (RowWalk goes over the run rows with the library, copying each into a
// results workbook), and the records a run keeps of each row.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "process_pool.h"
#include "ddtable/cddt_results.h"
#include "run_columns.h"
#include "ddtable/cdt.h"

namespace ddtcli {

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


// The text with its parameter references substituted by the library, at the results
// workbook's current rows.
std::string Substitute(CDDTResults* results, const std::string& source);

// Checks the options against the input workbook and fills the plan. Throws CliError (exit 2)
// for a sheet or parameter that is not there.
Plan MakePlan(const RunOptions& options, CDDTInput& input);

}  // namespace ddtcli
