// Delimited text (RFC 4180): fields separated by a comma, a semicolon or a tab (whichever
// the first records agree on), records by CRLF, CR or LF; double-quoted fields may hold
// separators, line breaks and doubled quotes. UTF-8 with or without a byte-order mark,
// UTF-16 with one, anything else as Windows-1252 (with a note). One sheet, named after the
// file's stem. An unquoted field is entered as if typed into its cell, as spreadsheets do:
// numbers become numbers, "=..." a formula; a formula that does not parse is kept as text,
// so no file is refused for its content. A quoted field is text as it stands: quotes are
// how a writer keeps "007" or a card number from becoming a number.
#include <cstdio>
#include <cstring>
#include <memory>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/csv/csv_dialect.h"
#include "grid/io/csv/text_encoding.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/limits.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "text/utf8.h"

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

std::string ReadAll(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file)
    throw GridError(std::string("cannot open the file (") + std::strerror(errno) + ")",
                    platform::KindOfOpenErrno(errno));
  std::string bytes;
  char buf[64 * 1024];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
    if (bytes.size() + n > kMaxCsvBytes)
      throw GridError("the file is larger than the limit for text files", ErrorKind::OverLimit);
    bytes.append(buf, n);
  }
  if (std::ferror(file.get()))
    throw GridError(std::string("cannot read the file (") + std::strerror(errno) + ")");
  return bytes;
}

class CsvBuilder {
 public:
  explicit CsvBuilder(Workbook& book) : book_(book), origin_(book.ReadOrigin()) {}

  void Char(char c) {
    if (field_.size() >= kMaxTextBytes) Fail("a field is longer than 32767 characters");
    field_ += c;
  }
  void Quoted() { quoted_ = true; }
  void EndField() {
    if (col_ >= kMaxCols) Fail("more than " + std::to_string(kMaxCols) + " fields in a record");
    ++col_;
    if (!field_.empty()) {
      if (row_ > kMaxRows)
        throw GridError("more than " + std::to_string(kMaxRows) + " records", ErrorKind::OverLimit);
      if (text::utf8::CountCharacters(field_) > static_cast<size_t>(kMaxCellTextLength))
        Fail("a field is longer than 32767 characters");
      Enter();
    }
    field_.clear();
    quoted_ = false;
  }
  void EndRecord() {
    EndField();
    ++row_;
    col_ = 0;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw GridError("record " + std::to_string(row_) + ": " + what, ErrorKind::OverLimit);
  }
  void Enter() {
    const int row = row_ - origin_;  // a read in place holds the first record at row 0
    if (quoted_) {
      // Text, kept as text however it reads, as a text cell of a workbook file is.
      book_.SetCellValue(1, row, col_, Value(field_));
      return;
    }
    try {
      book_.SetEntry(1, row, col_, field_);
    } catch (const GridError&) {
      // A field starting with "=" that is not a formula stays the text it is.
      book_.SetCellValue(1, row, col_, Value(field_));
      return;
    }
    // A formula names the file's rows; in place its references move with the cells.
    if (origin_ == 0) return;
    if (Cell* c = book_.SheetAt(1).FindMutable(row, col_); c && c->formula)
      c->formula = formula::Translated(*c->formula, -origin_);
  }

  Workbook& book_;
  const int origin_;
  std::string field_;
  bool quoted_ = false;  // the field began with a quote
  int row_ = 1;
  int col_ = 0;
};

void Parse(const std::string& text, char sep, CsvBuilder& out) {
  enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
  State state = State::FieldStart;
  bool any = false;  // something since the last record end
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // The same rule as the recognition of text files, over the whole text: a file that
    // changed after it was recognised (rewritten in place) must not be read as text.
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != 0x1B)
      throw GridError("the file is not text: it holds control characters", ErrorKind::NotAWorkbook);
    const bool lineBreak = c == '\n' || c == '\r';
    // CRLF ends one record: the LF is skipped with its CR.
    const auto endRecord = [&] {
      out.EndRecord();
      any = false;
      state = State::FieldStart;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    };
    switch (state) {
      case State::FieldStart:
        if (c == '"') {
          out.Quoted();
          state = State::Quoted;
          any = true;
          break;
        }
        [[fallthrough]];
      case State::Unquoted:
        if (c == sep) {
          out.EndField();
          state = State::FieldStart;
          any = true;
        } else if (lineBreak) {
          endRecord();
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
        } else if (c == sep) {
          out.EndField();
          state = State::FieldStart;
        } else if (lineBreak) {
          endRecord();
        } else {
          // Text after a closing quote: kept, as lenient readers do.
          out.Char(c);
          state = State::Unquoted;
        }
        break;
    }
  }
  // A last record without a line break; an unterminated quoted field keeps what it has.
  if (any) out.EndRecord();
}

}  // namespace

void ReadCsv(const std::string& path, Workbook& book, ReadReport& report) {
  DecodedText text = DecodeText(ReadAll(path));
  if (text.encoding == TextEncoding::Windows1252)
    report.notes.push_back(
        "the file is not UTF-8 text: it was read as Windows-1252; check characters such as "
        "accented letters, or save it as UTF-8");
  book.SetSheetName(1, Stem(path));
  CsvBuilder out(book);
  Parse(text.utf8, SniffSeparator(text.utf8), out);
  report.fileType = kFileTypeCsv;
}

}  // namespace ddt::grid::io
