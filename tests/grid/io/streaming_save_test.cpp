// The save streams: the zip writer (entries deflated as they come, large ones on a second
// thread, copied entries), the atomic file written piece by piece, and workbooks whose parts
// span many pieces. Also the reader's direct path for constants, which must leave formulas
// reading cells later in the file as they were.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/atomic_file.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/io/zip/zip_writer.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::ScratchDir;

// Bytes that deflate poorly, so that large entries stay large compressed too.
std::string Noise(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  for (char& ch : out) {
    seed = seed * 1103515245u + 12345u;
    ch = static_cast<char>(seed >> 23);
  }
  return out;
}

// Every entry of an archive (name -> content), read by libzip with its consistency checks;
// the CRC of each entry is checked as it is read.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& path) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!z) throw std::runtime_error("libzip refuses the archive, error " + std::to_string(err));
  std::vector<std::pair<std::string, std::string>> out;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
    std::string content(st.size, '\0');
    zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
    zip_int64_t n = content.empty() ? 0 : zip_fread(f, content.data(), content.size());
    char extra;
    const zip_int64_t tail = zip_fread(f, &extra, 1);  // reading to the end checks the CRC
    zip_fclose(f);
    if (n != static_cast<zip_int64_t>(st.size) || tail != 0)
      throw std::runtime_error(std::string("entry ") + st.name + " does not read back");
    out.emplace_back(st.name, std::move(content));
  }
  zip_discard(z);
  return out;
}

TEST(ZipWriter, EntriesOfEverySizeReadBackWithOtherReaders) {
  ScratchDir dir;
  const std::string big = Noise(3 * 1024 * 1024 + 17, 1);  // many buffers: the worker thread
  std::string repetitive;
  for (int i = 0; i < 200000; ++i) repetitive += "<c r=\"A" + std::to_string(i) + "\"/>";
  std::string source = dir.File("source.zip");
  test::WriteZip(source, {{"kept/deflated.xml", repetitive}, {"kept/tiny.bin", "x"}});
  // One entry stored without compression, as some writers keep images.
  {
    int err = 0;
    zip_t* z = zip_open(source.c_str(), 0, &err);
    zip_source_t* src = zip_source_buffer(z, big.data(), 100000, 0);
    zip_int64_t i = zip_file_add(z, "kept/stored.png", src, 0);
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
    ASSERT_EQ(zip_close(z), 0);
  }

  const std::string path = dir.File("out.zip");
  {
    AtomicFileWriter file(path);
    ZipWriter zip([&](const char* d, size_t n) { file.Write(d, n); });
    zip.Add("small.xml", "<a>&amp;</a>");
    zip.Add("empty.xml", "");
    zip.Begin("xl/big.bin");
    for (size_t at = 0; at < big.size(); at += 70001)  // pieces that straddle the buffers
      zip.Write(std::string_view(big).substr(at, 70001));
    zip.End();
    zip.Add("xl/repetitive.xml", repetitive);
    int err = 0;
    zip_t* from = zip_open(source.c_str(), ZIP_RDONLY, &err);
    ASSERT_NE(from, nullptr);
    for (zip_int64_t i = 0; i < zip_get_num_entries(from, 0); ++i)
      zip.AddCopied(std::string("copied/") + zip_get_name(from, static_cast<zip_uint64_t>(i), 0),
                    from, static_cast<uint64_t>(i));
    zip_discard(from);
    zip.Finish();
    file.Commit();
  }
  const auto entries = Entries(path);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0], std::make_pair(std::string("small.xml"), std::string("<a>&amp;</a>")));
  EXPECT_EQ(entries[1], std::make_pair(std::string("empty.xml"), std::string()));
  EXPECT_EQ(entries[2].first, "xl/big.bin");
  EXPECT_TRUE(entries[2].second == big) << "the large entry differs";
  EXPECT_TRUE(entries[3].second == repetitive);
  EXPECT_EQ(entries[4].first, "copied/kept/deflated.xml");
  EXPECT_TRUE(entries[4].second == repetitive);
  EXPECT_EQ(entries[5].second, "x");
  EXPECT_EQ(entries[6].first, "copied/kept/stored.png");
  EXPECT_TRUE(entries[6].second == big.substr(0, 100000));
  // Deflated, and copied entries keep their method.
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  zip_stat_t st;
  ASSERT_EQ(zip_stat(z, "copied/kept/stored.png", 0, &st), 0);
  EXPECT_EQ(st.comp_method, ZIP_CM_STORE);
  ASSERT_EQ(zip_stat(z, "xl/repetitive.xml", 0, &st), 0);
  EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
  EXPECT_LT(st.comp_size, st.size / 4);
  zip_discard(z);

  // Python's reader agrees, when it is there.
  if (std::filesystem::exists("/usr/bin/python3")) {
    const std::string cmd = "/usr/bin/python3 -c \"import zipfile,sys; "
                            "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" " +
                            path;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
}

