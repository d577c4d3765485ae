// The run journal behind the save-after-every-row setting: the file format (torn and damaged
// tails), rows and verified outputs going into the journal instead of the workbook file,
// folding at save and close, recovery on open, and a run killed at random points.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "results/journal.h"
#include "results/results_limits.h"
#include "results_fixture.h"
#include "support/config_dir.h"

namespace ddt::results::testing {
namespace {

namespace fs = std::filesystem;

JournalCell MakeCell(const std::string& sheet, int row, int col, const std::string& entry) {
  // Entries beginning with "=" are formulas; "#" a number, "!" an error; others text.
  JournalCell cell;
  cell.sheet = sheet;
  cell.row = row;
  cell.col = col;
  cell.name = "n" + std::to_string(col);
  if (!entry.empty() && entry[0] == '=') cell.formula = entry;
  else if (!entry.empty() && entry[0] == '#')
    cell.value = engine::CellData::Number(std::stod(entry.substr(1)));
  else if (entry == "!")
    cell.value = engine::CellData::Error(engine::kMaxErrorCode);  // #N/A
  else
    cell.value = engine::CellData::Text(entry);
  cell.style.numberFormat = "0.00";
  cell.style.pattern = 1;
  cell.style.patternFg = 0x00FF00;
  cell.style.bottom.style = 2;
  return cell;
}

// A scratch directory that is also the configuration directory, with the setting given.
class JournalDir : public ddt::test::ConfigDir {
 public:
  explicit JournalDir(bool saveEveryRow) : ddt::test::ConfigDir("ddt_journal") {
    Write("qxctl.ini", std::string("[TessaroSAP]\nSaveResultsSpreadSheetFile=") +
                           (saveEveryRow ? "1" : "0") + "\n");
  }
};

// The errors of dynamic arrays (#SPILL!, #CALC!) are values a row can end with: a journal
// that holds them reads back whole, so a resumed run keeps those rows.
TEST(JournalFile, ArrayErrorsComeBack) {
  JournalDir dir(false);
  const std::string path = dir.File("r.xlsx.journal");
  JournalCell spill = MakeCell("A", 2, 1, "!"), calc = MakeCell("A", 2, 2, "!");
  spill.value = engine::CellData::Error(9);
  calc.value = engine::CellData::Error(14);
  {
    RunJournal journal(path);
    ASSERT_TRUE(journal.Append({spill, calc}));
    ASSERT_TRUE(journal.Append({MakeCell("A", 3, 1, "after")}));
  }
  const auto records = RunJournal::Read(path);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0][0].value, engine::CellData::Error(9));
  EXPECT_EQ(records[0][1].value, engine::CellData::Error(14));
}

TEST(JournalFile, RecordsComeBackAndATornOrDamagedTailIsDropped) {
  JournalDir dir(false);
  const std::string path = dir.File("r.xlsx.journal");
  EXPECT_TRUE(RunJournal::Read(path).empty());  // no file
  {
    RunJournal journal(path);
    ASSERT_TRUE(journal.Append({MakeCell("A", 2, 1, "x"), MakeCell("Global", 2, 3, "=1+1")}));
    ASSERT_TRUE(journal.Append({MakeCell("A", 3, 1, std::string("a\0b", 3)),
                                MakeCell("A", 3, 2, "#0.1"), MakeCell("A", 3, 3, "!"),
                                MakeCell("A", 3, 4, "#-1e300")}));
    ASSERT_TRUE(journal.Append({MakeCell("A", 4, 1, "last")}));
  }
  auto records = RunJournal::Read(path);
  ASSERT_EQ(records.size(), 3u);
  ASSERT_EQ(records[0].size(), 2u);
  EXPECT_EQ(records[0][1].sheet, "Global");
  EXPECT_EQ(records[0][1].formula, "=1+1");
  EXPECT_EQ(records[0][1].name, "n3");
  EXPECT_EQ(records[0][1].style, MakeCell("", 0, 0, "").style);
  EXPECT_EQ(records[1][0].value, engine::CellData::Text(std::string("a\0b", 3)));
  EXPECT_EQ(records[1][1].value, engine::CellData::Number(0.1));  // every bit of the number
  EXPECT_EQ(records[1][2].value, engine::CellData::Error(engine::kMaxErrorCode));
  EXPECT_EQ(records[1][3].value, engine::CellData::Number(-1e300));

  // Torn inside the last record: the first two stay.
  const auto size = fs::file_size(path);
  fs::resize_file(path, size - 3);
  records = RunJournal::Read(path);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1][0].row, 3);

  // A damaged byte in the second record ends the journal before it.
  const std::size_t first = EncodeRecord(RunJournal::Read(path)[0]).size();
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(first + 20));
    f.put('#');
  }
  records = RunJournal::Read(path);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0][0].value, engine::CellData::Text("x"));

  EXPECT_TRUE(RunJournal(path).Remove());
  EXPECT_FALSE(fs::exists(path));
}

