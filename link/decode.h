// One line of plain words for a chunk on the line, for traces and logs:
// "enquiry", "write header R2000", "ack + data 1205 (check byte ok)", ...
#pragma once

#include <string>

#include "link/text.h"

namespace varnak {

std::string DescribeChunk(const Bytes& chunk);

// "   12.345 TX 4E 21 05  enquiry": a chunk at `ms` since start, for traces.
std::string TraceLine(double ms, const char* direction, const Bytes& chunk);

// The register number (octal, as the operator types it) that a header's
// four address characters name, or empty if they are not hex digits.
std::string RegisterOfAddress(const Bytes& header);

}  // namespace varnak
