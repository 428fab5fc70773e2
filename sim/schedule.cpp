#include "schedule.h"

#include <algorithm>

#include "link/decode.h"

namespace varnak::sim {

namespace {

Clock::duration Ms(double ms) { return std::chrono::microseconds(static_cast<long>(ms * 1000)); }

}  // namespace

void ReplySchedule::add(const Bytes& frame, Clock::time_point firstByte, const Faults::Plan& plan,
                        int followUp) {
  // The frame's own wire time, then the turnaround, as a controller on a real line.
  Clock::time_point t = pace_ ? firstByte + Ms(frame.size() * kByteMs + kTurnaroundMs) : Clock::now();
  if (!queue_.empty()) t = std::max(t, wireEnd_ + Ms(kByteMs));
  const std::size_t first = queue_.size();
  const auto& parts = plan.parts;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    t += std::chrono::milliseconds(parts[p].pauseMs);
    std::string line = DescribeChunk(parts[p].bytes);
    if (plan.corrupted) line += " (corrupted)";
    if (plan.split) line += " (split " + std::to_string(p + 1) + "/2)";
    const Bytes& b = parts[p].bytes;
    if (pace_) {
      for (std::size_t i = 0; i < b.size(); ++i) {
        queue_.push_back({t, {b[i]}, i == 0 ? "TX " + BytesToHex(b) + "  " + line : "", false, 0});
        if (i + 1 < b.size()) t += Ms(kByteMs);
      }
    } else {
      queue_.push_back({t, b, "TX " + BytesToHex(b) + "  " + line, false, 0});
    }
  }
  if (queue_.empty()) return;
  wireEnd_ = queue_.back().at;
  if (latency_.count() > 0)
    for (std::size_t i = first; i < queue_.size(); ++i) queue_[i].at = handedOver(queue_[i].at);
  queue_.back().endsReply = true;
  queue_.back().followUp = followUp;
}

Clock::time_point ReplySchedule::handedOver(Clock::time_point t) const {
  const auto ticks = (t - epoch_ + latency_ - Clock::duration(1)) / latency_;
  return epoch_ + ticks * latency_;
}

std::optional<ReplySchedule::Write> ReplySchedule::popDue(Clock::time_point now) {
  if (queue_.empty() || queue_.front().at > now) return std::nullopt;
  Write w = std::move(queue_.front());
  queue_.pop_front();
  return w;
}

}  // namespace varnak::sim
