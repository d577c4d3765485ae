// Current directory and file attributes.
#pragma once

#include <string>
#include <string_view>

namespace ddt::platform {

// The process's current directory, whatever its length; "" if it cannot be read (for
// instance when it was removed).
std::string GetCurrentDirectory();
// Makes path the current directory; false (and nothing changes) on failure.
bool SetCurrentDirectory(std::string_view path);

enum class FileKind { Missing, File, Directory, Other };
// What path names, following symbolic links; Missing also when it cannot be examined.
FileKind GetFileKind(std::string_view path);
// True when path exists and is not a directory.
bool FileExists(std::string_view path);

}  // namespace ddt::platform
