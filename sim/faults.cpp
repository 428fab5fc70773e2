#include "faults.h"

namespace varnak::sim {

bool Faults::refuse() {
  if (!roll(s_.nak)) return false;
  ++counts_.refused;
  return true;
}

Faults::Plan Faults::plan(Bytes reply) {
  Plan plan;
  if (reply.empty()) return plan;
  if (roll(s_.drop)) {
    ++counts_.dropped;
    return plan;
  }
  if (roll(s_.corrupt)) {
    ++counts_.corrupted;
    plan.corrupted = true;
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(rng_);
    reply[at] ^= static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
  }
  if (reply.size() >= 2 && roll(s_.split)) {
    ++counts_.split;
    plan.split = true;
    const std::size_t at = std::uniform_int_distribution<std::size_t>(1, reply.size() - 1)(rng_);
    plan.parts = {{s_.delayMs, Bytes(reply.begin(), reply.begin() + static_cast<long>(at))},
                  {kSplitPauseMs, Bytes(reply.begin() + static_cast<long>(at), reply.end())}};
    return plan;
  }
  plan.parts = {{s_.delayMs, std::move(reply)}};
  return plan;
}

}  // namespace varnak::sim
