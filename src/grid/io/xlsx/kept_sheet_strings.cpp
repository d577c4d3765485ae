#include "grid/io/xlsx/kept_sheet_strings.h"

#include <charconv>

#include "grid/io/common/xml_text.h"

namespace ddt::grid::io {

namespace {

// The next start tag of a cell element ("<c" then a blank, "/" or ">") at or after pos.
size_t FindCellTag(std::string_view xml, size_t pos) {
  while ((pos = xml.find("<c", pos)) != std::string_view::npos) {
    const size_t next = pos + 2;
    if (next < xml.size() && (xml[next] == ' ' || xml[next] == '\t' || xml[next] == '\r' ||
                              xml[next] == '\n' || xml[next] == '>' || xml[next] == '/'))
      return pos;
    pos = next;
  }
  return std::string_view::npos;
}

// Where the value of attribute t="s" (or t='s') sits in a start tag; npos when the tag has
// no such attribute.
size_t FindSharedType(std::string_view tag) {
  for (const std::string_view form : {std::string_view(" t=\"s\""), std::string_view(" t='s'")}) {
    size_t at = tag.find(form);
    if (at != std::string_view::npos) return at + 4;
  }
  for (const char blank : {'\t', '\r', '\n'}) {
    for (const char quote : {'"', '\''}) {
      const std::string form{blank, 't', '=', quote, 's', quote};
      size_t at = tag.find(form);
      if (at != std::string_view::npos) return at + 4;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::string InlineSharedStrings(std::string_view xml, const std::vector<SharedText>& strings) {
  std::string out;
  size_t copied = 0;  // xml[0, copied) is in out
  size_t pos = 0;
  while ((pos = FindCellTag(xml, pos)) != std::string_view::npos) {
    const size_t tagEnd = xml.find('>', pos);
    if (tagEnd == std::string_view::npos) break;
    const std::string_view tag = xml.substr(pos, tagEnd - pos + 1);
    const size_t type = FindSharedType(tag);
    const size_t close = xml.find("</c>", tagEnd);
    if (type == std::string_view::npos || xml[tagEnd - 1] == '/' || close == std::string_view::npos) {
      pos = tagEnd + 1;
      continue;
    }
    const size_t valueStart = xml.find("<v>", tagEnd);
    const size_t valueEnd = valueStart == std::string_view::npos ? valueStart : xml.find("</v>", valueStart);
    size_t index = 0;
    if (valueEnd == std::string_view::npos || valueEnd > close) {
      pos = close;
      continue;
    }
    const char* first = xml.data() + valueStart + 3;
    const char* last = xml.data() + valueEnd;
    auto [end, ec] = std::from_chars(first, last, index);
    if (ec != std::errc() || end != last || index >= strings.size()) {
      pos = close;
      continue;
    }
    out.append(xml.substr(copied, pos - copied));
    out.append(tag.substr(0, type));
    out.append("inlineStr");
    out.append(tag.substr(type + 1));
    out.append(xml.substr(tagEnd + 1, valueStart - tagEnd - 1));
    out.append("<is><t xml:space=\"preserve\">");
    AppendXmlText(strings[index].view(), out);
    out.append("</t></is>");
    copied = valueEnd + 4;
    pos = copied;
  }
  if (out.empty()) return {};
  out.append(xml.substr(copied));
  return out;
}

}  // namespace ddt::grid::io
