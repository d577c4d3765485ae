// Formulas kept as their text (ones the parser does not understand) follow copy and paste as
// any formula does: relative references move, absolute ones and strings stay.
#include <gtest/gtest.h>

#include <string>

#include "engine/clipboard.h"
#include "grid/formula/ast.h"
#include "grid/formula/formula.h"
#include "viewed_book.h"

namespace ddt::grid {
namespace {

TEST(VerbatimFormulas, CopyAndPasteMovesTheirRelativeReferences) {
  engine::Clipboard::Instance().Clear();
  engine::test_support::ViewedBook b;
  b.InsertSheets(2, 1);
  b.SetSheetName(2, "My Sheet");
  // Relative parts move, $ parts stay; strings, structured references, names and calls this
  // engine does not know (XYZ1 looks like a cell but is called) stay as written; references
  // into other sheets and books move as well.
  const std::string kept =
      "SUM(T[[#This Row],[A1]])+A1+$B$2+B$3+$C4+'My Sheet'!C4:D5+XYZ1(D5)&\"A1\"+"
      "COUNT(A:A,3:4)+[1]Sheet1!A3+Rate+#REF!";
  b.SetCellFormula(1, 10, 5, formula::VerbatimFormula(kept), Value(7.0));
  b.SetSelection(Range{10, 5, 10, 5});
  b.EditCopy();
  b.SetSelection(Range{12, 6, 12, 6});  // two rows down, one column right
  b.EditPaste();
  EXPECT_EQ(b.GetFormula(1, 12, 6),
            "SUM(T[[#This Row],[A1]])+B3+$B$2+C$3+$C6+'My Sheet'!D6:E7+XYZ1(E7)&\"A1\"+"
            "COUNT(B:B,5:6)+[1]Sheet1!B5+Rate+#REF!");
  EXPECT_EQ(b.GetCellValue(1, 12, 6), Value(7.0)) << "the stored result comes along";
  EXPECT_EQ(b.GetFormula(1, 10, 5), kept) << "the copied cell is unchanged";

  // A reference pushed off the sheet becomes #REF!, a whole range with it.
  b.SetSelection(Range{1, 1, 1, 1});
  b.EditPaste();
  EXPECT_EQ(b.GetFormula(1, 1, 1).rfind("SUM(T[[#This Row],[A1]])+#REF!+$B$2+#REF!+#REF!+", 0),
            0u) << b.GetFormula(1, 1, 1);
  auto moved = [](const std::string& text, int rows, int cols, int minRow) {
    return formula::Shifted(*formula::VerbatimFormula(text), rows, cols, minRow)->verbatim;
  };
  EXPECT_EQ(moved("SUM(B2:C3)", -1, -1, 1), "SUM(A1:B2)");
  EXPECT_EQ(moved("SUM(B2:C3)", -2, 0, 1), "SUM(#REF!)");
  EXPECT_EQ(moved("SUM($B2:C$3)", 0, 2, 1), "SUM($B2:E$3)");
  // While the header row is held (lowest row 0), the text's rows are the file's: file row 1
  // is the header, and a formula moved up can still reach it.
  EXPECT_EQ(moved("A2+A1", -1, 0, 0), "A1+#REF!");
  EXPECT_EQ(moved("A2+A1", 1, 0, 0), "A3+A2");
  engine::Clipboard::Instance().Clear();
}

}  // namespace
}  // namespace ddt::grid
