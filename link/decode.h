// One line of plain words for a chunk on the line, for traces and logs:
// "enquiry", "write header R2000", "ack + data 1205 (check byte ok)", ...
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/text.h"
#include "link/words.h"

namespace varnak {

// In the operator's language where `lang` translates; English by default (the
// client, the simulator's log).
std::string DescribeChunk(const Bytes& chunk, Translate lang = English);

// "   12.345 TX 4E 21 05  enquiry": a chunk at `ms` since start, for traces.
std::string TraceLine(double ms, const char* direction, const Bytes& chunk);

// The register number (octal, as the operator types it) that a header's
// four address characters name, or empty if they are not hex digits.
std::string RegisterOfAddress(const Bytes& header);

// Reads `count` hex digits of `bytes` from `from` as a number; nothing if one is not a hex digit.
std::optional<unsigned> HexField(const Bytes& bytes, std::size_t from, std::size_t count);

}  // namespace varnak
