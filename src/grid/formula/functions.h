// The function library of the formula evaluator: one registry of functions (name, arity,
// implementation, flags), the interface through which an implementation reads its arguments
// and the workbook, and the coercions functions share.
//
// Registration: each group of functions lives in a file under functions/<category>/ and exposes one
// `void Register<Group>Functions(FunctionRegistry&)`. Functions() (registry.cpp) builds the
// registry once by calling every one of them. There are no static initialisers, so the
// registry is complete even when the library is linked statically.
//
// Writing a function:
//   Operand Fn_ABS(Call& call) { return Value{std::fabs(call.Number(0))}; }
//   registry.Add({"ABS", 1, 1, Fn_ABS});
// Arguments are evaluated when first asked for (IF, IFERROR, CHOOSE only evaluate the branch
// they take). The coercing helpers (Call::Number, Text, Bool, AsNumber, ...) throw
// FormulaError when a value cannot be used, or carries an error; the dispatcher turns that
// into the function's result, so an implementation only handles its own special cases.
// Implementations must let every other exception pass (never `catch (...)`): the evaluator
// uses one to suspend a formula whose input is not computed yet and to retry it later.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "grid/limits.h"
#include "grid/value.h"

namespace ddt::grid {
class Workbook;
}

namespace ddt::grid::formula {

// A rectangle of one sheet, absolute, 1-based and inclusive. Whole columns (A:A) span rows
// 1..kMaxRows, whole rows (1:1) columns 1..kMaxCols.
struct Area {
  uint32_t sheetId = 0;
  int firstRow = 1, firstCol = 1, lastRow = 1, lastCol = 1;

  int Rows() const { return lastRow - firstRow + 1; }
  int Cols() const { return lastCol - firstCol + 1; }
  bool IsCell() const { return firstRow == lastRow && firstCol == lastCol; }
  bool Contains(int row, int col) const {
    return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
  }
  bool operator==(const Area&) const = default;
};

// A rectangular array of values: the result of operators applied to ranges in array context
// (SUMPRODUCT's arguments) or of a function that returns several values. Row-major.
struct Matrix {
  int rows = 0, cols = 0;
  std::vector<Value> cells;

  Matrix() = default;
  Matrix(int r, int c) : rows(r), cols(c), cells(static_cast<size_t>(r) * c) {}
  const Value& At(int r, int c) const { return cells[static_cast<size_t>(r) * cols + c]; }
  Value& At(int r, int c) { return cells[static_cast<size_t>(r) * cols + c]; }
};
using MatrixPtr = std::shared_ptr<const Matrix>;

// What an expression evaluates to and what a function returns: a value, a reference to an
// area, or an array.
using Operand = std::variant<Value, Area, MatrixPtr>;

inline bool IsArea(const Operand& op) { return std::holds_alternative<Area>(op); }
inline bool IsMatrix(const Operand& op) { return std::holds_alternative<MatrixPtr>(op); }

// Thrown by the coercing helpers; the dispatcher makes `code` the function's result.
struct FormulaError {
  ErrorCode code;
};

// What an implementation may ask of the evaluator besides its arguments.
class Context {
 public:
  virtual ~Context() = default;

  // The cell whose formula is being evaluated.
  virtual uint32_t HostSheetId() const = 0;
  virtual int HostRow() const = 0;
  virtual int HostCol() const = 0;
  virtual const Workbook& Book() const = 0;
  bool Date1904() const;

