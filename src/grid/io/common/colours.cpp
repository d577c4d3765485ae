#include "grid/io/common/colours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "grid/io/common/hex_digit.h"

namespace ddt::grid::io {

namespace {

// Legacy palette as 0xRRGGBB, the way it is usually listed.
constexpr uint32_t kIndexedRgb[kIndexedColorCount] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
    0x000000, 0xFFFFFF};

// Default theme colours in theme-index order (background 1, text 1, background 2, text 2,
// accents 1-6, hyperlink, followed hyperlink), as 0xRRGGBB.
constexpr uint32_t kThemeRgb[] = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D,
                                  0x4F81BD, 0xC0504D, 0x9BBB59, 0x8064A2,
                                  0x4BACC6, 0xF79646, 0x0000FF, 0x800080};

uint32_t RgbToBgr(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

}  // namespace

std::optional<uint32_t> ParseArgb(std::string_view argb) {
  if (argb.size() != 8 && argb.size() != 6) return std::nullopt;
  uint32_t v = 0;
  for (char c : argb) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return RgbToBgr(v & 0xFFFFFF);
}

std::string ArgbText(uint32_t bgr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "FF%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                (bgr >> 16) & 0xFF);
  return buf;
}

uint32_t IndexedColor(int index) {
  if (index < 0 || index >= kIndexedColorCount) return 0;
  return RgbToBgr(kIndexedRgb[index]);
}

uint32_t ApplyTint(uint32_t bgr, double tint) {
  if (tint == 0 || std::isnan(tint)) return bgr;
  tint = std::clamp(tint, -1.0, 1.0);
  double r = (bgr & 0xFF) / 255.0, g = ((bgr >> 8) & 0xFF) / 255.0,
         b = ((bgr >> 16) & 0xFF) / 255.0;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double h = 0, s = 0, l = (mx + mn) / 2;
  if (mx != mn) {
    double d = mx - mn;
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r) h = (g - b) / d + (g < b ? 6 : 0);
    else if (mx == g) h = (b - r) / d + 2;
    else h = (r - g) / d + 4;
    h /= 6;
  }
  l = tint < 0 ? l * (1 + tint) : l * (1 - tint) + tint;
  auto hue = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  if (s == 0) {
    r = g = b = l;
  } else {
    double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    double p = 2 * l - q;
    r = hue(p, q, h + 1.0 / 3);
    g = hue(p, q, h);
    b = hue(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return byte(r) | (byte(g) << 8) | (byte(b) << 16);
}

uint32_t ThemeColor(int index, double tint) {
  constexpr int n = sizeof(kThemeRgb) / sizeof(kThemeRgb[0]);
  if (index < 0 || index >= n) return 0;
  return ApplyTint(RgbToBgr(kThemeRgb[index]), tint);
}

}  // namespace ddt::grid::io
