// .xls cells formatted with the built-in ids East Asian versions keep for their locale's
// dates and times (27-36, 50-58) show as LibreOffice shows them: dates m/d/yyyy, 32-35 times
// h:mm:ss. Fixture written by xlwt (data/make_xlwt_locale_dates.py).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
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

TEST(XlsLocaleFormats, LocaleDatesAndTimesShowAsDatesAndTimes) {
  Workbook book;
  ASSERT_EQ(book.ReadFile(DataFile("xlwt_locale_dates.xls"), kFileTypeAny), kFileTypeXls);
  for (int row = 1; row <= kLocaleIdRows; ++row) {
    const int id = static_cast<int>(std::get<double>(book.GetCellValue(1, row, 1)));
    SCOPED_TRACE(id);
    EXPECT_EQ(book.GetFormattedText(1, row, 2), IsTimeId(id) ? "12:00:00" : "3/15/2023");
    EXPECT_EQ(book.GetFormattedText(1, row, 3), IsTimeId(id) ? "18:00:00" : "3/16/2023");
  }
  // Saved, they keep showing so (as the built-in date and time formats).
  ScratchDir dir;
  const std::string path = dir.File("locale.xlsx");
  book.WriteFile(path, kFileTypeXlsx);
  Workbook back;
  back.ReadFile(path, kFileTypeAny);
  EXPECT_EQ(back.GetFormattedText(1, 1, 2), "3/15/2023");
  EXPECT_EQ(back.GetFormattedText(1, 6, 3), "18:00:00");
}

// The same file as LibreOffice shows it: saved as text the way its cells are shown.
TEST(XlsLocaleFormats, SameTextsAsLibreOffice) {
  std::string out;
  auto run = [&](const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    return pclose(pipe);
  };
  if (run("command -v soffice") != 0) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  ScratchDir dir;
  // Filter options: comma, double quote, UTF-8, from line 1, ..., cells as shown.
  ASSERT_EQ(run("soffice -env:UserInstallation=file://" + dir.Path() +
                "/profile --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,"
                "false,true,true' --outdir '" + dir.Path() + "' '" +
                DataFile("xlwt_locale_dates.xls") + "'"),
            0)
      << out;
  std::ifstream csv(dir.File("xlwt_locale_dates.csv"));
  ASSERT_TRUE(csv) << out;
  Workbook book;
  book.ReadFile(DataFile("xlwt_locale_dates.xls"), kFileTypeAny);
  std::string line;
  int row = 0;
  while (std::getline(csv, line)) {
    ++row;
    std::stringstream fields(line);
    std::string id, date, time;
    std::getline(fields, id, ',');
    std::getline(fields, date, ',');
    std::getline(fields, time, ',');
    SCOPED_TRACE(id);
    EXPECT_EQ(book.GetFormattedText(1, row, 2), date);
    EXPECT_EQ(book.GetFormattedText(1, row, 3), time);
  }
  EXPECT_EQ(row, kLocaleIdRows);
}

}  // namespace
}  // namespace ddt::grid::io
