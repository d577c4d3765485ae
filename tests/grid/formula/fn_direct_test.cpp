// The function groups called directly with operands, over a small in-memory sheet: whole
// columns, arrays, limits and the 1904 date system, which the vectors do not reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {
namespace {

constexpr uint32_t kSheet = 1;

// A sheet of cells in a map; visits used cells row-major like the evaluator's context.
class MapContext : public Context {
 public:
  std::map<std::pair<int, int>, Value> cells;  // (row, col) -> value
  Workbook book;

  uint32_t HostSheetId() const override { return kSheet; }
  int HostRow() const override { return 1000; }
  int HostCol() const override { return 100; }
  const Workbook& Book() const override { return book; }
  Value CellValue(uint32_t, int row, int col) override {
    auto it = cells.find({row, col});
    return it == cells.end() ? Value{} : it->second;
  }
  void ForEachUsed(const Area& a,
                   const std::function<bool(int, int, const Value&)>& fn) override {
    for (const auto& [rc, v] : cells) {
      if (a.Contains(rc.first, rc.second) && !fn(rc.first, rc.second, v)) return;
    }
  }
  std::optional<Area> ClipToUsed(const Area& a) override {
    std::optional<Area> out;
    for (const auto& [rc, v] : cells) {
      if (!a.Contains(rc.first, rc.second)) continue;
      if (!out) out = Area{a.sheetId, rc.first, rc.second, rc.first, rc.second};
      out->firstRow = std::min(out->firstRow, rc.first);
      out->lastRow = std::max(out->lastRow, rc.first);
      out->firstCol = std::min(out->firstCol, rc.second);
      out->lastCol = std::max(out->lastCol, rc.second);
    }
    return out;
  }
  uint32_t FindSheetId(std::string_view) const override { return kSheet; }
  double Random() override { return 0.5; }
};

class ListCall : public Call {
 public:
  ListCall(Context& ctx, std::vector<Operand> args) : ctx_(ctx), args_(std::move(args)) {}
  Context& Ctx() override { return ctx_; }
  int Count() const override { return static_cast<int>(args_.size()); }
  bool Missing(int i) const override { return i >= Count(); }
  const Operand& Arg(int i) override {
    static const Operand kEmpty = Value{};
    return i < Count() ? args_[i] : kEmpty;
  }

 private:
  Context& ctx_;
  std::vector<Operand> args_;
};

Area Col(int col) { return Area{kSheet, 1, col, kMaxRows, col}; }
Area Cells(int r1, int c1, int r2, int c2) { return Area{kSheet, r1, c1, r2, c2}; }
Operand S(const char* s) { return Value{std::string(s)}; }
Operand N(double d) { return Value{d}; }
Operand Array(int rows, int cols, std::vector<Value> v) {
  auto m = std::make_shared<Matrix>(rows, cols);
  m->cells = std::move(v);
  return MatrixPtr(m);
}

class FnDirect : public ::testing::Test {
 protected:
  Value Run(std::string_view name, std::vector<Operand> args) {
    const FunctionSpec* spec = Functions().Find(name);
    EXPECT_NE(spec, nullptr) << name;
    if (!spec) return ErrorCode::Name;
    ListCall call(ctx_, std::move(args));
    try {
      Operand r = spec->impl(call);
      if (auto* v = std::get_if<Value>(&r)) return *v;
      return ErrorCode::Value;
    } catch (const FormulaError& e) {
      return e.code;
    }
  }
  double Number(std::string_view name, std::vector<Operand> args) {
    Value v = Run(name, std::move(args));
    EXPECT_TRUE(IsNumber(v)) << name;
    return IsNumber(v) ? std::get<double>(v) : -1e300;
  }
  void Put(int row, int col, Value v) { ctx_.cells[{row, col}] = std::move(v); }

