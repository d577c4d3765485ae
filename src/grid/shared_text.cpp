#include "grid/shared_text.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace ddt::grid {

SharedText::Rep* SharedText::Make(std::string_view s) {
  if (s.empty()) return nullptr;
  if (s.size() > std::numeric_limits<uint32_t>::max() - sizeof(Rep))
    throw std::length_error("text too long");
  void* block = ::operator new(offsetof(Rep, chars) + s.size() + 1);
  Rep* rep = new (block) Rep{{1}, static_cast<uint32_t>(s.size()), {0}};
  std::memcpy(rep->chars, s.data(), s.size());
  rep->chars[s.size()] = '\0';
  return rep;
}

void SharedText::Free(Rep* rep) noexcept {
  rep->~Rep();
  ::operator delete(rep);
}

}  // namespace ddt::grid
