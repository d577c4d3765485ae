#include "grid/io/xlsx/opc_package.h"

#include "grid/io/common/hex_digit.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"

namespace ddt::grid::io {

namespace {

class RelsHandler : public XmlHandler {
 public:
  RelsHandler(std::string_view source, std::vector<Relationship>& out)
      : source_(source), out_(out) {}
  void StartElement(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = Attr(attrs, "Id");
    const char* type = Attr(attrs, "Type");
    const char* target = Attr(attrs, "Target");
    const char* mode = Attr(attrs, "TargetMode");
    if (!id || !type || !target) return;
    Relationship rel;
    rel.id = id;
    rel.type = type;
    rel.external = mode && std::string_view(mode) == "External";
    rel.target = rel.external ? target : ResolvePartName(source_, target);
    out_.push_back(std::move(rel));
  }
  void EndElement(std::string_view) override {}

 private:
  std::string_view source_;
  std::vector<Relationship>& out_;
};

std::string PercentDecoded(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::string RelationshipsPartName(std::string_view sourcePart) {
  size_t slash = sourcePart.rfind('/');
  std::string_view dir = slash == std::string_view::npos ? "" : sourcePart.substr(0, slash + 1);
  std::string_view base =
      slash == std::string_view::npos ? sourcePart : sourcePart.substr(slash + 1);
  return std::string(dir) + "_rels/" + std::string(base) + ".rels";
}

std::string ResolvePartName(std::string_view sourcePart, std::string_view target) {
  std::string path;
  std::string decoded = PercentDecoded(target);
  if (!decoded.empty() && decoded[0] == '/') {
    path = decoded.substr(1);
  } else {
    size_t slash = sourcePart.rfind('/');
    if (slash != std::string_view::npos) path = std::string(sourcePart.substr(0, slash + 1));
    path += decoded;
  }
  // Normalise "." and ".." segments.
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string seg = path.substr(start, end - start);
    if (seg == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segments.push_back(std::move(seg));
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& seg : segments) {
    if (!out.empty()) out += '/';
    out += seg;
  }
  return out;
}

bool TypeIs(std::string_view type, std::string_view kind) {
  return type.size() > kind.size() && type.substr(type.size() - kind.size()) == kind &&
         type[type.size() - kind.size() - 1] == '/';
}

std::vector<Relationship> ReadRelationships(ZipReader& zip, std::string_view sourcePart) {
  std::vector<Relationship> rels;
  std::string relsPart =
      sourcePart.empty() ? std::string("_rels/.rels") : RelationshipsPartName(sourcePart);
  if (!zip.Has(relsPart)) return rels;
  RelsHandler handler(sourcePart, rels);
  ParseXmlPart(zip, relsPart, kMaxSmallPartBytes, handler);
  return rels;
}

std::vector<Relationship> ParseRelationships(std::string_view sourcePart, std::string_view xml) {
  std::vector<Relationship> rels;
  RelsHandler handler(sourcePart, rels);
  XmlReader reader(handler, "relationships of " + std::string(sourcePart));
  reader.Feed(xml.data(), xml.size());
  reader.Finish();
  return rels;
}

}  // namespace ddt::grid::io
