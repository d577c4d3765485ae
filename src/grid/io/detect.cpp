// Recognising a workbook file from its first bytes.
#include <cstdio>
#include <cstring>
#include <memory>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"

namespace ddt::grid::io {

namespace {

constexpr unsigned char kZipLocal[] = {'P', 'K', 0x03, 0x04};
constexpr unsigned char kZipEmpty[] = {'P', 'K', 0x05, 0x06};
constexpr unsigned char kOle2[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// Bytes looked at to decide whether a file is text.
constexpr size_t kSniffBytes = 64 * 1024;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

int DetectFileType(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw GridError(std::string("cannot open the file (") + std::strerror(errno) + ")");
  std::unique_ptr<unsigned char[]> head(new unsigned char[kSniffBytes]);
  size_t n = std::fread(head.get(), 1, kSniffBytes, file.get());
  if (std::ferror(file.get()))
    throw GridError(std::string("cannot read the file (") + std::strerror(errno) + ")");
  if (n >= 4 && (std::memcmp(head.get(), kZipLocal, 4) == 0 ||
                 std::memcmp(head.get(), kZipEmpty, 4) == 0))
    return kFileTypeXlsx;
  if (n >= 8 && std::memcmp(head.get(), kOle2, 8) == 0) return kFileTypeXls;
  // Excel 2.x to 4.0 files are a bare BIFF stream: a BOF record first. The .xls reader
  // names the version it does not read.
  if (n >= 4 && head[0] == 0x09 && (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04) &&
      head[3] == 0x00 && head[2] >= 4 && head[2] <= 16)
    return kFileTypeXls;
  // Text: no NUL bytes and no other control characters than tab, line feed, carriage
  // return, form feed and escape (seen in exported text).
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = head[i];
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B)
      throw GridError("the file is not a workbook: neither a zip archive, an .xls file nor text");
  }
  return kFileTypeCsv;
}

}  // namespace ddt::grid::io
