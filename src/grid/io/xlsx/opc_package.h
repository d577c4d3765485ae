// The package layer of Office Open XML: relationship parts and part names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ddt::grid::io {

class ZipReader;

struct Relationship {
  std::string id;
  std::string type;    // full type URI
  std::string target;  // part name inside the package, resolved, without leading "/"
  bool external = false;
};

// The relationships of `sourcePart` ("" for the package itself) from its .rels part; empty
// when there is none. Relative targets resolve against the source part's folder.
std::vector<Relationship> ReadRelationships(ZipReader& zip, std::string_view sourcePart);
// The same from the text of a .rels part.
std::vector<Relationship> ParseRelationships(std::string_view sourcePart, std::string_view xml);
// The .rels part name of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartName(std::string_view sourcePart);
// A target resolved against the folder of `sourcePart`: "../x", "./y", "/abs", %XX escapes.
std::string ResolvePartName(std::string_view sourcePart, std::string_view target);
// Whether a relationship type URI ends in "/<kind>" (transitional and strict forms alike).
bool TypeIs(std::string_view type, std::string_view kind);

}  // namespace ddt::grid::io