class JournalRun : public ResultsTest {
 protected:
  void Start(const std::string& file, int rows = 20) {
    input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p", "q", "out"}}}, rows);
    input_->SetRunRows({{"A", {{1, rows}}}});
    results_ = Prepared(CDT::DT_TYPE_QX, *input_);
    ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
    ASSERT_EQ(results_->Save(file, 1), 0);
  }
  // The file as it stands on disk, read without recovery.
  std::string OnDisk(const std::string& file, long row, const std::string& param) {
    TestInput copy(&host_, CDT::DT_TYPE_QX);
    EXPECT_EQ(copy.Open(file), 0);
    return copy.GetParamValue(row, param, "A");
  }
  std::unique_ptr<TestInput> input_;
  std::unique_ptr<TestResults> results_;
};

TEST_F(JournalRun, RowsAndOutputsGoToTheJournalAndAreRecoveredOnOpen) {
  JournalDir dir(true);
  const std::string file = dir.File("results.xlsx");
  const std::string journal = JournalPath(file);
  Start(file);
  // A number with a format of its own, copied (format included) into a journaled row.
  input_->SetParamValue(3, "p", "2.5", "A", 0);
  input_->m_pEngine->SetSheet(static_cast<int>(input_->GetSheetIndex("A")));
  input_->m_pEngine->SetSelection(3, 1, 3, 1);
  input_->m_pEngine->SetNumberFormat("0.00");
  ASSERT_EQ(input_->GetParamValue(3, "p", "A"), "2.50");
  // The first row starts the journal with one full save.
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(OnDisk(file, 1, "p"), "A:p:1");
  const auto stamp = fs::last_write_time(file);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    EXPECT_EQ(results_->SetAndVerifyOutput("<out>", " got ", "got", true), kVerifyMatch);
  }
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->SetAndVerifyOutput("<out>", "bad", "good", true), kVerifyMismatch);
  // The workbook file was not written again; the rows are in the journal.
  EXPECT_EQ(fs::last_write_time(file), stamp);
  EXPECT_EQ(OnDisk(file, 3, "p"), "");
  ASSERT_TRUE(fs::exists(journal));
  EXPECT_EQ(RunJournal::Read(journal).size(), 8u);

  // Another results workbook opening the file (as after a crash) recovers every row.
  auto recovered = MakeResults(CDT::DT_TYPE_QX);
  ASSERT_EQ(recovered->Open(file), 0);
  EXPECT_EQ(recovered->GetParamValue(3, "p", "A"), "2.50");
  for (long row = 1; row <= 5; ++row) {
    if (row == 3) continue;
    EXPECT_EQ(recovered->Value("A", row, "p"), "A:p:" + std::to_string(row)) << row;
    EXPECT_EQ(recovered->Value("A", row, "q"), "A:q:" + std::to_string(row)) << row;
    EXPECT_EQ(recovered->Value("Global", row, "Iter"), std::to_string(row)) << row;
  }
  EXPECT_EQ(recovered->Value("A", 4, "out"), "got");
  EXPECT_EQ(recovered->Value("A", 5, "out"), "bad");
  EXPECT_EQ(recovered->Value("A", 6, "p"), "");
  // Folded into the file and removed.
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(OnDisk(file, 5, "p"), "A:p:5");
}