// Each writer starts its worker when its first part outgrows a buffer; many in a row give a
// race at that start its chances.
TEST(ZipWriter, ManyWritersInARow) {
  std::string xml;
  for (int i = 0; xml.size() < 600 * 1024; ++i) xml += "<v>" + std::to_string(i) + "</v>";
  for (int round = 0; round < 40; ++round) {
    std::string bytes;
    ZipWriter zip([&](const char* d, size_t n) { bytes.append(d, n); });
    zip.Add("part.xml", xml);
    zip.Finish();
    ScratchDir dir;
    test::WriteBytes(dir.File("z.zip"), bytes);
    const auto entries = Entries(dir.File("z.zip"));
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_TRUE(entries[0].second == xml) << "round " << round;
  }
}

TEST(ZipWriter, AFailingSinkIsReportedAndStopsTheWorker) {
  // The sink fails after 1 MB, while the second thread deflates a large entry.
  size_t taken = 0;
  ZipWriter zip([&](const char*, size_t n) {
    taken += n;
    if (taken > (1u << 20)) throw GridError("disk full");
  });
  const std::string noise = Noise(256 * 1024, 7);
  zip.Begin("big.bin");
  std::string message;
  try {
    for (int i = 0; i < 64; ++i) zip.Write(noise);
    zip.End();
  } catch (const GridError& e) {
    message = e.what();
  }
  EXPECT_EQ(message, "disk full");
  // Misuse is refused rather than writing a broken archive.
  ZipWriter other([](const char*, size_t) {});
  EXPECT_THROW(other.Write("x"), GridError);
  other.Begin("a");
  EXPECT_THROW(other.Begin("b"), GridError);
  EXPECT_THROW(other.Finish(), GridError);
  other.End();
  EXPECT_THROW(other.Add("a", "again"), GridError);  // a name taken
}

TEST(AtomicFileWriter, OnlyACommittedWriteReplacesTheFile) {
  ScratchDir dir;
  const std::string path = dir.File("f.xlsx");
  test::WriteBytes(path, "old");
  const std::string data = Noise(3 * 1024 * 1024, 3);  // buffered and direct writes
  {
    AtomicFileWriter file(path);
    file.Write(data.data(), 10);
    file.Write(data.data() + 10, data.size() - 10);
    // Abandoned: destroyed without Commit.
  }
  EXPECT_EQ(test::ReadBytes(path), "old");
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files, (void)e;
  EXPECT_EQ(files, 1u) << "an abandoned write left its temporary file";

  AtomicFileWriter file(path);
  file.Write(data.data(), 5);
  file.Write(data.data() + 5, 2 * 1024 * 1024);
  file.Write(data.data() + 5 + 2 * 1024 * 1024, data.size() - 5 - 2 * 1024 * 1024);
  file.Commit();
  EXPECT_TRUE(test::ReadBytes(path) == data);
  EXPECT_THROW(file.Write("x", 1), GridError);
  EXPECT_THROW(file.Commit(), GridError);
}

// A workbook whose sheet and shared strings each take many pieces of XML, with a second
// sheet after it: every cell reads back, and the file holds the same parts as XlsxBytes.
TEST(StreamingSave, LargePartsReadBackWhole) {
  ScratchDir dir;
  Workbook book;
  book.SetSheetCount(2);
  constexpr int kRows = 6000, kCols = 6;
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kCols; ++c) {
      if (c % 3 == 0)
        book.SetCellValue(1, r, c, Value(r * 1.5 - c));
      else if (c % 3 == 1)
        book.SetCellValue(1, r, c, Value("unique text " + std::to_string(r * kCols + c)));
      else
        book.SetCellValue(1, r, c, Value(std::string("shared <&> ") + std::to_string(r % 7)));
    }
  book.SetCellValue(2, 3, 2, Value(std::string("after")));
  const std::string path = dir.File("big.xlsx");
  book.WriteFile(path, kFileTypeXlsx);

  Workbook back;
  ReadWorkbookFile(back, path, kFileTypeAny);
  ASSERT_EQ(back.SheetCount(), 2);
  int differing = 0;
  for (int r = 1; r <= kRows; ++r)
    for (int c = 1; c <= kCols; ++c) {
      const Cell* cell = back.FindCell(1, r, c);
      if (!cell || cell->value != book.FindCell(1, r, c)->value) ++differing;
    }
  EXPECT_EQ(differing, 0);
  ASSERT_NE(back.FindCell(2, 3, 2), nullptr);
  EXPECT_EQ(back.FindCell(2, 3, 2)->value, Value(std::string("after")));

  const auto written = Entries(path);
  const std::string memory = dir.File("memory.xlsx");
  test::WriteBytes(memory, XlsxBytes(book));
  EXPECT_EQ(Entries(memory), written);
  size_t sheetBytes = 0, stringBytes = 0;
  for (const auto& [name, content] : written) {
    if (name == "xl/worksheets/sheet1.xml") sheetBytes = content.size();
    if (name == "xl/sharedStrings.xml") stringBytes = content.size();
  }
  EXPECT_GT(sheetBytes, 4u * 256 * 1024);  // the test means what it says
  EXPECT_GT(stringBytes, 256u * 1024);
}

