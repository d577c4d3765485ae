// Parameter lookup by name answers from an index kept beside each header list. After every
// kind of change to a sheet's header list, made through the table or through the engine
// directly, the lookup must agree with a plain scan of the list (first match wins).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/header_cache.h"
#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::AddParams;
using ddt::table::testing::EachEngine;
using ddt::table::testing::EngineName;
using ddt::table::testing::ScratchDir;

using NameLookup = EachEngine;

long Scan(const CStringList* list, const std::string& name) {
  if (list == nullptr) return -1;
  for (std::size_t i = 0; i < list->size(); ++i)
    if ((*list)[i] == name) return static_cast<long>(i) + 1;
  return -1;
}

// Every name of every sheet's list, plus names no list has, looked up on every sheet.
void ExpectLookupAgreesWithList(CDT& table, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> names = extra;
  names.push_back("NoSuchName");
  names.push_back("");
  const long sheets = table.GetNumSheets();
  for (long s = 1; s <= sheets; ++s)
    if (const CStringList* list = table.m_pEngine->GetHeaderList(static_cast<int>(s)))
      names.insert(names.end(), list->begin(), list->end());
  for (long s = 1; s <= sheets; ++s) {
    const CStringList* list = table.GetHeaderList(table.GetSheetName(s));
    for (const std::string& name : names)
      EXPECT_EQ(table.GetColIndex(name, s), Scan(list, name))
          << "sheet " << s << " name '" << name << "'";
  }
}

TEST_P(NameLookup, FollowsNamesSetThroughTheTableAndTheEngine) {
  AddParams(table(), "Sheet1", {"A", "B", "C"});
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("C", 1), 3);
  // Renamed behind the table's back.
  table().m_pEngine->SetColText(1, 2, "Renamed");
  ExpectLookupAgreesWithList(table(), {"B"});
  EXPECT_EQ(table().GetColIndex("B", 1), -1);
  EXPECT_EQ(table().GetColIndex("Renamed", 1), 2);
  // A new name at the end through the engine.
  table().m_pEngine->SetColText(1, 4, "D");
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("D", 1), 4);
  // Removed through the table.
  ASSERT_EQ(table().DeleteParam("A"), 0);
  ExpectLookupAgreesWithList(table(), {"A"});
  EXPECT_EQ(table().GetColIndex("A", 1), -1);
  EXPECT_EQ(table().GetColIndex("C", 1), 2);
}

TEST_P(NameLookup, FirstOfRepeatedNamesWins) {
  AddParams(table(), "Sheet1", {"X", "Y"});
  table().m_pEngine->SetColText(1, 3, "X");
  table().m_pEngine->SetColText(1, 4, "Y");
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("X", 1), 1);
  // The first one renamed: the second becomes the answer.
  table().m_pEngine->SetColText(1, 1, "Other");
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("X", 1), 3);
}

TEST_P(NameLookup, FollowsColumnInsertAndDeleteThroughTheEngine) {
  AddParams(table(), "Sheet1", {"A", "B", "C"}, {"a", "b", "c"});
  CDT_IF* engine = table().m_pEngine;
  const int sheet = static_cast<int>(engine->GetSheet());
  // Whatever the list holds right after the change, and once it is refilled.
  engine->InsertRange(-1, 1, -1, 1, CDT_IF::DT_SHIFT_COLUMNS);
  ExpectLookupAgreesWithList(table());
  engine->OnModified(sheet);
  ExpectLookupAgreesWithList(table());
  engine->DeleteRange(-1, 2, -1, 3, CDT_IF::DT_SHIFT_COLUMNS);
  ExpectLookupAgreesWithList(table(), {"A", "B"});
  engine->OnModified(sheet);
  ExpectLookupAgreesWithList(table(), {"A", "B"});
  EXPECT_EQ(table().GetColIndex("C", sheet), 2);
  EXPECT_EQ(table().GetParamValue(1, "C", 1L), "c");
}

TEST_P(NameLookup, FollowsPasteOfWholeColumns) {
  AddParams(table(), "Sheet1", {"A", "B", "C"}, {"a", "b", "c"});
  CDT_IF* engine = table().m_pEngine;
  engine->SetSelection(-1, 3, -1, 3);
  engine->EditCopy();
  engine->SetSelection(-1, 1, -1, 1);
  engine->EditPaste();
  ExpectLookupAgreesWithList(table(), {"A", "C"});
  engine->OnModified(static_cast<int>(engine->GetSheet()));
  ExpectLookupAgreesWithList(table(), {"A", "C"});
}

