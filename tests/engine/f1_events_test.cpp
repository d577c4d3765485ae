// The interactive binding's change path (grid change -> internal sink -> host sink), the block
// flag, keys, double clicks, dialogs and the view set-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/book_access.h"
#include "engine/control_window.h"
#include "ddtable/dt_f1.h"
#include "engine_test_util.h"
#include "grid/grid_error.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using engine_test::RecordingSink;
using Names = CStringList;

namespace {

class F1Events : public ::testing::Test {
 protected:
  void SetUp() override {
    FillRows(book, 1, {{"a", "b"}, {"1", "2"}});
    EngineTestPeer::CreateHeader(engine);
    engine.m_bChanged = 0;
    engine.RegisterNotify(&sink);
  }

  ParentWindow parent;
  CDT_F1 engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
  RecordingSink sink{&engine};
};

TEST_F(F1Events, HostSinkHearsAfterTheEngineRefreshedItself) {
  engine.InsertRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  ASSERT_EQ(sink.calls, 1);
  // When the host is told, the names and the changed flag are already up to date.
  EXPECT_EQ(sink.changedSeen[0], 1);
  EXPECT_EQ(sink.namesSeen[0], (Names{"", "a", "b"}));
  // The grid's own modified flag is cleared by every change event.
  EXPECT_EQ(engine.GetModified(), 0);
}

TEST_F(F1Events, EveryChangeNotifiesOnce) {
  engine.SetValue(1, 3, 1, "x");
  engine.SetValue(0, 3, 2, "y");
  engine.SetColText(1, 3, "c");
  EXPECT_EQ(sink.calls, 3);
  EXPECT_EQ(engine.m_bChanged, 1);
}

TEST_F(F1Events, BlockedChangesReachNoSink) {
  engine.BlockModified(true);
  engine.SetValue(1, 3, 1, "x");
  engine.InsertRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(engine.m_bChanged, 0);
  // The internal sink was blocked as well: the list still shows the old columns.
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"a", "b"}));
  EXPECT_EQ(engine.GetModified(), 0);
  engine.BlockModified(false);
  engine.SetValue(1, 3, 1, "y");
  EXPECT_EQ(sink.calls, 1);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"", "a", "b"}));
}

// A sink that changes the workbook while it is being told of a change.
class ChangingSink : public CDTNotify {
 public:
  explicit ChangingSink(CDT_IF& engine) : engine_(engine) {}
  void NotifyModified() override {
    ++calls;
    engine_.SetValue(1, 9, 9, std::to_string(calls).c_str());
  }
  int calls = 0;

 private:
  CDT_IF& engine_;
};

TEST_F(F1Events, NoNotificationWhileOneIsRunning) {
  ChangingSink changing(engine);
  engine.RegisterNotify(&changing);  // replaces the recording sink
  engine.SetValue(1, 1, 1, "x");
  EXPECT_EQ(changing.calls, 1);
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(engine.GetValue(1, 9, 9), "1");
  // The block flag is free again afterwards.
  engine.SetValue(1, 1, 1, "y");
  EXPECT_EQ(changing.calls, 2);
}

TEST_F(F1Events, InternalChangeSkipsTheRefreshButMarksTheChange) {
  engine.m_bInternalChange = 1;
  engine.InsertRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  EXPECT_EQ(*engine.GetHeaderList(1), (Names{"a", "b"}));
  EXPECT_EQ(engine.m_bChanged, 1);
  EXPECT_EQ(sink.calls, 1);
}

TEST_F(F1Events, NullSinkIsAccepted) {
  engine.RegisterNotify(nullptr);
  engine.SetValue(1, 1, 1, "x");
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(engine.m_bChanged, 1);
}

