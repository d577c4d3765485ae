// A fast reader for worksheet XML held whole in memory: it finds tags with plain byte
// scanning instead of a general XML parser and hands the handler the same element and text
// events expat would (XmlReader; names as written, attributes in their order, entities
// decoded, line ends and attribute whitespace normalized). It knows only what worksheets
// written by spreadsheet programs contain: an XML declaration, elements, attributes, text and
// the five predefined entities and character references. Anything else (a DOCTYPE, comment,
// CDATA section, processing instruction, another entity, a byte order mark, a non-ASCII
// name, or any fault of well-formedness) makes it stop before the construct and say how many
// element events it delivered, so that expat can read the part and take over from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::grid::io {

class XmlHandler;

class SheetScanner {
 public:
  explicit SheetScanner(XmlHandler& handler) : handler_(handler) {}

  struct Result {
    bool complete = false;   // the whole document was read
    uint64_t elementEvents = 0;  // start and end events delivered (all of them when complete)
  };

  // Reads the document `xml`, whose byte after the last must be a zero (a std::string's, or
  // InflatedPart's). Exceptions the handler throws come out as they are. `consumed`, when
  // given, is told every few megabytes how far the bytes before it are no longer needed.
  Result Scan(std::string_view xml, const std::function<void(size_t)>& consumed = {});

 private:
  bool Declaration();
  bool StartTag();
  bool EndTag();
  bool Content();
  bool AttributeValue(char quote);
  bool Reference(std::string& out);
  void DeliverPendingText();
  void Start();
  void End();

  XmlHandler& handler_;
  const char* begin_ = nullptr;
  const char* p_ = nullptr;
  const char* end_ = nullptr;
  uint64_t events_ = 0;
  // Names of the open elements, one after another, and the length of each (copies: the
  // front of the document may be given back while they are open).
  std::string openNames_;
  std::vector<size_t> openSizes_;
  // The tag being read: names and values, each followed by a zero, and where each starts.
  std::string tag_;
  std::vector<size_t> attrOffsets_;
  std::vector<const char*> attrs_;
  // Text read but not yet delivered (delivered only once the tag after it is read whole).
  const char* textBegin_ = nullptr;
  const char* textEnd_ = nullptr;
  bool textDecode_ = false;
  std::string decoded_;
};

}  // namespace ddt::grid::io
