// Formula results against vectors computed by a spreadsheet engine (data/core_vectors.tsv,
// made by scripts/gen-core-vectors.mjs; where Excel differs from that engine the vector holds
// Excel's result and says so). Also checks that every registered function appears in some
// vector file, so each one is evaluated at least once.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "grid/formula/functions.h"
#include "grid/workbook.h"

namespace ddt::grid::formula {
namespace {

constexpr int kResultRow = 200, kResultCol = 26;  // Z200, as the generator uses

std::vector<std::string> DataLines(const std::string& file) {
  std::ifstream in(std::string(DDT_TEST_DATA) + "/" + file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> parts;
  std::stringstream ss(line);
  for (std::string part; std::getline(ss, part, '\t');) parts.push_back(part);
  return parts;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

// "n:1.5", "s:text", "b:TRUE", "e:#N/A" against a value.
::testing::AssertionResult Matches(const std::string& expected, const Value& got) {
  std::string kind = expected.substr(0, 2), body = Unescape(expected.substr(2));
  std::string shown = IsError(got)    ? std::string(ErrorText(std::get<ErrorCode>(got)))
                      : IsNumber(got) ? "n:" + std::to_string(std::get<double>(got))
                      : IsText(got)   ? "s:" + std::get<grid::SharedText>(got).str()
                      : IsBoolean(got) ? (std::get<bool>(got) ? "TRUE" : "FALSE")
                                       : "empty";
  bool ok = false;
  if (kind == "n:" && IsNumber(got)) {
    double want = std::stod(body), have = std::get<double>(got);
    ok = std::fabs(want - have) <= 1e-12 * std::fmax(1.0, std::fabs(want));
  } else if (kind == "s:" && IsText(got)) {
    ok = std::get<grid::SharedText>(got) == body;
  } else if (kind == "b:" && IsBoolean(got)) {
    ok = std::get<bool>(got) == (body == "TRUE");
  } else if (kind == "e:" && IsError(got)) {
    ok = body == ErrorText(std::get<ErrorCode>(got));
  }
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << shown;
}

// Sheet1 with the fixture, plus Sheet2 and "My Data".
void LoadFixture(Workbook& book) {
  book.SetSheetCount(3);
  book.SetSheetName(2, "Sheet2");
  book.SetSheetName(3, "My Data");
  for (const std::string& line : DataLines("core_fixture.tsv")) {
    auto parts = Split(line);
    ASSERT_GE(parts.size(), 2u) << line;
    std::string where = parts[0];
    int sheet = 1;
    if (size_t bang = where.rfind('!'); bang != std::string::npos) {
      sheet = book.FindSheet(where.substr(0, bang));
      where = where.substr(bang + 1);
    }
    size_t digits = where.find_first_of("0123456789");
    int col = 0;
    for (size_t i = 0; i < digits; ++i) col = col * 26 + (where[i] - 'A' + 1);
    book.SetEntry(sheet, std::stoi(where.substr(digits)), col, parts[1]);
  }
}

TEST(CoreVectors, MatchTheSpreadsheet) {
  Workbook book;
  LoadFixture(book);
  int count = 0;
  for (const std::string& line : DataLines("core_vectors.tsv")) {
    auto parts = Split(line);
    ASSERT_GE(parts.size(), 3u) << line;
    const std::string& formula = parts[1];
    book.SetEntry(1, kResultRow, kResultCol, formula);
    Value v = book.GetCellValue(1, kResultRow, kResultCol);
    EXPECT_TRUE(Matches(parts[2], v)) << "[" << parts[0] << "] " << formula;
    ++count;
  }
  EXPECT_GT(count, 300);
}

// Function names called in a formula (outside string literals).
void CollectCalls(const std::string& formula, std::set<std::string>* names) {
  bool inString = false;
  std::string word;
  for (char c : formula) {
    if (c == '"') inString = !inString;
    if (inString) {
      word.clear();
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_') {
      word += c;
    } else {
      if (c == '(' && !word.empty()) {
        const FunctionSpec* fn = Functions().Find(word);
        if (fn) names->insert(std::string(fn->name));
      }
      word.clear();
    }
  }
}

TEST(CoreVectors, EveryRegisteredFunctionIsEvaluated) {
  std::set<std::string> used;
  for (const char* file : {"core_vectors.tsv", "fn_vectors.tsv"}) {
    for (const std::string& line : DataLines(file)) {
      auto parts = Split(line);
      if (parts.size() >= 2) CollectCalls(parts[1], &used);
    }
  }
  std::vector<std::string> missing;
  Functions().ForEach([&](const FunctionSpec& spec) {
    if (!used.count(std::string(spec.name))) missing.push_back(std::string(spec.name));
  });
  std::sort(missing.begin(), missing.end());
  std::string list;
  for (const auto& m : missing) list += m + " ";
  EXPECT_TRUE(missing.empty()) << "functions no vector evaluates: " << list;
}

}  // namespace
}  // namespace ddt::grid::formula
