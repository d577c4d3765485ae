// Every row of data/format_cases.tsv: a value, a code and the text a spreadsheet shows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "grid/format/number_format.h"

namespace ddt::grid::format {
namespace {

struct Case {
  int line = 0;
  double value = 0;
  bool date1904 = false;
  std::string code;
  std::string expected;
  std::string source;
};

std::vector<Case> LoadCases() {
  std::ifstream in(std::string(DDT_TEST_DATA) + "/format_cases.tsv");
  std::vector<Case> cases;
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    if (f.size() != 5) {
      ADD_FAILURE() << "line " << n << " has " << f.size() << " fields";
      continue;
    }
    Case c;
    c.line = n;
    c.value = std::stod(f[0]);
    c.date1904 = f[1] == "1";
    c.code = f[2];
    c.expected = f[3];
    c.source = f[4];
    cases.push_back(std::move(c));
  }
  return cases;
}

TEST(FormatCases, MatchTheSpreadsheet) {
  const std::vector<Case> cases = LoadCases();
  ASSERT_GT(cases.size(), 150u);
  for (const Case& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.code, c.date1904), c.expected)
        << "line " << c.line << ": " << c.value << " as [" << c.code << "] (" << c.source << ")";
  }
}

}  // namespace
}  // namespace ddt::grid::format
