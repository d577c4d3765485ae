#include "engine/header_cache.h"

#include <algorithm>

namespace ddt::engine {

CStringList* HeaderCache::Find(int sheet) {
  if (sheet < 1 || static_cast<std::size_t>(sheet) > lists_.size()) return nullptr;
  return lists_[sheet - 1].get();
}

CStringList& HeaderCache::Ensure(int sheet) {
  while (lists_.size() < static_cast<std::size_t>(sheet)) Append();
  return *lists_[sheet - 1];
}

CStringList& HeaderCache::Append(CStringList list) {
  lists_.push_back(std::make_unique<CStringList>(std::move(list)));
  return *lists_.back();
}

void HeaderCache::InsertEmptyAt(std::size_t index) {
  index = std::min(index, lists_.size());
  lists_.insert(lists_.begin() + static_cast<std::ptrdiff_t>(index),
                std::make_unique<CStringList>());
}

void HeaderCache::Erase(std::size_t index, std::size_t count) {
  if (index >= lists_.size()) return;
  count = std::min(count, lists_.size() - index);
  auto first = lists_.begin() + static_cast<std::ptrdiff_t>(index);
  lists_.erase(first, first + static_cast<std::ptrdiff_t>(count));
}

void HeaderCache::Truncate(std::size_t size) {
  if (lists_.size() > size) lists_.resize(size);
}

}  // namespace ddt::engine
