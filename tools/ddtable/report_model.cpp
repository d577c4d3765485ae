#include "report_model.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <set>

#include "cli_common.h"
#include "run_columns.h"
#include "run_info.h"
#include "ddtable/cdt.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

// A run column a newer `ddtable run` writes: the row's name ("Login[alice]").
constexpr const char kReportRowNameColumn[] = "RunName";

// Bytes and lines of standard output and error a report keeps per row.
constexpr std::size_t kOutputLines = 6;
constexpr std::size_t kOutputBytes = 600;

bool IsRunColumn(const std::string& name) {
  for (const char* column : {kStatusColumn, kMessageColumn, kExitColumn, kDurationColumn, kStdoutColumn,
                             kStderrColumn, kReportRowNameColumn}) {
    if (name == column) return true;
  }
  return false;
}

int StatusOf(const std::string& text) {
  if (text == kPassed) return kPassedRow;
  if (text == kFailed) return kFailedRow;
  if (text == kNotRun || text == kSkipped) return kNotRunRow;
  return kErrorRow;  // "error", or an outcome this version does not know: not a pass
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

ReportTable TableOf(const SheetInfo& sheet) {
  ReportTable table;
  table.sheet = sheet.name;
  for (const std::string& name : sheet.params) {
    if (!IsRunColumn(name)) table.columns.push_back(name);
  }
  auto indexOf = [&](const std::string& name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i] == name) return static_cast<int>(i);
    }
    return -1;
  };
  // An expected column X_exp belongs to the output X, or X_out.
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const std::string& name = table.columns[i];
    if (name.size() <= 4 || !EndsWith(name, "_exp")) continue;
    const std::string base = name.substr(0, name.size() - 4);
    int output = indexOf(base);
    if (output < 0) output = indexOf(base + "_out");
    if (output >= 0) table.outputs.push_back({output, static_cast<int>(i)});
  }
  return table;
}

// Where a sheet of one workbook keeps the report's columns (engine columns from 1; 0 when
// the sheet has no such column).
struct SheetColumns {
  SheetInfo info;
  std::vector<long> data;  // one per ReportTable column
  long status = 0, message = 0, exit = 0, duration = 0, out = 0, err = 0, name = 0;
};

SheetColumns ColumnsOf(const SheetInfo& sheet) {
  SheetColumns columns;
  columns.info = sheet;
  for (std::size_t i = 0; i < sheet.params.size(); ++i) {
    const std::string& name = sheet.params[i];
    const long col = static_cast<long>(i) + 1;
    long* run = name == kStatusColumn          ? &columns.status
                : name == kMessageColumn       ? &columns.message
                : name == kExitColumn          ? &columns.exit
                : name == kDurationColumn      ? &columns.duration
                : name == kStdoutColumn        ? &columns.out
                : name == kStderrColumn        ? &columns.err
                : name == kReportRowNameColumn ? &columns.name
                                               : nullptr;
    if (run != nullptr) {
      if (*run == 0) *run = col;
    } else {
      columns.data.push_back(col);
    }
  }
  return columns;
}

// One results workbook of a run (a shard, or the whole run).
struct Part {
  const OpenResults* source = nullptr;
  std::optional<RunInfo> info;
  std::map<std::string, SheetColumns> sheets;
  std::vector<Block> blocks;  // of the child table, when there is one
};

std::string Cell(CDT& book, const SheetColumns& sheet, long row, long col) {
  return col > 0 ? DisplayedText(book, sheet.info.index, row, col) : std::string();
}

std::string StatusText(CDT& book, const SheetColumns& sheet, long row) {
  return sheet.status > 0 ? Cell(book, sheet, row, sheet.status) : std::string();
}

ReportRow ReadRow(CDT& book, const SheetColumns& sheet, const ReportTable& table, long row) {
  ReportRow out;
  out.sheetRow = row;
  out.status = StatusOf(StatusText(book, sheet, row));
  out.name = Cell(book, sheet, row, sheet.name);
  if (out.name.empty()) out.name = sheet.info.name + " row " + std::to_string(row);
  out.message = Cell(book, sheet, row, sheet.message);
  if (sheet.exit > 0) out.exitStatus = EnteredText(book, sheet.info.index, row, sheet.exit);
  if (sheet.duration > 0) {
    const std::string entry = EnteredText(book, sheet.info.index, row, sheet.duration);
    char* end = nullptr;
    const double seconds = std::strtod(entry.c_str(), &end);
    if (!entry.empty() && end != nullptr && *end == '\0' && seconds >= 0) out.seconds = seconds;
  }
  out.out = FirstLines(Cell(book, sheet, row, sheet.out), kOutputLines, kOutputBytes);
  out.err = FirstLines(Cell(book, sheet, row, sheet.err), kOutputLines, kOutputBytes);
  out.values.reserve(sheet.data.size());
  for (long col : sheet.data) out.values.push_back(Cell(book, sheet, row, col));
  if (!table.outputs.empty()) {
    book.SetSheet(sheet.info.name);
    for (const ReportTable::Output& output : table.outputs) {
      const CDT::DT_STYLE style = book.GetStyle(table.columns[static_cast<std::size_t>(output.column)], row);
      out.marks.push_back(style == CDT::DT_STYLE_GREEN       ? kOutputMatched
                          : style == CDT::DT_STYLE_LIGHT_RED ? kOutputDiffers
                                                             : kOutputUnchecked);
    }
  }
  return out;
}

