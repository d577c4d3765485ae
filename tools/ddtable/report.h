// The run report: one self-contained HTML page (its data embedded as JSON, no file or
// address outside it) of the rows of one or more results workbooks of `ddtable run`, with
// totals, a bar per business process, filters kept in the page's address, and with a history
// folder the trend of the last runs.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "report_history.h"
#include "report_model.h"

namespace ddtcli {

// Writes the report of the results workbooks to `out` (history from options.history when
// set). Throws CliError (exit 2) naming a workbook that cannot be read or is not a results
// workbook, or a file that cannot be written. Returns the totals of the report's rows.
ReportTotals WriteReport(const std::vector<std::string>& resultsPaths, const ReportOptions& options,
                         const std::string& out);
// The same for workbooks already open with the interactive binding (it keeps the fills that
// mark outputs as matched or not).
ReportTotals WriteReport(const std::vector<OpenResults>& results, const ReportOptions& options,
                         const std::string& out);

// The page for a model: the embedded data and the page around it.
std::string ReportJson(const ReportModel& model, const std::vector<HistoryPoint>& history,
                       const std::string& title);
std::string ReportPage(const std::string& json, const std::string& title);

}  // namespace ddtcli
