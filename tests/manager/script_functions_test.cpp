// The script functions of the data manager, workbooks, cells, results and loops: null
// handles, the buffer rule, length reporting, and the refusals that keep bad arguments away
// from the grid.
#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ddtable/ddtable.h"
#include "ddtable/cddt_input.h"
#include "ddtable/prm.h"
#include "manager/script_boundary.h"
#include "platform/resources.h"
#include "manager_fixture.h"
#include "ddtable/cddt_results.h"

namespace ddt::manager::testing {
namespace {

class ScriptTest : public ManagerTest {
 protected:
  // An input workbook file: business process "Login" with three rows.
  std::string LoginFile() {
    const fs::path path = Path("login.xlsx");
    WriteWorkbook(path, {{"Login", {"User", "Note"}, {{"alice", "x"}, {"bob", ""}, {"carol", ""}}}});
    return path.string();
  }
  // Opens the input, a results workbook and runs to row `row` of "Login".
  void RunTo(int row) {
    input_ = open_workbook(LoginFile().c_str());
    results_ = open_results(Path("res.xlsx").c_str(), 1, nullptr, nullptr);
    ASSERT_NE(input_, nullptr);
    ASSERT_NE(results_, nullptr);
    ASSERT_EQ(prepare_results(results_, input_), 0);
    capture_runrows(input_);
    ASSERT_EQ(set_bp(input_, results_, "Login"), 0);
    for (int i = 0; i < row; ++i) ASSERT_EQ(next_runrow(input_, results_, 0, 0, 0), 0);
  }
  void TearDown() override {
    close_results(results_);
    close_input_workbook(input_);
  }

