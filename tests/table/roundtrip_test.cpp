// End to end: a table built in memory, saved, and opened again in a new table has every
// sheet, parameter and value it had.
#include <gtest/gtest.h>

#include <map>

#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::EngineName;
using ddt::table::testing::MakeTable;
using ddt::table::testing::ScratchDir;
using ddt::table::testing::Sheets;

// sheet -> parameter -> values of rows 1, 2, ... as typed
using Content = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

const Content& Expected() {
  static const Content content = {
      {"Login",
       {{"User", {"alice", "bob", "carol"}},
        {"Password", {"s3cret", "", "p w d"}},
        {"Code", {"007", "0.50", "0"}},
        {"Amount", {"1.5", "-2", "1E3"}},
        {"Total", {"=2*3", "=B1&\"x\"", "=SUM(1,2)"}}}},
      {"Search",
       {{"Term", {"shoes", "größe 42"}}, {"Expected Count", {"12", "0"}}}},
      {"Search.Results", {{"Row", {"1"}}}},
  };
  return content;
}

// What a value typed as `typed` reads back as, raw and displayed.
struct ReadBack {
  std::string raw, shown;
};
ReadBack Expect(const std::string& typed) {
  static const std::map<std::string, ReadBack> special = {
      {"007", {"=\"007\"", "007"}},     {"0.50", {"=\"0.50\"", "0.50"}},
      {"=2*3", {"=2*3", "6"}},           {"=SUM(1,2)", {"=SUM(1,2)", "3"}},
      {"1E3", {"1000", "1000"}},        {"=B1&\"x\"", {"=B1&\"x\"", "007x"}},
  };
  auto it = special.find(typed);
  return it != special.end() ? it->second : ReadBack{typed, typed};
}

class RoundTrip : public ::testing::TestWithParam<CDT::DT_TYPE> {};

TEST_P(RoundTrip, EveryParameterAndValueComesBack) {
  ScratchDir dir;
  const std::string file = dir.File("roundtrip.xlsx");
  {
    auto table = MakeTable(CDT::DT_TYPE_QX);
    for (const auto& [sheet, params] : Expected()) {
      ASSERT_EQ(table->NewSheet(sheet), 0);
      // Parameters in a fixed, meaningful order: insertion order of the listing above
      // is alphabetical (std::map); that is the column order too.
      for (const auto& [param, values] : params) {
        std::string name = param;
        ASSERT_EQ(table->AddParam(sheet, name, values[0], CDT::DT_STYLE_NONE, "", 0), 0);
        ASSERT_EQ(name, param);
        for (size_t r = 1; r < values.size(); ++r)
          ASSERT_EQ(table->SetParamValue(static_cast<long>(r) + 1, param, values[r], sheet, 1), 0);
      }
    }
    ASSERT_EQ(table->Save(file, 1), 0);
  }

  auto reopened = MakeTable(GetParam(), file);
  CStringList sheetNames;
  for (const auto& [sheet, params] : Expected()) sheetNames.push_back(sheet);
  EXPECT_EQ(Sheets(*reopened), sheetNames);
  for (const auto& [sheet, params] : Expected()) {
    CStringList names;
    for (const auto& [param, values] : params) names.push_back(param);
    EXPECT_EQ(reopened->HeaderValidityCheck(&names, sheet), 0) << sheet;
    long index = reopened->GetSheetIndex(sheet);
    for (const auto& [param, values] : params) {
      for (size_t r = 0; r < values.size(); ++r) {
        const long row = static_cast<long>(r) + 1;
        const ReadBack want = Expect(values[r]);
        EXPECT_EQ(reopened->GetRawValue(row, param, index), want.raw) << sheet << "!" << param << row;
        EXPECT_EQ(reopened->GetParamValue(row, param, sheet), want.shown)
            << sheet << "!" << param << row;
      }
    }
  }
  // The header row is not data: row counts are those typed.
  CWBRowsRangeList rows;
  ASSERT_EQ(reopened->GetAllRows(rows, 0), 0);
  int count = 0;
  rows.GetRowsCount("Login", count);
  EXPECT_EQ(count, 3);
  rows.GetRowsCount("Search.Results", count);
  EXPECT_EQ(count, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, RoundTrip, ::testing::Values(CDT::DT_TYPE_F1, CDT::DT_TYPE_QX),
                         EngineName);

}  // namespace
