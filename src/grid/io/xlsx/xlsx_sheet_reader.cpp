// A worksheet part: column records, rows, and cells with their values, formulas (plain,
// shared and array) and cached results, styles and hidden flags. The part is inflated whole
// and read by SheetScanner (expat for what the scanner does not know, sheet_xml_part.h);
// each cell goes into the workbook as soon as its element ends.
#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <vector>

#include "grid/formula/a1.h"
#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xlsx/xlsx_extras.h"
#include "grid/io/xlsx/xlsx_names.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/io/xlsx/sheet_xml_part.h"
#include "grid/io/xlsx/xml_reader.h"
#include "grid/io/zip/zip_reader.h"
#include "grid/limits.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

enum class CellType { Number, SharedString, FormulaString, InlineString, Boolean, Error, Date };

CellType ParseCellType(const char* t) {
  if (!t) return CellType::Number;
  std::string_view s(t);
  if (s == "s") return CellType::SharedString;
  if (s == "str") return CellType::FormulaString;
  if (s == "inlineStr") return CellType::InlineString;
  if (s == "b") return CellType::Boolean;
  if (s == "e") return CellType::Error;
  if (s == "d") return CellType::Date;
  return CellType::Number;
}

bool ParseInt64(std::string_view s, int64_t* out) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool IsTrue(const char* v) {
  return v && (std::string_view(v) == "1" || std::string_view(v) == "true");
}

struct SharedMaster {
  formula::FormulaPtr formula;
  int row = 0, col = 0;
};

class SheetHandler : public XmlHandler {
 public:
  explicit SheetHandler(SheetContext& ctx)
      : ctx_(ctx), sheet_(ctx.book.SheetAt(ctx.sheet)), origin_(ctx.book.ReadOrigin()) {
    // Until a formula is read, no cell of the workbook has a reader to tell about a new
    // value: constants then go straight into the sheet, without the per-cell notices.
    for (int i = 1; i <= ctx.book.SheetCount(); ++i)
      formulasSeen_ = formulasSeen_ || ctx.book.SheetAt(i).mayHaveFormulas;
  }

  void StartElement(std::string_view name, const char** attrs) override {
    if (++depth_ <= 2 || capture_.Active()) {
      if (Structure(name, attrs)) return;
    }
    switch (name.size()) {
      case 1:
        if (name[0] == 'c') return StartCell(attrs);
        if (name[0] == 'v' && inCell_) return StartText(&value_, &hasValue_);
        if (name[0] == 'f' && inCell_) return StartFormula(attrs);
        if (name[0] == 't' && inInline_ && phonetic_ == 0) {
          SetWantText(true);
          target_ = &inline_;
        }
        return;
      case 2:
        if (name == "is" && inCell_) {
          inInline_ = true;
          hasInline_ = true;
        }
        return;
      case 3:
        if (name == "row") return StartRow(attrs);
        if (name == "col") return StartCol(attrs);
        if (name == "rPh") ++phonetic_;
        return;
      default:
        return;
    }
  }

  void EndElement(std::string_view name) override {
    --depth_;
    if (capture_.Active()) {
      if (capture_.End(QName())) {
        ctx_.extras->fragments.push_back({captureName_, capture_.Take()});
        SetWantText(false);
      }
      return;
    }
    switch (name.size()) {
      case 1:
        if (name[0] == 'c' && inCell_) return EndCell();
        if (name[0] == 'v' || name[0] == 'f' || name[0] == 't') {
          SetWantText(false);
          target_ = nullptr;
        }
        return;
      case 2:
        if (name == "is") inInline_ = false;
        return;
      case 3:
        if (name == "rPh") --phonetic_;
        if (name == "row") EndRow();
        return;
      default:
        return;
    }
  }

