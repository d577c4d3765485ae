// Workbook files: writing and reading 100,000 rows x 20 columns (text and numbers), and the
// read measured against its floor, a bare libzip + expat walk over the same file that only
// counts cells. Heap use during a read is tracked by counting operator new, and reported as a
// multiple of the sheet's uncompressed XML.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <malloc.h>
#include <zip.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void Track(void* p) {
  if (!p) return;
  size_t now = g_live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

void* operator new(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Track(p);
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  g_live.fetch_sub(malloc_usable_size(p));
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

using namespace ddt::grid;

constexpr int kRows = 100000;
constexpr int kCols = 20;

std::string BenchFile() {
  return (std::filesystem::temp_directory_path() / "ddt-bench-io.xlsx").string();
}

void FillBook(Workbook& book) {
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kCols; ++c) {
      if (c % 2)
        book.SetCellValue(1, r, c, Value("item " + std::to_string((r * 7 + c) % 5000)));
      else
        book.SetCellValue(1, r, c, Value(r * 0.25 + c));
    }
}

const std::string& EnsureFile() {
  static const std::string path = [] {
    Workbook book;
    FillBook(book);
    io::WriteXlsxFile(book, BenchFile());
    return BenchFile();
  }();
  return path;
}

// The floor: inflate the sheet part and let expat count <c> elements.
size_t FloorWalk(const std::string& path, uint64_t* xmlBytes) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  zip_stat_t st;
  zip_stat(z, "xl/worksheets/sheet1.xml", 0, &st);
  if (xmlBytes) *xmlBytes = st.size;
  zip_file_t* f = zip_fopen(z, "xl/worksheets/sheet1.xml", 0);
  XML_Parser parser = XML_ParserCreate(nullptr);
  size_t cells = 0;
  XML_SetUserData(parser, &cells);
  XML_SetElementHandler(
      parser,
      [](void* data, const char* name, const char**) {
        if (name[0] == 'c' && name[1] == 0) ++*static_cast<size_t*>(data);
      },
      [](void*, const char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const char*, int) {});
  char buf[256 * 1024];
  zip_int64_t n;
  while ((n = zip_fread(f, buf, sizeof buf)) > 0) XML_Parse(parser, buf, static_cast<int>(n), 0);
  XML_Parse(parser, buf, 0, 1);
  XML_ParserFree(parser);
  zip_fclose(f);
  zip_discard(z);
  return cells;
}

void BM_Write(benchmark::State& state) {
  Workbook book;
  FillBook(book);
  const std::string path = BenchFile() + ".out";
  for (auto _ : state) io::WriteXlsxFile(book, path);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  state.counters["cells/s"] =
      benchmark::Counter(double(kRows) * kCols * state.iterations(), benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);

void BM_Read(benchmark::State& state) {
  const std::string& path = EnsureFile();
  for (auto _ : state) {
    Workbook book;
    io::ReadWorkbookFile(book, path, io::kFileTypeAny);
    benchmark::DoNotOptimize(book.FindCell(1, kRows, kCols));
  }
  state.counters["cells/s"] =
      benchmark::Counter(double(kRows) * kCols * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);

void BM_FloorWalk(benchmark::State& state) {
  const std::string& path = EnsureFile();
  for (auto _ : state) benchmark::DoNotOptimize(FloorWalk(path, nullptr));
  state.counters["cells/s"] =
      benchmark::Counter(double(kRows) * kCols * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FloorWalk)->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Our read against the floor, alternating so both see the same machine state, in wall time
// and in CPU time (steadier on a busy machine); and the read's peak heap as a multiple of
// the sheet XML.
void BM_ReadVsFloor(benchmark::State& state) {
  const std::string& path = EnsureFile();
  using Clock = std::chrono::steady_clock;
  double readSeconds = 0, floorSeconds = 0, readCpu = 0, floorCpu = 0;
  uint64_t xmlBytes = 0;
  size_t peak = 0;
  for (auto _ : state) {
    const double c0 = ThreadCpuSeconds();
    auto t0 = Clock::now();
    FloorWalk(path, &xmlBytes);
    auto t1 = Clock::now();
    const double c1 = ThreadCpuSeconds();
    const size_t base = g_live.load();
    g_peak.store(base);
    Clock::time_point t2;
    {
      Workbook book;
      io::ReadWorkbookFile(book, path, io::kFileTypeAny);
      t2 = Clock::now();  // tearing the workbook down is not part of reading
      readCpu += ThreadCpuSeconds() - c1;
      peak = std::max(peak, g_peak.load() - base);
    }
    floorCpu += c1 - c0;
    floorSeconds += std::chrono::duration<double>(t1 - t0).count();
    readSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["speed_vs_floor"] = floorSeconds / readSeconds;
  state.counters["cpu_speed_vs_floor"] = floorCpu / readCpu;
  state.counters["peak_heap_x_xml"] = static_cast<double>(peak) / static_cast<double>(xmlBytes);
  state.counters["sheet_xml_MB"] = static_cast<double>(xmlBytes) / 1e6;
}
BENCHMARK(BM_ReadVsFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
