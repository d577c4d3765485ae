// A cell as the results journal keeps it: its value with its type or its formula, and its
// effective look. Read from and written back to an engine without its cursor.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "ddtable/dt_if.h"

namespace ddt::engine {

struct CellBorder {
  uint16_t style = 0;  // 0 none, 1 thin, 2 medium, ... (the file format's border styles)
  uint32_t color = 0;
  bool operator==(const CellBorder&) const = default;
};

// The formats a cell shows; colours 0x00BBGGRR.
struct CellLook {
  std::string numberFormat = "General";
  uint16_t pattern = 0;
  uint32_t patternFg = 0;
  uint32_t patternBg = 0xFFFFFF;
  uint32_t fontColor = 0;
  CellBorder left, right, top, bottom;
  bool operator==(const CellLook&) const = default;
};

// An owned value; errorCode is the error's ERROR.TYPE number (see IsCellErrorCode).
struct CellData {
  CDT_IF::CellView::Kind kind = CDT_IF::CellView::Empty;
  double number = 0;
  std::string text;
  bool boolean = false;
  uint8_t errorCode = 0;

  static CellData Number(double value) { return {CDT_IF::CellView::Number, value, {}, false, 0}; }
  static CellData Text(std::string value) {
    return {CDT_IF::CellView::Text, 0, std::move(value), false, 0};
  }
  static CellData Bool(bool value) { return {CDT_IF::CellView::Bool, 0, {}, value, 0}; }
  static CellData Error(uint8_t code) { return {CDT_IF::CellView::Error, 0, {}, false, code}; }
  bool operator==(const CellData&) const = default;
};
inline constexpr uint8_t kMaxErrorCode = 7;  // #N/A
// Whether `code` names an error a cell can hold: 1 #NULL! to 7 #N/A, 9 #SPILL!, 14 #CALC!.
inline constexpr bool IsCellErrorCode(uint32_t code) {
  return (code >= 1 && code <= kMaxErrorCode) || code == 9 || code == 14;
}

struct CellImage {
  CellData value;       // a constant (Empty for an empty cell or a formula)
  std::string formula;  // "=..." for a formula cell, else empty
  CellLook style;
};

// The cell at (sheet, row, col) of a grid-backed engine. Throws for a bad sheet or cell.
CellImage ReadCellImage(CDT_IF& engine, int sheet, int row, int col);
// Puts image back: its formula (a formula the grid refuses now leaves the value as it was)
// or value, and its look as the cell's own format.
void WriteCellImage(CDT_IF& engine, int sheet, int row, int col, const CellImage& image);

}  // namespace ddt::engine
