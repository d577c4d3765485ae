// Shared set-up of the data-table behaviour tests: real tables over both engines, the
// dialog template an interactive table needs, and a scratch directory for files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ddtable/window.h"
#include "ddtable/cdt.h"

namespace ddt::table::testing {

// Registers template 418 (the host's job) once per process.
inline void RegisterTableDialog() {
  ddt::platform::DialogTemplate dialog;
  dialog.title = "Data Table";
  ddt::platform::RegisterDialogTemplate(ddt::platform::kDataTableDialogTemplate, dialog);
}

inline std::unique_ptr<CDT> MakeTable(CDT::DT_TYPE type, const std::string& file = "") {
  RegisterTableDialog();
  return std::make_unique<CDT>(nullptr, type, file);
}

// Adds parameters named names[i] with value values[i] (if any) in row 1 to the sheet.
inline void AddParams(CDT& table, const std::string& sheet, const std::vector<std::string>& names,
                      const std::vector<std::string>& values = {}) {
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    ASSERT_EQ(table.AddParam(sheet, name, i < values.size() ? values[i] : "",
                             CDT::DT_STYLE_NONE, "", 0),
              0)
        << names[i];
    ASSERT_EQ(name, names[i]);
  }
}

inline CStringList Sheets(CDT& table) { return table.GetSheetList(); }

// A fresh scratch directory per test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / ("ddt_table_" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs a test on a table of each engine type.
class EachEngine : public ::testing::TestWithParam<CDT::DT_TYPE> {
 protected:
  void SetUp() override { table_ = MakeTable(GetParam()); }
  CDT& table() { return *table_; }
  std::unique_ptr<CDT> table_;
};

inline std::string EngineName(const ::testing::TestParamInfo<CDT::DT_TYPE>& info) {
  return info.param == CDT::DT_TYPE_F1 ? "Interactive" : "Headless";
}

}  // namespace ddt::table::testing
