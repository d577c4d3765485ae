#include "run_info.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <stdexcept>

#include "run_columns.h"
#include "ddtable/cdt.h"

namespace ddtcli {

namespace {

constexpr const char kKey[] = "Key";
constexpr const char kValue[] = "Value";

std::vector<std::pair<std::string, std::string>> Fields(const RunInfo& info) {
  return {
      {"Input", info.input},
      {"InputDigest", info.inputDigest},
      {"BusinessProcess", info.bp},
      {"Each", info.each},
      {"Shard", (info.shardIndex > 0 ? std::to_string(info.shardIndex) : std::string("merged")) + "/" +
                    std::to_string(info.shardCount)},
      {"Iterations", std::to_string(info.iterations)},
      {"Chosen", FormatIterations(info.chosen)},
      {"Given", FormatIterations(info.given)},
      {"Rows", FormatIterations(info.rows)},
      {"Outcome", info.outcome},
      {"Started", info.started},
      {"Finished", info.finished},
      {"Host", info.host},
  };
}

long ToLong(const std::string& text) {
  std::size_t used = 0;
  const long value = std::stol(text, &used);
  if (used != text.size()) throw std::invalid_argument(text);
  return value;
}

}  // namespace

std::string FormatIterations(const std::vector<long>& iterations) {
  std::string text;
  for (std::size_t i = 0; i < iterations.size();) {
    std::size_t j = i;
    while (j + 1 < iterations.size() && iterations[j + 1] == iterations[j] + 1) ++j;
    if (!text.empty()) text += ',';
    text += std::to_string(iterations[i]);
    if (j > i) text += "-" + std::to_string(iterations[j]);
    i = j + 1;
  }
  return text;
}

std::vector<long> ParseIterations(const std::string& text, bool ascending) {
  std::vector<long> out;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t comma = text.find(',', from);
    if (comma == std::string::npos) comma = text.size();
    const std::string part = text.substr(from, comma - from);
    const std::size_t dash = part.find('-', 1);
    const long first = ToLong(dash == std::string::npos ? part : part.substr(0, dash));
    const long last = dash == std::string::npos ? first : ToLong(part.substr(dash + 1));
    if (first < 1 || last < first || (ascending && !out.empty() && first <= out.back()))
      throw std::invalid_argument("iteration list '" + text + "'");
    for (long n = first; n <= last; ++n) out.push_back(n);
    from = comma + 1;
  }
  return out;
}

std::string FileDigest(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "";
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  std::uint64_t size = 0;
  char buffer[1 << 16];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    const std::streamsize n = file.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
      hash ^= static_cast<unsigned char>(buffer[i]);
      hash *= 0x100000001b3ULL;
    }
    size += static_cast<std::uint64_t>(n);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%016llx-%llx", static_cast<unsigned long long>(hash),
                static_cast<unsigned long long>(size));
  return text;
}

std::string UtcNow() {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc {};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return stamp;
}

std::string HostName() {
  char host[256] = "";
  if (::gethostname(host, sizeof host) != 0 || host[0] == '\0') return "localhost";
  host[sizeof host - 1] = '\0';
  return host;
}

void WriteRunInfo(CDT& book, const RunInfo& info) {
  if (book.GetSheetIndex(kRunInfoSheet) < 1) {
    const long count = book.GetNumSheets();
    if (book.InsertSheets(static_cast<int>(count) + 1, 1) != 0 ||
        book.SetSheetName(book.GetSheetName(count + 1), kRunInfoSheet) != 0)
      throw std::runtime_error("the run information sheet could not be added");
  }
  const long index = book.GetSheetIndex(kRunInfoSheet);
  for (const char* column : {kKey, kValue}) {
    if (book.ParamExists(column, index) != 0) continue;
    std::string name = column;
    if (book.AddParam(kRunInfoSheet, name, "", CDT::DT_STYLE_NONE, "", 0) != 0 || name != column)
      throw std::runtime_error("the run information sheet could not be given its columns");
  }
  // A long list (the iterations of a large sharded run) goes over several rows with the same
  // key, cut at commas: a cell holds at most kMaxCellText characters.
  constexpr std::size_t kChunk = 30000;
  long row = 0;
  for (const auto& [key, value] : Fields(info)) {
    std::size_t from = 0;
    do {
      std::size_t end = value.size();
      if (end - from > kChunk) {
        end = value.rfind(',', from + kChunk);
        if (end == std::string::npos || end <= from) end = from + kChunk;
      }
      ++row;
      WriteText(book, kRunInfoSheet, row, kKey, key);
      WriteText(book, kRunInfoSheet, row, kValue, value.substr(from, end - from));
      from = end < value.size() && value[end] == ',' ? end + 1 : end;
    } while (from < value.size());
  }
  // Rows left from an earlier, longer information are cleared.
  for (++row; !book.GetParamValue(row, kKey, index).empty(); ++row) {
    WriteText(book, kRunInfoSheet, row, kKey, "");
    WriteText(book, kRunInfoSheet, row, kValue, "");
  }
}

std::optional<RunInfo> ReadRunInfo(CDT& book) {
  const long index = book.GetSheetIndex(kRunInfoSheet);
  if (index < 1 || book.ParamExists(kKey, index) == 0 || book.ParamExists(kValue, index) == 0)
    return std::nullopt;
  std::map<std::string, std::string> values;
  for (long row = 1;; ++row) {
    const std::string key = book.GetParamValue(row, kKey, index);
    if (key.empty()) break;
    const std::string value = book.GetParamValue(row, kValue, index);
    auto [at, fresh] = values.emplace(key, value);
    if (!fresh) at->second += "," + value;  // the next piece of a long list
  }
  RunInfo info;
  try {
    info.input = values.at("Input");
    info.inputDigest = values.at("InputDigest");
    info.bp = values.at("BusinessProcess");
    info.each = values["Each"];
    const std::string shard = values.at("Shard");
    const std::size_t slash = shard.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string first = shard.substr(0, slash);
    info.shardIndex = first == "merged" ? 0 : static_cast<int>(ToLong(first));
    info.shardCount = static_cast<int>(ToLong(shard.substr(slash + 1)));
    info.iterations = ToLong(values.at("Iterations"));
    info.given = ParseIterations(values["Given"]);
    info.chosen = ParseIterations(values["Chosen"]);
    info.rows = ParseIterations(values["Rows"], false);
    info.outcome = values["Outcome"];
    info.started = values["Started"];
    info.finished = values["Finished"];
    info.host = values["Host"];
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return info;
}

}  // namespace ddtcli
