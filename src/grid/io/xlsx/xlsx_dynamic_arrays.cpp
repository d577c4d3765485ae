#include "grid/io/xlsx/xlsx_dynamic_arrays.h"

#include <map>

#include "grid/formula/formula.h"
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
    } else if (name == "bk") {
      if (inDapr_) dynamic_.push_back(false);
      if (inCells_) cells_.emplace_back(-1, -1);
    } else if (name == "dynamicArrayProperties" && inDapr_ && !dynamic_.empty()) {
      const char* d = Attr(attrs, "fDynamic");
      dynamic_.back() = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    } else if (name == "cellMetadata") {
      inCells_ = true;
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

 private:
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

}  // namespace

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
    // The file's own metadata part gives way to one whose first record is the dynamic-array
    // one (the cells' other metadata is not kept by this library anyway).
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
