// Reading a worksheet part: the whole part is inflated at once and read by SheetScanner;
// when the scanner meets something it does not know, expat reads the part from the start
// and the handler gets expat's events from where the scanner stopped. Either way the handler
// sees exactly the events, and the errors, of ParseXmlPart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ddt::grid::io {

class XmlHandler;
class ZipReader;

// On the caller's thread: parsing on a second thread (xml_pipeline.h) costs more in
// recording and replaying the events than the scanner takes (see bench/xlsx/NOTES.md).
void ParseSheetXmlPart(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                       XmlHandler& handler);

// The same for a document in memory (`xml` followed by a zero byte, as in a std::string);
// `what` names it in errors. Returns whether the scanner read it all (false: expat did).
bool ParseSheetXml(std::string_view xml, const std::string& what, XmlHandler& handler);

}  // namespace ddt::grid::io
