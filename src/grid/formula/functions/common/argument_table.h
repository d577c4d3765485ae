// An argument of a function seen as a rectangle of values (an area of cells, an array or a
// single value), and the argument readings that the text, lookup, date and statistics
// functions share.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "grid/formula/functions.h"

namespace ddt::grid::formula {

class Table {
 public:
  Table(Context& ctx, const Operand& op);
  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  int64_t Size() const { return static_cast<int64_t>(rows_) * cols_; }
  bool IsArea() const { return std::holds_alternative<Area>(op_); }
  // The value at 0-based (r, c); Empty outside the table.
  Value At(int r, int c) const;
  // The used cells of an area, every element of an array or value; row-major. `fn` returns
  // false to stop.
  void ForEachUsed(const std::function<bool(int r, int c, const Value& v)>& fn) const;
  // The used cells as ForEachUsed visits them, collected in one walk of the sheet's storage
  // (one sheet lookup for the whole area, not one per cell).
  struct UsedCell {
    int r, c;
    Value v;
  };
  std::vector<UsedCell> Used() const;
  // The values of column c, rows first..first+count-1, as a dense vector (Empty where no
  // cell is used), read in one walk.
  std::vector<Value> ColumnValues(int c, int first, int count) const;
  // The rectangle of `rows` x `cols` starting at (r, c); for an area it may reach past the
  // original area (as SUMIF's sum range does), never past the sheet.
  Table Sub(int r, int c, int rows, int cols) const;
  // One past the last row (column) holding a used cell, for searches over whole columns.
  int UsedRows() const;
  int UsedCols() const;

 private:
  Table(Context& ctx, Operand op, int r0, int c0, int rows, int cols);

  Context* ctx_;
  Operand op_;       // an Area already cut to this table; else the whole array or value
  int r0_ = 0, c0_ = 0;  // offset into an array
  int rows_ = 1, cols_ = 1;
};

// Visits the positions (0-based, row-major) of a rows x cols shape where at least one of
// `tables` has a used cell, with each table's value there (Empty where it has none), reading
// every table once in order of its storage. Cells outside the shape are ignored. Returns the
// number of positions visited; every other position is blank in all tables.
int64_t ForEachUsedTogether(const std::vector<const Table*>& tables, int rows, int cols,
                            const std::function<void(int r, int c, const std::vector<const Value*>& values)>& fn);

// Argument i as a date serial: numbers, booleans, blanks, and text read as a date or number;
// #VALUE! for other text, #NUM! below 0 or past the last date. Errors are thrown.
double SerialArg(Call& call, int i);

// Argument i of the work-day functions: the whole days of its numbers and date texts (#VALUE!
// for other text); nothing when it is omitted. Days outside the date range are left out: no
// day of a calculation can be one of them. Errors are thrown.
std::set<int64_t> HolidaysArg(Call& call, int i);

// The values of arguments first.. as the *A functions see them: in references and arrays,
// numbers, text as 0 and booleans as 1/0 (blanks skipped); written directly, anything that
// coerces to a number. Errors are thrown.
void ForEachNumberA(Call& call, int first, const std::function<void(double)>& fn);

// Throws a value's error, if it holds one.
inline void ThrowIfError(const Value& v) {
  if (const auto* e = std::get_if<ErrorCode>(&v)) throw FormulaError{*e};
}

}  // namespace ddt::grid::formula
