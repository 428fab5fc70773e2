// When to try the broker again: at once at start, then half a second after a
// loss or a failed attempt, doubling to at most five seconds apart, back to the
// start once connected. Times in milliseconds on a monotonic clock, passed in.
#pragma once

#include <algorithm>
#include <cstdint>

namespace varnak::bridge {

class Reconnect {
 public:
  static constexpr std::int64_t kFirstMs = 500;
  static constexpr std::int64_t kMostMs = 5000;

  // The connection was lost, or an attempt failed, at `now`: when to try next.
  std::int64_t failed(std::int64_t now) {
    const std::int64_t at = now + delay_;
    delay_ = std::min(delay_ * 2, kMostMs);
    return at;
  }
  void connected() { delay_ = kFirstMs; }

 private:
  std::int64_t delay_ = kFirstMs;
};

}  // namespace varnak::bridge
