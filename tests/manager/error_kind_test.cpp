// The kind of every failure, as a script reads it through ddt_last_error_kind: real files
// (missing, text named .xlsx, a truncated archive, an encrypted workbook), saves refused or
// impossible, and arguments past a limit or refused. The kind comes and goes with the text.
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "ddtable/cddt_input.h"
#include "ddtable/cddt_results.h"
#include "ddtable/ddtable.h"
#include "manager_fixture.h"

namespace ddt::manager::testing {
namespace {

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The corpus of files from other programs, beside the project; tests using it are skipped
// when it is absent.
fs::path Corpus(const std::string& name) {
  return fs::path(DDT_SOURCE_DIR) / ".." / "shared" / "corpus" / "poi" / name;
}

class ErrorKindTest : public ManagerTest {
 protected:
  void TearDown() override {
    for (CDDTResults* r : results_) close_results(r);
    for (CDDTInput* i : inputs_) close_input_workbook(i);
  }
  // The kind open_workbook leaves for a file; the workbook comes back empty all the same.
  ddt_error_kind OpenKind(const fs::path& file) {
    inputs_.push_back(open_workbook(file.string().c_str()));
    const ddt_error_kind kind = ddt_last_error_kind();
    text_ = ddt_last_error();
    EXPECT_NE(inputs_.back(), nullptr);
    EXPECT_NE(text_.find(file.string()), std::string::npos) << text_;
    EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(inputs_.back())), 0) << file;
    return kind;
  }
  CDDTResults* Results(const fs::path& file) {
    results_.push_back(open_results(file.string().c_str(), 1, nullptr, nullptr));
    return results_.back();
  }
  std::string GoodFile() {
    const fs::path path = Path("good.xlsx");
    WriteWorkbook(path, {{"Login", {"User", "Note"}, {{"alice", "x"}, {"bob", "y"}}}});
    return path.string();
  }

  std::vector<CDDTInput*> inputs_;
  std::vector<CDDTResults*> results_;
  std::string text_;  // the last error OpenKind saw
};

TEST_F(ErrorKindTest, FilesThatCannotBeReadSayWhatIsWrongWithThem) {
  EXPECT_EQ(OpenKind(Path("missing.xlsx")), DDT_ERROR_MISSING);
  EXPECT_EQ(OpenKind(Path("no/such/folder/missing.xlsx")), DDT_ERROR_MISSING);

  WriteFileBytes(Path("text.xlsx"), "User;Note\nalice;x\n");
  EXPECT_EQ(OpenKind(Path("text.xlsx")), DDT_ERROR_NOT_A_WORKBOOK);
  fs::create_directories(Path("folder.xlsx"));
  EXPECT_EQ(OpenKind(Path("folder.xlsx")), DDT_ERROR_NOT_A_WORKBOOK);
  WriteFileBytes(Path("noise.bin"), std::string("\x01\x02\x03\x00\x7f", 5));
  EXPECT_EQ(OpenKind(Path("noise.bin")), DDT_ERROR_NOT_A_WORKBOOK);

  const std::string bytes = ReadFileBytes(GoodFile());
  WriteFileBytes(Path("truncated.xlsx"), bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(OpenKind(Path("truncated.xlsx")), DDT_ERROR_DAMAGED);
  WriteFileBytes(Path("empty.xlsx"), "");
  EXPECT_EQ(OpenKind(Path("empty.xlsx")), DDT_ERROR_DAMAGED);

  // The next successful call clears text and kind together.
  inputs_.push_back(open_workbook(GoodFile().c_str()));
  EXPECT_STREQ(ddt_last_error(), "");
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NONE);
}

TEST_F(ErrorKindTest, EncryptedWorkbooksAreToldApartFromDamagedOnes) {
  // A password-protected .xlsx (an encrypted package in an OLE2 container) and an .xls
  // with a password, both saved by a spreadsheet program.
  const fs::path xlsx = Corpus("protected_passtika.xlsx");
  const fs::path xls = Corpus("password.xls");
  if (!fs::exists(xlsx) || !fs::exists(xls)) GTEST_SKIP() << "no corpus beside the project";
  const fs::path copy = Path("secret.xlsx");
  fs::copy_file(xlsx, copy);
  EXPECT_EQ(OpenKind(copy), DDT_ERROR_ENCRYPTED) << text_;
  EXPECT_NE(text_.find("encrypted"), std::string::npos) << text_;
  fs::copy_file(xls, Path("secret.xls"));
  EXPECT_EQ(OpenKind(Path("secret.xls")), DDT_ERROR_ENCRYPTED) << text_;
  // The same container holding no encrypted package stays "not an .xlsx workbook".
  fs::copy_file(Corpus("password.xls"), Path("renamed.xlsx"));
  EXPECT_EQ(OpenKind(Path("renamed.xlsx")), DDT_ERROR_NOT_A_WORKBOOK) << text_;
}

