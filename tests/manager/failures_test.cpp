// Failures a script meets, driven through the C functions as a script calls them: files that
// cannot be read, misspelt names, saves that would destroy other work, re-runs into an
// existing results file, and buffers cut inside a character. Every case checks the result
// and what ddt_last_error says.
#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "manager_fixture.h"
#include "ddtable/cddt_results.h"

namespace ddt::manager::testing {
namespace {

std::string LastError() { return ddt_last_error(); }

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FailureTest : public ManagerTest {
 protected:
  std::string InputFile(const std::string& note = "x") {
    const fs::path path = Path("login.xlsx");
    WriteWorkbook(path, {{"Login", {"User", "Note"}, {{"alice", note}, {"bob", "é"}}}});
    return path.string();
  }
  // Runs every row of "Login" from the input into the results workbook.
  void RunAll(CDDTInput* input, CDDTResults* results) {
    ASSERT_EQ(prepare_results(results, input), 0);
    capture_runrows(input);
    ASSERT_EQ(set_bp(input, results, "Login"), 0);
    while (next_runrow(input, results, 0, 0, 0) == 0) {
    }
  }
  void TearDown() override {
    for (CDDTResults* r : results_) close_results(r);
    for (CDDTInput* i : inputs_) close_input_workbook(i);
  }
  CDDTInput* Input(const std::string& file) {
    inputs_.push_back(open_workbook(file.c_str()));
    return inputs_.back();
  }
  CDDTResults* Results(const std::string& file) {
    results_.push_back(open_results(file.c_str(), 1, nullptr, nullptr));
    return results_.back();
  }

  std::vector<CDDTInput*> inputs_;
  std::vector<CDDTResults*> results_;
};

TEST_F(FailureTest, AnInputFileThatCannotBeReadSaysWhyAndCanBeAskedFor) {
  const std::string good = InputFile();
  std::string bytes = ReadBytes(good);
  WriteBytes(Path("truncated.xlsx"), bytes.substr(0, bytes.size() / 2));
  fs::create_directories(Path("folder.xlsx"));
  for (const std::string name : {"missing.xlsx", "truncated.xlsx", "folder.xlsx"}) {
    const std::string file = Path(name).string();
    CDDTInput* input = Input(file);
    ASSERT_NE(input, nullptr) << name;  // still a workbook, as a script expects
    EXPECT_TRUE(Mentions(LastError(), file)) << name << ": " << LastError();
    EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(input)), 0) << name;
  }
  CDDTInput* input = Input(good);
  EXPECT_EQ(LastError(), "");
  EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(input)), 1);
  EXPECT_EQ(inputs_.front()->GetFileName(), Path("missing.xlsx").string());  // name kept
  EXPECT_EQ(ddt_workbook_file_read(nullptr), -1);
  EXPECT_NE(LastError(), "");
  // Null handles name the function; the next call that succeeds clears the text.
  EXPECT_EQ(set_bp(nullptr, nullptr, "Login"), -1);
  EXPECT_TRUE(Mentions(LastError(), "set_bp")) << LastError();
  EXPECT_EQ(close_input_workbook(nullptr), -1);
  EXPECT_TRUE(Mentions(LastError(), "close_input_workbook"));
  EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(input)), 1);
  EXPECT_EQ(LastError(), "");
}

TEST_F(FailureTest, MisspeltNamesAreNamedWhileTheResultStaysAsBefore) {
  CDDTInput* input = Input(InputFile());
  CDDTResults* results = Results(Path("res.xlsx").string());
  EXPECT_EQ(LastError(), "");  // a results file that does not exist yet is no error
  ASSERT_EQ(prepare_results(results, input), 0);
  capture_runrows(input);

  EXPECT_EQ(set_bp(input, results, "Logn"), 0);
  EXPECT_TRUE(Mentions(LastError(), "\"Logn\"")) << LastError();
  ASSERT_EQ(set_bp(input, results, "Login"), 0);
  EXPECT_EQ(LastError(), "");
  ASSERT_EQ(next_runrow(input, results, 0, 0, 0), 0);

  std::array<char, 16> buffer{};
  int size = static_cast<int>(buffer.size());
  EXPECT_EQ(get_param_value(results, "Usr", buffer.data(), &size, ""), 0);
  EXPECT_STREQ(buffer.data(), "");
  EXPECT_TRUE(Mentions(LastError(), "\"Usr\"")) << LastError();
  size = static_cast<int>(buffer.size());
  EXPECT_EQ(get_param_value(results, "User", buffer.data(), &size, ""), 0);
  EXPECT_STREQ(buffer.data(), "alice");
  EXPECT_EQ(LastError(), "");
  size = static_cast<int>(buffer.size());
  EXPECT_EQ(get_param_value(results, "User", buffer.data(), &size, "NoTable"), 0);
  EXPECT_TRUE(Mentions(LastError(), "Login.NoTable")) << LastError();

  // Cells: an unknown sheet falls back to the current one and says so; an unknown
  // parameter fails and says which.
  EXPECT_EQ(prm_get_cell(reinterpret_cast<CDT*>(input), "Logn", 1, "User", buffer.data(),
                         static_cast<int>(buffer.size())),
            0);
  EXPECT_STREQ(buffer.data(), "alice");
  EXPECT_TRUE(Mentions(LastError(), "\"Logn\"")) << LastError();
  EXPECT_EQ(prm_set_cell(reinterpret_cast<CDT*>(input), "Login", 1, "Usr", "v"), -1);
  EXPECT_TRUE(Mentions(LastError(), "\"Usr\"")) << LastError();
  EXPECT_EQ(get_parameter_count(results, "NoTable"), 0);
  EXPECT_TRUE(Mentions(LastError(), "Login.NoTable")) << LastError();
}

