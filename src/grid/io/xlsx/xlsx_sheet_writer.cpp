// A worksheet part as written: sheet view, column records, then rows in order, each with its
// hidden flag and style and its cells (values, formulas with cached results, styles).
// Rows are written as the file counts them: while the workbook holds its header row out of
// the cells (row 0), every row number and formula reference is written one higher, so a
// save never moves the cells.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "grid/formula/formula.h"
#include "grid/io/xlsx/xlsx_dynamic_arrays.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid::io {

namespace {

void AppendNumber(std::string& out, double v) {
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, p);
}

void AppendInt(std::string& out, uint64_t v) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, p);
}

// Every position inside a run of the map whose value is not the default.
template <class T>
void AddRunBounds(const LineMap<T>& map, std::vector<int>& bounds) {
  map.ForEach([&](int first, int last, const T&) {
    bounds.push_back(first);
    bounds.push_back(last + 1);
  });
}

void AppendCols(const Sheet& s, std::string& out) {
  std::vector<int> bounds{1, kMaxCols + 1};
  AddRunBounds(s.colWidths, bounds);
  AddRunBounds(s.colHidden, bounds);
  AddRunBounds(s.colStyles, bounds);
  AddRunBounds(s.colFileAttrs, bounds);
  AddRunBounds(s.colFileWidths, bounds);
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  struct ColRec {
    int first, last;
    double width;
    double fileWidth;  // as read, when the width is still the one read
    bool hidden;
    StyleId style;
    const std::string* attrs;  // the file's other attributes
  };
  std::vector<ColRec> recs;
  for (size_t i = 0; i + 1 < bounds.size() && bounds[i] <= kMaxCols; ++i) {
    const int first = bounds[i];
    ColRec r{first, bounds[i + 1] - 1, s.colWidths.Get(first), s.colFileWidths.Get(first),
             s.colHidden.Get(first), s.colStyles.Get(first), &s.colFileAttrs.Get(first)};
    if (r.fileWidth > 0 && GridColumnWidth(r.fileWidth) != r.width) r.fileWidth = 0;
    if (r.style == kDefaultStyle) r.style = s.sheetStyle;
    if (r.width == s.colWidths.Default() && !r.hidden && r.style == kDefaultStyle &&
        r.attrs->empty())
      continue;
    if (!recs.empty() && recs.back().last + 1 == r.first && recs.back().width == r.width &&
        recs.back().fileWidth == r.fileWidth &&
        recs.back().hidden == r.hidden && recs.back().style == r.style &&
        *recs.back().attrs == *r.attrs)
      recs.back().last = r.last;
    else
      recs.push_back(r);
  }
  if (recs.empty()) return;
  out += "<cols>";
  for (const ColRec& r : recs) {
    out += "<col min=\"";
    AppendInt(out, r.first);
    out += "\" max=\"";
    AppendInt(out, r.last);
    out += "\" width=\"";
    AppendNumber(out, r.fileWidth > 0 ? r.fileWidth : FileColumnWidth(r.width));
    out += '"';
    if (r.width != s.colWidths.Default()) out += " customWidth=\"1\"";
    if (r.hidden) out += " hidden=\"1\"";
    if (r.style != kDefaultStyle) {
      out += " style=\"";
      AppendInt(out, r.style);
      out += '"';
    }
    out += *r.attrs;
    out += "/>";
  }
  out += "</cols>";
}

