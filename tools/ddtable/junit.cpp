#include "junit.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli_common.h"
#include "run_columns.h"
#include "run_info.h"
#include "ddtable/cdt.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

// Text for XML content and attributes. Characters XML 1.0 does not allow (control
// characters other than tab and line breaks) become "?", so any captured output is safe.
std::string Xml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') out += '?';
        else out += static_cast<char>(c);
    }
  }
  return out;
}

struct Case {
  std::string classname, name, status, message, exitStatus, out, err;
  double seconds = 0;
  std::vector<std::pair<std::string, std::string>> properties;  // the row's parameters
};

bool IsRunColumn(const std::string& name) {
  for (const char* column : {kStatusColumn, kMessageColumn, kExitColumn, kDurationColumn, kStdoutColumn,
                             kStderrColumn, kNameColumn, kAttemptsColumn}) {
    if (name == column) return true;
  }
  return false;
}

}  // namespace

int WriteJUnit(CDT& results, const std::string& suite, const std::string& path) {
  // Test cases: the rows of the sheets where commands ran (those with an exit-status
  // column) that have an outcome.
  std::vector<Case> cases;
  const std::optional<RunInfo> info = ReadRunInfo(results);
  const std::string inputFile = info ? info->input : "";
  for (const SheetInfo& sheet : Sheets(results)) {
    if (results.ParamExists(kExitColumn, sheet.index) == 0) continue;
    for (long row = 1; row <= sheet.lastRow; ++row) {
      Case c;
      c.status = results.GetParamValue(row, kStatusColumn, sheet.index);
      if (c.status.empty()) continue;
      c.classname = suite + "." + sheet.name;
      // Rows are named by the run (Login[alice]); results of earlier versions by their row.
      if (results.ParamExists(kNameColumn, sheet.index) != 0) c.name = results.GetParamValue(row, kNameColumn, sheet.index);
      if (c.name.empty()) c.name = sheet.name + " row " + std::to_string(row);
      for (const std::string& param : sheet.params) {
        if (!param.empty() && !IsRunColumn(param))
          c.properties.emplace_back(param, results.GetParamValue(row, param, sheet.index));
      }
      c.message = results.GetParamValue(row, kMessageColumn, sheet.index);
      c.exitStatus = results.GetParamValue(row, kExitColumn, sheet.index);
      c.seconds = std::strtod(results.GetRawValue(row, kDurationColumn, sheet.index).c_str(), nullptr);
      c.out = results.GetParamValue(row, kStdoutColumn, sheet.index);
      c.err = results.GetParamValue(row, kStderrColumn, sheet.index);
      cases.push_back(std::move(c));
    }
  }
  int failures = 0, errors = 0, skipped = 0;
  double total = 0;
  for (const Case& c : cases) {
    failures += c.status == kFailed;
    errors += c.status == kError;
    skipped += c.status == kSkipped || c.status == kNotRun;
    total += c.seconds;
  }
  char host[256] = "localhost";
  if (::gethostname(host, sizeof host) != 0 || host[0] == '\0') std::snprintf(host, sizeof host, "localhost");
  host[sizeof host - 1] = '\0';
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc {};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

  std::ostringstream xml;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", total);
  xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml << "<testsuites name=\"ddtable\" tests=\"" << cases.size() << "\" failures=\"" << failures
      << "\" errors=\"" << errors << "\" skipped=\"" << skipped << "\" time=\"" << seconds << "\">\n";
  xml << "  <testsuite name=\"" << Xml(suite) << "\" tests=\"" << cases.size() << "\" failures=\""
      << failures << "\" errors=\"" << errors << "\" skipped=\"" << skipped << "\" time=\""
      << seconds << "\" timestamp=\"" << stamp << "\" hostname=\"" << Xml(host) << "\">\n";
  for (const Case& c : cases) {
    std::snprintf(seconds, sizeof seconds, "%.3f", c.seconds);
    xml << "    <testcase classname=\"" << Xml(c.classname) << "\" name=\"" << Xml(c.name)
        << "\" time=\"" << seconds << "\"";
    if (!inputFile.empty()) xml << " file=\"" << Xml(inputFile) << "\"";
    xml << ">\n";
    if (!c.properties.empty()) {
      xml << "      <properties>\n";
      for (const auto& [name, value] : c.properties)
        xml << "        <property name=\"" << Xml(name) << "\" value=\"" << Xml(value) << "\"/>\n";
      xml << "      </properties>\n";
    }
    if (c.status == kFailed) {
      xml << "      <failure type=\"mismatch\" message=\"" << Xml(c.message) << "\">" << Xml(c.message)
          << "</failure>\n";
    } else if (c.status == kError) {
      xml << "      <error type=\"command\" message=\"" << Xml(c.message) << "\">" << Xml(c.message)
          << "</error>\n";
    } else if (c.status == kSkipped || c.status == kNotRun) {
      xml << "      <skipped message=\"" << Xml(c.message) << "\"/>\n";
    }
    if (!c.out.empty()) xml << "      <system-out>" << Xml(c.out) << "</system-out>\n";
    if (!c.err.empty()) xml << "      <system-err>" << Xml(c.err) << "</system-err>\n";
    xml << "    </testcase>\n";
  }
  xml << "  </testsuite>\n</testsuites>\n";

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) FailFile(path, WriteFailureReason(path));
  file << xml.str();
  file.close();
  if (!file) FailFile(path, "the report could not be written completely");
  return static_cast<int>(cases.size());
}

}  // namespace ddtcli
