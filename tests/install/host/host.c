/* A C host of the script functions, built against the installed package through
 * pkg-config as strict C89. It makes a workbook through the script functions, saves it,
 * opens it again and reads sheets and cells back. Exit code 0 when everything read back as
 * written. Usage: host <folder for the workbook> */
#include <ddtable/ddtable.h>
#include <ddtable/platform.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "host.c: %s\n", what);
    ++failures;
  }
}

static void expect_text(const char* actual, const char* expected, const char* what) {
  if (strcmp(actual, expected) != 0) {
    fprintf(stderr, "host.c: %s: \"%s\", expected \"%s\"\n", what, actual, expected);
    ++failures;
  }
}

int main(int argc, char** argv) {
  static const char* const cells[] = {"user", "city", "alice", "Oslo", "bob", "Lima"};
  char path[1024];
  char missing[1024];
  char text[64];
  int size;
  CDDTResults* results;
  CDDTInput* input;

  if (argc < 2) return 2;
  sprintf(path, "%.900s/host_c.xlsx", argv[1]);
  sprintf(missing, "%.900s/no_such_input.xlsx", argv[1]);

  expect_text(ddt_version(), DDT_VERSION_STRING, "ddt_version");
  expect(prm_init_data_manager() != NULL, "prm_init_data_manager");

  /* A results workbook of a file that does not exist yet starts empty. */
  results = open_results(path, 1, NULL, NULL);
  expect(results != NULL, "open_results");
  if (results == NULL) return 1;
  expect(table2sheet_cells(cells, 3, 2, (CDDTInput*)results, "People") == 1,
         "table2sheet_cells");
  expect(prm_set_cell((CDT*)results, "People", 2, "city", "Quito") == 0, "prm_set_cell");
  expect(save_results_as(results, path, 1) == 0, "save_results_as");
  close_results(results);

  input = open_workbook(path);
  expect(input != NULL, "open_workbook");
  if (input == NULL) return 1;
  expect(get_sheet_count((CDT*)input) >= 1, "get_sheet_count");
  size = (int)sizeof text;
  expect(get_sheet_name((CDT*)input, get_sheet_count((CDT*)input), text, &size) == 0,
         "get_sheet_name");
  expect_text(text, "People", "last sheet");
  expect(prm_get_cell((CDT*)input, "People", 1, "user", text, (int)sizeof text) == 0,
         "prm_get_cell");
  expect_text(text, "alice", "People row 1 user");
  prm_get_cell((CDT*)input, "People", 2, "city", text, (int)sizeof text);
  expect_text(text, "Quito", "People row 2 city");
  /* A short buffer: cut, with the full length reported. */
  size = 3;
  expect(get_sheet_name((CDT*)input, get_sheet_count((CDT*)input), text, &size) == -1,
         "get_sheet_name, short buffer");
  expect(size == 6 && strcmp(text, "Pe") == 0, "get_sheet_name cut to the buffer");
  close_input_workbook(input);

  /* A file that does not exist still gives an (empty) workbook. */
  input = open_workbook(missing);
  expect(input != NULL && get_sheet_count((CDT*)input) == 1, "empty workbook");
  if (input != NULL) close_input_workbook(input);

  prm_release_data_manager();
  if (failures != 0) return 1;
  printf("host.c: ok (library %s)\n", ddt_version());
  return 0;
}
