// The header cache of a binding: one list of column names per sheet, entry sheet-1 for sheet
// `sheet`, and inside a list entry col-1 for column col ("" for an unnamed column). The cache
// owns the lists; a list's address stays the same while its sheet's entry exists, also when
// the list is refilled or other sheets' entries come and go.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/dt_if.h"

namespace ddt::engine {

class HeaderCache {
 public:
  std::size_t Size() const { return lists_.size(); }
  void Clear() { lists_.clear(); }

  // The list of sheet `sheet` (from 1), or null outside 1..Size().
  CStringList* Find(int sheet);
  // The list of sheet `sheet`, appending empty lists up to it when the cache is shorter.
  CStringList& Ensure(int sheet);
  // Appends a list and returns it.
  CStringList& Append(CStringList list = {});
  // Inserts an empty list at position index (0-based, at most Size()).
  void InsertEmptyAt(std::size_t index);
  // Removes `count` lists from position index (0-based); positions past the end are ignored.
  void Erase(std::size_t index, std::size_t count);
  // Drops the lists beyond the first `size`.
  void Truncate(std::size_t size);

 private:
  std::vector<std::unique_ptr<CStringList>> lists_;
};

}  // namespace ddt::engine
