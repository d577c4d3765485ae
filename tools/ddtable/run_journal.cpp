#include "run_journal.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace ddtcli {

namespace {

constexpr char kMagic[4] = {'D', 'D', 'R', 'J'};
constexpr char kHeaderKind = 'H';
constexpr char kRowKind = 'R';

void PutU64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutText(std::string& out, const std::string& text) {
  PutU64(out, text.size());
  out += text;
}

class Reader {
 public:
  explicit Reader(const std::string& data) : data_(data) {}
  bool U64(std::uint64_t& v) {
    if (data_.size() - at_ < 8) return false;
    v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(data_[at_ + i])) << (8 * i);
    at_ += 8;
    return true;
  }
  bool Long(long& v) {
    std::uint64_t u = 0;
    if (!U64(u)) return false;
    v = static_cast<long>(static_cast<std::int64_t>(u));
    return true;
  }
  bool Text(std::string& text) {
    std::uint64_t n = 0;
    if (!U64(n) || data_.size() - at_ < n) return false;
    text.assign(data_, at_, n);
    at_ += n;
    return true;
  }
  bool Done() const { return at_ == data_.size(); }

 private:
  const std::string& data_;
  std::size_t at_ = 0;
};

// kind, payload length, CRC-32 of the payload, payload.
std::string Frame(char kind, const std::string& payload) {
  std::string out(kMagic, sizeof kMagic);
  out += kind;
  PutU64(out, payload.size());
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(payload.data()), static_cast<uInt>(payload.size()));
  PutU64(out, crc);
  out += payload;
  return out;
}

std::string EncodeRow(const RowKey& key, const JournalRow& row) {
  const CommandOutcome& o = row.outcome;
  std::string p;
  PutU64(p, static_cast<std::uint64_t>(key.first));
  PutU64(p, static_cast<std::uint64_t>(key.second));
  PutU64(p, (o.started ? 1U : 0U) | (o.timedOut ? 2U : 0U));
  PutU64(p, static_cast<std::uint64_t>(static_cast<std::int64_t>(o.exitStatus)));
  PutU64(p, static_cast<std::uint64_t>(o.signal));
  std::uint64_t micros = static_cast<std::uint64_t>(o.seconds * 1e6);
  PutU64(p, micros);
  PutU64(p, o.outBytes);
  PutU64(p, o.errBytes);
  PutText(p, o.startError);
  PutText(p, o.out);
  PutText(p, o.err);
  PutText(p, row.outputFileText);
  PutText(p, row.outputFileProblem);
  return Frame(kRowKind, p);
}

bool DecodeRow(const std::string& payload, RowKey& key, JournalRow& row) {
  Reader in(payload);
  CommandOutcome& o = row.outcome;
  std::uint64_t flags = 0, signal = 0, micros = 0, outBytes = 0, errBytes = 0;
  long exitStatus = 0;
  if (!in.Long(key.first) || !in.Long(key.second) || !in.U64(flags) || !in.Long(exitStatus) ||
      !in.U64(signal) || !in.U64(micros) || !in.U64(outBytes) || !in.U64(errBytes) ||
      !in.Text(o.startError) || !in.Text(o.out) || !in.Text(o.err) || !in.Text(row.outputFileText) ||
      !in.Text(row.outputFileProblem) || !in.Done())
    return false;
  o.finished = true;
  o.started = (flags & 1U) != 0;
  o.timedOut = (flags & 2U) != 0;
  o.exitStatus = static_cast<int>(exitStatus);
  o.signal = static_cast<int>(signal);
  o.seconds = static_cast<double>(micros) / 1e6;
  o.outBytes = outBytes;
  o.errBytes = errBytes;
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string RunJournalPath(const std::string& resultsPath) { return resultsPath + ".run-journal"; }

OutcomeJournal::OutcomeJournal(std::string path, std::string identity)
    : path_(std::move(path)), identity_(std::move(identity)) {}

OutcomeJournal::~OutcomeJournal() {
  if (fd_ >= 0) ::close(fd_);
}

std::map<RowKey, JournalRow> OutcomeJournal::Recover(bool& foreign) const {
  foreign = false;
  std::map<RowKey, JournalRow> rows;
  std::ifstream file(path_, std::ios::binary);
  if (!file) return rows;
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::size_t at = 0;
  bool identified = false;
  while (data.size() - at >= sizeof kMagic + 1 + 16) {
    if (std::memcmp(data.data() + at, kMagic, sizeof kMagic) != 0) break;
    const char kind = data[at + sizeof kMagic];
    std::string head = data.substr(at + sizeof kMagic + 1, 16);
    Reader lengths(head);
    std::uint64_t size = 0, crc = 0;
    lengths.U64(size);
    lengths.U64(crc);
    const std::size_t start = at + sizeof kMagic + 1 + 16;
    if (data.size() - start < size) break;  // torn at the end
    const std::string payload = data.substr(start, size);
    if (crc32(0L, reinterpret_cast<const Bytef*>(payload.data()), static_cast<uInt>(payload.size())) != crc) break;
    at = start + size;
    if (!identified) {
      if (kind != kHeaderKind) break;
      if (payload != identity_) {
        foreign = true;
        return {};
      }
      identified = true;
      continue;
    }
    RowKey key;
    JournalRow row;
    if (kind != kRowKind || !DecodeRow(payload, key, row)) break;
    rows[key] = std::move(row);
  }
  return rows;
}

bool OutcomeJournal::Start(const std::map<RowKey, JournalRow>& carried, std::string& problem) {
  if (fd_ >= 0) ::close(fd_);
  const std::string temporary = path_ + ".new";
  fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    problem = std::strerror(errno);
    return false;
  }
  std::string data = Frame(kHeaderKind, identity_);
  for (const auto& [key, row] : carried) data += EncodeRow(key, row);
  // The carried rows replace the old journal in one rename, so a kill now loses none.
  if (!WriteAll(fd_, data) || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    problem = std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool OutcomeJournal::Append(const RowKey& key, const JournalRow& row) {
  if (fd_ < 0) return false;
  if (WriteAll(fd_, EncodeRow(key, row))) return true;
  ::close(fd_);
  fd_ = -1;
  return false;
}

void OutcomeJournal::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
}

}  // namespace ddtcli
