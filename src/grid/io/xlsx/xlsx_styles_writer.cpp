// The styles part as written: number formats, fonts, fills, borders and one cell format per
// style of the workbook's style table (so a style id is its cell-format index), plus
// quote-prefixed copies for text entered with an apostrophe. A workbook read from a file
// writes that file's records first, as they were, and appends what its edits made new.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <unordered_map>

#include "grid/format/number_format.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"

namespace ddt::grid::io {

namespace {

constexpr int kFirstCustomFormatId = 164;
constexpr double kDigitPixels = 7;
constexpr double kPaddingPixels = 5;

using FillKey = std::tuple<uint16_t, uint32_t, uint32_t>;
using BorderKey = std::tuple<uint16_t, uint32_t, uint16_t, uint32_t, uint16_t, uint32_t,
                             uint16_t, uint32_t>;

FillKey KeyOfFill(const Style& s) {
  if (s.pattern == 0) return {0, 0, 0};
  return {s.pattern, s.patternFg, s.patternBg};
}
BorderKey KeyOfBorder(const Style& s) {
  return {s.left.style,  s.left.color,  s.right.style,  s.right.color,
          s.top.style,   s.top.color,   s.bottom.style, s.bottom.color};
}

void AppendAttr(std::string& out, const char* name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendXmlText(value, out, false);
  out += '"';
}

void AppendSide(std::string& out, const char* name, uint16_t style, uint32_t color) {
  out += '<';
  out += name;
  if (style == 0 || style >= kBorderCount) {
    out += "/>";
    return;
  }
  out += " style=\"";
  out += kBorderNames[style];
  out += "\"><color rgb=\"" + ArgbText(color) + "\"/></";
  out += name;
  out += '>';
}

}  // namespace

// A column under one character wide has its padding shrink with it: its pixels are
// characters * (digit + padding), so that no width short of 0 hides it.
double FileColumnWidth(double characters) {
  if (characters <= 0) return 0;
  const double pixels = characters < 1 ? characters * (kDigitPixels + kPaddingPixels)
                                       : characters * kDigitPixels + kPaddingPixels;
  return std::trunc(pixels / kDigitPixels * 256) / 256;
}

double GridColumnWidth(double fileWidth) {
  if (!(fileWidth > 0)) return 0;
  const double pixels = fileWidth * kDigitPixels;
  const double chars = pixels < kDigitPixels + kPaddingPixels
                           ? pixels / (kDigitPixels + kPaddingPixels)
                           : (pixels - kPaddingPixels) / kDigitPixels;
  return std::max(0.01, std::round(chars * 100) / 100);
}

uint32_t StylesOut::QuotedXf(StyleId style) {
  auto [it, added] = quotedIndex_.try_emplace(style, 0);
  if (added) {
    it->second = static_cast<uint32_t>(table_.size() + quoted_.size());
    quoted_.push_back(style);
  }
  return it->second;
}

namespace {

// Records of one kind: the file's own first, in their order and unmerged (cell formats refer
// to them by position), then new ones, each written once.
struct Records {
  std::vector<std::string> list;
  std::unordered_map<std::string, int> index;
  void Keep(const std::vector<std::string>& own) {
    for (const std::string& r : own) {
      index.try_emplace(r, static_cast<int>(list.size()));
      list.push_back(r);
    }
  }
  int Add(const std::string& xml) {
    auto [it, added] = index.try_emplace(xml, static_cast<int>(list.size()));
    if (added) list.push_back(xml);
    return it->second;
  }
};

std::string FontXml(uint32_t color, const std::string& face, int size) {
  std::string out = "<font><sz val=\"" + std::to_string(size > 0 ? size : 10) +
                    "\"/><color rgb=\"" + ArgbText(color) + "\"/><name";
  AppendAttr(out, "val", face.empty() ? "Arial" : face);
  return out + "/></font>";
}

// A font record as the file wrote it, with its colour replaced.
std::string WithColor(const std::string& font, uint32_t color) {
  const std::string element = "<color rgb=\"" + ArgbText(color) + "\"/>";
  std::string out = font;
  size_t at = out.find("<color");
  if (at != std::string::npos) {
    size_t end = out.find("/>", at);
    size_t close = out.find("</color>", at);
    if (close != std::string::npos && (end == std::string::npos || close < end))
      end = close + 6;
    if (end != std::string::npos) {
      out.replace(at, end + 2 - at, element);
      return out;
    }
  }
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "/>") == 0) {
    out.replace(out.size() - 2, 2, ">" + element + "</font>");
    return out;
  }
  at = out.rfind("</");
  if (at == std::string::npos) return out;
  out.insert(at, element);
  return out;
}

