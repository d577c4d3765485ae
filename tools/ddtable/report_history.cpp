#include "report_history.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli_common.h"
#include "run_info.h"

namespace ddtcli {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kSummaryFormat = 1;

struct Summary {
  std::string file;
  std::string started;
  long sequence = 0;  // the order summaries were written in: runs started in the same second
  double seconds = -1;
  ReportTotals totals{};
  std::map<std::string, std::string> bad;  // row key -> failed / error
  std::set<std::string> notRun;
};

// A row's key across runs: its sheet and its name.
std::string KeyOf(const std::string& sheet, const ReportRow& row) { return sheet + "\t" + row.name; }

template <typename Visit>
void EachRow(ReportModel& model, Visit visit) {
  for (ReportProcess& process : model.processes) {
    for (ReportRow& row : process.rows) {
      visit(KeyOf(process.table.sheet, row), row);
      for (ReportRow& child : row.children) visit(KeyOf(process.child.sheet, child), child);
    }
  }
}

// 64-bit FNV-1a of the text, in hex: names a run's summary file.
std::string ShortHash(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  char out[20];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
  return out;
}

// A run's summary file: named by its start and what tells it from another run started in the
// same second (its results workbooks' content), so that a report of the same run again
// replaces its summary.
std::string SummaryName(const ReportModel& model, const std::string& started) {
  std::string identity = started + "\n" + model.finished;
  for (const ReportSource& source : model.sources) identity += "\n" + source.file + "\n" + FileDigest(source.file);
  for (const ReportProcess& process : model.processes) identity += "\n" + process.input + "\n" + process.name;
  std::string stamp;
  for (char c : started) {
    if (std::isalnum(static_cast<unsigned char>(c))) stamp += c;
  }
  return "run-" + stamp + "-" + ShortHash(identity) + ".json";
}

json TotalsJson(const ReportTotals& totals) {
  json out = json::object();
  for (int s = 0; s < kReportStatuses; ++s) out[ReportStatusName(s)] = totals[static_cast<std::size_t>(s)];
  return out;
}

std::optional<Summary> ReadSummary(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  const json data = json::parse(file, nullptr, false);
  if (data.is_discarded() || !data.is_object() || data.value("format", 0) != kSummaryFormat) return std::nullopt;
  try {
    Summary summary;
    summary.file = path.filename().string();
    summary.started = data.at("started").get<std::string>();
    summary.sequence = data.value("sequence", 0L);
    summary.seconds = data.value("seconds", -1.0);
    for (int s = 0; s < kReportStatuses; ++s)
      summary.totals[static_cast<std::size_t>(s)] = data.at("totals").value(ReportStatusName(s), 0L);
    for (const auto& [key, status] : data.at("bad").items()) summary.bad[key] = status.get<std::string>();
    for (const json& key : data.at("notRun")) summary.notRun.insert(key.get<std::string>());
    return summary;
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::vector<HistoryPoint> ApplyHistory(ReportModel& model, const std::string& dir) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (!fs::is_directory(dir)) FailFile(dir, "cannot be made a folder for the run history");

  Summary current;
  current.started = model.started.empty() ? UtcNow() : model.started;
  current.file = SummaryName(model, current.started);
  current.seconds = model.wallSeconds >= 0 ? model.wallSeconds : model.rowSeconds;
  current.totals = model.totals;
  EachRow(model, [&](const std::string& key, const ReportRow& row) {
    if (row.status == kFailedRow || row.status == kErrorRow) current.bad[key] = ReportStatusName(row.status);
    if (row.status == kNotRunRow) current.notRun.insert(key);
  });

  std::vector<Summary> earlier;
  long lastSequence = 0;
  bool again = false;  // a report of a run summarized before keeps its place
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".json" || name.rfind("run-", 0) != 0) continue;
    if (std::optional<Summary> summary = ReadSummary(entry.path())) {
      lastSequence = std::max(lastSequence, summary->sequence);
      if (name == current.file) {
        current.sequence = summary->sequence;
        again = true;
        continue;
      }
      earlier.push_back(std::move(*summary));
    } else {
      Warn(entry.path().string() + ": not a run summary of ddtable; left out of the history");
    }
  }
  auto older = [](const Summary& a, const Summary& b) {
    if (a.started != b.started) return a.started < b.started;
    return a.sequence != b.sequence ? a.sequence < b.sequence : a.file < b.file;
  };
  std::sort(earlier.begin(), earlier.end(), older);

  if (!again) current.sequence = lastSequence + 1;
  // The run before this one: the newest summary older than it.
  const Summary* previous = nullptr;
  for (const Summary& summary : earlier) {
    if (older(summary, current)) previous = &summary;
  }
  if (previous != nullptr) {
    EachRow(model, [&](const std::string& key, ReportRow& row) {
      const bool badBefore = previous->bad.count(key) != 0;
      const bool bad = row.status == kFailedRow || row.status == kErrorRow;
      if (bad && !badBefore && previous->notRun.count(key) == 0) row.change = "new failure";
      if (row.status == kPassedRow && badBefore) row.change = "fixed";
    });
  }

  json data = {{"format", kSummaryFormat}, {"started", current.started},
               {"sequence", current.sequence}, {"finished", model.finished},
               {"seconds", current.seconds}, {"totals", TotalsJson(current.totals)}};
  data["bad"] = current.bad;
  data["notRun"] = current.notRun;
  const fs::path target = fs::path(dir) / current.file;
  const fs::path temporary = fs::path(dir) / ("." + current.file + ".tmp");
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << data.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
    file.close();
    if (!file) FailFile(temporary.string(), WriteFailureReason(temporary.string()));
  }
  fs::rename(temporary, target, error);
  if (error) FailFile(target.string(), "the run summary could not be written: " + error.message());

  earlier.push_back(current);
  std::sort(earlier.begin(), earlier.end(), older);
  std::vector<HistoryPoint> points;
  const std::size_t from = earlier.size() > kHistoryPoints ? earlier.size() - kHistoryPoints : 0;
  for (std::size_t i = from; i < earlier.size(); ++i) {
    HistoryPoint point;
    point.started = earlier[i].started;
    point.seconds = earlier[i].seconds;
    point.totals = earlier[i].totals;
    point.current = earlier[i].file == current.file;
    points.push_back(point);
  }
  return points;
}

}  // namespace ddtcli
