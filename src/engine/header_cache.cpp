#include "engine/header_cache.h"

#include <algorithm>

namespace ddt::engine {

HeaderCache::Entry* HeaderCache::EntryOf(int sheet) {
  if (sheet < 1 || static_cast<std::size_t>(sheet) > entries_.size()) return nullptr;
  return entries_[sheet - 1].get();
}

CStringList* HeaderCache::Find(int sheet) {
  Entry* entry = EntryOf(sheet);
  return entry != nullptr ? &entry->list : nullptr;
}

CStringList* HeaderCache::Edit(int sheet) {
  Entry* entry = EntryOf(sheet);
  if (entry == nullptr) return nullptr;
  entry->stale = true;
  return &entry->list;
}

CStringList& HeaderCache::Ensure(int sheet) {
  while (entries_.size() < static_cast<std::size_t>(sheet)) Append();
  return *Edit(sheet);
}

CStringList& HeaderCache::Append(CStringList list) {
  auto entry = std::make_unique<Entry>();
  entry->list = std::move(list);
  entries_.push_back(std::move(entry));
  return entries_.back()->list;
}

void HeaderCache::InsertEmptyAt(std::size_t index) {
  index = std::min(index, entries_.size());
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index),
                  std::make_unique<Entry>());
}

void HeaderCache::Erase(std::size_t index, std::size_t count) {
  if (index >= entries_.size()) return;
  count = std::min(count, entries_.size() - index);
  auto first = entries_.begin() + static_cast<std::ptrdiff_t>(index);
  entries_.erase(first, first + static_cast<std::ptrdiff_t>(count));
}

void HeaderCache::Truncate(std::size_t size) {
  if (entries_.size() > size) entries_.resize(size);
}

// Brings the index up to the list. A list refilled with the names it had (every change
// event of the interactive binding refills it) keeps its index.
void HeaderCache::Refresh(Entry& entry) {
  if (entry.list != entry.indexed) {
    entry.index.clear();
    entry.index.reserve(entry.list.size());
    // try_emplace keeps the first column of a repeated name.
    for (std::size_t i = 0; i < entry.list.size(); ++i)
      entry.index.try_emplace(entry.list[i], static_cast<long>(i) + 1);
    entry.indexed = entry.list;
  }
  entry.stale = false;
  entry.data = entry.list.data();
  entry.size = entry.list.size();
}

long HeaderCache::IndexOf(int sheet, std::string_view name) {
  Entry* entry = EntryOf(sheet);
  if (entry == nullptr) return -1;
  if (entry->stale || entry->data != entry->list.data() || entry->size != entry->list.size())
    Refresh(*entry);
  auto hit = entry->index.find(name);
  if (hit == entry->index.end()) return -1;
  const auto i = static_cast<std::size_t>(hit->second);
  if (i > entry->list.size() || entry->list[i - 1] != name) {
    // The list was changed in place behind the cache: index it again.
    Refresh(*entry);
    hit = entry->index.find(name);
    return hit == entry->index.end() ? -1 : hit->second;
  }
  return hit->second;
}

}  // namespace ddt::engine
