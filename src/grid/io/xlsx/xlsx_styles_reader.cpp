// The styles part: number formats, fonts (colour), fills, borders and the cell formats
// (cellXfs) that combine them. Colours are kept as written and resolved at the end, because
// a custom indexed palette comes after the records that use it.
#include <charconv>
#include <map>
#include <optional>

#include "grid/format/number_format.h"
#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"

namespace ddt::grid::io {

namespace {

struct ColorSpec {
  enum class Kind { None, Rgb, Indexed, Theme, Auto } kind = Kind::None;
  uint32_t value = 0;  // BGR for Rgb, the index otherwise
  double tint = 0;
};

struct FillRec {
  int pattern = 0;
  ColorSpec fg, bg;
};
struct BorderSide {
  int style = 0;
  ColorSpec color;
};
struct BorderRec {
  BorderSide left, right, top, bottom;
};
struct XfRec {
  int numFmt = 0, font = 0, fill = 0, border = 0, xfId = 0;
  bool quotePrefix = false;
  std::string attrs, children;
  std::string apply[4];
};

constexpr const char* kApplyNames[4] = {"applyNumberFormat", "applyFont", "applyFill",
                                        "applyBorder"};

int IntAttr(const char** attrs, std::string_view name, int fallback = 0) {
  const char* v = Attr(attrs, name);
  if (!v) return fallback;
  int out = fallback;
  std::string_view s(v);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() ? out : fallback;
}

bool BoolAttr(const char** attrs, std::string_view name) {
  const char* v = Attr(attrs, name);
  return v && (std::string_view(v) == "1" || std::string_view(v) == "true");
}

ColorSpec ParseColor(const char** attrs) {
  ColorSpec c;
  if (const char* t = Attr(attrs, "tint")) {
    std::string_view s(t);
    double d = 0;
    if (std::from_chars(s.data(), s.data() + s.size(), d).ec == std::errc()) c.tint = d;
  }
  if (const char* rgb = Attr(attrs, "rgb")) {
    if (auto v = ParseArgb(rgb)) {
      c.kind = ColorSpec::Kind::Rgb;
      c.value = *v;
    }
  } else if (Attr(attrs, "indexed")) {
    c.kind = ColorSpec::Kind::Indexed;
    c.value = static_cast<uint32_t>(IntAttr(attrs, "indexed"));
  } else if (Attr(attrs, "theme")) {
    c.kind = ColorSpec::Kind::Theme;
    c.value = static_cast<uint32_t>(IntAttr(attrs, "theme"));
  } else if (BoolAttr(attrs, "auto")) {
    c.kind = ColorSpec::Kind::Auto;
  }
  return c;
}

class StylesHandler : public XmlHandler {
 public:
  explicit StylesHandler(StylesExtras* extras) : x_(extras) {
    if (x_) SetWantText(true);  // a small part: kept records need their text
  }

  void StartElement(std::string_view name, const char** attrs) override {
    ++depth_;
    if (x_) Keep(name, attrs);
    if (depth_ == 2) {
      section_ = std::string(name);
      return;
    }
    if (depth_ == 3) {
      record_ = true;
      if (section_ == "numFmts" && name == "numFmt") {
        const char* code = Attr(attrs, "formatCode");
        if (code && numFmts_.size() < kMaxStyleRecords)
          numFmts_[IntAttr(attrs, "numFmtId", -1)] = code;
      } else if (section_ == "fonts" && name == "font") {
        Bound(fonts_.size());
        fonts_.emplace_back();
      } else if (section_ == "fills" && name == "fill") {
        Bound(fills_.size());
        fills_.emplace_back();
      } else if (section_ == "borders" && name == "border") {
        Bound(borders_.size());
        borders_.emplace_back();
      } else if (section_ == "cellXfs" && name == "xf") {
        Bound(xfs_.size());
        XfRec xf;
        xf.numFmt = IntAttr(attrs, "numFmtId");
        xf.font = IntAttr(attrs, "fontId");
        xf.fill = IntAttr(attrs, "fillId");
        xf.border = IntAttr(attrs, "borderId");
        xf.xfId = IntAttr(attrs, "xfId");
        xf.quotePrefix = BoolAttr(attrs, "quotePrefix");
        if (x_) {
          xf.attrs = AttrsText(attrs, [](std::string_view a) {
            if (a == "numFmtId" || a == "fontId" || a == "fillId" || a == "borderId" ||
                a == "xfId" || a == "quotePrefix")
              return true;
            for (const char* apply : kApplyNames)
              if (a == apply) return true;
            return false;
          });
          for (int k = 0; k < 4; ++k)
            if (const char* v = Attr(attrs, kApplyNames[k])) xf.apply[k] = v;
        }
        xfs_.push_back(xf);
      } else {
        record_ = false;
      }
      return;
    }
    if (section_ == "colors" && name == "rgbColor" && depth_ == 4) {
      if (palette_.size() < kIndexedColorCount) {
        auto v = ParseArgb(Attr(attrs, "rgb") ? Attr(attrs, "rgb") : "");
        palette_.push_back(v.value_or(0));
      }
      return;
    }
    if (!record_) return;
    if (section_ == "fonts" && depth_ == 4 && name == "color") {
      fonts_.back() = ParseColor(attrs);
    } else if (section_ == "fills" && depth_ == 4 && name == "patternFill") {
      const char* type = Attr(attrs, "patternType");
      fills_.back().pattern = type ? PatternCode(type) : 0;
    } else if (section_ == "fills" && depth_ == 5 && name == "fgColor") {
      fills_.back().fg = ParseColor(attrs);
    } else if (section_ == "fills" && depth_ == 5 && name == "bgColor") {
      fills_.back().bg = ParseColor(attrs);
    } else if (section_ == "borders" && depth_ == 4) {
      side_ = Side(name);
      if (side_) side_->style = BorderStyleCode(Attr(attrs, "style") ? Attr(attrs, "style") : "");
    } else if (section_ == "borders" && depth_ == 5 && name == "color" && side_) {
      side_->color = ParseColor(attrs);
    }
  }

