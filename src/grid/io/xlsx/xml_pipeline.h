// Parsing a large part on a second thread: expat reads the part there and records its
// events in batches, and the caller's thread replays them to the handler, so that parsing
// and handling (building the cells) overlap. The handler sees the same events in the same
// order as with ParseXmlPart, and the same errors come out.
#pragma once

#include <cstdint>
#include <string_view>

namespace ddt::grid::io {

class XmlHandler;
class ZipReader;

// Parts smaller than this (declared size) are parsed on the caller's thread alone.
inline constexpr uint64_t kPipelinedPartBytes = 4u << 20;

// As ParseXmlPart; a part of at least `minPipelinedBytes` is parsed on a second thread when
// one can be had. The handler always runs on the caller's thread.
void ParseXmlPartPipelined(ZipReader& zip, std::string_view part, uint64_t maxBytes,
                           XmlHandler& handler,
                           uint64_t minPipelinedBytes = kPipelinedPartBytes);

}  // namespace ddt::grid::io
