// The columns a run adds to the results workbook beside the parameters: the outcome of each
// row, the command's exit status, how long it took and what it printed. `merge` and the
// JUnit report read them back, so a results workbook alone describes its run.
#pragma once

#include <string>
#include <vector>

class CDT;

namespace ddtcli {

inline constexpr const char kStatusColumn[] = "RunStatus";    // passed, failed, error, not run
inline constexpr const char kMessageColumn[] = "RunMessage";  // why a row did not pass
inline constexpr const char kExitColumn[] = "ExitStatus";
inline constexpr const char kDurationColumn[] = "Duration";   // seconds
inline constexpr const char kStdoutColumn[] = "Stdout";
inline constexpr const char kStderrColumn[] = "Stderr";
inline constexpr const char kNameColumn[] = "RunName";          // Login[alice], Book[LH1]/Passengers[2]
inline constexpr const char kAttemptsColumn[] = "RunAttempts";  // with --rerun-failed: runs of the row so far

inline constexpr const char kPassed[] = "passed";
inline constexpr const char kFailed[] = "failed";
inline constexpr const char kError[] = "error";
inline constexpr const char kSkipped[] = "skipped";  // written by earlier versions
// A row the run was given but did not run to its end: the run was interrupted or stopped at
// its time limit, or the part of a sharded run that held it is missing from a merge.
inline constexpr const char kNotRun[] = "not run";
// The message of a "not run" row that --rows, --where, --id-in or --rerun-failed left out:
// such rows do not make a run fail.
inline constexpr const char kNotChosen[] = "not chosen for this run";

// A cell holds at most this many characters (the workbook file format's limit); longer
// captured output is cut and says so.
inline constexpr std::size_t kMaxCellText = 32767;

// One row's record. command: the row ran a command (exit status, duration and output are
// written); otherwise only the status and message (a business-process row whose command ran
// once per child-table row).
struct RowRecord {
  std::string name;  // written to RunName when not empty
  std::string status;
  std::string message;
  bool command = false;
  std::string exitStatus;  // "" when the command did not exit by itself
  double seconds = 0;
  std::string out, err;
};

// Adds the run columns to the sheet when it lacks them (all of them, or only status,
// message and name when `commandColumns` is false). -1 when a column cannot be added.
int AddRunColumns(CDT& book, const std::string& sheet, bool commandColumns);
// Adds one column when the sheet lacks it; -1 when it cannot be added.
int AddRunColumn(CDT& book, const std::string& sheet, const char* column);
// Writes the record into row `row` of the sheet, and marks the status cell (green for
// passed, light red for failed and error).
void WriteRecord(CDT& book, const std::string& sheet, long row, const RowRecord& record);
// Writes text as text (never a number or formula), cut to kMaxCellText characters.
void WriteText(CDT& book, const std::string& sheet, long row, const std::string& param,
               const std::string& text);
// Writes a number as entered ("0.250" stays the number 0.25); an empty text clears nothing.
void WriteNumber(CDT& book, const std::string& sheet, long row, const char* param, const std::string& number);
// Captured output made fit for a cell: cut at the cell limit with a note of what was left
// out of `total` bytes; the trailing line break removed.
std::string CellText(const std::string& text, std::size_t total);

}  // namespace ddtcli
