// The text, lookup, date/time and statistics functions evaluated through the grid, against
// vectors of expected values (tests/grid/formula/data/fn_vectors.tsv, made from a spreadsheet
// engine by scripts/gen-formula-vectors.mjs over the cells of fn_fixture.tsv).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "grid/formula/functions.h"
#include "grid/workbook.h"
#include "text/date_serial.h"

namespace ddt::grid::formula {
namespace {

// Each vector's formula goes to its own cell of column Z from row 200, below the fixture.
constexpr int kFnResultRow = 200;
constexpr int kFnResultCol = 26;

struct Vector {
  std::string group, formula, expected, note;
};

std::vector<std::vector<std::string>> ReadTsv(const std::string& name) {
  std::ifstream in(std::string(DDT_TEST_DATA) + "/" + name);
  EXPECT_TRUE(in) << name;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

std::string UnescapeField(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

void CellAddress(const std::string& a1, int* row, int* col) {
  size_t i = 0;
  *col = 0;
  while (i < a1.size() && a1[i] >= 'A' && a1[i] <= 'Z') *col = *col * 26 + (a1[i++] - 'A' + 1);
  *row = std::stoi(a1.substr(i));
}

std::string Describe(const Value& v) {
  if (auto* d = std::get_if<double>(&v)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "n:%.17g", *d);
    return buf;
  }
  if (auto* t = std::get_if<grid::SharedText>(&v)) return "s:" + t->str();
  if (auto* b = std::get_if<bool>(&v)) return *b ? "b:TRUE" : "b:FALSE";
  if (auto* e = std::get_if<ErrorCode>(&v)) return std::string("e:") + ErrorText(*e);
  return "empty";
}

// Whether the value is the expected one ("n:..." within a relative 1e-9, "s:", "b:", "e:").
bool Same(const Value& v, const std::string& expected) {
  const std::string kind = expected.substr(0, 2), body = expected.substr(2);
  if (kind == "n:") {
    const double want = std::stod(body);
    if (IsEmpty(v)) return want == 0;
    const auto* d = std::get_if<double>(&v);
    return d && std::fabs(*d - want) <= 1e-9 * std::max(1.0, std::fabs(want));
  }
  if (kind == "s:") return IsText(v) && std::get<grid::SharedText>(v) == UnescapeField(body);
  if (kind == "b:") return IsBoolean(v) && std::get<bool>(v) == (body == "TRUE");
  if (kind == "e:") return IsError(v) && ErrorText(std::get<ErrorCode>(v)) == body;
  return false;
}

class FnVectors : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& f : ReadTsv("fn_vectors.tsv")) {
      ASSERT_GE(f.size(), 3u);
      vectors_.push_back({f[0], f[1], f[2], f.size() > 3 ? f[3] : ""});
    }
    for (const auto& f : ReadTsv("fn_fixture.tsv")) {
      ASSERT_EQ(f.size(), 2u);
      int row, col;
      CellAddress(f[0], &row, &col);
      book_.SetEntry(1, row, col, f[1]);
    }
  }

  // Evaluates every vector of the group; returns how many there were.
  int Check(const std::string& group) {
    int n = 0;
    for (const Vector& v : vectors_) {
      if (v.group != group) continue;
      const int row = kFnResultRow + n++;
      book_.SetEntry(1, row, kFnResultCol, v.formula);
      const Value got = book_.GetCellValue(1, row, kFnResultCol);
      EXPECT_TRUE(Same(got, v.expected))
          << v.formula << " gave " << Describe(got) << ", expected " << v.expected
          << (v.note.empty() ? "" : " (" + v.note + ")");
      // A text result shows as it is.
      if (v.expected.starts_with("s:") && IsText(got)) {
        EXPECT_EQ(book_.GetFormattedText(1, row, kFnResultCol), std::get<grid::SharedText>(got));
      }
      // An array result spills into the rows below: the rows the next vectors (and the next
      // group) take must be free of it and of this formula, or they would block each other.
      book_.SetEntry(1, row, kResultCol, "");
    }
    return n;
  }

  Workbook book_;
  std::vector<Vector> vectors_;
};

TEST_F(FnVectors, Statistics) {
  EXPECT_GT(Check("stats"), 50);
}
TEST_F(FnVectors, Text) {
  EXPECT_GT(Check("text"), 50);
}
TEST_F(FnVectors, Lookup) {
  EXPECT_GT(Check("lookup"), 30);
}
TEST_F(FnVectors, DateTime) {
  EXPECT_GT(Check("datetime"), 50);
}

// The function families added later: each group has its vectors, and every one matches.
TEST_F(FnVectors, FurtherFamilies) {
  for (const char* group : {"trig", "engineering", "statistics", "arithmetic", "financial",
                            "distributions", "complex", "database", "array", "info", "calendar", "compat"}) {
    SCOPED_TRACE(group);
    EXPECT_GT(Check(group), 5);
  }
}

// Every function of these groups is evaluated by some vector (NOW and TODAY, which change,
// are checked below instead).
TEST_F(FnVectors, EveryFunctionOfTheseGroupsHasVectors) {
  FunctionRegistry mine;
  RegisterTextFunctions(mine);
  RegisterLookupFunctions(mine);
  RegisterDateTimeFunctions(mine);
  RegisterAggregateFunctions(mine);
  RegisterDescriptiveStatisticsFunctions(mine);
  EXPECT_GE(mine.Size(), 70u);
  mine.ForEach([&](const FunctionSpec& spec) {
    if (spec.name == "NOW" || spec.name == "TODAY") return;
    const std::string call = "=" + std::string(spec.name) + "(";
    bool found = false;
    for (const Vector& v : vectors_) found = found || v.formula.find(call) != std::string::npos;
    EXPECT_TRUE(found) << spec.name;
  });
}

TEST_F(FnVectors, NowAndTodayFollowTheClock) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  const double today =
      static_cast<double>(*text::DateToSerial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, false));
  book_.SetEntry(1, 1, 30, "=TODAY()");
  book_.SetEntry(1, 2, 30, "=NOW()-TODAY()");
  const Value t = book_.GetCellValue(1, 1, 30);
  const Value frac = book_.GetCellValue(1, 2, 30);
  ASSERT_TRUE(IsNumber(t) && IsNumber(frac));
  EXPECT_NEAR(std::get<double>(t), today, 1);  // one day of slack across midnight
  EXPECT_GE(std::get<double>(frac), 0);
  EXPECT_LT(std::get<double>(frac), 1);
  EXPECT_TRUE(Functions().Find("NOW")->isVolatile);
  EXPECT_TRUE(Functions().Find("TODAY")->isVolatile);
}

}  // namespace
}  // namespace ddt::grid::formula