// Rows that need a row element of their own although they may hold no cells.
std::vector<int> RowsWithProperties(const Sheet& s) {
  std::vector<int> rows;
  auto add = [&](int first, int last) {
    for (int r = first; r <= last; ++r) rows.push_back(r);
  };
  s.rowHidden.ForEach([&](int first, int last, bool hidden) {
    if (hidden) add(first, last);
  });
  s.rowStyles.ForEach([&](int first, int last, StyleId style) {
    if (style != kDefaultStyle) add(first, last);
  });
  s.rowFileAttrs.ForEach([&](int first, int last, const std::string& attrs) {
    if (!attrs.empty()) add(first, last);
  });
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

// XML is collected up to about this size, then handed on.
constexpr size_t kPieceBytes = 256 * 1024;

class SheetWriter {
 public:
  SheetWriter(const Workbook& book, const Sheet& sheet, StylesOut& styles,
              SharedStringsOut& strings, std::string& out, const XmlSink& sink,
              std::string_view dynamicCellMetadata)
      : book_(book), s_(sheet), styles_(styles), strings_(strings), out_(out), sink_(sink),
        dynamicCellMetadata_(dynamicCellMetadata), origin_(book.RowOrigin()) {
    columnStyles_ = !s_.colStyles.Empty() || s_.sheetStyle != kDefaultStyle;
  }

  // Cells read with a value-metadata index get it back where they went (after the sheet's
  // row and column edits) while they hold the value they were read with.
  void KeepValueMetadata(const SheetExtras& x) {
    for (const SheetExtras::ValueMetadataCell& c : x.valueMetadata) {
      std::optional<CellRange> at = CellRange{c.row, c.col, c.row, c.col};
      for (const LineEdit& e : x.edits) {
        bool cut = false;
        if (at) at = MoveRange(*at, e, &cut);
      }
      if (at) valueMetadata_[Key(at->r1, at->c1)] = &c;
    }
  }

  void Rows() {
    const std::vector<int> special = RowsWithProperties(s_);
    auto next = special.begin();
    // Rows the file cannot hold (beyond its last row once the origin is added) are left out.
    const int lastRow = kMaxRows - origin_;
    for (const Sheet::RowEntry& row : s_.Rows()) {
      if (row.row > lastRow) break;
      for (; next != special.end() && *next < row.row; ++next) Row(*next, nullptr);
      if (next != special.end() && *next == row.row) ++next;
      Row(row.row, &row);
      if (out_.size() >= kPieceBytes) {
        sink_(out_);
        out_.clear();
      }
    }
    for (; next != special.end() && *next <= lastRow; ++next) Row(*next, nullptr);
  }

 private:
  void Row(int row, const Sheet::RowEntry* entry) {
    const StyleId rowStyle = s_.rowStyles.Empty() ? kDefaultStyle : s_.rowStyles.Get(row);
    const bool hidden = !s_.rowHidden.Empty() && s_.rowHidden.Get(row);
    out_ += "<row r=\"";
    AppendInt(out_, static_cast<uint64_t>(row + origin_));
    out_ += '"';
    if (rowStyle != kDefaultStyle) {
      out_ += " s=\"";
      AppendInt(out_, rowStyle);
      out_ += "\" customFormat=\"1\"";
    }
    if (hidden) out_ += " hidden=\"1\"";
    if (!s_.rowFileAttrs.Empty()) out_ += s_.rowFileAttrs.Get(row);
    if (!entry) {
      out_ += "/>";
      return;
    }
    out_ += '>';
    for (const Sheet::CellEntry& c : entry->cells) Cell(row, c.col, c.cell, rowStyle);
    out_ += "</row>";
  }

  void Cell(int row, int col, const grid::Cell& cell, StyleId rowStyle) {
    const bool content = cell.formula != nullptr || !IsEmpty(cell.value);
    if (!content && cell.style == kDefaultStyle) return;
    // A cell element takes no row or column style from the file: write the effective one.
    StyleId style = cell.style;
    if (style == kDefaultStyle) style = rowStyle;
    if (style == kDefaultStyle && columnStyles_) {
      style = s_.colStyles.Get(col);
      if (style == kDefaultStyle) style = s_.sheetStyle;
    }
    uint32_t xf = style;
    if (cell.forcedText && IsText(cell.value) && !cell.formula) xf = styles_.QuotedXf(style);

    const int fileRow = row + origin_;
    out_ += "<c r=\"";
    AppendCellRef(fileRow, col, out_);
    out_ += '"';
    if (xf != 0) {
      out_ += " s=\"";
      AppendInt(out_, xf);
      out_ += '"';
    }
    std::string formulaText;
    if (cell.formula) formulaText = formula::PrintFormulaForFile(*cell.formula, book_, origin_);
    const Value& v = cell.value;
    const bool cached = !(cell.formula && cell.dirty);
    if (!formulaText.empty()) {
      if (cached) TypeAttr(v, true);
      if (formula::IsDynamicArrayFormula(*cell.formula)) {
        out_ += " cm=\"";
        out_ += dynamicCellMetadata_;
        out_ += '"';
      }
      out_ += "><f";
      // An array formula carries its flag and the range it covers.
      if (int rows = 1, cols = 1; formula::IsArrayFormula(*cell.formula, &rows, &cols)) {
        out_ += " t=\"array\" ref=\"";
        AppendCellRef(fileRow, col, out_);
        if (rows > 1 || cols > 1) {
          out_ += ':';
          AppendCellRef(std::min(fileRow + rows - 1, kMaxRows),
                        std::min(col + cols - 1, kMaxCols), out_);
        }
        out_ += '"';
      }
      out_ += '>';
      AppendXmlText(formulaText, out_, false);
      out_ += "</f>";
      if (cached && !IsEmpty(v)) ValueElement(v, true);
      out_ += "</c>";
      return;
    }
    if (IsEmpty(v)) {
      out_ += "/>";
      return;
    }
    TypeAttr(v, false);
    if (!valueMetadata_.empty()) {
      auto it = valueMetadata_.find(Key(fileRow, col));
      if (it != valueMetadata_.end() && it->second->value == v) {
        out_ += " vm=\"";
        AppendXmlText(it->second->index, out_, false);
        out_ += '"';
      }
    }
    out_ += '>';
    ValueElement(v, false);
    out_ += "</c>";
  }

  void TypeAttr(const Value& v, bool formula) {
    if (const double* d = std::get_if<double>(&v)) {
      if (!std::isfinite(*d)) out_ += " t=\"e\"";
    } else if (IsText(v)) {
      out_ += formula ? " t=\"str\"" : " t=\"s\"";
    } else if (IsBoolean(v)) {
      out_ += " t=\"b\"";
    } else if (IsError(v)) {
      out_ += " t=\"e\"";
    }
  }

  void ValueElement(const Value& v, bool formula) {
    out_ += "<v>";
    if (const double* d = std::get_if<double>(&v)) {
      if (std::isfinite(*d)) AppendNumber(out_, *d);
      else out_ += ErrorText(ErrorCode::Num);
    } else if (const SharedText* t = std::get_if<SharedText>(&v)) {
      if (formula) AppendXmlText(*t, out_);
      else AppendInt(out_, strings_.Add(*t));
    } else if (const bool* b = std::get_if<bool>(&v)) {
      out_ += *b ? '1' : '0';
    } else if (const ErrorCode* e = std::get_if<ErrorCode>(&v)) {
      out_ += ErrorText(*e);
    }
    out_ += "</v>";
  }

  const Workbook& book_;
  const Sheet& s_;
  StylesOut& styles_;
  SharedStringsOut& strings_;
  std::string& out_;
  const XmlSink& sink_;
  std::string_view dynamicCellMetadata_;
  bool columnStyles_ = false;
  int origin_;  // file row = row + origin_
  static uint64_t Key(int row, int col) { return static_cast<uint64_t>(row) << 16 | col; }
  std::unordered_map<uint64_t, const SheetExtras::ValueMetadataCell*> valueMetadata_;
};

}  // namespace

