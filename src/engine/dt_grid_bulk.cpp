// CDT_GRID: the bulk operations of the seam (visiting a range, copying cells between
// engines, typed sets), the file notes, and the engine-internal access to the workbook.
#include <algorithm>
#include <vector>

#include "ddtable/dt_grid.h"
#include "engine/book_access.h"
#include "engine/cell_image.h"
#include "engine/grid_window.h"
#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/sheet_look.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::engine {

grid::Workbook* BookAccess::Of(CDT_IF* engine) {
  auto* bound = dynamic_cast<CDT_GRID*>(engine);
  return bound != nullptr ? &bound->Book() : nullptr;
}

grid::Workbook& BookAccess::Of(CDT_IF& engine) {
  grid::Workbook* book = Of(&engine);
  if (book == nullptr) throw grid::GridError("Not a grid engine.", grid::ErrorKind::BadArgument);
  return *book;
}

}  // namespace ddt::engine

namespace {

using ddt::grid::Cell;
using ddt::grid::Range;
using ddt::grid::StyleId;
using ddt::grid::Value;
using ddt::grid::Workbook;

// The view of a value; texts point into the value, which must outlive the view.
void ViewOf(const Value& value, CDT_IF::CellView& view) {
  switch (value.index()) {
    case 1:
      view.kind = CDT_IF::CellView::Number;
      view.number = std::get<double>(value);
      break;
    case 2:
      view.kind = CDT_IF::CellView::Text;
      view.text = ddt::grid::TextOf(value);
      break;
    case 3:
      view.kind = CDT_IF::CellView::Bool;
      view.boolean = std::get<bool>(value);
      break;
    case 4:
      view.kind = CDT_IF::CellView::Error;
      view.text = ddt::grid::ErrorText(std::get<ddt::grid::ErrorCode>(value));
      break;
    default: view.kind = CDT_IF::CellView::Empty; break;
  }
}

// A normalised block: -1 as both rows (columns) is every row (column).
Range Block(int firstRow, int firstCol, int lastRow, int lastCol) {
  Range r{firstRow, firstCol, lastRow, lastCol};
  if (firstRow == ddt::grid::kAll && lastRow == ddt::grid::kAll) {
    r.firstRow = 1;
    r.lastRow = ddt::grid::kMaxRows;
  }
  if (firstCol == ddt::grid::kAll && lastCol == ddt::grid::kAll) {
    r.firstCol = 1;
    r.lastCol = ddt::grid::kMaxCols;
  }
  return r;
}

}  // namespace

void CDT_GRID::VisitRange(int sheet, int firstRow, int firstCol, int lastRow, int lastCol,
                          CellVisitor& visitor) {
  Workbook& book = Book();
  const ddt::grid::Sheet& s = book.SheetAt(sheet);
  const Range r = Block(firstRow, firstCol, lastRow, lastCol);
  if (r.firstRow > r.lastRow || r.firstCol > r.lastCol) return;
  // Formula results first: evaluating may write cells (cached results), so it is done
  // before the walk, which then sees only settled cells. Evaluating one formula settles
  // others, and a few passes settle what the first one left.
  for (int pass = 0; pass < 4; ++pass) {
    std::vector<std::pair<int, int>> stale;
    s.ForEachIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, const Cell& c) {
      if (c.dirty) stale.emplace_back(row, col);
    });
    if (stale.empty()) break;
    for (const auto& [row, col] : stale) book.GetCellValue(sheet, row, col);
  }
  const StyleId sheetStyle = s.sheetStyle;
  int styledRow = 0;
  StyleId rowStyle = ddt::grid::kDefaultStyle;
  // Column styles looked up once per column met: the walk does not change them, and a
  // lookup per cell was a fair part of a large visit.
  constexpr StyleId kNotLooked = ~StyleId{0};
  std::vector<StyleId> colStyles;
  const ddt::grid::StyleTable& styles = book.Styles();
  CellView view;
  s.ForEachIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, const Cell& c) {
    if (row != styledRow) {
      styledRow = row;
      rowStyle = book.RowStyle(sheet, row);
    }
    StyleId style = c.style;
    if (style == ddt::grid::kDefaultStyle) style = rowStyle;
    if (style == ddt::grid::kDefaultStyle) {
      const auto at = static_cast<std::size_t>(col - r.firstCol);
      if (at >= colStyles.size()) colStyles.resize(at + 1, kNotLooked);
      if (colStyles[at] == kNotLooked) colStyles[at] = book.ColStyle(sheet, col);
      style = colStyles[at];
    }
    if (style == ddt::grid::kDefaultStyle) style = sheetStyle;
    view = CellView{};
    ViewOf(c.value, view);
    view.formula = c.formula != nullptr;
    view.forcedText = c.forcedText;
    view.numberFormat = styles.Get(style).numberFormat;
    view.styleId = style;
    visitor.Visit(row, col, view);
  });
}