  void Text(const char* data, size_t size) override {
    if (capture_.Active()) return capture_.Text(data, size);
    if (!target_) return;
    const size_t limit = target_ == &formula_ ? kMaxFormulaBytes : kMaxTextBytes;
    if (target_->size() + size > limit) {
      if (target_ == &formula_) {
        formulaTooLong_ = true;
        return;
      }
      Fail("text longer than 32767 characters", ErrorKind::OverLimit);
    }
    target_->append(data, size);
  }

 private:
  // The root and its children other than the cells: the root's attributes and every element
  // the grid does not model are kept as XML. True when the element was taken care of.
  bool Structure(std::string_view name, const char** attrs) {
    if (capture_.Active()) {
      capture_.Start(QName(), attrs);
      return true;
    }
    if (depth_ == 1) {
      if (ctx_.extras) {
        ctx_.extras->rootAttrs = AttrsText(attrs, [](std::string_view) { return false; });
        const std::string prefix = MainPrefix(attrs);
        if (!prefix.empty())
          ctx_.extras->rootAttrs = WithDefaultNamespace(ctx_.extras->rootAttrs);
        capture_.DropPrefix(prefix);
      }
      return true;
    }
    if (name == "sheetData" || name == "cols") return false;
    if (name == "dimension" || !ctx_.extras) return true;  // the extent is written anew
    captureName_ = std::string(name);
    capture_.Start(QName(), attrs);
    SetWantText(true);
    return true;
  }

  [[noreturn]] void Fail(const std::string& what, ErrorKind kind = ErrorKind::Damaged) const {
    std::string where;
    AppendCellRef(static_cast<int>(std::min<int64_t>(row_, kMaxRows)),
                  static_cast<int>(std::min<int64_t>(col_, kMaxCols)), where);
    throw GridError("sheet '" + ctx_.sheetName + "' cell " + where + ": " + what, kind);
  }

  void StartText(std::string* target, bool* flag) {
    target->clear();
    *flag = true;
    target_ = target;
    SetWantText(true);
  }

  void StartRow(const char** attrs) {
    int64_t r = row_ + 1;
    if (const char* ra = Attr(attrs, "r")) {
      if (!ParseInt64(ra, &r) || r < 1)
        throw GridError("sheet '" + ctx_.sheetName + "': bad row number '" + ra + "'",
                        ErrorKind::Damaged);
    }
    if (r > kMaxRows)
      throw GridError("sheet '" + ctx_.sheetName + "': row " + std::to_string(r) +
                          " is beyond the last row (" + std::to_string(kMaxRows) + ")",
                      ErrorKind::OverLimit);
    row_ = r;
    col_ = 0;
    // The row's properties go to the sheet's line maps directly: the held header row (row 0
    // of a read in place) is no row the workbook's line members take.
    const int row = GridRow();
    if (IsTrue(Attr(attrs, "hidden"))) sheet_.rowHidden.Set(row, row, true);
    if (ctx_.extras) {
      std::string kept = AttrsText(attrs, [](std::string_view a) {
        return a == "r" || a == "spans" || a == "s" || a == "customFormat" || a == "hidden";
      });
      if (!kept.empty()) sheet_.rowFileAttrs.Set(row, row, kept);
    }
    if (IsTrue(Attr(attrs, "customFormat"))) {
      if (const char* s = Attr(attrs, "s")) {
        StyleId style = StyleOf(s);
        if (style != kDefaultStyle) sheet_.rowStyles.Set(row, row, style);
      }
    }
  }

  // A row's cells grow by doubling while it is read; give back the slack once it is
  // complete, so that memory follows the cells.
  void EndRow() {
    auto& rows = sheet_.MutableRows();
    if (rows.empty() || rows.back().row != GridRow()) return;
    auto& cells = rows.back().cells;
    if (cells.capacity() - cells.size() > cells.size() / 4) cells.shrink_to_fit();
  }

