// A data-driven run as a test script makes it through the script functions: a business
// process "Flight" with a child table of legs, every iteration substituted, verified and
// looped over, the results saved. Shared by the load and the save tests.
#pragma once

#include <string>

#include "ddtable/ddtable.h"
#include "grid/io/file_type.h"
#include "grid/workbook.h"

namespace ddt::reliability {

constexpr int kIterations = 12;
constexpr int kLegsPerIteration = 3;

// The input workbook: the global sheet, "Flight" (one row per iteration) and "Flight.Legs"
// (one block of legs per iteration, each closed by a terminator row).
inline void WriteRunInput(const std::string& path) {
  grid::Workbook book;
  book.SetSheetName(1, "Global");
  const char* global[] = {"Iter", "VID", "Host", "Group"};
  for (int c = 1; c <= 4; ++c) book.SetEntry(1, 1, c, global[c - 1]);
  book.InsertSheets(2, 2);
  book.SetSheetName(2, "Flight");
  const char* flight[] = {"from", "to", "seats", "price", "total", "total_exp", "route"};
  for (int c = 1; c <= 7; ++c) book.SetEntry(2, 1, c, flight[c - 1]);
  book.SetSheetName(3, "Flight.Legs");
  book.SetEntry(3, 1, 1, "leg");
  book.SetEntry(3, 1, 2, "city");
  int legRow = 2;
  for (int i = 1; i <= kIterations; ++i) {
    const int r = i + 1;
    book.SetEntry(2, r, 1, "City" + std::to_string(i));
    book.SetEntry(2, r, 2, "Town" + std::to_string(i));
    book.SetEntry(2, r, 3, std::to_string(i % 4 + 1));
    book.SetEntry(2, r, 4, std::to_string(100 + i) + ".5");
    book.SetEntry(2, r, 6, i % 3 == 0 ? "0*" : std::to_string((i % 4 + 1) * (100 + i)) + "*");
    for (int l = 1; l <= kLegsPerIteration; ++l, ++legRow) {
      book.SetEntry(3, legRow, 1, std::to_string(l));
      book.SetEntry(3, legRow, 2, "Stop" + std::to_string(i) + "-" + std::to_string(l));
    }
    book.SetEntry(3, legRow++, 1, ".End " + std::to_string(i));
  }
  book.WriteFile(path, grid::io::kFileTypeXlsx);
}

// Runs every iteration of the input at inputPath as virtual user `user` and saves the
// results to resultsPath. 0 on success, else the number of the step that failed.
inline int RunData(const std::string& inputPath, const std::string& resultsPath, int user) {
  CDDTInput* input = open_workbook(inputPath.c_str());
  if (!input) return 1;
  CDDTResults* results = open_results(resultsPath.c_str(), user, "Load", "local");
  int step = 0;
  auto fail = [&](int s) { step = s; };
  if (!results) fail(2);
  else if (prepare_results(results, input) != 0) fail(3);
  else if (set_bp(input, results, "Flight") != 0) fail(4);
  // A headless input (the only kind the script functions open) always captures all rows
  // and then reports -1, as for "no rows selected".
  else if (capture_runrows(input) != -1) fail(5);
  for (int i = 1; step == 0 && i <= kIterations; ++i) {
    if (next_runrow(input, results, 0, 0, 0) != 0) { fail(6); break; }
    char route[256];
    int size = sizeof route;
    if (substitute_parameters(results, "<from> to <to>, <seats> seats", route, &size, nullptr,
                              nullptr) != 0) { fail(7); break; }
    char seats[32], price[32];
    int n = sizeof seats, m = sizeof price;
    if (get_param_value(results, "seats", seats, &n, "") != 0 ||
        get_param_value(results, "price", price, &m, "") != 0) { fail(8); break; }
    const long total = std::stol(seats) * static_cast<long>(std::stod(price));
    const int verdict = prm_set_and_verify_output(results, "<total>", std::to_string(total).c_str(),
                                                  "<total_exp>", 1);
    if (verdict != (i % 3 == 0 ? 2 : 1)) { fail(9); break; }
    if (prm_set_and_verify_output(results, "<route>", route, "", 0) != 0) { fail(10); break; }
    if (reset_loop(input, results, "Legs") != 0) { fail(11); break; }
    int legs = 1;
    while (advance_loop(input, results, "Legs") == 0) ++legs;
    if (legs != kLegsPerIteration) { fail(12); break; }
  }
  if (step == 0 && save_results_as(results, resultsPath.c_str(), 1) != 0) fail(13);
  close_results(results);
  close_input_workbook(input);
  return step;
}

}  // namespace ddt::reliability
