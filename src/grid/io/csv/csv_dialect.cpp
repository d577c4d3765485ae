#include "grid/io/csv/csv_dialect.h"

#include <map>
#include <vector>

#include "grid/format/entry.h"
#include "grid/value.h"

namespace ddt::grid::io {

namespace {

constexpr size_t kSampleBytes = 64 * 1024;
constexpr size_t kSampleRecords = 50;

// Number of fields of each non-blank record of the sample, split at `sep`.
std::vector<size_t> FieldCounts(std::string_view text, char sep) {
  const bool cut = text.size() > kSampleBytes;
  if (cut) text = text.substr(0, kSampleBytes);
  std::vector<size_t> counts;
  size_t fields = 1;
  bool blank = true;  // nothing in the record so far
  bool quoted = false, fieldStart = true;
  for (size_t i = 0; i < text.size() && counts.size() < kSampleRecords; ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') ++i;
        else quoted = false;
      }
      continue;
    }
    if (c == '"' && fieldStart) {
      quoted = true;
      fieldStart = false;
      blank = false;
    } else if (c == sep) {
      ++fields;
      fieldStart = true;
      blank = false;
    } else if (c == '\n' || c == '\r') {
      if (!blank) counts.push_back(fields);
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      fields = 1;
      blank = true;
      fieldStart = true;
    } else {
      fieldStart = false;
      blank = false;
    }
  }
  // The last record counts when the sample holds all of it.
  if (!blank && !cut && !quoted && counts.size() < kSampleRecords) counts.push_back(fields);
  return counts;
}

}  // namespace

char SniffSeparator(std::string_view text) {
  constexpr char kPreferred[] = {'\t', ';', ','};
  char best = ',';
  size_t bestAgreeing = 0;
  for (const char sep : kPreferred) {
    const std::vector<size_t> counts = FieldCounts(text, sep);
    if (counts.empty()) continue;
    std::map<size_t, size_t> tally;
    for (size_t n : counts) ++tally[n];
    size_t agreeing = 0;
    for (const auto& [n, records] : tally)
      if (n > 1 && records > agreeing) agreeing = records;
    if (agreeing == counts.size()) return sep;  // consistent throughout
    // Otherwise the most records that agree; on a tie, comma wins as the last one tried.
    if (agreeing > 0 && agreeing >= bestAgreeing) {
      best = sep;
      bestAgreeing = agreeing;
    }
  }
  return best;
}

std::string QuoteCsvField(std::string_view text, char separator) {
  // Any of the separators a reader may sniff, not only this one: a separator inside a field
  // must not make the field counts agree on the wrong one.
  bool quote = text.find_first_of(std::string{separator, ',', ';', '\t', '"', '\r', '\n'}) !=
               std::string_view::npos;
  if (!quote && !text.empty()) {
    const char first = text.front(), last = text.back();
    quote = first == ' ' || first == '\t' || last == ' ' || last == '\t';
  }
  if (!quote && !text.empty()) {
    // The reader enters an unquoted field as if typed: it must come back as this text.
    const format::ParsedEntry entry = format::ParseEntry(text);
    const auto* typed = std::get_if<SharedText>(&entry.value);
    quote = entry.kind != format::ParsedEntry::Kind::Constant || entry.forcedText || !typed ||
            typed->str() != text;
  }
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace ddt::grid::io
