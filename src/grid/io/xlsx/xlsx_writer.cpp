// .xlsx as written: the package (content types, relationships), the workbook part with the
// sheets in order under their names as they stand, one part per sheet, the shared strings
// and the styles. A workbook read from a file also gets back what the grid does not model
// (xlsx_extras.h, held by the file session): the carried parts reachable from what is
// written, copied compressed (those hanging on cells of a sheet whose rows or columns moved,
// and charts reading such a sheet, rewritten with their anchors moved: xlsx_anchors.h), and
// the kept elements in their places. The archive streams into the file as it is made (no
// part is held whole in memory); the file is replaced atomically when it is complete.
#include <zip.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/atomic_file.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/opc_package.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xlsx_anchors.h"
#include "grid/io/xlsx/xlsx_defined_names.h"
#include "grid/io/xlsx/xlsx_dynamic_arrays.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/io/zip/zip_writer.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "text/ascii.h"

namespace ddt::grid::io {

namespace {

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

// A workbook built in memory: its sheets, `shown` the one it opens on. A sheet given the look
// of another workbook's sheet (CopySheetLook) may be hidden; the shown one never is.
std::string WorkbookXml(const Workbook& book, const XlsxSession* session, int shown) {
  std::string out = kXmlHeader;
  out += "<workbook xmlns=\"" + std::string(kMainNs) + "\" xmlns:r=\"" + kRelNs + "\">";
  out += book.Date1904() ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>";
  out += "<bookViews><workbookView activeTab=\"" + std::to_string(shown - 1) +
         "\"/></bookViews><sheets>";
  for (int i = 1; i <= book.SheetCount(); ++i) {
    out += "<sheet name=\"";
    AppendXmlText(book.SheetName(i), out);
    out += "\" sheetId=\"" + std::to_string(i) + "\"";
    const SheetExtras* e = session ? session->Sheet(book.SheetId(i)) : nullptr;
    if (i != shown && e && !e->state.empty() && e->state != "visible") {
      out += " state=\"";
      AppendXmlText(e->state, out, false);
      out += "\"";
    }
    out += " r:id=\"rId" + std::to_string(i) + "\"/>";
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

}  // namespace

namespace {

// --- Round trip of a workbook read from a file ---------------------------------------------

std::string Lower(std::string_view s) { return text::LowerAsciiText(s); }

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && Lower(s.substr(s.size() - tail.size())) == tail;
}

constexpr const char* kMainType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
constexpr const char* kMacroMainType = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
constexpr const char* kWorksheetType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";

void AppendRel(std::string& out, const std::string& id, const std::string& type,
               const std::string& target, bool external) {
  out += "<Relationship Id=\"";
  AppendXmlText(id, out, false);
  out += "\" Type=\"";
  AppendXmlText(type, out, false);
  out += "\" Target=\"";
  // Internal targets are written from the package root, so they hold wherever the source is.
  AppendXmlText(external ? target : "/" + target, out, false);
  out += external ? "\" TargetMode=\"External\"/>" : "\"/>";
}

// Relationship ids not yet taken among `taken`.
class IdMaker {
 public:
  explicit IdMaker(const std::vector<Relationship>& taken) {
    for (const Relationship& r : taken) taken_.insert(r.id);
  }
  std::string Next() {
    std::string id;
    do id = "rId" + std::to_string(++n_);
    while (taken_.count(id));
    taken_.insert(id);
    return id;
  }

 private:
  std::set<std::string> taken_;
  int n_ = 0;
};

std::string ReadCarried(const CarriedArchive& carried, uint64_t index) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(carried.archive, index, 0, &st) != 0 || st.size > kMaxSmallPartBytes)
    return {};
  zip_file_t* f = zip_fopen_index(carried.archive, index, 0);
  if (!f) return {};
  std::string out(st.size, '\0');
  zip_int64_t n = zip_fread(f, out.data(), out.size());
  zip_fclose(f);
  if (n < 0 || static_cast<zip_uint64_t>(n) != st.size) return {};
  return out;
}

bool SheetVisible(const Workbook& book, const XlsxSession* session, int sheet) {
  const SheetExtras* e = session ? session->Sheet(book.SheetId(sheet)) : nullptr;
  return !e || e->state.empty() || e->state == "visible";
}

// The sheet the saved workbook opens on: the current one, or when it is hidden the next
// visible sheet (the one before it when none follows), as a spreadsheet moves off a sheet
// that gets hidden. Saving never shows a hidden sheet the user did not show, unless the
// workbook has no visible sheet at all (then the first one).
int ShownSheet(const Workbook& book, const XlsxSession* session) {
  const int current = book.CurrentSheet();
  if (SheetVisible(book, session, current)) return current;
  for (int i = current + 1; i <= book.SheetCount(); ++i)
    if (SheetVisible(book, session, i)) return i;
  for (int i = current - 1; i >= 1; --i)
    if (SheetVisible(book, session, i)) return i;
  return 1;
}

// Everything a save writes beside the sheets' cells.
struct PackagePlan {
  std::vector<std::string> sheetParts;     // part of each sheet, in order
  std::vector<std::string> sheetRelTypes;  // type of each sheet's relationship
  std::vector<std::vector<XmlFragment>> kept;
  std::vector<std::vector<Relationship>> sheetRels;
  std::vector<Relationship> workbookRels;  // carried ones written
  std::string mainType;
};

std::string SheetEntries(const Workbook& book, const XlsxSession& session, const PackagePlan& plan,
                         const std::vector<std::string>& relIds, int shown,
                         std::vector<std::string>& notes) {
  std::string out = "<sheets>";
  for (int i = 1; i <= book.SheetCount(); ++i) {
    out += "<sheet name=\"";
    AppendXmlText(book.SheetName(i), out);
    out += "\" sheetId=\"" + std::to_string(i) + "\"";
    const SheetExtras* e = session.Sheet(book.SheetId(i));
    // The sheet shown is a visible one whenever the workbook has one (ShownSheet); when it
    // has none, the sheet shown is made visible, as a workbook must show one.
    if (!SheetVisible(book, &session, i)) {
      if (i == shown) {
        notes.push_back("Sheet '" + book.SheetName(i) +
                        "' was saved visible: no sheet of the workbook was visible");
      } else {
        out += " state=\"";
        AppendXmlText(e->state, out, false);
        out += "\"";
      }
    }
    out += " r:id=\"" + relIds[i - 1] + "\"/>";
  }
  (void)plan;
  return out + "</sheets>";
}

std::string DefinedNamesXml(const Workbook& book, const XlsxSession& session) {
  const FileExtras& x = *session.file;
  // Sheets of the file that are gone: references to them read #REF!.
  std::set<std::string> present;
  std::vector<NamedSheetEdits> edited;
  for (int i = 1; i <= book.SheetCount(); ++i) {
    const SheetExtras* e = session.Sheet(book.SheetId(i));
    if (!e) continue;
    present.insert(e->originalName);
    if (!e->edits.empty() || e->originalName != book.SheetName(i))
      edited.push_back({e->originalName, book.SheetName(i), &e->edits});
  }
  std::vector<std::string> gone;
  for (const std::string& name : x.sheetNames)
    if (!present.count(name)) gone.push_back(name);
  std::string out;
  int count = 0;
  for (const DefinedNameEntry& n : x.names) {
    int local = 0;
    if (n.local) {
      // A name that belongs to a deleted sheet goes with it.
      local = book.SheetIndexOfId(n.localSheet);
      if (local == 0) continue;
    }
    const std::string text = MovedDefinedName(DefinedNameLabel(n.attrs), n.text, edited, gone);
    out += "<definedName" + n.attrs;
    if (n.local) out += " localSheetId=\"" + std::to_string(local - 1) + "\"";
    out += ">";
    AppendXmlText(text, out, false);
    out += "</definedName>";
    ++count;
  }
  if (count == 0) return {};
  return "<definedNames>" + out + "</definedNames>";
}

std::string WorkbookXmlWithExtras(const Workbook& book, const XlsxSession& session,
                                  const PackagePlan& plan,
                                  const std::vector<std::string>& sheetRelIds,
                                  std::vector<std::string>& notes) {
  const FileExtras& x = *session.file;
  std::string out = kXmlHeader;
  std::string root = x.workbookRootAttrs;
  if (root.find("xmlns:r=\"") == std::string::npos)
    root += std::string(" xmlns:r=\"") + kRelNs + "\"";
  out += "<workbook" + root + ">";
  const int shown = ShownSheet(book, &session);
  const int activeTab = shown - 1;
  std::vector<XmlFragment> kept = x.workbookElements;
  std::vector<XmlFragment> own;
  bool pr = false, views = false;
  for (XmlFragment& f : kept) {
    if (f.name == "workbookPr") {
      pr = true;
      SetFirstTagAttr(f.xml, "workbookPr", "date1904", book.Date1904() ? "1" : nullptr);
    } else if (f.name == "bookViews") {
      views = true;
      SetFirstTagAttr(f.xml, "workbookView", "activeTab", std::to_string(activeTab).c_str());
      SetFirstTagAttr(f.xml, "workbookView", "firstSheet", nullptr);
    }
  }
  if (!pr) own.push_back({"workbookPr", book.Date1904() ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>"});
  if (!views)
    own.push_back({"bookViews", "<bookViews><workbookView activeTab=\"" +
                                    std::to_string(activeTab) + "\"/></bookViews>"});
  own.push_back({"sheets", SheetEntries(book, session, plan, sheetRelIds, shown, notes)});
  std::string names = DefinedNamesXml(book, session);
  if (!names.empty()) own.push_back({"definedNames", std::move(names)});
  for (const std::string* xml : OrderFragments(kept, own, WorkbookRank)) out += *xml;
  out += "</workbook>";
  return out;
}

}  // namespace

namespace {

void AddSheet(ZipWriter& zip, const Workbook& book, int i, bool shown, StylesOut& styles,
              SharedStringsOut& strings, const SheetExtras* extras,
              const std::vector<XmlFragment>& kept, bool valueMetadata,
              std::string_view dynamicCellMetadata = "1") {
  zip.Begin(SheetPart(i));
  WriteWorksheetXml(
      book, i, shown, styles, strings, extras, kept, valueMetadata,
      [&](std::string_view xml) { zip.Write(xml); }, dynamicCellMetadata);
  zip.End();
}

// The look elements of a sheet of a workbook built in memory (CopySheetLook gave it): only
// elements that need no relationship of the sheet part, which such a workbook cannot write.
std::vector<XmlFragment> InMemoryLook(const Workbook& book, const SheetExtras* e, int sheet,
                                      std::vector<std::string>& notes) {
  if (!e || !e->otherPart.empty()) return {};
  std::vector<std::string> droppedRels;
  std::vector<XmlFragment> look;
  for (XmlFragment& f : KeptSheetElements(*e, book.SheetName(sheet), notes, droppedRels))
    if (f.name == "sheetViews" || f.name == "dataValidations") look.push_back(std::move(f));
  return look;
}

void AddSharedStrings(ZipWriter& zip, const SharedStringsOut& strings) {
  zip.Begin("xl/sharedStrings.xml");
  strings.WriteXml([&](std::string_view xml) { zip.Write(xml); });
  zip.End();
}

// The carried parts of a sheet that hang on its cells (drawings, notes, threaded comments,
// tables), moved after the sheet's structural edits into `moved` (part -> new text). Tables
// the edits deleted whole give their relationship ids to `gone`.
void MoveSheetParts(const Workbook& book, int sheet, const SheetExtras& e,
                    const CarriedArchive& carried, std::map<std::string, std::string>& moved,
                    std::vector<std::string>& gone, std::vector<std::string>& notes) {
  const std::string sheetName = book.SheetName(sheet);
  // The text of a cell as the file counts rows (the held header row is the file's first).
  auto cellText = [&](int row, int col) -> std::string {
    const int gridRow = row - book.RowOrigin();
    const Cell* c = gridRow == 0 ? book.HeaderCell(sheet, col)
                    : gridRow > 0 ? book.FindCell(sheet, gridRow, col)
                                  : nullptr;
    return c && !c->formula && IsText(c->value)
               ? std::string(std::get<SharedText>(c->value).view())
               : std::string();
  };
  for (const Relationship& r : e.rels) {
    if (r.external) continue;
    auto index = carried.index.find(r.target);
    if (index == carried.index.end()) continue;
    std::string (*move)(const std::string&, const std::vector<LineEdit>&) = nullptr;
    const bool table = TypeIs(r.type, "table");
    if (TypeIs(r.type, "drawing")) move = MoveDrawingPart;
    else if (TypeIs(r.type, "vmlDrawing")) move = MoveVmlPart;
    else if (TypeIs(r.type, "comments")) move = MoveCommentsPart;
    else if (TypeIs(r.type, "threadedComment")) move = MoveThreadedCommentsPart;
    else if (!table) continue;
    auto it = moved.find(r.target);
    const std::string xml = it != moved.end() ? it->second : ReadCarried(carried, index->second);
    if (xml.empty()) continue;
    if (!table) {
      moved[r.target] = move(xml, e.edits);
      continue;
    }
    bool cut = false;
    std::string out = MoveTablePart(xml, e.edits, &cut, cellText);
    if (cut) {
      notes.push_back("Sheet '" + sheetName + "': the table in " + r.target +
                      " kept its place: a shift of cells split it");
    } else if (out.empty()) {
      gone.push_back(r.id);
    } else {
      moved[r.target] = std::move(out);
    }
  }
}

// Every part of the package, in order, into `zip`; then its directory.
void WriteXlsxParts(const Workbook& book, const XlsxSession* session, const std::string& path,
                    std::vector<std::string>* notesOut, ZipWriter& zip) {
  // Formulas whose result is stale are computed first, so that the file carries results.
  // Evaluation only fills the cells' cached results.
  Workbook& mutableBook = const_cast<Workbook&>(book);
  for (int i = 1; i <= book.SheetCount(); ++i) {
    std::vector<std::pair<int, int>> stale;
    for (const Sheet::RowEntry& row : book.SheetAt(i).Rows())
      for (const Sheet::CellEntry& c : row.cells)
        if (c.cell.formula && c.cell.dirty) stale.emplace_back(row.row, c.col);
    // Through the calculator: a held header row (row 0) is no cell address of the API.
    for (auto [r, c] : stale) mutableBook.Calc().Evaluate(i, r, c);
  }
  std::vector<std::string> notes;

  const int sheets = book.SheetCount();
  const FileExtras* x = session ? session->file.get() : nullptr;
  auto sheetExtras = [&](int i) {
    return session ? session->Sheet(book.SheetId(i)) : nullptr;
  };
  if (!x) {
    std::string types = ContentTypesXml(sheets), rels = WorkbookRelsXml(sheets);
    const DynamicArrayParts dynamic = PlanDynamicArrayParts(book, nullptr, nullptr);
    AddDynamicArrayReferences(dynamic, "rIdDynamicArrays", &types, &rels);
    if (dynamic.needed) zip.Add(dynamic.part, DynamicArrayMetadataXml());
    zip.Add("[Content_Types].xml", types);
    zip.Add("_rels/.rels", PackageRelsXml());
    const int shown = ShownSheet(book, session);
    zip.Add("xl/workbook.xml", WorkbookXml(book, session, shown));
    zip.Add("xl/_rels/workbook.xml.rels", rels);
    StylesOut styles(book.Styles());
    SharedStringsOut strings;
    for (int i = 1; i <= sheets; ++i)
      AddSheet(zip, book, i, i == shown, styles, strings, sheetExtras(i),
               InMemoryLook(book, sheetExtras(i), i, notes), false);
    AddSharedStrings(zip, strings);
    zip.Add("xl/styles.xml", styles.Xml(book.DefaultFontFace(), book.DefaultFontSize()));
    zip.Finish();
    if (notesOut) *notesOut = std::move(notes);
    return;
  }

  // The main part's type: a macro project needs the macro-enabled type, which a name ending
  // in .xlsx cannot hold (other programs refuse such a file), so there it is left out.
  PackagePlan plan;
  const bool macroFile = x->workbookContentType == kMacroMainType;
  bool dropMacros = false;
  if (EndsWith(path, ".xlsx")) {
    plan.mainType = kMainType;
    dropMacros = macroFile;
  } else if (EndsWith(path, ".xlsm")) {
    plan.mainType = kMacroMainType;
  } else {
    plan.mainType = x->workbookContentType.empty() ? kMainType : x->workbookContentType;
  }
  for (const Relationship& r : x->workbookRels) {
    if (dropMacros && TypeIs(r.type, "vbaProject")) {
      notes.push_back("The macro project was left out: a file named .xlsx cannot hold one "
                      "(save as .xlsm to keep it)");
      continue;
    }
    plan.workbookRels.push_back(r);
  }

  // Sheets: worksheets are written anew; chart sheets and the like are carried. Carried
  // parts that hang on cells of an edited sheet are rewritten (`moved`), the others copied.
  std::map<std::string, std::string> moved;
  IdMaker wbIds(plan.workbookRels);
  std::vector<std::string> sheetRelIds;
  std::vector<std::string> roots;
  for (int i = 1; i <= sheets; ++i) {
    const Sheet& s = book.SheetAt(i);
    const SheetExtras* e = sheetExtras(i);
    sheetRelIds.push_back(wbIds.Next());
    std::vector<XmlFragment> kept;
    std::vector<Relationship> rels;
    if (e && !e->otherPart.empty() && s.Rows().empty()) {
      plan.sheetParts.push_back(e->otherPart);
      plan.sheetRelTypes.push_back(e->otherType);
      roots.push_back(e->otherPart);
      if (!e->otherPartText.empty()) moved[e->otherPart] = e->otherPartText;
    } else {
      if (e && !e->otherPart.empty())
        notes.push_back("Sheet '" + book.SheetName(i) +
                        "' was saved as a worksheet: cells were entered on a chart sheet");
      plan.sheetParts.push_back(SheetPart(i));
      plan.sheetRelTypes.push_back(std::string(kRelNs) + "/worksheet");
      if (e && e->otherPart.empty()) {
        std::vector<std::string> dropped;
        if (!e->edits.empty() && x->carried)
          MoveSheetParts(book, i, *e, *x->carried, moved, dropped, notes);
        kept = KeptSheetElements(*e, book.SheetName(i), notes, dropped, dropped);
        for (const Relationship& r : e->rels)
          if (std::find(dropped.begin(), dropped.end(), r.id) == dropped.end()) {
            rels.push_back(r);
            if (!r.external) roots.push_back(r.target);
          }
      }
    }
    plan.kept.push_back(std::move(kept));
    plan.sheetRels.push_back(std::move(rels));
  }
  const std::string stylesId = wbIds.Next(), stringsId = wbIds.Next();

  // Carried parts reachable from what is written, with their own relationships' parts.
  const CarriedArchive* carried = x->carried.get();
  std::set<std::string> written;
  {
    for (const Relationship& r : x->packageRels)
      if (!r.external) roots.push_back(r.target);
    for (const Relationship& r : plan.workbookRels)
      if (!r.external) roots.push_back(r.target);
    std::deque<std::string> queue(roots.begin(), roots.end());
    while (!queue.empty() && carried) {
      std::string part = std::move(queue.front());
      queue.pop_front();
      if (!carried->index.count(part) || !written.insert(part).second) continue;
      const std::string relsPart = RelationshipsPartName(part);
      auto rels = carried->index.find(relsPart);
      if (rels == carried->index.end()) continue;
      written.insert(relsPart);
      try {
        for (const Relationship& r : ParseRelationships(part, ReadCarried(*carried, rels->second)))
          if (!r.external) queue.push_back(r.target);
      } catch (const GridError&) {
        // A damaged relationships part is carried as it is; its targets are not followed.
      }
    }
  }

  // Chart series follow the cells of the sheets they read, wherever the chart is.
  for (const std::string& part : written) {
    auto type = x->overrideTypes.find(Lower(part));
    if (type == x->overrideTypes.end() ||
        type->second.find("drawingml.chart+xml") == std::string::npos)
      continue;
    std::string xml;
    for (int i = 1; i <= sheets; ++i) {
      const SheetExtras* e = sheetExtras(i);
      if (!e || (e->edits.empty() && e->originalName == book.SheetName(i))) continue;
      if (xml.empty()) {
        auto it = moved.find(part);
        xml = it != moved.end() ? it->second : ReadCarried(*carried, carried->index.at(part));
        if (xml.empty()) break;
      }
      xml = MoveChartRefs(xml, e->originalName, book.SheetName(i), e->edits);
    }
    if (!xml.empty()) moved[part] = std::move(xml);
  }

  DynamicArrayParts dynamic = PlanDynamicArrayParts(book, &plan.workbookRels, &written);
  if (dynamic.needed) {
    // A metadata part of the file is rewritten with its records kept.
    std::string kept;
    if (dynamic.replaces) kept = ReadCarried(*carried, carried->index.at(dynamic.part));
    MergeDynamicArrayMetadata(&dynamic, dynamic.replaces ? &kept : nullptr);
  }
  std::string dynamicRelId;
  if (dynamic.needed && !dynamic.replaces) dynamicRelId = wbIds.Next();

  // [Content_Types].xml
  {
    std::string out = kXmlHeader;
    out += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    std::set<std::string> extensions;
    auto addDefault = [&](const std::string& ext, const std::string& type) {
      if (!extensions.insert(Lower(ext)).second) return;
      out += "<Default Extension=\"";
      AppendXmlText(ext, out, false);
      out += "\" ContentType=\"";
      AppendXmlText(type, out, false);
      out += "\"/>";
    };
    for (const auto& [ext, type] : x->defaultTypes) addDefault(ext, type);
    addDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
    addDefault("xml", "application/xml");
    auto addOverride = [&](const std::string& part, const std::string& type) {
      out += "<Override PartName=\"/";
      AppendXmlText(part, out, false);
      out += "\" ContentType=\"";
      AppendXmlText(type, out, false);
      out += "\"/>";
    };
    addOverride("xl/workbook.xml", plan.mainType);
    addOverride("xl/styles.xml",
                "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
    addOverride("xl/sharedStrings.xml",
                "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml");
    for (int i = 1; i <= sheets; ++i)
      if (plan.sheetParts[i - 1] == SheetPart(i)) addOverride(SheetPart(i), kWorksheetType);
    for (const std::string& part : written) {
      auto type = x->overrideTypes.find(Lower(part));
      if (type != x->overrideTypes.end()) addOverride(part, type->second);
    }
    out += "</Types>";
    std::string unused;
    AddDynamicArrayReferences(dynamic, dynamicRelId, &out, &unused);
    zip.Add("[Content_Types].xml", std::move(out));
  }

  // Package relationships: the workbook, then the carried ones (properties, thumbnail).
  {
    IdMaker ids(x->packageRels);
    std::string out = std::string(kXmlHeader) + "<Relationships xmlns=\"" + kPackageRelNs + "\">";
    AppendRel(out, ids.Next(), std::string(kRelNs) + "/officeDocument", "xl/workbook.xml", false);
    for (const Relationship& r : x->packageRels)
      if (r.external || written.count(r.target)) AppendRel(out, r.id, r.type, r.target, r.external);
    out += "</Relationships>";
    zip.Add("_rels/.rels", std::move(out));
  }

  zip.Add("xl/workbook.xml", WorkbookXmlWithExtras(book, *session, plan, sheetRelIds, notes));
  {
    std::string out = std::string(kXmlHeader) + "<Relationships xmlns=\"" + kPackageRelNs + "\">";
    for (int i = 1; i <= sheets; ++i)
      AppendRel(out, sheetRelIds[i - 1], plan.sheetRelTypes[i - 1], plan.sheetParts[i - 1], false);
    AppendRel(out, stylesId, std::string(kRelNs) + "/styles", "xl/styles.xml", false);
    AppendRel(out, stringsId, std::string(kRelNs) + "/sharedStrings", "xl/sharedStrings.xml",
              false);
    for (const Relationship& r : plan.workbookRels)
      if (r.external || written.count(r.target)) AppendRel(out, r.id, r.type, r.target, r.external);
    out += "</Relationships>";
    std::string unused;
    AddDynamicArrayReferences(dynamic, dynamicRelId, &unused, &out);
    zip.Add("xl/_rels/workbook.xml.rels", std::move(out));
  }

  StylesOut styles(book.Styles(), x->hasStyles ? &x->styles : nullptr);
  SharedStringsOut strings;
  const int shown = ShownSheet(book, session);
  for (int i = 1; i <= sheets; ++i) {
    if (plan.sheetParts[i - 1] != SheetPart(i)) continue;
    AddSheet(zip, book, i, i == shown, styles, strings, sheetExtras(i), plan.kept[i - 1],
             !dynamic.replaces || dynamic.keepsValueMetadata, dynamic.cellMetadata);
    const std::vector<Relationship>& rels = plan.sheetRels[i - 1];
    if (rels.empty()) continue;
    std::string out = std::string(kXmlHeader) + "<Relationships xmlns=\"" + kPackageRelNs + "\">";
    for (const Relationship& r : rels) AppendRel(out, r.id, r.type, r.target, r.external);
    out += "</Relationships>";
    zip.Add(RelationshipsPartName(SheetPart(i)), std::move(out));
  }
  AddSharedStrings(zip, strings);
  zip.Add("xl/styles.xml", styles.Xml(book.DefaultFontFace(), book.DefaultFontSize()));
  if (dynamic.needed) zip.Add(dynamic.part, dynamic.xml);
  for (const std::string& part : written)
    if (dynamic.replaces && part == dynamic.part) continue;
    else if (auto it = moved.find(part); it != moved.end()) zip.Add(part, it->second);
    else zip.AddCopied(part, carried->archive, carried->index.at(part));
  zip.Finish();
  if (notesOut) *notesOut = std::move(notes);
}

}  // namespace

std::string XlsxBytes(const Workbook& book) { return XlsxBytes(book, std::string(), nullptr); }

std::string XlsxBytes(const Workbook& book, const std::string& path,
                      std::vector<std::string>* notes) {
  return XlsxBytes(book, XlsxSession::Of(book), path, notes);
}

std::string XlsxBytes(const Workbook& book, const XlsxSession* session, const std::string& path,
                      std::vector<std::string>* notes) {
  std::string bytes;
  ZipWriter zip([&](const char* data, size_t size) { bytes.append(data, size); });
  WriteXlsxParts(book, session, path, notes, zip);
  return bytes;
}

void WriteXlsxFile(const Workbook& book, const std::string& path,
                   std::vector<std::string>* notes) {
  WriteXlsxFile(book, XlsxSession::Of(book), path, notes);
}

void WriteXlsxFile(const Workbook& book, const XlsxSession* session, const std::string& path,
                   std::vector<std::string>* notes) {
  try {
    AtomicFileWriter file(path);
    ZipWriter zip([&](const char* data, size_t size) { file.Write(data, size); });
    WriteXlsxParts(book, session, path, notes, zip);
    file.Commit();
  } catch (const GridError& e) {
    throw GridError("Cannot save \"" + path + "\": " + e.what(), e.kind());
  } catch (const std::bad_alloc&) {
    throw GridError("Cannot save \"" + path + "\": out of memory");
  }
}

}  // namespace ddt::grid::io
