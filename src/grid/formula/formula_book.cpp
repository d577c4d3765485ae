// The formula entry points that take a workbook: sheet names through the workbook, and
// rebasing between workbooks.
#include "grid/formula/ast.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {

FormulaPtr ParseFormula(std::string_view text, const Workbook& book) {
  return ParseFormula(text, BookSheetNames(book));
}

std::string PrintFormula(const Formula& f, const Workbook& book) {
  return PrintFormula(f, BookSheetNames(book));
}

std::string PrintFormulaForFile(const Formula& f, const Workbook& book, int rowOrigin) {
  return PrintFormula(f, BookSheetNames(book), true, rowOrigin);
}

uint32_t BookSheetNames::IdOf(std::string_view name) const {
  int n = book_.SheetCount();
  for (int i = 1; i <= n; ++i)
    if (book_.SheetName(i) == name) return book_.SheetId(i);
  for (int i = 1; i <= n; ++i)
    if (CompareTextNoCase(book_.SheetName(i), name) == 0) return book_.SheetId(i);
  return 0;
}

std::optional<std::string> BookSheetNames::NameOf(uint32_t id) const {
  int index = book_.SheetIndexOfId(id);
  if (index == 0) return std::nullopt;
  return book_.SheetName(index);
}

int BookSheetNames::MinRow() const { return 1 - book_.RowOrigin(); }

FormulaPtr Rebased(const Formula& f, const Workbook& from, const Workbook& to) {
  auto copy = MakeFormula(f);
  BookSheetNames fromNames(from), toNames(to);
  for (Reference& r : copy->refs) {
    if (!r.hasSheet) continue;
    std::optional<std::string> name = fromNames.NameOf(r.sheetId);
    uint32_t id = name ? toNames.IdOf(*name) : 0;
    if (id == 0) {
      // Keep the reference pointing nowhere: it prints and evaluates as #REF!.
      r.sheetId = 0;
      r.invalid = true;
    } else {
      r.sheetId = id;
    }
  }
  return copy;
}

}  // namespace ddt::grid::formula
