#include "grid/io/xlsx/sheet_scanner.h"

#include <array>
#include <cstring>

#include "grid/io/xlsx/xml_reader.h"

namespace ddt::grid::io {

namespace {

using Table = std::array<uint8_t, 256>;

// Bytes that end a run of plain text in element content: markup, references, the ']' of a
// possible "]]>", carriage returns (normalized), control characters and the zero at the end
// (not allowed in XML), and non-ASCII bytes (checked as UTF-8).
constexpr Table MakeTextStops() {
  Table t{};
  for (int c = 0; c < 0x20; ++c) t[c] = 1;
  t['\t'] = t['\n'] = 0;
  for (int c = 0x80; c < 0x100; ++c) t[c] = 1;
  t['<'] = t['&'] = t[']'] = 1;
  return t;
}

// The same for attribute values: their quotes, and the whitespace that becomes spaces.
constexpr Table MakeValueStops() {
  Table t{};
  for (int c = 0; c < 0x20; ++c) t[c] = 1;
  for (int c = 0x80; c < 0x100; ++c) t[c] = 1;
  t['<'] = t['&'] = t['"'] = t['\''] = 1;
  return t;
}

// ASCII name characters (1: may also start a name). Other names are left to expat.
constexpr Table MakeNameChars() {
  Table t{};
  for (int c = 'a'; c <= 'z'; ++c) t[c] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = 1;
  t['_'] = t[':'] = 1;
  for (int c = '0'; c <= '9'; ++c) t[c] = 2;
  t['.'] = t['-'] = 2;
  return t;
}

constexpr Table kTextStops = MakeTextStops();
constexpr Table kValueStops = MakeValueStops();
constexpr Table kNameChars = MakeNameChars();

inline uint8_t U(char c) { return static_cast<uint8_t>(c); }
inline bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }
inline bool NameStart(char c) { return kNameChars[U(c)] == 1; }
inline bool NameChar(char c) { return kNameChars[U(c)] != 0; }

// After one UTF-8 encoded character at p of a code point XML allows, or null. The zero at
// the end of the document is never a continuation byte, so reading stops there.
const char* Utf8Char(const char* p) {
  const uint8_t b0 = U(p[0]);
  auto cont = [&](int i) { return (U(p[i]) & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? p + 2 : nullptr;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (!cont(1) || !cont(2)) return nullptr;
    const uint8_t b1 = U(p[1]);
    if (b0 == 0xE0 && b1 < 0xA0) return nullptr;   // overlong
    if (b0 == 0xED && b1 >= 0xA0) return nullptr;  // surrogates
    if (b0 == 0xEF && b1 == 0xBF && U(p[2]) >= 0xBE) return nullptr;  // U+FFFE, U+FFFF
    return p + 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return nullptr;
    const uint8_t b1 = U(p[1]);
    if (b0 == 0xF0 && b1 < 0x90) return nullptr;  // overlong
    if (b0 == 0xF4 && b1 >= 0x90) return nullptr;  // past U+10FFFF
    return p + 4;
  }
  return nullptr;
}

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool XmlCodePoint(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Whether p starts with the literal `word`; the zero at the end stops a partial match.
bool Starts(const char* p, std::string_view word) {
  return std::strncmp(p, word.data(), word.size()) == 0;
}

// How often Scan reports its progress.
constexpr size_t kConsumedStep = size_t{8} << 20;

}  // namespace

bool SheetScanner::Reference(std::string& out) {
  // p_ is just after the '&'.
  const char* p = p_;
  if (*p == '#') {
    ++p;
    uint32_t cp = 0;
    const bool hex = *p == 'x';
    if (hex) ++p;
    const char* digits = p;
    for (;; ++p) {
      const char c = *p;
      uint32_t d;
      if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
      else if (hex && c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
      else if (hex && c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
      else break;
      cp = cp * (hex ? 16 : 10) + d;
      if (cp > 0x10FFFF) return false;
    }
    if (p == digits || *p != ';' || !XmlCodePoint(cp)) return false;
    AppendUtf8(cp, out);
    p_ = p + 1;
    return true;
  }
  struct Entity {
    std::string_view name;
    char value;
  };
  static constexpr Entity kEntities[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  for (const Entity& e : kEntities) {
    if (Starts(p, e.name)) {
      out += e.value;
      p_ = p + e.name.size();
      return true;
    }
  }
  return false;
}

bool SheetScanner::Declaration() {
  // <?xml version="1.0" encoding="UTF-8" standalone="yes"?>, the last two optional. Other
  // declarations, and a byte order mark, are left to expat.
  const char* p = p_;
  if (!Starts(p, "<?")) return true;  // none
  if (!Starts(p, "<?xml") || !IsSpace(p[5])) return false;
  p += 5;
  auto pseudo = [&](std::string_view name, auto accept) {
    const char* q = p;
    if (!IsSpace(*q)) return false;
    while (IsSpace(*q)) ++q;
    if (!Starts(q, name)) return false;
    q += name.size();
    while (IsSpace(*q)) ++q;
    if (*q++ != '=') return false;
    while (IsSpace(*q)) ++q;
    const char quote = *q++;
    if (quote != '"' && quote != '\'') return false;
    const char* value = q;
    while (*q && *q != quote && *q != '<') ++q;
    if (*q != quote || !accept(std::string_view(value, static_cast<size_t>(q - value))))
      return false;
    p = q + 1;
    return true;
  };
  if (!pseudo("version", [](std::string_view v) { return v == "1.0"; })) return false;
  pseudo("encoding", [](std::string_view v) {
    return v.size() == 5 && (v[0] | 0x20) == 'u' && (v[1] | 0x20) == 't' &&
           (v[2] | 0x20) == 'f' && v[3] == '-' && v[4] == '8';
  });
  pseudo("standalone", [](std::string_view v) { return v == "yes" || v == "no"; });
  while (IsSpace(*p)) ++p;
  if (!Starts(p, "?>")) return false;
  p_ = p + 2;
  return true;
}

bool SheetScanner::AttributeValue(char quote) {
  // p_ is just after the opening quote; the value goes into tag_.
  const char* p = p_;
  for (;;) {
    const char* run = p;
    while (!kValueStops[U(*p)]) ++p;
    tag_.append(run, p);
    const char c = *p;
    if (c == quote) {
      p_ = p + 1;
      return true;
    }
    if (c == '"' || c == '\'') {
      tag_ += c;
      ++p;
    } else if (c == '\t' || c == '\n') {
      tag_ += ' ';
      ++p;
    } else if (c == '\r') {
      tag_ += ' ';
      p += p[1] == '\n' ? 2 : 1;
    } else if (c == '&') {
      p_ = p + 1;
      if (!Reference(tag_)) return false;
      p = p_;
    } else if (U(c) >= 0x80) {
      const char* next = Utf8Char(p);
      if (!next) return false;
      tag_.append(p, next);
      p = next;
    } else {
      return false;  // '<', a control character, or the end
    }
  }
}

bool SheetScanner::StartTag() {
  // p_ is at the '<', a name start character follows.
  const char* p = p_ + 1;
  const char* name = p;
  while (NameChar(*p)) ++p;
  tag_.assign(name, p);
  tag_ += '\0';
  const size_t nameSize = static_cast<size_t>(p - name);
  attrOffsets_.clear();
  bool selfClosing = false;
  for (;;) {
    const bool space = IsSpace(*p);
    while (IsSpace(*p)) ++p;
    if (*p == '>') {
      ++p;
      break;
    }
    if (*p == '/') {
      if (p[1] != '>') return false;
      p += 2;
      selfClosing = true;
      break;
    }
    if (!space || !NameStart(*p)) return false;
    const char* attr = p;
    while (NameChar(*p)) ++p;
    const std::string_view attrName(attr, static_cast<size_t>(p - attr));
    for (size_t i = 0; i < attrOffsets_.size(); i += 2) {
      const size_t at = attrOffsets_[i];
      if (attrOffsets_[i + 1] - at - 1 == attrName.size() &&
          tag_.compare(at, attrName.size(), attrName) == 0)
        return false;  // a duplicate
    }
    attrOffsets_.push_back(tag_.size());
    tag_.append(attrName);
    tag_ += '\0';
    while (IsSpace(*p)) ++p;
    if (*p++ != '=') return false;
    while (IsSpace(*p)) ++p;
    const char quote = *p;
    if (quote != '"' && quote != '\'') return false;
    attrOffsets_.push_back(tag_.size());
    p_ = p + 1;
    if (!AttributeValue(quote)) return false;
    p = p_;
    tag_ += '\0';
  }
  p_ = p;
  DeliverPendingText();
  openNames_.append(name, nameSize);
  openNames_ += '\0';
  openSizes_.push_back(nameSize);
  Start();
  if (selfClosing) End();
  return true;
}

void SheetScanner::Start() {
  attrs_.clear();
  for (size_t offset : attrOffsets_) attrs_.push_back(tag_.data() + offset);
  attrs_.push_back(nullptr);
  ++events_;
  DeliverStart(handler_, tag_.data(), attrs_.data());
}

void SheetScanner::End() {
  const size_t at = openNames_.size() - openSizes_.back() - 1;
  openSizes_.pop_back();
  ++events_;
  // The name stays in place until the handler has seen it.
  DeliverEnd(handler_, openNames_.data() + at);
  openNames_.resize(at);
}

bool SheetScanner::EndTag() {
  // p_ is at "</"; the name must be the open element's.
  const size_t size = openSizes_.back();
  const char* p = p_ + 2;
  // strncmp: the zero at the end of the document stops it.
  if (std::strncmp(p, openNames_.data() + openNames_.size() - size - 1, size) != 0)
    return false;
  p += size;
  if (NameChar(*p)) return false;  // a longer name
  while (IsSpace(*p)) ++p;
  if (*p != '>') return false;
  p_ = p + 1;
  DeliverPendingText();
  End();
  return true;
}

bool SheetScanner::Content() {
  // Text up to the next '<' (or the end), checked and held until the tag after it is read.
  const char* p = p_;
  const char* run = p;
  textBegin_ = p;
  textDecode_ = false;
  for (;;) {
    while (!kTextStops[U(*p)]) ++p;
    const char c = *p;
    if (c == '<' || (c == 0 && p == end_)) break;
    if (c == ']') {
      if (p[1] == ']' && p[2] == '>') return false;  // not allowed in text
      ++p;
      continue;
    }
    if (U(c) >= 0x80) {
      const char* next = Utf8Char(p);
      if (!next) return false;
      p = next;
      continue;
    }
    if (c != '&' && c != '\r') return false;  // a control character
    if (!textDecode_) {
      textDecode_ = true;
      decoded_.clear();
    }
    decoded_.append(run, p);
    if (c == '\r') {
      decoded_ += '\n';
      p += p[1] == '\n' ? 2 : 1;
    } else {
      p_ = p + 1;
      if (!Reference(decoded_)) return false;
      p = p_;
    }
    run = p;
  }
  if (textDecode_) decoded_.append(run, p);
  textEnd_ = p;
  p_ = p;
  return true;
}

void SheetScanner::DeliverPendingText() {
  const bool any = textDecode_ ? !decoded_.empty() : textEnd_ > textBegin_;
  if (any && handler_.WantText()) {
    if (textDecode_) handler_.Text(decoded_.data(), decoded_.size());
    else handler_.Text(textBegin_, static_cast<size_t>(textEnd_ - textBegin_));
  }
  textBegin_ = textEnd_ = nullptr;
  textDecode_ = false;
}

SheetScanner::Result SheetScanner::Scan(std::string_view xml,
                                        const std::function<void(size_t)>& consumed) {
  begin_ = p_ = xml.data();
  end_ = begin_ + xml.size();
  events_ = 0;
  openNames_.clear();
  openSizes_.clear();
  textBegin_ = textEnd_ = nullptr;
  textDecode_ = false;
  auto gaveUp = [&] { return Result{false, events_}; };
  if (!Declaration()) return gaveUp();
  while (IsSpace(*p_)) ++p_;
  if (*p_ != '<' || !NameStart(p_[1]) || !StartTag()) return gaveUp();
  size_t reported = 0;
  while (!openSizes_.empty()) {
    if (!Content() || p_ == end_) return gaveUp();
    if (p_[1] == '/') {
      if (!EndTag()) return gaveUp();
    } else if (!NameStart(p_[1]) || !StartTag()) {
      return gaveUp();  // a comment, CDATA, processing instruction or a fault
    }
    if (consumed && static_cast<size_t>(p_ - begin_) - reported >= kConsumedStep) {
      reported = static_cast<size_t>(p_ - begin_);
      consumed(reported);
    }
  }
  while (IsSpace(*p_)) ++p_;
  if (p_ != end_) return gaveUp();  // anything after the root element
  return Result{true, events_};
}

}  // namespace ddt::grid::io
