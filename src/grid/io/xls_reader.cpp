// Legacy .xls (BIFF in an OLE2 compound file) through libfreexl: sheet names and order,
// numbers, text, dates and times (as serial numbers with a date format). libfreexl does not
// report formula cells, booleans or errors: those come from a walk over the workbook
// stream's records (biff_formulas.h), the formulas as their cached results.
#include <freexl.h>

#include <charconv>
#include <cstdio>
#include <memory>

#include "grid/grid_error.h"
#include "grid/io/biff_formulas.h"
#include "grid/io/ole2_reader.h"
#include "grid/io/file_type.h"
#include "grid/io/io_limits.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx_names.h"
#include "grid/limits.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

constexpr const char* kDateFormat = "yyyy-mm-dd";
constexpr const char* kDateTimeFormat = "yyyy-mm-dd hh:mm:ss";
constexpr const char* kTimeFormat = "hh:mm:ss";

std::string FreexlError(int code) {
  switch (code) {
    case FREEXL_FILE_NOT_FOUND: return "the file cannot be opened";
    case FREEXL_INSUFFICIENT_MEMORY: return "out of memory";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
      return "the .xls container is damaged (error " + std::to_string(code) + ")";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return "the file holds no workbook stream";
    case FREEXL_CRAFTED_FILE: return "the .xls file is severely damaged";
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER: return "the .xls file uses an unsupported character set";
    default: return "the .xls file cannot be read (error " + std::to_string(code) + ")";
  }
}

struct Handle {
  const void* h = nullptr;
  ~Handle() {
    if (h) freexl_close(h);
  }
};

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS" as a serial of the 1900 date system.
std::optional<double> DateTextToSerial(const char* text) {
  if (!text) return std::nullopt;
  std::string s(text);
  if (s.size() == 19 && s[10] == ' ') s[10] = 'T';
  return IsoDateToSerial(s, false);
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string ReadWholeFile(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw GridError("the file cannot be opened");
  std::string bytes;
  char buf[64 * 1024];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
    if (bytes.size() + n > kMaxXlsBytes) throw GridError("the .xls file is too large");
    bytes.append(buf, n);
  }
  if (std::ferror(file.get())) throw GridError("the file cannot be read");
  return bytes;
}

// Cached formula results, booleans and errors, into cells libfreexl left empty.
void AddBiffCells(const std::string& stream, Workbook& book) {
  std::vector<BiffSheetCells> sheets = ReadBiffFormulaResults(stream);
  if (static_cast<int>(sheets.size()) != book.SheetCount()) return;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const int sheet = static_cast<int>(i + 1);
    if (sheets[i].name != book.SheetName(sheet)) continue;
    for (BiffCell& c : sheets[i].cells) {
      const Cell* existing = book.FindCell(sheet, c.row, c.col);
      if (existing && !IsEmpty(existing->value)) continue;
      if (const std::string* t = std::get_if<std::string>(&c.value)) {
        if (t->empty()) continue;
        if (Utf8Length(*t) > static_cast<size_t>(kMaxCellTextLength))
          throw GridError("sheet '" + sheets[i].name + "': a text is longer than 32767 characters");
      }
      book.SetCellValue(sheet, c.row, c.col, std::move(c.value));
    }
  }
}

}  // namespace

void ReadXls(const std::string& path, Workbook& book, ReadReport& report) {
  // The container and the records are checked first: libfreexl trusts their lengths.
  const std::string file = ReadWholeFile(path);
  std::optional<std::string> stream = ReadCompoundStream(file, "Workbook");
  if (!stream) stream = ReadCompoundStream(file, "Book");  // BIFF5
  if (!stream) {
    // Password-protected .xlsx files come in this container too.
    if (ReadCompoundStream(file, "EncryptedPackage"))
      throw GridError("the workbook is encrypted (password-protected)");
    throw GridError("the file holds no workbook stream");
  }
  CheckBiffStructure(*stream);
  Handle handle;
  int rc = freexl_open(path.c_str(), &handle.h);
  if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
  unsigned int info = 0;
  if (freexl_get_info(handle.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
      info == FREEXL_BIFF_OBFUSCATED)
    throw GridError("the .xls file is password-protected");
  unsigned int sheets = 0;
  rc = freexl_get_info(handle.h, FREEXL_BIFF_SHEET_COUNT, &sheets);
  if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
  if (sheets == 0) throw GridError("the workbook has no sheets");
  if (sheets > static_cast<unsigned>(kMaxSheets)) throw GridError("the workbook has too many sheets");
  // libfreexl turns dates into text in the file's own date system; they are stored on the
  // 1900 system here, so the workbook keeps that system.
  book.SetSheetCount(static_cast<int>(sheets));
  auto formatStyle = [&](const char* code) {
    Style style;
    style.numberFormat = code;
    return book.Styles().Intern(style);
  };
  const StyleId dateStyles[3] = {formatStyle(kDateFormat), formatStyle(kDateTimeFormat),
                                 formatStyle(kTimeFormat)};

  for (unsigned s = 0; s < sheets; ++s) {
    const int sheet = static_cast<int>(s + 1);
    const char* name = nullptr;
    rc = freexl_get_worksheet_name(handle.h, static_cast<unsigned short>(s), &name);
    if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
    book.SetSheetName(sheet, name ? name : "");
    rc = freexl_select_active_worksheet(handle.h, static_cast<unsigned short>(s));
    if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
    unsigned int rows = 0;
    unsigned short cols = 0;
    rc = freexl_worksheet_dimensions(handle.h, &rows, &cols);
    if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
    if (rows > static_cast<unsigned>(kMaxRows) || cols > kMaxCols)
      throw GridError("sheet '" + std::string(name ? name : "") + "' is larger than the grid");
    for (unsigned r = 0; r < rows; ++r) {
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue cell;
        rc = freexl_get_cell_value(handle.h, r, c, &cell);
        if (rc != FREEXL_OK) throw GridError(FreexlError(rc));
        const int row = static_cast<int>(r + 1), col = c + 1;
        switch (cell.type) {
          case FREEXL_CELL_INT:
            book.SetCellValue(sheet, row, col, Value(static_cast<double>(cell.value.int_value)));
            break;
          case FREEXL_CELL_DOUBLE:
            book.SetCellValue(sheet, row, col, Value(cell.value.double_value));
            break;
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT: {
            std::string text = cell.value.text_value ? cell.value.text_value : "";
            if (Utf8Length(text) > static_cast<size_t>(kMaxCellTextLength))
              throw GridError("sheet '" + std::string(name ? name : "") +
                              "': a text is longer than 32767 characters");
            if (!text.empty()) book.SetCellValue(sheet, row, col, Value(std::move(text)));
            break;
          }
          case FREEXL_CELL_DATE:
          case FREEXL_CELL_DATETIME:
          case FREEXL_CELL_TIME: {
            auto serial = DateTextToSerial(cell.value.text_value);
            if (!serial) break;
            book.SetCellValue(sheet, row, col, Value(*serial));
            book.SetCellStyle(sheet, row, col, dateStyles[cell.type - FREEXL_CELL_DATE]);
            break;
          }
          default:
            break;
        }
      }
    }
  }
  AddBiffCells(*stream, book);
  report.fileType = kFileTypeXls;
}

}  // namespace ddt::grid::io
