// Script-function throughput: tables written into sheets and compared cell by cell, and the
// parameter reads of a run.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "ddtable/prm.h"
#include "ddtable/cddt_results.h"

namespace {

constexpr int kColumns = 8;

std::vector<std::vector<std::string>> MakeTable(int rows) {
  std::vector<std::vector<std::string>> table(static_cast<std::size_t>(rows) + 1);
  for (int c = 0; c < kColumns; ++c) table[0].push_back("Col" + std::to_string(c + 1));
  for (int r = 1; r <= rows; ++r)
    for (int c = 0; c < kColumns; ++c)
      table[r].push_back("v" + std::to_string(r) + "_" + std::to_string(c));
  return table;
}

// table2sheet of rows x 8 cells into a new sheet.
void BM_Table2Sheet(benchmark::State& state) {
  const auto table = MakeTable(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    CDDTInput* book = open_workbook("");
    state.ResumeTiming();
    benchmark::DoNotOptimize(table2sheet(table, book, "Data"));
    state.PauseTiming();
    close_input_workbook(book);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * kColumns);
}
BENCHMARK(BM_Table2Sheet)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// compare_table_sheets of rows x 8 cells, every cell matching.
void BM_CompareTableSheets(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto table = MakeTable(rows);
  prm_init_data_manager();
  EXTERNAL_DATA* external = prm_open_external_workbook("exp", "", "");
  table2sheet(table, external->pWorkbook, "Data");
  CDDTResults* results = open_results("", 1, nullptr, nullptr);
  table2sheet(table, results, "Data");
  char buffer[256];
  const std::string last = std::to_string(rows);
  for (auto _ : state) {
    const int outcome = compare_table_sheets(results, "Data", "exp@@Data", "", "", "1",
                                             last.c_str(), 0, buffer, sizeof buffer);
    if (outcome != 1) {  // 1: every cell compared, every one matched
      state.SkipWithError("the tables did not compare equal");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * rows * kColumns);
  close_results(results);
  prm_release_data_manager();
}
BENCHMARK(BM_CompareTableSheets)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// get_param_value of every parameter in the current row (8 per call of the loop body).
void BM_GetParamValue(benchmark::State& state) {
  CDDTInput* input = open_workbook("");
  table2sheet(MakeTable(10), input, "BP");
  CDDTResults* results = open_results("", 1, nullptr, nullptr);
  prepare_results(results, input);
  capture_runrows(input);
  set_bp(input, results, "BP");
  next_runrow(input, results, 0, 0, 0);
  char buffer[64];
  std::vector<std::string> names;
  for (int c = 0; c < kColumns; ++c) names.push_back("Col" + std::to_string(c + 1));
  for (auto _ : state)
    for (const std::string& name : names) {
      int size = sizeof buffer;
      benchmark::DoNotOptimize(get_param_value(results, name.c_str(), buffer, &size, ""));
    }
  state.SetItemsProcessed(state.iterations() * kColumns);
  close_results(results);
  close_input_workbook(input);
}
BENCHMARK(BM_GetParamValue);

}  // namespace

BENCHMARK_MAIN();
