// Reading every value of W1 (100,000 rows x 20 columns, half texts, half numbers) above the
// engine: one CDT_IF::VisitRange over the sheet against the cell-by-cell reads the layers
// above used before (GetValue per cell). Built once in memory, so that only the reads count.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ddtable/cdt.h"
#include "xlsx/w1.h"

namespace {

CDT& W1Table() {
  static std::unique_ptr<CDT> table = [] {
    auto t = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_QX, "");
    CDT_IF& engine = *t->m_pEngine;
    char text[32];
    for (int r = 1; r <= w1::kRows; ++r)
      for (int c = 1; c <= w1::kCols; ++c) {
        if (w1::IsTextCol(c)) {
          w1::Text(r, c, text, sizeof text);
          engine.SetText(1, r, c, text);
        } else {
          engine.SetNumber(1, r, c, w1::Number(r, c));
        }
      }
    return t;
  }();
  return *table;
}

// Today's path of a bulk read: one engine call, and one cell lookup, per cell.
void BM_W1CellByCell(benchmark::State& state) {
  CDT_IF& engine = *W1Table().m_pEngine;
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (int r = 1; r <= w1::kRows; ++r)
      for (int c = 1; c <= w1::kCols; ++c) bytes += engine.GetValue(1, r, c).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * w1::kRows * w1::kCols);
}
BENCHMARK(BM_W1CellByCell)->Unit(benchmark::kMillisecond);

// The visit: every cell's typed value in one call.
void BM_W1Visit(benchmark::State& state) {
  CDT_IF& engine = *W1Table().m_pEngine;
  for (auto _ : state) {
    double sum = 0;
    std::size_t bytes = 0;
    engine.ForEachCell(1, 1, 1, w1::kRows, w1::kCols, [&](int, int, const CDT_IF::CellView& cell) {
      if (cell.kind == CDT_IF::CellView::Number)
        sum += cell.number;
      else
        bytes += cell.text.size();
    });
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * w1::kRows * w1::kCols);
}
BENCHMARK(BM_W1Visit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
