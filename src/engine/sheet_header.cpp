#include "engine/sheet_header.h"

#include <algorithm>
#include <variant>

#include "engine/column_letters.h"
#include "engine/engine_limits.h"

namespace ddt::engine {

namespace {
constexpr std::string_view kWhiteSpace = " \t\n\r\f\v";
}

std::string TrimWhiteSpace(std::string_view text) {
  const auto first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kWhiteSpace);
  return std::string(text.substr(first, last - first + 1));
}

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

std::string HeaderCellText(grid::Workbook& book, int col) {
  const int sheet = book.CurrentSheet();
  const grid::Cell* cell = book.FindCell(sheet, kHeaderRow, col);
  if (cell == nullptr) return {};
  if (!cell->formula && grid::IsText(cell->value)) return std::get<std::string>(cell->value);
  if (!cell->formula && grid::IsEmpty(cell->value)) return {};
  return book.GetFormattedText(sheet, kHeaderRow, col);
}

void WriteHeaderCell(grid::Workbook& book, int col, const std::string& name) {
  book.SetCellValue(book.CurrentSheet(), kHeaderRow, col, grid::Value(name));
}

void TakeHeaderRow(grid::Workbook& book, bool trim, CStringList& names) {
  names.clear();
  const int lastCol = LastHeaderCol(book);
  for (int col = 1; col <= lastCol; ++col) {
    std::string name = HeaderCellText(book, col);
    if (trim) name = TrimWhiteSpace(name);
    if (!name.empty()) book.SetColHeading(col, name);
    names.push_back(std::move(name));
  }
  book.DeleteRange({kHeaderRow, grid::kAll, kHeaderRow, grid::kAll}, grid::Shift::Rows);
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
  return ColumnLetters(col);
}

}  // namespace ddt::engine
