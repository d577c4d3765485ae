// Text inside XML parts: escaped for elements and attributes, and the _xHHHH_ escapes
// spreadsheet files use for characters XML cannot hold.
#pragma once

#include <string>
#include <string_view>

namespace ddt::grid::io {

// Text as an XML string item: control characters and literal "_xHHHH_" sequences escaped
// the way spreadsheet files do, invalid UTF-8 replaced by U+FFFD, markup characters escaped.
void AppendXmlText(std::string_view text, std::string& out, bool escapeControls = true);
// Undo the _xHHHH_ escapes of a string item, in place.
void UnescapeXstring(std::string& text);

}  // namespace ddt::grid::io
