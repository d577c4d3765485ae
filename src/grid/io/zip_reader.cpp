#include "grid/io/zip_reader.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "grid/grid_error.h"
#include "grid/io/io_limits.h"

namespace ddt::grid::io {

namespace {

constexpr size_t kChunkBytes = 256 * 1024;

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

}  // namespace

ZipReader::ZipReader(const std::string& path) {
  // The file is opened once here and libzip reads that open file: libzip opening the path
  // itself takes the size from the name and the bytes from a second open, so a file replaced
  // in between (another process saving it) would look damaged.
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw GridError(std::string("cannot open the file (") + std::strerror(errno) + ")");
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_filep_create(file, 0, -1, &error);  // owns the file
  if (!source) {
    std::fclose(file);
    zip_error_fini(&error);
    throw GridError("cannot open the archive (out of memory)");
  }
  archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  const int code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  if (!archive_) {
    zip_source_free(source);
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
      throw GridError("not a zip archive, or a damaged or truncated one (" +
                      ZipErrorText(code) + ")");
    throw GridError("cannot open the archive (" + ZipErrorText(code) + ")");
  }
  if (zip_get_num_entries(archive_, 0) > kMaxArchiveEntries) {
    zip_discard(archive_);
    archive_ = nullptr;
    throw GridError("the archive lists too many entries");
  }
}

ZipReader::~ZipReader() {
  if (archive_) zip_discard(archive_);
}

bool ZipReader::Has(std::string_view name) const {
  return zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_NOCASE) >= 0;
}

void ZipReader::Stream(std::string_view name, uint64_t maxBytes,
                       const std::function<void(const char*, size_t)>& sink) {
  const std::string entry(name);
  zip_int64_t index = zip_name_locate(archive_, entry.c_str(), ZIP_FL_NOCASE);
  if (index < 0) throw GridError("part " + entry + " is missing");
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_COMP_SIZE))
    throw GridError("part " + entry + " is damaged (" + zip_strerror(archive_) + ")");
  // Refuse on the declared sizes before inflating anything.
  const uint64_t declared = st.size;
  if (declared > maxBytes)
    throw GridError("part " + entry + " is too large (" + std::to_string(declared) +
                    " bytes uncompressed, the limit is " + std::to_string(maxBytes) + ")");
  if (totalRead_ + declared > kMaxArchiveBytes)
    throw GridError("the archive expands to more than " + std::to_string(kMaxArchiveBytes) +
                    " bytes");
  auto ratioTooHigh = [&](uint64_t bytes) {
    return bytes > kRatioExemptBytes && bytes / (st.comp_size ? st.comp_size : 1) >
                                            kMaxCompressionRatio;
  };
  if (ratioTooHigh(declared))
    throw GridError("part " + entry + " expands suspiciously (compression ratio over " +
                    std::to_string(kMaxCompressionRatio) + ")");

  std::unique_ptr<zip_file_t, ZipFileCloser> file(
      zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
  if (!file)
    throw GridError("part " + entry + " cannot be read (" + zip_strerror(archive_) + ")");
  std::vector<char> buffer(kChunkBytes);
  uint64_t count = 0;
  for (;;) {
    zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0)
      throw GridError("part " + entry + " is damaged (" +
                      zip_error_strerror(zip_file_get_error(file.get())) + ")");
    if (n == 0) break;
    count += static_cast<uint64_t>(n);
    // Count again while inflating: the declared size may lie.
    if (count > declared || count > maxBytes || ratioTooHigh(count))
      throw GridError("part " + entry + " expands past its declared size");
    sink(buffer.data(), static_cast<size_t>(n));
  }
  if (count != declared) throw GridError("part " + entry + " is truncated");
  totalRead_ += count;
}

std::string ZipReader::Read(std::string_view name, uint64_t maxBytes) {
  std::string out;
  Stream(name, maxBytes, [&](const char* data, size_t size) { out.append(data, size); });
  return out;
}

}  // namespace ddt::grid::io
