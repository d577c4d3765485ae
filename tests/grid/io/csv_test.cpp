// Comma-separated text.
#include <gtest/gtest.h>

#include "grid/io/csv/csv_dialect.h"
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
  EXPECT_EQ(book_.FindCell(1, 1, 4)->value, Value(std::string("007")));  // quoted: text
  // A formula stays a formula when it parses; when it does not, it is kept as text.
  const Cell* broken = book_.FindCell(1, 1, 6);
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->value, Value(std::string("=)broken(")));
  EXPECT_EQ(broken->formula, nullptr);
  EXPECT_EQ(book_.FindCell(1, 1, 7)->value, Value(std::string("\xC3\xA9t\xC3\xA9")));
}

TEST_F(CsvRead, AQuotedFieldIsTextAndAnUnquotedOneIsTyped) {
  Read("\"007\",007,\"4111111111111111\",4111111111111111,\"=1+1\",\"TRUE\",\"'x\",\"12.5\"\n");
  EXPECT_EQ(book_.FindCell(1, 1, 1)->value, Value(std::string("007")));
  EXPECT_EQ(book_.FindCell(1, 1, 2)->value, Value(7.0));
  EXPECT_EQ(book_.FindCell(1, 1, 3)->value, Value(std::string("4111111111111111")));
  EXPECT_EQ(book_.FindCell(1, 1, 4)->value, Value(4111111111111111.0));
  const Cell* formula = book_.FindCell(1, 1, 5);
  EXPECT_EQ(formula->value, Value(std::string("=1+1")));
  EXPECT_EQ(formula->formula, nullptr);
  EXPECT_EQ(book_.FindCell(1, 1, 6)->value, Value(std::string("TRUE")));
  EXPECT_EQ(book_.FindCell(1, 1, 7)->value, Value(std::string("'x")));
  EXPECT_EQ(book_.GetFormattedText(1, 1, 8), "12.5");
  EXPECT_EQ(book_.FindCell(1, 1, 8)->value, Value(std::string("12.5")));
}

TEST_F(CsvRead, TheSeparatorIsTheOneTheRecordsAgreeOn) {
  struct Case {
    const char* text;
    const char* second;  // the field (1, 2)
  };
  const Case cases[] = {
      {"a;b;c\n1,5;2,5;3\n", "b"},                 // semicolons with decimal commas
      {"a,b\n\"x;y\",2\n\"p;q\",3\n", "b"},        // semicolons inside quotes do not count
      {"a\tb c\t\"d,e\"\n1\t2\t3\n", "b c"},       // tab
      {"name;note\nalice;\"x\ny;z\"\nbob;w\n", "note"},  // a line break inside quotes
      {"a,b;c\n", "c"},                            // one record split both ways: semicolon
      {"single\ncolumn\n", nullptr},               // nothing splits: one column
  };
  for (const Case& c : cases) {
    Read(c.text);
    if (c.second == nullptr) {
      EXPECT_EQ(book_.FindCell(1, 1, 2), nullptr) << c.text;
      EXPECT_EQ(Entry(2, 1), "column") << c.text;
    } else {
      EXPECT_EQ(Entry(1, 2), c.second) << c.text;
    }
  }
  Read("name;note\nalice;\"x\ny;z\"\nbob;w\n");
  EXPECT_EQ(Entry(2, 2), "x\ny;z");
  EXPECT_EQ(Entry(3, 1), "bob");
  Read("a;b\r\n1,5;x\r\n");
  EXPECT_EQ(Entry(2, 1), "1,5");  // not a number: the comma is no decimal point here
}

TEST_F(CsvRead, EncodingsAreRecognisedAndWindows1252IsNoted) {
  static const char le[] = "\xFF\xFE" "a\0;\0\xE9\0\n\0=\xD8\x00\xDE";  // "a;é\n" and U+1F600
  Read(std::string(le, sizeof le - 1), "le.csv");
  EXPECT_EQ(Entry(1, 1), "a");
  EXPECT_EQ(Entry(1, 2), "\xC3\xA9");
  EXPECT_EQ(Entry(2, 1), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(book_.LastReadNotes().empty());
  Read(std::string("\xFE\xFF\0a\0,\0\"\0b\0,\0\"", 14), "be.csv");
  EXPECT_EQ(Entry(1, 2), "b,");
  // Not UTF-8: Windows-1252, with a note that the command shows.
  Read("caf\xE9;\x80" "5\n", "ansi.csv");
  EXPECT_EQ(Entry(1, 1), "caf\xC3\xA9");
  EXPECT_EQ(Entry(1, 2), "\xE2\x82\xAC" "5");
  ASSERT_EQ(book_.LastReadNotes().size(), 1u);
  EXPECT_NE(book_.LastReadNotes()[0].find("Windows-1252"), std::string::npos);
  Read("caf\xC3\xA9\n", "utf8.csv");
  EXPECT_EQ(Entry(1, 1), "caf\xC3\xA9");
  EXPECT_TRUE(book_.LastReadNotes().empty());
}

// Files LibreOffice wrote from one workbook in three dialects (make_csv_fixtures.sh).
TEST_F(CsvRead, FilesWrittenByLibreOfficeReadTheSame) {
  for (const char* name : {"orders_semicolon_utf8.csv", "orders_tab_windows1252.csv",
                           "orders_comma_utf16.csv"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(ReadWorkbookFile(book_, test::DataFile(name), kFileTypeAny), kFileTypeCsv);
    EXPECT_EQ(Entry(1, 5), "Note");
    EXPECT_EQ(book_.FindCell(1, 2, 1)->value, Value(std::string("007")));
    EXPECT_EQ(book_.FindCell(1, 2, 2)->value, Value(std::string("4111111111111111")));
    EXPECT_EQ(book_.FindCell(1, 2, 3)->value, Value(12.5));
    EXPECT_EQ(Entry(2, 4), "Zo\xC3\xAB Caf\xC3\xA9");
    EXPECT_EQ(Entry(2, 5), "say \"hi\"; then go");
    EXPECT_EQ(Entry(3, 4), "J\xC3\xBCrgen \xC3\x98ster");
    EXPECT_EQ(Entry(3, 5), "a,b");
    EXPECT_EQ(book_.FindCell(1, 4, 2), nullptr);
    EXPECT_EQ(Entry(4, 4), "\xE2\x82\xAC" "uro");
    EXPECT_EQ(book_.LastReadNotes().size(), std::string(name).find("1252") != std::string::npos ? 1u : 0u);
  }
}

TEST_F(CsvRead, QuotedFieldsComeBackAsTheSameText) {
  const std::vector<std::string> texts = {"007", "4111111111111111", "12.5", "TRUE", "=1+1",
                                          "'lead", "plain", "a,b", "a;b", "say \"hi\"",
                                          "two\nlines", " padded ", "50%", "#N/A", "x"};
  std::string line;
  for (const std::string& t : texts) line += (line.empty() ? "" : ",") + QuoteCsvField(t);
  EXPECT_EQ(QuoteCsvField("plain"), "plain");  // only what needs it is quoted
  EXPECT_EQ(QuoteCsvField("a;b", ';'), "\"a;b\"");
  Read(line + "\r\n");
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(book_.FindCell(1, 1, static_cast<int>(i + 1))->value, Value(texts[i])) << texts[i];
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