  CDDTInput* input_ = nullptr;
  CDDTResults* results_ = nullptr;
};

template <std::size_t N>
std::array<char, N> Filled() {
  std::array<char, N> buffer;
  buffer.fill(kSentinel);
  return buffer;
}

TEST_F(ScriptTest, DataManagerIsCreatedOnceAndReleasedForGood) {
  EXPECT_EQ(prm_get_book("any"), nullptr);
  EXPECT_EQ(prm_open_external_workbook("any", Path("x.xlsx").c_str(), ""), nullptr);
  CPrm* manager = prm_init_data_manager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(prm_init_data_manager(), manager);
  EXTERNAL_DATA* record = prm_open_external_workbook("ext", Path("x.xlsx").c_str(), nullptr);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(prm_get_book("ext"), record->pWorkbook);
  EXPECT_EQ(prm_get_book(nullptr), nullptr);
  prm_release_data_manager();
  EXPECT_EQ(ddt::CurrentManager(), nullptr);
  EXPECT_EQ(prm_get_book("ext"), nullptr);  // the released manager is never reached again
  prm_release_data_manager();               // nothing left to release
}

TEST_F(ScriptTest, NullXlsStandsForNoDataTable) {
  EXPECT_EQ(open_workbook("null.xls"), nullptr);
  EXPECT_EQ(open_workbook("/data/null.xlsx"), nullptr);  // anywhere in the name
  EXPECT_EQ(open_results("tests/null.xls.bak", 1, "G", "H"), nullptr);
  EXPECT_EQ(open_workbook(nullptr), nullptr);
  EXPECT_EQ(open_results(nullptr, 1, nullptr, nullptr), nullptr);
  // Other letter case is another name, and a file that cannot be read still gives a workbook.
  input_ = open_workbook(Path("NULL.XLS").c_str());
  ASSERT_NE(input_, nullptr);
  EXPECT_EQ(input_->GetNumSheets(), 1);
}

TEST_F(ScriptTest, NullHandlesAreRefused) {
  char buffer[8] = "keep";
  int size = 8;
  EXPECT_EQ(close_input_workbook(nullptr), -1);
  EXPECT_EQ(close_results(nullptr), -1);
  EXPECT_EQ(set_bp(nullptr, nullptr, "Login"), -1);
  EXPECT_EQ(get_param_value(nullptr, "User", buffer, &size, ""), -1);
  EXPECT_EQ(load_custom_parameters(nullptr, buffer), -1);
  EXPECT_EQ(prm_set_cell(nullptr, "S", 1, "P", "v"), -1);
  EXPECT_EQ(prm_set_cell2(nullptr, "S", 1, 1, "v"), -1);
  EXPECT_EQ(prm_get_cell(nullptr, "S", 1, "P", buffer, 8), -1);
  EXPECT_EQ(prm_get_cell2(nullptr, "S", 1, 1, buffer, 8), -1);
  EXPECT_EQ(prm_insert_row(nullptr, "S", 1), -1);
  EXPECT_EQ(prm_delete_row(nullptr, "S", 1), -1);
  EXPECT_EQ(save_results_as(nullptr, "x.xlsx", 0), -1);
  EXPECT_EQ(prepare_results(nullptr, nullptr), -1);
  EXPECT_EQ(refresh_parameters(nullptr, nullptr, "x"), -1);
  EXPECT_EQ(clear_runrows(nullptr), -1);
  EXPECT_EQ(add_runrows(nullptr, 1, 2), -1);
  EXPECT_EQ(capture_runrows(nullptr), -1);
  EXPECT_EQ(next_runrow(nullptr, nullptr, 0, 0, 0), -1);
  EXPECT_EQ(reset_loop(nullptr, nullptr, ""), -1);
  EXPECT_EQ(advance_loop(nullptr, nullptr, ""), -1);
  EXPECT_EQ(get_parameter_count(nullptr, ""), -1);
  EXPECT_EQ(get_parameter_name(nullptr, "", 1, buffer, 8), -1);
  EXPECT_EQ(prm_set_and_verify_output(nullptr, "<a>", "v", "v", 1), -1);
  EXPECT_EQ(prm_get_current_run_row(nullptr), -1);
  EXPECT_EQ(get_last_res_row(nullptr, "S"), -1);
  EXPECT_STREQ(buffer, "");  // get_parameter_name empties a buffer it was given
  EXPECT_EQ(size, 8);
}

TEST_F(ScriptTest, GetParamValueFitsExactlyOrReportsTheLength) {
  RunTo(1);
  // "alice" is 5 bytes: a size of 6 holds it with its terminator.
  auto fits = Filled<8>();
  int size = 6;
  EXPECT_EQ(get_param_value(results_, "User", fits.data(), &size, ""), 0);
  EXPECT_STREQ(fits.data(), "alice");
  EXPECT_EQ(size, 5);
  EXPECT_EQ(fits[6], kSentinel);

  auto cut = Filled<8>();
  size = 5;
  EXPECT_EQ(get_param_value(results_, "User", cut.data(), &size, ""), -1);
  EXPECT_STREQ(cut.data(), "alic");
  EXPECT_EQ(size, 5);  // the full length, for a second call with size + 1
  EXPECT_EQ(cut[5], kSentinel);

  for (int refused : {0, -3}) {
    auto untouched = Filled<8>();
    size = refused;
    EXPECT_EQ(get_param_value(results_, "User", untouched.data(), &size, ""), -1);
    EXPECT_EQ(size, refused);
    EXPECT_EQ(untouched, Filled<8>());
  }
  EXPECT_EQ(get_param_value(results_, "User", fits.data(), nullptr, ""), -1);
}

TEST_F(ScriptTest, CellsByNameRefuseUnknownParameters) {
  input_ = open_workbook(LoginFile().c_str());
  CDT* table = input_;
  const long lastRow = get_last_res_row(table, "Login");
  EXPECT_EQ(lastRow, 3);
  EXPECT_EQ(prm_set_cell(table, "Login", 1, "NoSuchParam", "boom"), -1);
  // Nothing was written anywhere in the sheet: every cell of rows 1..3 is as it was.
  char buffer[16];
  for (long col = 1; col <= 8; ++col)
    for (long row = 1; row <= 3; ++row) {
      ASSERT_EQ(prm_get_cell2(table, "Login", row, col, buffer, sizeof buffer), 0);
      EXPECT_STRNE(buffer, "boom");
    }
  EXPECT_EQ(prm_set_cell2(table, "Login", 1, -1, "boom"), -1);
  EXPECT_EQ(prm_set_cell2(table, "Login", 1, 0, "boom"), -1);

  std::strcpy(buffer, "stale");
  EXPECT_EQ(prm_get_cell(table, "Login", 1, "NoSuchParam", buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(prm_get_cell(table, "Login", 1, "User", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "alice");
}

TEST_F(ScriptTest, CellsAreWrittenAsTextAndRowZeroAppends) {
  input_ = open_workbook(LoginFile().c_str());
  CDT* table = input_;
  table->SetSheet("Login");
  EXPECT_EQ(prm_set_cell(table, "Login", 2, "Note", "007"), 0);
  EXPECT_EQ(prm_set_cell(table, "Login", 3, "Note", "=1+1"), 0);
  EXPECT_EQ(prm_set_cell(table, "Login", 0, "User", "dave"), 0);
  char buffer[16];
  EXPECT_EQ(prm_get_cell(table, "Login", 2, "Note", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "007");
  EXPECT_EQ(prm_get_cell(table, "Login", 3, "Note", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "=1+1");
  EXPECT_EQ(prm_get_cell(table, "Login", 4, "User", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "dave");
  EXPECT_EQ(prm_get_cell2(table, "Login", 40, 2, buffer, sizeof buffer), 0);  // empty cell
  EXPECT_STREQ(buffer, "");
}

TEST_F(ScriptTest, CellBuffersNeverTakeAByteBeyondTheirSize) {
  input_ = open_workbook(LoginFile().c_str());
  auto buffer = Filled<8>();
  EXPECT_EQ(prm_get_cell(input_, "Login", 1, "User", buffer.data(), 3), 0);
  EXPECT_STREQ(buffer.data(), "al");
  EXPECT_EQ(buffer[3], kSentinel);
  for (int refused : {0, -1}) {
    auto untouched = Filled<8>();
    EXPECT_EQ(prm_get_cell(input_, "Login", 1, "User", untouched.data(), refused), -1);
    EXPECT_EQ(prm_get_cell2(input_, "Login", 1, 1, untouched.data(), refused), -1);
    EXPECT_EQ(get_parameter_name(nullptr, "", 1, untouched.data(), refused), -1);
    EXPECT_EQ(untouched, Filled<8>());
  }
}

TEST_F(ScriptTest, RowsAreInsertedAndDeleted) {
  input_ = open_workbook(LoginFile().c_str());
  char buffer[16];
  EXPECT_EQ(prm_insert_row(input_, "Login", 2), 0);
  EXPECT_EQ(prm_get_cell(input_, "Login", 3, "User", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "bob");
  EXPECT_EQ(prm_delete_row(input_, "Login", 1), 0);
  EXPECT_EQ(prm_get_cell(input_, "Login", 2, "User", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "bob");
  EXPECT_EQ(prm_insert_row(input_, "Login", 0), -1);
  EXPECT_EQ(prm_delete_row(input_, "Login", -1), -1);
  EXPECT_EQ(get_last_res_row(input_, "Login"), 3);
}

TEST_F(ScriptTest, OpenResultsRunContext) {
  results_ = open_results(Path("a.xlsx").c_str(), 7, nullptr, "ignored");
  ASSERT_NE(results_, nullptr);
  EXPECT_EQ(results_->m_strVID, "1");
  EXPECT_EQ(results_->m_strGroup, "None");
  EXPECT_EQ(results_->m_strHost, "Local");
  CDDTResults* other = open_results(Path("b.xlsx").c_str(), 7, "Night", nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->m_strVID, "7");
  EXPECT_EQ(other->m_strGroup, "Night");
  EXPECT_EQ(other->m_strHost, "");
  EXPECT_EQ(close_results(other), 0);
}

TEST_F(ScriptTest, SaveResultsUnderItsOwnNameOrAnother) {
  RunTo(2);
  EXPECT_EQ(save_results_as(results_, "", 0), 0);
  EXPECT_TRUE(fs::exists(Path("res.xlsx")));
  EXPECT_EQ(save_results_as(results_, Path("copy.xlsx").c_str(), 1), 0);
  EXPECT_EQ(results_->GetFileName(), Path("copy.xlsx").string());
  CDT back(nullptr, CDT::DT_TYPE_QX, Path("copy.xlsx").string());
  EXPECT_EQ(back.GetParamValue(2, "User", "Login"), "bob");
  EXPECT_EQ(back.GetParamValue(3, "User", "Login"), "");  // not run yet
}

TEST_F(ScriptTest, LastResultsRowTellsMissingSheetFromMissingWorkbook) {
  RunTo(2);
  EXPECT_EQ(get_last_res_row(results_, "Login"), 2);
  EXPECT_EQ(get_last_res_row(results_, "Nope"), -2);
  EXPECT_EQ(get_last_res_row(results_, nullptr), -2);
  EXPECT_EQ(prm_get_current_run_row(results_), 2);
}

TEST_F(ScriptTest, SubstituteParametersAtExactlyTheBufferSize) {
  RunTo(2);
  const char* source = "user <User>!";  // "user bob!": 9 bytes
  int size = 0;
  EXPECT_EQ(substitute_parameters(results_, source, nullptr, &size, nullptr, nullptr), -1);
  EXPECT_EQ(size, 9);

  auto tight = Filled<16>();
  size = 9;  // no room for the terminator: nothing copied
  EXPECT_EQ(substitute_parameters(results_, source, tight.data(), &size, nullptr, nullptr), -1);
  EXPECT_EQ(tight, Filled<16>());
  EXPECT_EQ(size, 9);

  auto enough = Filled<16>();
  size = 10;
  EXPECT_EQ(substitute_parameters(results_, source, enough.data(), &size, nullptr, nullptr), 0);
  EXPECT_STREQ(enough.data(), "user bob!");
  EXPECT_EQ(enough[10], kSentinel);
  EXPECT_EQ(size, 9);

  EXPECT_EQ(substitute_parameters(results_, source, enough.data(), nullptr, nullptr, nullptr), -1);
}

TEST_F(ScriptTest, SubstituteWithoutResultsCopiesTheSourceCut) {
  auto buffer = Filled<16>();
  int size = 5;
  EXPECT_EQ(substitute_parameters(nullptr, "<User> here", buffer.data(), &size, nullptr, nullptr), -1);
  EXPECT_STREQ(buffer.data(), "<Use");
  EXPECT_EQ(buffer[5], kSentinel);
  EXPECT_EQ(size, 11);
  auto untouched = Filled<16>();
  size = 0;
  EXPECT_EQ(substitute_parameters(nullptr, "abc", untouched.data(), &size, nullptr, nullptr), -1);
  EXPECT_EQ(untouched, Filled<16>());
  EXPECT_EQ(size, 3);
}

TEST_F(ScriptTest, ParameterEnumerationAndVerification) {
  RunTo(3);
  EXPECT_EQ(get_parameter_count(results_, ""), 2);
  EXPECT_EQ(get_parameter_count(results_, nullptr), -1);
  char buffer[8];
  EXPECT_EQ(get_parameter_name(results_, "", 2, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "Note");
  EXPECT_EQ(get_parameter_name(results_, "", 1, buffer, 3), 0);  // cut without notice
  EXPECT_STREQ(buffer, "Us");
  std::strcpy(buffer, "stale");
  EXPECT_EQ(get_parameter_name(results_, "", 1, buffer, 1), -1);
  EXPECT_STREQ(buffer, "");

  EXPECT_EQ(prm_set_and_verify_output(results_, "<Note>", " carol ok ", "carol*", 1), 1);
  EXPECT_EQ(prm_set_and_verify_output(results_, "<Note>", "x", "<User>", 1), 2);
  EXPECT_EQ(prm_set_and_verify_output(results_, "Note", "x", "x", 1), -1);  // not a reference
  EXPECT_EQ(results_->GetParamValue(3, "Note", "Login"), "x");
}

// The host's conversion callback, called from inside substitute_parameters: records which
// module context was current while the library ran, and passes the value through.
int RecordContext(void* context, const char* name, const char* value, char* buffer,
                  uint32_t size) {
  *static_cast<const ddt::platform::ModuleContext**>(context) =
      ddt::platform::CurrentModuleContext();
  // The buffer holds `size` characters plus the terminator.
  if (buffer != nullptr) std::snprintf(buffer, size + 1, "%s", value);
  return static_cast<int>(std::strlen(value));
}

TEST_F(ScriptTest, TheLibraryContextIsCurrentDuringACallAndRestoredAfter) {
  RunTo(1);
  const ddt::platform::ModuleContext* during = nullptr;
  char buffer[32];
  int size = sizeof buffer;
  EXPECT_EQ(substitute_parameters(results_, "<User>", buffer, &size, RecordContext, &during), 0);
  EXPECT_STREQ(buffer, "alice");
  EXPECT_EQ(during, &ddt::platform::LibraryContext());
  EXPECT_EQ(ddt::platform::CurrentModuleContext(), nullptr);
}

TEST_F(ScriptTest, TheBoundaryTurnsExceptionsIntoTheFailureResult) {
  EXPECT_EQ(ScriptCall(-1, []() -> int { throw std::runtime_error("grid refused"); }), -1);
  EXPECT_EQ(ScriptCall<CPrm*>(nullptr, []() -> CPrm* { throw 42; }), nullptr);
  EXPECT_EQ(Contained(-1L, []() -> long { throw std::bad_alloc(); }), -1L);
  EXPECT_EQ(ScriptCall(-1, [] { return 5; }), 5);
}

}  // namespace
}  // namespace ddt::manager::testing