  // The value of one cell, computing a stale formula first. Empty for an unused cell;
  // #REF! when the sheet no longer exists.
  virtual Value CellValue(uint32_t sheetId, int row, int col) = 0;
  // Visits the used cells of an area (cells holding a value or formula, never the empty rest
  // of a whole column) in row-major order, with their values computed. `fn` returns false to
  // stop. Cost: the used cells of the area's rows.
  virtual void ForEachUsed(const Area& area,
                           const std::function<bool(int row, int col, const Value&)>& fn) = 0;
  // The area cut down to the rows and columns the sheet uses (for binary searches and
  // positional walks over whole columns); an empty optional when no used cell is inside.
  virtual std::optional<Area> ClipToUsed(const Area& area) = 0;
  // The id of the sheet named `name` (case-insensitive), or 0. For INDIRECT.
  virtual uint32_t FindSheetId(std::string_view name) const = 0;
  // A uniform random number in [0, 1) (RAND, RANDBETWEEN).
  virtual double Random() = 0;
  // Results of range functions kept while no cell of the workbook changes, so that the same
  // SUMIFS over the same ranges in many cells walks them once. `key` names the function and
  // every input; Recall gives null when nothing is kept under it.
  virtual const Value* Recall(const std::string& key) {
    (void)key;
    return nullptr;
  }
  virtual void Keep(const std::string& key, const Value& result) {
    (void)key;
    (void)result;
  }
};

// One call of a function: its arguments and the evaluator behind them.
class Call {
 public:
  virtual ~Call() = default;

  virtual Context& Ctx() = 0;
  // Number of arguments written, omitted ones (f(1,,2)) included.
  virtual int Count() const = 0;
  // Whether argument i was omitted (an empty place between commas, or i >= Count()).
  virtual bool Missing(int i) const = 0;
  // Argument i evaluated (once; later calls return the same operand). References stay
  // references; an omitted argument is an Empty value.
  virtual const Operand& Arg(int i) = 0;

  // Argument i as one value: a single cell's value, a larger area by implicit intersection
  // with the host cell's row or column (#VALUE! when there is none), an array's first
  // element. Errors are returned, not thrown.
  Value Scalar(int i);
  // Argument i coerced (see AsNumber, AsText, AsBool); throw FormulaError. An omitted
  // argument gives 0, "" and FALSE; the `fallback` forms give the fallback instead.
  double Number(int i);
  double Number(int i, double fallback);
  std::string Text(int i);
  bool Bool(int i);
  bool Bool(int i, bool fallback);
  // Argument i as a whole number by truncation toward zero, as Excel does for counts and
  // positions; #NUM! beyond the int range.
  int Int(int i);
  int Int(int i, int fallback);

