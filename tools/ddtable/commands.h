// The subcommands of the ddtable command. Each returns the exit code (see cli_common.h) or
// throws CliError.
#pragma once

#include <string>
#include <vector>

namespace ddtcli {

enum class Format { Table, Csv, Json };

struct ShowOptions {
  std::string file, sheet;
  Format format = Format::Table;
};
int Show(const ShowOptions& options);

struct CheckOptions {
  std::string file;
  Format format = Format::Table;
};
int Check(const CheckOptions& options);

struct ConvertOptions {
  std::string in, out, sheet;
};
int Convert(const ConvertOptions& options);

struct CompareOptions {
  std::string results, reference;
  std::string sheet, referenceSheet;
  std::string firstColumn, lastColumn;
  std::string firstIteration, lastIteration;
  int base = 0;
  std::string save;  // the results workbook with the comparison's marks
};
int Compare(const CompareOptions& options);

struct RunOptions {
  std::string input, bp, results;
  std::string output, outputFile, expect;
  std::string each;
  std::vector<std::string> env;  // NAME=VALUE, references substituted per row
  int jobs = 1;
  std::string shard;             // "I/N"
  double timeout = 0;
  double maxRunTime = 0;         // the whole run's limit in seconds; 0: none
  bool restart = false;          // ignore the journal of a killed earlier run
  std::string id;                // parameter that names each row
  std::string rows;              // "3,5-9": iterations chosen
  std::vector<std::string> where;  // NAME=PATTERN / NAME!=PATTERN, all must hold
  std::string idIn;              // ids chosen: a file of lines or a comma list
  std::string rerunFailed;       // earlier results: run the rows that did not pass
  std::string split;             // "durations:EARLIER.xlsx": balance shards by earlier times
  std::string report, history;   // the run's HTML report, and its history folder
  std::size_t maxOutput = 1 << 20;
  std::string junit;
  std::vector<std::string> command;
};
int Run(const RunOptions& options);

struct MergeOptions {
  std::string out;
  std::vector<std::string> parts;
  std::string junit;
  bool allowPartial = false;     // merge what is there; rows of missing parts are "not run"
  std::string report, history;   // the merged run's HTML report, and its history folder
};
int Merge(const MergeOptions& options);

struct ReportOptions {
  std::vector<std::string> results;  // results workbooks of one or more runs, or a run's shards
  std::string out;                   // the HTML page
  std::string history;               // folder of run summaries for the trend; "" for none
  std::string title;                 // "" for one made of the business processes' names
};
int Report(const ReportOptions& options);

}  // namespace ddtcli
