// Comma-separated text.
#include <gtest/gtest.h>

#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/workbook.h"
#include "io_test_util.h"

namespace ddt::grid::io {
namespace {

using test::ScratchDir;

class CsvRead : public ::testing::Test {
 protected:
  void Read(const std::string& text, const std::string& name = "table.csv") {
    test::WriteBytes(dir_.File(name), text);
    ASSERT_EQ(ReadWorkbookFile(book_, dir_.File(name), kFileTypeAny), kFileTypeCsv);
  }
  std::string Entry(int row, int col) { return book_.GetEntry(1, row, col); }
  ScratchDir dir_;
  Workbook book_;
};

TEST_F(CsvRead, QuotingAndLineBreaksFollowRfc4180) {
  Read("a,\"b,c\",\"say \"\"hi\"\"\"\r\n"
       "\"multi\nline\",,last\r\n"
       "\n"
       "x");
  EXPECT_EQ(book_.SheetCount(), 1);
  EXPECT_EQ(book_.SheetName(1), "table");
  EXPECT_EQ(Entry(1, 1), "a");
  EXPECT_EQ(Entry(1, 2), "b,c");
  EXPECT_EQ(Entry(1, 3), "say \"hi\"");
  EXPECT_EQ(Entry(2, 1), "multi\nline");
  EXPECT_EQ(book_.FindCell(1, 2, 2), nullptr);  // an empty field makes no cell
  EXPECT_EQ(Entry(2, 3), "last");
  EXPECT_EQ(book_.FindCell(1, 3, 1), nullptr);  // an empty record
  EXPECT_EQ(Entry(4, 1), "x");                  // no final line break
}

TEST_F(CsvRead, FieldsAreEnteredAsTyped) {
  Read("\xEF\xBB\xBF" "12.5,TRUE,text,\"007\",=1+1,=)broken(,\xC3\xA9t\xC3\xA9\n", "data.v1.csv");
  EXPECT_EQ(book_.SheetName(1), "data.v1");
  EXPECT_EQ(book_.FindCell(1, 1, 1)->value, Value(12.5));  // the BOM is not part of it
  EXPECT_EQ(book_.FindCell(1, 1, 2)->value, Value(true));
  EXPECT_EQ(book_.FindCell(1, 1, 3)->value, Value(std::string("text")));
  EXPECT_EQ(book_.FindCell(1, 1, 4)->value, Value(7.0));  // quoting does not make text
  // A formula stays a formula when it parses; when it does not, it is kept as text.
  const Cell* broken = book_.FindCell(1, 1, 6);
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->value, Value(std::string("=)broken(")));
  EXPECT_EQ(broken->formula, nullptr);
  EXPECT_EQ(book_.FindCell(1, 1, 7)->value, Value(std::string("\xC3\xA9t\xC3\xA9")));
}

TEST_F(CsvRead, LimitsAreChecked) {
  std::string wide;
  for (int i = 0; i < 16385; ++i) wide += "1,";
  test::WriteBytes(dir_.File("wide.csv"), wide);
  EXPECT_THROW(ReadWorkbookFile(book_, dir_.File("wide.csv"), kFileTypeAny), GridError);
  test::WriteBytes(dir_.File("long.csv"), std::string(32768, 'x'));
  try {
    ReadWorkbookFile(book_, dir_.File("long.csv"), kFileTypeAny);
    ADD_FAILURE();
  } catch (const GridError& e) {
    EXPECT_NE(std::string(e.what()).find("longer than 32767"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("long.csv"), std::string::npos);
  }
  EXPECT_EQ(book_.SheetName(1), "Sheet1");  // the workbook stayed as it was
}

}  // namespace
}  // namespace ddt::grid::io
