// When each byte of the simulator's replies goes out: the frame's own wire time
// and the controller's turnaround first, then each part of the fault plan after
// its pause, byte by byte at wire speed (or all at once without pacing).
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

#include "link/text.h"
#include "sim/faults.h"

namespace varnak::sim {

using Clock = std::chrono::steady_clock;

constexpr double kByteMs = 11.0 * 1000.0 / 9600.0;  // start, 8 data, parity, stop at 9600 baud
constexpr double kTurnaroundMs = 2.0;

class ReplySchedule {
 public:
  struct Write {
    Clock::time_point at;
    Bytes bytes;
    std::string logLine;     // printed when this write goes out
    bool endsReply = false;  // last write of a reply
    int followUp = 0;        // first byte of the frame expected next (0: none)
  };

  // `usbLatencyMs` > 0: bytes reach the line only at the ticks of a timer of that
  // period that runs freely from `epoch`, as a USB adapter hands over what it
  // has collected each time its latency timer fires.
  explicit ReplySchedule(bool pace, int usbLatencyMs = 0, Clock::time_point epoch = Clock::now())
      : pace_(pace), latency_(std::chrono::milliseconds(usbLatencyMs)), epoch_(epoch) {}

  // Queues `plan` as the reply to `frame`, whose first byte arrived at `firstByte`.
  // `followUp` is the first byte of the frame the tool should send next (0: none).
  void add(const Bytes& frame, Clock::time_point firstByte, const Faults::Plan& plan, int followUp);

  bool empty() const { return queue_.empty(); }
  Clock::time_point nextAt() const { return queue_.front().at; }
  // The next write if it is due at `now`.
  std::optional<Write> popDue(Clock::time_point now);

 private:
  // The first tick of the adapter's timer at or after `t`.
  Clock::time_point handedOver(Clock::time_point t) const;

  bool pace_;
  Clock::duration latency_;
  Clock::time_point epoch_;
  Clock::time_point wireEnd_{};  // when the last queued byte is on the line
  std::deque<Write> queue_;
};

}  // namespace varnak::sim
