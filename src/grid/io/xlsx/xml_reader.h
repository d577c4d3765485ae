// Streaming XML parsing (expat) for the workbook parts: element and text events go to a
// handler as the bytes arrive; no tree is built. Documents with a DOCTYPE (and so with
// entity declarations) are refused. Names reach the handler without their prefix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

struct XML_ParserStruct;

namespace ddt::grid::io {

class ZipReader;

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `attrs` holds name/value pairs, null-terminated, names as written (see Attr).
  virtual void StartElement(std::string_view name, const char** attrs) = 0;
  virtual void EndElement(std::string_view name) = 0;
  // Character data; called only while WantText() is true.
  virtual void Text(const char* data, size_t size) {}
  bool WantText() const { return wantText_; }

 protected:
  // The name of the element being started or ended as written, with its prefix.
  std::string_view QName() const {
    return std::string_view(qname_, static_cast<size_t>(qnameEnd_ - qname_));
  }
  // Text is delivered only between a handler's requests; keeps parsing cheap elsewhere.
  void SetWantText(bool on) { wantText_ = on; }

 private:
  friend class XmlReader;
  friend void DeliverStart(XmlHandler& handler, const char* qname, const char** attrs);
  friend void DeliverEnd(XmlHandler& handler, const char* qname);
  bool wantText_ = false;
  const char* qname_ = "";
  const char* qnameEnd_ = qname_;  // its terminating zero
};

// The value of the attribute whose name without prefix is `name`, or null.
const char* Attr(const char** attrs, std::string_view name);

// One start or end event to a handler, as XmlReader delivers it (for events recorded
// elsewhere and replayed).
void DeliverStart(XmlHandler& handler, const char* qname, const char** attrs);
void DeliverEnd(XmlHandler& handler, const char* qname);

// Feeds bytes to expat; exceptions thrown by the handler stop the parse and come out of
// Feed or Finish. Errors are GridError naming `what` (the part) and the line.
class XmlReader {
 public:
  XmlReader(XmlHandler& handler, std::string what);
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  void Feed(const char* data, size_t size);
  void Finish();

 private:
  static void OnStart(void* self, const char* name, const char** attrs);
  static void OnEnd(void* self, const char* name);
  static void OnText(void* self, const char* data, int size);
  static void OnDoctype(void* self, const char*, const char*, const char*, int);
  static void OnEntity(void* self, const char*, int, const char*, int, const char*,
                       const char*, const char*, const char*);
  void Parse(const char* data, size_t size, bool final);
  void Fail(std::exception_ptr error);

  XML_ParserStruct* parser_;
  XmlHandler& handler_;
  std::string what_;
  std::exception_ptr error_;
};

// Streams one part of the archive through a handler.
void ParseXmlPart(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                  XmlHandler& handler);

}  // namespace ddt::grid::io
