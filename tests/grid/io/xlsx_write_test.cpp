// Writing .xlsx: what is written reads back the same, here and in openpyxl; saving is
// atomic.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "grid/formula/formula.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::ScratchDir;

// The grid's fields of a style read back (a style read from a file also refers to the file's
// record, which the written workbook's style does not).
Style Shown(Style s) {
  s.extras.reset();
  return s;
}

bool SpreadsheetEngineAvailable() {
  Workbook book;
  try {
    return formula::ParseFormula("1+1", book) != nullptr;
  } catch (const GridError&) {
    return false;
  }
}

const std::string kLongName = "A sheet name that is much longer than thirty-one characters";
const std::string kOddName = "Q&A <1> \"x\" 'y' \xC3\xA9";

// A workbook with something of everything the writer handles.
void Fill(Workbook& book, bool formulas) {
  book.SetSheetCount(3);
  book.SetSheetName(1, "Data");
  book.SetSheetName(2, kLongName);
  book.SetSheetName(3, kOddName);
  book.SetCellValue(1, 1, 1, Value(std::string("text & <markup>")));
  book.SetCellValue(1, 1, 2, Value(1.0 / 3));
  book.SetCellValue(1, 1, 3, Value(true));
  book.SetCellValue(1, 1, 4, Value(ErrorCode::NA));
  book.SetCellValue(1, 2, 1, Value(std::string(" lead and trail ")));
  book.SetCellValue(1, 2, 2, Value(-1e-300));
  book.SetCellValue(1, 2, 3, Value(std::string("line\r\nbreak\ttab \x01 _x0041_")));
  book.SetCellValue(1, 3, 1, Value(std::string("text & <markup>")));  // shared twice
  book.SetEntry(1, 3, 2, "'42");                                      // forced text
  book.SetCellValue(2, 100, 50, Value(7.0));
  book.SetCellValue(3, 1, 1, Value(std::string("odd")));

  Style fill;
  fill.pattern = 1;
  fill.patternFg = 0x0000FF;  // red
  fill.patternBg = 0x00FF00;
  fill.fontColor = 0xFF0000;  // blue
  fill.numberFormat = "0.000";
  fill.left = {1, 0x123456};
  fill.bottom = {5, 0};
  book.SetCellStyle(1, 1, 2, book.Styles().Intern(fill));
  Style percent;
  percent.numberFormat = "0.00%";
  percent.pattern = 9;
  percent.patternFg = 0x808080;
  book.SetCellStyle(1, 2, 2, book.Styles().Intern(percent));
  Style styledEmpty;
  styledEmpty.fontColor = 0x00FF00;
  book.SetCellStyle(1, 5, 5, book.Styles().Intern(styledEmpty));
  Style rowStyle;
  rowStyle.patternFg = 0x00FFFF;
  rowStyle.pattern = 1;
  book.SetRowStyle(1, 7, 7, book.Styles().Intern(rowStyle));
  book.SetColWidth(1, 1, 25.5);
  book.SetColWidth(1, 2, 3);
  book.SetColsHidden(1, 4, 6, true);
  book.SetRowsHidden(1, 9, 10, true);
  book.SetRowsHidden(1, 1048576, 1048576, true);
  book.SetCurrentSheet(2);
  if (formulas) {
    book.SetFormula(1, 4, 1, "B1*3");
    book.SetFormula(1, 4, 2, "A1&\"!\"");
    book.SetFormula(1, 4, 3, "C1=TRUE");
    book.SetFormula(1, 4, 4, "1/0");
    book.SetFormula(1, 4, 5, "SUM('" + kLongName + "'!AX100,1)");
    book.Recalc();
  }
}