// A formula read before the cell it reads takes that cell's value (its cached result is
// stale); formulas read after their cells keep their cached results, on one sheet or
// across sheets.
TEST(StreamingRead, FormulasAndTheCellsTheyReadInFileOrder) {
  ScratchDir dir;
  test::Package p;
  p.sheets = {
      {"One", "<sheetData><row r=\"1\"><c r=\"A1\"><v>5</v></c>"
              "<c r=\"B1\"><f>A1*2</f><v>99</v></c>"   // after its cell: cached 99 kept
              "<c r=\"C1\"><f>D1*2</f><v>99</v></c>"   // before its cell: recomputed
              "<c r=\"D1\"><v>7</v></c>"
              "<c r=\"E1\"><f>Two!A1+1</f><v>99</v></c></row></sheetData>"},
      {"Two", "<sheetData><row r=\"1\"><c r=\"A1\"><v>40</v></c></row></sheetData>"}};
  const std::string path = dir.File("f.xlsx");
  p.Write(path);
  Workbook book;
  ReadWorkbookFile(book, path, kFileTypeAny);
  EXPECT_EQ(book.GetCellValue(1, 1, 2), Value(99.0));
  EXPECT_EQ(book.GetCellValue(1, 1, 3), Value(14.0));
  EXPECT_EQ(book.GetCellValue(1, 1, 5), Value(41.0));
  // The constants read straight into the sheet are ordinary cells: a formula entered
  // afterwards reads them, and changing them reaches it.
  book.SetCellFormula(2, 2, 1, formula::ParseFormula("A1*One!D1", book), std::nullopt);
  EXPECT_EQ(book.GetCellValue(2, 2, 1), Value(280.0));
  book.SetCellValue(2, 1, 1, Value(1.0));
  EXPECT_EQ(book.GetCellValue(2, 2, 1), Value(7.0));
  EXPECT_EQ(book.SheetAt(2).LastCol(), 1);
}

// Large parts are inflated ahead on a second thread: a damaged one is reported, and a reader
// that stops half way (a handler failing) stops that thread too.
TEST(StreamingRead, LargePartsThatFailHalfWay) {
  ScratchDir dir;
  std::string xml;
  for (int i = 0; xml.size() < 3 * 1024 * 1024; ++i)
    xml += "<c r=\"A" + std::to_string(i) + "\"><v>" + std::to_string(i * 7919 % 1000) + "</v></c>";
  const std::string path = dir.File("big.zip");
  test::WriteZip(path, {{"part.xml", xml}});
  {
    ZipReader zip(path);
    size_t seen = 0;
    EXPECT_THROW(zip.Stream("part.xml", kMaxEntryBytes,
                            [&](const char*, size_t n) {
                              seen += n;
                              if (seen > 1024 * 1024) throw GridError("handler stops");
                            }),
                 GridError);
    // The archive stays usable.
    EXPECT_TRUE(zip.Read("part.xml", kMaxEntryBytes) == xml);
  }
  // Bytes in the middle of the compressed data scrambled.
  std::string bytes = test::ReadBytes(path);
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = static_cast<char>(~bytes[i]);
  test::WriteBytes(path, bytes);
  ZipReader zip(path);
  try {
    zip.Read("part.xml", kMaxEntryBytes);
    ADD_FAILURE() << "a damaged part was read";
  } catch (const GridError& e) {
    // Inflating scrambled data fails, or yields more than the part declares.
    const std::string message = e.what();
    EXPECT_TRUE(message.find("damaged") != std::string::npos ||
                message.find("declared size") != std::string::npos)
        << message;
  }
}

}  // namespace
}  // namespace ddt::grid::io
