// An XML handler that writes every event down as text, so that two parses of one document
// (expat and the sheet scanner, whole and pipelined) can be compared event by event. Used by
// the tests and the differential fuzz targets.
//
// Each start tag is a line "<qname attr=value ...", with "|localname" after the qualified name
// when asked for; each end tag "/qname"; the text an element was given "#text", written when
// the next tag comes. Text is wanted inside the elements `wantsText` picks.
#pragma once

#include <string>
#include <string_view>

#include "grid/io/xlsx/xml_reader.h"

namespace ddt::test {

class XmlEventJournal : public grid::io::XmlHandler {
 public:
  using TextPick = bool (*)(std::string_view name);
  XmlEventJournal(TextPick wantsText, bool withLocalName)
      : wantsText_(wantsText), withLocalName_(withLocalName) {}

  void StartElement(std::string_view name, const char** attrs) override {
    Flush();
    events += "<" + std::string(QName());
    if (withLocalName_) events += "|" + std::string(name);
    for (; *attrs; attrs += 2) events += std::string(" ") + attrs[0] + "=" + attrs[1];
    events += '\n';
    SetWantText(wantsText_(name));
  }
  void EndElement(std::string_view) override {
    Flush();
    events += "/" + std::string(QName()) + "\n";
    SetWantText(false);
  }
  void Text(const char* data, size_t size) override { text_.append(data, size); }
  void Flush() {
    if (!text_.empty()) events += "#" + text_ + "\n";
    text_.clear();
  }

  std::string events;

 private:
  TextPick wantsText_;
  bool withLocalName_;
  std::string text_;
};

}  // namespace ddt::test
