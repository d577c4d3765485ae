// What a run report shows, read from results workbooks of `ddtable run`: per business
// process its rows with their outcome, parameters, outputs beside their expected values,
// exit status, duration and the first lines of what the command printed, with the rows of a
// child table (`--each`) under the business-process row whose block they are in.
//
// The parts of a sharded run (same input, business process and child table) are combined
// row by row the way `ddtable merge` combines them, so a report of the parts equals the
// report of the merged workbook.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

class CDT;

namespace ddtcli {

// Outcomes in the order the report counts them. "skipped" (earlier versions) is kNotRunRow.
enum ReportStatus : int { kPassedRow = 0, kFailedRow = 1, kErrorRow = 2, kNotRunRow = 3 };
inline constexpr int kReportStatuses = 4;
const char* ReportStatusName(int status);

// Marks of an output cell: the run's fill says whether it matched its expected value.
enum OutputMark : int { kOutputUnchecked = 0, kOutputMatched = 1, kOutputDiffers = 2 };

struct ReportRow {
  int status = kPassedRow;
  std::string name;     // the RunName column, else "SHEET row N"
  long sheetRow = 0;    // data row of its sheet, from 1
  double seconds = -1;  // -1: no duration (a row that did not run a command)
  std::string exitStatus;
  std::string message;
  std::vector<std::string> values;  // one per column of its table, as displayed
  std::vector<int> marks;           // one OutputMark per output of its table
  std::string out, err;             // the first lines of standard output and error
  std::vector<ReportRow> children;  // rows of the child table's block (with --each)
  std::string change;               // "new failure", "fixed" or "" (from the run history)
};

// The columns of a sheet a report shows: the data columns (without the run's own columns)
// and the outputs that have an expected column (indexes into `columns`).
struct ReportTable {
  std::string sheet;
  std::vector<std::string> columns;
  struct Output {
    int column = 0, expected = -1;
  };
  std::vector<Output> outputs;
};

using ReportTotals = std::array<long, kReportStatuses>;

struct ReportProcess {
  std::string name;       // the business process
  std::string input;      // the input workbook of its run
  std::vector<std::string> files;  // the results workbooks it was read from
  ReportTable table;
  bool hasChild = false;
  ReportTable child;
  std::vector<ReportRow> rows;
  // Rows counted as results: the rows that ran a command (child rows with --each) and
  // business-process rows that ran none (a block without rows, a missing shard).
  ReportTotals totals{};
  double seconds = 0;  // the sum of the rows' durations
};

// One results workbook as read, for the page's header.
struct ReportSource {
  std::string file, input, bp, shard, outcome, started, finished, host;
};

struct ReportModel {
  std::vector<ReportSource> sources;
  std::vector<ReportProcess> processes;
  ReportTotals totals{};
  std::string started, finished;  // the earliest start and latest end of the runs (UTC)
  double wallSeconds = -1;        // finished - started, -1 when unknown
  double rowSeconds = 0;          // the sum of the rows' durations
};

// A results workbook opened with the interactive binding (it keeps the pass/fail fills).
struct OpenResults {
  std::string path;
  CDT* book = nullptr;
};

// Reads the run rows of the workbooks. Throws CliError (exit 2) naming a workbook that is not
// a results workbook of `ddtable run`, or parts of one run that do not fit together.
ReportModel ReadReportModel(const std::vector<OpenResults>& results);

// Text cut to its first `lines` lines and at most `bytes` bytes (on a character boundary),
// ending in "…" when something was left out.
std::string FirstLines(const std::string& text, std::size_t lines, std::size_t bytes);

// Seconds between two UTC ISO 8601 times ("2024-05-01T10:00:00Z"); -1 when either is not one.
double SecondsBetween(const std::string& from, const std::string& to);

}  // namespace ddtcli
