/* A data-driven run through the script functions, the way a test script drives one.
 *
 *   example_run <examples folder> [results workbook]
 *
 * Reads <examples folder>/flight_booking.xlsx, runs every iteration of its two business
 * processes (Login, then BookFlight with its child table of passengers) against a tiny
 * pretend application, checks the outputs against their expected values, and writes the
 * results workbook (default: a new folder under $TMPDIR or /tmp). Prints one line per
 * iteration and the path of the results workbook. Exit status 0 when the run went through
 * (a failed check is a test result, not an error), 1 when a library call failed. */
#define _POSIX_C_SOURCE 200809L /* strdup, mkdtemp */

#include <ddtable/ddtable.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


enum { kPathSize = 4096, kTextSize = 256 };

static int g_checks = 0;
static int g_failures = 0;

/* ---- The pretend application under test ------------------------------------------------ */

static void app_greeting(const char* user, char* out, size_t size) {
  snprintf(out, size, "Welcome, %s!", user);
}

static int app_fare(const char* from, const char* to) {
  if (strcmp(from, "LHR") == 0 && strcmp(to, "JFK") == 0) return 550;
  if (strcmp(from, "CDG") == 0 && strcmp(to, "NRT") == 0) return 890;
  return 0;
}

static void app_boarding_pass(const char* passenger, const char* seat, char* out, size_t size) {
  size_t i = 0;
  for (; passenger[i] != '\0' && i + 1 < size; ++i)
    out[i] = (char)toupper((unsigned char)passenger[i]);
  out[i] = '\0';
  snprintf(out + i, size - i, " %s", seat);
}

/* ---- Small helpers over the script functions ------------------------------------------ */

static void fail(const char* what) {
  fprintf(stderr, "example_run: %s failed\n", what);
  exit(1);
}

/* The value of a parameter in the current iteration (table: a child table, or ""). A value
 * longer than the buffer reports its length; the caller then asks again with enough room. */
static char* param(CDDTResults* results, const char* name, const char* table) {
  static char small[kTextSize];
  int size = (int)sizeof small;
  if (get_param_value(results, name, small, &size, table) == 0) return strdup(small);
  char* big = malloc((size_t)size + 1);
  if (big == NULL) fail("malloc");
  size += 1;
  if (get_param_value(results, name, big, &size, table) != 0) fail("get_param_value");
  return big;
}

/* The source text with its parameter references replaced: first a size query (no buffer),
 * then the call that fills a buffer of exactly that size plus the terminator. */
static char* substitute(CDDTResults* results, const char* source) {
  int size = 0;
  substitute_parameters(results, source, NULL, &size, NULL, NULL);
  char* text = malloc((size_t)size + 1);
  if (text == NULL) fail("malloc");
  size += 1;
  if (substitute_parameters(results, source, text, &size, NULL, NULL) != 0)
    fail("substitute_parameters");
  return text;
}

/* Writes an output value and checks it against its expected-value parameter. */
static const char* verify(CDDTResults* results, const char* output, const char* value,
                          const char* expected) {
  const int outcome = prm_set_and_verify_output(results, output, value, expected, 1);
  if (outcome < 0) fail("prm_set_and_verify_output");
  ++g_checks;
  if (outcome == 1) return "passed";
  ++g_failures;
  return "FAILED";
}

/* ---- The test: one function per business process --------------------------------------- */

static void login_iteration(CDDTResults* results, int row) {
  char* user = param(results, "UserName", "");
  char* action = substitute(results, "log in as <UserName> with <Password>");
  char greeting[kTextSize];
  app_greeting(user, greeting, sizeof greeting);
  const char* outcome = verify(results, "<Greeting_out>", greeting, "<Greeting_exp>");
  char* expected = param(results, "Greeting_exp", "");
  printf("Login       iteration %d: %-40s -> \"%s\" %s (expected \"%s\")\n", row, action,
         greeting, outcome, expected);
  free(expected);
  free(action);
  free(user);
}

