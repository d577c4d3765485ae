// Workbooks of the public corpus whose sheet "Tests" holds, row by row, TEXT(value, format)
// in column A with the result Excel cached for it, the format in B and the value in C. The
// grid reads each file, recalculates, and must show what Excel showed. Every difference is
// listed, not only the first. The same value and code in a cell of its own must display the
// same text, except where a cell and TEXT() differ in Excel itself (see CellShows).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"

namespace ddt::grid::format {
namespace {

// The corpus is not part of the repository: a checkout beside it, or the shared copy.
std::string CorpusDir() {
  for (const char* dir : {DDT_SOURCE_DIR "/../shared/corpus/poi", "/work/shared/corpus/poi"})
    if (std::filesystem::is_directory(dir)) return dir;
  return "";
}

const char* const kResultFiles[] = {
    "GeneralFormatTests.xlsx",   "NumberFormatTests.xlsx",  "NumberFormatApproxTests.xlsx",
    "DateFormatTests.xlsx",      "DateFormatNumberTests.xlsx", "ElapsedFormatTests.xlsx",
    "TextFormatTests.xlsx",      "FormatChoiceTests.xlsx",  "FormatConditionTests.xlsx",
    "FormatChoiceTests.xls",
};

struct Row {
  int row = 0;
  std::string expected;  // Excel's cached result
  std::string code;      // the code TEXT() was given; empty when the formula has another shape
  Value value;
};

std::string Where(const std::string& file, const Row& r, Workbook& book, int sheet) {
  std::ostringstream s;
  s << file << " row " << r.row << ": [" << book.GetEntry(sheet, r.row, 3) << "] as ["
    << book.GetEntry(sheet, r.row, 2) << "]";
  return s.str();
}

std::string WithoutSpaces(std::string s) {
  std::erase(s, ' ');
  return s;
}

// The code a row's formula applies: TEXT(Cn, Bn) or TEXT(Cn, CONCATENATE(";;;", Bn)).
std::string CodeOfRow(Workbook& book, int sheet, int row) {
  const std::string f = WithoutSpaces(book.GetFormula(sheet, row, 1));
  const std::string n = std::to_string(row);
  const std::string code = book.GetEntry(sheet, row, 2);
  if (f == "TEXT(C" + n + ",B" + n + ")") return code;
  if (f == "TEXT(C" + n + ",CONCATENATE(\";;;\",B" + n + "))") return ";;;" + code;
  return "";
}

// What a cell of its own shows where Excel's cell display differs from TEXT(): a negative
// serial through a date or time code has no display in a cell ("########"), while TEXT()
// writes elapsed times with a leading minus.
std::string CellShows(const Row& r) {
  const double* d = std::get_if<double>(&r.value);
  if (d && *d < 0 && r.code.find('[') != std::string::npos &&
      (r.code.find("[h") != std::string::npos || r.code.find("[m") != std::string::npos ||
       r.code.find("[s") != std::string::npos))
    return "########";
  return r.expected;
}

struct Differences {
  int compared = 0;
  std::vector<std::string> lines;
};

void CompareFile(const std::string& dir, const std::string& file, Differences& text,
                 Differences& cells) {
  Workbook book;
  io::ReadWorkbookFile(book, dir + "/" + file, io::kFileTypeAny);
  const int sheet = book.FindSheet("Tests");
  ASSERT_GT(sheet, 0) << file << " has no sheet Tests";
  book.SetCurrentSheet(sheet);
  std::vector<Row> rows;
  for (int r = 2; r <= book.LastUsedRow(); ++r) {
    const Cell* a = book.FindCell(sheet, r, 1);
    if (!a || !a->formula || !IsText(a->value)) continue;
    Row row;
    row.row = r;
    row.expected = std::string(TextOf(a->value));
    row.code = CodeOfRow(book, sheet, r);
    row.value = book.GetCellValue(sheet, r, 3);
    rows.push_back(std::move(row));
  }
  EXPECT_GT(rows.size(), 5u) << file;

  book.Recalc();
  for (const Row& r : rows) {
    ++text.compared;
    const std::string shown = book.GetFormattedText(sheet, r.row, 1);
    if (shown != r.expected)
      text.lines.push_back(Where(file, r, book, sheet) + " shows [" + shown + "], Excel [" +
                           r.expected + "]");
  }

  // The same value in a cell formatted with the code, logical values included.
  for (const Row& r : rows) {
    if (r.code.empty()) continue;
    ++cells.compared;
    book.FormatRanges(0, {Range{r.row, 3, r.row, 3}},
                      [&](Style& st, const StyleEdges&) { st.numberFormat = r.code; });
    const std::string shown = book.GetFormattedText(sheet, r.row, 3);
    const std::string want = CellShows(r);
    if (shown != want)
      cells.lines.push_back(Where(file, r, book, sheet) + " in a cell shows [" + shown +
                            "], Excel [" + want + "]");
  }
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

TEST(ExcelResults, TextAndCellsShowWhatExcelCached) {
  const std::string dir = CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "the public corpus (../shared/corpus beside the checkout) is not here";
  Differences text, cells;
  for (const char* file : kResultFiles) {
    SCOPED_TRACE(file);
    CompareFile(dir, file, text, cells);
  }
  EXPECT_GT(text.compared, 1000);
  EXPECT_GT(cells.compared, 800);
  EXPECT_TRUE(text.lines.empty()) << text.lines.size() << " of " << text.compared
                                  << " TEXT() results differ:\n" << Join(text.lines);
  EXPECT_TRUE(cells.lines.empty()) << cells.lines.size() << " of " << cells.compared
                                   << " cells differ:\n" << Join(cells.lines);
}

}  // namespace
}  // namespace ddt::grid::format
