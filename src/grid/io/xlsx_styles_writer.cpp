// The styles part as written: number formats, one font per font colour, fills, borders and
// one cell format per style of the workbook's style table (so a style id is its cell-format
// index), plus quote-prefixed copies for text entered with an apostrophe.
#include <cmath>
#include <map>
#include <tuple>

#include "grid/format/number_format.h"
#include "grid/io/xlsx_names.h"
#include "grid/io/xlsx_parts.h"

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

double FileColumnWidth(double characters) {
  if (characters <= 0) return 0;
  return std::trunc((characters * kDigitPixels + kPaddingPixels) / kDigitPixels * 256) / 256;
}

double GridColumnWidth(double fileWidth) {
  double chars = fileWidth - kPaddingPixels / kDigitPixels;
  return chars <= 0 ? 0 : std::round(chars * 100) / 100;
}

uint32_t StylesOut::QuotedXf(StyleId style) {
  auto [it, added] = quotedIndex_.try_emplace(style, 0);
  if (added) {
    it->second = static_cast<uint32_t>(table_.size() + quoted_.size());
    quoted_.push_back(style);
  }
  return it->second;
}

std::string StylesOut::Xml(const std::string& fontFace, int fontSize) const {
  std::map<std::string, int> numFmts;  // custom codes
  std::map<uint32_t, int> fonts{{kBlack, 0}};
  std::map<FillKey, int> fills{{FillKey{0, 0, 0}, 0}};
  std::map<BorderKey, int> borders{{KeyOfBorder(Style{}), 0}};
  std::vector<uint32_t> fontList{kBlack};
  std::vector<FillKey> fillList{FillKey{0, 0, 0}, FillKey{17, 0, 0}};  // none, gray125
  std::vector<const Style*> borderList{nullptr};

  struct Xf {
    int numFmt, font, fill, border;
  };
  std::vector<Xf> xfs;
  auto xfOf = [&](const Style& s) {
    Xf xf;
    int builtin = format::BuiltinFormatId(s.numberFormat);
    if (builtin >= 0) {
      xf.numFmt = builtin;
    } else {
      auto [it, added] = numFmts.try_emplace(s.numberFormat,
                                             kFirstCustomFormatId + static_cast<int>(numFmts.size()));
      xf.numFmt = it->second;
    }
    auto [fo, fa] = fonts.try_emplace(s.fontColor, static_cast<int>(fontList.size()));
    if (fa) fontList.push_back(s.fontColor);
    xf.font = fo->second;
    // Fill 1 is reserved (gray125); custom fills start at 2.
    auto [fi, fia] = fills.try_emplace(KeyOfFill(s), static_cast<int>(fillList.size()));
    if (fia) fillList.push_back(KeyOfFill(s));
    xf.fill = fi->second;
    auto [bo, ba] = borders.try_emplace(KeyOfBorder(s), static_cast<int>(borderList.size()));
    if (ba) borderList.push_back(&s);
    xf.border = bo->second;
    return xf;
  };
  for (size_t id = 0; id < table_.size(); ++id)
    xfs.push_back(xfOf(table_.Get(static_cast<StyleId>(id))));

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
  if (!numFmts.empty()) {
    out += "<numFmts count=\"" + std::to_string(numFmts.size()) + "\">";
    for (const auto& [code, id] : numFmts) {
      out += "<numFmt numFmtId=\"" + std::to_string(id) + "\"";
      AppendAttr(out, "formatCode", code);
      out += "/>";
    }
    out += "</numFmts>";
  }
  out += "<fonts count=\"" + std::to_string(fontList.size()) + "\">";
  for (uint32_t color : fontList) {
    out += "<font><sz val=\"" + std::to_string(fontSize > 0 ? fontSize : 10) +
           "\"/><color rgb=\"" + ArgbText(color) + "\"/><name";
    AppendAttr(out, "val", fontFace.empty() ? "Arial" : fontFace);
    out += "/></font>";
  }
  out += "</fonts><fills count=\"" + std::to_string(fillList.size()) + "\">";
  for (const FillKey& f : fillList) {
    uint16_t pattern = std::get<0>(f);
    out += "<fill><patternFill patternType=\"";
    out += kPatternNames[pattern < kPatternCount ? pattern : 0];
    out += '"';
    if (pattern == 0 || (pattern == 17 && &f == &fillList[1])) {
      out += "/></fill>";
      continue;
    }
    out += "><fgColor rgb=\"" + ArgbText(std::get<1>(f)) + "\"/><bgColor rgb=\"" +
           ArgbText(std::get<2>(f)) + "\"/></patternFill></fill>";
  }
  out += "</fills><borders count=\"" + std::to_string(borderList.size()) + "\">";
  for (const Style* s : borderList) {
    out += "<border>";
    Style none;
    const Style& b = s ? *s : none;
    AppendSide(out, "left", b.left.style, b.left.color);
    AppendSide(out, "right", b.right.style, b.right.color);
    AppendSide(out, "top", b.top.style, b.top.color);
    AppendSide(out, "bottom", b.bottom.style, b.bottom.color);
    out += "<diagonal/></border>";
  }
  out += "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
         "borderId=\"0\"/></cellStyleXfs>";
  out += "<cellXfs count=\"" + std::to_string(xfs.size() + quoted_.size()) + "\">";
  auto appendXf = [&](const Xf& xf, bool quoted) {
    out += "<xf numFmtId=\"" + std::to_string(xf.numFmt) + "\" fontId=\"" +
           std::to_string(xf.font) + "\" fillId=\"" + std::to_string(xf.fill) +
           "\" borderId=\"" + std::to_string(xf.border) + "\" xfId=\"0\"";
    if (xf.numFmt != 0) out += " applyNumberFormat=\"1\"";
    if (xf.font != 0) out += " applyFont=\"1\"";
    if (xf.fill != 0) out += " applyFill=\"1\"";
    if (xf.border != 0) out += " applyBorder=\"1\"";
    if (quoted) out += " quotePrefix=\"1\"";
    out += "/>";
  };
  for (const Xf& xf : xfs) appendXf(xf, false);
  for (StyleId id : quoted_) appendXf(xfs[id < xfs.size() ? id : 0], true);
  out += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
         "builtinId=\"0\"/></cellStyles></styleSheet>";
  return out;
}

}  // namespace ddt::grid::io
