// Formula engine throughput: parsing and printing, and recalculation of large workbooks.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "grid/workbook.h"

namespace {

using namespace ddt::grid;
using namespace ddt::grid::formula;

// A mix of formulas as test data holds them.
std::vector<std::string> SampleFormulas() {
  return {"A1+B1*2",
          "SUM(A1:A100)",
          "IF(B2>0,\"yes\",\"no\")",
          "VLOOKUP($A2,Data!$A$1:$D$500,3,FALSE)",
          "ROUND(C3*1.19,2)&\" EUR\"",
          "IFERROR(INDEX(Sheet1!B:B,MATCH(\"key\",Sheet1!A:A,0)),\"\")",
          "AND(A1>=1,A1<=10,NOT(ISBLANK(B1)))",
          "'My Sheet'!$C$7-(2^3)%"};
}

void PrepareSheets(Workbook& book) {
  book.SetSheetCount(3);
  book.SetSheetName(2, "Data");
  book.SetSheetName(3, "My Sheet");
}

// Parses and prints 1,000,000 formulas per iteration.
void BM_ParseAndPrint(benchmark::State& state) {
  Workbook book;
  PrepareSheets(book);
  BookSheetNames names(book);
  std::vector<std::string> samples = SampleFormulas();
  constexpr int kFormulas = 1000000;
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFormulas; ++i) {
      FormulaPtr f = ParseFormula(samples[i % samples.size()], names);
      std::string text = PrintFormula(*f, names);
      bytes += text.size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kFormulas);
}
BENCHMARK(BM_ParseAndPrint)->Unit(benchmark::kMillisecond);

// A chain of 100,000 formulas, each reading the one above: full recalculation.
void BM_RecalcChain(benchmark::State& state) {
  constexpr int kCells = 100000;
  Workbook book;
  book.SetEntry(1, 1, 1, "1");
  for (int r = 2; r <= kCells; ++r)
    book.SetCellFormula(1, r, 1, ParseFormula("A" + std::to_string(r - 1) + "+1", book),
                        std::nullopt);
  for (auto _ : state) {
    book.Recalc();
    benchmark::DoNotOptimize(book.GetCellValue(1, kCells, 1));
  }
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_RecalcChain)->Unit(benchmark::kMillisecond);

// 100,000 SUMs over ten-row ranges of 10,000 numbers: full recalculation.
void BM_RecalcSums(benchmark::State& state) {
  constexpr int kCells = 100000, kNumbers = 10000, kSpan = 10;
  Workbook book;
  for (int r = 1; r <= kNumbers; ++r) book.SetCellValue(1, r, 1, Value{double(r)});
  for (int i = 0; i < kCells; ++i) {
    int top = i % (kNumbers - kSpan) + 1;
    std::string text = "SUM(A" + std::to_string(top) + ":A" + std::to_string(top + kSpan - 1) + ")";
    book.SetCellFormula(1, i / 10 + 1, 2 + i % 10, ParseFormula(text, book), std::nullopt);
  }
  for (auto _ : state) {
    book.Recalc();
    benchmark::DoNotOptimize(book.GetCellValue(1, 1, 2));
  }
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_RecalcSums)->Unit(benchmark::kMillisecond);

// One input of 100,000 dependent SUMs changes: marking and recomputing what depends on it.
void BM_ChangeOneInput(benchmark::State& state) {
  constexpr int kCells = 100000;
  Workbook book;
  for (int r = 1; r <= 1000; ++r) book.SetCellValue(1, r, 1, Value{double(r)});
  for (int i = 0; i < kCells; ++i)
    book.SetCellFormula(1, i / 10 + 1, 2 + i % 10, ParseFormula("SUM($A$1:$A$10)+1", book),
                        std::nullopt);
  book.RecalcIfNeeded();
  double v = 0;
  for (auto _ : state) {
    book.SetCellValue(1, 5, 1, Value{v++});
    book.RecalcIfNeeded();
  }
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_ChangeOneInput)->Unit(benchmark::kMillisecond);

// Typing a chain of 100,000 formulas cell by cell, then reading the last one.
void BM_EnterChainAndRead(benchmark::State& state) {
  constexpr int kCells = 100000;
  for (auto _ : state) {
    Workbook book;
    book.SetEntry(1, 1, 1, "1");
    for (int r = 2; r <= kCells; ++r) book.SetEntry(1, r, 1, "=A" + std::to_string(r - 1) + "+1");
    benchmark::DoNotOptimize(book.GetCellValue(1, kCells, 1));
  }
  state.SetItemsProcessed(state.iterations() * kCells);
}
BENCHMARK(BM_EnterChainAndRead)->Unit(benchmark::kMillisecond);

// The workloads bench/hyperformula.mjs runs on HyperFormula (bench/compare-hyperformula
// prints the ratios). Entries go in as a user types them.
constexpr int kPeerCells = 100000, kPeerNumbers = 10000, kPeerSpan = 10;