TEST_F(ErrorKindTest, RefusedAndImpossibleSavesSayWhy) {
  const fs::path file = Path("res.xlsx");
  WriteWorkbook(file, {{"Login", {"User"}, {{"old"}}}});
  CDDTResults* results = Results(file);
  ASSERT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(results)), 1);
  ASSERT_EQ(prm_set_cell(reinterpret_cast<CDT*>(results), "Login", 1, "User", "mine"), 0);

  // Another program holds the file open: its lock file is beside it.
  const fs::path lock = Path(".~lock.res.xlsx#");
  WriteFileBytes(lock, ",someone,host,07.12.2026 12:00,file:///home/someone/.config/x;");
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_LOCKED) << ddt_last_error();
  fs::remove(lock);

  // Someone else wrote the file since it was read.
  WriteWorkbook(file, {{"Login", {"User"}, {{"theirs"}}}});
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_CHANGED_ON_DISK) << ddt_last_error();

  // A folder that does not exist, and one that cannot be written.
  EXPECT_EQ(save_results_as(results, Path("no/folder/res.xlsx").string().c_str(), 0), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NOT_WRITABLE) << ddt_last_error();
  EXPECT_NE(std::string(ddt_last_error()).find("no folder"), std::string::npos);
  fs::create_directories(Path("is_a_folder.xlsx"));
  EXPECT_EQ(save_results_as(results, Path("is_a_folder.xlsx").string().c_str(), 0), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NOT_WRITABLE) << ddt_last_error();
  if (::geteuid() != 0) {  // permissions do not stop root
    fs::create_directories(Path("readonly"));
    fs::permissions(Path("readonly"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(save_results_as(results, Path("readonly/res.xlsx").string().c_str(), 0), -1);
    EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NOT_WRITABLE) << ddt_last_error();
    fs::permissions(Path("readonly"), fs::perms::owner_all);
  }

  // Under another name the save goes through, and clears the kind.
  EXPECT_EQ(save_results_as(results, Path("mine.xlsx").string().c_str(), 1), 0);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NONE);
}

TEST_F(ErrorKindTest, ArgumentsPastALimitAreToldFromRefusedOnes) {
  CDDTInput* input = open_workbook(GoodFile().c_str());
  inputs_.push_back(input);
  CDT* table = reinterpret_cast<CDT*>(input);
  char buffer[16];

  EXPECT_EQ(prm_set_cell2(table, "Login", 1, 16385, "x"), -1);  // past the last column
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_OVER_LIMIT) << ddt_last_error();
  EXPECT_EQ(prm_get_cell2(table, "Login", 1048576, 1, buffer, sizeof buffer), -1);  // row
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_OVER_LIMIT) << ddt_last_error();
  const std::string tooLong(32768, 'a');
  EXPECT_EQ(prm_set_cell2(table, "Login", 1, 1, tooLong.c_str()), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_OVER_LIMIT) << ddt_last_error();

  EXPECT_EQ(prm_get_cell2(table, "Login", 1, 0, buffer, sizeof buffer), -1);  // column 0
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_BAD_ARGUMENT) << ddt_last_error();
  EXPECT_EQ(prm_set_cell2(nullptr, "Login", 1, 1, "x"), -1);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_BAD_ARGUMENT) << ddt_last_error();

  // A result returned with part of the call undone keeps its kind with its note.
  EXPECT_EQ(prm_get_cell2(table, "Login", 1, 1, buffer, 3), 0);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_OVER_LIMIT) << ddt_last_error();
  EXPECT_EQ(prm_get_cell2(table, "Login", 1, 1, buffer, sizeof buffer), 0);
  EXPECT_EQ(ddt_last_error_kind(), DDT_ERROR_NONE);
}

}  // namespace
}  // namespace ddt::manager::testing
