// Fuzzes the workbook file readers (.xlsx/.xlsm, .xls, .csv) through Workbook::ReadFile.
//
// Input: raw file bytes, recognised from their content as ReadFile does. An input starting
// with "PARTS\n" is instead a list of archive entries, "name\n" then the entry's bytes,
// entries separated by "\n\x01\n"; the target packs them into a zip archive (stored, so the
// fuzzer mutates the XML itself rather than deflate streams) and reads that. Any input must
// either read or fail with the grid's error: no crash, no other exception, bounded memory.
#include <zip.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <deque>
#include <string_view>

#include "book_checks.h"
#include "fuzz_support.h"
#include "grid/io/file_type.h"

namespace {

constexpr std::string_view kPartsMagic = "PARTS\n";
constexpr std::string_view kPartSeparator = "\n\x01\n";

// Writes the entries of a PARTS input as a zip archive at path. False when libzip refuses.
bool WriteArchive(const std::string& path, std::string_view spec) {
  std::remove(path.c_str());
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) return false;
  std::deque<std::string> keep;  // libzip reads the buffers at zip_close: they must not move
  while (!spec.empty()) {
    size_t end = spec.find(kPartSeparator);
    std::string_view part = spec.substr(0, end);
    spec = end == std::string_view::npos ? std::string_view{} : spec.substr(end + kPartSeparator.size());
    const size_t nl = part.find('\n');
    if (nl == std::string_view::npos || nl == 0) continue;
    const std::string name(part.substr(0, nl));
    keep.emplace_back(part.substr(nl + 1));
    zip_source_t* src = zip_source_buffer(zip, keep.back().data(), keep.back().size(), 0);
    if (!src) continue;
    const zip_int64_t index = zip_file_add(zip, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(src);
      continue;
    }
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(zip) != 0) {
    zip_discard(zip);
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ddt::fuzz::ScratchPath(".bin");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool parts = input.substr(0, kPartsMagic.size()) == kPartsMagic;
  if (parts ? !WriteArchive(path, input.substr(kPartsMagic.size()))
            : !ddt::fuzz::WriteWhole(path, data, size))
    return 0;

  ddt::fuzz::ReadAndUse(path, ddt::grid::io::kFileTypeAny);
  return 0;
}
