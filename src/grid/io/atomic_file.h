// Replacing a file so that readers see either the old or the new content, never a mix.
#pragma once

#include <string>
#include <string_view>

namespace ddt::grid::io {

// Writes `bytes` to a new temporary file in the target's directory, flushes it to disk and
// renames it over `path` (then flushes the directory). A file that already exists keeps its
// permission bits. On failure the temporary file is removed, `path` is untouched, and
// GridError says what failed.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace ddt::grid::io
