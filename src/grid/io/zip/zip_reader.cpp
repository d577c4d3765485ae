#include "grid/io/zip/zip_reader.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/xlsx_extras.h"

namespace ddt::grid::io {

namespace {

constexpr size_t kChunkBytes = 64 * 1024;

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

// Parts at least this large are inflated on a second thread while the caller's thread
// parses what came before: reading then takes about the time of the slower of the two.
constexpr uint64_t kThreadedBytes = 1 << 20;
constexpr size_t kThreadedBuffers = 4;
// Larger than kChunkBytes: each chunk handed over costs the two threads a wake-up and a
// context switch, so fewer, larger ones cost less CPU.
constexpr size_t kThreadedChunkBytes = 256 * 1024;

// zip_fread on a thread of its own, a few chunks ahead of the consumer (memory stays at
// kThreadedBuffers chunks however large the part).
class Inflater {
 public:
  explicit Inflater(zip_file_t* file) : file_(file) {
    for (size_t i = 0; i < kThreadedBuffers; ++i) free_.emplace_back(kThreadedChunkBytes);
    thread_ = std::thread([this] { Run(); });
  }
  ~Inflater() {
    {
      std::lock_guard lock(m_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // The next chunk, as zip_fread returns it (0 at the end, negative on failure); `data` is
  // valid until the next call.
  zip_int64_t Next(const char** data) {
    std::unique_lock lock(m_);
    if (!current_.empty()) free_.push_back(std::move(current_));
    cv_.notify_all();
    cv_.wait(lock, [&] { return !ready_.empty(); });
    auto [buffer, n] = std::move(ready_.front());
    ready_.pop_front();
    current_ = std::move(buffer);
    *data = current_.data();
    return n;
  }

 private:
  void Run() {
    for (;;) {
      std::vector<char> buffer;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return stop_ || !free_.empty(); });
        if (stop_) return;
        buffer = std::move(free_.back());
        free_.pop_back();
      }
      const zip_int64_t n = zip_fread(file_, buffer.data(), buffer.size());
      {
        std::lock_guard lock(m_);
        ready_.emplace_back(std::move(buffer), n);
      }
      cv_.notify_all();
      if (n <= 0) return;  // the end, or a failure the consumer reports
    }
  }

  zip_file_t* file_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::vector<char>> free_;
  std::deque<std::pair<std::vector<char>, zip_int64_t>> ready_;
  std::vector<char> current_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

ZipReader::ZipReader(const std::string& path) {
  // The file is opened once here and libzip reads that open file: libzip opening the path
  // itself takes the size from the name and the bytes from a second open, so a file replaced
  // in between (another process saving it) would look damaged.
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    throw GridError(std::string("cannot open the file (") + std::strerror(errno) + ")",
                    platform::KindOfOpenErrno(errno));
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
      throw GridError(
          "not a zip archive, or a damaged or truncated one (" + ZipErrorText(code) + ")",
          ErrorKind::Damaged);
    throw GridError("cannot open the archive (" + ZipErrorText(code) + ")", ErrorKind::Damaged);
  }
  const zip_int64_t entries = zip_get_num_entries(archive_, 0);
  if (entries > kMaxArchiveEntries) {
    zip_discard(archive_);
    archive_ = nullptr;
    throw GridError("the archive lists too many entries", ErrorKind::OverLimit);
  }
  // Some writers separate folders with backslashes; other readers accept such archives, so
  // names are looked up with "/" in their place.
  for (zip_int64_t i = 0; i < entries; ++i) {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (!name || !std::strchr(name, '\\')) continue;
    if (backslashed_.empty()) {
      for (zip_int64_t k = 0; k < entries; ++k) {
        const char* n = zip_get_name(archive_, static_cast<zip_uint64_t>(k), ZIP_FL_ENC_RAW);
        if (n) backslashed_.emplace(Folded(n), k);
      }
    }
    break;
  }
}

std::string ZipReader::Folded(std::string_view name) {
  std::string out(name);
  for (char& ch : out) {
    if (ch == '\\') ch = '/';
    else if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return out;
}

int64_t ZipReader::Locate(std::string_view name) const {
  if (!backslashed_.empty()) {
    auto it = backslashed_.find(Folded(name));
    return it == backslashed_.end() ? -1 : it->second;
  }
  return zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_NOCASE);
}

std::vector<std::string> ZipReader::Names() const {
  std::vector<std::string> names;
  const zip_int64_t entries = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    const char* n = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0);
    if (!n) continue;
    std::string name(n);
    for (char& ch : name)
      if (ch == '\\') ch = '/';
    names.push_back(std::move(name));
  }
  return names;
}

