// Text tables opened as data tables: what a read had to guess is told in a message box
// (the command line shows it as a warning); the parameters come from the first line.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/message_box.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::MakeTable;
using ddt::table::testing::ScratchDir;

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(TextFiles, AWindows1252FileIsReadWithAWarning) {
  ScratchDir dir;
  const std::string ansi = dir.File("ansi.csv"), utf8 = dir.File("utf8.csv");
  Write(ansi, "Name;Code\r\nJos\xE9;\"007\"\r\n");
  Write(utf8, "Name;Code\nJos\xC3\xA9;\"007\"\n");
  ddt::platform::MessageCapture boxes;
  auto table = MakeTable(CDT::DT_TYPE_QX, ansi);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_NE(boxes.LastText().find(ansi), std::string::npos) << boxes.LastText();
  EXPECT_NE(boxes.LastText().find("Windows-1252"), std::string::npos) << boxes.LastText();
  EXPECT_NE(boxes.Messages()[0].flags & ddt::platform::MB_ICONWARNING, 0u);
  EXPECT_EQ(table->GetParamValue(1, "Name", "ansi"), "Jos\xC3\xA9");
  EXPECT_EQ(table->GetParamValue(1, "Code", "ansi"), "007");
  boxes.Clear();
  EXPECT_EQ(table->Open(utf8), 0);
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(table->GetParamValue(1, "Name", "utf8"), "Jos\xC3\xA9");
}

}  // namespace
