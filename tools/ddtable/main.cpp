// ddtable: inspect, check, convert, compare and run data tables from a shell.
//
// Exit codes: 0 done (every check passed), 1 a check, lint or run row failed, 2 bad usage or
// a file that cannot be read or written. Messages go to standard error and name the file
// and the reason; results the user asked for go to standard output (or the named files).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "cli_common.h"
#include "commands.h"

namespace {

using namespace ddtcli;

const std::map<std::string, Format> kFormats = {
    {"table", Format::Table}, {"csv", Format::Csv}, {"json", Format::Json}};

constexpr const char kExitCodes[] =
    "Exit codes: 0 done, every check passed; 1 a check, lint or run row failed (or was not run); "
    "2 bad usage, a file that cannot be read or written, or a command that cannot be started; "
    "128+N the run was stopped by signal N (130 SIGINT, 143 SIGTERM) after saving the rows that ended.";

constexpr const char kRunFooter[] = R"(References: <Name> is a parameter of the business process, or inside --each CHILD of the
child table first, then of the business process; <Table::Name> a parameter of the child table
BP.Table; <Custom::Name> of the "Custom" sheet. A "<" followed by a ">" always starts a
reference: a reference that names no parameter makes the row an error (nothing escapes a "<";
put shell redirections in a script). Expected values (the NAME_exp column or --expect) have
their references substituted too, and their values are matched literally.

The command gets the environment of ddtable plus DDTABLE_ITERATION (the iteration, from 1),
DDTABLE_ROW (the row of the sheet it runs, from 1), DDTABLE_NAME (the row's name, Login[alice]
with --id UserName) and every --env NAME=VALUE. Its standard
input is /dev/null; it runs in a process group of its own.

An output file (--output-file) left by an earlier run is removed before the row runs; a command
that writes none is an error. Rows go into RESULTS.run-journal as they end: a run that is
killed is taken up by the next run of the same command (--restart runs every row again).

CI: run one shard per machine, then merge (which refuses a missing or doubled part):
  ddtable run data.xlsx --bp Login --id UserName --shard auto --junit j.xml -- ./check '<UserName>'
  ddtable merge results.xlsx data_results.part*of*.xlsx --junit junit.xml

)";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ddtable: inspect, check, convert, compare and run data tables (spreadsheet "
               "workbooks of test data).",
               "ddtable"};
  app.footer(kExitCodes);
  app.require_subcommand(1);
  app.fallthrough();  // --quiet may also follow the subcommand
  app.add_flag("-q,--quiet", Global().quiet, "No progress bar, summaries or warnings on standard error")
      ->configurable(false);
  app.set_version_flag("--version", "ddtable 0.1.0");

  ShowOptions show;
  CLI::App* showCmd = app.add_subcommand(
      "show", "Sheets with their roles, parameters, rows and child-table blocks; with SHEET, its rows");
  showCmd->add_option("file", show.file, "Workbook (.xlsx, .xlsm, .xls, .csv)")->required();
  showCmd->add_option("sheet", show.sheet, "Sheet whose rows to show");
  showCmd->add_option("--format", show.format, "table, csv or json")
      ->transform(CLI::CheckedTransformer(kFormats, CLI::ignore_case));

  CheckOptions check;
  CLI::App* checkCmd = app.add_subcommand(
      "check",
      "Lint a data workbook: illegal or duplicate parameter names, child tables without a "
      "business process, unclosed or misnumbered .End blocks, references and expected values "
      "that name nothing, formulas that do not compute, cells over the limits. Exit 1 when "
      "anything is found");
  checkCmd->add_option("file", check.file, "Workbook")->required();
  checkCmd->add_option("--format", check.format, "table, csv or json")
      ->transform(CLI::CheckedTransformer(kFormats, CLI::ignore_case));

  ConvertOptions convert;
  CLI::App* convertCmd = app.add_subcommand(
      "convert", "Convert .xls, .csv or .xlsx to .xlsx, or one sheet to .csv (by OUT's extension)");
  convertCmd->add_option("in", convert.in, "Workbook to read")->required();
  convertCmd->add_option("out", convert.out, "File to write (.xlsx or .csv)")->required();
  convertCmd->add_option("--sheet", convert.sheet, "Sheet written to a .csv (default: the first)");

  CompareOptions compare;
  CLI::App* compareCmd = app.add_subcommand(
      "compare",
      "Compare a sheet of a results workbook cell by cell with the first block of a sheet of a "
      "reference workbook (displayed values). Exit 1 when a cell differs, a reference column "
      "is missing or nothing was compared");
  compareCmd->add_option("results", compare.results, "Results workbook")->required();
  compareCmd->add_option("reference", compare.reference, "Reference workbook")->required();
  compareCmd->add_option("--sheet", compare.sheet, "Sheet of the results workbook")->required();
  compareCmd->add_option("--reference-sheet", compare.referenceSheet, "Sheet of the reference (default: --sheet)");
  compareCmd->add_option("--first-column", compare.firstColumn, "First parameter compared (default: the first)");
  compareCmd->add_option("--last-column", compare.lastColumn, "Last parameter compared (default: the last)");
  compareCmd->add_option("--first-row", compare.firstIteration, "First row compared (default 1)");
  compareCmd->add_option("--last-row", compare.lastIteration, "Last row compared (default: the block's last)");
  compareCmd->add_option("--base", compare.base, "Reference row i is compared with results row BASE + i (default 0)");
  compareCmd->add_option("--save", compare.save, "Write the results workbook with the comparison's marks here");

  RunOptions run;
  CLI::App* runCmd = app.add_subcommand(
      "run",
      "Data-driven run of any program: for each run row of the business process, substitute "
      "the <parameter> references in COMMAND's arguments (and --env, --output-file), run it, "
      "check its output and write the results workbook. Exit 1 when a row failed");
  runCmd->add_option("input", run.input, "Input workbook")->required();
  runCmd->add_option("command", run.command, "Command and its arguments, after --")->required();
  runCmd->add_option("--bp", run.bp, "Business process (sheet) to run")->required();
  runCmd->add_option("--results", run.results,
                     "Results workbook (default: INPUT's name + _results.xlsx beside it)");
  runCmd->add_option("--output", run.output,
                     "Output parameter that receives the command's standard output; it is checked "
                     "against its expected column (NAME_exp, or X_exp for X_out) or --expect");
  runCmd->add_option("--output-file", run.outputFile,
                     "Take the output parameter from this file (references substituted) instead of standard output");
  runCmd->add_option("--expect", run.expect,
                     "Expected value of the output: a <parameter> reference or a pattern (*, ?, [...])");
  runCmd->add_option("--each", run.each,
                     "Run the command once per row of this child table's block in each iteration");
  // One value per --env, so that "--env A=1 -- cmd -c" keeps "--" as the command's start.
  runCmd->add_option("--env", run.env, "NAME=VALUE for the command's environment (references substituted)")
      ->allow_extra_args(false);
  runCmd->add_option("-j,--jobs", run.jobs, "Rows run at the same time (separate processes)")
      ->check(CLI::PositiveNumber);
  runCmd->add_option("--shard", run.shard,
                     "I/N: run only the chosen iterations I, I+N, I+2N, ... (merge the parts with 'ddtable merge'); "
                     "auto: I and N from the CI system (GitLab, CircleCI, Buildkite, Azure, Bitbucket, a Kubernetes "
                     "Indexed Job with DDTABLE_SHARD_TOTAL); exit 2 when none says");
  runCmd->add_option("--split", run.split,
                     "durations:EARLIER.xlsx: shards balanced by the durations of an earlier run (rows without one "
                     "count as the mean); every shard computes the same split");
  runCmd->add_option("--id", run.id,
                     "Parameter of the business process that names each row (Login[alice]) in the results, the "
                     "JUnit report and --id-in; without it rows are named by iteration (Login[3])");
  runCmd->add_option("--rows", run.rows, "Iterations to run, such as 3,5-9 (from 1)");
  runCmd->add_option("--where", run.where,
                     "NAME=PATTERN or NAME!=PATTERN on a parameter of the business process (* ? [...]; a cell "
                     "such as 'smoke, nightly' matches either word); several --where must all hold")
      ->allow_extra_args(false);
  runCmd->add_option("--id-in", run.idIn, "Ids to run: a file with one per line, or a comma-separated list");
  runCmd->add_option("--rerun-failed", run.rerunFailed,
                     "Earlier results workbook: run the rows that did not pass there; rows that passed keep their "
                     "outcome, and RunAttempts counts the runs");
  runCmd->add_option("--timeout", run.timeout, "Seconds a command may run before it is killed (0: no limit)")
      ->check(CLI::NonNegativeNumber);
  runCmd->add_option("--max-output", run.maxOutput, "Bytes of standard output and error kept per row and stream")
      ->check(CLI::PositiveNumber);
  runCmd->add_option("--junit", run.junit, "Write a JUnit XML report here (one test case per row run)");
  runCmd->add_option("--max-run-time", run.maxRunTime,
                     "Seconds the whole run may take; then the running commands are stopped, the rows "
                     "that ended are saved and the others are \"not run\" (0: no limit)")
      ->check(CLI::NonNegativeNumber);
  runCmd->add_option("--report", run.report, "Write the run's HTML report here (see 'ddtable report')");
  runCmd->add_option("--history", run.history, "History folder of the report (see 'ddtable report --history')");
  runCmd->add_flag("--restart", run.restart,
                   "Run every row, even those a killed earlier run recorded in its journal");

  MergeOptions merge;
  CLI::App* mergeCmd = app.add_subcommand(
      "merge", "Combine the results workbooks of 'ddtable run --shard I/N' into one. Exit 1 when a row failed");
  mergeCmd->add_option("out", merge.out, "Merged results workbook")->required();
  mergeCmd->add_option("parts", merge.parts, "Results workbooks of the shards")->required();
  mergeCmd->add_option("--junit", merge.junit, "Write a JUnit XML report of the merged run here");
  mergeCmd->add_option("--report", merge.report, "Write the merged run's HTML report here (see 'ddtable report')");
  mergeCmd->add_option("--history", merge.history, "History folder of the report (see 'ddtable report --history')");
  mergeCmd->add_flag("--allow-partial", merge.allowPartial,
                     "Merge the parts that are there when some are missing: their rows are \"not run\" and "
                     "the exit code is 1 (without it, a missing, doubled or foreign part is refused with exit 2)");

  ReportOptions report;
  CLI::App* reportCmd = app.add_subcommand(
      "report",
      "One self-contained HTML page of a run's results workbooks (several: the shards of a run or runs of "
      "several business processes). Exit 1 when a row did not pass");
  reportCmd->add_option("results", report.results, "Results workbooks of 'ddtable run' or 'ddtable merge'")->required();
  reportCmd->add_option("-o,--output", report.out, "The HTML page to write")->required();
  reportCmd->add_option("--history", report.history,
                        "Folder that keeps a small summary of every run reported: the page draws the last 20 and "
                        "marks the rows that changed outcome since the run before");
  reportCmd->add_option("--title", report.title, "Title of the page (default: the business processes' names)");

  for (CLI::App* sub : app.get_subcommands({})) sub->footer(kExitCodes);
  runCmd->footer(std::string(kRunFooter) + kExitCodes);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  InstallMessageHandler();
  try {
    if (*showCmd) return Show(show);
    if (*checkCmd) return Check(check);
    if (*convertCmd) return Convert(convert);
    if (*compareCmd) return Compare(compare);
    if (*runCmd) return Run(run);
    if (*mergeCmd) return Merge(merge);
    if (*reportCmd) return Report(report);
  } catch (const CliError& e) {
    std::fprintf(stderr, "ddtable: %s\n", e.what());
    return e.code();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ddtable: %s\n", e.what());
    return kExitUsage;
  }
  return kExitUsage;
}
