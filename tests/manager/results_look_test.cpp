// A run's results workbook, as a script makes it from an input written by another program
// (openpyxl), looks like the input: column widths, frozen panes, data validations, hidden
// sheets, and each cell's own number format. The saved file is checked with openpyxl.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ddtable/ddtable.h"
#include "manager_fixture.h"

namespace ddt::manager::testing {
namespace {

// Runs a Python script (given as text) with arguments; its exit status and output.
struct ScriptResult {
  int status = -1;
  std::string output;
};
ScriptResult RunPython(const fs::path& scriptPath, const std::string& script,
                       const std::string& args) {
  FILE* f = std::fopen(scriptPath.c_str(), "w");
  if (f == nullptr) return {};
  std::fputs(script.c_str(), f);
  std::fclose(f);
  ScriptResult result;
  FILE* pipe = ::popen(("/usr/bin/python3 '" + scriptPath.string() + "' " + args + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
  result.status = ::pclose(pipe);
  return result;
}

constexpr const char* kMakeInput = R"(import sys, openpyxl
from openpyxl.worksheet.datavalidation import DataValidation
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Login"
ws.append(["User", "Price", "Role"])
for user, price, role in [("alice", 9.99, "admin"), ("bob", 0.1, "user"), ("carol", 7, "user")]:
    ws.append([user, price, role])
ws["B2"].number_format = "0.00"
ws.column_dimensions["A"].width = 25
ws.column_dimensions["C"].width = 14
ws.freeze_panes = "B2"
dv = DataValidation(type="list", formula1='"admin,user"', allow_blank=True)
dv.add("C2:C10")
ws.add_data_validation(dv)
lists = wb.create_sheet("Lists")
lists.append(["Role"])
lists.append(["admin"])
lists.sheet_state = "hidden"
wb.save(sys.argv[1])
)";

constexpr const char* kCheckResults = R"(import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb["Login"]
problems = []
def check(what, got, expected):
    if got != expected:
        problems.append("%s: %r, expected %r" % (what, got, expected))
# Widths as characters, to the pixel the file format rounds them to.
check("width A", round(ws.column_dimensions["A"].width or 0), 25)
check("width C", round(ws.column_dimensions["C"].width or 0), 14)
check("frozen panes", ws.freeze_panes, "B2")
rules = [(str(dv.sqref), dv.formula1) for dv in ws.data_validations.dataValidation]
check("validations", rules, [("C2:C10", '"admin,user"')])
check("Lists state", wb["Lists"].sheet_state, "hidden")
check("Login state", ws.sheet_state, "visible")
check("header format", ws["B1"].number_format, "General")
check("B2", (ws["B2"].value, ws["B2"].number_format), (9.99, "0.00"))
check("B3", (ws["B3"].value, ws["B3"].number_format), (0.1, "General"))
check("B4", (ws["B4"].value, ws["B4"].number_format), (7, "General"))
print("\n".join(problems))
sys.exit(1 if problems else 0)
)";

TEST_F(ManagerTest, TheResultsWorkbookKeepsTheInputSheetsLook) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 with openpyxl is not available";
  const fs::path inputFile = Path("input.xlsx"), resultsFile = Path("results.xlsx");
  const ScriptResult made = RunPython(Path("make_input.py"), kMakeInput, "'" + inputFile.string() + "'");
  ASSERT_EQ(made.status, 0) << made.output;

  // A first run writes the results file; a second run into the same file (read back, with
  // the look it was saved with) keeps the look.
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ASSERT_NE(prm_init_data_manager(), nullptr);
    CDDTInput* input = open_workbook(inputFile.c_str());
    ASSERT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(input)), 1) << ddt_last_error();
    CDDTResults* results = open_results(resultsFile.c_str(), 1, nullptr, nullptr);
    EXPECT_EQ(ddt_workbook_file_read(reinterpret_cast<CDT*>(results)), run == 1 ? 0 : 1);
    ASSERT_EQ(prepare_results(results, input), 0);
    capture_runrows(input);
    ASSERT_EQ(set_bp(input, results, "Login"), 0);
    int rows = 0;
    while (next_runrow(input, results, 0, 0, 0) == 0) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(prm_set_cell(reinterpret_cast<CDT*>(results), "Login", 1, "User", "changed"), 0);
    ASSERT_EQ(save_results_as(results, "", 0), 0) << ddt_last_error();
    close_results(results);
    close_input_workbook(input);
    prm_release_data_manager();

    const ScriptResult checked =
        RunPython(Path("check_results.py"), kCheckResults, "'" + resultsFile.string() + "'");
    EXPECT_EQ(checked.status, 0) << checked.output;
  }
}

}  // namespace
}  // namespace ddt::manager::testing