TEST_F(JournalRun, SaveAndCloseFoldTheJournalIntoTheFile) {
  JournalDir dir(true);
  const std::string file = dir.File("results.xlsx");
  const std::string journal = JournalPath(file);
  Start(file);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  ASSERT_TRUE(fs::exists(journal));
  ASSERT_EQ(results_->Save("", 1), 0);
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(OnDisk(file, 3, "p"), "A:p:3");

  // Journaling starts again after the save; closing the workbook folds it.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  ASSERT_TRUE(fs::exists(journal));
  EXPECT_EQ(OnDisk(file, 6, "p"), "");
  results_.reset();
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(OnDisk(file, 6, "p"), "A:p:6");
}

TEST_F(JournalRun, SettingOffOrNoFileNameWritesNoJournal) {
  {
    JournalDir dir(false);
    const std::string file = dir.File("results.xlsx");
    Start(file);
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
    EXPECT_FALSE(fs::exists(JournalPath(file)));
    EXPECT_EQ(OnDisk(file, 2, "p"), "");
    results_.reset();
  }
  JournalDir dir(true);
  input_ = MakeInput(CDT::DT_TYPE_QX, {{"A", {"p"}}}, 3);
  input_->SetRunRows({{"A", {{1, 3}}}});
  results_ = Prepared(CDT::DT_TYPE_QX, *input_);
  ASSERT_EQ(results_->SetScope(input_.get(), "A"), 0);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  ASSERT_EQ(results_->CopyNextRunRow(input_.get(), 0, 1, 1), 0);
  EXPECT_EQ(results_->Value("A", 2, "p"), "A:p:2");
  // Without a file name there is nothing to save and nowhere to put a journal.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(dir.File("qxctl.ini")).parent_path()))
    files.push_back(entry.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"qxctl.ini"});
}

// A child runs rows and reports each one through a pipe once CopyNextRunRow (and the output
// written after it) has returned; it is killed at a random point. Every row it reported must
// be in the workbook recovered from file and journal.
TEST_F(JournalRun, EveryAcknowledgedRowSurvivesAKill) {
  JournalDir dir(true);
  std::mt19937 random(12345);
  for (int round = 0; round < 4; ++round) {
    const std::string file = dir.File("kill" + std::to_string(round) + ".xlsx");
    // Each row is copied once, so an acknowledged row never changes afterwards.
    Start(file, 40);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      for (;;) {
        if (results_->CopyNextRunRow(input_.get(), 0, 1, 1) != 0) {
          for (;;) ::pause();  // every row done: wait for the kill
        }
        const long row = results_->GetCurrRunRow("");
        const std::string out = "out" + std::to_string(row);
        if (results_->SetAndVerifyOutput("<out>", out.c_str(), out.c_str(), true) != kVerifyMatch)
          ::_exit(4);
        const int32_t ack = static_cast<int32_t>(row);
        if (::write(pipeFds[1], &ack, sizeof ack) != sizeof ack) ::_exit(5);
      }
    }
    ::close(pipeFds[1]);
    // Wait for a random number of acknowledgements, then a random moment more, then kill.
    const int wanted = std::uniform_int_distribution<int>(1, 25)(random);
    std::set<long> acked;
    int got = 0;
    int32_t ack = 0;
    while (got < wanted && ::read(pipeFds[0], &ack, sizeof ack) == sizeof ack) {
      acked.insert(ack);
      ++got;
    }
    ASSERT_EQ(got, wanted) << "the child stopped early";
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
    ::kill(child, SIGKILL);
    while (::read(pipeFds[0], &ack, sizeof ack) == sizeof ack) acked.insert(ack);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

    auto recovered = MakeResults(CDT::DT_TYPE_QX);
    ASSERT_EQ(recovered->Open(file), 0);
    for (long row : acked) {
      EXPECT_EQ(recovered->Value("A", row, "p"), "A:p:" + std::to_string(row))
          << "round " << round << " row " << row;
      EXPECT_EQ(recovered->Value("A", row, "out"), "out" + std::to_string(row))
          << "round " << round << " row " << row;
    }
    EXPECT_FALSE(fs::exists(JournalPath(file)));
    results_.reset();
    input_.reset();
  }
}

}  // namespace
}  // namespace ddt::results::testing