void CDT_GRID::CopyCell(int sheet, int row, int col, CDT_IF& from, int fromSheet, int fromRow,
                        int fromCol) {
  Workbook& source = ddt::engine::BookAccess::Of(from);
  Workbook& target = Book();
  // What the source holds: its entry for a formula, else its typed value. An array formula
  // is copied as one (its extent, legacy or dynamic); a cell an array fills or spills over is
  // left to the array copied with it (its value is copied where there is none).
  Value value;
  std::string formula;
  ddt::grid::formula::FormulaPtr array;
  bool forcedText = false, arrayCell = false;
  if (const Cell* cell = source.FindCell(fromSheet, fromRow, fromCol)) {
    int rows = 1, cols = 1;
    if (cell->formula && ddt::grid::formula::IsArrayFormula(*cell->formula, &rows, &cols))
      array = ddt::grid::formula::Rebased(*cell->formula, source, target);
    else if (cell->formula)
      formula = "=" + source.GetFormula(fromSheet, fromRow, fromCol);
    else
      value = cell->value;
    forcedText = cell->forcedText;
    arrayCell = !cell->formula &&
                source.Calc().ArrayAnchor(source.SheetId(fromSheet), fromRow, fromCol).has_value();
  }
  // The format first, as a selection's format would be set: the target's effective style
  // with the source's number format, as the cell's own style.
  std::string format = source.CellStyle(fromSheet, fromRow, fromCol).numberFormat;
  if (format.empty()) format = "General";
  ddt::grid::Style look = target.CellStyle(sheet, row, col);
  look.numberFormat = std::move(format);
  target.SetCellStyle(sheet, row, col, target.Styles().Intern(look));
  if (array) {
    target.SetCellFormula(sheet, row, col, array, std::nullopt);
  } else if (arrayCell && target.Calc().ArrayAnchor(target.SheetId(sheet), row, col)) {
    // The array copied into this workbook writes the cell: a value would be in its way.
  } else if (!formula.empty()) {
    target.SetEntry(sheet, row, col, formula);
  } else if (const auto* text = std::get_if<ddt::grid::SharedText>(&value); text && forcedText) {
    target.SetEntry(sheet, row, col, "'" + text->str());  // keeps the mark it was entered with
  } else if (ddt::grid::IsEmpty(value)) {
    target.SetEntry(sheet, row, col, "");
  } else {
    target.SetCellValue(sheet, row, col, std::move(value));
  }
}

void CDT_GRID::ResetCell(int sheet, int row, int col) {
  Workbook& book = Book();
  ddt::grid::Style look = book.CellStyle(sheet, row, col);
  look.numberFormat = "General";
  book.SetCellStyle(sheet, row, col, book.Styles().Intern(look));
  book.SetEntry(sheet, row, col, "");
}

void CDT_GRID::CopyRangeFrom(int sheet, int firstRow, int firstCol, int lastRow, int lastCol,
                             CDT_IF& from, int fromSheet, int fromFirstRow, int fromFirstCol,
                             int fromLastRow, int fromLastCol) {
  Workbook& source = ddt::engine::BookAccess::Of(from);
  Book().CopyRangeFrom(sheet, Range{firstRow, firstCol, lastRow, lastCol}, source.Handle(),
                       fromSheet, Range{fromFirstRow, fromFirstCol, fromLastRow, fromLastCol});
}

void CDT_GRID::SetNumber(int sheet, int row, int col, double value) {
  Book().SetCellValue(sheet, row, col, value);
}

void CDT_GRID::SetText(int sheet, int row, int col, std::string_view text) {
  // The same limit as a typed entry: a file cannot keep a longer text in a cell.
  if (text.size() > static_cast<std::size_t>(ddt::grid::kMaxCellTextLength)) {
    std::size_t characters = 0;
    for (const char c : text)
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    if (characters > static_cast<std::size_t>(ddt::grid::kMaxCellTextLength))
      throw ddt::grid::GridError("Text is longer than 32767 characters.",
                                 ddt::grid::ErrorKind::OverLimit);
  }
  Book().SetCellValue(sheet, row, col, ddt::grid::SharedText(text));
}

void CDT_GRID::SetBool(int sheet, int row, int col, bool value) {
  Book().SetCellValue(sheet, row, col, value);
}

bool CDT_GRID::Uses1904Dates() { return Book().Date1904(); }

