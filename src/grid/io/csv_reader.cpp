// Comma-separated text (RFC 4180): fields separated by commas, records by CRLF or LF,
// double-quoted fields may hold commas, line breaks and doubled quotes. UTF-8 with or
// without a byte-order mark. One sheet, named after the file's stem. Each field is entered
// as if typed into its cell, as spreadsheets do: numbers become numbers, "=..." a formula;
// a formula that does not parse is kept as text, so no file is refused for its content.
#include <cstdio>
#include <cstring>
#include <memory>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/io/io_limits.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx_names.h"
#include "grid/limits.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string Stem(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base.empty() ? std::string("Sheet1") : base;
}

class CsvBuilder {
 public:
  explicit CsvBuilder(Workbook& book) : book_(book) {}

  void Char(char c) {
    if (field_.size() >= kMaxTextBytes) Fail("a field is longer than 32767 characters");
    field_ += c;
  }
  void EndField() {
    if (col_ >= kMaxCols) Fail("more than " + std::to_string(kMaxCols) + " fields in a record");
    ++col_;
    if (!field_.empty()) {
      if (row_ > kMaxRows)
        throw GridError("more than " + std::to_string(kMaxRows) + " records");
      if (Utf8Length(field_) > static_cast<size_t>(kMaxCellTextLength))
        Fail("a field is longer than 32767 characters");
      Enter();
    }
    field_.clear();
  }
  void EndRecord() {
    EndField();
    ++row_;
    col_ = 0;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw GridError("record " + std::to_string(row_) + ": " + what);
  }
  void Enter() {
    try {
      book_.SetEntry(1, row_, col_, field_);
    } catch (const GridError&) {
      // A field starting with "=" that is not a formula stays the text it is.
      book_.SetCellValue(1, row_, col_, Value(field_));
    }
  }

  Workbook& book_;
  std::string field_;
  int row_ = 1;
  int col_ = 0;
};

}  // namespace

void ReadCsv(const std::string& path, Workbook& book, ReadReport& report) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw GridError(std::string("cannot open the file (") + std::strerror(errno) + ")");
  book.SetSheetName(1, Stem(path));
  CsvBuilder out(book);

  enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted, AfterCr };
  State state = State::FieldStart;
  bool any = false;  // something since the last record end
  uint64_t total = 0;
  char buf[64 * 1024];
  bool first = true;
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
    total += n;
    if (total > kMaxCsvBytes) throw GridError("the file is larger than the limit for text files");
    size_t i = 0;
    if (first) {
      first = false;
      if (n >= 3 && std::memcmp(buf, "\xEF\xBB\xBF", 3) == 0) i = 3;
    }
    for (; i < n; ++i) {
      const char c = buf[i];
      // The same rule as the recognition of text files, over the whole file: a file that
      // changed after it was recognised (rewritten in place) must not be read as text.
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != 0x1B)
        throw GridError("the file is not text: it holds control characters");
      if (state == State::AfterCr) {
        state = State::FieldStart;
        if (c == '\n') continue;  // CRLF ends one record
      }
      switch (state) {
        case State::FieldStart:
          if (c == '"') {
            state = State::Quoted;
            any = true;
            break;
          }
          [[fallthrough]];
        case State::Unquoted:
          if (c == ',') {
            out.EndField();
            state = State::FieldStart;
            any = true;
          } else if (c == '\n' || c == '\r') {
            out.EndRecord();
            any = false;
            state = c == '\r' ? State::AfterCr : State::FieldStart;
          } else {
            out.Char(c);
            state = State::Unquoted;
            any = true;
          }
          break;
        case State::Quoted:
          if (c == '"') state = State::QuoteInQuoted;
          else out.Char(c);
          break;
        case State::QuoteInQuoted:
          if (c == '"') {
            out.Char('"');
            state = State::Quoted;
          } else if (c == ',') {
            out.EndField();
            state = State::FieldStart;
          } else if (c == '\n' || c == '\r') {
            out.EndRecord();
            any = false;
            state = c == '\r' ? State::AfterCr : State::FieldStart;
          } else {
            // Text after a closing quote: kept, as lenient readers do.
            out.Char(c);
            state = State::Unquoted;
          }
          break;
        case State::AfterCr:
          break;
      }
    }
  }
  if (std::ferror(file.get()))
    throw GridError(std::string("cannot read the file (") + std::strerror(errno) + ")");
  // A last record without a line break; an unterminated quoted field keeps what it has.
  if (any) out.EndRecord();
  report.fileType = kFileTypeCsv;
}

}  // namespace ddt::grid::io
