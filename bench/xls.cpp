// Reading legacy .xls against .xlsx of the same data: 100,000 rows x 20 columns (text and
// numbers) as two sheets of 50,000 rows, since an .xls sheet holds at most 65,536 rows. The
// .xlsx is written by the grid; LibreOffice (soffice, when installed) converts it to .xls
// once, into the temporary directory. Both reads report cells per second, to compare per cell.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"

namespace {

using namespace ddt::grid;

constexpr int kSheets = 2;
constexpr int kRowsPerSheet = 50000;
constexpr int kCols = 20;
constexpr int64_t kCells = int64_t{kSheets} * kRowsPerSheet * kCols;

std::filesystem::path Dir() { return std::filesystem::temp_directory_path() / "ddt-bench-xls"; }

const std::string& XlsxFile() {
  static const std::string path = [] {
    std::filesystem::create_directories(Dir());
    const std::string file = (Dir() / "data.xlsx").string();
    if (std::filesystem::exists(file)) return file;
    Workbook book;
    book.SetSheetCount(kSheets);
    for (int s = 1; s <= kSheets; ++s)
      for (int r = 1; r <= kRowsPerSheet; ++r)
        for (int c = 1; c <= kCols; ++c) {
          if (c % 2)
            book.SetCellValue(s, r, c, Value("item " + std::to_string((r * 7 + c) % 5000)));
          else
            book.SetCellValue(s, r, c, Value(r * 0.25 + c));
        }
    io::WriteXlsxFile(book, file);
    return file;
  }();
  return path;
}

// Empty when LibreOffice is not installed.
const std::string& XlsFile() {
  static const std::string path = [] {
    const std::string file = (Dir() / "data.xls").string();
    if (std::filesystem::exists(file)) return file;
    const std::string profile = (Dir() / "profile").string();
    const std::string cmd = "soffice -env:UserInstallation=file://" + profile +
                            " --headless --convert-to 'xls:MS Excel 97' --outdir " +
                            Dir().string() + " " + XlsxFile() + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !std::filesystem::exists(file)) return std::string();
    return file;
  }();
  return path;
}

void Read(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("soffice is not installed: no .xls to read");
    return;
  }
  for (auto _ : state) {
    Workbook book;
    io::ReadWorkbookFile(book, path, io::kFileTypeAny);
    state.PauseTiming();
    int64_t cells = 0;
    for (int s = 1; s <= book.SheetCount(); ++s)
      book.ForEachCell(s, [&](int, int, const Cell& c) { cells += !IsEmpty(c.value); });
    state.ResumeTiming();
    if (cells != kCells) {
      state.SkipWithError(("read " + std::to_string(cells) + " cells of " +
                           std::to_string(kCells)).c_str());
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kCells);
}

void BM_ReadXlsx(benchmark::State& state) { Read(state, XlsxFile()); }
void BM_ReadXls(benchmark::State& state) { Read(state, XlsFile()); }

BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadXls)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
