// Cell formats of a BIFF5/BIFF8 workbook: FORMAT, FONT, XF and PALETTE records turned into
// the grid's styles (number format, font colour, fill, borders).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "grid/style.h"

namespace ddt::grid::io {

class XlsStyleRecords {
 public:
  explicit XlsStyleRecords(bool biff8) : biff8_(biff8) {}
  void AddFormat(int id, std::string code);
  void AddFont(std::string_view record);
  void AddXf(std::string_view record);
  void SetPalette(std::string_view record);
  size_t XfCount() const { return xfs_.size(); }

  // One style per XF record, in record order (cells refer to XFs by that index), and
  // whether the XF marks text entered with a leading apostrophe.
  std::vector<Style> Styles() const;
  std::vector<bool> QuotePrefixes() const;

 private:
  struct Xf {
    int font = 0, format = 0;
    bool quotePrefix = false;
    uint16_t pattern = 0, fg = 64, bg = 65;
    uint16_t border[4] = {0, 0, 0, 0};  // left, right, top, bottom
    uint16_t borderColor[4] = {64, 64, 64, 64};
  };
  uint32_t Color(int index, uint32_t fallback) const;

  bool biff8_;
  std::map<int, std::string> formats_;
  std::vector<uint16_t> fontColors_;
  std::vector<Xf> xfs_;
  std::vector<uint32_t> palette_;  // colours 8 and up, when the file sets them
};

}  // namespace ddt::grid::io