std::shared_ptr<CarriedArchive> ZipReader::CopyEntries(
    const std::vector<std::string>& names) const {
  auto carried = std::make_shared<CarriedArchive>();
  if (names.empty()) return carried;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!buffer) throw GridError("out of memory");
  zip_source_keep(buffer);
  struct Free {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
  };
  std::unique_ptr<zip_source_t, Free> keep(buffer);
  zip_t* out = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (!out) {
    zip_source_free(buffer);
    throw GridError("cannot keep the parts of the file");
  }
  std::vector<std::string> added;
  for (const std::string& name : names) {
    const int64_t index = Locate(name);
    if (index < 0) continue;
    // Start 0 and length 0 take the entry's stored (compressed) bytes.
    zip_source_t* src = zip_source_zip(out, archive_, static_cast<zip_uint64_t>(index), 0, 0, 0);
    if (!src) continue;
    if (zip_file_add(out, name.c_str(), src, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(src);
      continue;
    }
    added.push_back(name);
  }
  if (zip_close(out) != 0) {
    std::string why = zip_strerror(out);
    zip_discard(out);
    throw GridError("cannot keep the parts of the file (" + why + ")");
  }
  zip_stat_t st;
  if (zip_source_open(buffer) != 0 || zip_source_stat(buffer, &st) != 0)
    throw GridError("cannot keep the parts of the file");
  carried->bytes.resize(st.size);
  zip_int64_t n = zip_source_read(buffer, carried->bytes.data(), carried->bytes.size());
  zip_source_close(buffer);
  if (n < 0 || static_cast<zip_uint64_t>(n) != st.size)
    throw GridError("cannot keep the parts of the file");
  zip_source_t* view =
      zip_source_buffer_create(carried->bytes.data(), carried->bytes.size(), 0, &error);
  if (!view) throw GridError("out of memory");
  carried->archive = zip_open_from_source(view, ZIP_RDONLY, &error);
  if (!carried->archive) {
    zip_source_free(view);
    throw GridError("cannot keep the parts of the file");
  }
  for (const std::string& name : added) {
    zip_int64_t i = zip_name_locate(carried->archive, name.c_str(), 0);
    if (i >= 0) carried->index[name] = static_cast<uint64_t>(i);
  }
  return carried;
}

ZipReader::~ZipReader() {
  if (archive_) zip_discard(archive_);
}

bool ZipReader::Has(std::string_view name) const { return Locate(name) >= 0; }

uint64_t ZipReader::DeclaredSize(std::string_view name) const {
  const int64_t index = Locate(name);
  zip_stat_t st;
  zip_stat_init(&st);
  if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE))
    return 0;
  return st.size;
}

uint64_t ZipReader::CheckedEntry(const std::string& entry, zip_stat_t* st) const {
  const zip_int64_t index = Locate(entry);
  if (index < 0) throw GridError("part " + entry + " is missing", ErrorKind::Damaged);
  zip_stat_init(st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, st) != 0 ||
      !(st->valid & ZIP_STAT_SIZE) || !(st->valid & ZIP_STAT_COMP_SIZE))
    throw GridError("part " + entry + " is damaged (" + zip_strerror(archive_) + ")", ErrorKind::Damaged);
  return static_cast<uint64_t>(index);
}

