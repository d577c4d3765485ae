#include "grid/io/zip/zip_writer.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <limits>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "grid/grid_error.h"

namespace ddt::grid::io {

namespace {

constexpr size_t kOutBytes = 256 * 1024;
constexpr size_t kInBytes = 256 * 1024;
constexpr uint32_t kLocalSig = 0x04034b50, kDescriptorSig = 0x08074b50,
                   kCentralSig = 0x02014b50, kEndSig = 0x06054b50;
constexpr uint16_t kUtf8Name = 0x0800, kHasDescriptor = 0x0008, kEncrypted = 0x0001;
constexpr uint16_t kVersion = 20;  // 2.0: deflate, folders
// Without the 64-bit extensions, sizes and offsets are 32 bits and entries 16 bits.
constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
constexpr size_t kMaxEntries = std::numeric_limits<uint16_t>::max();

void Le16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}
void Le32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

[[noreturn]] void Fail(const std::string& what) {
  throw GridError("cannot build the archive (" + what + ")");
}

uint32_t Narrow(uint64_t v) {
  if (v > kMax32) Fail("an archive larger than 4 GB cannot be written");
  return static_cast<uint32_t>(v);
}

}  // namespace

struct ZipWriter::Stream {
  z_stream z{};
  bool ready = false;
  ~Stream() {
    if (ready) deflateEnd(&z);
  }
};

ZipWriter::ZipWriter(Sink sink, int level) : sink_(std::move(sink)), level_(level) {
  // Entries carry the time of the save, as the local clock reads it (DOS date and time).
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) && local.tm_year >= 80) {
    time_ = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    date_ = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                  local.tm_mday);
  } else {
    date_ = (1 << 5) | 1;  // 1980-01-01
  }
}

// The worker deflates one buffer while the caller fills the next: making the XML and
// deflating it then take about the time of the slower of the two, not their sum. The
// caller's thread writes headers only while the worker is idle (Sync), so the sink sees one
// writer at a time.
struct ZipWriter::Worker {
  std::thread thread;
  std::mutex m;
  std::condition_variable cv;
  std::vector<char> job;  // waiting to be deflated
  bool hasJob = false, finishJob = false, busy = false, stop = false;
  std::vector<std::vector<char>> spare;
  std::exception_ptr error;
};

ZipWriter::~ZipWriter() {
  if (!worker_) return;
  {
    std::lock_guard lock(worker_->m);
    worker_->stop = true;
    worker_->hasJob = false;  // an abandoned archive: what is waiting is dropped
  }
  worker_->cv.notify_all();
  worker_->thread.join();
}

void ZipWriter::Put(const void* data, size_t size) {
  if (size == 0) return;
  sink_(static_cast<const char*>(data), size);
  written_ += size;
}

void ZipWriter::CheckEntry(const std::string& name) {
  if (open_ || finished_) Fail("entries overlap");
  if (name.empty() || name.size() > 0xffff) Fail("bad part name");
  if (written_ > kMax32) Fail("an archive larger than 4 GB cannot be written");
  if (entries_.size() >= kMaxEntries) Fail("too many parts");
  // Two entries of one name: readers would take either.
  if (!names_.insert(name).second) Fail("the part " + name + " is written twice");
}

void ZipWriter::LocalHeader(const Entry& e) {
  std::string h;
  Le32(h, kLocalSig);
  Le16(h, kVersion);
  Le16(h, e.flags);
  Le16(h, e.method);
  Le16(h, time_);
  Le16(h, date_);
  const bool later = e.flags & kHasDescriptor;
  Le32(h, later ? 0 : e.crc);
  Le32(h, later ? 0 : Narrow(e.compressed));
  Le32(h, later ? 0 : Narrow(e.size));
  Le16(h, static_cast<uint16_t>(e.name.size()));
  Le16(h, 0);
  h += e.name;
  Put(h.data(), h.size());
}

