#include "grid/style.h"

#include <functional>

namespace ddt::grid {

size_t StyleTable::Hash::operator()(const Style& s) const {
  size_t h = std::hash<std::string>{}(s.numberFormat);
  auto mix = [&h](uint64_t v) { h ^= std::hash<uint64_t>{}(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  mix(s.pattern);
  mix((uint64_t{s.patternFg} << 32) | s.patternBg);
  mix(s.fontColor);
  for (const Border* b : {&s.left, &s.right, &s.top, &s.bottom}) mix((uint64_t{b->style} << 32) | b->color);
  mix(reinterpret_cast<uintptr_t>(s.extras.get()));
  return h;
}

StyleTable::StyleTable() {
  styles_.push_back(Style{});
  index_.emplace(Style{}, kDefaultStyle);
}

StyleId StyleTable::Intern(const Style& style) {
  auto it = index_.find(style);
  if (it != index_.end()) return it->second;
  StyleId id = static_cast<StyleId>(styles_.size());
  styles_.push_back(style);
  index_.emplace(style, id);
  return id;
}

const Style& StyleTable::Get(StyleId id) const {
  return id < styles_.size() ? styles_[id] : styles_[kDefaultStyle];
}

}  // namespace ddt::grid
