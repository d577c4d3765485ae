// Fuzzes the results workbook's text entry points: parameter substitution and output
// verification on arbitrary texts, through the script functions, over a small results
// workbook built once (business process "Flight" with a child table, an external workbook
// under alias "ext").
//
// Input: up to four texts separated by NUL bytes: the source to substitute, the output
// reference, the value and the expected reference or pattern.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "ddtable/ddtable.h"
#include "fuzz_support.h"
#include "grid/io/file_type.h"
#include "grid/workbook.h"

namespace {

struct Run {
  CDDTInput* input = nullptr;
  CDDTResults* results = nullptr;
};

// The input workbook file: parameter names in row 1, three iterations below.
std::string WriteInputFile() {
  ddt::grid::Workbook book;
  book.SetSheetName(1, "Flight");
  const char* names[] = {"from", "to", "price", "out", "out_exp"};
  for (int c = 1; c <= 5; ++c) {
    book.SetEntry(1, 1, c, names[c - 1]);
    for (int r = 2; r <= 4; ++r)
      book.SetEntry(1, r, c, std::string(names[c - 1]) + "<v" + std::to_string(r) + ">*");
  }
  book.SetEntry(1, 3, 3, "12.5");
  book.InsertSheets(2, 1);
  book.SetSheetName(2, "Flight.Legs");
  book.SetEntry(2, 1, 1, "leg");
  book.SetEntry(2, 1, 2, "city");
  for (int r = 2; r <= 4; ++r) {
    book.SetEntry(2, r, 1, std::to_string(r));
    book.SetEntry(2, r, 2, "C\xC3\xA9" + std::to_string(r));
  }
  book.SetEntry(2, 5, 1, ".End 1");
  const std::string path = ddt::fuzz::ScratchPath(".xlsx");
  book.WriteFile(path, ddt::grid::io::kFileTypeXlsx);
  return path;
}

const Run& TheRun() {
  static const Run run = [] {
    Run r;
    const std::string path = WriteInputFile();
    prm_init_data_manager();
    prm_open_external_workbook("ext", path.c_str(), "");
    r.input = open_workbook(path.c_str());
    r.results = open_results((path + ".results.xlsx").c_str(), 3, "G", "H");
    // The fixture itself must work, or the fuzzing means nothing.
    const auto check = [](bool ok, const char* step) {
      if (ok) return;
      std::fprintf(stderr, "results_text fixture: %s failed\n", step);
      __builtin_trap();
    };
    check(r.input && r.results, "open");
    check(prepare_results(r.results, r.input) == 0, "prepare_results");
    check(set_bp(r.input, r.results, "Flight") == 0, "set_bp");
    check(add_runrows(reinterpret_cast<CDT*>(r.input), 1, 3) == 0, "add_runrows");
    // A headless input captures all rows and reports -1 ("no rows selected") for it.
    capture_runrows(r.input);
    check(next_runrow(r.input, r.results, 0, 0, 0) == 0, "next_runrow");
    check(reset_loop(r.input, r.results, "Legs") == 0, "reset_loop");
    return r;
  }();
  return run;
}

// A conversion callback that doubles every value, following the two-call protocol.
int Doubling(void* context, const char* name, const char* value, char* buffer, uint32_t size) {
  const size_t n = std::strlen(value);
  if (!buffer) return static_cast<int>(2 * n);
  // The buffer holds size characters plus the terminator; size is what the first call asked.
  if (size < 2 * n) __builtin_trap();
  std::memcpy(buffer, value, n);
  std::memcpy(buffer + n, value, n);
  buffer[2 * n] = '\0';
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Run& run = TheRun();
  const auto texts = ddt::fuzz::SplitAtNul(data, size, 4);

  // A size query, then the exact size, then one byte short.
  int needed = 0;
  if (substitute_parameters(run.results, texts[0].c_str(), nullptr, &needed, nullptr, nullptr) != -1)
    __builtin_trap();
  std::string out(static_cast<size_t>(needed) + 1, '\x7f');
  int given = needed + 1;
  if (substitute_parameters(run.results, texts[0].c_str(), out.data(), &given, nullptr, nullptr) != 0 ||
      given != needed || out[static_cast<size_t>(needed)] != '\0')
    __builtin_trap();
  given = needed;
  if (needed > 0 &&
      substitute_parameters(run.results, texts[0].c_str(), out.data(), &given, nullptr, nullptr) != -1)
    __builtin_trap();
  int withCallback = 0;
  substitute_parameters(run.results, texts[0].c_str(), nullptr, &withCallback, Doubling, nullptr);

  const int verdict = prm_set_and_verify_output(run.results, texts[1].c_str(), texts[2].c_str(),
                                                texts[3].c_str(), 1);
  if (verdict < -1 || verdict > 2) __builtin_trap();
  return 0;
}
