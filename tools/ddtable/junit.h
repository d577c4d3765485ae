// The JUnit XML report of a run: one test case per row that ran, read from the run columns
// of a results workbook, so a run and a merge of shards give the same report.
#pragma once

#include <string>

class CDT;

namespace ddtcli {

// Writes the report of `results` (suite name: `suite`) to `path`. Throws CliError (exit 2)
// when the file cannot be written. Returns the number of test cases.
int WriteJUnit(CDT& results, const std::string& suite, const std::string& path);

}  // namespace ddtcli
