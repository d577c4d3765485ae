// Streams of an OLE2 compound file (the container of legacy .xls), read with every sector
// index, chain and size checked against the file, so damaged files fail cleanly.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace ddt::grid::io {

// The content of the stream named `name` (case-insensitive) in the compound file whose bytes
// are `file`; nothing when there is no such stream. Throws GridError when the container is
// damaged.
std::optional<std::string> ReadCompoundStream(std::string_view file, std::string_view name);
// The first stream of `names` the file holds, with its position in `names` in `*which`.
std::optional<std::string> ReadCompoundStream(std::string_view file,
                                              std::initializer_list<std::string_view> names,
                                              size_t* which);

}  // namespace ddt::grid::io
