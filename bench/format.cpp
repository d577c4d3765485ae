// Formatting 1,000,000 numbers, as the grid does for every displayed cell.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "grid/format/entry.h"
#include "grid/format/number_format.h"

namespace {

constexpr int kCount = 1000000;

std::vector<double> Values(double lo, double hi, bool whole) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> dist(lo, hi);
  std::vector<double> v(kCount);
  for (double& x : v) x = whole ? static_cast<double>(static_cast<long long>(dist(rng))) : dist(rng);
  return v;
}

void Run(benchmark::State& state, const std::vector<double>& values, const std::string& code) {
  size_t bytes = 0;
  for (auto _ : state) {
    for (double x : values) {
      std::string s = ddt::grid::format::FormatNumber(x, code);
      bytes += s.size();
      benchmark::DoNotOptimize(s);
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
  benchmark::DoNotOptimize(bytes);
}

void BM_General_Fractional(benchmark::State& state) {
  static const auto values = Values(-1e6, 1e6, false);
  Run(state, values, "General");
}
void BM_General_Whole(benchmark::State& state) {
  static const auto values = Values(0, 1e9, true);
  Run(state, values, "General");
}
void BM_DateTime(benchmark::State& state) {
  static const auto values = Values(30000, 50000, false);
  Run(state, values, "yyyy-mm-dd hh:mm:ss");
}
void BM_Thousands2Decimals(benchmark::State& state) {
  static const auto values = Values(-1e6, 1e6, false);
  Run(state, values, "#,##0.00");
}
void BM_Fraction(benchmark::State& state) {
  static const auto values = Values(0, 100, false);
  Run(state, values, "# ?\?/??");
}
void BM_ParseEntry(benchmark::State& state) {
  static const auto values = Values(-1e6, 1e6, false);
  static std::vector<std::string> typed = [] {
    std::vector<std::string> t;
    for (double x : values) t.push_back(ddt::grid::format::FormatGeneral(x));
    return t;
  }();
  for (auto _ : state)
    for (const std::string& s : typed) benchmark::DoNotOptimize(ddt::grid::format::ParseEntry(s));
  state.SetItemsProcessed(state.iterations() * kCount);
}

BENCHMARK(BM_General_Fractional)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_General_Whole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DateTime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Thousands2Decimals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fraction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseEntry)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