  void EndElement(std::string_view name) override {
    if (capture_.Active() && capture_.End(QName())) Kept(capture_.Take());
    if (depth_ == 4 && section_ == "borders") side_ = nullptr;
    --depth_;
  }

  void Text(const char* data, size_t size) override { capture_.Text(data, size); }

  const std::map<int, std::string>& NumFmts() const { return numFmts_; }

  CellFormats Result() const {
    CellFormats out;
    std::shared_ptr<const StyleExtras> first;
    for (const XfRec& xf : xfs_) {
      Style style;
      style.numberFormat = NumberFormat(xf.numFmt);
      if (xf.font >= 0 && static_cast<size_t>(xf.font) < fonts_.size())
        style.fontColor = Resolve(fonts_[xf.font], kBlack);
      if (xf.fill >= 0 && static_cast<size_t>(xf.fill) < fills_.size()) {
        const FillRec& f = fills_[xf.fill];
        style.pattern = static_cast<uint16_t>(f.pattern);
        if (f.pattern != 0) {
          style.patternFg = Resolve(f.fg, kBlack);
          style.patternBg = Resolve(f.bg, kWhite);
        }
      }
      if (xf.border >= 0 && static_cast<size_t>(xf.border) < borders_.size()) {
        const BorderRec& b = borders_[xf.border];
        style.left = ToBorder(b.left);
        style.right = ToBorder(b.right);
        style.top = ToBorder(b.top);
        style.bottom = ToBorder(b.bottom);
      }
      if (x_) {
        auto e = std::make_shared<StyleExtras>();
        e->origin = x_;
        e->base = style;
        e->numFmtId = xf.numFmt;
        e->fontId = xf.font;
        e->fillId = xf.fill;
        e->borderId = xf.border;
        e->xfId = xf.xfId;
        e->font = Record(x_->fonts, xf.font);
        e->fill = Record(x_->fills, xf.fill);
        e->border = Record(x_->borders, xf.border);
        e->attrs = xf.attrs;
        for (int k = 0; k < 4; ++k) e->apply[k] = xf.apply[k];
        e->children = xf.children;
        if (!first) {
          x_->defaults = e;
          first = e;
        }
        // A format that shows as the file's default is the grid's default style.
        const bool plain = style == Style{} && SameRecord(*e, *first);
        if (!plain) style.extras = std::move(e);
      }
      out.xfs.push_back(std::move(style));
      out.quotePrefix.push_back(xf.quotePrefix);
    }
    return out;
  }

