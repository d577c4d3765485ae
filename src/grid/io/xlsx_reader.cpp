// .xlsx / .xlsm: the package's relationships lead to the workbook part, which lists the
// sheets in order with their names; the workbook's relationships lead to the sheet parts, the
// shared strings and the styles. Everything else in the package is ignored.
#include <charconv>

#include "grid/grid_error.h"
#include "grid/io/io_limits.h"
#include "grid/io/opc_package.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx_parts.h"
#include "grid/io/xml_reader.h"
#include "grid/io/zip_reader.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

struct SheetEntry {
  std::string name;
  std::string relId;
};

class WorkbookHandler : public XmlHandler {
 public:
  void StartElement(std::string_view name, const char** attrs) override {
    if (name == "sheet") {
      if (sheets.size() >= static_cast<size_t>(kMaxSheets))
        throw GridError("the workbook lists more than " + std::to_string(kMaxSheets) +
                        " sheets");
      const char* n = Attr(attrs, "name");
      const char* id = Attr(attrs, "id");
      sheets.push_back({n ? n : "", id ? id : ""});
    } else if (name == "workbookPr") {
      const char* d = Attr(attrs, "date1904");
      date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    } else if (name == "workbookView" && !sawView_) {
      sawView_ = true;
      if (const char* t = Attr(attrs, "activeTab")) {
        std::string_view s(t);
        std::from_chars(s.data(), s.data() + s.size(), activeTab);
      }
    }
  }
  void EndElement(std::string_view) override {}

  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  int activeTab = 0;

 private:
  bool sawView_ = false;
};

const Relationship* FindById(const std::vector<Relationship>& rels, std::string_view id) {
  for (const auto& r : rels)
    if (r.id == id) return &r;
  return nullptr;
}

const Relationship* FindByType(const std::vector<Relationship>& rels, std::string_view kind) {
  for (const auto& r : rels)
    if (!r.external && TypeIs(r.type, kind)) return &r;
  return nullptr;
}

}  // namespace

void ReadXlsx(const std::string& path, Workbook& book, ReadReport& report) {
  ZipReader zip(path);

  std::string workbookPart;
  const std::vector<Relationship> packageRels = ReadRelationships(zip, "");
  if (const Relationship* rel = FindByType(packageRels, "officeDocument"))
    workbookPart = rel->target;
  else if (zip.Has("xl/workbook.xml"))
    workbookPart = "xl/workbook.xml";
  else
    throw GridError("the archive is not a workbook (it has no workbook part)");
  if (!zip.Has(workbookPart))
    throw GridError("the workbook part " + workbookPart + " is missing");

  WorkbookHandler wb;
  ParseXmlPart(zip, workbookPart, kMaxSmallPartBytes, wb);
  if (wb.sheets.empty()) throw GridError("the workbook has no sheets");
  const std::vector<Relationship> rels = ReadRelationships(zip, workbookPart);

  book.SetDate1904(wb.date1904);
  // Every sheet exists with its name before any formula is parsed, so that references to
  // later sheets resolve.
  book.SetSheetCount(static_cast<int>(wb.sheets.size()));
  for (size_t i = 0; i < wb.sheets.size(); ++i)
    book.SetSheetName(static_cast<int>(i + 1), wb.sheets[i].name);

  std::vector<std::string> sharedStrings;
  if (const Relationship* rel = FindByType(rels, "sharedStrings"); rel && zip.Has(rel->target))
    sharedStrings = ReadSharedStringsPart(zip, rel->target);

  CellFormats formats;
  if (const Relationship* rel = FindByType(rels, "styles"); rel && zip.Has(rel->target))
    formats = ReadStylesPart(zip, rel->target);
  std::vector<StyleId> styleIds;
  styleIds.reserve(formats.xfs.size());
  for (const Style& style : formats.xfs) styleIds.push_back(book.Styles().Intern(style));

  for (size_t i = 0; i < wb.sheets.size(); ++i) {
    const SheetEntry& entry = wb.sheets[i];
    const Relationship* rel = FindById(rels, entry.relId);
    if (!rel || rel->external)
      throw GridError("sheet '" + entry.name + "' has no part in the package");
    // Chart sheets and other kinds of sheet keep their place and name, with no cells.
    if (!TypeIs(rel->type, "worksheet")) continue;
    if (!zip.Has(rel->target))
      throw GridError("the part " + rel->target + " of sheet '" + entry.name + "' is missing");
    SheetContext ctx{book,      static_cast<int>(i + 1), entry.name, sharedStrings,
                     styleIds,  formats.quotePrefix,     report};
    ReadWorksheetPart(zip, rel->target, ctx);
  }
  if (wb.activeTab >= 0 && static_cast<size_t>(wb.activeTab) < wb.sheets.size())
    book.SetCurrentSheet(wb.activeTab + 1);
  report.fileType = 11;
}

}  // namespace ddt::grid::io
