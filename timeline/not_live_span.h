// A stretch of time in which what the recording shows was not live.
#pragma once

#include <cstdint>

namespace varnak {

// Not live from `begin` until `end`; ms since the start. For the outputs: from
// 1 s after the last reply that set them until the next such reply; for a
// register: from a failed read (or the end of its reads) until its next good read.
struct NotLiveSpan {
  static constexpr std::int64_t kOpen = INT64_MAX;  // still not live
  std::int64_t begin;
  std::int64_t end;
};

}  // namespace varnak
