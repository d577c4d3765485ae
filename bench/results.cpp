// Cost of one iteration of a data-driven run on the results workbook: copy the next run row,
// read every parameter, substitute a text with three references, verify one output. The
// run goes over 10,000 rows of a sheet of 20, 100 or 255 parameters (headless binding).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ddtable/cddt_input.h"
#include "ddtable/window.h"
#include "ddtable/cddt_results.h"

namespace {

constexpr int kRows = 10000;

class BenchInput : public CDDTInput {
 public:
  using CDDTInput::CDDTInput;
  using CDDTInput::SetGlobalUsage;
  void RunAllRows(const std::string& sheet, int rows = kRows) {
    m_RunRows.ClearWBRowsRangeList();
    m_RunRows.AddSheetEntry(sheet);
    m_RunRows.AddRowsRangeEntry(sheet, CRowsRange{1, rows});
  }
};

std::string Param(int i) { return "param" + std::to_string(i); }

// An input with the global sheet and sheet "BP" of `params` parameters and kRows rows.
std::unique_ptr<BenchInput> MakeInput(ddt::platform::Window& host, int params) {
  auto input = std::make_unique<BenchInput>(&host, CDT::DT_TYPE_QX);
  input->SetGlobalUsage(1);
  input->NewSheet("BP");
  for (int c = 1; c <= params; ++c) {
    std::string name = Param(c);
    input->AddParam("BP", name, "", CDT::DT_STYLE_NONE, "", 0);
  }
  const int sheet = static_cast<int>(input->GetSheetIndex("BP"));
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= params; ++c) {
      std::string value = "v";
      value += std::to_string(r * 1000 + c);
      input->m_pEngine->SetValue(sheet, r, c, value.c_str());
    }
  input->RunAllRows("BP");
  return input;
}

void BM_RunIteration(benchmark::State& state) {
  const int params = static_cast<int>(state.range(0));
  ddt::platform::Window host;
  host.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0);
  auto input = MakeInput(host, params);
  auto results = std::make_unique<CDDTResults>(&host, CDT::DT_TYPE_QX, "1", "None", "Local");
  results->PrepareResults(input.get());
  results->SetScope(input.get(), "BP");
  const std::string text = "a <" + Param(1) + "> b <" + Param(2) + "> c <" + Param(3) + ">";
  const std::string output = "<" + Param(params) + ">";
  std::string out;
  for (auto _ : state) {
    if (results->CopyNextRunRow(input.get(), 0x100, 1, 1) != 0) state.SkipWithError("copy");
    for (int c = 1; c <= params; ++c) benchmark::DoNotOptimize(results->GetValue(Param(c), ""));
    results->SubstituteParameters(text, out, nullptr, nullptr);
    benchmark::DoNotOptimize(out);
    benchmark::DoNotOptimize(results->SetAndVerifyOutput(output.c_str(), "v1", "v*", true));
  }
  state.counters["params"] = params;
}
BENCHMARK(BM_RunIteration)->Arg(20)->Arg(100)->Arg(255)->Iterations(kRows)
    ->Unit(benchmark::kMicrosecond);

// The copy alone, for comparison.
void BM_CopyNextRunRow(benchmark::State& state) {
  const int params = static_cast<int>(state.range(0));
  ddt::platform::Window host;
  host.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0);
  auto input = MakeInput(host, params);
  auto results = std::make_unique<CDDTResults>(&host, CDT::DT_TYPE_QX, "1", "None", "Local");
  results->PrepareResults(input.get());
  results->SetScope(input.get(), "BP");
  for (auto _ : state) benchmark::DoNotOptimize(results->CopyNextRunRow(input.get(), 0x100, 1, 1));
}
BENCHMARK(BM_CopyNextRunRow)->Arg(20)->Arg(100)->Arg(255)->Iterations(kRows)
    ->Unit(benchmark::kMicrosecond);

// A run over `rows` rows of 20 parameters that keeps the results file current after every
// row: range(1) 0 rewrites the whole file after each row (as the setting did before the
// journal), 1 runs with the setting on (a journal record per row). One output verified per
// row. The time covers the run and the final save.
void BM_DurableRun(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const bool journal = state.range(1) != 0;
  const auto dir = std::filesystem::temp_directory_path() / "ddt_bench_durable_run";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const char* oldConfig = std::getenv("DDTABLE_CONFIG_DIR");
  const std::string saved = oldConfig ? oldConfig : "";
  ::setenv("DDTABLE_CONFIG_DIR", dir.c_str(), 1);
  std::ofstream(dir / "qxctl.ini") << "[TessaroSAP]\nSaveResultsSpreadSheetFile="
                                    << (journal ? 1 : 0) << "\n";
  ddt::platform::Window host;
  host.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0);
  auto input = MakeInput(host, 20);
  input->RunAllRows("BP", rows);
  const std::string file = (dir / "results.xlsx").string();
  const std::string output = "<" + Param(20) + ">";
  for (auto _ : state) {
    auto results = std::make_unique<CDDTResults>(&host, CDT::DT_TYPE_QX, "1", "None", "Local");
    results->PrepareResults(input.get());
    results->SetScope(input.get(), "BP");
    results->Save(file, 1);
    for (int r = 0; r < rows; ++r) {
      if (results->CopyNextRunRow(input.get(), 0, 1, 1) != 0) state.SkipWithError("copy");
      results->SetAndVerifyOutput(output.c_str(), "v1", "v*", true);
      if (!journal) results->Save("", 1);
    }
    results->Save("", 1);
  }
  state.counters["rows"] = rows;
  if (oldConfig) ::setenv("DDTABLE_CONFIG_DIR", saved.c_str(), 1);
  else ::unsetenv("DDTABLE_CONFIG_DIR");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DurableRun)
    ->Args({500, 0})->Args({1000, 0})->Args({1000, 1})->Args({2000, 1})->Args({10000, 1})
    ->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
