// Shared set-up of the input-workbook behaviour tests: real workbooks over both engines,
// with the protected members opened up, and a scratch configuration directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ddtable/cddt_input.h"
#include "ddtable/window.h"
#include "support/config_dir.h"

namespace ddt::input::testing {

// The input workbook with the members its friends and derived classes use made reachable.
class TestInput : public CDDTInput {
 public:
  using CDDTInput::CDDTInput;
  using CDDTInput::AddGlobals;
  using CDDTInput::DeleteBP;
  using CDDTInput::GetChild;
  using CDDTInput::GetLastRunRow;
  using CDDTInput::GetNextRunRow;
  using CDDTInput::GetNumRunRows;
  using CDDTInput::GetRunRow;
  using CDDTInput::m_RunRows;
  using CDDTInput::PrepareTable;
  using CDDTInput::RenameBP;
  using CDDTInput::SetGlobalUsage;

  // Column-1 cell of a row of a sheet, as typed.
  std::string Cell(const std::string& sheet, int row, int col = 1) {
    return m_pEngine->GetValue(static_cast<int>(GetSheetIndex(sheet)), row, col);
  }
  void SetCell(const std::string& sheet, int row, int col, const std::string& text) {
    m_pEngine->SetValue(static_cast<int>(GetSheetIndex(sheet)), row, col, text.c_str());
  }
  // The run ranges of a sheet as (first, last) pairs; empty for none or no entry.
  std::vector<std::pair<int, int>> RunRanges(const std::string& sheet) {
    std::vector<std::pair<int, int>> out;
    int count = 0;
    if (m_RunRows.GetRowsRangeCount(sheet, count) != 0) return out;
    for (int i = 0; i < count; ++i) {
      CRowsRange r;
      m_RunRows.GetRowsRangeEntry(sheet, i, r);
      out.emplace_back(r.m_nFirstRow, r.m_nLastRow);
    }
    return out;
  }
  bool HasRunEntry(const std::string& sheet) {
    int count = 0;
    return m_RunRows.GetRowsRangeCount(sheet, count) == 0;
  }
};

// The configuration directory of the test, with the toolkit switch at hand.
class ConfigDir : public ddt::test::ConfigDir {
 public:
  ConfigDir() : ddt::test::ConfigDir("ddt_input") {}
  void SwitchOn() const { Write("velmora.ini", "[SLM]\nTOOLKIT_CHANGES=1\n"); }
};

// A host window for the workbooks of a test.
class InputTest : public ::testing::Test {
 protected:
  InputTest() { host_.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0); }
  std::unique_ptr<TestInput> Make(CDT::DT_TYPE type) {
    return std::make_unique<TestInput>(&host_, type);
  }
  // Appends sheets with the given names to a fresh workbook.
  std::unique_ptr<TestInput> MakeWithSheets(CDT::DT_TYPE type,
                                            const std::vector<std::string>& sheets) {
    auto input = Make(type);
    for (const std::string& s : sheets) EXPECT_EQ(input->NewSheet(s), 0) << s;
    return input;
  }
  // Adds one parameter to the sheet holding values in rows 1, 2, ...
  static void Column(TestInput& input, const std::string& sheet, std::string name,
                     const std::vector<std::string>& values,
                     CDT::DT_STYLE style = CDT::DT_STYLE_NONE) {
    ASSERT_EQ(input.AddParam(sheet, name, values.empty() ? "" : values[0], style, "", 0), 0);
    for (size_t i = 1; i < values.size(); ++i)
      ASSERT_EQ(input.SetParamValue(static_cast<long>(i + 1), name, values[i], sheet, 0), 0);
  }

  ddt::platform::Window host_;
};

}  // namespace ddt::input::testing
