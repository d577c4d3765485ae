// A save or open that fails throws and leaves the workbook in memory as it was: no header
// row left in the cells, headings and header lists unchanged, the block flag free.
#include <gtest/gtest.h>

#include <string>

#include "engine/book_access.h"
#include "engine/control_window.h"
#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "engine_test_util.h"
#include "grid/grid_error.h"

using ddt::engine::EngineTestPeer;
using engine_test::FillRows;
using engine_test::ParentWindow;
using engine_test::RecordingSink;
using Names = CStringList;

namespace {

const std::string kUnwritable = "/nonexistent-ddtable-dir/sub/book.xlsx";

template <typename Engine>
class FailedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    book.SetSheetCount(2);
    FillRows(book, 1, {{"a", "", "c"}, {"1", "2", "3"}});
    FillRows(book, 2, {{"x"}, {"9"}});
    EngineTestPeer::CreateHeader(engine);
    engine.SetSheet(1);
    engine.m_bChanged = 1;
  }
  void ExpectUnchanged() {
    EXPECT_EQ(engine.GetSheet(), 1);
    EXPECT_EQ(engine.GetValue(1, 1, 1), "1");
    EXPECT_EQ(engine.GetValue(1, 2, 1), "");
    EXPECT_EQ(engine.GetValue(2, 1, 1), "9");
    EXPECT_EQ(engine.GetLastRow(), 1);
    EXPECT_EQ(*engine.GetHeaderList(1), (Names{"a", "", "c"}));
    EXPECT_EQ(*engine.GetHeaderList(2), Names{"x"});
    EXPECT_EQ(book.ColHeading(2), "");
    EXPECT_EQ(engine.m_bChanged, 1);
  }

  ParentWindow parent;
  Engine engine{&parent};
  ddt::grid::Workbook& book = *ddt::engine::BookAccess::Of(&engine);
};

using Bindings = ::testing::Types<CDT_F1, CDT_QX>;
TYPED_TEST_SUITE(FailedFiles, Bindings);

TYPED_TEST(FailedFiles, FailedSaveThrowsAndChangesNothing) {
  EXPECT_THROW(this->engine.Save(kUnwritable.c_str()), ddt::grid::GridError);
  this->ExpectUnchanged();
}

TYPED_TEST(FailedFiles, FailedOpenThrowsAndChangesNothing) {
  EXPECT_THROW(this->engine.Open("/nonexistent-ddtable-dir/missing.xlsx"), ddt::grid::GridError);
  this->ExpectUnchanged();
}

TEST(F1FailedFiles, BlockFlagIsFreeAfterAFailedSaveOrOpen) {
  ParentWindow parent;
  CDT_F1 engine(&parent);
  RecordingSink sink(&engine);
  engine.RegisterNotify(&sink);
  EXPECT_THROW(engine.Save(kUnwritable.c_str()), ddt::grid::GridError);
  EXPECT_FALSE(engine.GetControlWindow()->Blocked());
  EXPECT_THROW(engine.Open("/nonexistent-ddtable-dir/missing.xlsx"), ddt::grid::GridError);
  EXPECT_FALSE(engine.GetControlWindow()->Blocked());
  engine.SetValue(1, 1, 1, "x");
  EXPECT_EQ(sink.calls, 1);
}

}  // namespace