TEST_P(NameLookup, FollowsSheetsInsertedDeletedAndFilesOpenedAndSaved) {
  ScratchDir dir;
  AddParams(table(), "Sheet1", {"A", "B"});
  ASSERT_EQ(table().NewSheet("Two"), 0);
  AddParams(table(), "Two", {"B", "Z"});
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("B", 2), 1);

  // A sheet inserted in front moves both lists one place on.
  table().m_pEngine->InsertSheets(1, 1);
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("Z", 3), 2);
  table().m_pEngine->DeleteSheets(1, 1);
  ExpectLookupAgreesWithList(table());
  EXPECT_EQ(table().GetColIndex("Z", 2), 2);

  const std::string file = dir.File("lookup.xlsx");
  ASSERT_EQ(table().Save(file, 1), 0);
  ExpectLookupAgreesWithList(table());
  // Changed in memory, then the file opened again: the lists are refilled from it.
  table().SetSheet("Two");  // the engine names columns of the current sheet
  table().m_pEngine->SetColText(2, 1, "Changed");
  EXPECT_EQ(table().GetColIndex("Changed", 2), 1);
  ASSERT_EQ(table().Open(file), 0);
  ExpectLookupAgreesWithList(table(), {"Changed"});
  EXPECT_EQ(table().GetColIndex("Changed", 2), -1);
  EXPECT_EQ(table().GetColIndex("B", 2), 1);
  // Emptied (Open without a name).
  ASSERT_EQ(table().Open(""), 0);
  ExpectLookupAgreesWithList(table(), {"A", "B", "Z"});
}

TEST_P(NameLookup, CurrentSheetAndUnknownSheets) {
  AddParams(table(), "Sheet1", {"A"});
  ASSERT_EQ(table().NewSheet("Two"), 0);
  AddParams(table(), "Two", {"T"});
  table().SetSheet("Two");
  EXPECT_EQ(table().GetColIndex("T", 0), 1);
  EXPECT_EQ(table().GetColIndex("A", 0), -1);
  EXPECT_EQ(table().GetColIndex("A", 3), -1);
  EXPECT_EQ(table().GetColIndex("A", -1), -1);
}

INSTANTIATE_TEST_SUITE_P(Engines, NameLookup,
                         ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX), EngineName);

// The cache on its own, including lists changed by a caller that holds the list pointer.
TEST(HeaderCacheIndex, RefilledEditedAndChangedBehindItsBack) {
  ddt::engine::HeaderCache cache;
  cache.Append({"a", "b", "a"});
  EXPECT_EQ(cache.IndexOf(1, "a"), 1);
  EXPECT_EQ(cache.IndexOf(1, "b"), 2);
  EXPECT_EQ(cache.IndexOf(2, "a"), -1);

  *cache.Edit(1) = {"b", "a"};
  EXPECT_EQ(cache.IndexOf(1, "a"), 2);
  EXPECT_EQ(cache.IndexOf(1, "b"), 1);

  // Grown through a reading pointer (a reallocation or new size is noticed).
  CStringList* list = cache.Find(1);
  list->push_back("c");
  EXPECT_EQ(cache.IndexOf(1, "c"), 3);
  // An entry changed in place: a stale hit is noticed.
  (*list)[0] = "z";
  EXPECT_EQ(cache.IndexOf(1, "b"), -1);
  EXPECT_EQ(cache.IndexOf(1, "z"), 1);

  // Lists move with their sheets and keep their answers.
  cache.InsertEmptyAt(0);
  EXPECT_EQ(cache.IndexOf(1, "z"), -1);
  EXPECT_EQ(cache.IndexOf(2, "z"), 1);
  cache.Ensure(4).push_back("four");
  EXPECT_EQ(cache.IndexOf(4, "four"), 1);
  cache.Erase(0, 1);
  EXPECT_EQ(cache.IndexOf(1, "z"), 1);
  EXPECT_EQ(cache.IndexOf(3, "four"), 1);
  cache.Truncate(1);
  EXPECT_EQ(cache.IndexOf(3, "four"), -1);
}

}  // namespace
