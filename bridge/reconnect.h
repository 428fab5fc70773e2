// When to try the broker again: at once at start, then half a second after a
// loss or a failed attempt, doubling to at most five seconds apart; back to
// half a second only after a connection that lasted (a broker that accepts and
// drops us at once is not asked twice a second for ever). Times in
// milliseconds on a monotonic clock, passed in.
#pragma once

#include <algorithm>
#include <cstdint>

namespace varnak::bridge {

class Reconnect {
 public:
  static constexpr std::int64_t kFirstMs = 500;
  static constexpr std::int64_t kMostMs = 5000;
  static constexpr std::int64_t kLastedMs = 5000;  // a connection this long starts the back-off over

  // The connection was lost, or an attempt failed, at `now`: when to try next.
  std::int64_t failed(std::int64_t now) {
    if (up_ && now - upSince_ >= kLastedMs) delay_ = kFirstMs;
    up_ = false;
    const std::int64_t at = now + delay_;
    delay_ = std::min(delay_ * 2, kMostMs);
    return at;
  }
  // Connected at `now`; said again while the connection lasts, the first time counts.
  void connected(std::int64_t now) {
    if (up_) return;
    up_ = true;
    upSince_ = now;
  }

 private:
  std::int64_t delay_ = kFirstMs;
  bool up_ = false;
  std::int64_t upSince_ = 0;
};

}  // namespace varnak::bridge
