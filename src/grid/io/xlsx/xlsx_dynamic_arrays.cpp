#include "grid/io/xlsx/xlsx_dynamic_arrays.h"

#include <initializer_list>
#include <map>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

constexpr std::string_view kMetadataType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheetMetadata+xml";
constexpr std::string_view kMetadataRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sheetMetadata";
constexpr std::string_view kDefaultPart = "xl/metadata.xml";

// Collects metadata types by position, the XLDAPR records' fDynamic flags, and the first
// record reference (type, index) of each cell-metadata block.
class MetadataHandler final : public XmlHandler {
 public:
  void StartElement(std::string_view name, const char** attrs) override {
    if (name == "metadataType") {
      const char* n = Attr(attrs, "name");
      types_.push_back(n ? n : "");
    } else if (name == "futureMetadata") {
      const char* n = Attr(attrs, "name");
      inDapr_ = n && std::string_view(n) == "XLDAPR";
      if (inDapr_) hasDapr_ = true;
    } else if (name == "bk") {
      if (inDapr_) dynamic_.push_back(false);
      if (inCells_) cells_.emplace_back(-1, -1);
    } else if (name == "dynamicArrayProperties" && inDapr_ && !dynamic_.empty()) {
      const char* d = Attr(attrs, "fDynamic");
      dynamic_.back() = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    } else if (name == "cellMetadata") {
      inCells_ = true;
      hasCells_ = true;
    } else if (name == "rc" && inCells_ && !cells_.empty() && cells_.back().first < 0) {
      const char* t = Attr(attrs, "t");
      const char* v = Attr(attrs, "v");
      if (t && v) cells_.back() = {std::atoll(t), std::atoll(v)};
    }
  }
  void EndElement(std::string_view name) override {
    if (name == "futureMetadata") inDapr_ = false;
    if (name == "cellMetadata") inCells_ = false;
  }

  std::set<int64_t> DynamicCells() const {
    std::set<int64_t> out;
    for (size_t i = 0; i < cells_.size(); ++i) {
      auto [t, v] = cells_[i];
      if (t < 1 || static_cast<size_t>(t) > types_.size() || types_[t - 1] != "XLDAPR") continue;
      if (v >= 0 && static_cast<size_t>(v) < dynamic_.size() && dynamic_[v])
        out.insert(static_cast<int64_t>(i) + 1);
    }
    return out;
  }
  // What a merge needs: the types by position, whether an XLDAPR block and a cell-metadata
  // element exist, and how many records each holds.
  const std::vector<std::string>& Types() const { return types_; }
  bool HasDapr() const { return hasDapr_; }
  size_t DaprRecords() const { return dynamic_.size(); }
  bool HasCells() const { return hasCells_; }
  size_t CellRecords() const { return cells_.size(); }

 private:
  bool hasDapr_ = false, hasCells_ = false;
  std::vector<std::string> types_;
  std::vector<bool> dynamic_;
  std::vector<std::pair<int64_t, int64_t>> cells_;
  bool inDapr_ = false, inCells_ = false;
};

bool HasDynamicArrays(const Workbook& book) {
  for (int i = 1; i <= book.SheetCount(); ++i) {
    const Sheet& s = book.SheetAt(i);
    if (!s.mayHaveFormulas) continue;
    bool found = false;
    s.ForEachIn(0, 1, kMaxRows, kMaxCols, [&](int, int, const Cell& c) {
      if (!found && c.formula && formula::IsDynamicArrayFormula(*c.formula)) found = true;
    });
    if (found) return true;
  }
  return false;
}

void InsertBefore(std::string* xml, std::string_view closing, const std::string& what) {
  size_t at = xml->rfind(closing);
  if (at != std::string::npos) xml->insert(at, what);
}

constexpr std::string_view kDaprType =
    "name=\"XLDAPR\" minSupportedVersion=\"120000\" copy=\"1\" pasteAll=\"1\" "
    "pasteValues=\"1\" merge=\"1\" splitFirst=\"1\" rowColShift=\"1\" clearFormats=\"1\" "
    "clearComments=\"1\" assign=\"1\" coerce=\"1\" cellMeta=\"1\"";
constexpr std::string_view kDaprRecord =
    "<bk><extLst><ext uri=\"{bdbb8cdc-fa1e-496e-a857-3c3f30c029c3}\">"
    "<xda:dynamicArrayProperties "
    "xmlns:xda=\"http://schemas.microsoft.com/office/spreadsheetml/2017/dynamicarray\" "
    "fDynamic=\"1\" fCollapsed=\"0\"/></ext></extLst></bk>";

