// Runs of row and column properties.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "grid/line_map.h"

namespace ddt::grid {
namespace {

using Runs = std::vector<std::tuple<int, int, int>>;
Runs RunsOf(const LineMap<int>& m) {
  Runs out;
  m.ForEach([&](int f, int l, int v) { out.emplace_back(f, l, v); });
  return out;
}

TEST(LineMap, SetSplitsAndMergesRuns) {
  LineMap<int> m;
  m.Set(1, 10, 5);
  m.Set(4, 6, 7);
  EXPECT_EQ(RunsOf(m), (Runs{{1, 3, 5}, {4, 6, 7}, {7, 10, 5}}));
  m.Set(4, 6, 5);
  EXPECT_EQ(RunsOf(m), (Runs{{1, 10, 5}}));
  m.Set(3, 12, 0);  // the default value leaves no run
  EXPECT_EQ(RunsOf(m), (Runs{{1, 2, 5}}));
  EXPECT_EQ(m.Get(2), 5);
  EXPECT_EQ(m.Get(3), 0);
}

TEST(LineMap, TransformCoversGaps) {
  LineMap<int> m;
  m.Set(3, 4, 1);
  m.Transform(1, 6, [](int v) { return v + 10; });
  EXPECT_EQ(RunsOf(m), (Runs{{1, 2, 10}, {3, 4, 11}, {5, 6, 10}}));
}

TEST(LineMap, InsertSplitsSpanningRunsAndClipsAtTheLimit) {
  LineMap<int> m;
  m.Set(2, 5, 1);
  m.Set(9, 10, 2);
  m.Insert(4, 2, 11);
  EXPECT_EQ(RunsOf(m), (Runs{{2, 3, 1}, {6, 7, 1}, {11, 11, 2}}));
  m.Insert(1, 5, 11);
  EXPECT_EQ(RunsOf(m), (Runs{{7, 8, 1}, {11, 11, 1}}));
}

TEST(LineMap, DeleteShrinksAndJoinsRuns) {
  LineMap<int> m;
  m.Set(1, 3, 1);
  m.Set(4, 5, 2);
  m.Set(6, 8, 1);
  m.Delete(4, 2);
  EXPECT_EQ(RunsOf(m), (Runs{{1, 6, 1}}));
  m.Delete(2, 10);
  EXPECT_EQ(RunsOf(m), (Runs{{1, 1, 1}}));
}

TEST(LineMap, StringsWithDefault) {
  LineMap<std::string> m;
  m.Set(3, 3, "a");
  m.Set(4, 4, "b");
  m.Delete(3, 1);
  EXPECT_EQ(m.Get(3), "b");
  EXPECT_EQ(m.Get(4), "");
  EXPECT_EQ(m.RunCount(), 1u);
}

}  // namespace
}  // namespace ddt::grid
