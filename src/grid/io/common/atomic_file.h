// Replacing a file so that readers see either the old or the new content, never a mix.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ddt::grid::io {

// The same replacement for content written piece by piece: Write goes to a temporary file
// beside the target; Commit flushes it to disk and renames it over the target. Destroyed
// without Commit (a failed or abandoned write) it removes the temporary file and the target
// is untouched. Failures throw GridError.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const char* data, size_t size);  // buffered
  void Commit();

 private:
  void Flush();
  class TempFile;
  std::string path_;
  std::unique_ptr<TempFile> tmp_;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

// Writes `bytes` to a new temporary file in the target's directory, flushes it to disk and
// renames it over `path` (then flushes the directory). A file that already exists keeps its
// permission bits. On failure the temporary file is removed, `path` is untouched, and
// GridError says what failed.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace ddt::grid::io
