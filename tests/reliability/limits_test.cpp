// Limits the library enforces that no module test reaches: the ini file size, the number of
// sheets of a workbook in memory and in a file.
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/limits.h"
#include "platform/profile.h"
#include "reliability_util.h"

namespace ddt::reliability {
namespace {

// An ini file over the size limit reads as empty: every read gives its default. The file is
// sparse, so the test costs no disk space.
TEST(Limits, IniFilesOverTheSizeLimitReadAsEmpty) {
  ScratchDir dir;
  const std::string path = dir.File("big.ini");
  { std::ofstream(path) << "[S]\nkey=7\n"; }
  EXPECT_EQ(platform::GetPrivateProfileInt("S", "key", -1, path), 7);
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(platform::kMaxProfileBytes)), 0);
  EXPECT_EQ(platform::GetPrivateProfileInt("S", "key", -1, path), 7) << "at the limit it reads";
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(platform::kMaxProfileBytes) + 1), 0);
  EXPECT_EQ(platform::GetPrivateProfileInt("S", "key", -1, path), -1);
  EXPECT_EQ(platform::GetPrivateProfileString("S", "key", "none", path, 64), "none");
  EXPECT_TRUE(platform::GetPrivateProfileSectionNames(path, 4096).empty());
}

TEST(Limits, AWorkbookHoldsAtMostMaxSheets) {
  grid::Workbook book;
  EXPECT_THROW(book.SetSheetCount(grid::kMaxSheets + 1), grid::GridError);
  EXPECT_EQ(book.SheetCount(), 1);
  book.InsertSheets(2, grid::kMaxSheets - 1);
  EXPECT_EQ(book.SheetCount(), grid::kMaxSheets);
  EXPECT_THROW(book.InsertSheets(1, 1), grid::GridError);
  EXPECT_EQ(book.SheetCount(), grid::kMaxSheets);
}

// A file that lists more sheets than a workbook may hold is refused before any is read.
TEST(Limits, AFileListingTooManySheetsIsRefused) {
  ScratchDir dir;
  const std::string path = dir.File("sheets.xlsx");
  { grid::Workbook b; b.WriteFile(path, grid::io::kFileTypeXlsx); }
  std::string xml =
      "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/"
      "spreadsheetml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/"
      "2006/relationships\"><sheets>";
  for (int i = 1; i <= grid::kMaxSheets + 1; ++i)
    xml += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i) +
           "\" r:id=\"rId1\"/>";
  xml += "</sheets></workbook>";
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), 0, &error);
  ASSERT_NE(zip, nullptr);
  const zip_int64_t index = zip_name_locate(zip, "xl/workbook.xml", 0);
  ASSERT_GE(index, 0);
  zip_source_t* src = zip_source_buffer(zip, xml.data(), xml.size(), 0);
  ASSERT_EQ(zip_file_replace(zip, static_cast<zip_uint64_t>(index), src, 0), 0);
  ASSERT_EQ(zip_close(zip), 0);

  grid::Workbook book;
  try {
    book.ReadFile(path, grid::io::kFileTypeAny);
    ADD_FAILURE() << "read a workbook of " << book.SheetCount() << " sheets";
  } catch (const grid::GridError& e) {
    EXPECT_NE(std::string(e.what()).find(std::to_string(grid::kMaxSheets)), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(book.SheetCount(), 1);
}

}  // namespace
}  // namespace ddt::reliability
