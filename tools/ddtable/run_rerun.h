// Which iterations a run chooses (--rows, --where, --id-in, --rerun-failed) and what it
// takes from an earlier run's results workbook (--rerun-failed, --split durations:).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <memory>

#include "row_selection.h"
#include "run_info.h"
#include "run_plan.h"

namespace ddtcli {

// The iterations a run is given, before the split into shards.
struct Selection {
  std::set<long> rows;             // --rows; empty: every iteration
  std::vector<Condition> where;    // on the business process's parameters, all must hold
  std::set<std::string> ids;       // --id-in; empty: every id
  std::set<std::string> passedBefore;           // --rerun-failed: names of rows that passed
  std::map<std::string, long> attemptsBefore;   // --rerun-failed: runs of each row so far
  std::shared_ptr<CDT> earlier;                 // --rerun-failed: its results workbook, open
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
std::string TopName(const std::string& name);

// The selection the options ask for; throws CliError (exit 2) for bad options, or an earlier
// results workbook of another run.
Selection MakeSelection(const RunOptions& options, CDDTInput& input, const Plan& plan, const std::string& digest);

// --rerun-failed: the rows that passed in the earlier run keep their outcome, copied from
// its results workbook by row name; RunAttempts counts every row's runs.
void KeepEarlierOutcomes(CDT& book, const Plan& plan, const std::map<NameKey, std::string>& names,
                         const RunInfo& info, const Selection& selection, const std::vector<Record>& records);

}  // namespace ddtcli
