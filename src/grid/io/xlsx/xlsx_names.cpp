#include "grid/io/xlsx/xlsx_names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "text/date_serial.h"
#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

constexpr int64_t kRefCap = int64_t{1} << 40;  // parsing stops growing numbers here

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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsXstringEscape(std::string_view s, size_t i) {
  if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
  for (size_t k = 2; k < 6; ++k)
    if (HexDigit(s[i + k]) < 0) return false;
  return true;
}

void AppendHexEscape(uint32_t cp, std::string& out) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "_x%04X_", static_cast<unsigned>(cp));
  out += buf;
}

bool ParseInt(std::string_view s, int* v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

bool ParseCellRef(std::string_view ref, int64_t* row, int64_t* col) {
  size_t i = 0;
  int64_t c = 0, r = 0;
  while (i < ref.size()) {
    char ch = ref[i];
    int letter = (ch >= 'A' && ch <= 'Z') ? ch - 'A' : (ch >= 'a' && ch <= 'z') ? ch - 'a' : -1;
    if (letter < 0) break;
    c = std::min(kRefCap, c * 26 + letter + 1);
    ++i;
  }
  if (i == 0 || i == ref.size()) return false;
  for (; i < ref.size(); ++i) {
    if (ref[i] < '0' || ref[i] > '9') return false;
    r = std::min(kRefCap, r * 10 + (ref[i] - '0'));
  }
  *row = r;
  *col = c;
  return r > 0;
}

void AppendCellRef(int row, int col, std::string& out) {
  text::AppendColumnLetters(out, col);
  char buf[16];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, row);
  out.append(buf, p);
}

int PatternCode(std::string_view name) {
  for (int i = 0; i < kPatternCount; ++i)
    if (name == kPatternNames[i]) return i;
  return 0;
}

int BorderStyleCode(std::string_view name) {
  for (int i = 0; i < kBorderCount; ++i)
    if (name == kBorderNames[i]) return i;
  return 0;
}

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

void AppendXmlText(std::string_view s, std::string& out, bool escapeControls) {
  for (size_t i = 0; i < s.size();) {
    char32_t cp;
    size_t len = text::utf8::DecodeWellFormed(s, i, cp);
    if (len == 0) {  // not UTF-8: keep the file well-formed
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    switch (cp) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '_':
        if (escapeControls && IsXstringEscape(s, i)) out += "_x005F_";
        else out += '_';
        break;
      default:
        if (cp < 0x20 || cp == 0xFFFE || cp == 0xFFFF) {
          if (escapeControls) AppendHexEscape(cp, out);
        } else {
          out.append(s.data() + i, len);
        }
    }
    i += len;
  }
}

void UnescapeXstring(std::string& text) {
  size_t pos = text.find("_x");
  if (pos == std::string::npos) return;
  std::string out(text, 0, pos);
  for (size_t i = pos; i < text.size();) {
    if (IsXstringEscape(text, i)) {
      uint32_t cp = 0;
      for (size_t k = 2; k < 6; ++k) cp = (cp << 4) | static_cast<uint32_t>(HexDigit(text[i + k]));
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
      text::utf8::AppendCodePoint(out, cp);
      i += 7;
    } else {
      out += text[i++];
    }
  }
  text.swap(out);
}

std::optional<double> IsoDateToSerial(std::string_view s, bool date1904) {
  double serial = 0;
  size_t i = 0;
  int y, mo, d;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-' && ParseInt(s.substr(0, 4), &y) &&
      ParseInt(s.substr(5, 2), &mo) && ParseInt(s.substr(8, 2), &d)) {
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
    serial = static_cast<double>(text::SerialFromDays(text::DaysFromCivil(y, mo, d), date1904));
    i = 10;
    if (i < s.size() && (s[i] == 'T' || s[i] == ' ')) ++i;
  }
  if (i < s.size()) {
    int h, mi;
    if (s.size() < i + 5 || s[i + 2] != ':' || !ParseInt(s.substr(i, 2), &h) ||
        !ParseInt(s.substr(i + 3, 2), &mi))
      return std::nullopt;
    double sec = 0;
    i += 5;
    if (i < s.size() && s[i] == ':') {
      size_t j = i + 1;
      while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == '.')) ++j;
      auto [p, ec] = std::from_chars(s.data() + i + 1, s.data() + j, sec);
      if (ec != std::errc()) return std::nullopt;
      i = j;
    }
    // A zone designator (Z, +hh:mm) follows at most; spreadsheets keep local time.
    if (i < s.size() && s[i] != 'Z' && s[i] != '+' && s[i] != '-') return std::nullopt;
    serial += (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
  }
  return serial;
}

}  // namespace ddt::grid::io
