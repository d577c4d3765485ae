// Reading a workbook file while another process replaces or rewrites it: every read either
// gives one whole version of the file or fails with the grid's error; nothing crashes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "reliability_util.h"

namespace ddt::reliability {
namespace {

namespace fs = std::filesystem;

constexpr int kReads = 150;
constexpr int kRowsA = 400, kRowsB = 40, kCols = 4;

class ReplacedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    grid::Workbook a, b;
    FillWorkbook(a, "A", kRowsA, kCols);
    FillWorkbook(b, "B", kRowsB, kCols);
    a.WriteFile(dir_.File("a.xlsx"), grid::io::kFileTypeXlsx);
    b.WriteFile(dir_.File("b.xlsx"), grid::io::kFileTypeXlsx);
    fs::copy_file(dir_.File("a.xlsx"), target_);
  }
  // Starts a process that changes the target in a loop until it is killed.
  void StartChanger(bool inPlace) {
    inPlace_ = inPlace;
    changer_ = ::fork();
    if (changer_ != 0) return;
    const std::string versions[] = {dir_.File("a.xlsx"), dir_.File("b.xlsx")};
    for (unsigned i = 0;; ++i) {
      const std::string& from = versions[i % 2];
      if (inPlace) {
        // Truncate and write again, as a careless program would: readers see partial files.
        std::error_code ec;
        fs::copy_file(from, target_, fs::copy_options::overwrite_existing, ec);
      } else {
        const std::string tmp = target_ + ".next";
        std::error_code ec;
        fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
        std::rename(tmp.c_str(), target_.c_str());
      }
    }
  }
  void TearDown() override {
    if (changer_ > 0) {
      ::kill(changer_, SIGKILL);
      ::waitpid(changer_, nullptr, 0);
    }
  }
  // Reads the target kReads times; counts whole reads of each version and refusals.
  void ReadMany(int& a, int& b, int& refused) {
    a = b = refused = 0;
    for (int i = 0; i < kReads; ++i) {
      grid::Workbook book;
      book.SetEntry(1, 1, 1, "before");
      try {
        book.ReadFile(target_, grid::io::kFileTypeAny);
      } catch (const grid::GridError& e) {
        if (refused++ == 0) firstRefusal_ = e.what();
        ASSERT_EQ(book.GetEntry(1, 1, 1), "before") << "a refused read changed the workbook";
        continue;
      }
      const std::string marker = book.GetEntry(1, 1, 1);
      if (inPlace_ && marker.empty() && book.SheetCount() == 1) {
        ++empty_;  // caught just after truncation: an empty file reads as an empty workbook
        continue;
      }
      const int rows = marker == "A" ? kRowsA : kRowsB;
      ASSERT_TRUE(marker == "A" || marker == "B") << "read \"" << marker << "\"";
      ASSERT_EQ(book.GetEntry(1, rows, 1), std::to_string(rows * 100 + 1)) << marker;
      ASSERT_EQ(book.GetEntry(1, rows, kCols), "text " + std::to_string(rows)) << marker;
      ASSERT_TRUE(book.GetEntry(1, rows + 1, 1).empty()) << marker;
      ++(marker == "A" ? a : b);
    }
  }

  ScratchDir dir_;
  std::string target_ = dir_.File("book.xlsx");
  pid_t changer_ = -1;
  std::string firstRefusal_;
  bool inPlace_ = false;
  int empty_ = 0;
};

// Renames are atomic: every read opens one whole version, so none may fail.
TEST_F(ReplacedFile, ReplacedByRenameAlwaysReadsWhole) {
  StartChanger(false);
  int a, b, refused;
  ReadMany(a, b, refused);
  EXPECT_EQ(refused, 0) << firstRefusal_;
  EXPECT_EQ(a + b, kReads);
}

// Rewritten in place: a read may see a truncated or mixed file and must refuse it cleanly.
TEST_F(ReplacedFile, RewrittenInPlaceReadsWholeOrRefuses) {
  StartChanger(true);
  int a, b, refused;
  ReadMany(a, b, refused);
  EXPECT_EQ(a + b + refused + empty_, kReads);
}


// A text file that turns binary past the part looked at to recognise it (what a reader sees
// of a file rewritten in place) is refused, not read as text.
TEST(ReplacedFileText, ControlBytesAfterTheRecognisedPartAreRefused) {
  ScratchDir dir;
  const std::string path = dir.File("table.csv");
  std::string text;
  while (text.size() < 70000) text += "a,b\n";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fwrite("PK\x03\x04\x14\0\0", 1, 7, f);
    std::fclose(f);
  }
  grid::Workbook book;
  EXPECT_THROW(book.ReadFile(path, grid::io::kFileTypeAny), grid::GridError);
  EXPECT_EQ(book.GetEntry(1, 1, 1), "");
}

}  // namespace
}  // namespace ddt::reliability
