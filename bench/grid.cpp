// The grid on a sheet of 100,000 rows x 20 columns of short texts and numbers: filling,
// reading, structural changes at the top, and whole-column formatting and clearing.
// Memory per cell is measured with mallinfo2 around the fill.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>

#include "grid/sheet.h"
#include "grid/workbook.h"

using namespace ddt::grid;

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 20;

std::string EntryFor(int row, int col) {
  return (col % 2) ? "t" + std::to_string(row % 1000) + "_" + std::to_string(col)
                   : std::to_string(row * 7 + col);
}

void Fill(Workbook& b) {
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kCols; ++c) b.SetEntry(0, r, c, EntryFor(r, c));
}

Workbook& Filled() {
  static std::unique_ptr<Workbook> book = [] {
    auto b = std::make_unique<Workbook>();
    Fill(*b);
    return b;
  }();
  return *book;
}

void BM_Fill(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    size_t before = mallinfo2().uordblks;
    auto b = std::make_unique<Workbook>();
    Fill(*b);
    bytes = mallinfo2().uordblks - before;
    benchmark::DoNotOptimize(b->LastUsedRow());
  }
  state.counters["cells"] = kRows * kCols;
  state.counters["bytes_per_cell"] = static_cast<double>(bytes) / (kRows * kCols);
  state.counters["sizeof_Cell"] = sizeof(Cell);
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadAll(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    size_t n = 0;
    for (int r = 1; r <= kRows; ++r)
      for (int c = 1; c <= kCols; ++c) n += b.GetEntry(0, r, c).size();
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond);

void BM_DeleteRow1(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.DeleteRange(Range{1, kAll, 1, kAll}, Shift::Rows);
    state.PauseTiming();
    b.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteRow1)->Unit(benchmark::kMicrosecond);

void BM_InsertRow1(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.InsertRange(Range{1, kAll, 1, kAll}, Shift::Rows);
    state.PauseTiming();
    b.DeleteRange(Range{1, kAll, 1, kAll}, Shift::Rows);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InsertRow1)->Unit(benchmark::kMicrosecond);

void BM_InsertCol1(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.InsertRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
    state.PauseTiming();
    b.DeleteRange(Range{kAll, 1, kAll, 1}, Shift::Columns);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InsertCol1)->Unit(benchmark::kMicrosecond);

void BM_InsertCellsDownInColumn1(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.InsertRange(Range{1, 1, 1, 1}, Shift::CellsVertical);
    state.PauseTiming();
    b.DeleteRange(Range{1, 1, 1, 1}, Shift::CellsVertical);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InsertCellsDownInColumn1)->Unit(benchmark::kMicrosecond);

void BM_StyleWholeColumn(benchmark::State& state) {
  Workbook& b = Filled();
  uint32_t color = 0;
  for (auto _ : state) {
    const uint32_t font = ++color & 0xFF;
    b.FormatRanges(0, {Range{kAll, 3, kAll, 3}}, [&](Style& st, const StyleEdges&) { st.fontColor = font; });
  }
}
BENCHMARK(BM_StyleWholeColumn)->Unit(benchmark::kMicrosecond);

void BM_StyleOneCell(benchmark::State& state) {
  Workbook& b = Filled();
  uint32_t color = 0;
  for (auto _ : state) {
    const uint32_t font = ++color & 0xFF;
    b.FormatRanges(0, {Range{5, 3, 5, 3}}, [&](Style& st, const StyleEdges&) { st.fontColor = font; });
  }
}
BENCHMARK(BM_StyleOneCell)->Unit(benchmark::kMicrosecond);

void BM_ClearWholeColumn(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.ClearRange(Range{kAll, 4, kAll, 4}, Clear::All);
    state.PauseTiming();
    for (int r = 1; r <= kRows; ++r) b.SetEntry(0, r, 4, EntryFor(r, 4));
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ClearWholeColumn)->Unit(benchmark::kMillisecond)->Iterations(10);

// A write keeps the remembered extent up to date.
void BM_LastUsedColAfterWrite(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.SetEntry(0, 1, 1, "changed");
    benchmark::DoNotOptimize(b.LastUsedCol());
  }
}
BENCHMARK(BM_LastUsedColAfterWrite)->Unit(benchmark::kMicrosecond);

// Clearing a cell of the last used column makes the extent be found again: one pass.
void BM_LastUsedColAfterClear(benchmark::State& state) {
  Workbook& b = Filled();
  for (auto _ : state) {
    b.SetEntry(0, 1, kCols, "");
    benchmark::DoNotOptimize(b.LastUsedCol());
    state.PauseTiming();
    b.SetEntry(0, 1, kCols, "x");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LastUsedColAfterClear)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
