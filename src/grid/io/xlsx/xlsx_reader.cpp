// .xlsx / .xlsm: the package's relationships lead to the workbook part, which lists the
// sheets in order with their names; the workbook's relationships lead to the sheet parts, the
// shared strings and the styles. Everything else in the package is kept for the next save
// (xlsx_extras.h): other parts as they are, the workbook part's other elements as XML.
#include <algorithm>
#include <charconv>
#include <set>

#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/kept_sheet_strings.h"
#include "grid/io/xlsx/opc_package.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xlsx_dynamic_arrays.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "text/ascii.h"

namespace ddt::grid::io {

namespace {

struct SheetEntry {
  std::string name;
  std::string relId;
  std::string state;
};

struct NameEntry {
  std::string attrs;
  int localSheet = -1;  // position in the file's sheet list
  std::string text;
};

std::string Lower(std::string_view s) { return text::LowerAsciiText(s); }

class ContentTypesHandler : public XmlHandler {
 public:
  explicit ContentTypesHandler(FileExtras& extras) : x_(extras) {}
  void StartElement(std::string_view name, const char** attrs) override {
    const char* type = Attr(attrs, "ContentType");
    if (!type) return;
    if (name == "Default") {
      if (const char* ext = Attr(attrs, "Extension")) x_.defaultTypes.emplace_back(ext, type);
    } else if (name == "Override") {
      if (const char* part = Attr(attrs, "PartName"))
        x_.overrideTypes[Lower(part[0] == '/' ? part + 1 : part)] = type;
    }
  }
  void EndElement(std::string_view) override {}

