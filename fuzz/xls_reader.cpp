// Fuzzes the legacy .xls reader: the BIFF5/BIFF8 records of the workbook stream (globals,
// shared strings, styles, sheets, formula tokens) rather than the container around them.
//
// Input: the workbook stream. The target puts it into a compound file of its own, as the
// stream "Workbook" (BIFF8) or "Book" (when the first BOF says BIFF5), so every mutation
// lands in the records. An input that starts with the compound-file signature is a whole
// .xls file instead and is read as it is, for the container reader. Any input must either
// read or fail with the grid's error: no crash, no other exception, bounded memory.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "book_checks.h"
#include "fuzz_support.h"
#include "grid/io/file_type.h"

namespace {

constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr size_t kSector = 512;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD;

void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// A version 3 compound file (512-byte sectors) holding one stream in regular sectors: the
// header's mini-stream cutoff is 0, so no mini stream is needed. Sectors: the FAT, one
// directory sector, then the stream.
std::string CompoundFile(std::string_view name, std::string_view stream) {
  const size_t streamSectors = (stream.size() + kSector - 1) / kSector;
  size_t fatSectors = 1;
  while (fatSectors * (kSector / 4) < fatSectors + 1 + streamSectors) ++fatSectors;
  const size_t total = fatSectors + 1 + streamSectors;
  std::string file(kSector * (1 + total), '\0');

  file.replace(0, kSignature.size(), kSignature);
  Put16(file, 24, 0x3E);
  Put16(file, 26, 3);
  Put16(file, 28, 0xFFFE);
  Put16(file, 30, 9);
  Put16(file, 32, 6);
  Put32(file, 44, static_cast<uint32_t>(fatSectors));
  Put32(file, 48, static_cast<uint32_t>(fatSectors));  // the directory
  Put32(file, 56, 0);                                    // mini-stream cutoff
  Put32(file, 60, kEndOfChain);
  Put32(file, 68, kEndOfChain);
  for (size_t i = 0; i < 109; ++i)
    Put32(file, 76 + 4 * i, i < fatSectors ? static_cast<uint32_t>(i) : kFree);

  // The FAT: its own sectors, the directory's, then the stream's chain.
  const auto fat = [&](size_t sector, uint32_t next) { Put32(file, kSector + 4 * sector, next); };
  for (size_t i = 0; i < fatSectors * (kSector / 4); ++i) fat(i, kFree);
  for (size_t i = 0; i < fatSectors; ++i) fat(i, kFatSector);
  fat(fatSectors, kEndOfChain);
  const size_t first = fatSectors + 1;
  for (size_t i = 0; i < streamSectors; ++i)
    fat(first + i, i + 1 < streamSectors ? static_cast<uint32_t>(first + i + 1) : kEndOfChain);

  // The directory: the root entry, whose child is the stream.
  const size_t dir = kSector * (1 + fatSectors);
  const auto entry = [&](size_t index, std::string_view entryName, uint8_t type, uint32_t child,
                         uint32_t start, uint32_t size) {
    const size_t at = dir + 128 * index;
    for (size_t i = 0; i < entryName.size(); ++i) Put16(file, at + 2 * i, static_cast<uint8_t>(entryName[i]));
    Put16(file, at + 64, static_cast<uint16_t>(2 * (entryName.size() + 1)));
    file[at + 66] = static_cast<char>(type);
    file[at + 67] = 1;  // black
    Put32(file, at + 68, kFree);
    Put32(file, at + 72, kFree);
    Put32(file, at + 76, child);
    Put32(file, at + 116, start);
    Put32(file, at + 120, size);
  };
  entry(0, "Root Entry", 5, 1, kEndOfChain, 0);
  entry(1, name, 2, kFree, streamSectors ? static_cast<uint32_t>(first) : kEndOfChain,
        static_cast<uint32_t>(stream.size()));
  for (size_t i = 2; i < 4; ++i) {
    const size_t at = dir + 128 * i;
    Put32(file, at + 68, kFree);
    Put32(file, at + 72, kFree);
    Put32(file, at + 76, kFree);
  }
  file.replace(kSector * (1 + first), stream.size(), stream);
  return file;
}

// BIFF5 and BIFF7 streams are named "Book"; their BOF record (type 0x0809) says 0x0500.
bool IsBiff5(std::string_view stream) {
  return stream.size() >= 6 && stream.substr(0, 2) == std::string_view("\x09\x08", 2) &&
         stream.substr(4, 2) == std::string_view("\x00\x05", 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ddt::fuzz::ScratchPath(".xls");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.substr(0, kSignature.size()) == kSignature) {
    if (!ddt::fuzz::WriteWhole(path, data, size)) return 0;
  } else {
    const std::string file = CompoundFile(IsBiff5(input) ? "Book" : "Workbook", input);
    if (!ddt::fuzz::WriteWhole(path, file.data(), file.size())) return 0;
  }
  ddt::fuzz::ReadAndUse(path, ddt::grid::io::kFileTypeXls);
  return 0;
}
