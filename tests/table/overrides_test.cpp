// Derived workbooks replace virtual members of CDT; CDT's own members must reach those
// replacements, as the input and results workbooks rely on.
#include <gtest/gtest.h>

#include <vector>

#include "ddtable/cdt.h"
#include "table_fixture.h"

namespace {

using ddt::table::testing::RegisterTableDialog;

// Renames every new parameter its own way and records the value writes it sees.
class CustomTable : public CDT {
 public:
  CustomTable() : CDT(nullptr, DT_TYPE_QX, "") {}

  std::string GetSuggestion(std::string& name, const std::string& sheet) override {
    name = "custom_" + name;
    return name;
  }
  int SetParamValue(long row, const std::string& name, const std::string& value, long sheet,
                    int recalc) override {
    writes.push_back(name + "=" + value);
    return CDT::SetParamValue(row, name, value, sheet, recalc);
  }
  using CDT::SetParamValue;

  std::string GetSheetName(long sheet) override {
    ++sheetNameCalls;
    return CDT::GetSheetName(sheet);
  }

  std::vector<std::string> writes;
  int sheetNameCalls = 0;
};

TEST(Overrides, CdtMembersCallTheReplacements) {
  CustomTable table;
  std::string name = "P";
  ASSERT_EQ(table.AddParam("Sheet1", name, "v", CDT::DT_STYLE_NONE, "", 0), 0);
  EXPECT_EQ(name, "custom_P");
  EXPECT_EQ(*table.GetHeaderList("Sheet1"), (CStringList{"custom_P"}));
  EXPECT_EQ(table.writes, (std::vector<std::string>{"custom_P=v"}));

  // The sheet-name form forwards to the replaced sheet-index form.
  table.SetParamValue(2, "custom_P", "w", "Sheet1", 0);
  EXPECT_EQ(table.writes.back(), "custom_P=w");

  // Lookups by name go through the replaced GetSheetName.
  const int before = table.sheetNameCalls;
  EXPECT_EQ(table.GetColIndex("custom_P", 0), 1);
  EXPECT_GT(table.sheetNameCalls, before);
}

TEST(Overrides, AnInteractiveTableWithoutItsDialogTemplateGetsAFrame) {
  ddt::platform::UnregisterDialogTemplate(ddt::platform::kDataTableDialogTemplate);
  {
    CDT table(nullptr, CDT::DT_TYPE_F1, "");
    ASSERT_NE(table.m_pOwnHostWnd, nullptr);
    EXPECT_EQ(table.m_pOwnHostWnd->Title(), "Frame");
    EXPECT_TRUE(table.IsCreated());
    EXPECT_EQ(table.GetSheetList(), (CStringList{"Sheet1"}));
  }
  RegisterTableDialog();
}

}  // namespace