// Sets the count attribute of the start tag at `at` (when it has one).
void SetCount(std::string* xml, size_t at, size_t count) {
  const size_t end = xml->find('>', at);
  const size_t attr = xml->find(" count=\"", at);
  if (end == std::string::npos || attr == std::string::npos || attr > end) return;
  const size_t from = attr + 8, to = xml->find('"', from);
  if (to == std::string::npos || to > end) return;
  xml->replace(from, to - from, std::to_string(count));
}

// Inserts `what` as a child of the metadata root, before the first of the elements named
// in `before` that exists at the top level, else before the root's extLst or its end.
bool InsertTopLevel(std::string* xml, const std::string& p,
                    std::initializer_list<std::string_view> before, const std::string& what) {
  for (std::string_view name : before) {
    const size_t at = xml->find("<" + p + std::string(name));
    if (at != std::string::npos) {
      xml->insert(at, what);
      return true;
    }
  }
  const size_t end = xml->rfind("</" + p + "metadata>");
  if (end == std::string::npos) return false;
  // The root's own extLst is its last child: after every other element's end.
  size_t ext = xml->rfind("<" + p + "extLst", end);
  for (std::string_view name : {"metadataTypes>", "futureMetadata>", "cellMetadata>",
                                "valueMetadata>", "metadataStrings>", "mdxMetadata>"}) {
    const size_t close = xml->rfind("</" + p + std::string(name), end);
    if (ext != std::string::npos && close != std::string::npos && close > ext) ext = std::string::npos;
  }
  xml->insert(ext != std::string::npos ? ext : end, what);
  return true;
}

// The merge; false when the part's layout is not one it can extend.
bool MergeInto(std::string* xml, const MetadataHandler& h, std::string* cellMetadata) {
  // The prefix of the spreadsheet namespace on the root element ("" or "x:").
  size_t root = 0;
  while ((root = xml->find('<', root)) != std::string::npos && (*xml)[root + 1] == '?') ++root;
  if (root == std::string::npos) return false;
  const size_t nameEnd = xml->find_first_of(" \t\r\n/>", root);
  if (nameEnd == std::string::npos) return false;
  const std::string qname = xml->substr(root + 1, nameEnd - root - 1);
  if (qname.size() < 8 || qname.compare(qname.size() - 8, 8, "metadata") != 0) return false;
  const std::string p = qname.substr(0, qname.size() - 8);
  // Records are written unprefixed: a part that gives the namespace a prefix is replaced.
  if (!p.empty()) return false;

  // The type.
  size_t type = 0;
  for (size_t i = 0; i < h.Types().size(); ++i)
    if (h.Types()[i] == "XLDAPR") type = i + 1;
  if (type == 0) {
    type = h.Types().size() + 1;
    const std::string record = "<" + p + "metadataType " + std::string(kDaprType) + "/>";
    const size_t close = xml->find("</" + p + "metadataTypes>");
    if (close != std::string::npos) {
      xml->insert(close, record);
      SetCount(xml, xml->find("<" + p + "metadataTypes"), type);
    } else if (h.Types().empty()) {
      const size_t rootEnd = xml->find('>', root);
      if (rootEnd == std::string::npos || (*xml)[rootEnd - 1] == '/') return false;
      xml->insert(rootEnd + 1, "<" + p + "metadataTypes count=\"1\">" + record + "</" + p +
                                   "metadataTypes>");
    } else {
      return false;
    }
  }
  // The dynamic-array record.
  const std::string bk(kDaprRecord);
  size_t record = 0;
  if (h.HasDapr()) {
    const size_t named = xml->find("name=\"XLDAPR\"", xml->find("<" + p + "futureMetadata"));
    const size_t close = named == std::string::npos
                             ? std::string::npos
                             : xml->find("</" + p + "futureMetadata>", named);
    if (close == std::string::npos) return false;
    record = h.DaprRecords();
    xml->insert(close, bk);
    SetCount(xml, xml->rfind("<" + p + "futureMetadata", named), record + 1);
  } else if (!InsertTopLevel(xml, p, {"cellMetadata", "valueMetadata"},
                             "<" + p + "futureMetadata name=\"XLDAPR\" count=\"1\">" + bk +
                                 "</" + p + "futureMetadata>")) {
    return false;
  }
  // The cell metadata pointing at it.
  const std::string rc = "<" + p + "bk><" + p + "rc t=\"" + std::to_string(type) + "\" v=\"" +
                         std::to_string(record) + "\"/></" + p + "bk>";
  if (h.HasCells()) {
    const size_t close = xml->find("</" + p + "cellMetadata>");
    if (close == std::string::npos) return false;
    xml->insert(close, rc);
    SetCount(xml, xml->find("<" + p + "cellMetadata"), h.CellRecords() + 1);
    *cellMetadata = std::to_string(h.CellRecords() + 1);
  } else {
    if (!InsertTopLevel(xml, p, {"valueMetadata"},
                        "<" + p + "cellMetadata count=\"1\">" + rc + "</" + p + "cellMetadata>"))
      return false;
    *cellMetadata = "1";
  }
  return true;
}

}  // namespace

