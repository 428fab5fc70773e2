#include "local_time.h"

#include <cstdio>
#include <ctime>

namespace varnak {

std::string LocalIsoTime(std::int64_t epochMs) {
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
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms, offset < 0 ? '-' : '+',
                magnitude / 60, magnitude % 60);
  return out;
}

}  // namespace varnak
