// Temporary stand-ins so that the grid links before the formula engine lands; the formula
// module replaces this file.
#include "grid/formula/formula.h"

#include "grid/grid_error.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {

class Formula {};

FormulaPtr ParseFormula(std::string_view, const Workbook&) {
  throw GridError(kInvalidFormulaSyntax);
}
std::string PrintFormula(const Formula&, const Workbook&) { return {}; }
bool IsVolatile(const Formula&) { return false; }
FormulaPtr Adjusted(const Formula&, const StructuralChange&, uint32_t) { return nullptr; }
FormulaPtr Shifted(const Formula&, int, int) { return nullptr; }
FormulaPtr Rebased(const Formula&, const Workbook&, const Workbook&) { return nullptr; }

struct Calculator::State {};
Calculator::Calculator(Workbook& book) : book_(book), state_(std::make_unique<State>()) {}
Calculator::~Calculator() = default;
void Calculator::CellChanged(uint32_t, int, int) {}
void Calculator::StructureChanged() {}
Value Calculator::Evaluate(int sheet, int row, int col) {
  const Cell* cell = book_.FindCell(sheet, row, col);
  return cell ? cell->value : Value{};
}
void Calculator::RecalcIfNeeded() {}
void Calculator::RecalcAll() {}

}  // namespace ddt::grid::formula