TEST_F(FailureTest, AnUnchangedResultsWorkbookIsWrittenWhenItsFileIsMissing) {
  CDDTResults* results = Results(Path("res.xlsx").string());
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(save_results_as(results, "", 0), 0) << LastError();
  EXPECT_TRUE(fs::exists(Path("res.xlsx")));
  // Now the file holds it: saving again writes nothing and succeeds.
  const auto written = fs::last_write_time(Path("res.xlsx"));
  EXPECT_EQ(save_results_as(results, "", 0), 0);
  EXPECT_EQ(fs::last_write_time(Path("res.xlsx")), written);
  // Deleted behind its back, it is written again.
  fs::remove(Path("res.xlsx"));
  EXPECT_EQ(save_results_as(results, "", 0), 0);
  EXPECT_TRUE(fs::exists(Path("res.xlsx")));
}

TEST_F(FailureTest, TwoRunsSavingOneFileDoNotOverwriteEachOther) {
  const std::string file = Path("res.xlsx").string();
  CDDTInput* input = Input(InputFile());
  CDDTResults* first = Results(file);
  CDDTResults* second = Results(file);
  RunAll(input, first);
  RunAll(input, second);
  ASSERT_EQ(save_results_as(first, "", 0), 0);
  const std::string kept = ReadBytes(file);
  EXPECT_EQ(save_results_as(second, "", 0), -1);
  EXPECT_TRUE(Mentions(LastError(), file)) << LastError();
  EXPECT_EQ(ReadBytes(file), kept);
  // The refused workbook is still changed and goes to another name.
  EXPECT_EQ(save_results_as(second, Path("res2.xlsx").c_str(), 1), 0);
  EXPECT_EQ(LastError(), "");
  // The first run's workbook goes on saving its own file.
  EXPECT_EQ(prm_set_cell(reinterpret_cast<CDT*>(first), "Login", 1, "Note", "later"), 0);
  EXPECT_EQ(save_results_as(first, "", 0), 0);
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  EXPECT_EQ(back.GetParamValue(1, "Note", "Login"), "later");
}

TEST_F(FailureTest, AFileChangedOnDiskSinceItWasReadIsNotOverwritten) {
  const std::string file = Path("res.xlsx").string();
  WriteWorkbook(file, {{"Login", {"User"}, {{"old"}}}});
  CDDTResults* results = Results(file);
  ASSERT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(results)), 1);
  WriteWorkbook(file, {{"Login", {"User"}, {{"someone else's"}}}});
  const std::string theirs = ReadBytes(file);
  // Unchanged here, changed there: the file does not hold this workbook, and is kept.
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_TRUE(Mentions(LastError(), "changed on disk")) << LastError();
  EXPECT_EQ(prm_set_cell(reinterpret_cast<CDT*>(results), "Login", 1, "User", "mine"), 0);
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_EQ(ReadBytes(file), theirs);
}

TEST_F(FailureTest, AFileHeldOpenByAnotherProgramIsNotOverwritten) {
  const std::string file = Path("res.xlsx").string();
  CDDTInput* input = Input(InputFile());
  CDDTResults* results = Results(file);
  RunAll(input, results);
  const fs::path lock = Path(".~lock.res.xlsx#");
  WriteBytes(lock, ",someone,host,07.12.2026 12:00,file:///home/someone/.config/libreoffice/4;");
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_TRUE(Mentions(LastError(), ".~lock.res.xlsx#")) << LastError();
  EXPECT_FALSE(fs::exists(file));
  fs::remove(lock);
  EXPECT_EQ(save_results_as(results, "", 0), 0);
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(FailureTest, AnExistingFileThatCouldNotBeReadIsNotOverwritten) {
  const std::string file = Path("res.xlsx").string();
  WriteBytes(file, "PK\x03\x04 damaged");
  CDDTResults* results = Results(file);
  ASSERT_NE(results, nullptr);
  EXPECT_TRUE(Mentions(LastError(), file)) << LastError();
  EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(results)), 0);
  EXPECT_EQ(save_results_as(results, "", 0), -1);
  EXPECT_TRUE(Mentions(LastError(), "could not be read")) << LastError();
  EXPECT_EQ(ReadBytes(file), "PK\x03\x04 damaged");
}

