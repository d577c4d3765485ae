// Recognising a workbook file from its first bytes, and checking them against its name.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xls/ole2_reader.h"

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

// What the first bytes of a file are.
enum class Content { Empty, Zip, Xls, Text, Binary };

bool StartsWith(const unsigned char* head, size_t n, const unsigned char* magic, size_t m) {
  return n >= m && std::memcmp(head, magic, m) == 0;
}

// A byte-order mark of UTF-16 starts text whose ASCII characters have NUL bytes beside them.
bool Utf16Bom(const unsigned char* head, size_t n) {
  return n >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF));
}

Content Sniff(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    const int error = errno;
    throw GridError(std::string("cannot open the file (") + std::strerror(error) + ")",
                    platform::KindOfOpenErrno(error));
  }
  std::unique_ptr<unsigned char[]> head(new unsigned char[kSniffBytes]);
  const size_t n = std::fread(head.get(), 1, kSniffBytes, file.get());
  if (std::ferror(file.get())) {
    const int error = errno;
    throw GridError(std::string("cannot read the file (") + std::strerror(error) + ")",
                    platform::KindOfOpenErrno(error));
  }
  const unsigned char* h = head.get();
  if (n == 0) return Content::Empty;
  if (StartsWith(h, n, kZipLocal, 4) || StartsWith(h, n, kZipEmpty, 4)) return Content::Zip;
  if (StartsWith(h, n, kOle2, 8)) return Content::Xls;
  // Excel 2.x to 4.0 files are a bare BIFF stream: a BOF record first. The .xls reader
  // names the version it does not read.
  if (n >= 4 && h[0] == 0x09 && (h[1] == 0x00 || h[1] == 0x02 || h[1] == 0x04) && h[3] == 0x00 &&
      h[2] >= 4 && h[2] <= 16)
    return Content::Xls;
  if (Utf16Bom(h, n)) return Content::Text;
  // Text: no NUL bytes and no other control characters than tab, line feed, carriage
  // return, form feed and escape (seen in exported text).
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = h[i];
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B)
      return Content::Binary;
  }
  return Content::Text;
}

// True when the compound file at path holds an encrypted OOXML package. A damaged container
// answers false: the caller then reports the file as what it looks like.
bool IsEncryptedPackage(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxXlsBytes) return false;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    return ReadCompoundStream(bytes, "EncryptionInfo").has_value();
  } catch (const GridError&) {
    return false;
  }
}

// The file name's extension in lower case, without the dot ("" when it has none).
std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

int DetectFileType(const std::string& path) {
  const std::string ext = Extension(path);
  const bool xlsxName = ext == "xlsx" || ext == "xlsm";
  const Content content = Sniff(path);
  // A workbook's name promises a workbook: an empty file under such a name is a save that
  // never happened (or was cut off), not an empty table.
  if (content == Content::Empty && (xlsxName || ext == "xls"))
    throw GridError("empty file", ErrorKind::Damaged);
  if (xlsxName && content != Content::Zip) {
    if (content == Content::Text)
      throw GridError("not an .xlsx workbook: it looks like text", ErrorKind::NotAWorkbook);
    // A password-protected .xlsx is kept in the container of .xls files.
    if (content == Content::Xls && IsEncryptedPackage(path))
      throw GridError("the workbook is encrypted (password-protected)", ErrorKind::Encrypted);
    if (content == Content::Xls)
      throw GridError("not an .xlsx workbook: it is not a zip archive (it looks like an .xls file)",
                      ErrorKind::NotAWorkbook);
    throw GridError("not an .xlsx workbook: it is not a zip archive", ErrorKind::NotAWorkbook);
  }
  switch (content) {
    case Content::Zip: return kFileTypeXlsx;
    case Content::Xls: return kFileTypeXls;
    case Content::Binary:
      throw GridError("the file is not a workbook: neither a zip archive, an .xls file nor text",
                      ErrorKind::NotAWorkbook);
    case Content::Empty:
    case Content::Text: break;
  }
  return kFileTypeCsv;
}

}  // namespace ddt::grid::io
