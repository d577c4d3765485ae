// Files made by other programs (tests/grid/io/data, made by scripts/make-io-fixtures.py).
#include <gtest/gtest.h>

#include "grid/format/number_format.h"
#include "grid/formula/formula.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;

bool FormulaEngineAvailable() {
  Workbook book;
  try {
    return formula::ParseFormula("1+1", book) != nullptr;
  } catch (const GridError&) {
    return false;
  }
}

Value At(const Workbook& book, int sheet, int row, int col) {
  const Cell* c = book.FindCell(sheet, row, col);
  return c ? c->value : Value();
}

// A cell that names style 0 inside a formatted column shows General, as LibreOffice shows
// it; a cell that names no style shows its row's format. (Before, 0.256407 showed as "$0".)
TEST(OtherPrograms, APlainCellInAFormattedLineShowsGeneral) {
  Workbook book;
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("openpyxl_styled_lines.xlsx"), kFileTypeAny),
            kFileTypeXlsx);
  EXPECT_EQ(book.GetFormattedText(1, 2, 2), "0.256407");
  EXPECT_EQ(book.GetFormattedText(1, 3, 2), "$1,235");
  EXPECT_EQ(book.GetFormattedText(1, 5, 3), "50%");
  EXPECT_EQ(book.GetFormattedText(1, 1, 1), "7");
  EXPECT_EQ(book.GetFormattedText(1, 7, 2), "") << "an empty cell of the column stays empty";
  // The saved file keeps B2 plain while the column keeps its format.
  Workbook again;
  const std::string saved = ::testing::TempDir() + "styled_lines.xlsx";
  WriteXlsxFile(book, saved);
  ReadWorkbookFile(again, saved, kFileTypeAny);
  EXPECT_EQ(again.GetFormattedText(1, 2, 2), "0.256407");
  EXPECT_EQ(again.CellStyle(1, 9, 2).numberFormat, "$#,##0");
}

TEST(OtherPrograms, OpenpyxlInlineStringsStylesAndProperties) {
  Workbook book;
  ReadReport report;
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("openpyxl_inline.xlsx"), kFileTypeAny, &report),
            kFileTypeXlsx);
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), "Data");
  EXPECT_EQ(book.SheetName(2), "Second Sheet");
  EXPECT_EQ(At(book, 1, 1, 1), Value(std::string("name")));
  EXPECT_EQ(At(book, 1, 2, 1), Value(std::string("alpha")));
  EXPECT_EQ(At(book, 1, 2, 2), Value(12.5));
  EXPECT_EQ(At(book, 1, 3, 2), Value(-3.0));
  EXPECT_EQ(At(book, 1, 4, 1), Value(true));
  EXPECT_EQ(At(book, 1, 5, 1), Value(std::string("  spaced  ")));
  EXPECT_EQ(At(book, 1, 6, 1), Value(45352.0));  // 2024-03-01
  EXPECT_EQ(At(book, 2, 2, 1), Value(42.0));
  EXPECT_EQ(book.CellStyle(1, 5, 2).numberFormat, "0.00%");
  const Style& fill = book.CellStyle(1, 2, 1);
  EXPECT_EQ(fill.pattern, 1);
  EXPECT_EQ(fill.patternFg, 0x0000FFu);
  EXPECT_EQ(fill.patternBg, 0x00FF00u);
  EXPECT_EQ(book.CellStyle(1, 3, 1).fontColor, 0xFF0000u);
  const Style& border = book.CellStyle(1, 2, 2);
  EXPECT_EQ(border.left, (Border{1, 0x00FF00}));
  EXPECT_EQ(border.bottom, (Border{2, 0x332211}));
  EXPECT_NEAR(book.ColWidth(1, 1), 19.29, 0.01);  // openpyxl's 20 includes the padding
  EXPECT_TRUE(book.ColHidden(1, 3));
  EXPECT_TRUE(book.RowHidden(1, 3));
  EXPECT_FALSE(book.RowHidden(1, 2));
  // openpyxl writes formulas without results.
  if (FormulaEngineAvailable()) {
    EXPECT_EQ(book.GetFormula(1, 4, 2), "B2+B3");
    EXPECT_EQ(book.GetCellValue(1, 4, 2), Value(9.5));
  }
  if (format::BuiltinFormatCode(14) != nullptr) {
    EXPECT_TRUE(format::IsDateFormat(book.CellStyle(1, 6, 1).numberFormat));
  }
}