uint32_t SharedStringsOut::Add(std::string_view text) {
  ++references_;
  auto [it, added] = index_.try_emplace(text, static_cast<uint32_t>(strings_.size()));
  if (added) strings_.push_back(text);
  return it->second;
}

void SharedStringsOut::WriteXml(const XmlSink& sink) const {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"";
  AppendInt(out, references_);
  out += "\" uniqueCount=\"";
  AppendInt(out, strings_.size());
  out += "\">";
  for (std::string_view s : strings_) {
    out += "<si><t xml:space=\"preserve\">";
    AppendXmlText(s, out);
    out += "</t></si>";
    if (out.size() >= kPieceBytes) {
      sink(out);
      out.clear();
    }
  }
  out += "</sst>";
  sink(out);
}

void WriteWorksheetXml(const Workbook& book, int sheet, bool selected, StylesOut& styles,
                       SharedStringsOut& strings, const SheetExtras* extras,
                       const std::vector<XmlFragment>& kept, bool valueMetadata,
                       const XmlSink& sink, std::string_view dynamicCellMetadata) {
  const Sheet& s = book.SheetAt(sheet);
  std::string out;
  out.reserve(kPieceBytes + 64 * 1024);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet";
  if (extras && !extras->rootAttrs.empty())
    out += extras->rootAttrs;
  else
    out +=
        " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  out += '>';

  // The sheet's own elements; kept ones of the file take their places around them.
  std::vector<XmlFragment> own;
  bool keptView = false, keptFormat = false;
  std::vector<XmlFragment> edited = kept;
  for (XmlFragment& f : edited) {
    if (f.name == "sheetViews") {
      keptView = true;
      SetFirstTagAttr(f.xml, "sheetView", "tabSelected", selected ? "1" : nullptr);
    }
    keptFormat = keptFormat || f.name == "sheetFormatPr";
  }
  if (!keptView) {
    std::string view = "<sheetViews><sheetView workbookViewId=\"0\"";
    if (selected) view += " tabSelected=\"1\"";
    own.push_back({"sheetViews", view + "/></sheetViews>"});
  }
  if (!keptFormat) own.push_back({"sheetFormatPr", "<sheetFormatPr defaultRowHeight=\"12.75\"/>"});
  std::string cols;
  AppendCols(s, cols);
  if (!cols.empty()) own.push_back({"cols", std::move(cols)});
  own.push_back({"sheetData", std::string()});  // written in place below: it is the bulk
  for (const std::string* xml : OrderFragments(edited, own, WorksheetRank)) {
    if (xml != &own.back().xml) {
      out += *xml;
      continue;
    }
    out += "<sheetData>";
    SheetWriter writer(book, s, styles, strings, out, sink, dynamicCellMetadata);
    if (valueMetadata && extras) writer.KeepValueMetadata(*extras);
    writer.Rows();
    out += "</sheetData>";
  }
  out += "</worksheet>";
  sink(out);
}

}  // namespace ddt::grid::io
