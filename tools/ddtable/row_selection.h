// Which iterations of a business process a run is given: chosen by iteration number
// (--rows 3,5-9), by parameter values (--where Tag=smoke, Tag!=slow, Env=prod*), by row name
// (--id-in), or as the rows that did not pass in an earlier run (--rerun-failed); then split
// over CI machines (--shard I/N, --shard auto, --split durations:PREVIOUS.xlsx).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ddtable/row_filter.h"

namespace ddtcli {

// One --where condition: NAME=PATTERN or NAME!=PATTERN, with the library's rules (matching
// patterns, lists of words in a cell).
using Condition = ddt::RowCondition;
Condition ParseCondition(const std::string& text);  // throws CliError (exit 2) on bad text

// "3,5-9" as a set of iterations; throws CliError (exit 2) on bad text.
std::set<long> ParseRowList(const std::string& text);
// --id-in: the lines of a file when it exists, else a comma-separated list.
std::set<std::string> ReadIdList(const std::string& fileOrList);

struct Shard {
  int index = 1;  // from 1
  int count = 1;
};
// "I/N", or "auto": the CI system's parallel job variables (GitLab, CircleCI, Buildkite,
// Azure Pipelines, Bitbucket, a Kubernetes Indexed Job with DDTABLE_SHARD_TOTAL). `env`
// looks a variable up. Throws CliError (exit 2) on bad text or, for auto, when no CI system
// says which shard this is: a shard that cannot tell never runs every row.
Shard ParseShard(const std::string& text, const std::map<std::string, std::string>& env);
std::map<std::string, std::string> ProcessEnvironment();

// Splits the iterations (in run order) into `count` shards balanced by their expected cost:
// the longest first, each to the shard with the least so far (ties: the lower iteration, the
// lower shard). Iterations without a cost get the mean of those with one. The same inputs
// give the same split on every machine. Returns the shard (from 1) of each iteration.
std::map<long, int> SplitByDuration(const std::vector<long>& iterations, const std::map<long, double>& seconds,
                                    int count);

}  // namespace ddtcli
