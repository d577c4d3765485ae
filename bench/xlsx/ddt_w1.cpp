// ddtable's side of the W1 comparison, one whole process per measurement:
//   ddt_w1 fill-save FILE [ROWS]   a headless table, 20 parameters, 100,000 rows filled by name
//                           (SetParamValue), then Save
//   ddt_w1 open FILE        a headless table opening FILE, nothing read
//   ddt_w1 read FILE        open, then every value of every row read by name
// Prints the phase times on stderr (the wall and peak figures are the whole process's).
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ddtable/cdt.h"
#include "w1.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// A figure of /proc/self/status in MB ("VmRSS:" now, "VmHWM:" the peak so far).
double StatusMb(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  double kb = 0;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0) kb = std::atof(line + n);
  std::fclose(f);
  return kb / 1024;
}

int FillSave(const std::string& path, int rows) {
  auto t0 = Clock::now();
  CDT table(nullptr, CDT::DT_TYPE_QX, "");
  table.SetSheetName(table.GetSheetName(1), "Data");
  std::vector<std::string> names;
  for (int c = 1; c <= w1::kCols; ++c) {
    std::string name = w1::ParamName(c);
    if (table.AddParam("Data", name, "", CDT::DT_STYLE_NONE, "", 0) != 0) return 1;
    names.push_back(name);
  }
  char text[32];
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= w1::kCols; ++c) {
      std::string value;
      if (w1::IsTextCol(c)) {
        w1::Text(r, c, text, sizeof text);
        value = text;
      } else {
        char num[32];
        value.assign(num, std::to_chars(num, num + sizeof num, w1::Number(r, c)).ptr);
      }
      if (table.SetParamValue(r, names[c - 1], value, 1L, 0) != 0) return 1;
    }
  const double fill = Since(t0);
  const double before = StatusMb("VmRSS:");
  auto t1 = Clock::now();
  if (table.Save(path, 1) != 0) return 1;
  // The save's own memory: the peak while saving above what the filled workbook held.
  std::fprintf(stderr, "fill %.3f s, save %.3f s; resident before the save %.1f MB, peak %.1f MB\n",
               fill, Since(t1), before, StatusMb("VmHWM:"));
  return 0;
}

int Open(const std::string& path, bool readAll) {
  auto t0 = Clock::now();
  CDT table(nullptr, CDT::DT_TYPE_QX, "");
  if (table.Open(path) != 0) return 1;
  const double open = Since(t0);
  if (!readAll) {
    std::fprintf(stderr, "open %.3f s\n", open);
    return 0;
  }
  auto t1 = Clock::now();
  size_t bytes = 0;
  std::vector<std::string> names;
  for (int c = 1; c <= w1::kCols; ++c) names.push_back(w1::ParamName(c));
  for (int r = 1; r <= w1::kRows; ++r)
    for (const std::string& name : names) bytes += table.GetParamValue(r, name, 1L).size();
  std::fprintf(stderr, "open %.3f s, read %.3f s (%zu bytes)\n", open, Since(t1), bytes);
  return bytes > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && std::string(argv[1]) == "fill-save")) {
    std::fprintf(stderr, "usage: %s fill-save FILE [ROWS] | open FILE | read FILE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "fill-save") return FillSave(argv[2], argc == 4 ? std::atoi(argv[3]) : w1::kRows);
  if (mode == "open") return Open(argv[2], false);
  if (mode == "read") return Open(argv[2], true);
  std::fprintf(stderr, "unknown mode %s\n", argv[1]);
  return 2;
}
