// Dynamic-array formulas of newer workbook files. Such a formula is stored as an array
// formula whose cell carries cell metadata (the "cm" attribute, counting from 1) of the
// type XLDAPR with fDynamic="1", defined in the workbook's metadata part (related as
// ".../sheetMetadata"). Without it a program reads the formula as a legacy (CSE) array.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "grid/io/xlsx/opc_package.h"

namespace ddt::grid {
class Workbook;
}

namespace ddt::grid::io {

class ZipReader;

// The cell-metadata indexes (cm values) of a metadata part that mark a dynamic array.
std::set<int64_t> ReadDynamicArrayMetadata(ZipReader& zip, std::string_view part);

// What a save writes for the dynamic-array formulas of a workbook.
struct DynamicArrayParts {
  bool needed = false;   // the workbook holds dynamic-array formulas
  std::string part;      // the metadata part written
  bool replaces = false;  // it takes the place of a carried metadata part (same name, its
                          // relationship and content type stay)
  std::string xml;             // the part's content (MergeDynamicArrayMetadata)
  std::string cellMetadata = "1";  // the cm value of dynamic-array formula cells
  bool keepsValueMetadata = true;  // the file's value-metadata records are in the part
};
// `workbookRels` and `carried`: the relationships and carried parts of the package being
// written (null for a workbook not read from a file).
DynamicArrayParts PlanDynamicArrayParts(const Workbook& book,
                                        const std::vector<Relationship>* workbookRels,
                                        const std::set<std::string>* carried);
// Adds the part's content type and workbook relationship (id `relId`) to the two parts'
// XML, unless it replaces a carried part.
void AddDynamicArrayReferences(const DynamicArrayParts& plan, const std::string& relId,
                               std::string* contentTypes, std::string* workbookRels);
// The metadata part: one record, XLDAPR with fDynamic="1", at cell-metadata index 1.
std::string DynamicArrayMetadataXml();
// Fills plan->xml and plan->cellMetadata. `carried`: the content of the metadata part it
// replaces (null when it replaces none). That part's records stay as they are (value
// metadata of in-cell pictures, rich values, other cell metadata): a dynamic-array record it
// already has is used, else one is added after them. A part that cannot be read is replaced
// by DynamicArrayMetadataXml(), and then keepsValueMetadata is false.
void MergeDynamicArrayMetadata(DynamicArrayParts* plan, const std::string* carried);

}  // namespace ddt::grid::io
