// Faults on demand for the simulated controller, seeded so that a run can be
// repeated exactly.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "link/text.h"

namespace varnak::sim {

struct FaultSettings {
  double drop = 0;     // probability that a reply is not sent at all
  double corrupt = 0;  // probability that one bit of a reply is flipped
  double split = 0;    // probability of a 50 ms pause inside a reply
  double nak = 0;      // probability of NAK where ACK was due (the frame is refused)
  int delayMs = 0;     // every reply this much later
  std::uint64_t seed = 1;
};

struct FaultCounts {
  int dropped = 0, corrupted = 0, split = 0, refused = 0;
  int total() const { return dropped + corrupted + split + refused; }
};

class Faults {
 public:
  static constexpr int kSplitPauseMs = 50;

  explicit Faults(const FaultSettings& settings) : s_(settings), rng_(settings.seed) {}

  // Whether to refuse the frame just received.
  bool refuse();
  // The reply as parts to send, each after a pause (ms) following the one
  // before; no parts when the reply is dropped.
  struct Part {
    int pauseMs;
    Bytes bytes;
  };
  struct Plan {
    std::vector<Part> parts;
    bool corrupted = false;
    bool split = false;
  };
  Plan plan(Bytes reply);

  void disable() { s_ = FaultSettings{0, 0, 0, 0, 0, s_.seed}; }
  const FaultSettings& settings() const { return s_; }
  const FaultCounts& counts() const { return counts_; }

 private:
  bool roll(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }

  FaultSettings s_;
  std::mt19937_64 rng_;
  FaultCounts counts_;
};

}  // namespace varnak::sim
