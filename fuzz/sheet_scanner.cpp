// Fuzzes the worksheet scanner against expat: any document reaches a handler through the
// scanner (with expat taking over where the scanner gives up) exactly as through expat alone
// (the same events in the same order, the same text, the same error).
// Input: the document's bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "grid/grid_error.h"
#include "grid/io/xlsx/sheet_xml_part.h"
#include "grid/io/xlsx/xml_reader.h"
#include "support/xml_event_journal.h"

namespace {

// Text is wanted inside elements whose name starts with 'v', 't' or 'f' (as the sheet reader
// wants it), so that skipped and delivered text both occur.
bool WantsValueText(std::string_view name) {
  return !name.empty() && (name[0] == 'v' || name[0] == 't' || name[0] == 'f');
}

struct Journal : ddt::test::XmlEventJournal {
  Journal() : XmlEventJournal(WantsValueText, true) {}
};

const std::string kWhat = "part sheet.xml";

std::string ByExpat(const std::string& xml, Journal& journal) {
  try {
    ddt::grid::io::XmlReader reader(journal, kWhat);
    reader.Feed(xml.data(), xml.size());
    reader.Finish();
  } catch (const ddt::grid::GridError& e) {
    journal.Flush();
    return e.what();
  }
  journal.Flush();
  return {};
}

std::string ByScanner(const std::string& xml, Journal& journal) {
  try {
    ddt::grid::io::ParseSheetXml(xml, kWhat, journal);
  } catch (const ddt::grid::GridError& e) {
    journal.Flush();
    return e.what();
  }
  journal.Flush();
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string xml(reinterpret_cast<const char*>(data), size);  // a zero follows
  Journal expat, scanner;
  const std::string expatError = ByExpat(xml, expat);
  const std::string scannerError = ByScanner(xml, scanner);
  if (expatError != scannerError || expat.events != scanner.events) __builtin_trap();
  return 0;
}
