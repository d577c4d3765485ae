// Fuzzes the reader's second parsing thread: any part reaches a handler through it exactly
// as through the single-thread parse (the same events in the same order, the same error).
// Input: the part's bytes, stored in a zip archive.
#include <zip.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "grid/grid_error.h"
#include "grid/io/xlsx/xml_pipeline.h"
#include "grid/io/xlsx/xml_reader.h"
#include "support/xml_event_journal.h"
#include "grid/io/zip/zip_reader.h"

namespace {

// Text is wanted inside elements whose name starts with 'v' or 't'.
bool WantsValueText(std::string_view name) {
  return !name.empty() && (name[0] == 'v' || name[0] == 't');
}

struct Journal : ddt::test::XmlEventJournal {
  Journal() : XmlEventJournal(WantsValueText, true) {}
};

std::string Parse(const std::string& path, bool pipelined, Journal& journal) {
  try {
    ddt::grid::io::ZipReader zip(path);
    if (pipelined)
      ddt::grid::io::ParseXmlPartPipelined(zip, "part.xml", 1u << 24, journal, 0);
    else
      ddt::grid::io::ParseXmlPart(zip, "part.xml", 1u << 24, journal);
  } catch (const ddt::grid::GridError& e) {
    journal.Flush();
    return e.what();
  }
  journal.Flush();
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ddt::fuzz::ScratchPath(".zip");
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) return 0;
  zip_source_t* src = zip_source_buffer(z, data, size, 0);
  if (!src || zip_file_add(z, "part.xml", src, ZIP_FL_ENC_UTF_8) < 0 || zip_close(z) != 0) {
    zip_discard(z);
    return 0;
  }
  Journal direct, pipelined;
  const std::string directError = Parse(path, false, direct);
  const std::string pipelinedError = Parse(path, true, pipelined);
  if (directError != pipelinedError || direct.events != pipelined.events) __builtin_trap();
  return 0;
}
