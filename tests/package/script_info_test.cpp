// The library-information script functions: the version the loaded library reports, and the
// sheet names of a workbook by index, with the buffer and length rules of the other
// string-returning functions.
#include <array>
#include <cstring>
#include <string>

#include "ddtable/cddt_results.h"
#include "ddtable/ddtable.h"
#include "ddtable/version.h"
#include "../manager/manager_fixture.h"

namespace ddt::manager::testing {
namespace {

TEST(VersionTest, LibraryReportsTheVersionOfItsHeaders) {
  ASSERT_NE(ddt_version(), nullptr);
  EXPECT_STREQ(ddt_version(), DDT_VERSION_STRING);
  // The string and the numbers are one version.
  const std::string fromNumbers = std::to_string(DDT_VERSION_MAJOR) + "." +
                                  std::to_string(DDT_VERSION_MINOR) + "." +
                                  std::to_string(DDT_VERSION_PATCH);
  EXPECT_EQ(fromNumbers, DDT_VERSION_STRING);
  EXPECT_EQ(DDT_VERSION_NUMBER,
            DDT_VERSION_MAJOR * 10000 + DDT_VERSION_MINOR * 100 + DDT_VERSION_PATCH);
}

class SheetNamesTest : public ManagerTest {
 protected:
  void SetUp() override {
    const fs::path path = Path("sheets.xlsx");
    WriteWorkbook(path, {{"Global", {"Iter"}, {{"1"}}},
                         {"Login", {"User"}, {{"alice"}}},
                         {"Login.Orders", {"Item"}, {}},
                         {"Über größe", {"x"}, {}}});
    input_ = open_workbook(path.string().c_str());
    ASSERT_NE(input_, nullptr);
  }
  void TearDown() override { close_input_workbook(input_); }

  CDT* table() { return input_; }
  CDDTInput* input_ = nullptr;
};

TEST_F(SheetNamesTest, NamesInWorkbookOrder) {
  ASSERT_EQ(get_sheet_count(table()), 4);
  const char* expected[] = {"Global", "Login", "Login.Orders", "Über größe"};
  for (long i = 1; i <= 4; ++i) {
    std::array<char, 64> buffer{};
    int size = static_cast<int>(buffer.size());
    EXPECT_EQ(get_sheet_name(table(), i, buffer.data(), &size), 0) << i;
    EXPECT_STREQ(buffer.data(), expected[i - 1]);
    EXPECT_EQ(size, static_cast<int>(std::strlen(expected[i - 1])));
  }
}

TEST_F(SheetNamesTest, ShortBufferCutsAndReportsTheFullLength) {
  std::array<char, 16> buffer;
  buffer.fill(kSentinel);
  int size = 4;
  EXPECT_EQ(get_sheet_name(table(), 3, buffer.data(), &size), -1);
  EXPECT_STREQ(buffer.data(), "Log");
  EXPECT_EQ(size, 12);  // "Login.Orders"
  EXPECT_EQ(buffer[4], kSentinel);  // nothing past the size given

  // Exactly the length plus the terminator fits.
  size = 13;
  EXPECT_EQ(get_sheet_name(table(), 3, buffer.data(), &size), 0);
  EXPECT_STREQ(buffer.data(), "Login.Orders");

  // The length counts bytes: two-byte characters count twice.
  size = 1;
  EXPECT_EQ(get_sheet_name(table(), 4, buffer.data(), &size), -1);
  EXPECT_STREQ(buffer.data(), "");
  EXPECT_EQ(size, static_cast<int>(std::strlen("Über größe")));
}

TEST_F(SheetNamesTest, RefusalsWriteNothing) {
  std::array<char, 16> buffer;
  buffer.fill(kSentinel);
  for (long index : {0L, -1L, 5L, 1L << 40}) {
    int size = static_cast<int>(buffer.size());
    EXPECT_EQ(get_sheet_name(table(), index, buffer.data(), &size), -1) << index;
    EXPECT_EQ(size, static_cast<int>(buffer.size())) << index;
  }
  int size = 0;
  EXPECT_EQ(get_sheet_name(table(), 1, buffer.data(), &size), -1);
  size = -3;
  EXPECT_EQ(get_sheet_name(table(), 1, buffer.data(), &size), -1);
  size = 16;
  EXPECT_EQ(get_sheet_name(table(), 1, nullptr, &size), -1);
  EXPECT_EQ(get_sheet_name(table(), 1, buffer.data(), nullptr), -1);
  EXPECT_EQ(get_sheet_name(nullptr, 1, buffer.data(), &size), -1);
  EXPECT_EQ(size, 16);
  for (char c : buffer) EXPECT_EQ(c, kSentinel);
  EXPECT_EQ(get_sheet_count(nullptr), -1);
}

TEST_F(SheetNamesTest, FollowsSheetsAddedAndRemoved) {
  const char* const cells[] = {"a", "b", "1", "2"};
  ASSERT_EQ(table2sheet_cells(cells, 2, 2, input_, "Made"), 1);
  ASSERT_EQ(get_sheet_count(table()), 5);
  std::array<char, 16> buffer{};
  int size = static_cast<int>(buffer.size());
  EXPECT_EQ(get_sheet_name(table(), 5, buffer.data(), &size), 0);
  EXPECT_STREQ(buffer.data(), "Made");

  ASSERT_EQ(table()->DeleteSheet("Global"), 0);
  EXPECT_EQ(get_sheet_count(table()), 4);
  size = static_cast<int>(buffer.size());
  EXPECT_EQ(get_sheet_name(table(), 1, buffer.data(), &size), 0);
  EXPECT_STREQ(buffer.data(), "Login");
}

TEST_F(SheetNamesTest, ResultsWorkbookThroughItsBase) {
  CDDTResults* results = open_results(Path("res.xlsx").string().c_str(), 1, nullptr, nullptr);
  ASSERT_NE(results, nullptr);
  ASSERT_EQ(prepare_results(results, input_), 0);
  // A results workbook gets the input's sheets; C callers pass it cast to CDT*.
  CDT* base = results;
  const int count = get_sheet_count(base);
  bool found = false;
  for (long i = 1; i <= count; ++i) {
    std::array<char, 16> buffer{};
    int size = static_cast<int>(buffer.size());
    ASSERT_EQ(get_sheet_name(base, i, buffer.data(), &size), 0);
    found = found || std::string(buffer.data()) == "Login.Orders";
  }
  EXPECT_TRUE(found);
  close_results(results);
}

}  // namespace
}  // namespace ddt::manager::testing