const SheetColumns& SheetOf(const Part& part, const std::string& name) {
  auto at = part.sheets.find(name);
  if (at == part.sheets.end()) FailFile(part.source->path, "has no sheet '" + name + "'");
  return at->second;
}

// The business process and child table of a group of parts, and their rows, combined.
void ReadGroup(std::vector<Part>& parts, const std::string& bp, const std::string& childSheet,
               ReportModel& model) {
  ReportProcess process;
  process.name = bp;
  const Part& first = parts.front();
  process.input = first.info ? first.info->input : "";
  const SheetColumns& bpSheet = SheetOf(first, bp);
  process.table = TableOf(bpSheet.info);
  process.hasChild = !childSheet.empty();
  if (process.hasChild) process.child = TableOf(SheetOf(first, childSheet).info);
  for (Part& part : parts) {
    process.files.push_back(part.source->path);
    for (const std::string& sheet : {bp, childSheet}) {
      if (sheet.empty()) continue;
      if (SheetOf(part, sheet).info.params != SheetOf(first, sheet).info.params)
        FailFile(part.source->path, "not a part of the same run as " + first.source->path + " (sheet '" + sheet +
                                        "' differs)");
    }
    if (process.hasChild) part.blocks = Blocks(*part.source->book, SheetOf(part, childSheet).info);
  }

  // Rows no part was given (a missing shard) are "not run", as in a merge with them missing.
  std::set<long> missingRows;
  if (first.info) {
    std::set<long> given;
    for (const Part& part : parts) {
      if (part.info) given.insert(part.info->given.begin(), part.info->given.end());
    }
    for (long iteration = 1; iteration <= first.info->iterations; ++iteration) {
      if (given.count(iteration) == 0 && static_cast<std::size_t>(iteration) <= first.info->rows.size())
        missingRows.insert(first.info->rows[static_cast<std::size_t>(iteration) - 1]);
    }
  }

  for (long row = 1; row <= bpSheet.info.lastRow; ++row) {
    const Part* ran = nullptr;
    for (const Part& part : parts) {
      if (!StatusText(*part.source->book, SheetOf(part, bp), row).empty()) {
        ran = &part;
        break;
      }
    }
    if (ran == nullptr) {
      if (missingRows.count(row) == 0) continue;  // not one of the run's rows
      ReportRow missing = ReadRow(*first.source->book, bpSheet, process.table, row);
      missing.status = kNotRunRow;
      missing.message = "its part of the run is missing";
      missing.exitStatus.clear();
      missing.seconds = -1;
      process.rows.push_back(std::move(missing));
      continue;
    }
    CDT& book = *ran->source->book;
    ReportRow top = ReadRow(book, SheetOf(*ran, bp), process.table, row);
    // Block k of the child table belongs to the business process's row k.
    if (process.hasChild && static_cast<std::size_t>(row) <= ran->blocks.size()) {
      const Block& block = ran->blocks[static_cast<std::size_t>(row) - 1];
      const SheetColumns& childColumns = SheetOf(*ran, childSheet);
      double seconds = 0;
      for (long r = block.firstRow; r <= block.lastRow; ++r) {
        if (StatusText(book, childColumns, r).empty()) continue;
        top.children.push_back(ReadRow(book, childColumns, process.child, r));
        if (top.children.back().seconds > 0) seconds += top.children.back().seconds;
      }
      if (!top.children.empty()) top.seconds = seconds;
    }
    process.rows.push_back(std::move(top));
  }

  for (const ReportRow& row : process.rows) {
    if (row.children.empty()) {
      ++process.totals[static_cast<std::size_t>(row.status)];
    } else {
      for (const ReportRow& child : row.children) ++process.totals[static_cast<std::size_t>(child.status)];
    }
    if (row.seconds > 0) process.seconds += row.seconds;
  }
  model.processes.push_back(std::move(process));
}

Part OpenPart(const OpenResults& source) {
  Part part;
  part.source = &source;
  bool runColumns = false;
  for (const SheetInfo& sheet : Sheets(*source.book)) {
    if (sheet.name == kRunInfoSheet) continue;
    SheetColumns columns = ColumnsOf(sheet);
    runColumns |= columns.status > 0;
    part.sheets.emplace(sheet.name, std::move(columns));
  }
  if (!runColumns)
    FailFile(source.path, "not a results workbook of 'ddtable run' (no " + std::string(kStatusColumn) + " column)");
  part.info = ReadRunInfo(*source.book);
  return part;
}