 private:
  // Keeps the records as written: font, fill and border records whole, the attributes and
  // children of cell formats, and whole sections the grid does not read.
  void Keep(std::string_view name, const char** attrs) {
    if (capture_.Active()) {
      capture_.Start(QName(), attrs);
      return;
    }
    if (depth_ == 1) {
      x_->rootAttrs = AttrsText(attrs, [](std::string_view) { return false; });
      const std::string prefix = MainPrefix(attrs);
      if (!prefix.empty()) x_->rootAttrs = WithDefaultNamespace(x_->rootAttrs);
      capture_.DropPrefix(prefix);
      return;
    }
    const std::string_view section = depth_ == 2 ? name : std::string_view(section_);
    const bool records = section == "fonts" || section == "fills" || section == "borders";
    if (depth_ == 2) {
      if (records || section == "cellXfs" || section == "numFmts") {
        x_->sectionAttrs[std::string(name)] =
            AttrsText(attrs, [](std::string_view a) { return a == "count"; });
        return;
      }
      keptName_ = std::string(name);
    } else if (!((depth_ == 3 && records) || (depth_ == 4 && section == "cellXfs"))) {
      return;
    }
    capture_.Start(QName(), attrs);
    captureDepth_ = depth_;
  }

  void Kept(std::string xml) {
    if (captureDepth_ == 2) {
      x_->sections.push_back({keptName_, std::move(xml)});
    } else if (captureDepth_ == 4) {
      if (!xfs_.empty()) xfs_.back().children += xml;
    } else if (section_ == "fonts") {
      if (x_->fonts.size() < kMaxStyleRecords) x_->fonts.push_back(std::move(xml));
    } else if (section_ == "fills") {
      if (x_->fills.size() < kMaxStyleRecords) x_->fills.push_back(std::move(xml));
    } else if (section_ == "borders") {
      if (x_->borders.size() < kMaxStyleRecords) x_->borders.push_back(std::move(xml));
    }
  }

  static std::string Record(const std::vector<std::string>& list, int i) {
    return i >= 0 && static_cast<size_t>(i) < list.size() ? list[i] : std::string();
  }
  static bool SameRecord(const StyleExtras& a, const StyleExtras& b) {
    return a.numFmtId == b.numFmtId && a.fontId == b.fontId && a.fillId == b.fillId &&
           a.borderId == b.borderId && a.xfId == b.xfId && a.attrs == b.attrs &&
           a.children == b.children;
  }

  static void Bound(size_t n) {
    if (n >= kMaxStyleRecords)
      throw GridError("the styles part holds too many records", ErrorKind::OverLimit);
  }

  BorderSide* Side(std::string_view name) {
    BorderRec& b = borders_.back();
    if (name == "left" || name == "start") return &b.left;
    if (name == "right" || name == "end") return &b.right;
    if (name == "top") return &b.top;
    if (name == "bottom") return &b.bottom;
    return nullptr;
  }

  std::string NumberFormat(int id) const {
    auto it = numFmts_.find(id);
    if (it != numFmts_.end()) return it->second;
    if (const char* code = format::BuiltinFormatCode(id)) return code;
    // An East Asian locale's date or time, as the .xls reader reads the same ids.
    if (const char* local = format::LocaleBuiltinFormatCode(id)) return local;
    return "General";
  }

  uint32_t Resolve(const ColorSpec& c, uint32_t fallback) const {
    switch (c.kind) {
      case ColorSpec::Kind::Rgb: return ApplyTint(c.value, c.tint);
      case ColorSpec::Kind::Indexed: {
        int i = static_cast<int>(c.value);
        if (i < 64 && static_cast<size_t>(i) < palette_.size()) return ApplyTint(palette_[i], c.tint);
        if (i >= 64) return fallback;  // system foreground / background
        return ApplyTint(IndexedColor(i), c.tint);
      }
      case ColorSpec::Kind::Theme: return ThemeColor(static_cast<int>(c.value), c.tint);
      default: return fallback;
    }
  }

  Border ToBorder(const BorderSide& side) const {
    Border b;
    b.style = static_cast<uint16_t>(side.style);
    if (side.style != 0) b.color = Resolve(side.color, kBlack);
    return b;
  }

  StylesExtras* x_;
  XmlCapture capture_;
  int captureDepth_ = 0;
  std::string keptName_;
  int depth_ = 0;
  bool record_ = false;
  std::string section_;
  std::map<int, std::string> numFmts_;
  std::vector<ColorSpec> fonts_;  // the colour of each font
  std::vector<FillRec> fills_;
  std::vector<BorderRec> borders_;
  std::vector<XfRec> xfs_;
  std::vector<uint32_t> palette_;
  BorderSide* side_ = nullptr;
};

}  // namespace

CellFormats ReadStylesPart(ZipReader& zip, std::string_view part, StylesExtras* extras) {
  StylesHandler handler(extras);
  if (extras) *extras = StylesExtras{};
  ParseXmlPart(zip, part, kMaxSmallPartBytes, handler);
  CellFormats out = handler.Result();
  if (extras) {
    for (const auto& [id, code] : handler.NumFmts()) extras->numFmts[id] = code;
  }
  return out;
}

}  // namespace ddt::grid::io