void ZipWriter::Begin(const std::string& name) {
  Sync();
  CheckEntry(name);
  Entry e;
  e.name = name;
  e.flags = kUtf8Name | kHasDescriptor;
  e.method = ZIP_CM_DEFLATE;
  e.offset = written_;
  e.crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  LocalHeader(e);
  entries_.push_back(std::move(e));
  if (!stream_) stream_ = std::make_unique<Stream>();
  if (!stream_->ready) {
    if (deflateInit2(&stream_->z, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      Fail("out of memory");
    stream_->ready = true;
  } else if (deflateReset(&stream_->z) != Z_OK) {
    Fail("compression failed");
  }
  out_.resize(kOutBytes);
  open_ = true;
}

void ZipWriter::Deflate(const char* data, size_t size, bool finish) {
  z_stream& z = stream_->z;
  Entry& e = entries_.back();
  e.crc = static_cast<uint32_t>(crc32_z(e.crc, reinterpret_cast<const Bytef*>(data), size));
  e.size += size;
  // zlib counts in 32 bits: feed at most 1 GB a call.
  constexpr size_t kPiece = size_t{1} << 30;
  do {
    const size_t piece = size < kPiece ? size : kPiece;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(piece);
    const bool last = finish && piece == size;
    int status;
    do {
      z.next_out = out_.data();
      z.avail_out = static_cast<uInt>(out_.size());
      status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      if (status == Z_STREAM_ERROR) Fail("compression failed");
      const size_t n = out_.size() - z.avail_out;
      Put(out_.data(), n);
      e.compressed += n;
    } while (z.avail_out == 0 || (last && status != Z_STREAM_END));
    data += piece;
    size -= piece;
  } while (size > 0);
}

void ZipWriter::Run(Worker& w) {
  std::unique_lock lock(w.m);
  for (;;) {
    w.cv.wait(lock, [&] { return w.hasJob || w.stop; });
    if (!w.hasJob) return;
    std::vector<char> data = std::move(w.job);
    const bool finish = w.finishJob;
    w.hasJob = false;
    w.busy = true;
    const bool failed = static_cast<bool>(w.error);
    lock.unlock();
    std::exception_ptr error;
    if (!failed) {
      try {
        Deflate(data.data(), data.size(), finish);
      } catch (...) {
        error = std::current_exception();
      }
    }
    lock.lock();
    if (error && !w.error) w.error = error;
    data.clear();
    w.spare.push_back(std::move(data));
    w.busy = false;
    w.cv.notify_all();
  }
}

void ZipWriter::Submit(bool finish) {
  if (!worker_ && !threadless_) {
    worker_ = std::make_unique<Worker>();
    try {
      worker_->thread = std::thread([this, w = worker_.get()] { Run(*w); });
    } catch (const std::system_error&) {
      worker_.reset();
      threadless_ = true;  // no thread to be had: deflate on this one
    }
  }
  if (threadless_) {
    Deflate(in_.data(), in_.size(), finish);
    in_.clear();
    return;
  }
  Worker& w = *worker_;
  std::unique_lock lock(w.m);
  w.cv.wait(lock, [&] { return !w.hasJob; });
  if (w.error) std::rethrow_exception(w.error);
  w.job = std::move(in_);
  w.hasJob = true;
  w.finishJob = finish;
  if (!w.spare.empty()) {
    in_ = std::move(w.spare.back());
    w.spare.pop_back();
  } else {
    in_ = std::vector<char>();
  }
  w.cv.notify_all();
  lock.unlock();
  in_.reserve(kInBytes);
  handedOn_ = true;
}

void ZipWriter::Sync() {
  if (!worker_) return;
  Worker& w = *worker_;
  std::unique_lock lock(w.m);
  w.cv.wait(lock, [&] { return !w.hasJob && !w.busy; });
  if (w.error) std::rethrow_exception(w.error);
}

void ZipWriter::Write(std::string_view data) {
  if (!open_) Fail("no entry is open");
  while (!data.empty()) {
    if (in_.capacity() < kInBytes) in_.reserve(kInBytes);
    const size_t n = std::min(data.size(), kInBytes - in_.size());
    in_.insert(in_.end(), data.data(), data.data() + n);
    data.remove_prefix(n);
    if (in_.size() == kInBytes) Submit(false);
  }
}

void ZipWriter::End() {
  if (!open_) Fail("no entry is open");
  open_ = false;
  if (handedOn_) {
    Submit(true);
    Sync();
  } else {
    Deflate(in_.data(), in_.size(), true);  // a small part: not worth a hand-over
  }
  in_.clear();
  handedOn_ = false;
  const Entry& e = entries_.back();
  std::string d;
  Le32(d, kDescriptorSig);
  Le32(d, e.crc);
  Le32(d, Narrow(e.compressed));
  Le32(d, Narrow(e.size));
  Put(d.data(), d.size());
}

void ZipWriter::Add(const std::string& name, std::string_view content) {
  Begin(name);
  Write(content);
  End();
}

void ZipWriter::AddCopied(const std::string& name, zip* from, uint64_t index) {
  CheckEntry(name);
  zip_stat_t st;
  zip_stat_init(&st);
  const zip_uint64_t need = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                            ZIP_STAT_COMP_METHOD;
  if (zip_stat_index(from, index, 0, &st) != 0 || (st.valid & need) != need)
    Fail("a kept part cannot be read");
  Entry e;
  e.name = name;
  e.flags = kUtf8Name;
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
    e.flags |= kEncrypted;
  e.method = st.comp_method;
  e.crc = st.crc;
  e.compressed = st.comp_size;
  e.size = st.size;
  e.offset = written_;
  LocalHeader(e);
  zip_file_t* f = zip_fopen_index(from, index, ZIP_FL_COMPRESSED);
  if (!f) Fail("a kept part cannot be read");
  std::vector<char> buffer(kOutBytes);
  uint64_t copied = 0;
  for (;;) {
    const zip_int64_t n = zip_fread(f, buffer.data(), buffer.size());
    if (n < 0) {
      zip_fclose(f);
      Fail("a kept part cannot be read");
    }
    if (n == 0) break;
    Put(buffer.data(), static_cast<size_t>(n));
    copied += static_cast<uint64_t>(n);
  }
  zip_fclose(f);
  if (copied != e.compressed) Fail("a kept part is truncated");
  entries_.push_back(std::move(e));
}

void ZipWriter::Finish() {
  if (open_ || finished_) Fail("an entry is still open");
  const uint64_t start = written_;
  std::string cd;
  for (const Entry& e : entries_) {
    cd.clear();
    Le32(cd, kCentralSig);
    Le16(cd, kVersion);  // made by: MS-DOS attributes, version 2.0
    Le16(cd, kVersion);
    Le16(cd, e.flags);
    Le16(cd, e.method);
    Le16(cd, time_);
    Le16(cd, date_);
    Le32(cd, e.crc);
    Le32(cd, Narrow(e.compressed));
    Le32(cd, Narrow(e.size));
    Le16(cd, static_cast<uint16_t>(e.name.size()));
    Le16(cd, 0);  // extra field
    Le16(cd, 0);  // comment
    Le16(cd, 0);  // disk
    Le16(cd, 0);  // internal attributes
    Le32(cd, 0);  // external attributes
    Le32(cd, Narrow(e.offset));
    cd += e.name;
    Put(cd.data(), cd.size());
  }
  std::string end;
  Le32(end, kEndSig);
  Le16(end, 0);
  Le16(end, 0);
  Le16(end, static_cast<uint16_t>(entries_.size()));
  Le16(end, static_cast<uint16_t>(entries_.size()));
  Le32(end, Narrow(written_ - start));
  Le32(end, Narrow(start));
  Le16(end, 0);
  Put(end.data(), end.size());
  finished_ = true;
}

}  // namespace ddt::grid::io