  // Every value of argument i: a value itself (fromRef false), the used cells of an area or
  // the elements of an array (fromRef true). `fn` returns false to stop.
  void ForEachValue(int i, const std::function<bool(const Value& v, bool fromRef)>& fn);
  // The numbers of arguments first..Count()-1 the way SUM sees them: values written directly
  // count when they coerce (text that is not a number gives #VALUE!, booleans count as 1/0);
  // in areas and arrays only numbers count. The first error met is thrown.
  void ForEachNumber(int first, const std::function<void(double)>& fn);
  // The numbers of argument i alone, the same way (a missing argument counts as a blank
  // value written directly, which gives 0).
  std::vector<double> NumbersOf(int i);
};

// An operand as one value: a value itself, a single cell's value, a larger area by implicit
// intersection with the host cell's row or column (#VALUE! when there is none), an array's
// first element.
Value ScalarOf(Context& ctx, const Operand& op);

// Shape and elements of an operand seen as a table: a value is 1x1, an area its size, an
// array its size. ElementAt takes 0-based offsets; cells come from the context.
int OperandRows(const Operand& op);
int OperandCols(const Operand& op);
Value ElementAt(Context& ctx, const Operand& op, int r, int c);

// --- Coercions (Excel's rules) ---------------------------------------------------------------
// To a number: numbers as they are, TRUE/FALSE 1/0, empty 0, text when it reads as a number
// (TextToNumber), else #VALUE!; an error value is thrown as it is.
double AsNumber(const Value& v);
// To text: numbers as General shows them (up to 15 significant digits), TRUE/FALSE, empty "".
std::string AsText(const Value& v);
// To a truth value: numbers non-zero, text "TRUE"/"FALSE" in any case, empty FALSE; other text
// #VALUE!.
bool AsBool(const Value& v);
// Text that Excel reads as a number: decimals with sign, exponent, thousands separators,
// a trailing percent sign, surrounding spaces, parenthesised negatives. Nothing otherwise.
std::optional<double> TextToNumber(std::string_view text);
// Number to text the way formulas turn numbers into text ("&", text functions).
std::string NumberToText(double value);

// Comparison as the = <> < > <= >= operators do it: empty acts as 0, "" or FALSE to match
// the other side; numbers < text < booleans; text compares without regard to case.
// Returns <0, 0, >0. Neither side may be an error.
int CompareValues(const Value& a, const Value& b);
// Case-insensitive comparison of UTF-8 text (ASCII and the common Latin, Greek and Cyrillic
// letters fold); <0, 0, >0.
int CompareTextNoCase(std::string_view a, std::string_view b);
// The text in upper (lower) case, with the same folding.
std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

// --- The registry ----------------------------------------------------------------------------
using FunctionImpl = Operand (*)(Call& call);

inline constexpr int kMaxFunctionArgs = 255;

struct FunctionSpec {
  std::string_view name;  // upper case, as printed; without the "_xlfn." prefix
  int minArgs = 0;
  int maxArgs = kMaxFunctionArgs;
  FunctionImpl impl = nullptr;
  // Recomputed on every recalculation (RAND, NOW, INDIRECT, OFFSET).
  bool isVolatile = false;
  // Arguments are evaluated in array context: operators applied to ranges work element by
  // element and give arrays (SUMPRODUCT). Otherwise a range meets an operator by implicit
  // intersection, as in a cell.
  bool arrayArgs = false;
};

class FunctionRegistry {
 public:
  // Adds a function; a later Add of the same name replaces it.
  void Add(const FunctionSpec& spec);
  // Case-insensitive; accepts the "_xlfn." and "_xlws." prefixes files use. Null when unknown.
  const FunctionSpec* Find(std::string_view name) const;
  void ForEach(const std::function<void(const FunctionSpec&)>& fn) const;
  size_t Size() const { return byName_.size(); }

 private:
  std::unordered_map<std::string, FunctionSpec> byName_;
};

// The registry of every function, built on first use (thread-safe).
const FunctionRegistry& Functions();

// Groups of functions; Functions() calls each once.
void RegisterMathFunctions(FunctionRegistry& registry);       // functions/math/math.cpp
void RegisterLogicalFunctions(FunctionRegistry& registry);    // functions/logical/logical.cpp
void RegisterInformationFunctions(FunctionRegistry& registry);  // functions/information/information.cpp
void RegisterReferenceFunctions(FunctionRegistry& registry);  // functions/lookup/reference.cpp
void RegisterTextFunctions(FunctionRegistry& registry);       // functions/text/text.cpp
void RegisterLookupFunctions(FunctionRegistry& registry);     // functions/lookup/lookup.cpp
void RegisterDateTimeFunctions(FunctionRegistry& registry);   // functions/datetime/datetime.cpp
void RegisterAggregateFunctions(FunctionRegistry& registry);  // functions/statistics/aggregates.cpp
void RegisterTrigFunctions(FunctionRegistry& registry);       // functions/math/trigonometry.cpp
void RegisterEngineeringFunctions(FunctionRegistry& registry);  // functions/engineering/engineering.cpp
void RegisterDescriptiveStatisticsFunctions(FunctionRegistry& registry);  // functions/statistics/descriptive.cpp
void RegisterFinancialFunctions(FunctionRegistry& registry);    // functions/financial/financial.cpp
void RegisterDistributionFunctions(FunctionRegistry& registry); // functions/statistics/distributions.cpp
void RegisterComplexFunctions(FunctionRegistry& registry);      // functions/engineering/complex.cpp
void RegisterDatabaseFunctions(FunctionRegistry& registry);     // functions/database/database.cpp
void RegisterArrayFunctions(FunctionRegistry& registry);        // functions/array/array.cpp
void RegisterCompatFunctions(FunctionRegistry& registry);      // functions/compat/compat.cpp

}  // namespace ddt::grid::formula