std::string FillXml(const FillKey& f, bool reservedGray) {
  uint16_t pattern = std::get<0>(f);
  std::string out = "<fill><patternFill patternType=\"";
  out += kPatternNames[pattern < kPatternCount ? pattern : 0];
  out += '"';
  if (pattern == 0 || reservedGray) return out + "/></fill>";
  return out + "><fgColor rgb=\"" + ArgbText(std::get<1>(f)) + "\"/><bgColor rgb=\"" +
         ArgbText(std::get<2>(f)) + "\"/></patternFill></fill>";
}

std::string BorderXml(const Style& b) {
  std::string out = "<border>";
  AppendSide(out, "left", b.left.style, b.left.color);
  AppendSide(out, "right", b.right.style, b.right.color);
  AppendSide(out, "top", b.top.style, b.top.color);
  AppendSide(out, "bottom", b.bottom.style, b.bottom.color);
  return out + "<diagonal/></border>";
}

const std::string* Section(const StylesExtras* x, std::string_view name) {
  if (!x) return nullptr;
  for (const XmlFragment& f : x->sections)
    if (f.name == name) return &f.xml;
  return nullptr;
}

std::string SectionAttrs(const StylesExtras* x, const std::string& name) {
  if (!x) return {};
  auto it = x->sectionAttrs.find(name);
  return it == x->sectionAttrs.end() ? std::string() : it->second;
}

}  // namespace

