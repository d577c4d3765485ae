// The few things the two bindings do differently around the grid core they share: around
// Open and Save only the interactive one blocks its change events, moves the cursor and
// clears the change flag; the headless one has no screen, so its view operations change
// nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/book_access.h"
#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine/grid_window.h"
#include "engine_test_util.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using engine_test::RecordingSink;

namespace {

class BindingDifferences : public ::testing::Test {
 protected:
  void SetUp() override {
    CDT_QX writer(&parent);
    FillRows(*ddt::engine::BookAccess::Of(&writer), 1,
             {{"id", "name"}, {"1", "a"}, {"2", "b"}, {"3", "c"}});
    EngineTestPeer::CreateHeader(writer);
    writer.Save(path.c_str());
  }
  void TearDown() override { std::remove(path.c_str()); }

  ParentWindow parent;
  std::string path = ::testing::TempDir() + "engine_differences_" + std::to_string(::getpid()) +
                     "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     ".xlsx";
};

TEST_F(BindingDifferences, InteractiveOpenAndSaveResetCursorAndChangeFlagSilently) {
  CDT_F1 engine(&parent);
  RecordingSink sink;
  engine.RegisterNotify(&sink);
  engine.m_bChanged = 1;
  engine.Open(path.c_str());
  int row = 0, col = 0;
  engine.GetActiveCell(row, col);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(engine.m_bChanged, 0);

  engine.SetActiveCell(3, 2);
  engine.m_bChanged = 1;
  const int heard = sink.calls;
  engine.Save(path.c_str());
  EXPECT_EQ(engine.m_bChanged, 0);
  EXPECT_EQ(sink.calls, heard);  // the header rows moving in and out notify nobody
  EXPECT_EQ(*engine.GetHeaderList(1), (CStringList{"id", "name"}));
}

TEST_F(BindingDifferences, HeadlessOpenAndSaveLeaveCursorAndChangeFlagAlone) {
  CDT_QX engine(&parent);
  engine.m_bChanged = 1;
  engine.Open(path.c_str());
  EXPECT_EQ(engine.m_bChanged, 1);
  engine.SetActiveCell(3, 2);
  engine.Save(path.c_str());
  int row = 0, col = 0;
  engine.GetActiveCell(row, col);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(engine.m_bChanged, 1);
  EXPECT_EQ(engine.GetValue(1, 3, 2), "c");
}

TEST_F(BindingDifferences, HeadlessViewOperationsChangeNothing) {
  CDT_QX engine(&parent);
  engine.Open(path.c_str());
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
  engine.SetSelection(1, 1, 1, 1);
  const bool modified = book.Modified();
  engine.SetPattern(1, 0x00FF00, 0x00FF00);
  engine.SetRowText(1, 1, "first");
  engine.InitView();
  engine.StartEdit();
  engine.BlockModified(true);
  short pattern = -1;
  uint32_t foreground = 1, background = 1;
  engine.GetPattern(pattern, foreground, background);
  EXPECT_EQ(pattern, 0);
  EXPECT_FALSE(engine.GetControlWindow()->Editing());
  EXPECT_FALSE(engine.GetControlWindow()->ShowTabs());
  EXPECT_EQ(book.Modified(), modified);
  EXPECT_EQ(engine.GetValue(1, 1, 1), "1");
}

}  // namespace