namespace {

// Whether `bytes` of output from an entry of `compressed` bytes is a suspicious expansion.
bool RatioTooHigh(uint64_t bytes, uint64_t compressed) {
  return bytes > kRatioExemptBytes &&
         bytes / (compressed ? compressed : 1) > kMaxCompressionRatio;
}

// Refuses an entry on its declared sizes, before anything is inflated.
void CheckDeclared(const std::string& entry, const zip_stat_t& st, uint64_t maxBytes,
                   uint64_t totalRead) {
  const uint64_t declared = st.size;
  if (declared > maxBytes)
    throw GridError("part " + entry + " is too large (" + std::to_string(declared) +
                    " bytes uncompressed, the limit is " + std::to_string(maxBytes) + ")", ErrorKind::OverLimit);
  if (totalRead + declared > kMaxArchiveBytes)
    throw GridError("the archive expands to more than " + std::to_string(kMaxArchiveBytes) +
                    " bytes", ErrorKind::OverLimit);
  if (RatioTooHigh(declared, st.comp_size))
    throw GridError("part " + entry + " expands suspiciously (compression ratio over " +
                    std::to_string(kMaxCompressionRatio) + ")", ErrorKind::OverLimit);
}

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

void ZipReader::Stream(std::string_view name, uint64_t maxBytes,
                       const std::function<void(const char*, size_t)>& sink) {
  const std::string entry(name);
  zip_stat_t st;
  const uint64_t index = CheckedEntry(entry, &st);
  CheckDeclared(entry, st, maxBytes, totalRead_);
  const uint64_t declared = st.size;
  auto ratioTooHigh = [&](uint64_t bytes) { return RatioTooHigh(bytes, st.comp_size); };

  std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive_, index, 0));
  if (!file)
    throw GridError("part " + entry + " cannot be read (" + zip_strerror(archive_) + ")",
                    ErrorKind::Damaged);
  std::optional<Inflater> ahead;
  try {
    if (declared >= kThreadedBytes) ahead.emplace(file.get());
  } catch (const std::system_error&) {
    ahead.reset();  // no thread to be had: inflate on this one
  }
  std::vector<char> buffer(ahead ? 0 : kChunkBytes);
  uint64_t count = 0;
  for (;;) {
    const char* data = buffer.data();
    zip_int64_t n = ahead ? ahead->Next(&data) : zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0)
      throw GridError("part " + entry + " is damaged (" +
                          zip_error_strerror(zip_file_get_error(file.get())) + ")",
                      ErrorKind::Damaged);
    if (n == 0) break;
    count += static_cast<uint64_t>(n);
    // Count again while inflating: the declared size may lie.
    if (count > declared || count > maxBytes || ratioTooHigh(count))
      throw GridError("part " + entry + " expands past its declared size", ErrorKind::Damaged);
    sink(data, static_cast<size_t>(n));
  }
  if (count != declared) throw GridError("part " + entry + " is truncated", ErrorKind::Damaged);
  totalRead_ += count;
}

bool ZipReader::InflateWhole(uint64_t index, const zip_stat_t& st, InflatedPart& out) {
  if (!(st.valid & ZIP_STAT_COMP_METHOD) || !(st.valid & ZIP_STAT_CRC) ||
      ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) ||
      (st.comp_method != ZIP_CM_DEFLATE && st.comp_method != ZIP_CM_STORE) || st.size == 0)
    return false;
  // The stored bytes as they are in the archive, read in one go.
  std::unique_ptr<zip_file_t, ZipFileCloser> file(
      zip_fopen_index(archive_, index, ZIP_FL_COMPRESSED));
  if (!file) return false;
  const bool stored = st.comp_method == ZIP_CM_STORE;
  if (stored && st.comp_size != st.size) return false;
  std::unique_ptr<char[]> compressed(stored ? nullptr : new char[st.comp_size ? st.comp_size : 1]);
  char* into = stored ? out.data() : compressed.get();
  uint64_t got = 0;
  while (got < st.comp_size) {
    const zip_int64_t n = zip_fread(file.get(), into + got, st.comp_size - got);
    if (n <= 0) return false;
    got += static_cast<uint64_t>(n);
  }
  if (!stored) {
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    if (!d) return false;
    // No actual-size argument: anything but exactly the declared size is a failure.
    if (libdeflate_deflate_decompress(d.get(), compressed.get(), st.comp_size, out.data(),
                                      st.size, nullptr) != LIBDEFLATE_SUCCESS)
      return false;
  }
  return libdeflate_crc32(0, out.data(), st.size) == st.crc;
}

InflatedPart ZipReader::Inflate(std::string_view name, uint64_t maxBytes) {
  const std::string entry(name);
  zip_stat_t st;
  const uint64_t index = CheckedEntry(entry, &st);
  CheckDeclared(entry, st, maxBytes, totalRead_);
  InflatedPart part(st.size);
  if (InflateWhole(index, st, part)) {
    totalRead_ += st.size;
    return part;
  }
  // The entry as Stream reads it, with its errors; the size checks there keep it within
  // the declared size.
  size_t at = 0;
  Stream(name, maxBytes, [&](const char* data, size_t size) {
    std::memcpy(part.data() + at, data, size);
    at += size;
  });
  return part;
}

void ZipReader::StreamAgain(std::string_view name, uint64_t maxBytes,
                            const std::function<void(const char*, size_t)>& sink) {
  const uint64_t before = totalRead_;
  totalRead_ -= std::min(totalRead_, DeclaredSize(name));
  try {
    Stream(name, maxBytes, sink);
  } catch (...) {
    totalRead_ = before;
    throw;
  }
  totalRead_ = before;
}

std::string ZipReader::Read(std::string_view name, uint64_t maxBytes) {
  std::string out;
  Stream(name, maxBytes, [&](const char* data, size_t size) { out.append(data, size); });
  return out;
}

}  // namespace ddt::grid::io
