#include "results/row_choice.h"

#include <cstdlib>

#include "platform/clock.h"
#include "results/results_limits.h"

namespace ddt::results {
namespace {

long SpanSize(const RowSpan& s) { return s.last >= s.first ? s.last - s.first + 1 : 0; }

// A random run row: k in 1..n from rand(), or none for an empty sheet.
RowChoice RandomRow(const RunRows& rows) {
  const long n = rows.Count();
  if (n == 0) return {};
  const long k = std::rand() % n + 1;
  return {rows.RowAt(k), k, false};
}

RowChoice AtPosition(const RunRows& rows, long k) { return {rows.RowAt(k), k, false}; }

void SeedWithTickCount() { std::srand(static_cast<unsigned>(platform::TickCount())); }

// The choice of each method from the beginning, once the end was reached.
RowChoice FromStart(const RunRows& rows, CopyMethod method, int first) {
  switch (method) {
    case CopyMethod::Next:
      return AtPosition(rows, 1);
    case CopyMethod::Counted:
      return AtPosition(rows, first);
    case CopyMethod::Random:
      SeedWithTickCount();
      return RandomRow(rows);
    case CopyMethod::RepeatableRandom:
      std::srand(static_cast<unsigned>(first));
      return RandomRow(rows);
  }
  return {};  // any other method has nothing to start again with
}

}  // namespace

RunRows::RunRows(std::vector<RowSpan> spans) : spans_(std::move(spans)) {
  for (const RowSpan& s : spans_) count_ += SpanSize(s);
}

long RunRows::RowAt(long k) const {
  if (k < 1) return 0;
  long before = 0;
  for (const RowSpan& s : spans_) {
    const long size = SpanSize(s);
    if (k <= before + size) return s.first + (k - before - 1);
    before += size;
  }
  return 0;
}

long RunRows::PositionOf(long row, long hint) const {
  if (row < 1) return 0;
  if (hint >= 1 && RowAt(hint) == row) return hint;
  long before = 0;
  for (const RowSpan& s : spans_) {
    const long size = SpanSize(s);
    if (size > 0 && row >= s.first && row <= s.last) return before + (row - s.first + 1);
    before += size;
  }
  return 0;
}

RowChoice ChooseRow(const RunRows& rows, int mode, int first, int count, long current,
                    long hint) {
  const int methodCode = mode & kMethodMask;
  const bool known = methodCode <= static_cast<int>(CopyMethod::RepeatableRandom);
  const auto method = static_cast<CopyMethod>(methodCode);
  // Where the walk stands: the position of the current row, 0 before the first copy and
  // also when the current row is not a run row (it then has no successor).
  const long position = current == 0 ? 0 : rows.PositionOf(current, hint);

  RowChoice choice;
  if (!known) {
    if (position != 0) choice = {current, position, false};
  } else {
    switch (method) {
      case CopyMethod::Next:
        if (current == 0 || position != 0) choice = AtPosition(rows, position + 1);
        break;
      case CopyMethod::Counted: {
        const long long k = current == 0 ? first : (position == 0 ? 0 : position + 1);
        if (k != 0 && k < static_cast<long long>(first) + count)
          choice = AtPosition(rows, static_cast<long>(k));
        break;
      }
      case CopyMethod::Random:
        SeedWithTickCount();
        choice = RandomRow(rows);
        break;
      case CopyMethod::RepeatableRandom:
        if (current == 0) std::srand(static_cast<unsigned>(first));
        choice = RandomRow(rows);
        break;
    }
  }
  if (choice.row != 0 || !(mode & kWrapFlag)) return choice;
  choice = FromStart(rows, method, first);
  choice.wrapped = true;
  return choice;
}

}  // namespace ddt::results