 private:
  FileExtras& x_;
};

class WorkbookHandler : public XmlHandler {
 public:
  void StartElement(std::string_view name, const char** attrs) override {
    ++depth_;
    if (depth_ == 1) {
      rootAttrs = AttrsText(attrs, [](std::string_view) { return false; });
      const std::string prefix = MainPrefix(attrs);
      if (!prefix.empty()) rootAttrs = WithDefaultNamespace(rootAttrs);
      capture_.DropPrefix(prefix);
      return;
    }
    if (capture_.Active()) {
      capture_.Start(QName(), attrs);
    } else if (depth_ == 2 && name != "sheets" && name != "definedNames") {
      capture_.Start(QName(), attrs);
      captureName_ = std::string(name);
      SetWantText(true);
    } else if (depth_ == 3 && name == "definedName") {
      NameEntry entry;
      entry.attrs = AttrsText(attrs, [](std::string_view a) { return a == "localSheetId"; });
      if (const char* local = Attr(attrs, "localSheetId")) {
        std::string_view s(local);
        std::from_chars(s.data(), s.data() + s.size(), entry.localSheet);
      }
      names.push_back(std::move(entry));
      inName_ = true;
      SetWantText(true);
    }
    if (name == "sheet") {
      if (sheets.size() >= static_cast<size_t>(kMaxSheets))
        throw GridError("the workbook lists more than " + std::to_string(kMaxSheets) + " sheets",
                        ErrorKind::OverLimit);
      const char* n = Attr(attrs, "name");
      const char* id = Attr(attrs, "id");
      const char* state = Attr(attrs, "state");
      sheets.push_back({n ? n : "", id ? id : "", state ? state : ""});
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
  void EndElement(std::string_view) override {
    --depth_;
    if (capture_.Active() && capture_.End(QName())) {
      elements.push_back({captureName_, capture_.Take()});
      SetWantText(false);
    } else if (inName_ && depth_ == 2) {
      inName_ = false;
      SetWantText(false);
    }
  }

  void Text(const char* data, size_t size) override {
    if (capture_.Active()) capture_.Text(data, size);
    else if (inName_ && names.back().text.size() < kMaxFormulaBytes) names.back().text.append(data, size);
  }

  std::vector<SheetEntry> sheets;
  bool date1904 = false;
  int activeTab = 0;
  std::string rootAttrs;
  std::vector<XmlFragment> elements;
  std::vector<NameEntry> names;

 private:
  bool sawView_ = false;
  int depth_ = 0;
  bool inName_ = false;
  XmlCapture capture_;
  std::string captureName_;
};

bool IsSheetRel(const Relationship& r) {
  // Excel's macro sheets relate by types of its own namespace (xlMacrosheet, and
  // xlIntlMacrosheet for international ones).
  return TypeIs(r.type, "worksheet") || TypeIs(r.type, "chartsheet") ||
         TypeIs(r.type, "dialogsheet") || TypeIs(r.type, "macrosheet") ||
         TypeIs(r.type, "xlMacrosheet") || TypeIs(r.type, "xlIntlMacrosheet");
}

// Whether the main namespace of a root element's attributes is the transitional one the
// writer uses; elements of other namespaces are not kept.
bool TransitionalRoot(const std::string& rootAttrs) {
  return rootAttrs.find("xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"") !=
         std::string::npos;
}

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

std::shared_ptr<XlsxSession> ReadXlsx(const std::string& path, Workbook& book,
                                      ReadReport& report) {
  ZipReader zip(path);

  std::string workbookPart;
  const std::vector<Relationship> packageRels = ReadRelationships(zip, "");
  if (const Relationship* rel = FindByType(packageRels, "officeDocument"))
    workbookPart = rel->target;
  else if (zip.Has("xl/workbook.xml"))
    workbookPart = "xl/workbook.xml";
  else
    throw GridError("the archive is not a workbook (it has no workbook part)",
                    ErrorKind::NotAWorkbook);
  if (!zip.Has(workbookPart))
    throw GridError("the workbook part " + workbookPart + " is missing", ErrorKind::Damaged);

  WorkbookHandler wb;
  ParseXmlPart(zip, workbookPart, kMaxSmallPartBytes, wb);
  if (wb.sheets.empty()) throw GridError("the workbook has no sheets", ErrorKind::Damaged);
  const std::vector<Relationship> rels = ReadRelationships(zip, workbookPart);

  // What the grid does not model is kept, unless the package uses another namespace than
  // the one the writer writes (strict files): then only the grid's content is saved.
  std::shared_ptr<FileExtras> extras;
  std::shared_ptr<XlsxSession> session;
  if (TransitionalRoot(wb.rootAttrs)) {
    extras = std::make_shared<FileExtras>();
    session = std::make_shared<XlsxSession>();
    if (zip.Has("[Content_Types].xml")) {
      ContentTypesHandler types(*extras);
      ParseXmlPart(zip, "[Content_Types].xml", kMaxSmallPartBytes, types);
    }
    auto type = extras->overrideTypes.find(Lower(workbookPart));
    if (type != extras->overrideTypes.end()) extras->workbookContentType = type->second;
    for (const Relationship& r : packageRels)
      if (!TypeIs(r.type, "officeDocument")) extras->packageRels.push_back(r);
    for (const Relationship& r : rels)
      if (!IsSheetRel(r) && !TypeIs(r.type, "styles") && !TypeIs(r.type, "sharedStrings") &&
          !TypeIs(r.type, "calcChain"))
        extras->workbookRels.push_back(r);
    extras->workbookRootAttrs = wb.rootAttrs;
    extras->workbookElements = std::move(wb.elements);
  }

  book.SetDate1904(wb.date1904);
  // Every sheet exists with its name before any formula is parsed, so that references to
  // later sheets resolve.
  book.SetSheetCount(static_cast<int>(wb.sheets.size()));
  for (size_t i = 0; i < wb.sheets.size(); ++i)
    book.SetSheetName(static_cast<int>(i + 1), wb.sheets[i].name);

  std::vector<SharedText> sharedStrings;
  if (const Relationship* rel = FindByType(rels, "sharedStrings"); rel && zip.Has(rel->target))
    sharedStrings = ReadSharedStringsPart(zip, rel->target);

  CellFormats formats;
  if (const Relationship* rel = FindByType(rels, "styles"); rel && zip.Has(rel->target)) {
    formats = ReadStylesPart(zip, rel->target, extras ? &extras->styles : nullptr);
    if (extras) extras->hasStyles = true;
  }
  std::vector<StyleId> styleIds;
  styleIds.reserve(formats.xfs.size());
  for (const Style& style : formats.xfs) styleIds.push_back(book.Styles().Intern(style));

  std::set<int64_t> dynamicArrayCells;
  if (const Relationship* rel = FindByType(rels, "sheetMetadata"); rel && zip.Has(rel->target))
    dynamicArrayCells = ReadDynamicArrayMetadata(zip, rel->target);

  // Parts the save writes itself; every other part is carried.
  std::set<std::string> rewritten{"[content_types].xml", "_rels/.rels", Lower(workbookPart),
                                  Lower(RelationshipsPartName(workbookPart))};
  for (const Relationship& r : rels)
    if (!r.external && (TypeIs(r.type, "styles") || TypeIs(r.type, "sharedStrings") ||
                        TypeIs(r.type, "calcChain")))
      rewritten.insert(Lower(r.target));

  for (size_t i = 0; i < wb.sheets.size(); ++i) {
    const SheetEntry& entry = wb.sheets[i];
    const Relationship* rel = FindById(rels, entry.relId);
    if (!rel || rel->external)
      throw GridError("sheet '" + entry.name + "' has no part in the package", ErrorKind::Damaged);
    std::shared_ptr<SheetExtras> sheetExtras;
    if (extras) {
      sheetExtras = std::make_shared<SheetExtras>();
      sheetExtras->originalName = entry.name;
      sheetExtras->state = entry.state;
      sheetExtras->partName = rel->target;
      session->SetSheet(book.SheetId(static_cast<int>(i + 1)), sheetExtras);
    }
    // Chart sheets and other kinds of sheet keep their place and name, with no cells; their
    // part is carried as it is.
    if (!TypeIs(rel->type, "worksheet")) {
      if (sheetExtras) {
        sheetExtras->otherPart = rel->target;
        sheetExtras->otherType = rel->type;
        if (!TypeIs(rel->type, "chartsheet") && !sharedStrings.empty() && zip.Has(rel->target)) {
          try {
            sheetExtras->otherPartText =
                InlineSharedStrings(zip.Read(rel->target, kMaxSmallPartBytes), sharedStrings);
          } catch (const GridError&) {
            // Too large or unreadable: carried as it is, as every part the save cannot parse.
          }
        }
      }
      continue;
    }
    if (!zip.Has(rel->target))
      throw GridError("the part " + rel->target + " of sheet '" + entry.name + "' is missing",
                      ErrorKind::Damaged);
    SheetContext ctx{book,      static_cast<int>(i + 1), entry.name, sharedStrings,
                     styleIds,  formats.quotePrefix,     report};
    if (!dynamicArrayCells.empty()) ctx.dynamicArrayCells = &dynamicArrayCells;
    if (sheetExtras) {
      ctx.extras = sheetExtras.get();
      sheetExtras->rels = ReadRelationships(zip, rel->target);
      rewritten.insert(Lower(rel->target));
      rewritten.insert(Lower(RelationshipsPartName(rel->target)));
    }
    ReadWorksheetPart(zip, rel->target, ctx);
    // A sheet whose elements are of another namespace keeps only what the grid models.
    if (sheetExtras && !TransitionalRoot(sheetExtras->rootAttrs)) {
      sheetExtras->rootAttrs.clear();
      sheetExtras->fragments.clear();
      sheetExtras->rels.clear();
      sheetExtras->valueMetadata.clear();
      book.SheetAt(static_cast<int>(i + 1)).rowFileAttrs.Clear();
      book.SheetAt(static_cast<int>(i + 1)).colFileAttrs.Clear();
      book.SheetAt(static_cast<int>(i + 1)).colFileWidths.Clear();
    }
  }

  if (extras) {
    for (const SheetEntry& e : wb.sheets) extras->sheetNames.push_back(e.name);
    for (const NameEntry& n : wb.names) {
      DefinedNameEntry entry;
      entry.attrs = n.attrs;
      entry.text = n.text;
      if (n.localSheet >= 0) {
        if (static_cast<size_t>(n.localSheet) >= wb.sheets.size()) continue;
        entry.local = true;
        entry.localSheet = book.SheetId(n.localSheet + 1);
      }
      extras->names.push_back(std::move(entry));
    }
    std::vector<std::string> carried;
    for (std::string& name : zip.Names())
      if (!name.empty() && name.back() != '/' && !rewritten.count(Lower(name)))
        carried.push_back(std::move(name));
    extras->carried = zip.CopyEntries(carried);
    session->file = std::move(extras);
  }
  if (wb.activeTab >= 0 && static_cast<size_t>(wb.activeTab) < wb.sheets.size())
    book.SetCurrentSheet(wb.activeTab + 1);
  report.fileType = 11;
  return session;
}

}  // namespace ddt::grid::io