static void passengers_block(CDDTInput* input, CDDTResults* results) {
  /* reset_loop starts this iteration's block of the child table and copies its first row;
   * advance_loop copies the next one and answers -1 at the block's terminator row. */
  int row = 1;
  for (int more = reset_loop(input, results, "Passengers"); more == 0;
       more = advance_loop(input, results, "Passengers"), ++row) {
    char* passenger = param(results, "Passenger", "Passengers");
    char* seat = param(results, "Seat", "Passengers");
    char pass[kTextSize];
    app_boarding_pass(passenger, seat, pass, sizeof pass);
    const char* outcome = verify(results, "<Passengers::BoardingPass_out>", pass,
                                 "<Passengers::BoardingPass_exp>");
    printf("  Passengers row %d: %-14s seat %-4s -> boarding pass \"%s\" %s\n", row, passenger,
           seat, pass, outcome);
    free(seat);
    free(passenger);
  }
}

static void booking_iteration(CDDTInput* input, CDDTResults* results, int row) {
  char* from = param(results, "From", "");
  char* to = param(results, "To", "");
  char* count = param(results, "Passengers", "");
  char* action = substitute(results, "book <Passengers> seat(s) <From> -> <To> on <Date>");
  char price[32];
  snprintf(price, sizeof price, "%d", app_fare(from, to) * atoi(count));
  const char* outcome = verify(results, "<Price_out>", price, "<Price_exp>");
  printf("BookFlight  iteration %d: %-40s -> price %s %s\n", row, action, price, outcome);
  passengers_block(input, results);
  free(action);
  free(count);
  free(to);
  free(from);
}

/* ---- The run ----------------------------------------------------------------------------- */

/* A path cut to the buffer would name another file: stop instead. */
static void path_fits(int length, size_t size) {
  if (length < 0 || (size_t)length >= size) fail("building a file path (too long)");
}

static void default_results_path(char* path, size_t size) {
  const char* tmp = getenv("TMPDIR");
  char folder[kPathSize];
  path_fits(snprintf(folder, sizeof folder, "%s/ddtable-example-XXXXXX",
                     (tmp != NULL && *tmp != '\0') ? tmp : "/tmp"),
            sizeof folder);
  if (mkdtemp(folder) == NULL) fail("mkdtemp");
  path_fits(snprintf(path, size, "%s/flight_booking_results.xlsx", folder), size);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s <examples folder> [results workbook]\n", argv[0]);
    return 2;
  }
  char inputPath[kPathSize], resultsPath[kPathSize];
  path_fits(snprintf(inputPath, sizeof inputPath, "%s/flight_booking.xlsx", argv[1]),
            sizeof inputPath);
  if (argc > 2) {
    path_fits(snprintf(resultsPath, sizeof resultsPath, "%s", argv[2]), sizeof resultsPath);
  } else {
    default_results_path(resultsPath, sizeof resultsPath);
  }

  if (prm_init_data_manager() == NULL) fail("prm_init_data_manager");
  CDDTInput* input = open_workbook(inputPath);
  if (input == NULL || get_last_res_row((CDT*)input, "Login") <= 0) {
    fprintf(stderr, "example_run: cannot read %s\n", inputPath);
    return 1;
  }
  /* Virtual user 7 of group "Demo" on this host: written beside every copied row. */
  CDDTResults* results = open_results(resultsPath, 7, "Demo", "localhost");
  if (results == NULL) fail("open_results");
  if (prepare_results(results, input) != 0) fail("prepare_results");
  /* With no rows selected every row of every sheet runs (the result is then -1). */
  capture_runrows(input);

  if (set_bp(input, results, "Login") != 0) fail("set_bp Login");
  while (next_runrow(input, results, 0, 0, 0) == 0)
    login_iteration(results, prm_get_current_run_row(results));

  if (set_bp(input, results, "BookFlight") != 0) fail("set_bp BookFlight");
  while (next_runrow(input, results, 0, 0, 0) == 0)
    booking_iteration(input, results, prm_get_current_run_row(results));

  if (save_results_as(results, NULL, 1) != 0) fail("save_results_as");
  close_results(results);
  close_input_workbook(input);
  prm_release_data_manager();

  printf("%d checks: %d passed, %d failed\n", g_checks, g_checks - g_failures, g_failures);
  printf("Results workbook: %s\n", resultsPath);
  return 0;
}
