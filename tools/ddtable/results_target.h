// Where a run's results go: a results workbook that another program holds open, or that
// cannot be written, is found before the first row runs; one that becomes so during the run
// gets its results beside it under a new name instead of losing them.
#pragma once

#include <string>

namespace ddtcli {

// The lock file a spreadsheet program keeps beside a workbook it has open: LibreOffice's
// ".~lock.NAME#" or Excel's "~$NAME". "" when there is none.
std::string LockFileOf(const std::string& path);

// Why `path` cannot take a results workbook now (its folder is missing or read-only, it is a
// folder, it cannot be written, or another program holds it open), or "".
std::string ResultsTargetProblem(const std::string& path);

// A free name beside `path` for results that cannot go to `path`: "NAME-1.xlsx",
// "NAME-2.xlsx", ... (the first that neither exists nor is locked).
std::string NameBeside(const std::string& path);

}  // namespace ddtcli