void MergeDynamicArrayMetadata(DynamicArrayParts* plan, const std::string* carried) {
  plan->xml = DynamicArrayMetadataXml();
  plan->cellMetadata = "1";
  plan->keepsValueMetadata = true;
  if (!carried) return;
  plan->keepsValueMetadata = false;
  MetadataHandler handler;
  try {
    XmlReader reader(handler, plan->part);
    reader.Feed(carried->data(), carried->size());
    reader.Finish();
  } catch (const GridError&) {
    return;  // unreadable: replaced by a part of its own
  }
  // A record the file has already serves (its cells were written with it).
  if (std::set<int64_t> dynamic = handler.DynamicCells(); !dynamic.empty()) {
    plan->xml = *carried;
    plan->cellMetadata = std::to_string(*dynamic.begin());
    plan->keepsValueMetadata = true;
    return;
  }
  std::string xml = *carried;
  std::string cm;
  if (!MergeInto(&xml, handler, &cm)) return;
  plan->xml = std::move(xml);
  plan->cellMetadata = std::move(cm);
  plan->keepsValueMetadata = true;
}

std::set<int64_t> ReadDynamicArrayMetadata(ZipReader& zip, std::string_view part) {
  MetadataHandler handler;
  ParseXmlPart(zip, part, kMaxSmallPartBytes, handler);
  return handler.DynamicCells();
}

DynamicArrayParts PlanDynamicArrayParts(const Workbook& book,
                                        const std::vector<Relationship>* workbookRels,
                                        const std::set<std::string>* carried) {
  DynamicArrayParts plan;
  if (!HasDynamicArrays(book)) return plan;
  plan.needed = true;
  plan.part = std::string(kDefaultPart);
  if (workbookRels && carried) {
    // The file's own metadata part is rewritten with a dynamic-array record added to its
    // others (MergeDynamicArrayMetadata).
    for (const Relationship& r : *workbookRels)
      if (!r.external && TypeIs(r.type, "sheetMetadata") && carried->count(r.target)) {
        plan.part = r.target;
        plan.replaces = true;
        return plan;
      }
  }
  return plan;
}

void AddDynamicArrayReferences(const DynamicArrayParts& plan, const std::string& relId,
                               std::string* contentTypes, std::string* workbookRels) {
  if (!plan.needed || plan.replaces) return;
  InsertBefore(contentTypes, "</Types>",
               "<Override PartName=\"/" + plan.part + "\" ContentType=\"" +
                   std::string(kMetadataType) + "\"/>");
  // The target is relative to the workbook part in xl/.
  std::string target = plan.part.rfind("xl/", 0) == 0 ? plan.part.substr(3) : "/" + plan.part;
  InsertBefore(workbookRels, "</Relationships>",
               "<Relationship Id=\"" + relId + "\" Type=\"" + std::string(kMetadataRel) +
                   "\" Target=\"" + target + "\"/>");
}

std::string DynamicArrayMetadataXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<metadata xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:xda=\"http://schemas.microsoft.com/office/spreadsheetml/2017/dynamicarray\">"
         "<metadataTypes count=\"1\"><metadataType name=\"XLDAPR\" minSupportedVersion=\"120000\" "
         "copy=\"1\" pasteAll=\"1\" pasteValues=\"1\" merge=\"1\" splitFirst=\"1\" "
         "rowColShift=\"1\" clearFormats=\"1\" clearComments=\"1\" assign=\"1\" coerce=\"1\" "
         "cellMeta=\"1\"/></metadataTypes>"
         "<futureMetadata name=\"XLDAPR\" count=\"1\"><bk><extLst>"
         "<ext uri=\"{bdbb8cdc-fa1e-496e-a857-3c3f30c029c3}\">"
         "<xda:dynamicArrayProperties fDynamic=\"1\" fCollapsed=\"0\"/></ext></extLst></bk>"
         "</futureMetadata>"
         "<cellMetadata count=\"1\"><bk><rc t=\"1\" v=\"0\"/></bk></cellMetadata></metadata>";
}

}  // namespace ddt::grid::io
