// Helpers of the .xls tests: BIFF records and a minimal OLE2 compound file around a workbook
// stream, so that tests can build exactly the records (and the damage) they need.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ddt::grid::io::test {

inline void PutU16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
inline void PutU32(std::string& s, uint32_t v) {
  PutU16(s, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(s, static_cast<uint16_t>(v >> 16));
}
inline void PutF64(std::string& s, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  PutU32(s, static_cast<uint32_t>(bits));
  PutU32(s, static_cast<uint32_t>(bits >> 32));
}
inline std::string U16s(std::initializer_list<uint16_t> values) {
  std::string s;
  for (uint16_t v : values) PutU16(s, v);
  return s;
}

// One record: type, length, data.
inline std::string Rec(uint16_t type, const std::string& data) {
  std::string s;
  PutU16(s, type);
  PutU16(s, static_cast<uint16_t>(data.size()));
  return s + data;
}

// A compressed BIFF8 string with an 8-bit (short) or 16-bit count.
inline std::string Str8(const std::string& latin1, bool shortCount) {
  std::string s;
  if (shortCount) s += static_cast<char>(latin1.size());
  else PutU16(s, static_cast<uint16_t>(latin1.size()));
  return s + '\0' + latin1;
}

// A workbook stream: globals records (BOUNDSHEET offsets filled in), then one substream per
// sheet. `biff8` picks the BOF version and the sheet-name encoding.
struct BiffBook {
  bool biff8 = true;
  std::vector<std::string> globals;  // records between the BOF and the BOUNDSHEETs
  std::vector<std::string> sst;      // records after the BOUNDSHEETs (SST, CONTINUE, ...)
  std::vector<std::pair<std::string, std::string>> sheets;  // name, cell records

  std::string Bof(uint16_t kind) const {
    std::string d = U16s({static_cast<uint16_t>(biff8 ? 0x0600 : 0x0500), kind, 0x0DBB, 0x07CC});
    if (biff8) d += std::string(8, '\0');
    return Rec(0x0809, d);
  }

  std::string Stream() const {
    std::string head = Bof(0x0005);
    for (const auto& r : globals) head += r;
    std::vector<size_t> offsetAt;
    for (const auto& [name, cells] : sheets) {
      std::string d(4, '\0');
      d += '\0';  // visible
      d += '\0';  // worksheet
      d += static_cast<char>(name.size());
      if (biff8) d += '\0';
      d += name;
      offsetAt.push_back(head.size() + 4);
      head += Rec(0x0085, d);
    }
    for (const auto& r : sst) head += r;
    head += Rec(0x000A, "");
    std::string out = head;
    for (size_t i = 0; i < sheets.size(); ++i) {
      const uint32_t at = static_cast<uint32_t>(out.size());
      for (int b = 0; b < 4; ++b) out[offsetAt[i] + b] = static_cast<char>((at >> (8 * b)) & 0xFF);
      out += Bof(0x0010) + sheets[i].second + Rec(0x000A, "");
    }
    return out;
  }
};

// An OLE2 compound file holding one stream `name` with `data`. Streams under 4096 bytes go
// into the mini stream as real files do. `loop` makes the stream's sector chain loop back
// to its start (in the FAT or the MiniFAT, wherever the stream lives).
inline std::string Compound(const std::string& name, const std::string& data, bool loop = false) {
  constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;
  const bool mini = data.size() < 4096;
  std::vector<uint32_t> fat(128, kFree);
  std::vector<std::string> sectors;  // after the header
  auto addChain = [&](const std::string& bytes) {
    const uint32_t first = static_cast<uint32_t>(sectors.size());
    const size_t n = (bytes.size() + 511) / 512;
    for (size_t i = 0; i < n; ++i) {
      std::string s = bytes.substr(i * 512, 512);
      s.resize(512, '\0');
      sectors.push_back(s);
      fat[first + i] = i + 1 < n ? first + static_cast<uint32_t>(i) + 1 : kEnd;
    }
    return first;
  };
  sectors.push_back(std::string(512, '\0'));  // the FAT, filled in at the end
  fat[0] = kFatSect;
  uint32_t streamStart = kEnd, miniFatStart = kEnd, rootStart = kEnd, rootSize = 0;
  uint32_t miniFatSectors = 0;
  if (mini) {
    const size_t n = (data.size() + 63) / 64;
    std::string minifat;
    for (size_t i = 0; i < n; ++i) {
      uint32_t next = i + 1 < n ? static_cast<uint32_t>(i) + 1 : kEnd;
      if (loop && i + 1 == n) next = 0;
      PutU32(minifat, next);
    }
    while (minifat.size() < 512) PutU32(minifat, kFree);
    miniFatStart = addChain(minifat);
    miniFatSectors = 1;
    std::string ministream = data;
    ministream.resize(n * 64, '\0');
    rootStart = addChain(ministream);
    rootSize = static_cast<uint32_t>(n * 64);
    streamStart = 0;
  } else {
    streamStart = addChain(data);
    if (loop) {
      uint32_t s = streamStart;
      while (fat[s] != kEnd) s = fat[s];
      fat[s] = streamStart;
    }
  }
  std::string dir;
  auto entry = [&](const std::string& n, uint8_t type, uint32_t child, uint32_t start,
                   uint32_t size) {
    std::string e;
    for (char c : n) PutU16(e, static_cast<uint8_t>(c));
    PutU16(e, 0);
    e.resize(64, '\0');
    PutU16(e, static_cast<uint16_t>((n.size() + 1) * 2));
    e += static_cast<char>(type);
    e += '\1';  // black
    PutU32(e, kFree);
    PutU32(e, kFree);
    PutU32(e, child);
    e.resize(116, '\0');
    PutU32(e, start);
    PutU32(e, size);
    PutU32(e, 0);
    dir += e;
  };
  entry("Root Entry", 5, 1, rootStart, rootSize);
  entry(name, 2, kFree, streamStart, static_cast<uint32_t>(data.size()));
  dir.resize(512, '\0');
  for (size_t at = 256; at < 512; at += 128) {  // empty entries: no siblings
    for (int b = 68; b < 80; ++b) dir[at + b] = '\xFF';
  }
  const uint32_t dirStart = addChain(dir);
  std::string fatBytes;
  for (uint32_t v : fat) PutU32(fatBytes, v);
  sectors[0] = fatBytes;

  std::string h = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  h.resize(24, '\0');
  PutU16(h, 0x3E);
  PutU16(h, 3);
  PutU16(h, 0xFFFE);
  PutU16(h, 9);
  PutU16(h, 6);
  h.resize(44, '\0');
  PutU32(h, 1);         // FAT sectors
  PutU32(h, dirStart);  // first directory sector
  PutU32(h, 0);
  PutU32(h, 4096);      // mini stream cutoff
  PutU32(h, miniFatStart);
  PutU32(h, miniFatSectors);
  PutU32(h, kEnd);      // no DIFAT sectors
  PutU32(h, 0);
  PutU32(h, 0);         // the FAT is sector 0
  while (h.size() < 512) PutU32(h, kFree);
  std::string out = h;
  for (const auto& s : sectors) out += s;
  return out;
}

}  // namespace ddt::grid::io::test
