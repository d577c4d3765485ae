// Per-row or per-column properties (headings, widths, hidden flags, styles) stored as runs of
// equal values, so that a property of a million rows costs one entry. Positions without an
// entry hold the map's default. Every operation costs one pass over the runs at most.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

namespace ddt::grid {

template <class T>
class LineMap {
 public:
  explicit LineMap(T defaultValue = T{}) : default_(std::move(defaultValue)) {}

  const T& Default() const { return default_; }
  bool Empty() const { return runs_.empty(); }
  size_t RunCount() const { return runs_.size(); }
  void Clear() { runs_.clear(); }

  const T& Get(int i) const {
    auto it = std::lower_bound(runs_.begin(), runs_.end(), i,
                               [](const Run& r, int pos) { return r.last < pos; });
    if (it != runs_.end() && it->first <= i) return it->value;
    return default_;
  }

  void Set(int first, int last, const T& value) {
    Transform(first, last, [&](const T&) { return value; });
  }

  // Replaces the value of every position in [first, last] (gaps included, which hold the
  // default) by fn(old value).
  template <class Fn>
  void Transform(int first, int last, Fn fn) {
    if (first > last) return;
    auto lo = std::lower_bound(runs_.begin(), runs_.end(), first,
                               [](const Run& r, int pos) { return r.last < pos; });
    auto hi = std::upper_bound(lo, runs_.end(), last,
                               [](int pos, const Run& r) { return pos < r.first; });
    std::vector<Run> mid;
    int pos = first;
    for (auto it = lo; it != hi; ++it) {
      if (it->first < first) mid.push_back({it->first, first - 1, it->value});
      int from = std::max(it->first, first);
      if (pos < from) mid.push_back({pos, from - 1, fn(default_)});
      int to = std::min(it->last, last);
      mid.push_back({from, to, fn(it->value)});
      if (it->last > last) mid.push_back({last + 1, it->last, it->value});
      pos = to + 1;
    }
    if (pos <= last) mid.push_back({pos, last, fn(default_)});
    size_t at = static_cast<size_t>(lo - runs_.begin());
    runs_.erase(lo, hi);
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(at),
                 std::make_move_iterator(mid.begin()), std::make_move_iterator(mid.end()));
    Tidy(at == 0 ? 0 : at - 1, at + mid.size() + 1);
  }

  // Positions at..at+count-1 were inserted: later positions move up by count; a run that
  // spans `at` is split around the new (default) positions; nothing goes beyond `limit`.
  void Insert(int at, int count, int limit) {
    std::vector<Run> out;
    out.reserve(runs_.size() + 1);
    for (Run& r : runs_) {
      if (r.last < at) {
        out.push_back(std::move(r));
      } else if (r.first >= at) {
        r.first += count;
        r.last += count;
        out.push_back(std::move(r));
      } else {
        out.push_back({r.first, at - 1, r.value});
        out.push_back({at + count, r.last + count, std::move(r.value)});
      }
    }
    while (!out.empty() && out.back().first > limit) out.pop_back();
    if (!out.empty() && out.back().last > limit) out.back().last = limit;
    runs_ = std::move(out);
  }

  // Positions first..first+count-1 were removed: later positions move down by count.
  void Delete(int first, int count) {
    int end = first + count - 1;
    std::vector<Run> out;
    out.reserve(runs_.size());
    for (Run& r : runs_) {
      int f = r.first < first ? r.first : (r.first > end ? r.first - count : first);
      int l = r.last < first ? r.last : (r.last > end ? r.last - count : first - 1);
      if (f <= l) out.push_back({f, l, std::move(r.value)});
    }
    runs_ = std::move(out);
    Tidy(0, runs_.size());
  }

  // Every position moves by delta; what leaves [low, limit] is dropped.
  void Translate(int delta, int low, int limit) {
    std::vector<Run> out;
    out.reserve(runs_.size());
    for (Run& r : runs_) {
      int f = std::max(r.first + delta, low), l = std::min(r.last + delta, limit);
      if (f <= l) out.push_back({f, l, std::move(r.value)});
    }
    runs_ = std::move(out);
  }

  // fn(first, last, value) for every run, in order.
  template <class Fn>
  void ForEach(Fn fn) const {
    for (const Run& r : runs_) fn(r.first, r.last, r.value);
  }

 private:
  struct Run {
    int first, last;
    T value;
  };

  // Drops default-valued runs and merges touching equal runs within [from, to).
  void Tidy(size_t from, size_t to) {
    to = std::min(to, runs_.size());
    if (from >= to) return;
    std::vector<Run> kept;
    for (size_t i = from; i < to; ++i) {
      Run& r = runs_[i];
      if (r.value == default_) continue;
      if (!kept.empty() && kept.back().last + 1 == r.first && kept.back().value == r.value)
        kept.back().last = r.last;
      else
        kept.push_back(std::move(r));
    }
    runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(from),
                runs_.begin() + static_cast<std::ptrdiff_t>(to));
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(from),
                 std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
  }

  std::vector<Run> runs_;
  T default_;
};

}  // namespace ddt::grid