TEST(OtherPrograms, XlsxwriterCachedResultsAndRichText) {
  Workbook book;
  ReadReport report;
  ReadWorkbookFile(book, DataFile("xlsxwriter_cached.xlsx"), kFileTypeAny, &report);
  EXPECT_EQ(book.SheetName(1), "Cached");
  EXPECT_EQ(At(book, 1, 1, 1), Value(std::string("abcd")));
  EXPECT_EQ(At(book, 1, 2, 1), Value(true));
  EXPECT_EQ(At(book, 1, 3, 1), Value(ErrorCode::Div0));
  EXPECT_EQ(At(book, 1, 4, 1), Value(42.0));
  EXPECT_EQ(At(book, 1, 1, 2), Value(std::string("plain bold red")));
  EXPECT_EQ(At(book, 1, 3, 2), Value(std::string("shared")));
  EXPECT_EQ(At(book, 1, 4, 2), Value(std::string("shared")));
  if (!FormulaEngineAvailable()) return;
  EXPECT_EQ(report.refusedFormulas, 0) << report.firstRefused;
  EXPECT_EQ(book.GetFormula(1, 1, 1), "CONCATENATE(\"ab\",\"cd\")");
  EXPECT_EQ(book.GetFormula(1, 3, 1), "1/0");
}

TEST(OtherPrograms, Xlsxwriter1904Dates) {
  Workbook book;
  ReadWorkbookFile(book, DataFile("xlsxwriter_1904.xlsx"), kFileTypeAny);
  EXPECT_TRUE(book.Date1904());
  EXPECT_EQ(At(book, 1, 1, 1), Value(45352.0 - 1462));
  EXPECT_EQ(At(book, 1, 2, 1), Value(1.0));
  EXPECT_EQ(book.CellStyle(1, 1, 1).numberFormat, "yyyy-mm-dd");
}

TEST(OtherPrograms, LibreOfficeXlsx) {
  Workbook book;
  ReadReport report;
  ReadWorkbookFile(book, DataFile("libreoffice.xlsx"), kFileTypeAny, &report);
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), "First");
  EXPECT_EQ(book.SheetName(2), "Zweite Tabelle");
  EXPECT_EQ(At(book, 1, 2, 2), Value(3.25));
  EXPECT_EQ(At(book, 1, 3, 2), Value(45352.0));
  EXPECT_EQ(At(book, 1, 4, 2), Value(6.5));
  EXPECT_EQ(At(book, 1, 5, 2), Value(std::string("xy")));
  EXPECT_EQ(At(book, 1, 10, 4), Value(100.0));
  EXPECT_EQ(At(book, 1, 12, 1), Value(true));
  EXPECT_EQ(At(book, 1, 12, 2), Value(ErrorCode::Div0));
  EXPECT_EQ(At(book, 2, 1, 1), Value(std::string("\xC3\xBC\xC3\xB1\xC3\xAD")));
  if (!FormulaEngineAvailable()) return;
  EXPECT_EQ(report.refusedFormulas, 0) << report.firstRefused;
  EXPECT_EQ(book.GetFormula(1, 10, 4), "C10*10");
}

TEST(OtherPrograms, LibreOfficeXls) {
  Workbook book;
  ASSERT_EQ(ReadWorkbookFile(book, DataFile("libreoffice.xls"), kFileTypeAny), kFileTypeXls);
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), "First");
  EXPECT_EQ(book.SheetName(2), "Zweite Tabelle");
  EXPECT_EQ(At(book, 1, 1, 1), Value(std::string("label")));
  EXPECT_EQ(At(book, 1, 2, 2), Value(3.25));
  EXPECT_EQ(At(book, 1, 3, 2), Value(45352.0));  // a date, as its serial
  EXPECT_EQ(book.CellStyle(1, 3, 2).numberFormat, "yyyy\\-mm\\-dd");  // as LibreOffice wrote it
  EXPECT_EQ(book.GetFormattedText(1, 3, 2), "2024-03-01");
  EXPECT_EQ(At(book, 1, 4, 2), Value(6.5));  // cached formula results
  EXPECT_EQ(book.GetFormula(1, 4, 2), "B2*2");
  EXPECT_EQ(At(book, 1, 10, 4), Value(100.0));   // (LibreOffice stores no text results)
  EXPECT_EQ(At(book, 1, 12, 1), Value(true));              // a boolean constant
  EXPECT_EQ(At(book, 1, 12, 2), Value(ErrorCode::Div0));  // cached error result
  EXPECT_EQ(At(book, 1, 12, 3), Value(true));              // cached boolean result
  EXPECT_EQ(At(book, 2, 1, 1), Value(std::string("\xC3\xBC\xC3\xB1\xC3\xAD")));
}

}  // namespace
}  // namespace ddt::grid::io
