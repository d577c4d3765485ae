// Holds a data table's data lock (LockData/UnlockData) for the guard's lifetime.
#pragma once

#include "ddtable/cdt.h"

namespace ddt::table {

class DataLock {
 public:
  explicit DataLock(CDT& table) : table_(table) { table_.LockData(); }
  ~DataLock() { table_.UnlockData(); }
  DataLock(const DataLock&) = delete;
  DataLock& operator=(const DataLock&) = delete;

 private:
  CDT& table_;
};

}  // namespace ddt::table
