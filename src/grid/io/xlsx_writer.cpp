// .xlsx as written: the package (content types, relationships), the workbook part with the
// sheets in order under their names as they stand, one part per sheet, the shared strings
// and the styles. The archive is built in memory, then written atomically.
#include <zip.h>

#include <memory>

#include "grid/grid_error.h"
#include "grid/io/atomic_file.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx_names.h"
#include "grid/io/xlsx_parts.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

// Deflate level: 6 is zlib's balance of speed and size (libzip would otherwise use 9).
constexpr zip_uint32_t kDeflateLevel = 6;

constexpr const char* kXmlHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPackageRelNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";

std::string SheetPart(int i) { return "xl/worksheets/sheet" + std::to_string(i) + ".xml"; }

std::string ContentTypesXml(int sheets) {
  std::string out = kXmlHeader;
  out +=
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
  for (int i = 1; i <= sheets; ++i)
    out += "<Override PartName=\"/" + SheetPart(i) +
           "\" ContentType=\"application/"
           "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  out += "</Types>";
  return out;
}

std::string PackageRelsXml() {
  return std::string(kXmlHeader) + "<Relationships xmlns=\"" + kPackageRelNs +
         "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs +
         "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

std::string WorkbookXml(const Workbook& book) {
  std::string out = kXmlHeader;
  out += "<workbook xmlns=\"" + std::string(kMainNs) + "\" xmlns:r=\"" + kRelNs + "\">";
  out += book.Date1904() ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>";
  out += "<bookViews><workbookView activeTab=\"" + std::to_string(book.CurrentSheet() - 1) +
         "\"/></bookViews><sheets>";
  for (int i = 1; i <= book.SheetCount(); ++i) {
    out += "<sheet name=\"";
    AppendXmlText(book.SheetName(i), out);
    out += "\" sheetId=\"" + std::to_string(i) + "\" r:id=\"rId" + std::to_string(i) + "\"/>";
  }
  out += "</sheets></workbook>";
  return out;
}

std::string WorkbookRelsXml(int sheets) {
  std::string out = std::string(kXmlHeader) + "<Relationships xmlns=\"" + kPackageRelNs + "\">";
  for (int i = 1; i <= sheets; ++i)
    out += "<Relationship Id=\"rId" + std::to_string(i) + "\" Type=\"" + kRelNs +
           "/worksheet\" Target=\"worksheets/sheet" + std::to_string(i) + ".xml\"/>";
  out += "<Relationship Id=\"rId" + std::to_string(sheets + 1) + "\" Type=\"" + kRelNs +
         "/styles\" Target=\"styles.xml\"/>";
  out += "<Relationship Id=\"rId" + std::to_string(sheets + 2) + "\" Type=\"" + kRelNs +
         "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
  out += "</Relationships>";
  return out;
}

struct SourceFree {
  void operator()(zip_source_t* s) const { zip_source_free(s); }
};

// Builds a zip archive in memory from (name, content) parts.
class ZipBuilder {
 public:
  ZipBuilder() {
    zip_error_t error;
    zip_error_init(&error);
    buffer_.reset(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer_) Fail(zip_error_strerror(&error));
    zip_source_keep(buffer_.get());
    archive_ = zip_open_from_source(buffer_.get(), ZIP_TRUNCATE, &error);
    if (!archive_) {
      zip_source_free(buffer_.get());  // the reference the archive did not take
      Fail(zip_error_strerror(&error));
    }
  }
  ~ZipBuilder() {
    if (archive_) zip_discard(archive_);
  }

  void Add(const std::string& name, std::string content) {
    parts_.push_back(std::make_unique<std::string>(std::move(content)));
    const std::string& data = *parts_.back();
    zip_source_t* src = zip_source_buffer(archive_, data.data(), data.size(), 0);
    if (!src) Fail(zip_strerror(archive_));
    zip_int64_t index = zip_file_add(archive_, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(src);
      Fail(zip_strerror(archive_));
    }
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                             kDeflateLevel);
  }

  std::string Finish() {
    if (zip_close(archive_) != 0) Fail(zip_strerror(archive_));
    archive_ = nullptr;
    parts_.clear();
    zip_source_t* src = buffer_.get();
    zip_stat_t st;
    if (zip_source_open(src) != 0 || zip_source_stat(src, &st) != 0)
      Fail(zip_error_strerror(zip_source_error(src)));
    std::string bytes(st.size, '\0');
    zip_int64_t n = zip_source_read(src, bytes.data(), bytes.size());
    zip_source_close(src);
    if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) Fail("cannot read back the archive");
    return bytes;
  }

 private:
  [[noreturn]] static void Fail(const std::string& what) {
    throw GridError("cannot build the archive (" + what + ")");
  }
  std::unique_ptr<zip_source_t, SourceFree> buffer_;
  zip_t* archive_ = nullptr;
  std::vector<std::unique_ptr<std::string>> parts_;
};

}  // namespace

std::string XlsxBytes(const Workbook& book) {
  // Formulas whose result is stale are computed first, so that the file carries results.
  // Evaluation only fills the cells' cached results.
  Workbook& mutableBook = const_cast<Workbook&>(book);
  for (int i = 1; i <= book.SheetCount(); ++i) {
    std::vector<std::pair<int, int>> stale;
    for (const Sheet::RowEntry& row : book.SheetAt(i).Rows())
      for (const Sheet::CellEntry& c : row.cells)
        if (c.cell.formula && c.cell.dirty) stale.emplace_back(row.row, c.col);
    for (auto [r, c] : stale) mutableBook.GetCellValue(i, r, c);
  }

  const int sheets = book.SheetCount();
  ZipBuilder zip;
  zip.Add("[Content_Types].xml", ContentTypesXml(sheets));
  zip.Add("_rels/.rels", PackageRelsXml());
  zip.Add("xl/workbook.xml", WorkbookXml(book));
  zip.Add("xl/_rels/workbook.xml.rels", WorkbookRelsXml(sheets));
  StylesOut styles(book.Styles());
  SharedStringsOut strings;
  for (int i = 1; i <= sheets; ++i)
    zip.Add(SheetPart(i), WorksheetXml(book, i, i == book.CurrentSheet(), styles, strings));
  zip.Add("xl/sharedStrings.xml", strings.Xml());
  zip.Add("xl/styles.xml", styles.Xml(book.DefaultFontFace(), book.DefaultFontSize()));
  return zip.Finish();
}

void WriteXlsxFile(const Workbook& book, const std::string& path) {
  try {
    ReplaceFileAtomically(path, XlsxBytes(book));
  } catch (const GridError& e) {
    throw GridError("Cannot save \"" + path + "\": " + e.what());
  } catch (const std::bad_alloc&) {
    throw GridError("Cannot save \"" + path + "\": out of memory");
  }
}

}  // namespace ddt::grid::io
