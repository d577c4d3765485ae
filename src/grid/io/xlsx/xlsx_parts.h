// The parts of an .xlsx package as the reader and writer see them. The reader and the writer
// mirror each other part by part: workbook, sheets, shared strings, styles.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "grid/io/xlsx/xlsx_extras.h"  // XmlFragment: a default argument below needs it complete
#include "grid/shared_text.h"
#include "grid/style.h"

namespace ddt::grid {
class Workbook;
struct SheetExtras;
struct StylesExtras;
}

namespace ddt::grid::io {

class ZipReader;
struct ReadReport;

// Cell formats of the styles part, in cellXfs order.
struct CellFormats {
  std::vector<Style> xfs;
  std::vector<bool> quotePrefix;  // text entered with a leading apostrophe
};
// With `extras`, the records are kept there as written and each style refers to its record.
CellFormats ReadStylesPart(ZipReader& zip, std::string_view part,
                           StylesExtras* extras = nullptr);

// The shared-string table: rich-text runs concatenated, phonetic runs skipped.
std::vector<SharedText> ReadSharedStringsPart(ZipReader& zip, std::string_view part);

// One worksheet part into sheet `sheet` of `book`. `styleIds` maps cellXfs indexes to the
// book's style ids.
struct SheetContext {
  Workbook& book;
  int sheet;
  std::string sheetName;
  const std::vector<SharedText>& sharedStrings;
  const std::vector<StyleId>& styleIds;
  const std::vector<bool>& quotePrefix;
  ReadReport& report;
  SheetExtras* extras = nullptr;  // receives what the grid does not model
  // Cell-metadata indexes (cm) marking dynamic-array formulas; null when the file has none.
  const std::set<int64_t>* dynamicArrayCells = nullptr;
};
void ReadWorksheetPart(ZipReader& zip, std::string_view part, SheetContext& ctx);

}  // namespace ddt::grid::io

namespace ddt::grid::io {

// --- Writer side -------------------------------------------------------------------------

// Receives a part's XML piece by piece, in order (a save streams its parts).
using XmlSink = std::function<void(std::string_view xml)>;

// The shared-string table being collected while the sheets are written. Views refer to the
// workbook's cell texts, which outlive the write.
class SharedStringsOut {
 public:
  uint32_t Add(std::string_view text);
  void WriteXml(const XmlSink& sink) const;
  size_t References() const { return references_; }

 private:
  struct Hash {
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string_view, uint32_t, Hash> index_;
  std::vector<std::string_view> strings_;
  size_t references_ = 0;
};

// The styles part: cell format i is the workbook's style id i; cell formats for text entered
// with an apostrophe (quote prefix) are added after them on demand.
class StylesOut {
 public:
  explicit StylesOut(const StyleTable& table, const StylesExtras* extras = nullptr)
      : table_(table), extras_(extras) {}
  uint32_t QuotedXf(StyleId style);
  std::string Xml(const std::string& fontFace, int fontSize) const;

 private:
  const StyleTable& table_;
  const StylesExtras* extras_;  // records of the file the workbook was read from
  std::vector<StyleId> quoted_;  // style id of each extra cell format
  std::unordered_map<StyleId, uint32_t> quotedIndex_;
};

// Column widths: the grid counts characters; the file adds the cell padding (5 pixels of a
// 7-pixel digit), as spreadsheets do.
double FileColumnWidth(double characters);
double GridColumnWidth(double fileWidth);

// One worksheet part, handed to `sink` a few rows at a time. `selected` marks the workbook's
// current sheet. `kept` are the elements the file had that the grid does not model, written
// in their places. `valueMetadata`: the file's value metadata part is written back, so cells
// that referred to it (in-cell pictures) refer to it again. `extras`: what the sheet's file
// held (its root's namespaces, cells with value metadata); null for none.
// `dynamicCellMetadata`: the cm value that marks a dynamic-array formula in the metadata part
// written.
void WriteWorksheetXml(const Workbook& book, int sheet, bool selected, StylesOut& styles,
                       SharedStringsOut& strings, const SheetExtras* extras,
                       const std::vector<XmlFragment>& kept, bool valueMetadata,
                       const XmlSink& sink, std::string_view dynamicCellMetadata = "1");

}  // namespace ddt::grid::io
