#include "row_selection.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <stdexcept>

#include "cli_common.h"

extern char** environ;

namespace ddtcli {

namespace {

long ToNumber(const std::string& text, const std::string& what) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end == nullptr || *end != '\0') FailUsage(what);
  return value;
}

}  // namespace

Condition ParseCondition(const std::string& text) {
  try {
    return Condition::Parse(text);
  } catch (const std::invalid_argument& e) {
    FailUsage("--where " + text + ": " + e.what());
  }
}

std::set<long> ParseRowList(const std::string& text) {
  try {
    return ddt::ParseRowList(text);
  } catch (const std::invalid_argument& e) {
    FailUsage("--rows " + text + ": " + e.what());
  }
}

std::set<std::string> ReadIdList(const std::string& fileOrList) {
  std::set<std::string> ids;
  std::ifstream file(fileOrList);
  if (file) {
    std::string line;
    while (std::getline(file, line)) {
      line = Trim(line);
      if (!line.empty()) ids.insert(line);
    }
    return ids;
  }
  std::size_t from = 0;
  while (from <= fileOrList.size()) {
    std::size_t comma = fileOrList.find(',', from);
    if (comma == std::string::npos) comma = fileOrList.size();
    const std::string id = Trim(fileOrList.substr(from, comma - from));
    if (!id.empty()) ids.insert(id);
    from = comma + 1;
  }
  if (ids.empty()) FailUsage("--id-in " + fileOrList + ": no such file, and no ids in it as a list");
  return ids;
}

std::map<std::string, std::string> ProcessEnvironment() {
  std::map<std::string, std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::size_t at = entry.find('=');
    if (at != std::string::npos) env[entry.substr(0, at)] = entry.substr(at + 1);
  }
  return env;
}

Shard ParseShard(const std::string& text, const std::map<std::string, std::string>& env) {
  Shard shard;
  if (text.empty()) return shard;
  if (text == "auto") {
    struct System {
      const char* name;
      const char* index;
      const char* total;
      int base;  // the first index: 0 or 1
    };
    static const System kSystems[] = {
        {"GitLab CI", "CI_NODE_INDEX", "CI_NODE_TOTAL", 1},
        {"CircleCI", "CIRCLE_NODE_INDEX", "CIRCLE_NODE_TOTAL", 0},
        {"Buildkite", "BUILDKITE_PARALLEL_JOB", "BUILDKITE_PARALLEL_JOB_COUNT", 0},
        {"Azure Pipelines", "SYSTEM_JOBPOSITIONINPHASE", "SYSTEM_TOTALJOBSINPHASE", 1},
        {"Bitbucket Pipelines", "BITBUCKET_PARALLEL_STEP", "BITBUCKET_PARALLEL_STEP_COUNT", 0},
        {"a Kubernetes Indexed Job", "JOB_COMPLETION_INDEX", "DDTABLE_SHARD_TOTAL", 0},
    };
    for (const System& system : kSystems) {
      auto index = env.find(system.index);
      auto total = env.find(system.total);
      if (index == env.end() && total == env.end()) continue;
      const std::string what = std::string("--shard auto: ") + system.name + " says " + system.index + "=" +
                               (index == env.end() ? "(unset)" : index->second) + " " + system.total + "=" +
                               (total == env.end() ? "(unset)" : total->second);
      if (index == env.end() || total == env.end()) FailUsage(what + "; both are needed");
      const long i = ToNumber(index->second, what + ": not numbers") - system.base + 1;
      const long n = ToNumber(total->second, what + ": not numbers");
      if (n < 1 || i < 1 || i > n) FailUsage(what + ": not a shard of the job");
      shard.index = static_cast<int>(i);
      shard.count = static_cast<int>(n);
      return shard;
    }
    FailUsage("--shard auto: no CI system says which parallel job this is (looked for CI_NODE_INDEX, "
              "CIRCLE_NODE_INDEX, BUILDKITE_PARALLEL_JOB, SYSTEM_JOBPOSITIONINPHASE, BITBUCKET_PARALLEL_STEP, "
              "JOB_COMPLETION_INDEX with DDTABLE_SHARD_TOTAL); give --shard I/N");
  }
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d/%d%c", &shard.index, &shard.count, &rest) != 2 || shard.count < 1 ||
      shard.index < 1 || shard.index > shard.count) {
    FailUsage("--shard " + text + ": expected I/N with 1 <= I <= N (for example 2/4), or auto");
  }
  return shard;
}

std::map<long, int> SplitByDuration(const std::vector<long>& iterations, const std::map<long, double>& seconds,
                                    int count) {
  double known = 0;
  std::size_t withCost = 0;
  for (long iteration : iterations) {
    auto found = seconds.find(iteration);
    if (found != seconds.end()) {
      known += found->second;
      ++withCost;
    }
  }
  const double mean = withCost > 0 ? known / static_cast<double>(withCost) : 1.0;
  std::vector<std::pair<double, long>> costs;
  costs.reserve(iterations.size());
  for (long iteration : iterations) {
    auto found = seconds.find(iteration);
    costs.emplace_back(found != seconds.end() ? found->second : mean, iteration);
  }
  std::sort(costs.begin(), costs.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<double> load(static_cast<std::size_t>(std::max(1, count)), 0.0);
  std::map<long, int> shardOf;
  for (const auto& [cost, iteration] : costs) {
    const std::size_t least = static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
    load[least] += cost;
    shardOf[iteration] = static_cast<int>(least) + 1;
  }
  return shardOf;
}

}  // namespace ddtcli
