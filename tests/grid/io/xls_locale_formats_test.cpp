// .xls and .xlsx cells formatted with the built-in ids East Asian versions keep for their
// locale's dates and times (27-36, 50-58) show as LibreOffice shows them: dates m/d/yyyy,
// 32-35 times h:mm:ss. Fixtures written by xlwt and xlsxwriter (data/make_xlwt_locale_dates.py,
// data/make_xlsxwriter_locale_dates.py); the texts expected are those of
// `soffice --convert-to csv` with the option to save cells as shown.
#include <gtest/gtest.h>

#include <string>

#include "grid/io/file_type.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::DataFile;
using test::ScratchDir;

constexpr int kLocaleIdRows = 19;  // ids 27-36 then 50-58, one a row

bool IsTimeId(int id) { return id >= 32 && id <= 35; }

// Every row of a fixture: its id in A, 2023-03-15 12:00 in B and 2023-03-16 18:00 in C.
void ExpectLocaleTexts(Workbook& book) {
  for (int row = 1; row <= kLocaleIdRows; ++row) {
    const int id = static_cast<int>(std::get<double>(book.GetCellValue(1, row, 1)));
    SCOPED_TRACE(id);
    EXPECT_EQ(book.GetFormattedText(1, row, 2), IsTimeId(id) ? "12:00:00" : "3/15/2023");
    EXPECT_EQ(book.GetFormattedText(1, row, 3), IsTimeId(id) ? "18:00:00" : "3/16/2023");
  }
}

TEST(XlsLocaleFormats, LocaleDatesAndTimesShowAsDatesAndTimes) {
  Workbook book;
  ASSERT_EQ(book.ReadFile(DataFile("xlwt_locale_dates.xls"), kFileTypeAny), kFileTypeXls);
  ExpectLocaleTexts(book);
  // Saved, they keep showing so (as the built-in date and time formats).
  ScratchDir dir;
  const std::string path = dir.File("locale.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  Workbook back;
  back.ReadFile(path, kFileTypeAny);
  EXPECT_EQ(back.GetFormattedText(1, 1, 2), "3/15/2023");
  EXPECT_EQ(back.GetFormattedText(1, 6, 3), "18:00:00");
}

TEST(XlsLocaleFormats, XlsxLocaleIdsWithoutARecordShowAsDatesAndTimesAndKeepTheirIds) {
  Workbook book;
  ASSERT_EQ(book.ReadFile(DataFile("xlsxwriter_locale_dates.xlsx"), kFileTypeAny), kFileTypeXlsx);
  ExpectLocaleTexts(book);
  // Saved again, the cells keep the file's ids, which mean the locale's own formats to the
  // versions that know them.
  ScratchDir dir;
  const std::string path = dir.File("again.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  const std::string styles = test::ZipParts(path)["xl/styles.xml"];
  for (const char* id : {"27", "31", "32", "35", "36", "50", "58"})
    EXPECT_NE(styles.find(std::string("<xf numFmtId=\"") + id + "\""), std::string::npos) << id;
  EXPECT_EQ(styles.find("<numFmt "), std::string::npos) << styles;
}

}  // namespace
}  // namespace ddt::grid::io
