#include "engine/sheet_header.h"

#include <algorithm>
#include <variant>

#include "engine/engine_limits.h"
#include "grid/format/number_format.h"
#include "grid/formula/formula.h"
#include "text/ascii.h"
#include "text/column_letters.h"

namespace ddt::engine {

int LastHeaderCol(const grid::Workbook& book) {
  int col = std::min(book.LastUsedCol(), kMaxHeaderCols) + 1;
  while (col <= kMaxHeaderCols && !book.ColHeading(col).empty()) ++col;
  return col - 1;
}

int LastDataRow(grid::Workbook& book) {
  const int last = book.LastUsedRow();
  if (last != 1) return last;
  // Row 1 alone counts only when one of its cells shows some text.
  const int lastCol = book.LastUsedCol();
  for (int col = 1; col <= lastCol; ++col) {
    if (!book.GetText(1, col).empty()) return 1;
  }
  return 0;
}

namespace {

// The held header row.
constexpr int kHeldHeaderRow = 0;

// The last column of the held header row with content, never beyond kMaxHeaderCols.
int LastHeaderCellCol(const grid::Workbook& book) {
  for (int col = kMaxHeaderCols; col >= 1; --col) {
    const grid::Cell* cell = book.HeaderCell(0, col);
    if (cell != nullptr && (cell->formula || !grid::IsEmpty(cell->value))) return col;
  }
  return 0;
}

}  // namespace

std::string HeaderCellText(grid::Workbook& book, int col) {
  const grid::Cell* cell = book.HeaderCell(0, col);
  if (cell == nullptr) return {};
  if (!cell->formula && grid::IsText(cell->value)) return std::get<grid::SharedText>(cell->value).str();
  if (!cell->formula && grid::IsEmpty(cell->value)) return {};
  const grid::Style& style = book.Styles().Get(
      cell->style != grid::kDefaultStyle ? cell->style : book.ColStyle(0, col));
  const grid::Value value =
      cell->formula ? book.Calc().Evaluate(book.CurrentSheet(), kHeldHeaderRow, col) : cell->value;
  if (const double* d = std::get_if<double>(&value))
    return grid::format::FormatNumber(*d, style.numberFormat, book.Date1904());
  if (const grid::SharedText* t = std::get_if<grid::SharedText>(&value))
    return grid::format::FormatText(*t, style.numberFormat);
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "TRUE" : "FALSE";
  if (const grid::ErrorCode* e = std::get_if<grid::ErrorCode>(&value)) return grid::ErrorText(*e);
  return {};
}

void TakeHeaderRow(grid::Workbook& book, bool trim, CStringList& names) {
  names.clear();
  const int lastCol = std::max(LastHeaderCol(book), LastHeaderCellCol(book));
  for (int col = 1; col <= lastCol; ++col) {
    std::string name = HeaderCellText(book, col);
    if (trim) name = std::string(text::Trim(name));
    if (!name.empty()) {
      book.SetColHeading(col, name);
      book.SetHeaderName(col, name);
    }
    names.push_back(std::move(name));
  }
}

int SavedHeaderCols(const grid::Workbook& book) {
  return std::max(LastHeaderCol(book), book.LastHeadingCol());
}

std::string SavedName(const CStringList* cached, const grid::Workbook& book, int col) {
  if (cached != nullptr && static_cast<std::size_t>(col) <= cached->size() &&
      !(*cached)[col - 1].empty())
    return (*cached)[col - 1];
  std::string heading = book.ColHeading(col);
  return heading.empty() ? text::ColumnLetters(col) : heading;
}

void PutHeaderRow(grid::Workbook& book, const CStringList& names) {
  const int sheet = book.CurrentSheet();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int col = static_cast<int>(i) + 1;
    const std::string heading = book.ColHeading(col);
    if (!heading.empty() && heading == book.HeaderName(col) && book.HeaderCell(0, col) != nullptr)
      continue;
    // A column without a name of its own is named by its letters whether or not they are
    // written, so they are not: its cell stays as read (empty, or a formula showing nothing,
    // which other formulas may test). After a save the letters are its heading and header
    // name, and it stays unnamed in the file.
    const bool unnamed = heading.empty() || (heading == book.HeaderName(col) &&
                                             book.HeaderCell(0, col) == nullptr);
    if (unnamed && names[i] == text::ColumnLetters(col)) continue;
    book.SetHeaderCell(sheet, col, grid::Value(names[i]));
  }
}

void SetHeadings(grid::Workbook& book, const CStringList& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int col = static_cast<int>(i) + 1;
    book.SetColHeading(col, names[i]);
    book.SetHeaderName(col, names[i]);
  }
}

void ReadHeadings(const grid::Workbook& book, CStringList& names) {
  names.clear();
  const int lastCol = LastHeaderCol(book);
  for (int col = 1; col <= lastCol; ++col) names.push_back(book.ColHeading(col));
}

std::string ColumnName(const CStringList* names, int col) {
  if (names != nullptr && col >= 1 && static_cast<std::size_t>(col) <= names->size() &&
      !(*names)[col - 1].empty()) {
    return (*names)[col - 1];
  }
  return text::ColumnLetters(col);
}

}  // namespace ddt::engine
