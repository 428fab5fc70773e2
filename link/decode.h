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

// A register named strictly, for scripts: "R2000" or "2000", octal digits only,
// 0 to 77777, the range whose start address (the number plus 1) the address rule settles;
// the window takes the same range.
std::optional<unsigned> ParseRegisterName(std::string_view text);
// "R2000" for register 02000.
std::string RegisterName(unsigned reg);

// Reads `count` hex digits of `bytes` from `from` as a number; nothing if one is not a hex digit.
std::optional<unsigned> HexField(const Bytes& bytes, std::size_t from, std::size_t count);

}  // namespace varnak
