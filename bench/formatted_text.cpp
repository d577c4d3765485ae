// Workbook::GetFormattedText over 1,000,000 cells of mixed number formats: 100,000 rows of
// ten columns, each column with its own format and values that suit it (numbers, dates,
// times, elapsed times, text and logical values), as a sheet of test data is read for display.
// The counter "ns_per_cell" is the cost of one displayed cell.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "grid/workbook.h"

using namespace ddt::grid;

namespace {

constexpr int kRows = 100000;

struct Column {
  const char* code;
  enum Kind { Number, Serial, Text, Logical } kind;
  double lo, hi;
};

const std::vector<Column>& Columns() {
  static const std::vector<Column> columns = {
      {"General", Column::Number, -1e13, 1e13},
      {"#,##0.00;[Red]-#,##0.00", Column::Number, -1e6, 1e6},
      {"0.00E+00", Column::Number, -1e9, 1e9},
      {"# ?/?", Column::Number, 0, 100},
      {"yyyy-mm-dd", Column::Serial, 30000, 50000},
      {"h:mm AM/PM", Column::Serial, 0, 1},
      {"[h]:mm:ss", Column::Serial, 0, 10},
      {"0%;[<0]\"neg \"0%;\"zero\"", Column::Number, -5, 5},
      {"\"Name: \"@", Column::Text, 0, 0},
      {"0;-0;0;\"is \"@", Column::Logical, 0, 0},
  };
  return columns;
}

Workbook& MixedBook() {
  static std::unique_ptr<Workbook> book = [] {
    auto b = std::make_unique<Workbook>();
    std::mt19937_64 rng(7);
    const auto& columns = Columns();
    for (int c = 1; c <= static_cast<int>(columns.size()); ++c) {
      const Column& col = columns[c - 1];
      b->FormatRanges(0, {Range{kAll, c, kAll, c}},
                      [&](Style& st, const StyleEdges&) { st.numberFormat = col.code; });
      std::uniform_real_distribution<double> dist(col.lo, col.hi);
      for (int r = 1; r <= kRows; ++r) {
        switch (col.kind) {
          case Column::Number:
          case Column::Serial: b->SetCellValue(0, r, c, Value{dist(rng)}); break;
          case Column::Text: b->SetCellValue(0, r, c, Value{SharedText("row " + std::to_string(r))}); break;
          case Column::Logical: b->SetCellValue(0, r, c, Value{(r & 1) != 0}); break;
        }
      }
    }
    return b;
  }();
  return *book;
}

void BM_GetFormattedText_MixedFormats(benchmark::State& state) {
  Workbook& b = MixedBook();
  const int cols = static_cast<int>(Columns().size());
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 1; r <= kRows; ++r)
      for (int c = 1; c <= cols; ++c) bytes += b.GetFormattedText(0, r, c).size();
    benchmark::DoNotOptimize(bytes);
  }
  const double cells = static_cast<double>(kRows) * cols;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cells));
  state.counters["ns_per_cell"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * cells * 1e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GetFormattedText_MixedFormats)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
