#include "ddtable/dt_qx.h"

#include <mutex>

#include "engine/engine_limits.h"
#include "engine/engine_testing.h"
#include "engine/grid_window.h"
#include "engine/header_cache.h"
#include "engine/kinds.h"
#include "engine/sheet_header.h"
#include "platform/named_mutex.h"

using ddt::grid::Range;

namespace {

constexpr const char* kCreationMutexName = "MutexToProtectFormula";

// The machine-wide lock around creating a headless control, shared by all instances.
ddt::platform::NamedMutex& CreationMutex() {
  static ddt::platform::NamedMutex mutex(kCreationMutexName);
  return mutex;
}

std::mutex& ProbeMutex() {
  static std::mutex m;
  return m;
}
std::function<void()>& CreationProbe() {
  static std::function<void()> probe;
  return probe;
}

void RunCreationProbe() {
  std::function<void()> probe;
  {
    std::lock_guard lock(ProbeMutex());
    probe = CreationProbe();
  }
  if (probe) probe();
}

}  // namespace

namespace ddt::engine::testing {
void SetHeadlessCreationProbe(std::function<void()> probe) {
  std::lock_guard lock(ProbeMutex());
  CreationProbe() = std::move(probe);
}
}  // namespace ddt::engine::testing

CDT_QX::CDT_QX(ddt::platform::Window* parent)
    : CDT_GRID(parent, std::make_unique<ddt::engine::GridWindow>()) {
  ddt::platform::NamedMutex& mutex = CreationMutex();
  // Without a lock file the control is still created; the lock only orders creations.
  const bool locked = mutex.Lock();
  // On failure the process ends here, still holding the mutex; the system releases it.
  if (!Host().CreateControl(parent)) ddt::engine::FailControlCreation();
  RunCreationProbe();
  if (locked) mutex.Unlock();
}

CDT_QX::~CDT_QX() = default;

// --- Header cache ------------------------------------------------------------------------

void CDT_QX::OnModified(int sheet) {
  // A workbook that was never opened (or gained sheets behind the cache) still has a list
  // for each of its sheets, so that names given to its columns are not lost.
  const long sheets = GetNumSheets();
  if (sheet >= 1 && sheet <= sheets) m_HeaderCache.Ensure(static_cast<int>(sheets));
  if (sheet < 1 || static_cast<std::size_t>(sheet) > m_HeaderCache.Size()) return;
  SetSheet(sheet);
  ddt::engine::ReadHeadings(Book(), *m_HeaderCache.Edit(sheet));
  SetModified(1);
}

// --- Fixed extents and whole-line deletion -----------------------------------------------

void CDT_QX::DeleteRange(int firstRow, int firstCol, int lastRow, int lastCol,
                         DT_SHIFT_TYPE kind) {
  // Only whole rows and whole columns are removed here.
  if (kind != DT_SHIFT_ROWS && kind != DT_SHIFT_COLUMNS) return;
  Book().DeleteRange(Range{firstRow, firstCol, lastRow, lastCol}, *ddt::engine::ShiftKind(kind));
}

long CDT_QX::GetMaxRow() { return ddt::engine::kHeadlessMaxRow; }
long CDT_QX::GetMaxCol() { return ddt::engine::kHeadlessMaxCol; }