  void StartCol(const char** attrs) {
    int64_t first = 0, last = 0;
    const char* mn = Attr(attrs, "min");
    const char* mx = Attr(attrs, "max");
    if (!mn || !ParseInt64(mn, &first) || first < 1 || first > kMaxCols) return;
    if (!mx || !ParseInt64(mx, &last) || last < first) last = first;
    last = std::min<int64_t>(last, kMaxCols);
    const int a = static_cast<int>(first), b = static_cast<int>(last);
    if (const char* w = Attr(attrs, "width")) {
      double width = 0;
      std::string_view s(w);
      if (std::from_chars(s.data(), s.data() + s.size(), width).ec == std::errc() &&
          width >= 0 && width <= 255) {
        for (int c = a; c <= b; ++c) ctx_.book.SetColWidth(ctx_.sheet, c, GridColumnWidth(width));
        ctx_.book.SheetAt(ctx_.sheet).colFileWidths.Set(a, b, width);
      }
    }
    if (IsTrue(Attr(attrs, "hidden"))) ctx_.book.SetColsHidden(ctx_.sheet, a, b, true);
    if (ctx_.extras) {
      std::string kept = AttrsText(attrs, [](std::string_view n) {
        return n == "min" || n == "max" || n == "width" || n == "customWidth" ||
               n == "hidden" || n == "style";
      });
      if (!kept.empty()) ctx_.book.SheetAt(ctx_.sheet).colFileAttrs.Set(a, b, kept);
    }
    if (const char* s = Attr(attrs, "style")) {
      StyleId style = StyleOf(s);
      if (style != kDefaultStyle) ctx_.book.SetColStyle(ctx_.sheet, a, b, style);
    }
  }

  StyleId StyleOf(const char* s) {
    if (*s == 0) return kDefaultStyle;  // s="": no style, as other readers take it
    int64_t index = 0;
    if (!ParseInt64(s, &index) || index < 0 ||
        static_cast<uint64_t>(index) >= ctx_.styleIds.size()) {
      if (index == 0 && ctx_.styleIds.empty()) return kDefaultStyle;  // no styles part
      Fail("style index " + std::string(s) + " is out of range");
    }
    return ctx_.styleIds[static_cast<size_t>(index)];
  }

  void StartCell(const char** attrs) {
    if (row_ == 0) row_ = 1;  // a cell outside any row element
    // One pass over the attributes: this runs for every cell. Attributes of cells carry no
    // prefix (unprefixed attributes are in no namespace).
    const char *r = nullptr, *t = nullptr, *s = nullptr;
    cellMetadata_ = -1;
    valueMetadata_.clear();
    for (const char** a = attrs; *a; a += 2) {
      const char* n = a[0];
      if (n[0] == 'c' && n[1] == 'm' && n[2] == 0) ParseInt64(a[1], &cellMetadata_);
      if (n[0] == 'v' && n[1] == 'm' && n[2] == 0) valueMetadata_ = a[1];
      if (n[0] == 0 || n[1] != 0) continue;
      if (n[0] == 'r') r = a[1];
      else if (n[0] == 't') t = a[1];
      else if (n[0] == 's') s = a[1];
    }
    if (r) {
      int64_t row = 0, col = 0;
      if (!formula::ParsePlainCellRef(r, &row, &col))
        throw GridError("sheet '" + ctx_.sheetName + "': bad cell reference '" + r + "'",
                        ErrorKind::Damaged);
      if (row > kMaxRows || col > kMaxCols)
        throw GridError("sheet '" + ctx_.sheetName + "': cell reference " + r +
                            " is beyond the sheet's limits (" + std::to_string(kMaxRows) +
                            " rows, " + std::to_string(kMaxCols) + " columns)",
                        ErrorKind::OverLimit);
      row_ = row;
      col_ = col;
    } else {
      // Without a reference a cell follows the previous one in its row.
      if (++col_ > kMaxCols) Fail("cell beyond the last column", ErrorKind::OverLimit);
    }
    inCell_ = true;
    type_ = ParseCellType(t);
    style_ = s ? StyleOf(s) : kDefaultStyle;
    styleXf_ = -1;
    if (s) ParseInt64(s, &styleXf_);
    hasValue_ = hasFormula_ = hasInline_ = formulaTooLong_ = false;
    value_.clear();
    inline_.clear();
    formulaKind_.clear();
    sharedIndex_ = -1;
  }