  MapContext ctx_;
};

TEST_F(FnDirect, WholeColumnCriteriaCountTheUnusedCellsAsBlank) {
  Put(1, 1, 5.0);
  Put(2, 1, std::string("x"));
  Put(3, 1, std::string(""));
  Put(500000, 2, 7.0);  // B500000: beside a blank A cell
  Put(1, 2, 1.0);
  EXPECT_EQ(Number("COUNTIF", {Col(1), S("")}), kMaxRows - 2);
  EXPECT_EQ(Number("COUNTIF", {Col(1), S("=")}), kMaxRows - 3);
  EXPECT_EQ(Number("COUNTIF", {Col(1), S("<>")}), 3);
  EXPECT_EQ(Number("COUNTIF", {Col(1), S("<>x")}), kMaxRows - 1);
  EXPECT_EQ(Number("COUNTBLANK", {Col(1)}), kMaxRows - 2);
  EXPECT_EQ(Number("SUMIF", {Col(1), S(""), Col(2)}), 7);
  EXPECT_EQ(Number("SUMIF", {Col(1), S(">1"), Col(2)}), 1);
  EXPECT_EQ(Number("COUNTIFS", {Col(1), S(""), Col(2), S(">5")}), 1);
  EXPECT_EQ(Number("SUMPRODUCT", {Col(1), Col(2)}), 5);
  // The sum range takes the criteria range's shape from its own first cell.
  EXPECT_EQ(Number("SUMIF", {Cells(1, 1, 2, 1), S("x"), Cells(1, 2, 1, 2)}), 0);
  EXPECT_EQ(Number("SUMIF", {Cells(1, 1, 2, 1), S("5"), Cells(1, 2, 1, 2)}), 1);
}

TEST_F(FnDirect, ErrorsCountOnlyWhereTheyAreUsed) {
  Put(1, 1, std::string("a"));
  Put(2, 1, std::string("b"));
  Put(1, 2, 1.0);
  Put(2, 2, ErrorCode::Div0);
  EXPECT_EQ(Number("SUMIF", {Cells(1, 1, 2, 1), S("a"), Cells(1, 2, 2, 2)}), 1);
  EXPECT_EQ(Run("SUMIF", {Cells(1, 1, 2, 1), S("b"), Cells(1, 2, 2, 2)}), Value(ErrorCode::Div0));
  EXPECT_EQ(Number("COUNTIF", {Cells(1, 2, 2, 2), S("#DIV/0!")}), 1);
  EXPECT_EQ(Run("SUMPRODUCT", {Cells(1, 2, 2, 2)}), Value(ErrorCode::Div0));
  EXPECT_EQ(Number("COUNT", {Cells(1, 1, 2, 2)}), 1);
  EXPECT_EQ(Run("MAX", {Cells(1, 1, 2, 2)}), Value(ErrorCode::Div0));
  // SUMIFS and COUNTIFS need ranges of one shape.
  EXPECT_EQ(Run("SUMIFS", {Cells(1, 2, 2, 2), Cells(1, 1, 3, 1), S("a")}), Value(ErrorCode::Value));
  EXPECT_EQ(Run("COUNTIFS", {Cells(1, 1, 2, 1), S("a"), Cells(1, 2, 2, 2)}), Value(ErrorCode::Value));
}

TEST_F(FnDirect, ArraysAreTables) {
  const Operand a = Array(2, 2, {1.0, 2.0, 3.0, std::string("x")});
  const Operand b = Array(2, 2, {4.0, 5.0, 6.0, 7.0});
  EXPECT_EQ(Number("SUMPRODUCT", {a, b}), 1 * 4 + 2 * 5 + 3 * 6);
  EXPECT_EQ(Run("SUMPRODUCT", {a, Array(1, 2, {1.0, 1.0})}), Value(ErrorCode::Value));
  EXPECT_EQ(Number("COUNTIF", {a, S(">1")}), 2);
  EXPECT_EQ(Number("MATCH", {N(3), Array(1, 3, {1.0, 2.0, 3.0}), N(0)}), 3);
  EXPECT_EQ(Run("VLOOKUP", {N(3), a, N(2), Value{false}}), Value(std::string("x")));
  EXPECT_EQ(Number("LARGE", {b, N(2)}), 6);
  EXPECT_EQ(Run("MATCH", {N(3), b, N(0)}), Value(ErrorCode::NA));  // not one row or column
}

TEST_F(FnDirect, ApproximateLookupsSearchWholeColumnsAndStepOverOtherKinds) {
  for (int r = 1; r <= 1000; ++r) Put(r, 1, static_cast<double>(r * 10));
  Put(400, 1, std::string("text in the middle"));
  for (int r = 1; r <= 1000; ++r) Put(r, 2, static_cast<double>(r));
  EXPECT_EQ(Number("MATCH", {N(4005), Col(1)}), 399);  // 3990: row 400 holds text
  EXPECT_EQ(Number("MATCH", {N(4010), Col(1)}), 401);
  EXPECT_EQ(Number("MATCH", {N(1e9), Col(1)}), 1000);
  EXPECT_EQ(Run("MATCH", {N(5), Col(1)}), Value(ErrorCode::NA));
  EXPECT_EQ(Number("VLOOKUP", {N(2222), Cells(1, 1, kMaxRows, 2), N(2)}), 222);
  EXPECT_EQ(Number("MATCH", {S("TEXT*"), Col(1), N(0)}), 400);
  EXPECT_EQ(Run("VLOOKUP", {N(10), Cells(1, 1, 5, 2), N(3)}), Value(ErrorCode::Ref));
  EXPECT_EQ(Run("VLOOKUP", {Value{}, Cells(1, 1, 5, 2), N(2)}), Value(ErrorCode::NA));
}

TEST_F(FnDirect, TextResultsStayWithinTheCellLimit) {
  EXPECT_EQ(Run("REPT", {S("ab"), N(kMaxCellTextLength / 2 + 1)}), Value(ErrorCode::Value));
  const Value ok = Run("REPT", {S("ab"), N(kMaxCellTextLength / 2)});
  ASSERT_TRUE(IsText(ok));
  EXPECT_EQ(std::get<grid::SharedText>(ok).size(), static_cast<size_t>(kMaxCellTextLength - 1));
  Put(1, 1, std::get<grid::SharedText>(ok));
  Put(2, 1, std::get<grid::SharedText>(ok));
  EXPECT_EQ(Run("CONCAT", {Col(1)}), Value(ErrorCode::Value));
  EXPECT_EQ(Run("TEXTJOIN", {S(","), Value{false}, Col(2)}), Value(ErrorCode::Value));
  EXPECT_EQ(Run("TEXTJOIN", {S(""), Value{false}, Col(3)}), Value(std::string()));
  EXPECT_EQ(Run("MID", {S("abc"), N(1e300), N(1e300)}), Value(std::string()));
  EXPECT_EQ(Run("FIXED", {N(1.5), N(127), Value{true}}).index(), Value(std::string()).index());
}

TEST_F(FnDirect, DatesFollowTheWorkbookDateSystem) {
  ctx_.book.SetDate1904(true);
  EXPECT_EQ(Number("DATE", {N(1904), N(1), N(2)}), 1);
  EXPECT_EQ(Number("YEAR", {N(0)}), 1904);
  EXPECT_EQ(Number("DATEVALUE", {S("1/1/2020")}), 43831 - 1462);
  EXPECT_EQ(Run("DATE", {N(1903), N(12), N(31)}), Value(ErrorCode::Num));
  ctx_.book.SetDate1904(false);
  EXPECT_EQ(Number("WEEKDAY", {N(60)}), 4);  // the fictitious 29 February 1900 is a Wednesday
  EXPECT_EQ(Run("WORKDAY", {N(2958460), N(10)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("YEAR", {N(2958466)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("DAY", {S("not a date")}), Value(ErrorCode::Value));
  EXPECT_EQ(Number("EOMONTH", {N(45306), N(-1)}), 45291);
  EXPECT_EQ(Number("NETWORKDAYS", {N(45292), N(45292 + 6999)}), 5000);
  // Absurd counts give #NUM!, never an out-of-range conversion.
  EXPECT_EQ(Run("DATE", {N(2024), N(1e300), N(1)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("DATE", {N(2024), N(1), N(-1e300)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("EDATE", {N(45306), N(1e300)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("EOMONTH", {N(45306), N(-1e300)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("WORKDAY", {N(45306), N(1e300)}), Value(ErrorCode::Num));
  EXPECT_EQ(Run("TIME", {N(1e300), N(0), N(0)}), Value(ErrorCode::Num));
}

}  // namespace
}  // namespace ddt::grid::formula