// A workbook without run information (an earlier ddtable): its business processes are the
// sheets with run columns, and a child table with run columns is read under its owner's rows.
void ReadWithoutRunInfo(std::vector<Part>& single, ReportModel& model) {
  const Part& part = single.front();
  std::vector<std::string> order;
  for (const SheetInfo& sheet : Sheets(*part.source->book)) {
    auto at = part.sheets.find(sheet.name);
    if (at != part.sheets.end() && at->second.status > 0) order.push_back(sheet.name);
  }
  // A child table is read under its owner's rows; a second child table of the same owner
  // (a run has one) as rows of its own.
  std::map<std::string, std::string> childOf;
  std::set<std::string> asChild;
  for (const std::string& name : order) {
    if (RoleOf(name) != SheetRole::ChildTable || childOf.count(OwnerOf(name)) != 0) continue;
    for (const std::string& owner : order) {
      if (owner == OwnerOf(name)) {
        childOf[owner] = name;
        asChild.insert(name);
      }
    }
  }
  for (const std::string& name : order) {
    if (asChild.count(name) != 0) continue;
    const auto child = childOf.find(name);
    ReadGroup(single, name, child == childOf.end() ? std::string() : child->second, model);
  }
}

}  // namespace

const char* ReportStatusName(int status) {
  switch (status) {
    case kPassedRow: return kPassed;
    case kFailedRow: return kFailed;
    case kErrorRow: return kError;
    default: return kNotRun;
  }
}

std::string FirstLines(const std::string& text, std::size_t lines, std::size_t bytes) {
  std::size_t end = 0, seen = 0;
  while (end < text.size() && end < bytes) {
    if (text[end] == '\n' && ++seen == lines) break;
    ++end;
  }
  if (end >= text.size()) return text;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  std::string kept = text.substr(0, end);
  while (!kept.empty() && (kept.back() == '\n' || kept.back() == '\r')) kept.pop_back();
  return kept + "\n\xE2\x80\xA6";
}

double SecondsBetween(const std::string& from, const std::string& to) {
  auto parse = [](const std::string& text, std::time_t& out) {
    std::tm tm{};
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &zone) != 7 ||
        zone != 'Z')
      return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    out = timegm(&tm);
    return out != static_cast<std::time_t>(-1);
  };
  std::time_t a = 0, b = 0;
  if (!parse(from, a) || !parse(to, b) || b < a) return -1;
  return static_cast<double>(b - a);
}

ReportModel ReadReportModel(const std::vector<OpenResults>& results) {
  ReportModel model;
  std::vector<Part> parts;
  parts.reserve(results.size());
  for (const OpenResults& source : results) parts.push_back(OpenPart(source));

  // Parts of one run: the same input, business process and child table.
  std::vector<std::string> keys;
  std::map<std::string, std::vector<Part>> groups;
  for (Part& part : parts) {
    const std::string key = part.info ? "run\n" + part.info->inputDigest + "\n" + part.info->bp + "\n" +
                                            part.info->each
                                      : "file\n" + part.source->path;
    if (groups.count(key) == 0) keys.push_back(key);
    if (part.info) {
      for (const Part& other : groups[key]) {
        if (other.info->shardIndex == part.info->shardIndex && other.info->shardCount == part.info->shardCount)
          FailFile(part.source->path, "holds the same part of the run as " + other.source->path);
      }
    }
    groups[key].push_back(std::move(part));
  }
  for (const std::string& key : keys) {
    std::vector<Part>& group = groups[key];
    const std::optional<RunInfo>& info = group.front().info;
    if (info) {
      ReadGroup(group, info->bp, info->each.empty() ? "" : info->bp + "." + info->each, model);
    } else {
      ReadWithoutRunInfo(group, model);
    }
    for (const Part& part : group) {
      ReportSource source;
      source.file = part.source->path;
      if (part.info) {
        const RunInfo& run = *part.info;
        source.input = run.input;
        source.bp = run.bp + (run.each.empty() ? "" : " (each " + run.each + ")");
        source.shard = run.shardIndex > 0 ? std::to_string(run.shardIndex) + "/" + std::to_string(run.shardCount)
                                          : "merged";
        source.outcome = run.outcome;
        source.started = run.started;
        source.finished = run.finished;
        source.host = run.host;
        if (!run.started.empty() && (model.started.empty() || run.started < model.started))
          model.started = run.started;
        if (run.finished > model.finished) model.finished = run.finished;
      }
      model.sources.push_back(std::move(source));
    }
  }
  for (const ReportProcess& process : model.processes) {
    for (int s = 0; s < kReportStatuses; ++s) model.totals[static_cast<std::size_t>(s)] += process.totals[static_cast<std::size_t>(s)];
    model.rowSeconds += process.seconds;
  }
  model.wallSeconds = SecondsBetween(model.started, model.finished);
  return model;
}

}  // namespace ddtcli
