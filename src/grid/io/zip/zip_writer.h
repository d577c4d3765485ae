// Writing a zip archive front to back, for a save that streams: each entry is deflated as
// its bytes arrive (on a second thread once a part is larger than one buffer) and handed on
// to a sink, so that no part (and not the archive) is ever held whole in memory. Entries written here carry their CRC and sizes in a data descriptor
// after the data; entries copied from another archive are copied compressed, as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace ddt::grid::io {

class ZipWriter {
 public:
  // Receives the archive's bytes in order.
  using Sink = std::function<void(const char* data, size_t size)>;

  // `level`: zlib's deflate level. 5 rather than zlib's default 6: on sheet XML it deflates
  // in half the time to within 0.3% of the size (W1's sheet, 68 MB: 8.81 MB in 0.66 s
  // against 8.79 MB in 1.34 s).
  explicit ZipWriter(Sink sink, int level = 5);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // One deflated entry: Begin, any number of Write, End.
  void Begin(const std::string& name);
  void Write(std::string_view data);
  void End();
  // A whole entry at once.
  void Add(const std::string& name, std::string_view content);
  // Entry `index` of an open archive, copied as it is stored there (nothing inflated).
  void AddCopied(const std::string& name, zip* from, uint64_t index);
  // Writes the central directory; no entry may follow.
  void Finish();

 private:
  struct Entry {
    std::string name;
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0;
    uint64_t compressed = 0, size = 0, offset = 0;
  };
  void Put(const void* data, size_t size);
  void LocalHeader(const Entry& e);
  // Adds the bytes to the open entry's CRC and size and deflates them into the sink.
  void Deflate(const char* data, size_t size, bool finish);
  // Refuses an entry that cannot start here (one open, too many, a name taken, past 4 GB).
  void CheckEntry(const std::string& name);
  // Hands the filled input buffer to the worker thread (started on first use).
  void Submit(bool finish);
  // Waits until the worker is idle; rethrows what it failed with.
  void Sync();
  struct Worker;
  void Run(Worker& w);  // the worker's loop

  Sink sink_;
  int level_;
  uint64_t written_ = 0;
  uint16_t time_ = 0, date_ = 0;
  std::vector<Entry> entries_;
  std::set<std::string> names_;
  bool open_ = false, finished_ = false;
  struct Stream;
  std::unique_ptr<Stream> stream_;  // zlib state of the open entry
  std::vector<unsigned char> out_;
  std::vector<char> in_;   // the open entry's bytes not yet deflated
  bool handedOn_ = false;  // part of the open entry went to the worker
  bool threadless_ = false;  // the worker thread could not be started
  std::unique_ptr<Worker> worker_;
};

}  // namespace ddt::grid::io