TEST(XlsxWrite, RoundTripKeepsEverything) {
  const bool formulas = SpreadsheetEngineAvailable();
  Workbook book;
  Fill(book, formulas);
  ScratchDir dir;
  const std::string path = dir.File("out.xlsx");
  book.WriteFile(path, kFileTypeXlsx);

  Workbook back;
  ReadReport report;
  ASSERT_EQ(ReadWorkbookFile(back, path, kFileTypeAny, &report), kFileTypeXlsx);
  EXPECT_EQ(report.refusedFormulas, 0) << report.firstRefused;
  ASSERT_EQ(back.SheetCount(), 3);
  EXPECT_EQ(back.SheetName(2), kLongName);
  EXPECT_EQ(back.SheetName(3), kOddName);
  EXPECT_EQ(back.CurrentSheet(), 2);
  for (int s = 1; s <= 3; ++s) {
    book.ForEachCell(s, [&](int r, int c, const Cell& cell) {
      const Cell* other = back.FindCell(s, r, c);
      ASSERT_NE(other, nullptr) << s << ":" << r << "," << c;
      EXPECT_EQ(other->value, cell.value) << s << ":" << r << "," << c;
      EXPECT_EQ(other->forcedText, cell.forcedText);
      EXPECT_EQ(Shown(back.CellStyle(s, r, c)), book.CellStyle(s, r, c)) << s << ":" << r << "," << c;
      if (cell.formula) {
        EXPECT_EQ(back.GetFormula(s, r, c), book.GetFormula(s, r, c));
      }
    });
  }
  EXPECT_EQ(back.GetEntry(1, 3, 2), "'42");
  EXPECT_EQ(Shown(back.CellStyle(1, 7, 3)), book.CellStyle(1, 7, 3));  // row style, no cell
  EXPECT_DOUBLE_EQ(back.ColWidth(1, 1), 25.5);
  EXPECT_DOUBLE_EQ(back.ColWidth(1, 2), 3);
  EXPECT_DOUBLE_EQ(back.ColWidth(1, 3), book.ColWidth(1, 3));
  for (int c = 3; c <= 7; ++c) EXPECT_EQ(back.ColHidden(1, c), c >= 4 && c <= 6) << c;
  for (int r = 8; r <= 11; ++r) EXPECT_EQ(back.RowHidden(1, r), r >= 9 && r <= 10) << r;
  EXPECT_TRUE(back.RowHidden(1, 1048576));
  if (formulas) {
    EXPECT_EQ(back.FindCell(1, 4, 1)->value, Value(1.0));
    EXPECT_EQ(back.FindCell(1, 4, 2)->value, Value(std::string("text & <markup>!")));
    EXPECT_EQ(back.FindCell(1, 4, 4)->value, Value(ErrorCode::Div0));
    EXPECT_EQ(back.FindCell(1, 4, 5)->value, Value(8.0));
  }
}

TEST(XlsxWrite, ArrayFormulasKeepTheirRangeAndKind) {
  if (!SpreadsheetEngineAvailable()) GTEST_SKIP() << "no formula engine";
  // A workbook made in memory: the save writes the dynamic-array metadata part itself.
  Workbook book;
  for (int r = 1; r <= 3; ++r) book.SetCellValue(1, r, 1, Value(r * 1.0));
  auto f = formula::ParseFormula("A1:A3*2", book);
  book.SetCellFormula(1, 1, 2, formula::AsArrayFormula(*f, 3, 1), std::nullopt);
  book.SetCellFormula(1, 1, 3, formula::AsArrayFormula(*f, 3, 1, true), std::nullopt);
  ScratchDir dir;
  const std::string path = dir.File("arrays.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  for (int round = 0; round < 2; ++round) {  // and again from what was read
    Workbook back;
    ASSERT_EQ(ReadWorkbookFile(back, path, kFileTypeAny, nullptr), kFileTypeXlsx);
    int rows = 0, cols = 0;
    for (int col = 2; col <= 3; ++col) {
      const Cell* first = back.FindCell(1, 1, col);
      ASSERT_TRUE(first && first->formula);
      EXPECT_TRUE(formula::IsArrayFormula(*first->formula, &rows, &cols));
      EXPECT_EQ(rows * 10 + cols, 31);
      EXPECT_EQ(formula::IsDynamicArrayFormula(*first->formula), col == 3);
      EXPECT_EQ(back.FindCell(1, 3, col)->formula, nullptr);  // a value, as files store it
      EXPECT_EQ(back.FindCell(1, 3, col)->value, Value(6.0));
    }
    back.WriteFile(path, kFileTypeXlsx);
  }
}

TEST(XlsxWrite, Date1904AndEmptyWorkbook) {
  Workbook book;
  book.SetDate1904(true);
  ScratchDir dir;
  book.WriteFile(dir.File("empty.xlsx"), kFileTypeXlsx);
  Workbook back;
  back.SetCellValue(1, 1, 1, Value(1.0));
  ReadWorkbookFile(back, dir.File("empty.xlsx"), kFileTypeAny);
  EXPECT_TRUE(back.Date1904());
  EXPECT_EQ(back.SheetCount(), 1);
  EXPECT_EQ(back.SheetName(1), "Sheet1");
  EXPECT_EQ(back.FindCell(1, 1, 1), nullptr);
}

