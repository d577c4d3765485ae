// Reading parameters by name from a wide data table: every parameter of every row of a
// 10,000 x 255 sheet, the way a data-driven run reads its values.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/book_access.h"
#include "grid/workbook.h"
#include "ddtable/cdt.h"
#include "table/table_limits.h"

namespace {

constexpr int kRows = 10000;
constexpr int kParams = ddt::table::kMaxParamColumns;

struct WideTable {
  std::unique_ptr<CDT> table;
  std::vector<std::string> names;
};

// Built once: 255 parameters through AddParam, the cells straight into the grid.
WideTable& Wide() {
  static WideTable wide = [] {
    WideTable w;
    w.table = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_QX, "");
    w.table->NewSheet("Data");
    for (int c = 1; c <= kParams; ++c) {
      std::string name = "Parameter_" + std::to_string(c);
      w.table->AddParam("Data", name, "", CDT::DT_STYLE_NONE, "", 0);
      w.names.push_back(name);
    }
    ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(w.table->m_pEngine);
    for (int r = 1; r <= kRows; ++r)
      for (int c = 1; c <= kParams; ++c)
        book->SetCellValue(1, r, c, ddt::grid::Value(std::string("v") + std::to_string(r * c)));
    return w;
  }();
  return wide;
}

// Column lookup alone, spread over all 255 names.
void BM_GetColIndex(benchmark::State& state) {
  WideTable& w = Wide();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.table->GetColIndex(w.names[i], 1));
    i = (i + 1) % w.names.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetColIndex);

// Every parameter of every row, by name: 2,550,000 reads per iteration.
void BM_ReadWholeSheetByName(benchmark::State& state) {
  WideTable& w = Wide();
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 1; r <= kRows; ++r)
      for (const std::string& name : w.names) bytes += w.table->GetParamValue(r, name, 1L).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRows * kParams);
}
BENCHMARK(BM_ReadWholeSheetByName)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same reads by sheet name, as the script functions call them.
void BM_ReadWholeSheetBySheetName(benchmark::State& state) {
  WideTable& w = Wide();
  const std::string sheet = "Data";
  for (auto _ : state) {
    size_t bytes = 0;
    for (int r = 1; r <= kRows; ++r)
      for (const std::string& name : w.names)
        bytes += w.table->GetParamValue(r, name, sheet).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRows * kParams);
}
BENCHMARK(BM_ReadWholeSheetBySheetName)->Unit(benchmark::kMillisecond)->Iterations(1);

// Lookup by name on a sheet of 20, 100 or 255 parameters (all names in turn), through the
// table (index) and as the sheet found by name plus a walk of its header list, the way
// lookups were answered before.
struct NamedSheet {
  std::unique_ptr<CDT> table;
  std::vector<std::string> names;
};
NamedSheet MakeNamedSheet(int params) {
  NamedSheet n;
  n.table = std::make_unique<CDT>(nullptr, CDT::DT_TYPE_QX, "");
  n.table->NewSheet("Data");
  for (int c = 1; c <= params; ++c) {
    std::string name = "Parameter_" + std::to_string(c);
    n.table->AddParam("Data", name, "", CDT::DT_STYLE_NONE, "", 0);
    n.names.push_back(name);
  }
  return n;
}

void BM_LookupByName(benchmark::State& state) {
  NamedSheet n = MakeNamedSheet(static_cast<int>(state.range(0)));
  const long sheet = n.table->GetSheetIndex("Data");
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(n.table->GetColIndex(n.names[i], sheet));
    i = (i + 1) % n.names.size();
  }
}
BENCHMARK(BM_LookupByName)->Arg(20)->Arg(100)->Arg(255);

void BM_LookupByScan(benchmark::State& state) {
  NamedSheet n = MakeNamedSheet(static_cast<int>(state.range(0)));
  const long sheet = n.table->GetSheetIndex("Data");
  size_t i = 0;
  for (auto _ : state) {
    // The sheet found by name, then its list walked.
    const CStringList* header = n.table->GetHeaderList(n.table->GetSheetName(sheet));
    long col = -1;
    for (size_t c = 0; c < header->size() && col < 0; ++c)
      if ((*header)[c] == n.names[i]) col = static_cast<long>(c) + 1;
    benchmark::DoNotOptimize(col);
    i = (i + 1) % n.names.size();
  }
}
BENCHMARK(BM_LookupByScan)->Arg(20)->Arg(100)->Arg(255);

}  // namespace

BENCHMARK_MAIN();
