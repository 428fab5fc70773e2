// Clock times for files: local time in ISO 8601 with milliseconds and the UTC
// offset, as the time zone of the process has it.
#pragma once

#include <cstdint>
#include <string>

namespace varnak {

// "2026-12-07T21:03:05.123+01:00" for milliseconds since the Unix epoch.
std::string LocalIsoTime(std::int64_t epochMs);
// "2026-12-07T21:03:05.123": the same without the offset, as the client's lines show it.
std::string LocalIsoTimeWithoutOffset(std::int64_t epochMs);
// "21:03:05.123" for milliseconds since local midnight, as the line monitor shows it.
std::string ClockText(std::int64_t msSinceMidnight);

}  // namespace varnak