TEST_F(FailureTest, AnEmptyOrTextFileNamedAsAWorkbookIsNotARunOfNoRows) {
  WriteBytes(Path("empty.xlsx"), "");
  WriteBytes(Path("text.xlsx"), "User,Note\nalice,x\n");
  for (const auto& [name, reason] : {std::pair<std::string, std::string>{"empty.xlsx", "empty file"},
                                     {"text.xlsx", "not an .xlsx workbook: it looks like text"}}) {
    const std::string file = Path(name).string();
    CDDTInput* input = Input(file);
    ASSERT_NE(input, nullptr);
    EXPECT_TRUE(Mentions(LastError(), file)) << LastError();
    EXPECT_TRUE(Mentions(LastError(), reason)) << LastError();
    EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(input)), 0) << name;
  }
  // A results file made empty beforehand (a temporary file) holds nothing to lose: the
  // run's results are written into it.
  const std::string file = Path("empty.xlsx").string();
  CDDTResults* results = Results(file);
  EXPECT_TRUE(Mentions(LastError(), "empty file")) << LastError();
  RunAll(Input(InputFile()), results);
  EXPECT_EQ(save_results_as(results, "", 0), 0) << LastError();
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  EXPECT_EQ(back.GetParamValue(2, "User", "Login"), "bob");
}

TEST_F(FailureTest, ARerunIntoTheSameResultsFileReusesColumnsAndRows) {
  const std::string file = Path("res.xlsx").string();
  for (const std::string note : {"first", "second"}) {
    CDDTInput* input = Input(InputFile(note));
    CDDTResults* results = Results(file);
    RunAll(input, results);
    ASSERT_EQ(save_results_as(results, "", 0), 0) << note << ": " << LastError();
  }
  CDT back(nullptr, CDT::DT_TYPE_QX, file);
  ASSERT_NE(back.GetHeaderList("Login"), nullptr);
  EXPECT_EQ(*back.GetHeaderList("Login"), (CStringList{"User", "Note"}));
  EXPECT_EQ(back.GetParamValue(1, "Note", "Login"), "second");
  EXPECT_EQ(back.GetParamValue(2, "User", "Login"), "bob");
  EXPECT_EQ(get_last_res_row(&back, "Login"), 2);
}

TEST_F(FailureTest, BufferCutsNeverSplitACharacter) {
  CDDTInput* input = Input(InputFile("aé"));
  CDDTResults* results = Results(Path("res.xlsx").string());
  ASSERT_EQ(prepare_results(results, input), 0);
  capture_runrows(input);
  ASSERT_EQ(set_bp(input, results, "Login"), 0);
  ASSERT_EQ(next_runrow(input, results, 0, 0, 0), 0);  // row 1: Note = "aé"
  std::array<char, 8> buffer;
  // "aé" is 3 bytes; 2 bytes of room would end in half of "é".
  buffer.fill('\x7f');
  int size = 3;
  EXPECT_EQ(get_param_value(results, "Note", buffer.data(), &size, ""), -1);
  EXPECT_STREQ(buffer.data(), "a");
  EXPECT_EQ(buffer[2], '\0');
  EXPECT_EQ(buffer[3], '\x7f');
  EXPECT_EQ(size, 3);
  EXPECT_TRUE(Mentions(LastError(), "cut")) << LastError();

  buffer.fill('\x7f');
  EXPECT_EQ(prm_get_cell(reinterpret_cast<CDT*>(input), "Login", 2, "Note", buffer.data(), 2), 0);
  EXPECT_STREQ(buffer.data(), "");  // "é" does not fit in 1 byte at all
  EXPECT_TRUE(Mentions(LastError(), "cut")) << LastError();

  std::string name = "pé";
  std::vector<std::vector<std::string>> table{{name}, {"v"}};
  ASSERT_EQ(table2sheet(table, input, "Login.T"), 1);
  ASSERT_EQ(prepare_results(results, input), 0);
  ASSERT_EQ(set_bp(input, results, "Login"), 0);
  buffer.fill('\x7f');
  EXPECT_EQ(get_parameter_name(results, "T", 1, buffer.data(), 3), 0);
  EXPECT_STREQ(buffer.data(), "p");
  EXPECT_TRUE(Mentions(LastError(), "cut")) << LastError();
}

}  // namespace
}  // namespace ddt::manager::testing
