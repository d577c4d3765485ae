#include "grid/io/xlsx/xml_pipeline.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"

namespace ddt::grid::io {

namespace {

// A batch is handed over once it holds this much; a few batches wait at most.
constexpr size_t kBatchBytes = 256 * 1024;
constexpr size_t kBatchesAhead = 4;

// Recorded events, one after another:
//   'S' qname \0 (name \0 value \0)* \0     a start tag (XML names are never empty)
//   'E' qname \0                             an end tag
//   'T' size(4 bytes) bytes                  character data
// XML text holds no zero byte, so names and values end at theirs.
using Batch = std::string;

// Thrown on the parsing thread when the caller has stopped reading.
struct Abandoned {};

class Pipeline {
 public:
  Pipeline(ZipReader& zip, std::string_view part, uint64_t maxBytes)
      : zip_(zip), part_(part), maxBytes_(maxBytes) {}

  // Throws std::system_error when no thread can be had (before anything is parsed).
  void Start() { thread_ = std::thread([this] { Produce(); }); }

  ~Pipeline() {
    {
      std::lock_guard lock(m_);
      abandoned_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void ReplayInto(XmlHandler& handler) {
    std::vector<const char*> attrs;
    for (;;) {
      Batch batch;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return !ready_.empty() || done_; });
        if (ready_.empty()) break;
        batch = std::move(ready_.front());
        ready_.pop_front();
      }
      cv_.notify_all();
      Replay(batch, handler, attrs);
      batch.clear();
      std::lock_guard lock(m_);
      spare_.push_back(std::move(batch));
    }
    thread_.join();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  // Records what expat reports; text is always wanted, since only the replaying handler
  // knows whether it wants it.
  class Recorder : public XmlHandler {
   public:
    explicit Recorder(Pipeline& owner) : owner_(owner) {
      SetWantText(true);
      batch_.reserve(kBatchBytes + 4096);
    }
    void StartElement(std::string_view, const char** attrs) override {
      batch_ += 'S';
      AppendZ(QName());
      for (; *attrs; attrs += 2) {
        AppendZ(attrs[0]);
        AppendZ(attrs[1]);
      }
      batch_ += '\0';
      MaybeHandOver();
    }
    void EndElement(std::string_view) override {
      batch_ += 'E';
      AppendZ(QName());
      MaybeHandOver();
    }
    void Text(const char* data, size_t size) override {
      const uint32_t n = static_cast<uint32_t>(size);
      batch_ += 'T';
      batch_.append(reinterpret_cast<const char*>(&n), sizeof n);
      batch_.append(data, size);
      MaybeHandOver();
    }
    void Flush() {
      if (!batch_.empty()) owner_.HandOver(batch_);
    }

   private:
    // Names and values are short: a byte loop beats measuring them first.
    void AppendZ(const char* s) {
      do batch_.push_back(*s);
      while (*s++);
    }
    void AppendZ(std::string_view s) {
      batch_ += s;
      batch_ += '\0';
    }
    void MaybeHandOver() {
      if (batch_.size() >= kBatchBytes) owner_.HandOver(batch_);
    }
    Pipeline& owner_;
    Batch batch_;
  };

  void Produce() {
    std::exception_ptr error;
    try {
      Recorder recorder(*this);
      try {
        XmlReader reader(recorder, "part " + std::string(part_));
        zip_.Stream(part_, maxBytes_,
                    [&](const char* data, size_t size) { reader.Feed(data, size); });
        reader.Finish();
      } catch (const Abandoned&) {
        throw;
      } catch (...) {
        // What was parsed before a fault still reaches the handler, as it would have.
        error = std::current_exception();
      }
      recorder.Flush();
    } catch (const Abandoned&) {
    } catch (...) {
      if (!error) error = std::current_exception();
    }
    {
      std::lock_guard lock(m_);
      error_ = error;
      done_ = true;
    }
    cv_.notify_all();
  }

  // Queues the batch and gives the recorder an empty one; waits while enough are queued.
  void HandOver(Batch& batch) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return abandoned_ || ready_.size() < kBatchesAhead; });
    if (abandoned_) throw Abandoned{};
    ready_.push_back(std::move(batch));
    if (!spare_.empty()) {
      batch = std::move(spare_.back());
      spare_.pop_back();
    } else {
      batch = Batch();
      batch.reserve(kBatchBytes + 4096);
    }
    lock.unlock();
    cv_.notify_all();
  }

  static const char* After(const char* p) {
    while (*p) ++p;
    return p + 1;
  }

  static void Replay(const Batch& batch, XmlHandler& handler, std::vector<const char*>& attrs) {
    const char* p = batch.data();
    const char* end = p + batch.size();
    while (p < end) {
      const char kind = *p++;
      if (kind == 'T') {
        uint32_t n = 0;
        std::memcpy(&n, p, sizeof n);
        p += sizeof n;
        if (handler.WantText()) handler.Text(p, n);
        p += n;
        continue;
      }
      const char* qname = p;
      p = After(p);
      if (kind == 'E') {
        DeliverEnd(handler, qname);
        continue;
      }
      attrs.clear();
      while (*p) {
        attrs.push_back(p);  // name
        p = After(p);
        attrs.push_back(p);  // value
        p = After(p);
      }
      ++p;
      attrs.push_back(nullptr);
      DeliverStart(handler, qname, attrs.data());
    }
  }

  ZipReader& zip_;
  std::string_view part_;
  uint64_t maxBytes_;
  std::thread thread_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Batch> ready_;
  std::vector<Batch> spare_;
  bool done_ = false, abandoned_ = false;
  std::exception_ptr error_;
};

}  // namespace

void ParseXmlPartPipelined(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                           XmlHandler& handler, uint64_t minPipelinedBytes) {
  // With one processor the two threads would only take turns.
  if (std::thread::hardware_concurrency() >= 2 && zip.DeclaredSize(part) >= minPipelinedBytes) {
    Pipeline pipeline(zip, part, maxBytes);
    bool started = true;
    try {
      pipeline.Start();
    } catch (const std::system_error&) {
      started = false;  // no thread to be had: parse on this one
    }
    if (started) return pipeline.ReplayInto(handler);
  }
  ParseXmlPart(zip, part, maxBytes, handler);
}

}  // namespace ddt::grid::io
