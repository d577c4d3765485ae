// The parsed form of a formula: a tree of nodes kept in one vector, with references,
// texts and arrays beside it. Immutable once built; parse, adjust, shift and rebase make new
// objects. Parentheses are kept as nodes, so printing gives back what was typed (without
// spaces, with names in canonical case).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/formula/formula.h"
#include "grid/formula/functions.h"

namespace ddt::grid::formula {

enum class NodeKind : uint8_t {
  Number,
  Text,
  Bool,
  Error,
  Missing,  // an omitted function argument: f(1,,2)
  Ref,      // a cell, area, whole-column or whole-row reference
  Name,     // an unknown name: evaluates to #NAME?
  Array,    // an array constant {1,2;3,4}
  Unary,    // Neg or Plus
  Percent,
  Binary,
  Paren,
  Call,
};

enum class Op : uint8_t {
  Neg, Plus,                      // unary
  Range,                          // :
  Pow, Mul, Div, Add, Sub,        // arithmetic
  Concat,                         // &
  Eq, Ne, Lt, Gt, Le, Ge,         // comparison
};

// One reference as written: corners with their $ flags. Positions are absolute (1-based);
// $ only matters when a formula is copied (Shifted).
struct Reference {
  enum class Kind : uint8_t { Cell, Area, Cols, Rows };
  Kind kind = Kind::Cell;
  // Cols: row1 is where the columns start, 0 while the workbook holds its header row out of
  // the cells (the file's row 1), else 1.
  bool hasSheet = false;  // written with a sheet name; otherwise the formula's own sheet
  bool invalid = false;   // the referenced cells were deleted: #REF!
  uint32_t sheetId = 0;   // when hasSheet
  int row1 = 1, col1 = 1, row2 = 1, col2 = 1;  // Cols: rows unused; Rows: columns unused
  bool row1Abs = false, col1Abs = false, row2Abs = false, col2Abs = false;

  // The rectangle it covers (whole columns span every row, whole rows every column).
  int FirstRow() const { return row1; }
  int LastRow() const { return kind == Kind::Cols ? kMaxRows : kind == Kind::Cell ? row1 : row2; }
  int FirstCol() const { return kind == Kind::Rows ? 1 : col1; }
  int LastCol() const { return kind == Kind::Rows ? kMaxCols : kind == Kind::Cell ? col1 : col2; }
};

struct Node {
  NodeKind kind = NodeKind::Number;
  Op op = Op::Add;              // Unary, Binary
  ErrorCode error = ErrorCode::Value;  // Error
  bool boolean = false;         // Bool
  bool filePrefix = false;      // Call: written with "_xlfn." (kept for file output)
  uint32_t first = 0;           // first child in Formula::kids
  uint32_t count = 0;           // number of children
  uint32_t data = 0;            // index into texts (Text, Name, unknown Call), refs, arrays
  double number = 0;            // Number
  const FunctionSpec* fn = nullptr;  // Call; null for an unknown function
};

class Formula {
 public:
  std::vector<Node> nodes;
  std::vector<uint32_t> kids;  // children of each node: kids[first .. first+count)
  std::vector<std::string> texts;
  std::vector<Reference> refs;
  std::vector<MatrixPtr> arrays;
  uint32_t root = 0;
  bool isVolatile = false;
  // Kept as written (VerbatimFormula): no nodes; `verbatim` is the text without "=".
  bool isVerbatim = false;
  std::string verbatim;
  // An array (CSE) formula: evaluated in array context over arrayRows x arrayCols cells
  // anchored at its own cell.
  bool isArray = false;
  int arrayRows = 1, arrayCols = 1;
  // A dynamic-array formula of a newer file: an array formula that files mark as such.
  bool isDynamic = false;
  // Entered by a user (not read as a plain formula from a file): when its result is an array
  // of several cells it becomes a dynamic-array formula spilling over them.
  bool maySpill = false;

  const Node& Child(const Node& n, uint32_t i) const { return nodes[kids[n.first + i]]; }
  uint32_t ChildIndex(const Node& n, uint32_t i) const { return kids[n.first + i]; }

  // How many Refs hold this formula; a copy starts with none.
  struct RefCount {
    mutable std::atomic<uint32_t> n{0};
    RefCount() = default;
    RefCount(const RefCount&) noexcept {}
    RefCount& operator=(const RefCount&) noexcept { return *this; }
  } refCount;
};

// A new formula, counted from the start: Ref<Formula> while it is built, FormulaPtr after.
template <class... Args>
Ref<Formula> MakeFormula(Args&&... args) {
  return Ref<Formula>(new Formula(std::forward<Args>(args)...));
}

// How parse and print see sheet names; a Workbook or a stand-in in tests.
class SheetNames {
 public:
  virtual ~SheetNames() = default;
  // The id of the sheet named `name` (case-insensitive, as spreadsheets compare sheet
  // names), or 0.
  virtual uint32_t IdOf(std::string_view name) const = 0;
  // The current name of sheet `id`, or nothing when the sheet no longer exists.
  virtual std::optional<std::string> NameOf(uint32_t id) const = 0;
  // The lowest row a reference may name: 0 while the workbook holds its header rows out of
  // the cells (row 0 is then the header row), else 1.
  virtual int MinRow() const { return 1; }
};

// SheetNames over a workbook.
class BookSheetNames : public SheetNames {
 public:
  explicit BookSheetNames(const Workbook& book) : book_(book) {}
  uint32_t IdOf(std::string_view name) const override;
  std::optional<std::string> NameOf(uint32_t id) const override;
  int MinRow() const override;

 private:
  const Workbook& book_;
};

// Parse and print against any SheetNames (the Workbook forms in formula.h call these).
// Throws GridError(kInvalidFormulaSyntax).
FormulaPtr ParseFormula(std::string_view text, const SheetNames& sheets);
// `forFile`: functions newer than the original file format get their "_xlfn." prefix.
// `rowOffset` is added to every row number printed, as if every row had moved by that much
// (a reference pushed past the last row prints as #REF!): a workbook holding its header row
// out of the cells writes its file rows this way without moving any cell.
std::string PrintFormula(const Formula& f, const SheetNames& sheets, bool forFile = false,
                         int rowOffset = 0);

// Limits of what the parser accepts: longer formulas or deeper nesting are refused.
inline constexpr size_t kMaxFormulaLength = 8192;
inline constexpr int kMaxFormulaDepth = 100;

}  // namespace ddt::grid::formula
