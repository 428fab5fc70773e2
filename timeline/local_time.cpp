#include "local_time.h"

#include <cstdio>
#include <ctime>

namespace varnak {

namespace {

std::string IsoTime(std::int64_t epochMs, bool withOffset) {
  std::int64_t seconds = epochMs / 1000;
  int ms = static_cast<int>(epochMs % 1000);
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  const long offset = tm.tm_gmtoff / 60;  // minutes east of UTC
  const long magnitude = offset < 0 ? -offset : offset;
  char out[64];
  const int n = std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", tm.tm_year + 1900,
                              tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  if (withOffset)
    std::snprintf(out + n, sizeof out - static_cast<std::size_t>(n), "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
  return out;
}

}  // namespace

std::string LocalIsoTime(std::int64_t epochMs) { return IsoTime(epochMs, true); }

std::string LocalIsoTimeWithoutOffset(std::int64_t epochMs) { return IsoTime(epochMs, false); }

std::string ClockText(std::int64_t t) {
  char out[32];
  std::snprintf(out, sizeof out, "%02d:%02d:%02d.%03d", static_cast<int>(t / 3600000 % 24),
                static_cast<int>(t / 60000 % 60), static_cast<int>(t / 1000 % 60),
                static_cast<int>(t % 1000));
  return out;
}

}  // namespace varnak
