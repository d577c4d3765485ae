#include "grid/io/xls/xls_styles.h"

#include "grid/format/number_format.h"
#include "grid/grid_error.h"
#include "grid/io/xls/biff_records.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/common/colours.h"
#include "grid/io/common/style_names.h"

namespace ddt::grid::io {

namespace {

void Bound(size_t n) {
  if (n >= kMaxStyleRecords)
    throw GridError("the .xls file holds too many style records", ErrorKind::OverLimit);
}

}  // namespace

void XlsStyleRecords::AddFormat(int id, std::string code) {
  if (formats_.size() < kMaxStyleRecords) formats_[id] = std::move(code);
}

void XlsStyleRecords::AddFont(std::string_view r) {
  Bound(fontColors_.size());
  fontColors_.push_back(r.size() >= 6 ? biff::U16(r.data() + 4) : 0x7FFF);
}

void XlsStyleRecords::AddXf(std::string_view r) {
  Bound(xfs_.size());
  Xf xf;
  if (r.size() >= 6) {
    xf.font = biff::U16(r.data());
    xf.format = biff::U16(r.data() + 2);
    xf.quotePrefix = biff::U16(r.data() + 4) & 0x0008;
  }
  if (biff8_ && r.size() >= 20) {
    const uint32_t b1 = biff::U32(r.data() + 10), b2 = biff::U32(r.data() + 14);
    const uint16_t f = biff::U16(r.data() + 18);
    for (int i = 0; i < 4; ++i) xf.border[i] = (b1 >> (4 * i)) & 0x0F;
    xf.borderColor[0] = (b1 >> 16) & 0x7F;
    xf.borderColor[1] = (b1 >> 23) & 0x7F;
    xf.borderColor[2] = b2 & 0x7F;
    xf.borderColor[3] = (b2 >> 7) & 0x7F;
    xf.pattern = (b2 >> 26) & 0x3F;
    xf.fg = f & 0x7F;
    xf.bg = (f >> 7) & 0x7F;
  } else if (!biff8_ && r.size() >= 16) {
    const uint32_t a = biff::U32(r.data() + 8), b = biff::U32(r.data() + 12);
    xf.fg = a & 0x7F;
    xf.bg = (a >> 7) & 0x7F;
    xf.pattern = (a >> 16) & 0x3F;
    xf.border[3] = (a >> 22) & 0x07;
    xf.borderColor[3] = (a >> 25) & 0x7F;
    xf.border[2] = b & 0x07;
    xf.border[0] = (b >> 3) & 0x07;
    xf.border[1] = (b >> 6) & 0x07;
    xf.borderColor[2] = (b >> 9) & 0x7F;
    xf.borderColor[0] = (b >> 16) & 0x7F;
    xf.borderColor[1] = (b >> 23) & 0x7F;
  }
  xfs_.push_back(xf);
}

void XlsStyleRecords::SetPalette(std::string_view r) {
  if (r.size() < 2) return;
  const size_t count = std::min<size_t>(biff::U16(r.data()), (r.size() - 2) / 4);
  palette_.clear();
  for (size_t i = 0; i < count && i < 56; ++i) {
    const char* c = r.data() + 2 + 4 * i;
    palette_.push_back(static_cast<uint8_t>(c[0]) | static_cast<uint8_t>(c[1]) << 8 |
                       static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 16);
  }
}

// Colour indexes: 0-7 fixed colours, 8-63 the palette, 64 and up the system's window text
// and background (the fallback).
uint32_t XlsStyleRecords::Color(int index, uint32_t fallback) const {
  if (index >= 8 && index < 64 && static_cast<size_t>(index - 8) < palette_.size())
    return palette_[index - 8];
  if (index >= 0 && index < 64) return IndexedColor(index);
  return fallback;
}

std::vector<Style> XlsStyleRecords::Styles() const {
  std::vector<Style> out;
  out.reserve(xfs_.size());
  for (const Xf& xf : xfs_) {
    Style s;
    auto f = formats_.find(xf.format);
    if (f != formats_.end()) {
      s.numberFormat = f->second;
    } else if (const char* code = format::BuiltinFormatCode(xf.format)) {
      s.numberFormat = code;
    } else if (const char* local = format::LocaleBuiltinFormatCode(xf.format)) {
      s.numberFormat = local;  // an East Asian locale's date or time
    }
    if (s.numberFormat.empty()) s.numberFormat = "General";
    // Font 4 does not exist: the fonts after it are numbered from 5.
    const int font = xf.font >= 4 ? xf.font - 1 : xf.font;
    if (font >= 0 && static_cast<size_t>(font) < fontColors_.size())
      s.fontColor = Color(fontColors_[font], kBlack);
    if (xf.pattern != 0 && xf.pattern < kPatternCount) {
      s.pattern = xf.pattern;
      s.patternFg = Color(xf.fg, kBlack);
      s.patternBg = Color(xf.bg, kWhite);
    }
    Border* sides[4] = {&s.left, &s.right, &s.top, &s.bottom};
    for (int i = 0; i < 4; ++i) {
      if (xf.border[i] == 0 || xf.border[i] >= kBorderCount) continue;
      sides[i]->style = xf.border[i];
      sides[i]->color = Color(xf.borderColor[i], kBlack);
    }
    out.push_back(std::move(s));
  }
  return out;
}

std::vector<bool> XlsStyleRecords::QuotePrefixes() const {
  std::vector<bool> out;
  out.reserve(xfs_.size());
  for (const Xf& xf : xfs_) out.push_back(xf.quotePrefix);
  return out;
}

}  // namespace ddt::grid::io
