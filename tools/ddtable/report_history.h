// The history of a series of runs for their reports: one small JSON summary per run in a
// folder (totals, duration and the rows that did not pass), from which a report draws the
// trend of the last runs and marks the rows whose outcome changed since the run before.
#pragma once

#include <string>
#include <vector>

#include "report_model.h"

namespace ddtcli {

// Summaries a report draws.
inline constexpr std::size_t kHistoryPoints = 20;

struct HistoryPoint {
  std::string started;
  double seconds = -1;  // the run's wall time, else the sum of its rows' durations
  ReportTotals totals{};
  bool current = false;  // the run of this report
};

// Marks the rows of `model` that changed outcome since the newest earlier run summarized in
// `dir` ("new failure": failed or error now, not then; "fixed": passed now, failed or error
// then), writes the summary of this run into `dir` (created when missing; a report of the same
// run again replaces its summary) and returns the last kHistoryPoints runs, oldest first,
// this one included. Throws CliError (exit 2) when the summary cannot be written.
std::vector<HistoryPoint> ApplyHistory(ReportModel& model, const std::string& dir);

}  // namespace ddtcli
