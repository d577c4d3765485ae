// Notification sink rules, the data lock, the clipboard members and copying from another
// table.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/book_access.h"
#include "grid/workbook.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::AddParams;
using ddt::table::testing::EachEngine;
using ddt::table::testing::EngineName;
using ddt::table::testing::MakeTable;
using ddt::table::testing::ScratchDir;
using ddt::table::testing::Sheets;

struct CountingSink : CDTNotify {
  void NotifyModified() override { ++calls; }
  int calls = 0;
};

using Notify = EachEngine;

TEST_P(Notify, OneSinkAtATime) {
  CountingSink first, second;
  EXPECT_EQ(table().RegisterNotify(&first), 1);
  EXPECT_EQ(table().RegisterNotify(&second), 0);
  EXPECT_EQ(table().m_pNotify, &first);
  EXPECT_EQ(table().UnRegisterNotify(0), 0);
  EXPECT_EQ(table().UnRegisterNotify(0), -1);
  EXPECT_EQ(table().RegisterNotify(&second), 1);
  EXPECT_EQ(table().m_pNotify, &second);
}

TEST_P(Notify, ANullSinkCountsAsNone) {
  CountingSink sink;
  EXPECT_EQ(table().RegisterNotify(nullptr), 1);
  EXPECT_EQ(table().UnRegisterNotify(0), -1);
  EXPECT_EQ(table().RegisterNotify(&sink), 1);
}

TEST_P(Notify, SaveKeepsTheSinkRegistered) {
  ScratchDir dir;
  CountingSink sink;
  AddParams(table(), "Sheet1", {"P"}, {"1"});
  ASSERT_EQ(table().RegisterNotify(&sink), 1);
  ASSERT_EQ(table().Save(dir.File("t.xlsx"), 1), 0);
  EXPECT_EQ(table().m_pNotify, &sink);
  EXPECT_EQ(table().RegisterNotify(&sink), 0);

  // Without a sink, a save leaves none.
  table().UnRegisterNotify(0);
  table().SetParamValue(1, "P", "2", 0L, 0);
  ASSERT_EQ(table().Save("", 0), 0);
  EXPECT_EQ(table().m_pNotify, nullptr);
  EXPECT_EQ(table().UnRegisterNotify(0), -1);
}

INSTANTIATE_TEST_SUITE_P(Table, Notify, ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX),
                         EngineName);

TEST(NotifyInteractive, ChangesReachTheSinkUntilItIsWithdrawn) {
  auto table = MakeTable(CDT::DT_TYPE_F1);
  AddParams(*table, "Sheet1", {"P"});
  CountingSink sink;
  ASSERT_EQ(table->RegisterNotify(&sink), 1);
  table->SetParamValue(1, "P", "x", 0L, 0);
  EXPECT_GT(sink.calls, 0);

  table->UnRegisterNotify(0);
  const int before = sink.calls;
  table->SetParamValue(2, "P", "y", 0L, 0);
  EXPECT_EQ(sink.calls, before);
}

TEST(DataLock, SerialisesReadersAndWriters) {
  auto table = MakeTable(CDT::DT_TYPE_QX);
  long counter = 0;  // deliberately not atomic: the lock alone must protect it
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      table->LockData();
      table->LockData();  // nested, as callers of locked helpers do
      ++counter;
      table->UnlockData();
      table->UnlockData();
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

using Copy = EachEngine;

TEST_P(Copy, ClipboardNeedsExactlyOneRange) {
  AddParams(table(), "Sheet1", {"P"}, {"1"});
  table().m_pEngine->SetSelection(1, 1, 1, 1);
  table().m_pEngine->AddSelection(3, 1, 3, 1);
  EXPECT_EQ(table().EditCopy(), 0);
  EXPECT_EQ(table().EditPaste(), 0);
  table().m_pEngine->SetSelection(1, 1, 1, 1);
  EXPECT_EQ(table().EditCopy(), 1);
  table().m_pEngine->SetSelection(4, 1, 4, 1);
  EXPECT_EQ(table().EditPaste(), 1);
  EXPECT_EQ(table().GetParamValue(4, "P", 0L), "1");
}

TEST_P(Copy, CopySheetAndPasteSheet) {
  table().NewSheet("Src");
  AddParams(table(), "Src", {"P", "Q"}, {"p1", "q1"});
  table().SetParamValue(2, "Q", "q2", "Src", 0);
  EXPECT_EQ(table().CopySheet("Missing"), -1);
  ASSERT_EQ(table().CopySheet("Src"), 0);

  EXPECT_EQ(table().PasteSheet("Src"), -1);  // exists: nothing pasted
  EXPECT_EQ(Sheets(table()), (CStringList{"Src"}));

  ASSERT_EQ(table().PasteSheet("Dst"), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Src", "Dst"}));
  ddt::grid::Workbook* book = ddt::engine::BookAccess::Of(table().m_pEngine);
  EXPECT_EQ(book->GetEntry(2, 1, 1), "p1");
  EXPECT_EQ(book->GetEntry(2, 2, 2), "q2");
}

TEST_P(Copy, CopyRangeCopiesWholeColumnsIntoANewSheet) {
  auto source = MakeTable(CDT::DT_TYPE_QX);
  source->NewSheet("Data");
  AddParams(*source, "Data", {"A", "B", "C"}, {"a1", "=1+1", "c1"});
  for (int r = 2; r <= 50; ++r) source->SetParamValue(r, "C", std::to_string(r), "Data", 0);

  ASSERT_EQ(table().CopyRange(source.get(), "Data", "", -1, -1, -1, -1, -1, -1, -1, -1), 0);
  EXPECT_EQ(Sheets(table()), (CStringList{"Data"}));
  EXPECT_EQ(*table().GetHeaderList("Data"), (CStringList{"A", "B", "C"}));
  EXPECT_EQ(table().GetParamValue(1, "A", "Data"), "a1");
  EXPECT_EQ(table().GetRawValue(1, "B", 1), "=1+1");
  EXPECT_EQ(table().GetParamValue(1, "B", "Data"), "2");
  EXPECT_EQ(table().GetParamValue(50, "C", "Data"), "50");

  // The target must be new; a missing source sheet or bad rows make nothing.
  EXPECT_EQ(table().CopyRange(source.get(), "Data", "", -1, -1, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_EQ(table().CopyRange(source.get(), "Nope", "X", -1, -1, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_EQ(table().CopyRange(source.get(), "Data", "Y", 0, 1, 5, 1, 1, 1, 5, 1), -1);
  EXPECT_EQ(table().CopyRange(nullptr, "Data", "Z", -1, -1, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_EQ(Sheets(table()), (CStringList{"Data"}));
}

TEST_P(Copy, CopyRangeOfSomeRows) {
  auto source = MakeTable(CDT::DT_TYPE_F1);
  AddParams(*source, "Sheet1", {"A"});
  for (int r = 1; r <= 6; ++r) source->SetParamValue(r, "A", "v" + std::to_string(r), 0L, 0);
  ASSERT_EQ(table().CopyRange(source.get(), "Sheet1", "Part", 1, -1, 3, -1, 4, -1, 6, -1), 0);
  EXPECT_EQ(table().GetParamValue(1, "A", "Part"), "v4");
  EXPECT_EQ(table().GetParamValue(3, "A", "Part"), "v6");
  EXPECT_EQ(table().GetParamValue(4, "A", "Part"), "");
}

INSTANTIATE_TEST_SUITE_P(Table, Copy, ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX),
                         EngineName);

}  // namespace
