// Shared helpers of the engine tests: a created parent window, access to the bindings'
// private header building, and quick ways to fill and read a grid.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "ddtable/dt_f1.h"
#include "ddtable/dt_qx.h"
#include "grid/workbook.h"
#include "ddtable/window.h"
#include "ddtable/dt_notify.h"

namespace ddt::engine {

// Runs what Open runs after reading a file, on a workbook the test filled itself.
struct EngineTestPeer {
  static void CreateHeader(CDT_F1& engine) { engine.CreateHeader(); }
  static void CreateHeader(CDT_QX& engine) { engine.CreateHeader(); }
};

}  // namespace ddt::engine

namespace engine_test {

// The data table's window that a binding is created under.
class ParentWindow : public ddt::platform::Window {
 public:
  ParentWindow() { Create(nullptr, ddt::platform::WS_VISIBLE, {0, 0, 800, 600}, 1); }
  ~ParentWindow() override { Destroy(); }
};

// Writes rows of entries into a sheet, starting at row `firstRow`, column 1; "" leaves a
// cell empty.
inline void FillRows(ddt::grid::Workbook& book, int sheet,
                     std::initializer_list<std::vector<std::string>> rows, int firstRow = 1) {
  int row = firstRow;
  for (const auto& cells : rows) {
    for (size_t col = 0; col < cells.size(); ++col)
      if (!cells[col].empty()) book.SetEntry(sheet, row, static_cast<int>(col) + 1, cells[col]);
    ++row;
  }
}

// Counts notifications and remembers what the engine showed at each one.
class RecordingSink : public CDTNotify {
 public:
  explicit RecordingSink(CDT_IF* engine = nullptr) : engine_(engine) {}
  void NotifyModified() override {
    ++calls;
    if (engine_ != nullptr) {
      changedSeen.push_back(engine_->m_bChanged);
      CStringList* names = engine_->GetHeaderList(static_cast<int>(engine_->GetSheet()));
      namesSeen.push_back(names ? *names : CStringList{});
    }
  }
  int calls = 0;
  std::vector<int> changedSeen;
  std::vector<CStringList> namesSeen;

 private:
  CDT_IF* engine_;
};

}  // namespace engine_test
