#include "grid/io/xlsx/xml_reader.h"

#include <expat.h>

#include <cstring>
#include <limits>

#include "grid/grid_error.h"
#include "grid/io/zip/zip_reader.h"

namespace ddt::grid::io {

namespace {

// One pass over the name: this runs for every element.
std::string_view LocalName(const char* name) {
  const char* local = name;
  const char* p = name;
  for (; *p; ++p)
    if (*p == ':') local = p + 1;
  return std::string_view(local, static_cast<size_t>(p - local));
}

}  // namespace

const char* Attr(const char** attrs, std::string_view name) {
  for (; *attrs; attrs += 2)
    if (LocalName(attrs[0]) == name) return attrs[1];
  return nullptr;
}

XmlReader::XmlReader(XmlHandler& handler, std::string what)
    : parser_(XML_ParserCreate("UTF-8")), handler_(handler), what_(std::move(what)) {
  if (!parser_) throw GridError("out of memory");
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &XmlReader::OnStart, &XmlReader::OnEnd);
  XML_SetCharacterDataHandler(parser_, &XmlReader::OnText);
  XML_SetStartDoctypeDeclHandler(parser_, &XmlReader::OnDoctype);
  XML_SetEntityDeclHandler(parser_, &XmlReader::OnEntity);
}

XmlReader::~XmlReader() { XML_ParserFree(parser_); }

void XmlReader::Fail(std::exception_ptr error) {
  if (!error_) error_ = error;
  XML_StopParser(parser_, XML_FALSE);
}

void DeliverStart(XmlHandler& handler, const char* qname, const char** attrs) {
  const std::string_view local = LocalName(qname);
  handler.qname_ = qname;
  handler.qnameEnd_ = local.data() + local.size();
  handler.StartElement(local, attrs);
}

void DeliverEnd(XmlHandler& handler, const char* qname) {
  const std::string_view local = LocalName(qname);
  handler.qname_ = qname;
  handler.qnameEnd_ = local.data() + local.size();
  handler.EndElement(local);
}

void XmlReader::OnStart(void* p, const char* name, const char** attrs) {
  auto* self = static_cast<XmlReader*>(p);
  try {
    DeliverStart(self->handler_, name, attrs);
  } catch (...) {
    self->Fail(std::current_exception());
  }
}

void XmlReader::OnEnd(void* p, const char* name) {
  auto* self = static_cast<XmlReader*>(p);
  try {
    DeliverEnd(self->handler_, name);
  } catch (...) {
    self->Fail(std::current_exception());
  }
}

void XmlReader::OnText(void* p, const char* data, int size) {
  auto* self = static_cast<XmlReader*>(p);
  if (!self->handler_.WantText()) return;
  try {
    self->handler_.Text(data, static_cast<size_t>(size));
  } catch (...) {
    self->Fail(std::current_exception());
  }
}

void XmlReader::OnDoctype(void* p, const char*, const char*, const char*, int) {
  auto* self = static_cast<XmlReader*>(p);
  self->Fail(std::make_exception_ptr(
      GridError(self->what_ + ": a document type declaration is not allowed", ErrorKind::Damaged)));
}

void XmlReader::OnEntity(void* p, const char*, int, const char*, int, const char*,
                         const char*, const char*, const char*) {
  auto* self = static_cast<XmlReader*>(p);
  self->Fail(std::make_exception_ptr(
      GridError(self->what_ + ": entity declarations are not allowed", ErrorKind::Damaged)));
}

void XmlReader::Parse(const char* data, size_t size, bool final) {
  constexpr size_t kMaxPiece = static_cast<size_t>(std::numeric_limits<int>::max() / 2);
  do {
    size_t piece = size < kMaxPiece ? size : kMaxPiece;
    bool last = final && piece == size;
    XML_Status status = XML_Parse(parser_, data, static_cast<int>(piece), last);
    if (error_) std::rethrow_exception(error_);
    if (status != XML_STATUS_OK)
      throw GridError(what_ + ": XML error at line " +
                          std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                          XML_ErrorString(XML_GetErrorCode(parser_)),
                      ErrorKind::Damaged);
    data += piece;
    size -= piece;
  } while (size > 0);
}

void XmlReader::Feed(const char* data, size_t size) {
  if (size > 0) Parse(data, size, false);
}

void XmlReader::Finish() { Parse("", 0, true); }

void ParseXmlPart(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                  XmlHandler& handler) {
  XmlReader reader(handler, "part " + std::string(part));
  zip.Stream(part, maxBytes, [&](const char* data, size_t size) { reader.Feed(data, size); });
  reader.Finish();
}

}  // namespace ddt::grid::io
