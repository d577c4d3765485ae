// Choosing the next row a results workbook copies from a sheet of the input workbook.
//
// The run rows of a sheet are the rows of its ranges, range after range; the same row may
// occur more than once. The walk remembers the position (1-based index into that sequence)
// of the row it copied last, so a sheet whose ranges overlap is walked once from start to
// end instead of going round between the overlapping ranges.
#pragma once

#include <vector>

namespace ddt::results {

// One range of run rows, both ends included.
struct RowSpan {
  long first = 0;
  long last = 0;
};

// The run rows of one sheet, in run order.
class RunRows {
 public:
  explicit RunRows(std::vector<RowSpan> spans);

  // Number of run rows (ranges with last < first count as empty).
  long Count() const { return count_; }
  // The k-th run row, from 1; 0 when there is none (also for k below 1).
  long RowAt(long k) const;
  // The position of row in the sequence: hint when the row stands there, else its first
  // occurrence; 0 when row is not a run row.
  long PositionOf(long row, long hint) const;

 private:
  std::vector<RowSpan> spans_;
  long count_ = 0;
};

// What CopyNextRow copies next.
struct RowChoice {
  long row = 0;         // the row to copy; 0: none
  long position = 0;    // its position among the run rows
  bool wrapped = false; // the end was reached and the choice started again from the start
};

// Chooses the next row by mode: low byte 0 next run row, 1 counted (positions first to
// first + count - 1), 2 random (seeded with the tick count), 3 repeatable random (seeded
// with first when nothing was copied yet), other values the current row again; bit 0x100
// starts again from the beginning when the method finds no row. current is the row copied
// last (0: none yet) and hint its remembered position. Only run rows are ever chosen: a
// current row that is not (or no longer) a run row has no successor and is not copied again.
// Methods 2 and 3 use the C library's srand/rand, so they change its shared state.
RowChoice ChooseRow(const RunRows& rows, int mode, int first, int count, long current,
                    long hint);

}  // namespace ddt::results
