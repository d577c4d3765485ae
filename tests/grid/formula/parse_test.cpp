// Parsing, printing and reference adjustment of formulas, against a stand-in set of sheets.
#include <gtest/gtest.h>

#include <map>

#include "grid/formula/ast.h"
#include "grid/grid_error.h"

namespace ddt::grid::formula {
namespace {

// Sheets by id; names compare without regard to ASCII case.
class FakeSheets : public SheetNames {
 public:
  std::map<uint32_t, std::string> names{{1, "Sheet1"}, {2, "My Sheet"}, {3, "It's"}, {4, "Data"}};
  uint32_t IdOf(std::string_view name) const override {
    for (auto& [id, n] : names)
      if (CompareTextNoCase(n, name) == 0) return id;
    return 0;
  }
  std::optional<std::string> NameOf(uint32_t id) const override {
    auto it = names.find(id);
    if (it == names.end()) return std::nullopt;
    return it->second;
  }
};

class ParseTest : public ::testing::Test {
 protected:
  FormulaPtr Parse(std::string_view text) { return ParseFormula(text, sheets); }
  std::string RoundTrip(std::string_view text) { return PrintFormula(*Parse(text), sheets); }
  bool Refused(std::string_view text) {
    try {
      Parse(text);
      return false;
    } catch (const GridError& e) {
      EXPECT_STREQ(e.what(), kInvalidFormulaSyntax);
      return true;
    }
  }
  const Node& Root(const FormulaPtr& f) { return f->nodes[f->root]; }
  FakeSheets sheets;
};

TEST_F(ParseTest, PrintsCanonicalText) {
  const std::pair<const char*, const char*> cases[] = {
      {"=1+2", "1+2"},
      {"1 + 2 * 3", "1+2*3"},
      {"=sum(a1:b2, $C$3)", "SUM(A1:B2,$C$3)"},
      {"=(1+2)*3", "(1+2)*3"},
      {"=((A1))", "((A1))"},
      {"=\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
      {"=true", "TRUE"},
      {"=FaLsE()", "FALSE()"},
      {"=#n/a", "#N/A"},
      {"=#DIV/0!+1", "#DIV/0!+1"},
      {"=1.50", "1.5"},
      {"=1e3", "1000"},
      {"=1E+20", "1E+20"},
      {"=.5", "0.5"},
      {"=0.1", "0.1"},
      {"=A:A", "A:A"},
      {"=$B:c", "$B:C"},
      {"=3:$5", "3:$5"},
      {"=B2:A1", "A1:B2"},
      {"=a$1", "A$1"},
      {"=XFD1048576", "XFD1048576"},
      {"=-A1%", "-A1%"},
      {"=+A1", "+A1"},
      {"=A1<>B1", "A1<>B1"},
      {"=A1>=1", "A1>=1"},
      {"=\"a\"&\"b\"", "\"a\"&\"b\""},
      {"=IF(A1,,)", "IF(A1,,)"},
      {"=NOW()", "NOW()"},
      {"=my_name", "my_name"},
      {"=nosuchfunc(1)", "nosuchfunc(1)"},
      {"=_xlfn.IFS(TRUE,1)", "IFS(TRUE,1)"},
      {"={1,2;3,4}", "{1,2;3,4}"},
      {"={\"a\",TRUE,#N/A,-1.5}", "{\"a\",TRUE,#N/A,-1.5}"},
      {"=A1:INDEX(B:B,3)", "A1:INDEX(B:B,3)"},
      {"=sheet1!a1", "Sheet1!A1"},
      {"='My Sheet'!A1:B2", "'My Sheet'!A1:B2"},
      {"='It''s'!$A$1", "'It''s'!$A$1"},
      {"=data!C:C", "Data!C:C"},
      {"=Data!#REF!", "Data!#REF!"},
      {"=LOG10(100)", "LOG10(100)"},
  };
  for (auto& [in, out] : cases) EXPECT_EQ(RoundTrip(in), out) << in;
}

TEST_F(ParseTest, ReadsBackWhatItPrints) {
  for (const char* text : {"SUM(A1:B2,'My Sheet'!$C$3)*-2^2%", "IF(A1>=1,\"x\"\"y\",{1;2})",
                           "1E-05+1E+300", "0.30000000000000004"}) {
    std::string once = RoundTrip(text);
    EXPECT_EQ(RoundTrip(once), once);
  }
  // Numbers survive exactly.
  auto f = Parse(RoundTrip("=0.30000000000000004"));
  EXPECT_EQ(Root(f).number, 0.30000000000000004);
}

TEST_F(ParseTest, PrecedenceAndAssociativity) {
  // 1+2*3: the product binds first.
  auto f = Parse("1+2*3");
  EXPECT_EQ(Root(f).op, Op::Add);
  // -2^2 is (-2)^2: negation binds tighter than ^.
  f = Parse("-2^2");
  EXPECT_EQ(Root(f).op, Op::Pow);
  EXPECT_EQ(f->Child(Root(f), 0).kind, NodeKind::Unary);
  // 2^3^2 is (2^3)^2.
  f = Parse("2^3^2");
  EXPECT_EQ(Root(f).op, Op::Pow);
  EXPECT_EQ(f->Child(Root(f), 0).op, Op::Pow);
  // & is looser than +, comparison looser than &.
  f = Parse("1+2&3=\"33\"");
  EXPECT_EQ(Root(f).op, Op::Eq);
  EXPECT_EQ(f->Child(Root(f), 0).op, Op::Concat);
  // 10-4-3 is (10-4)-3.
  f = Parse("10-4-3");
  EXPECT_EQ(f->Child(Root(f), 0).op, Op::Sub);
  // % applies to -5, ^ is looser than %.
  f = Parse("2^50%");
  EXPECT_EQ(f->Child(Root(f), 1).kind, NodeKind::Percent);
  // The range operator binds tightest: -A1:A2 negates the range.
  f = Parse("-A1:INDEX(A:A,2)");
  EXPECT_EQ(Root(f).kind, NodeKind::Unary);
}

TEST_F(ParseTest, ReferencesKeepPositionsAndFlags) {
  auto f = Parse("'My Sheet'!$B3:C$7");
  ASSERT_EQ(f->refs.size(), 1u);
  const Reference& r = f->refs[0];
  EXPECT_EQ(r.kind, Reference::Kind::Area);
  EXPECT_TRUE(r.hasSheet);
  EXPECT_EQ(r.sheetId, 2u);
  EXPECT_EQ(r.row1, 3);
  EXPECT_EQ(r.col1, 2);
  EXPECT_EQ(r.row2, 7);
  EXPECT_EQ(r.col2, 3);
  EXPECT_TRUE(r.col1Abs);
  EXPECT_FALSE(r.row1Abs);
  EXPECT_TRUE(r.row2Abs);
  auto cols = Parse("C:E");
  EXPECT_EQ(cols->refs[0].FirstRow(), 1);
  EXPECT_EQ(cols->refs[0].LastRow(), kMaxRows);
  EXPECT_EQ(cols->refs[0].LastCol(), 5);
  // Past the grid's extent a "reference" is a name.
  EXPECT_EQ(Root(Parse("XFE1")).kind, NodeKind::Name);
  EXPECT_EQ(Root(Parse("A1048577")).kind, NodeKind::Name);
  EXPECT_EQ(Root(Parse("A0")).kind, NodeKind::Name);
}

TEST_F(ParseTest, FunctionsResolveCaseInsensitivelyAndUnknownOnesStay) {
  auto f = Parse("sum(1)");
  ASSERT_NE(Root(f).fn, nullptr);
  EXPECT_EQ(Root(f).fn->name, "SUM");
  f = Parse("_xlfn.sum(1)");
  EXPECT_EQ(Root(f).fn, Functions().Find("SUM"));
  f = Parse("Foo.Bar(1,2)");
  EXPECT_EQ(Root(f).fn, nullptr);
  EXPECT_EQ(Root(f).count, 2u);
  // Volatile calls anywhere make the formula volatile.
  EXPECT_TRUE(Parse("1+IF(TRUE,RAND())")->isVolatile);
  EXPECT_FALSE(Parse("1+IF(TRUE,ABS(1))")->isVolatile);
}

TEST_F(ParseTest, PrintsFilePrefixesForNewerFunctions) {
  auto f = Parse("IFS(TRUE,1)+_xlfn.foo(1)+SUM(1)");
  EXPECT_EQ(PrintFormula(*f, sheets, true), "_xlfn.IFS(TRUE,1)+_xlfn.foo(1)+SUM(1)");
  EXPECT_EQ(PrintFormula(*f, sheets), "IFS(TRUE,1)+_xlfn.foo(1)+SUM(1)");
}

TEST_F(ParseTest, RefusesWhatDoesNotParse) {
  for (const char* text :
       {"", "=", "=1+", "=SUM(1", "=SUM(1))", "=\"abc", "=Nope!A1", "='Nope'!A1", "=A1:",
        "=)", "={1,2;3}", "={A1}", "=[1]Sheet1!A1", "=[]Sheet1!A1", "=1 2", "=1a", "=#WHAT?",
        "=Sheet1!", "='My Sheet'A1", "=SUM (1)", "=1e", "=@A1", "=A1!B2", "=$", "=1..2"}) {
    EXPECT_TRUE(Refused(text)) << text;
  }
}

TEST_F(ParseTest, RefusesTooDeepOrTooLong) {
  std::string deep = std::string(kMaxFormulaDepth + 1, '(') + "1" + std::string(kMaxFormulaDepth + 1, ')');
  EXPECT_TRUE(Refused(deep));
  std::string ok = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_FALSE(Refused(ok));
  std::string negations(5000, '-');
  EXPECT_TRUE(Refused(negations + "1"));
  std::string longSum = "1";
  while (longSum.size() < kMaxFormulaLength) longSum += "+1";
  EXPECT_TRUE(Refused(longSum));
  // A long flat chain within the length limit parses (its tree is deep but bounded).
  std::string chain = "1";
  for (int i = 0; i < 900; ++i) chain += "+1";
  EXPECT_FALSE(Refused(chain));
}

TEST_F(ParseTest, SheetsAreHeldByIdentity) {
  auto f = Parse("'My Sheet'!A1+Data!B2");
  sheets.names[2] = "Renamed";
  sheets.names[4] = "2024 data";
  EXPECT_EQ(PrintFormula(*f, sheets), "Renamed!A1+'2024 data'!B2");
  sheets.names.erase(2);
  EXPECT_EQ(PrintFormula(*f, sheets), "#REF!+'2024 data'!B2");
}

TEST_F(ParseTest, QuotesSheetNamesThatNeedIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"Plain_1", "Plain_1!A1"}, {"two words", "'two words'!A1"}, {"A1", "'A1'!A1"},
      {"XFD", "'XFD'!A1"},       {"R1C1", "'R1C1'!A1"},          {"1st", "'1st'!A1"},
      {"a-b", "'a-b'!A1"},       {"Données", "'Données'!A1"},    {"O'Neil", "'O''Neil'!A1"},
  };
  for (auto& [name, printed] : cases) {
    sheets.names[9] = name;
    auto f = Parse(printed);
    EXPECT_EQ(f->refs[0].sheetId, 9u) << name;
    EXPECT_EQ(PrintFormula(*f, sheets), printed);
  }
}

// --- Adjustment -------------------------------------------------------------------------------

class AdjustTest : public ParseTest {
 protected:
  // The formula on sheet 1 after the change, printed; "same" when untouched.
  std::string After(std::string_view text, StructuralChange::Kind kind, int first, int count,
                    uint32_t sheet = 1, uint32_t host = 1, int bandFirst = 1, int bandLast = 0) {
    StructuralChange ch;
    ch.sheetId = sheet;
    ch.kind = kind;
    ch.first = first;
    ch.count = count;
    ch.bandFirst = bandFirst;
    bool rows = kind == StructuralChange::Kind::InsertRows || kind == StructuralChange::Kind::DeleteRows;
    ch.bandLast = bandLast ? bandLast : rows ? kMaxCols : kMaxRows;
    FormulaPtr g = Adjusted(*Parse(text), ch, host);
    return g ? PrintFormula(*g, sheets) : "same";
  }
  using K = StructuralChange::Kind;
};

TEST_F(AdjustTest, InsertingRowsMovesAndGrows) {
  EXPECT_EQ(After("A5", K::InsertRows, 3, 2), "A7");
  EXPECT_EQ(After("$A$5", K::InsertRows, 5, 1), "$A$6");  // $ does not pin against inserts
  EXPECT_EQ(After("A2", K::InsertRows, 3, 2), "same");
  EXPECT_EQ(After("SUM(A2:A5)", K::InsertRows, 3, 2), "SUM(A2:A7)");  // inside: grows
  EXPECT_EQ(After("SUM(A3:A5)", K::InsertRows, 3, 2), "SUM(A5:A7)");  // at the top: moves
  EXPECT_EQ(After("SUM(A2:A5)", K::InsertRows, 6, 2), "same");        // below: untouched
  EXPECT_EQ(After("A:A", K::InsertRows, 1, 5), "same");
  EXPECT_EQ(After("2:4", K::InsertRows, 3, 1), "2:5");
  EXPECT_EQ(After("A1048576", K::InsertRows, 10, 1), "#REF!");  // pushed off the sheet
  EXPECT_EQ(After("A10:A1048576", K::InsertRows, 10, 1), "A11:A1048576");
  EXPECT_EQ(After("A10:A1048576", K::InsertRows, 20, 1), "same");  // grows past the edge
}

TEST_F(AdjustTest, DeletingRowsShrinksOrInvalidates) {
  EXPECT_EQ(After("A5", K::DeleteRows, 2, 2), "A3");
  EXPECT_EQ(After("A5+1", K::DeleteRows, 5, 1), "#REF!+1");
  EXPECT_EQ(After("SUM(A2:A10)", K::DeleteRows, 4, 3), "SUM(A2:A7)");
  EXPECT_EQ(After("SUM(A2:A10)", K::DeleteRows, 1, 3), "SUM(A1:A7)");   // top cut off
  EXPECT_EQ(After("SUM(A2:A10)", K::DeleteRows, 8, 5), "SUM(A2:A7)");   // bottom cut off
  EXPECT_EQ(After("SUM(A2:A10)", K::DeleteRows, 1, 20), "SUM(#REF!)");  // all gone
  EXPECT_EQ(After("SUM(A2:A10)", K::DeleteRows, 11, 2), "same");
  EXPECT_EQ(After("3:6", K::DeleteRows, 4, 1), "3:5");
  EXPECT_EQ(After("B:B", K::DeleteRows, 4, 1), "same");
}

TEST_F(AdjustTest, ColumnsMirrorRows) {
  EXPECT_EQ(After("C1", K::InsertCols, 2, 1), "D1");
  EXPECT_EQ(After("SUM(B1:D1)", K::InsertCols, 3, 2), "SUM(B1:F1)");
  EXPECT_EQ(After("C:D", K::InsertCols, 1, 1), "D:E");
  EXPECT_EQ(After("C1", K::DeleteCols, 3, 1), "#REF!");
  EXPECT_EQ(After("C:E", K::DeleteCols, 4, 1), "C:D");
  EXPECT_EQ(After("3:3", K::DeleteCols, 1, 1), "same");
  EXPECT_EQ(After("XFD1", K::InsertCols, 1, 1), "#REF!");
}

TEST_F(AdjustTest, OnlyTheChangedSheetAndBandMove) {
  // A change on sheet 4 moves Data! references and nothing written without a sheet on sheet 1.
  EXPECT_EQ(After("A5+Data!A5", K::InsertRows, 1, 1, 4, 1), "A5+Data!A6");
  // A formula living on sheet 4 has its unqualified references moved.
  EXPECT_EQ(After("A5+Sheet1!A5", K::InsertRows, 1, 1, 4, 4), "A6+Sheet1!A5");
  // Cells shifted down only in columns B..C: A stays, B moves, A:C spans outside the band.
  EXPECT_EQ(After("A5+B5+SUM(A1:C9)+SUM(B1:C9)", K::InsertRows, 2, 1, 1, 1, 2, 3),
            "A5+B6+SUM(A1:C9)+SUM(B1:C10)");
  // Whole rows only move with a full-width band.
  EXPECT_EQ(After("5:5", K::InsertRows, 1, 1, 1, 1, 2, 3), "same");
}

TEST_F(AdjustTest, InvalidReferencesStayInvalid) {
  StructuralChange del{1, K::DeleteRows, 5, 1, 1, kMaxCols};
  FormulaPtr g = Adjusted(*Parse("A5+A6"), del, 1);
  ASSERT_TRUE(g);
  StructuralChange ins{1, K::InsertRows, 1, 3, 1, kMaxCols};
  FormulaPtr h = Adjusted(*g, ins, 1);
  EXPECT_EQ(PrintFormula(*h, sheets), "#REF!+A8");
}

TEST_F(ParseTest, ShiftedMovesRelativePartsOnly) {
  auto shift = [&](std::string_view text, int rows, int cols) {
    return PrintFormula(*Shifted(*Parse(text), rows, cols), sheets);
  };
  EXPECT_EQ(shift("A1+$A1+A$1+$A$1", 2, 3), "D3+$A3+D$1+$A$1");
  EXPECT_EQ(shift("SUM(A1:B2)", 1, 0), "SUM(A2:B3)");
  EXPECT_EQ(shift("SUM(C:C)+SUM(2:2)", 5, 1), "SUM(D:D)+SUM(7:7)");
  EXPECT_EQ(shift("Data!B2", -1, -1), "Data!A1");
  EXPECT_EQ(shift("B2+1", -2, 0), "#REF!+1");
  EXPECT_EQ(shift("A1:$A$5", 10, 0), "A$5:$A11");  // rows turned over: their flags swap
  EXPECT_EQ(shift("XFD1", 0, 1), "#REF!");
}

}  // namespace
}  // namespace ddt::grid::formula
