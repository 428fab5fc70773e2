#include "demo_machine.h"

#include <cmath>

#include "sim/controller.h"

namespace varnak::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTickSeconds = 0.1;
// How far the temperature follows its swing in one tick: some 1 s to close most
// of a gap, so the noise is smoothed and a written value drifts back in seconds.
constexpr double kFollow = 0.1;

// The same pseudo-random 64 bits for the same tick, whatever came before.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// -1 to 1.
double Noise(std::int64_t tick) {
  return static_cast<double>(Mix(static_cast<std::uint64_t>(tick)) >> 11) / 4503599627370496.0 - 1.0;
}

// Where the temperature heads at tick k: 50 degrees, a swing of 80 over 5
// minutes, one of 12 over 37 s, and 4 of noise; at most 96 from 50, so within
// -50 to 150, and whatever follows it by a share of the gap stays within too.
double Swing(std::int64_t tick) {
  const double t = static_cast<double>(tick) * kTickSeconds;
  return 50.0 + 80.0 * std::sin(2 * kPi * t / 300.0) + 12.0 * std::sin(2 * kPi * t / 37.0 + 1.0) +
         4.0 * Noise(tick);
}

}  // namespace

DemoMachine::DemoMachine(Clock::time_point start) : start_(start), temperature_(Swing(0)) {}

std::uint16_t DemoMachine::temperatureWord() const {
  const long whole = std::lround(temperature_);
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(whole < -32768  ? -32768
                                                              : whole > 32767 ? 32767
                                                                              : whole));
}

std::array<std::uint16_t, 5> DemoMachine::words() const {
  return {counter_, ramp_, temperatureWord(), static_cast<std::uint16_t>(total_ & 0xFFFF),
          static_cast<std::uint16_t>(total_ >> 16)};
}

void DemoMachine::take(unsigned index, std::uint16_t value) {
  switch (index) {
    case kCounter:
      counter_ = value;
      break;
    case kRamp:
      ramp_ = value;
      break;
    case kTemperature:
      temperature_ = static_cast<std::int16_t>(value);
      break;
    case kTotalLow:
      total_ = (total_ & 0xFFFF0000u) | value;
      break;
    case kTotalHigh:
      total_ = (static_cast<std::uint32_t>(value) << 16) | (total_ & 0xFFFFu);
      break;
    default:
      break;
  }
}

void DemoMachine::step() {
  ++ticks_;
  if (ticks_ % kTicksPerCount == 0) ++counter_;  // wraps at 65536 by its type
  ramp_ = ramp_ >= kRampTop ? 0 : static_cast<std::uint16_t>(ramp_ + 1);
  temperature_ += kFollow * (Swing(ticks_) - temperature_);
  total_ += kTotalStepMin + static_cast<std::uint32_t>(Mix(~static_cast<std::uint64_t>(ticks_)) %
                                                       (kTotalStepMax - kTotalStepMin + 1));
}

void DemoMachine::run(Clock::time_point now, Controller& controller) {
  if (put_) {
    for (unsigned i = 0; i < put_->size(); ++i) {
      const std::uint16_t held = controller.reg(kCounter + i);
      if (held != (*put_)[i]) take(kCounter + i, held);
    }
  }
  const std::int64_t due = now > start_ ? (now - start_) / kTick : 0;
  while (ticks_ < due) step();
  const auto w = words();
  for (unsigned i = 0; i < w.size(); ++i) controller.setReg(kCounter + i, w[i]);
  put_ = w;
}

}  // namespace varnak::sim