TEST(XlsxWrite, FailedSaveLeavesThePreviousFile) {
  ScratchDir dir;
  const std::string path = dir.File("keep.xlsx");
  test::WriteBytes(path, "previous content");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  Workbook book;
  for (int r = 1; r <= 2000; ++r) book.SetCellValue(1, r, 1, Value(std::to_string(r) + " text"));

  // The file system refuses the write half way (file size limit).
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string message;
  try {
    book.WriteFile(path, kFileTypeXlsx);
  } catch (const GridError& e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(message.find("keep.xlsx"), std::string::npos) << message;
  EXPECT_NE(message.find("cannot write"), std::string::npos) << message;
  EXPECT_EQ(test::ReadBytes(path), "previous content");
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files, (void)e;
  EXPECT_EQ(files, 1);

  // A missing directory is reported with the file's name.
  EXPECT_THROW(book.WriteFile(dir.File("no/such/dir/x.xlsx"), kFileTypeXlsx), GridError);

  // A successful save replaces the file and keeps its permissions.
  book.WriteFile(path, kFileTypeXlsx);
  EXPECT_NE(test::ReadBytes(path), "previous content");
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
  Workbook back;
  ReadWorkbookFile(back, path, kFileTypeAny);
  EXPECT_EQ(back.FindCell(1, 2000, 1)->value, Value(std::string("2000 text")));
}

// Reads a file with openpyxl and prints what the test compares, one fact per line.
constexpr const char* kOpenpyxlDump = R"PY(
import sys, openpyxl
path = sys.argv[1]
wb = openpyxl.load_workbook(path)
vals = openpyxl.load_workbook(path, data_only=True)
print("sheets=" + "|".join(wb.sheetnames))
ws, wv = wb["Data"], vals["Data"]
for ref in ["A1", "B1", "C1", "D1", "A2", "C2", "B3", "A4", "B4", "C4", "D4"]:
    print("%s=%r|%r" % (ref, ws[ref].value, wv[ref].value))
print("B1.fill=%s/%s/%s" % (ws["B1"].fill.fill_type, ws["B1"].fill.fgColor.rgb, ws["B1"].fill.bgColor.rgb))
print("B1.font=%s" % ws["B1"].font.color.rgb)
print("B1.format=%s" % ws["B1"].number_format)
print("B1.left=%s/%s" % (ws["B1"].border.left.style, ws["B1"].border.left.color.rgb))
print("B2.fill=%s" % ws["B2"].fill.fill_type)
print("D.hidden=%s" % ws.column_dimensions["D"].hidden)
print("row9.hidden=%s" % ws.row_dimensions[9].hidden)
print("AX100=%r" % wb.worksheets[1]["AX100"].value)
)PY";

TEST(XlsxWrite, OpenpyxlReadsWhatWeWrite) {
  if (!std::filesystem::exists("/usr/bin/python3") ||
      std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 with openpyxl is not available";
  const bool formulas = SpreadsheetEngineAvailable();
  Workbook book;
  Fill(book, formulas);
  ScratchDir dir;
  const std::string path = dir.File("for openpyxl.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  test::WriteBytes(dir.File("dump.py"), kOpenpyxlDump);
  const std::string command =
      "/usr/bin/python3 '" + dir.File("dump.py") + "' '" + path + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> facts;
  char line[4096];
  std::string all;
  while (fgets(line, sizeof line, pipe)) {
    std::string s(line);
    all += s;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    size_t eq = s.find('=');
    if (eq != std::string::npos) facts[s.substr(0, eq)] = s.substr(eq + 1);
  }
  ASSERT_EQ(pclose(pipe), 0) << all;
  EXPECT_EQ(facts["sheets"], "Data|" + kLongName + "|" + kOddName);
  EXPECT_EQ(facts["A1"], "'text & <markup>'|'text & <markup>'");
  EXPECT_EQ(facts["B1"], "0.3333333333333333|0.3333333333333333");
  EXPECT_EQ(facts["C1"], "True|True");
  EXPECT_EQ(facts["D1"], "'#N/A'|'#N/A'");
  EXPECT_EQ(facts["A2"], "' lead and trail '|' lead and trail '");
  EXPECT_EQ(facts["B3"], "'42'|'42'");
  EXPECT_EQ(facts["B1.fill"], "solid/FFFF0000/FF00FF00");
  EXPECT_EQ(facts["B1.font"], "FF0000FF");
  EXPECT_EQ(facts["B1.format"], "0.000");
  EXPECT_EQ(facts["B1.left"], "thin/FF563412");
  EXPECT_EQ(facts["B2.fill"], "darkGrid");
  EXPECT_EQ(facts["D.hidden"], "True");
  EXPECT_EQ(facts["row9.hidden"], "True");
  EXPECT_EQ(facts["AX100"], "7");
  if (formulas) {
    EXPECT_EQ(facts["A4"], "'=B1*3'|1");
    EXPECT_EQ(facts["B4"], "'=A1&\"!\"'|'text & <markup>!'");
    EXPECT_EQ(facts["C4"], "'=C1=TRUE'|True");
    EXPECT_EQ(facts["D4"], "'=1/0'|'#DIV/0!'");
  }
}

}  // namespace
}  // namespace ddt::grid::io
