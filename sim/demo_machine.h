// The running machine that varnak-sim --demo plays in R1000-R1004, so that a new
// user sees values move at once. Pure: the time is passed in, and the machine
// moves in 100 ms ticks counted from its start.
//
//   R1000  counter: +1 each second, wrapping at 65536
//   R1001  ramp: +1 each tick, 0 to 999, then 0 again
//   R1002  temperature: signed (two's complement), a slow swing with a little
//          noise, smooth, always within -50 to 150
//   R1003  total, low word  } 32 bits growing by 1,400 to 1,600 a tick, so that the
//   R1004  total, high word } high word goes up every 4 to 5 s; both put at once
//
// A value the master stores in one of them is taken, and the machine goes on
// from it: the counter counts on from it at the next whole second, the ramp steps
// on from it at the next tick (to 0 after 999 or above), the temperature drifts
// back to its swing within some seconds, and the total grows on from the word
// written together with the other word as it stood.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/schedule.h"

namespace varnak::sim {

class Controller;

class DemoMachine {
 public:
  static constexpr unsigned kCounter = 01000;
  static constexpr unsigned kRamp = 01001;
  static constexpr unsigned kTemperature = 01002;
  static constexpr unsigned kTotalLow = 01003;
  static constexpr unsigned kTotalHigh = 01004;
  static constexpr std::chrono::milliseconds kTick{100};
  static constexpr int kTicksPerCount = 10;  // the counter's second
  static constexpr int kRampTop = 999;
  static constexpr double kTemperatureMin = -50, kTemperatureMax = 150;
  static constexpr std::uint32_t kTotalStepMin = 1400, kTotalStepMax = 1600;

  explicit DemoMachine(Clock::time_point start);

  // Takes what the master stored in the machine's registers since the last call,
  // moves the machine on to `now` (a time before the last one moves nothing), and
  // puts its values into the controller's registers, all five at once.
  void run(Clock::time_point now, Controller& controller);

  std::uint16_t counter() const { return counter_; }
  std::uint16_t ramp() const { return ramp_; }
  double temperature() const { return temperature_; }
  std::uint32_t total() const { return total_; }
  // The temperature as its register holds it: whole degrees, two's complement.
  std::uint16_t temperatureWord() const;

 private:
  void take(unsigned index, std::uint16_t value);
  void step();
  std::array<std::uint16_t, 5> words() const;  // R1000..R1004 as they should read

  Clock::time_point start_;
  std::int64_t ticks_ = 0;  // ticks since the start that the machine has made
  std::uint16_t counter_ = 0;
  std::uint16_t ramp_ = 0;
  double temperature_;  // degrees
  std::uint32_t total_ = 0;
  std::optional<std::array<std::uint16_t, 5>> put_;  // what was last put into R1000..R1004
};

}  // namespace varnak::sim
