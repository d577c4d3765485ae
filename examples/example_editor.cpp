// Example editor session: what a host's table editor does through the exported classes.
//
// It builds an input workbook in a window of its own (interactive binding), adds business
// processes with parameter columns and rows, styles the output columns, selects rows and
// saves; then it reopens the file headless and reads it back, through the classes and, as
// a test script would, through the script functions. Every read is checked: the program
// exits with 1 at the first value that does not read back as written.
//
//   example_editor [workbook]   (default: editor_example.xlsx in the temporary folder)
//
// Builds as C++17 or later against the installed package:
//   find_package(ddtable REQUIRED)   target_link_libraries(app PRIVATE ddtable::ddtable)
#include <ddtable/cddt_input.h>
#include <ddtable/ddtable.h>
#include <ddtable/param_name.h>
#include <ddtable/prm.h>
#include <ddtable/window.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Expect(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "example_editor: %s\n", what.c_str());
    ++g_failures;
  }
}

void ExpectText(const std::string& actual, const std::string& expected, const std::string& what) {
  Expect(actual == expected, what + ": \"" + actual + "\", expected \"" + expected + "\"");
}

// The editor learns of every change through a sink it registers with the table.
class ChangeCounter : public CDTNotify {
 public:
  void NotifyModified() override { ++changes; }
  int changes = 0;
};

struct Booking {
  const char* user;
  const char* from;
  const char* to;
  const char* expected;
};

const std::vector<Booking> kBookings = {
    {"alice", "LHR", "JFK", "Welcome, alice*"},
    {"bob", "CDG", "SFO", "Welcome, bob*"},
    {"carol", "FRA", "NRT", "Welcome, carol*"},
};

// The editor part: a window of the host, an interactive table in it, parameters and rows.
void BuildWorkbook(const std::string& path) {
  ddt::platform::Window frame;  // the host's window the table lives in
  Expect(frame.CreateFrame(), "the host frame cannot be created");

  CDDTInput table(&frame, CDT::DT_TYPE_F1);
  ChangeCounter counter;
  Expect(table.RegisterNotify(&counter) == 1, "RegisterNotify refused the sink");

  // A fresh workbook has one blank sheet; the first business process replaces it.
  Expect(table.NewSheet("Login") == 0, "NewSheet Login");
  Expect(table.NewSheet("Booking") == 0, "NewSheet Booking");
  ExpectText(table.GetSheetName(1), "Login", "first sheet");

  // Parameters: the name is made legal and unique in place, so read it back.
  for (const char* column : {"user", "from", "to", "greeting_exp", "greeting_out"}) {
    std::string name = column;
    const CDT::DT_STYLE style = std::string(column).find("_out") != std::string::npos
                                    ? CDT::DT_STYLE_GREY_TEXT
                                    : CDT::DT_STYLE_PLAIN;
    Expect(table.AddParam("Login", name, "", style, "", 0) == 0, std::string("AddParam ") + column);
    ExpectText(name, column, "parameter name");
  }
  std::string clash = "user";  // taken: the table suggests a numbered name
  Expect(table.AddParam("Booking", clash, "", CDT::DT_STYLE_PLAIN, "", 0) == 0, "AddParam user");
  std::string again = "user";
  table.AddParam("Booking", again, "", CDT::DT_STYLE_PLAIN, "", 0);
  ExpectText(again, "user1", "second 'user' on one sheet");

  long row = 1;
  for (const Booking& b : kBookings) {
    Expect(table.SetParamValue(row, "user", b.user, "Login", 0) == 0, "SetParamValue user");
    table.SetParamValue(row, "from", b.from, "Login", 0);
    table.SetParamValue(row, "to", b.to, "Login", 0);
    table.SetParamValue(row, "greeting_exp", b.expected, "Login", 1);
    ++row;
  }
  // Leading zeros survive: the value is kept as text.
  table.SetParamValue(1, "user", "007", "Booking", 0);
  Expect(counter.changes > 0, "no change was reported to the sink");

  // Rows 1 and 3 run; the selection is what CaptureRowsList takes in an editor.
  table.SetSheet("Login");
  table.SelectRows(1, 1, 0);
  table.AddSelectRows(3, 3, 0);
  CWBRowsRangeList selected;
  table.GetSelectedRows(selected, 0);
  int count = 0;
  selected.GetRowsCount("Login", count);
  Expect(count == 2, "selected rows of Login: " + std::to_string(count));

  Expect(table.Save(path, 1) == 0, "Save " + path);
  table.UnRegisterNotify();
}

// The reading part: headless, as a test run opens the file.
void ReadBack(const std::string& path) {
  CDDTInput input(nullptr, CDT::DT_TYPE_QX);
  Expect(input.Open(path) == 0, "Open " + path);
  const CStringList& sheets = input.GetSheetList();
  Expect(sheets.size() == 2, "sheet count " + std::to_string(sheets.size()));
  long row = 1;
  for (const Booking& b : kBookings) {
    ExpectText(input.GetParamValue(row, "user", "Login"), b.user, "user");
    ExpectText(input.GetParamValue(row, "to", "Login"), b.to, "to");
    ++row;
  }
  ExpectText(input.GetParamValue(1, "user", "Booking"), "007", "text with leading zeros");
  Expect(input.GetIterationCount(nullptr) >= 1, "iteration count");

  // A parameter reference as scripts write it: a child table "Passengers" of the business
  // process that is running.
  CParamName reference("<Passengers::seat>");
  ExpectText(reference.GetFullSheet("Booking"), "Booking.Passengers", "sheet of a reference");
  ExpectText(reference.GetName(), "seat", "name of a reference");

  // The manager owns what it loads; it needs a parent window.
  ddt::platform::Window frame;
  frame.CreateFrame();
  CPrm manager(CDT::DT_TYPE_QX);
  CDDTInput* loaded = manager.LoadInputWorkbook(&frame, path, 1);
  Expect(loaded != nullptr && loaded->GetPrmManager() == &manager, "LoadInputWorkbook");
}

// What a test script sees of the same file, through the plain functions.
void ReadAsScript(const std::string& path) {
  ExpectText(ddt_version(), DDT_VERSION_STRING, "library version");
  CDDTInput* input = open_workbook(path.c_str());
  Expect(input != nullptr, "open_workbook");
  if (input == nullptr) return;
  CDT* table = input;
  Expect(get_sheet_count(table) == 2, "get_sheet_count");
  char name[64];
  int size = sizeof name;
  Expect(get_sheet_name(table, 2, name, &size) == 0, "get_sheet_name");
  ExpectText(name, "Booking", "sheet 2");
  char value[64];
  Expect(prm_get_cell(table, "Login", 2, "from", value, sizeof value) == 0, "prm_get_cell");
  ExpectText(value, "CDG", "Login row 2, from");
  close_input_workbook(input);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  if (argc > 1) {
    path = argv[1];
  } else {
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/editor_example.xlsx";
  }
  BuildWorkbook(path);
  ReadBack(path);
  ReadAsScript(path);
  if (g_failures != 0) {
    std::fprintf(stderr, "example_editor: %d check(s) failed\n", g_failures);
    return 1;
  }
  std::printf("example_editor: %s written and read back (library %s)\n", path.c_str(),
              ddt_version());
  return 0;
}
