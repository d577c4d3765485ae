// The shared-string part: one string per <si>, rich-text runs concatenated, phonetic runs
// (<rPh>) skipped, empty entries kept so that indexes stay right.
#include <charconv>

#include "grid/grid_error.h"
#include "grid/limits.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/io/xlsx/xml_pipeline.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

class SharedStringsHandler : public XmlHandler {
 public:
  explicit SharedStringsHandler(std::vector<SharedText>& out) : out_(out) {}

  void StartElement(std::string_view name, const char** attrs) override {
    if (name == "si") {
      inItem_ = true;
      text_.clear();
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && inItem_ && phonetic_ == 0) {
      SetWantText(true);
    } else if (name == "sst" && out_.empty()) {
      // The declared count is only a hint: never trust it beyond a modest reservation.
      if (const char* n = Attr(attrs, "uniqueCount")) {
        size_t count = 0;
        std::string_view s(n);
        if (std::from_chars(s.data(), s.data() + s.size(), count).ec == std::errc())
          out_.reserve(std::min<size_t>(count, 1 << 16));
      }
    }
  }

  void EndElement(std::string_view name) override {
    if (name == "t") {
      SetWantText(false);
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "si") {
      UnescapeXstring(text_);
      if (text::utf8::CountCharacters(text_) > static_cast<size_t>(kMaxCellTextLength))
        throw GridError(
            "shared string " + std::to_string(out_.size()) + " is longer than 32767 characters",
            ErrorKind::Damaged);
      out_.push_back(text_);
      inItem_ = false;
    }
  }

  void Text(const char* data, size_t size) override {
    if (text_.size() + size > kMaxTextBytes)
      throw GridError(
          "shared string " + std::to_string(out_.size()) + " is longer than 32767 characters",
          ErrorKind::Damaged);
    text_.append(data, size);
  }

 private:
  std::vector<SharedText>& out_;
  std::string text_;
  bool inItem_ = false;
  int phonetic_ = 0;
};

}  // namespace

std::vector<SharedText> ReadSharedStringsPart(ZipReader& zip, std::string_view part) {
  std::vector<SharedText> strings;
  SharedStringsHandler handler(strings);
  ParseXmlPartPipelined(zip, part, kMaxEntryBytes, handler);
  return strings;
}

}  // namespace ddt::grid::io