std::vector<std::string> CDT_GRID::GetSaveNotes() { return Book().LastSaveNotes(); }
std::vector<std::string> CDT_GRID::GetReadNotes() { return Book().LastReadNotes(); }

void CDT_GRID::HoldEmptyHeaderRow() { Book().HoldEmptyHeaderRow(); }

bool CDT_GRID::HasHeaderCell(int sheet, int col) {
  const ddt::grid::Workbook& book = Book();
  return book.RowOrigin() != 0 && book.HeaderCell(sheet, col) != nullptr;
}

void CDT_GRID::SetHeaderText(int sheet, int col, std::string_view text) {
  ddt::grid::Workbook& book = Book();
  if (book.RowOrigin() != 0) book.SetHeaderCell(sheet, col, ddt::grid::Value(std::string(text)));
}

void CDT_GRID::CopySheetLookUnlessOwn(int toSheet, CDT_IF& from, int fromSheet) {
  const Workbook& source = ddt::engine::BookAccess::Of(from);
  if (!ddt::grid::io::HasSheetLook(Book(), toSheet))
    ddt::grid::io::CopySheetLook(source, fromSheet, Book(), toSheet);
}

// --- Cell images -------------------------------------------------------------------------

namespace ddt::engine {

CellImage ReadCellImage(CDT_IF& engine, int sheet, int row, int col) {
  Workbook& book = BookAccess::Of(engine);
  CellImage image;
  if (const Cell* found = book.FindCell(sheet, row, col)) {
    if (found->formula) {
      image.formula = book.GetEntry(sheet, row, col);
    } else {
      const Value& v = found->value;
      image.value.kind = static_cast<CDT_IF::CellView::Kind>(v.index());
      if (const auto* d = std::get_if<double>(&v)) image.value.number = *d;
      if (const auto* t = std::get_if<grid::SharedText>(&v)) image.value.text = t->str();
      if (const auto* b = std::get_if<bool>(&v)) image.value.boolean = *b;
      if (const auto* e = std::get_if<grid::ErrorCode>(&v))
        image.value.errorCode = static_cast<uint8_t>(*e);
    }
  }
  const grid::Style& s = book.CellStyle(sheet, row, col);
  CellLook& look = image.style;
  look.numberFormat = s.numberFormat;
  look.pattern = s.pattern;
  look.patternFg = s.patternFg;
  look.patternBg = s.patternBg;
  look.fontColor = s.fontColor;
  look.left = {s.left.style, s.left.color};
  look.right = {s.right.style, s.right.color};
  look.top = {s.top.style, s.top.color};
  look.bottom = {s.bottom.style, s.bottom.color};
  return image;
}

void WriteCellImage(CDT_IF& engine, int sheet, int row, int col, const CellImage& image) {
  Workbook& book = BookAccess::Of(engine);
  try {
    if (!image.formula.empty()) {
      book.SetEntry(sheet, row, col, image.formula);
    } else {
      Value value;
      switch (image.value.kind) {
        case CDT_IF::CellView::Number: value = image.value.number; break;
        case CDT_IF::CellView::Text: value = grid::SharedText(image.value.text); break;
        case CDT_IF::CellView::Bool: value = image.value.boolean; break;
        case CDT_IF::CellView::Error:
          if (IsCellErrorCode(image.value.errorCode))
            value = static_cast<grid::ErrorCode>(image.value.errorCode);
          break;
        default: break;
      }
      book.SetCellValue(sheet, row, col, std::move(value));
    }
  } catch (const grid::GridError&) {
    // A formula the grid refuses now was refused when it was first written too.
  }
  const CellLook& look = image.style;
  grid::Style s;
  s.numberFormat = look.numberFormat;
  s.pattern = look.pattern;
  s.patternFg = look.patternFg;
  s.patternBg = look.patternBg;
  s.fontColor = look.fontColor;
  s.left = {look.left.style, look.left.color};
  s.right = {look.right.style, look.right.color};
  s.top = {look.top.style, look.top.color};
  s.bottom = {look.bottom.style, look.bottom.color};
  book.SetCellStyle(sheet, row, col, book.Styles().Intern(s));
}

static_assert(static_cast<int>(CDT_IF::CellView::Error) + 1 ==
              static_cast<int>(std::variant_size_v<Value>));
static_assert(static_cast<uint8_t>(grid::ErrorCode::NA) == kMaxErrorCode);
static_assert(IsCellErrorCode(static_cast<uint8_t>(grid::ErrorCode::Spill)) &&
              IsCellErrorCode(static_cast<uint8_t>(grid::ErrorCode::Calc)));

}  // namespace ddt::engine
