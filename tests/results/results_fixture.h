// Shared set-up of the results-workbook behaviour tests: an input workbook and a results
// workbook over a real engine, with the members a run reaches made reachable.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/book_access.h"
#include "grid/workbook.h"
#include "ddtable/cddt_input.h"
#include "platform/message_box.h"
#include "ddtable/window.h"
#include "ddtable/cddt_results.h"

namespace ddt::results::testing {

class TestInput : public CDDTInput {
 public:
  using CDDTInput::CDDTInput;
  using CDDTInput::SetGlobalUsage;

  // Replaces the whole run-row list: each sheet named gets the ranges given.
  using Ranges = std::vector<std::pair<int, int>>;
  void SetRunRows(const std::vector<std::pair<std::string, Ranges>>& sheets) {
    m_RunRows.ClearWBRowsRangeList();
    for (const auto& [sheet, ranges] : sheets) {
      m_RunRows.AddSheetEntry(sheet);
      for (const auto& [first, last] : ranges)
        m_RunRows.AddRowsRangeEntry(sheet, CRowsRange{first, last});
    }
  }
  void SetCell(const std::string& sheet, int row, int col, const std::string& text) {
    m_pEngine->SetValue(static_cast<int>(GetSheetIndex(sheet)), row, col, text.c_str());
  }
  ddt::grid::Workbook& Book() { return *ddt::engine::BookAccess::Of(m_pEngine); }
};

class TestResults : public CDDTResults {
 public:
  using CDDTResults::CDDTResults;
  using CDDTResults::NextParameter;
  using CDDTResults::RefreshSheet;
  using CDDTResults::SetGlobalUsage;

  std::string Cell(const std::string& sheet, int row, int col = 1) {
    const long index = GetSheetIndex(sheet);
    return index < 1 ? "<no sheet>" : m_pEngine->GetValue(static_cast<int>(index), row, col);
  }
  std::string Value(const std::string& sheet, long row, const std::string& param) {
    return GetRawValue(row, param, GetSheetIndex(sheet));
  }
  DT_STYLE StyleOf(const std::string& sheet, const std::string& param, long row) {
    SetSheet(sheet);
    return GetStyle(param, row);
  }
  ddt::grid::Workbook& Book() { return *ddt::engine::BookAccess::Of(m_pEngine); }
};

// Captures the message boxes shown during a test.
class MessageCapture {
 public:
  MessageCapture()
      : previous_(ddt::platform::SetMessageHandler(
            [this](std::string_view text, std::string_view, unsigned) {
              texts.emplace_back(text);
              return 1;
            })) {}
  ~MessageCapture() { ddt::platform::SetMessageHandler(previous_); }
  std::vector<std::string> texts;

 private:
  ddt::platform::MessageHandler previous_;
};

class ResultsTest : public ::testing::Test {
 protected:
  ResultsTest() { host_.Create(nullptr, 0, ddt::platform::Rect{0, 0, 800, 600}, 0); }

  // An input workbook with the global sheet and the sheets given, each with the columns
  // given; column values "<sheet>:<param>:<row>" in rows 1 .. rows.
  std::unique_ptr<TestInput> MakeInput(
      CDT::DT_TYPE type, const std::vector<std::pair<std::string, std::vector<std::string>>>& sheets,
      int rows) {
    auto input = std::make_unique<TestInput>(&host_, type);
    input->SetGlobalUsage(1);
    for (const auto& [sheet, params] : sheets) {
      EXPECT_EQ(input->NewSheet(sheet), 0) << sheet;
      for (std::string p : params) {
        const std::string name = p;
        EXPECT_EQ(input->AddParam(sheet, p, sheet + ":" + name + ":1", CDT::DT_STYLE_NONE, "", 0), 0);
        for (int r = 2; r <= rows; ++r)
          input->SetParamValue(r, name, sheet + ":" + name + ":" + std::to_string(r), sheet, 0);
      }
    }
    return input;
  }
  std::unique_ptr<TestResults> MakeResults(CDT::DT_TYPE type) {
    return std::make_unique<TestResults>(&host_, type, "7", "G1", "H1");
  }
  // Results prepared from the input.
  std::unique_ptr<TestResults> Prepared(CDT::DT_TYPE type, TestInput& input) {
    auto results = MakeResults(type);
    EXPECT_EQ(results->PrepareResults(&input), 0);
    return results;
  }

  ddt::platform::Window host_;
};

}  // namespace ddt::results::testing
