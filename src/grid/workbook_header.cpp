// Workbook: holding the header row of every sheet out of the cells, and putting it back.
#include <algorithm>
#include <unordered_map>

#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "grid/workbook.h"

namespace ddt::grid {

void Workbook::MoveAllRows(int delta) {
  // Formulas are shared between cells (shared formulas of a file): move each once.
  std::unordered_map<const formula::Formula*, formula::FormulaPtr> moved;
  const int lowest = delta < 0 ? 0 : 1;
  for (auto& sheet : sheets_) {
    auto& rows = sheet->MutableRows();
    for (auto& entry : rows) entry.row += delta;
    std::erase_if(rows, [&](const Sheet::RowEntry& r) { return r.row < lowest || r.row > kMaxRows; });
    // Only formulas need more than the row numbers: on a sheet without any the cells are not
    // visited (on a large sheet that pass costs a good part of what reading it costs).
    if (sheet->mayHaveFormulas) {
      for (auto& entry : rows) {
        for (auto& c : entry.cells) {
          if (!c.cell.formula) continue;
          auto [it, fresh] = moved.try_emplace(c.cell.formula.get());
          if (fresh) it->second = formula::Translated(*c.cell.formula, delta);
          c.cell.formula = it->second;
        }
      }
    }
    sheet->rowHeadings.Translate(delta, lowest, kMaxRows);
    sheet->rowHidden.Translate(delta, lowest, kMaxRows);
    sheet->rowStyles.Translate(delta, lowest, kMaxRows);
    sheet->rowFileAttrs.Translate(delta, lowest, kMaxRows);
  }
  rowOrigin_ -= delta;
  // Cached results stay: every formula reads the same cells as before.
  Calc().StructureChanged();
}

void Workbook::HoldHeaderRow() {
  if (rowOrigin_ != 0) return;
  MoveAllRows(-1);
}

void Workbook::BeginReadInPlace(int origin) {
  if (origin != 0 && origin != 1)
    throw GridError("Invalid row origin.", ErrorKind::BadArgument);
  readOrigin_ = origin;
}

void Workbook::EndReadInPlace() {
  rowOrigin_ = readOrigin_;
  readOrigin_ = 0;
  Calc().StructureChanged();
}

void Workbook::HoldEmptyHeaderRow() {
  if (rowOrigin_ != 0) return;
  rowOrigin_ = 1;
  Calc().StructureChanged();
}

void Workbook::ReleaseHeaderRow() {
  if (rowOrigin_ == 0) return;
  MoveAllRows(1);
}

int Workbook::LastHeadingCol() const {
  int last = 0;
  SheetAt(0).colHeadings.ForEach([&](int, int lastCol, const std::string& text) {
    if (!text.empty()) last = std::max(last, lastCol);
  });
  return last;
}

std::string Workbook::HeaderName(int col) const {
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return SheetAt(0).headerNames.Get(col);
}

void Workbook::SetHeaderName(int col, std::string_view name) {
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  SheetAt(0).headerNames.Set(col, col, std::string(name));
}

const Cell* Workbook::HeaderCell(int sheet, int col) const {
  if (rowOrigin_ == 0 || col < 1 || col > kMaxCols) return nullptr;
  return SheetAt(sheet).Find(0, col);
}

void Workbook::SetHeaderCell(int sheet, int col, Value value) {
  if (rowOrigin_ == 0) throw GridError("The header row is not held.");
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  Sheet& s = SheetAt(sheet);
  if (IsEmpty(value)) {
    if (Cell* c = s.FindMutable(0, col)) {
      c->value = Empty{};
      c->formula.reset();
      c->forcedText = false;
      c->dirty = false;
      s.EraseIfUnused(0, col);
    }
  } else {
    Cell& c = s.At(0, col);
    c.value = std::move(value);
    c.formula.reset();
    c.forcedText = false;
    c.dirty = false;
  }
  Calc().CellChanged(s.Id(), 0, col);
}

}  // namespace ddt::grid
