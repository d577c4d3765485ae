#include "grid/io/xlsx/sheet_xml_part.h"

#include "grid/io/xlsx/sheet_scanner.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"

namespace ddt::grid::io {

namespace {

// Passes expat's events on to `inner`, less the first `skip` element events (and the text
// before the last of them): those the scanner has delivered already.
class SkipDelivered : public XmlHandler {
 public:
  SkipDelivered(XmlHandler& inner, uint64_t skip) : inner_(inner), skip_(skip) { Sync(); }

  void StartElement(std::string_view, const char** attrs) override {
    if (skip_ > 0) --skip_;
    else DeliverStart(inner_, QName().data(), attrs);
    Sync();
  }
  void EndElement(std::string_view) override {
    if (skip_ > 0) --skip_;
    else DeliverEnd(inner_, QName().data());
    Sync();
  }
  void Text(const char* data, size_t size) override { inner_.Text(data, size); }

 private:
  // Text is wanted once the skipped events are behind, when the handler wants it.
  void Sync() { SetWantText(skip_ == 0 && inner_.WantText()); }

  XmlHandler& inner_;
  uint64_t skip_;
};

// Parts at least this large give back the memory of what the scanner has read.
constexpr uint64_t kReleasedPartBytes = uint64_t{16} << 20;

}  // namespace

void ParseSheetXmlPart(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                       XmlHandler& handler) {
  InflatedPart xml = zip.Inflate(part, maxBytes);
  SheetScanner scanner(handler);
  std::function<void(size_t)> consumed;
  if (xml.size() >= kReleasedPartBytes) consumed = [&](size_t offset) { xml.Release(offset); };
  const SheetScanner::Result result =
      scanner.Scan(std::string_view(xml.data(), xml.size()), consumed);
  if (result.complete) return;
  SkipDelivered rest(handler, result.elementEvents);
  XmlReader reader(rest, "part " + std::string(part));
  if (xml.Whole()) {
    reader.Feed(xml.data(), xml.size());
  } else {
    xml = InflatedPart(0);
    zip.StreamAgain(part, maxBytes, [&](const char* data, size_t size) { reader.Feed(data, size); });
  }
  reader.Finish();
}

bool ParseSheetXml(std::string_view xml, const std::string& what, XmlHandler& handler) {
  SheetScanner scanner(handler);
  const SheetScanner::Result result = scanner.Scan(xml);
  if (result.complete) return true;
  SkipDelivered rest(handler, result.elementEvents);
  XmlReader reader(rest, what);
  reader.Feed(xml.data(), xml.size());
  reader.Finish();
  return false;
}

}  // namespace ddt::grid::io