void EnterChain(Workbook& book) {
  book.SetEntry(1, 1, 1, "1");
  for (int r = 2; r <= kPeerCells; ++r) book.SetEntry(1, r, 1, "=A" + std::to_string(r - 1) + "+1");
}

void EnterSums(Workbook& book) {
  for (int r = 1; r <= kPeerNumbers; ++r) book.SetEntry(1, r, 1, std::to_string(r));
  for (int i = 0; i < kPeerCells; ++i) {
    const int top = i % (kPeerNumbers - kPeerSpan) + 1;
    book.SetEntry(1, i / 10 + 1, 2 + i % 10,
                  "=SUM(A" + std::to_string(top) + ":A" + std::to_string(top + kPeerSpan - 1) + ")");
  }
}

// Loading the chain: parse every formula, compute every cell.
void BM_PeerChainBuild(benchmark::State& state) {
  for (auto _ : state) {
    Workbook book;
    EnterChain(book);
    book.RecalcIfNeeded();
    if (book.GetCellValue(1, kPeerCells, 1) != Value{double(kPeerCells)}) state.SkipWithError("chain");
  }
}
BENCHMARK(BM_PeerChainBuild)->Unit(benchmark::kMillisecond);

void BM_PeerSumsBuild(benchmark::State& state) {
  for (auto _ : state) {
    Workbook book;
    EnterSums(book);
    book.RecalcIfNeeded();
    if (book.GetCellValue(1, 1, 2) != Value{55.0}) state.SkipWithError("sums");
  }
}
BENCHMARK(BM_PeerSumsBuild)->Unit(benchmark::kMillisecond);

// The chain's first cell changes; all 100,000 formulas follow.
void BM_PeerChainRecalc(benchmark::State& state) {
  Workbook book;
  EnterChain(book);
  book.RecalcIfNeeded();
  double first = 1;
  for (auto _ : state) {
    book.SetCellValue(1, 1, 1, Value{++first});
    book.RecalcIfNeeded();
    if (book.GetCellValue(1, kPeerCells, 1) != Value{first + kPeerCells - 1})
      state.SkipWithError("chain recalc");
  }
}
BENCHMARK(BM_PeerChainRecalc)->Unit(benchmark::kMillisecond);

// Every number the SUMs read changes at once; all 100,000 SUMs follow.
void BM_PeerSumsRecalc(benchmark::State& state) {
  Workbook book;
  EnterSums(book);
  book.RecalcIfNeeded();
  double shift = 0;
  for (auto _ : state) {
    ++shift;
    for (int r = 1; r <= kPeerNumbers; ++r) book.SetCellValue(1, r, 1, Value{r + shift});
    book.RecalcIfNeeded();
    if (book.GetCellValue(1, 1, 2) != Value{55 + 10 * shift}) state.SkipWithError("sums recalc");
  }
}
BENCHMARK(BM_PeerSumsRecalc)->Unit(benchmark::kMillisecond);

// A summary table over one data range: A1:A10000 numbers, B1:B10000 one of 100 categories,
// and 100,000 SUMIFS over the whole 10,000 rows, ten per row in C:L, each for a category.
constexpr int kPeerCategories = 100;

void EnterSumIfs(Workbook& book) {
  for (int r = 1; r <= kPeerNumbers; ++r) {
    book.SetEntry(1, r, 1, std::to_string(r));
    book.SetEntry(1, r, 2, std::to_string(r % kPeerCategories));
  }
  const std::string head = "=SUMIFS($A$1:$A$" + std::to_string(kPeerNumbers) + ",$B$1:$B$" +
                           std::to_string(kPeerNumbers) + ",";
  for (int i = 0; i < kPeerCells; ++i)
    book.SetEntry(1, i / 10 + 1, 3 + i % 10, head + std::to_string(i % kPeerCategories) + ")");
}

void BM_PeerSumIfsBuild(benchmark::State& state) {
  for (auto _ : state) {
    Workbook book;
    EnterSumIfs(book);
    book.RecalcIfNeeded();
    // Category 0: 100 + 200 + ... + 10000.
    if (book.GetCellValue(1, 1, 3) != Value{505000.0}) state.SkipWithError("sumifs");
  }
}
BENCHMARK(BM_PeerSumIfsBuild)->Unit(benchmark::kMillisecond);

// Every number the SUMIFS read changes at once; all 100,000 follow.
void BM_PeerSumIfsRecalc(benchmark::State& state) {
  Workbook book;
  EnterSumIfs(book);
  book.RecalcIfNeeded();
  double shift = 0;
  for (auto _ : state) {
    ++shift;
    for (int r = 1; r <= kPeerNumbers; ++r) book.SetCellValue(1, r, 1, Value{r + shift});
    book.RecalcIfNeeded();
    if (book.GetCellValue(1, 1, 3) != Value{505000.0 + 100 * shift}) state.SkipWithError("sumifs recalc");
  }
}
BENCHMARK(BM_PeerSumIfsRecalc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
