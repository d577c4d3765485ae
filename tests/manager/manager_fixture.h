// Shared set-up of the manager and script-function tests: a scratch folder, workbook files
// written through the library, a host window, and a guard that the current manager is gone
// after every test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ddtable/ddtable.h"
#include "manager/module.h"
#include "ddtable/window.h"
#include "ddtable/cdt.h"

namespace ddt::manager::testing {

namespace fs = std::filesystem;

// One sheet of a workbook file: its parameter names and its data rows (cells by position).
struct SheetSpec {
  std::string name;
  std::vector<std::string> params;
  std::vector<std::vector<std::string>> rows;
};

// Writes a workbook with exactly these sheets. With DT_TYPE_F1 styles are kept, so rows
// given a style in `styledRows` (sheet name, row, style) carry it in the file.
struct StyledRow {
  std::string sheet;
  long row;
  CDT::DT_STYLE style;
};
inline void WriteWorkbook(const fs::path& path, const std::vector<SheetSpec>& sheets,
                          CDT::DT_TYPE type = CDT::DT_TYPE_QX,
                          const std::vector<StyledRow>& styledRows = {}) {
  CDT table(nullptr, type, "");
  for (const SheetSpec& sheet : sheets) {
    ASSERT_EQ(table.NewSheet(sheet.name), 0) << sheet.name;
    for (std::string param : sheet.params) {
      const std::string wanted = param;
      ASSERT_EQ(table.AddParam(sheet.name, param, "", CDT::DT_STYLE_NONE, "", 0), 0);
      ASSERT_EQ(param, wanted);
    }
    const long index = table.GetSheetIndex(sheet.name);
    for (std::size_t r = 0; r < sheet.rows.size(); ++r)
      for (std::size_t c = 0; c < sheet.rows[r].size(); ++c)
        if (!sheet.rows[r][c].empty())
          table.m_pEngine->SetValue(static_cast<int>(index), static_cast<int>(r + 1),
                                    static_cast<int>(c + 1), sheet.rows[r][c].c_str());
  }
  for (const StyledRow& styled : styledRows) {
    table.SetSheet(styled.sheet);
    ASSERT_EQ(table.SetStyle(styled.style, "", styled.row), 0);
  }
  if (table.GetSheetIndex("Sheet1") != 0) table.DeleteSheet("Sheet1");
  ASSERT_EQ(table.Save(path.string(), 1), 0);
}

class ManagerTest : public ::testing::Test {
 protected:
  ManagerTest() {
    host_.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("ddt_manager_" + std::to_string(::getpid()) + "_" +
                                        info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~ManagerTest() override {
    // Every test leaves no manager behind; one that did would leak into the next test.
    EXPECT_EQ(ddt::CurrentManager(), nullptr);
    prm_release_data_manager();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  ddt::platform::Window host_;
  fs::path dir_;
};

// Fills a buffer with a sentinel so that writes past a given size show.
inline constexpr char kSentinel = '\x7f';

}  // namespace ddt::manager::testing