TEST_F(F1Events, ClipboardKeysCopyPasteAndCut) {
  ddt::engine::ControlWindow& control = *engine.GetControlWindow();
  engine.SetSelection(1, 1, 1, 2);
  EXPECT_TRUE(control.PreTranslateChar(3));
  engine.SetSelection(5, 1, 5, 1);
  EXPECT_TRUE(control.PreTranslateChar(22));
  EXPECT_EQ(engine.GetValue(1, 5, 1), "1");
  EXPECT_EQ(engine.GetValue(1, 5, 2), "2");

  engine.SetSelection(5, 1, 5, 1);
  EXPECT_TRUE(control.PreTranslateChar(24));
  EXPECT_EQ(engine.GetValue(1, 5, 1), "");
  engine.SetSelection(7, 1, 7, 1);
  EXPECT_TRUE(control.PreTranslateChar(22));
  EXPECT_EQ(engine.GetValue(1, 7, 1), "1");

  for (unsigned other : {0u, 1u, 4u, 23u, unsigned{'c'}, unsigned{'v'}}) EXPECT_FALSE(control.PreTranslateChar(other));
}

// A sink that fails the way the grid reports failures.
class FailingSink : public CDTNotify {
 public:
  void NotifyModified() override { throw ddt::grid::GridError("refused"); }
};

TEST_F(F1Events, AFailureOnTheKeyPathIsDroppedAndTheKeyPassesOn) {
  FailingSink failing;
  engine.RegisterNotify(&failing);
  engine.SetSelection(1, 1, 1, 1);
  ddt::engine::ControlWindow& control = *engine.GetControlWindow();
  ASSERT_TRUE(control.PreTranslateChar(3));  // a copy changes nothing: no event
  engine.SetSelection(4, 1, 4, 1);
  EXPECT_FALSE(control.PreTranslateChar(22));
  EXPECT_FALSE(control.PreTranslateChar(24));
  // The failure did not leave the block flag set.
  engine.RegisterNotify(&sink);
  engine.SetValue(1, 1, 1, "x");
  EXPECT_EQ(sink.calls, 1);
}

TEST_F(F1Events, DoubleClickOnACellStartsEditing) {
  ddt::engine::ControlWindow& control = *engine.GetControlWindow();
  control.OnCellDblClick(0, 3);
  EXPECT_FALSE(control.Editing());
  control.OnCellDblClick(2, 0);
  EXPECT_FALSE(control.Editing());
  control.OnCellDblClick(2, 3);
  EXPECT_TRUE(control.Editing());
  engine.CancelEdit();
  EXPECT_FALSE(control.Editing());
  engine.StartEdit();
  EXPECT_TRUE(control.Editing());
}

TEST_F(F1Events, DialogsAndPrintingGoToTheHostHooks) {
  std::vector<std::string> seen;
  book.SetUiHooks({[&](std::string_view name) { seen.emplace_back(name); },
                   [&](int flag) { seen.push_back("print " + std::to_string(flag)); }});
  engine.LaunchDesigner();
  engine.FormatCellsDlg();
  engine.GotoDlg();
  engine.FindDlg();
  engine.DeleteDlg();
  engine.InsertDlg();
  engine.ReplaceDlg();
  engine.FilePrintSetupDlg();
  engine.FilePrint(1);
  EXPECT_EQ(seen, (std::vector<std::string>{"designer", "format-cells", "goto", "find", "delete",
                                            "insert", "replace", "print-setup", "print 1"}));
}

TEST_F(F1Events, InitViewSetsTheViewUpSilently) {
  book.SetSheetCount(3);
  engine.SetSheet(2);
  sink.calls = 0;
  engine.InitView();
  EXPECT_EQ(sink.calls, 0);
  EXPECT_EQ(engine.GetSheet(), 2);
  ddt::engine::ControlWindow& control = *engine.GetControlWindow();
  EXPECT_TRUE(control.ShowTabs());
  EXPECT_TRUE(control.AllowDelete());
  EXPECT_FALSE(control.Blocked());
  EXPECT_EQ(book.DefaultFontSize(), 10);
}

TEST_F(F1Events, ControlWindowIsAVisibleChildOfTheParent) {
  ddt::engine::ControlWindow& control = *engine.GetControlWindow();
  EXPECT_EQ(control.Parent(), &parent);
  EXPECT_EQ(parent.FindChild(2000), &control);
  EXPECT_TRUE(control.IsVisible());
  EXPECT_EQ(control.GetRect(), (ddt::platform::Rect{0, 0, 500, 500}));
  engine.Resize(0, 0, 320, 200);
  EXPECT_EQ(control.GetRect(), (ddt::platform::Rect{0, 0, 320, 200}));
}

}  // namespace
