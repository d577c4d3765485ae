// Cell formatting: number format code, fill, font colour and borders. Styles are interned in
// the workbook's StyleTable and cells, rows, columns and sheets refer to them by id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ddt::grid {

// Colours are 0x00BBGGRR.
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;

struct Border {
  uint16_t style = 0;  // 0 none, 1 thin, 2 medium, ... (the file format's border styles)
  uint32_t color = kBlack;
  bool operator==(const Border&) const = default;
};

// What a cell format read from a file holds beyond the fields below (font, alignment,
// protection, the records as written); defined by the file layer, opaque to the grid.
struct StyleExtras;

struct Style {
  std::string numberFormat = "General";
  uint16_t pattern = 0;  // 0 no fill, 1 solid, others the file format's pattern fills
  uint32_t patternFg = kBlack;
  uint32_t patternBg = kWhite;
  uint32_t fontColor = kBlack;
  Border left{}, right{}, top{}, bottom{};
  // Shared by every style derived from one cell format of a file; compared by identity.
  std::shared_ptr<const StyleExtras> extras{};
  bool operator==(const Style&) const = default;
};

using StyleId = uint32_t;
inline constexpr StyleId kDefaultStyle = 0;  // id 0 is always Style{}

// Interns styles so that equal styles share an id. Ids stay valid for the table's lifetime.
class StyleTable {
 public:
  StyleTable();
  StyleId Intern(const Style& style);
  const Style& Get(StyleId id) const;  // id 0 for an unknown id
  size_t size() const { return styles_.size(); }

 private:
  struct Hash {
    size_t operator()(const Style& s) const;
  };
  std::vector<Style> styles_;
  std::unordered_map<Style, StyleId, Hash> index_;
};

}  // namespace ddt::grid
