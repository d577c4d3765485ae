// ddtable report: the HTML page of a run (or of the parts of a sharded run, or of several
// runs) read from its results workbooks.
#include "report.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "cli_common.h"
#include "run_info.h"
#include "ddtable/cdt.h"

namespace ddtcli {

extern const char kReportPageTemplate[];  // report_page.html, embedded at build time

namespace {

using nlohmann::json;

constexpr const char kDataMark[] = "@DDTABLE_DATA@";
constexpr const char kTitleMark[] = "@DDTABLE_TITLE@";

json TableJson(const ReportTable& table) {
  json outputs = json::array();
  for (const ReportTable::Output& output : table.outputs) outputs.push_back({output.column, output.expected});
  return {{"sheet", table.sheet}, {"columns", table.columns}, {"outputs", outputs}};
}

json TotalsJson(const ReportTotals& totals) { return json(std::vector<long>(totals.begin(), totals.end())); }

// A row as an array (a report of many rows stays small): status, name, sheet row, seconds
// (null: none), exit status, message, values, output marks, stdout, stderr, children, change.
json RowJson(const ReportRow& row) {
  json children = json::array();
  for (const ReportRow& child : row.children) children.push_back(RowJson(child));
  json out = json::array();
  json::array_t& fields = out.get_ref<json::array_t&>();
  fields.reserve(12);
  fields.emplace_back(row.status);
  fields.emplace_back(row.name);
  fields.emplace_back(row.sheetRow);
  fields.emplace_back(row.seconds >= 0 ? json(row.seconds) : json(nullptr));
  fields.emplace_back(row.exitStatus);
  fields.emplace_back(row.message);
  fields.emplace_back(row.values);
  fields.emplace_back(row.marks);
  fields.emplace_back(row.out);
  fields.emplace_back(row.err);
  fields.emplace_back(std::move(children));
  fields.emplace_back(row.change);
  return out;
}

std::string HtmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string DefaultTitle(const ReportModel& model) {
  std::string names;
  for (const ReportProcess& process : model.processes) {
    if (names.find(process.name) == std::string::npos) names += (names.empty() ? "" : ", ") + process.name;
  }
  return (names.empty() ? std::string("ddtable") : names) + " \xE2\x80\x94 run report";
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) FailFile(path, WriteFailureReason(path));
  file << text;
  file.close();
  if (!file) FailFile(path, "the report could not be written completely");
}

}  // namespace

std::string ReportJson(const ReportModel& model, const std::vector<HistoryPoint>& history, const std::string& title) {
  json data = {{"title", title},
               {"generated", UtcNow()},
               {"started", model.started},
               {"finished", model.finished},
               {"wallSeconds", model.wallSeconds},
               {"rowSeconds", model.rowSeconds},
               {"totals", TotalsJson(model.totals)}};
  json sources = json::array();
  for (const ReportSource& s : model.sources)
    sources.push_back({{"file", s.file}, {"input", s.input}, {"bp", s.bp}, {"shard", s.shard}, {"outcome", s.outcome},
                       {"started", s.started}, {"finished", s.finished}, {"host", s.host}});
  data["sources"] = std::move(sources);
  json processes = json::array();
  for (const ReportProcess& process : model.processes) {
    json rows = json::array();
    rows.get_ref<json::array_t&>().reserve(process.rows.size());
    for (const ReportRow& row : process.rows) rows.push_back(RowJson(row));
    processes.push_back({{"name", process.name},
                         {"input", process.input},
                         {"files", process.files},
                         {"table", TableJson(process.table)},
                         {"child", process.hasChild ? TableJson(process.child) : json(nullptr)},
                         {"totals", TotalsJson(process.totals)},
                         {"seconds", process.seconds},
                         {"rows", std::move(rows)}});
  }
  data["processes"] = std::move(processes);
  json points = json::array();
  for (const HistoryPoint& point : history)
    points.push_back({{"started", point.started}, {"seconds", point.seconds}, {"totals", TotalsJson(point.totals)},
                      {"current", point.current}});
  data["history"] = std::move(points);
  // Captured output need not be UTF-8: what is not becomes U+FFFD rather than failing.
  return data.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string ReportPage(const std::string& json, const std::string& title) {
  std::string page = kReportPageTemplate;
  const std::size_t titleAt = page.find(kTitleMark);
  if (titleAt != std::string::npos) page.replace(titleAt, sizeof kTitleMark - 1, HtmlText(title));
  // Inside a script element "</script" or "<!--" would end or change it: every "<" (only
  // ever inside a JSON string) is written as its escape.
  std::string data;
  data.reserve(json.size() + json.size() / 64);
  for (char c : json) {
    if (c == '<') data += "\\u003c";
    else data += c;
  }
  const std::size_t dataAt = page.find(kDataMark);
  page.replace(dataAt, sizeof kDataMark - 1, data);
  return page;
}

ReportTotals WriteReport(const std::vector<OpenResults>& results, const ReportOptions& options,
                         const std::string& out) {
  if (results.empty()) FailUsage("report: no results workbook given");
  ReportModel model = ReadReportModel(results);
  std::vector<HistoryPoint> history;
  if (!options.history.empty()) history = ApplyHistory(model, options.history);
  const std::string title = options.title.empty() ? DefaultTitle(model) : options.title;
  WriteFile(out, ReportPage(ReportJson(model, history, title), title));
  return model.totals;
}

ReportTotals WriteReport(const std::vector<std::string>& resultsPaths, const ReportOptions& options,
                         const std::string& out) {
  std::vector<std::unique_ptr<CDT>> books;
  std::vector<OpenResults> results;
  for (const std::string& path : resultsPaths) {
    if (!std::filesystem::is_regular_file(path)) FailFile(path, ReadFailureReason(path));
    // The interactive binding reads and keeps the cell styles (the marks of the outputs).
    books.push_back(std::make_unique<CDT>(nullptr, CDT::DT_TYPE_F1, ""));
    if (books.back()->Open(path) != 0) FailFile(path, ReadFailureReason(path));
    results.push_back({path, books.back().get()});
  }
  return WriteReport(results, options, out);
}

int Report(const ReportOptions& options) {
  if (options.out.empty()) FailUsage("report: no output file (-o report.html)");
  const ReportTotals totals = WriteReport(options.results, options, options.out);
  long rows = 0;
  for (long n : totals) rows += n;
  const long notPassed = rows - totals[kPassedRow];
  std::string counts;
  for (int s = 0; s < kReportStatuses; ++s) {
    if (totals[static_cast<std::size_t>(s)] > 0)
      counts += (counts.empty() ? "" : ", ") + std::to_string(totals[static_cast<std::size_t>(s)]) + " " +
                ReportStatusName(s);
  }
  Warn(options.out + ": " + std::to_string(rows) + " rows" + (counts.empty() ? "" : " (" + counts + ")"));
  return notPassed > 0 ? kExitChecksFailed : kExitOk;
}

}  // namespace ddtcli