std::string StylesOut::Xml(const std::string& fontFace, int fontSize) const {
  const StylesExtras* x = extras_;
  std::map<std::string, int> numFmtIds;  // custom codes
  std::map<int, std::string> numFmts;
  int nextNumFmt = kFirstCustomFormatId;
  if (x) {
    for (const auto& [id, code] : x->numFmts) {
      numFmts[id] = code;
      numFmtIds.try_emplace(code, id);
      nextNumFmt = std::max(nextNumFmt, id + 1);
    }
  }
  auto formatId = [&](const std::string& code) {
    int builtin = format::BuiltinFormatId(code);
    if (builtin >= 0) return builtin;
    auto [it, added] = numFmtIds.try_emplace(code, nextNumFmt);
    if (added) numFmts[nextNumFmt++] = code;
    return it->second;
  };

  Records fonts, fills, borders;
  if (x) {
    fonts.Keep(x->fonts);
    fills.Keep(x->fills);
    borders.Keep(x->borders);
  }
  if (fonts.list.empty()) fonts.Add(FontXml(kBlack, fontFace, fontSize));
  if (fills.list.empty()) {
    fills.Add(FillXml(FillKey{0, 0, 0}, false));
    fills.Add(FillXml(FillKey{17, 0, 0}, true));  // reserved: gray125
  }
  if (borders.list.empty()) borders.Add(BorderXml(Style{}));

  struct Xf {
    int numFmt, font, fill, border, xfId;
    std::string apply[4];
    const StyleExtras* e;
  };
  std::vector<Xf> xfs;
  xfs.reserve(table_.size());
  for (size_t id = 0; id < table_.size(); ++id) {
    const Style& s = table_.Get(static_cast<StyleId>(id));
    // A style read from a file keeps its records where the grid's fields are unchanged; a
    // style made here starts from the file's default format.
    const StyleExtras* e = s.extras ? s.extras.get() : (x ? x->defaults.get() : nullptr);
    const bool same = e && e->origin == x;
    const bool changed[4] = {!e || s.numberFormat != e->base.numberFormat,
                             !e || s.fontColor != e->base.fontColor,
                             !e || KeyOfFill(s) != KeyOfFill(e->base),
                             !e || KeyOfBorder(s) != KeyOfBorder(e->base)};
    Xf xf{};
    xf.e = e;
    xf.numFmt = !changed[0] && same ? e->numFmtId : formatId(s.numberFormat);
    if (!changed[1] && same) xf.font = e->fontId;
    else if (e && !e->font.empty())
      xf.font = fonts.Add(changed[1] ? WithColor(e->font, s.fontColor) : e->font);
    else xf.font = fonts.Add(FontXml(s.fontColor, fontFace, fontSize));
    if (!changed[2] && same) xf.fill = e->fillId;
    else if (!changed[2] && !e->fill.empty()) xf.fill = fills.Add(e->fill);
    else xf.fill = fills.Add(FillXml(KeyOfFill(s), false));
    if (!changed[3] && same) xf.border = e->borderId;
    else if (!changed[3] && !e->border.empty()) xf.border = borders.Add(e->border);
    else xf.border = borders.Add(BorderXml(s));
    xf.xfId = same ? e->xfId : 0;
    const int index[4] = {xf.numFmt, xf.font, xf.fill, xf.border};
    for (int k = 0; k < 4; ++k)
      xf.apply[k] = !changed[k] ? e->apply[k] : std::string(index[k] != 0 ? "1" : "");
    xfs.push_back(std::move(xf));
  }

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<styleSheet";
  out += x && !x->rootAttrs.empty()
             ? x->rootAttrs
             : std::string(" xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"");
  out += '>';
  if (!numFmts.empty()) {
    out += "<numFmts count=\"" + std::to_string(numFmts.size()) + "\"" +
           SectionAttrs(x, "numFmts") + ">";
    for (const auto& [id, code] : numFmts) {
      out += "<numFmt numFmtId=\"" + std::to_string(id) + "\"";
      AppendAttr(out, "formatCode", code);
      out += "/>";
    }
    out += "</numFmts>";
  }
  auto records = [&](const char* name, const Records& r) {
    out += std::string("<") + name + " count=\"" + std::to_string(r.list.size()) + "\"" +
           SectionAttrs(x, name) + ">";
    for (const std::string& rec : r.list) out += rec;
    out += std::string("</") + name + ">";
  };
  records("fonts", fonts);
  records("fills", fills);
  records("borders", borders);
  if (const std::string* kept = Section(x, "cellStyleXfs")) out += *kept;
  else
    out += "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
           "borderId=\"0\"/></cellStyleXfs>";
  out += "<cellXfs count=\"" + std::to_string(xfs.size() + quoted_.size()) + "\"" +
         SectionAttrs(x, "cellXfs") + ">";
  static constexpr const char* kApply[4] = {"applyNumberFormat", "applyFont", "applyFill",
                                            "applyBorder"};
  auto appendXf = [&](const Xf& xf, bool quoted) {
    out += "<xf numFmtId=\"" + std::to_string(xf.numFmt) + "\" fontId=\"" +
           std::to_string(xf.font) + "\" fillId=\"" + std::to_string(xf.fill) +
           "\" borderId=\"" + std::to_string(xf.border) + "\" xfId=\"" +
           std::to_string(xf.xfId) + "\"";
    for (int k = 0; k < 4; ++k)
      if (!xf.apply[k].empty()) AppendAttr(out, kApply[k], xf.apply[k]);
    if (xf.e) out += xf.e->attrs;
    if (quoted) out += " quotePrefix=\"1\"";
    if (xf.e && !xf.e->children.empty()) out += ">" + xf.e->children + "</xf>";
    else out += "/>";
  };
  for (const Xf& xf : xfs) appendXf(xf, false);
  for (StyleId id : quoted_) appendXf(xfs[id < xfs.size() ? id : 0], true);
  out += "</cellXfs>";
  bool cellStyles = false;
  if (x) {
    for (const XmlFragment& f : x->sections) {
      if (f.name == "cellStyleXfs") continue;
      cellStyles = cellStyles || f.name == "cellStyles";
      out += f.xml;
    }
  }
  if (!x || !x->defaults) {
    if (!cellStyles)
      out = out + "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
                  "builtinId=\"0\"/></cellStyles>";
  }
  out += "</styleSheet>";
  return out;
}

}  // namespace ddt::grid::io