  void StartFormula(const char** attrs) {
    hasFormula_ = true;
    formula_.clear();
    formulaTooLong_ = false;
    const char* t = Attr(attrs, "t");
    formulaKind_ = t ? t : "";
    sharedIndex_ = -1;
    if (const char* si = Attr(attrs, "si")) ParseInt64(si, &sharedIndex_);
    arrayRows_ = arrayCols_ = 1;
    if (const char* ref = Attr(attrs, "ref"); ref && formulaKind_ == "array") ArrayExtent(ref);
    target_ = &formula_;
    SetWantText(true);
  }

  // The extent of an array formula from its "ref" (A1 or A1:B3), anchored at this cell.
  void ArrayExtent(std::string_view ref) {
    const size_t colon = ref.find(':');
    int64_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!formula::ParsePlainCellRef(ref.substr(0, colon), &r1, &c1)) return;
    r2 = r1, c2 = c1;
    if (colon != std::string_view::npos &&
        !formula::ParsePlainCellRef(ref.substr(colon + 1), &r2, &c2))
      return;
    if (r2 < r1 || c2 < c1) return;
    arrayRows_ = static_cast<int>(std::min<int64_t>(r2 - r1 + 1, kMaxRows));
    arrayCols_ = static_cast<int>(std::min<int64_t>(c2 - c1 + 1, kMaxCols));
  }

  // The cell's value from its type and texts; Empty when it has none.
  Value CellValue() {
    switch (type_) {
      case CellType::InlineString: {
        if (!hasInline_) return hasValue_ ? Value(Text(value_)) : Value();
        return Value(Text(inline_));
      }
      case CellType::SharedString: {
        if (!hasValue_ || value_.empty()) return Value();  // an empty index: an empty cell
        int64_t index = -1;
        if (!ParseInt64(value_, &index) || index < 0 ||
            static_cast<uint64_t>(index) >= ctx_.sharedStrings.size())
          Fail("shared string index '" + value_ + "' is out of range");
        return Value(ctx_.sharedStrings[static_cast<size_t>(index)]);
      }
      case CellType::FormulaString:
        return hasValue_ ? Value(Text(value_)) : Value();
      case CellType::Boolean:
        if (!hasValue_) return Value();
        return Value(value_ == "1" || value_ == "true" || value_ == "TRUE");
      case CellType::Error:
        if (!hasValue_) return Value();
        return Value(ParseErrorText(value_).value_or(ErrorCode::Value));
      case CellType::Date: {
        if (!hasValue_ || value_.empty()) return Value();
        auto serial = IsoDateToSerial(value_, ctx_.book.Date1904());
        if (!serial) Fail("bad date '" + value_ + "'");
        return Value(*serial);
      }
      case CellType::Number: {
        if (!hasValue_) return Value();
        const char* b = value_.data();
        const char* e = b + value_.size();
        while (b < e && *b == ' ') ++b;
        while (e > b && e[-1] == ' ') --e;
        if (b == e) return Value();
        double d = 0;
        auto [p, ec] = std::from_chars(b, e, d);
        if (ec != std::errc() || p != e) Fail("bad number '" + value_ + "'");
        return Value(d);
      }
    }
    return Value();
  }

  std::string Text(std::string& raw) {
    UnescapeXstring(raw);
    if (text::utf8::CountCharacters(raw) > static_cast<size_t>(kMaxCellTextLength))
      Fail("text longer than 32767 characters", ErrorKind::OverLimit);
    return std::move(raw);
  }

  void Refused(const std::string& text) {
    ReadReport& report = ctx_.report;
    if (report.refusedFormulas++ == 0) {
      report.firstRefused = ctx_.sheetName + "!";
      AppendCellRef(static_cast<int>(row_), static_cast<int>(col_), report.firstRefused);
      report.firstRefused += ": " + text;
    }
  }

  // The formula of this cell, or null when it has none or it was refused.
  formula::FormulaPtr CellFormula() {
    if (!hasFormula_ || formulaKind_ == "dataTable") return nullptr;
    const int row = static_cast<int>(row_), col = static_cast<int>(col_);
    if (formulaTooLong_) {
      Refused("(formula too long)");
      return nullptr;
    }
    if (formulaKind_ == "shared" && sharedIndex_ >= 0 && formula_.empty()) {
      auto it = shared_.find(sharedIndex_);
      if (it == shared_.end() || !it->second.formula || it->second.formula->isVerbatim) {
        Refused("(shared formula " + std::to_string(sharedIndex_) + " has no readable master)");
        return nullptr;
      }
      auto f = formula::Shifted(*it->second.formula, row - it->second.row,
                                col - it->second.col);
      if (!f) Refused("(shared formula " + std::to_string(sharedIndex_) + " cannot be shifted)");
      return f;
    }
    if (formula_.empty()) return nullptr;
    formula::FormulaPtr f;
    try {
      f = formula::ParseFormula(formula_, ctx_.book);
    } catch (const GridError&) {
      // Kept as written, with the result the file stored; reported all the same.
      Refused(formula_);
      f = formula::VerbatimFormula(formula_);
    }
    if (formulaKind_ == "array") {
      const bool dynamic = cellMetadata_ > 0 && ctx_.dynamicArrayCells &&
                           ctx_.dynamicArrayCells->count(cellMetadata_);
      f = formula::AsArrayFormula(*f, arrayRows_, arrayCols_, dynamic);
      if (dynamic && (arrayRows_ > 1 || arrayCols_ > 1))
        spills_.push_back({row, col, row + arrayRows_ - 1, col + arrayCols_ - 1});
    }
    if (formulaKind_ == "shared" && sharedIndex_ >= 0)
      shared_[sharedIndex_] = SharedMaster{f, row, col};
    return f;
  }

  void EndCell() {
    inCell_ = false;
    inInline_ = false;
    const int fileRow = static_cast<int>(row_), row = GridRow(), col = static_cast<int>(col_);
    Value value = CellValue();
    if (!valueMetadata_.empty() && ctx_.extras && !hasFormula_)
      ctx_.extras->valueMetadata.push_back({fileRow, col, valueMetadata_, value});
    if (auto f = CellFormula()) {
      // Formulas are read as the file writes them; a read in place moves their references
      // with the cells.
      if (origin_ != 0) f = formula::Translated(*f, -origin_);
      // No result, or an empty one (written by programs that do not calculate): the
      // formula is evaluated when read.
      std::optional<Value> cached;
      if (!IsEmpty(value)) cached = std::move(value);
      formulasSeen_ = true;
      ctx_.book.SetCellFormula(ctx_.sheet, row, col, std::move(f), std::move(cached));
    } else if (!IsEmpty(value)) {
      if (styleXf_ >= 0 && static_cast<size_t>(styleXf_) < ctx_.quotePrefix.size() &&
          ctx_.quotePrefix[styleXf_] && IsText(value)) {
        // Text entered with an apostrophe. Typed access, as a user's entry into a cell an
        // array formula fills would be refused.
        ctx_.book.SetCellValue(ctx_.sheet, row, col, std::move(value));
        sheet_.FindMutable(row, col)->forcedText = true;
      } else if (!formulasSeen_ || InSpill(fileRow, col)) {
        // A dynamic array's spilled values are its results, not entries over its cells.
        PutConstant(row, col, std::move(value));
      } else {
        ctx_.book.SetCellValue(ctx_.sheet, row, col, std::move(value));
      }
    }
    // A cell that names the plain style (s="0") shows General even in a formatted row or
    // column; one that names none shows the row's or column's format.
    const StyleId style =
        style_ != kDefaultStyle || styleXf_ < 0 ? style_ : PlainInStyledLine(row, col);
    if (style != kDefaultStyle) ctx_.book.SetCellStyle(ctx_.sheet, row, col, style);
  }

  // The grid lets a cell without a style show its row's or column's; a cell that names the
  // plain style inside a formatted row or column (a currency column, say) gets a plain style
  // that is not the default id. kDefaultStyle when the row and column have no style either.
  StyleId PlainInStyledLine(int row, int col) {
    if (sheet_.rowStyles.Empty() && sheet_.colStyles.Empty()) return kDefaultStyle;
    if (sheet_.rowStyles.Get(row) == kDefaultStyle && sheet_.colStyles.Get(col) == kDefaultStyle)
      return kDefaultStyle;
    if (plainInStyledLine_ == kDefaultStyle) {
      Style plain;
      plain.extras = std::make_shared<StyleExtras>();
      plainInStyledLine_ = ctx_.book.Styles().Intern(plain);
    }
    return plainInStyledLine_;
  }

  // What SetCellValue does to a cell, without telling the calculator: the workbook being
  // read has no formula yet, so no cell reads this one. The read ends with the workbook's
  // contents replaced, which rebuilds the calculator's index anyway.
  void PutConstant(int row, int col, Value value) {
    Cell& c = sheet_.At(row, col);
    c.value = std::move(value);
    c.formula.reset();
    c.forcedText = false;
    c.dirty = false;
    sheet_.NoteContent(col);
  }

  // The row the cell or row being read goes to.
  int GridRow() const { return static_cast<int>(row_) - origin_; }

  // Whether the cell lies in the extent of a dynamic array read before it (extents that end
  // above the cell's row are dropped: cells come in row order; rows of the file).
  bool InSpill(int row, int col) {
    if (spills_.empty()) return false;
    std::erase_if(spills_, [&](const SpillExtent& e) { return e.lastRow < row; });
    for (const SpillExtent& e : spills_)
      if (row >= e.firstRow && col >= e.firstCol && col <= e.lastCol) return true;
    return false;
  }

  struct SpillExtent {
    int firstRow, firstCol, lastRow, lastCol;
  };
  std::vector<SpillExtent> spills_;
  SheetContext& ctx_;
  Sheet& sheet_;
  const int origin_;  // file row = row + origin_
  bool formulasSeen_ = false;
  int depth_ = 0;
  XmlCapture capture_;
  std::string captureName_;
  int64_t row_ = 0, col_ = 0;
  bool inCell_ = false, inInline_ = false;
  int phonetic_ = 0;
  CellType type_ = CellType::Number;
  StyleId style_ = kDefaultStyle;
  StyleId plainInStyledLine_ = kDefaultStyle;  // made when first needed
  int64_t styleXf_ = -1;
  bool hasValue_ = false, hasFormula_ = false, hasInline_ = false, formulaTooLong_ = false;
  std::string value_, formula_, inline_, formulaKind_;
  int64_t sharedIndex_ = -1;
  int arrayRows_ = 1, arrayCols_ = 1;
  int64_t cellMetadata_ = -1;  // the cell's cm attribute
  std::string valueMetadata_;  // the cell's vm attribute; "" when it has none
  std::string* target_ = nullptr;
  std::unordered_map<int64_t, SharedMaster> shared_;
};

}  // namespace

void ReadWorksheetPart(ZipReader& zip, std::string_view part, SheetContext& ctx) {
  SheetHandler handler(ctx);
  ParseSheetXmlPart(zip, part, kMaxEntryBytes, handler);
}

}  // namespace ddt::grid::io
