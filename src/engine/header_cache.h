// The header cache of a binding: one list of column names per sheet, entry sheet-1 for sheet
// `sheet`, and inside a list entry col-1 for column col ("" for an unnamed column). The cache
// owns the lists; a list's address stays the same while its sheet's entry exists, also when
// the list is refilled or other sheets' entries come and go.
//
// Each list carries a name index (first column of each name) for lookups in constant time.
// The binding changes a list only through Edit, Ensure or Append, which mark the index
// stale; the next lookup brings it up to date (a list refilled with the same names keeps
// its index after one comparison). Callers outside the binding read the lists only; a list
// resized or reallocated behind the cache's back is still noticed, and a hit is checked
// against the list before it is returned.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ddtable/dt_if.h"

namespace ddt::engine {

class HeaderCache {
 public:
  std::size_t Size() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

  // The list of sheet `sheet` (from 1), or null outside 1..Size(). For reading.
  CStringList* Find(int sheet);
  // The list of sheet `sheet` for changing it (null outside 1..Size()).
  CStringList* Edit(int sheet);
  // The list of sheet `sheet` for changing it, appending empty lists up to it when the cache
  // is shorter.
  CStringList& Ensure(int sheet);
  // Appends a list and returns it for changing.
  CStringList& Append(CStringList list = {});
  // Inserts an empty list at position index (0-based, at most Size()).
  void InsertEmptyAt(std::size_t index);
  // Removes `count` lists from position index (0-based); positions past the end are ignored.
  void Erase(std::size_t index, std::size_t count);
  // Drops the lists beyond the first `size`.
  void Truncate(std::size_t size);

  // The column (from 1) of the first entry of sheet `sheet` equal to name; -1 when there is
  // none or no such sheet.
  long IndexOf(int sheet, std::string_view name);

 private:
  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct Entry {
    CStringList list;
    std::unordered_map<std::string, long, StringHash, std::equal_to<>> index;
    CStringList indexed;  // the names the index was built from
    bool stale = true;
    // What the list looked like when the index was last confirmed.
    const std::string* data = nullptr;
    std::size_t size = 0;
  };
  Entry* EntryOf(int sheet);
  static void Refresh(Entry& entry);

  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace ddt::engine
