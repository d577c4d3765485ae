// What a results workbook of `ddtable run` is: the input it came from, the business process,
// the shard and the iterations it was given, and how the run ended. It is kept in a sheet of
// its own ("ddtable run", two columns Key and Value) so that a results workbook alone tells
// `merge` whether a set of parts is one whole run.
#pragma once

#include <optional>
#include <string>
#include <vector>

class CDT;

namespace ddtcli {

inline constexpr const char kRunInfoSheet[] = "ddtable run";

// How a run ended.
inline constexpr const char kRunComplete[] = "complete";
inline constexpr const char kRunInterrupted[] = "interrupted";
inline constexpr const char kRunOverTime[] = "stopped at the run's time limit";

struct RunInfo {
  std::string input;        // the input workbook as named on the command line
  std::string inputDigest;  // content digest of the input workbook (FileDigest)
  std::string bp, each;
  int shardIndex = 1, shardCount = 1;  // "merged" parts keep the count, index 0
  long iterations = 0;      // iterations of the business process in the input
  std::vector<long> chosen;  // iterations the whole run chose (--rows, --where, ...), ascending
  std::vector<long> given;  // iterations this workbook was given to run, ascending
  std::vector<long> rows;   // the business-process row of every iteration of the run, in order
  std::string outcome = kRunComplete;
  std::string started, finished;  // UTC, ISO 8601
  std::string host;
};

// Writes (or rewrites) the run information sheet of `book`.
void WriteRunInfo(CDT& book, const RunInfo& info);
// The run information of a results workbook; nothing when it has none.
std::optional<RunInfo> ReadRunInfo(CDT& book);

// "1-3,7,9-10": numbers from 1 as ranges, and back. ParseIterations throws
// std::invalid_argument on text that is not such a list (or, with `ascending`, not rising).
std::string FormatIterations(const std::vector<long>& iterations);
std::vector<long> ParseIterations(const std::string& text, bool ascending = true);

// A digest of the file's bytes (64-bit FNV-1a and the size, in hex); "" when it cannot be read.
std::string FileDigest(const std::string& path);
// The current time, UTC, ISO 8601 to the second.
std::string UtcNow();
std::string HostName();

}  // namespace ddtcli
