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
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "grid/io/common/atomic_file.h"
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
// The replacement delete frees what the replacement new took from malloc; GCC cannot see
// that the two are a pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  if (!p) return;
  g_live.fetch_sub(malloc_usable_size(p));
  std::free(p);
}
#pragma GCC diagnostic pop
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

// A workbook read from a file that holds 10 MB of images (random bytes: they do not
// compress), saved again: the images are carried as stored, so the save costs about what
// copying them costs. BM_CopyImagesFloor copies the same file for comparison.
constexpr size_t kImageBytes = 10u << 20;

std::string ImagesFile() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "ddt-bench-images.xlsx").string();
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
    std::string image(kImageBytes / 2, '\0');
    uint32_t x = 12345;
    for (char& ch : image) {
      x = x * 1103515245u + 12345u;
      ch = static_cast<char>(x >> 24);
    }
    std::string drawing = "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/"
                          "spreadsheetDrawing\"/>";
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"[Content_Types].xml",
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/"
         "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
         "ContentType=\"application/xml\"/><Default Extension=\"png\" "
         "ContentType=\"image/png\"/></Types>"},
        {"_rels/.rels", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" +
                            rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                                "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
                                "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships xmlns=\"" + pkg +
                                           "\"><Relationship Id=\"rId1\" Type=\"" + rel +
                                           "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                                           "</Relationships>"},
        {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                                         "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c>"
                                         "</row></sheetData><drawing r:id=\"rId1\"/></worksheet>"},
        {"xl/worksheets/_rels/sheet1.xml.rels",
         "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" + rel +
             "/drawing\" Target=\"../drawings/drawing1.xml\"/></Relationships>"},
        {"xl/drawings/drawing1.xml", drawing},
        {"xl/drawings/_rels/drawing1.xml.rels",
         "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rId1\" Type=\"" + rel +
             "/image\" Target=\"../media/image1.png\"/><Relationship Id=\"rId2\" Type=\"" +
             rel + "/image\" Target=\"../media/image2.png\"/></Relationships>"},
        {"xl/media/image1.png", image},
        {"xl/media/image2.png", image.substr(1) + "x"}};
    int err = 0;
    zip_t* z = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (const auto& [name, content] : parts) {
      zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
      zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    }
    zip_close(z);
    return p;
  }();
  return path;
}

void BM_SaveCarriedImages(benchmark::State& state) {
  Workbook book;
  book.ReadFile(ImagesFile(), io::kFileTypeAny);
  book.SetEntry(1, 2, 1, "changed");
  const std::string out = ImagesFile() + ".out.xlsx";
  for (auto _ : state) io::WriteXlsxFile(book, out);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
  std::filesystem::remove(out);
}
BENCHMARK(BM_SaveCarriedImages)->Unit(benchmark::kMillisecond);

// Copying: the file's bytes read and written the way a save writes them (temporary file,
// flushed, renamed).
void BM_CopyImagesFloor(benchmark::State& state) {
  const std::string out = ImagesFile() + ".copy.xlsx";
  for (auto _ : state) {
    std::ifstream in(ImagesFile(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    io::ReplaceFileAtomically(out, bytes);
  }
  std::filesystem::remove(out);
}
BENCHMARK(BM_CopyImagesFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
