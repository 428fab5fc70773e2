// varnak-sim --demo: the running machine in R1000-R1004 on a clock the test
// moves, a master's writes to it through the controller's frames, and the
// simulator as a program with and without --demo.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "link/codec.h"
#include "link/frames.h"
#include "link/text.h"
#include "sim/controller.h"
#include "sim/demo_machine.h"

namespace varnak::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const Clock::time_point kStart{};  // the machine's start; the test's clock moves from here

// The registers after the machine has run from its start to `at`.
Controller RunTo(Clock::duration at) {
  Controller c;
  DemoMachine m(kStart);
  m.run(kStart, c);
  m.run(kStart + at, c);
  return c;
}

std::int16_t Signed(std::uint16_t word) { return static_cast<std::int16_t>(word); }

std::uint32_t Total(const Controller& c) {
  return static_cast<std::uint32_t>(c.reg(DemoMachine::kTotalHigh)) << 16 | c.reg(DemoMachine::kTotalLow);
}

Text AsText(const std::string& s) { return Text(s.begin(), s.end()); }

// The master's write as the window sends it: enquiry, write header, data block.
// The controller's ACK of the data block means stored.
bool MasterWrites(Controller& c, unsigned reg, std::uint16_t value) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%o", reg);
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", value);
  c.handle(HexTextToBytes(kEnquiryText));
  c.handle(HexTextToBytes(BuildWriteHeader(AsText(digits)).sendText));
  return c.handle(HexTextToBytes(BuildDataBlock(AsText(hex)).sendText)).reply == Bytes{kAck};
}

TEST(DemoCounter, CountsEachWholeSecondAndWrapsAt65536) {
  const struct {
    const char* name;
    Clock::duration at;
    std::uint16_t counter;
  } rows[] = {
      {"AtTheStart", seconds(0), 0},
      {"JustBeforeTheFirstSecond", milliseconds(999), 0},
      {"AtTheFirstSecond", seconds(1), 1},
      {"After999Seconds", seconds(999), 999},
      {"After1000Seconds", seconds(1000), 1000},
      {"AtTheTop", seconds(65535), 65535},
      {"After65536SecondsItHasWrapped", seconds(65536), 0},
      {"OneSecondAfterTheWrap", seconds(65537), 1},
  };
  for (const auto& r : rows) EXPECT_EQ(RunTo(r.at).reg(DemoMachine::kCounter), r.counter) << r.name;
}

TEST(DemoRamp, StepsEvery100MsFromZeroTo999ThenZero) {
  const struct {
    const char* name;
    Clock::duration at;
    std::uint16_t ramp;
  } rows[] = {
      {"AtTheStart", milliseconds(0), 0},
      {"JustBeforeTheFirstStep", milliseconds(99), 0},
      {"FirstStep", milliseconds(100), 1},
      {"AfterOneSecond", seconds(1), 10},
      {"AtTheTop", milliseconds(99900), 999},
      {"JustBeforeTheWrap", milliseconds(99999), 999},
      {"Wrapped", milliseconds(100000), 0},
      {"OnAfterTheWrap", milliseconds(100100), 1},
      {"SecondRoundAtTheTop", milliseconds(199900), 999},
  };
  for (const auto& r : rows) EXPECT_EQ(RunTo(r.at).reg(DemoMachine::kRamp), r.ramp) << r.name;
}

// A whole simulated day, read after every tick as a master would: never out of
// range (a sign slip would read 65,500), never a jump, and it does wander.
TEST(DemoTemperature, StaysWithinMinus50To150AndMovesSmoothlyOverADay) {
  Controller c;
  DemoMachine m(kStart);
  m.run(kStart, c);
  int lowest = 1000, highest = -1000, biggestStep = 0, changes = 0;
  int last = Signed(c.reg(DemoMachine::kTemperature));
  for (long tick = 1; tick <= 24L * 3600 * 10; ++tick) {
    m.run(kStart + tick * DemoMachine::kTick, c);
    const int t = Signed(c.reg(DemoMachine::kTemperature));
    ASSERT_GE(t, -50) << "at tick " << tick;
    ASSERT_LE(t, 150) << "at tick " << tick;
    lowest = std::min(lowest, t);
    highest = std::max(highest, t);
    biggestStep = std::max(biggestStep, std::abs(t - last));
    changes += t != last;
    last = t;
  }
  EXPECT_LT(lowest, 0) << "it swings below zero";
  EXPECT_GT(highest, 100);
  EXPECT_LE(biggestStep, 2) << "degrees in one 100 ms tick";
  EXPECT_GT(changes, 24 * 3600) << "it moves at least once a second on average";
}

// The pair read after every tick for an hour: it always grows by one step of
// the machine, so a word carried late or early (a torn pair) shows as a jump of
// some 65,536; and the high word moves within the first minute.
TEST(DemoTotal, GrowsByOneStepEachTickAndTheHighWordMovesWithinAMinute) {
  Controller c;
  DemoMachine m(kStart);
  m.run(kStart, c);
  EXPECT_EQ(Total(c), 0u);
  std::uint32_t last = 0;
  long highMovedAtTick = 0;
  for (long tick = 1; tick <= 3600 * 10; ++tick) {
    m.run(kStart + tick * DemoMachine::kTick, c);
    const std::uint32_t total = Total(c);
    ASSERT_GE(total - last, DemoMachine::kTotalStepMin) << "at tick " << tick;
    ASSERT_LE(total - last, DemoMachine::kTotalStepMax) << "at tick " << tick;
    if (!highMovedAtTick && total >> 16) highMovedAtTick = tick;
    last = total;
  }
  EXPECT_GT(highMovedAtTick, 0);
  EXPECT_LE(highMovedAtTick, 600) << "ticks until the high word first changed";
}

// A total written by the master (high word, then low word) carries into the high
// word at the next tick, and 32 bits wrap to 0.
TEST(DemoTotal, CarriesIntoTheHighWord) {
  const struct {
    const char* name;
    std::uint16_t high, low;
    std::uint16_t highAfterATick;
  } rows[] = {
      {"NoCarry", 0x0001, 0x0000, 0x0001},
      {"CarryFromJustBelowTheTop", 0x0001, 0xFFF0, 0x0002},
      {"CarryFromTheTopItself", 0x7FFF, 0xFFFF, 0x8000},
      {"ThirtyTwoBitsWrapToZero", 0xFFFF, 0xFF00, 0x0000},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Controller c;
    DemoMachine m(kStart);
    const Clock::time_point at = kStart + milliseconds(10050);
    m.run(at, c);
    ASSERT_TRUE(MasterWrites(c, DemoMachine::kTotalHigh, r.high));
    ASSERT_TRUE(MasterWrites(c, DemoMachine::kTotalLow, r.low));
    m.run(at, c);
    const std::uint32_t written = static_cast<std::uint32_t>(r.high) << 16 | r.low;
    EXPECT_EQ(Total(c), written) << "read back as written";
    m.run(at + DemoMachine::kTick, c);
    EXPECT_EQ(c.reg(DemoMachine::kTotalHigh), r.highAfterATick);
    const std::uint32_t step = Total(c) - written;
    EXPECT_GE(step, DemoMachine::kTotalStepMin);
    EXPECT_LE(step, DemoMachine::kTotalStepMax);
  }
}

// A value the master writes is read back as written, and the machine goes on
// from it. kAsBefore: the register as it read just before the write.
constexpr int kAsBefore = -1;
struct Check {
  Clock::duration after;  // the write
  unsigned reg;
  int value;
};
struct WriteRow {
  const char* name;
  unsigned reg;
  std::uint16_t value;
  std::vector<Check> checks;
};

TEST(DemoWrites, AreTakenAndTheMachineGoesOnFromThem) {
  using M = DemoMachine;
  const WriteRow rows[] = {
      {"CounterCountsOnAtTheNextWholeSecond",
       M::kCounter,
       0x1234,
       {{milliseconds(0), M::kCounter, 0x1234},
        {milliseconds(949), M::kCounter, 0x1234},
        {milliseconds(950), M::kCounter, 0x1235},
        {milliseconds(5950), M::kCounter, 0x123A}}},
      {"CounterWrittenAtTheTopWraps", M::kCounter, 0xFFFF, {{milliseconds(950), M::kCounter, 0}}},
      {"RampStepsOnAtTheNextTick",
       M::kRamp,
       500,
       {{milliseconds(0), M::kRamp, 500},
        {milliseconds(50), M::kRamp, 501},
        {milliseconds(1050), M::kRamp, 511}}},
      {"RampWrittenAtItsTopGoesToZero", M::kRamp, 999, {{milliseconds(50), M::kRamp, 0}}},
      {"RampWrittenAboveItsTopReadsBackThenGoesToZero",
       M::kRamp,
       5000,
       {{milliseconds(0), M::kRamp, 5000},
        {milliseconds(50), M::kRamp, 0},
        {milliseconds(150), M::kRamp, 1}}},
      {"TemperatureReadsBackSigned", M::kTemperature, 0xFFEC, {{milliseconds(0), M::kTemperature, 0xFFEC}}},
      {"LowWordOfTheTotalKeepsTheHighWord",
       M::kTotalLow,
       0x0000,
       {{milliseconds(0), M::kTotalLow, 0}, {milliseconds(0), M::kTotalHigh, kAsBefore}}},
      {"HighWordOfTheTotalKeepsTheLowWord",
       M::kTotalHigh,
       0x7000,
       {{milliseconds(0), M::kTotalHigh, 0x7000}, {milliseconds(0), M::kTotalLow, kAsBefore}}},
      {"OtherRegistersOfTheMachineGoOn",
       M::kCounter,
       0x1234,
       {{milliseconds(0), M::kRamp, kAsBefore}, {milliseconds(50), M::kRamp, 101}}},
  };
  for (const WriteRow& r : rows) {
    SCOPED_TRACE(r.name);
    Controller c;
    DemoMachine m(kStart);
    const Clock::time_point at = kStart + milliseconds(10050);  // ramp 100, counter 10
    m.run(at, c);
    std::map<unsigned, int> before;
    for (unsigned i = M::kCounter; i <= M::kTotalHigh; ++i) before[i] = c.reg(i);
    ASSERT_TRUE(MasterWrites(c, r.reg, r.value));
    for (const Check& k : r.checks) {
      m.run(at + k.after, c);
      const int expected = k.value == kAsBefore ? before[k.reg] : k.value;
      EXPECT_EQ(c.reg(k.reg), expected)
          << "R" << std::oct << k.reg << std::dec << " "
          << milliseconds(std::chrono::duration_cast<milliseconds>(k.after)).count() << " ms after the write";
    }
  }
}

// A written temperature, even one out of range, drifts back to where the
// undisturbed machine is, and stays in range once there.
TEST(DemoWrites, ATemperatureDriftsBackToItsSwing) {
  for (const std::int16_t written : {std::int16_t{-20}, std::int16_t{1000}}) {
    SCOPED_TRACE(written);
    Controller c, undisturbed;
    DemoMachine m(kStart), twin(kStart);
    const Clock::time_point at = kStart + seconds(30);
    m.run(at, c);
    twin.run(at, undisturbed);
    ASSERT_TRUE(MasterWrites(c, DemoMachine::kTemperature, static_cast<std::uint16_t>(written)));
    m.run(at, c);
    EXPECT_EQ(Signed(c.reg(DemoMachine::kTemperature)), written);
    double gap = std::abs(m.temperature() - twin.temperature());
    for (int tick = 1; tick <= 100; ++tick) {
      m.run(at + tick * DemoMachine::kTick, c);
      twin.run(at + tick * DemoMachine::kTick, undisturbed);
      const double now = std::abs(m.temperature() - twin.temperature());
      EXPECT_LT(now, gap) << "the gap narrows at every tick (tick " << tick << ")";
      gap = now;
    }
    EXPECT_LE(std::abs(Signed(c.reg(DemoMachine::kTemperature)) -
                       Signed(undisturbed.reg(DemoMachine::kTemperature))),
              1)
        << "degrees from the undisturbed machine 10 s after the write";
  }
}

TEST(DemoMachine, LeavesTheOutputsToR2000AndOtherRegistersAlone) {
  Controller c;
  DemoMachine m(kStart);
  m.run(kStart + seconds(5), c);
  ASSERT_TRUE(MasterWrites(c, 02000, 0x00A5));
  m.run(kStart + seconds(7), c);
  EXPECT_EQ(c.outputs(), 0xA5);
  c.handle(HexTextToBytes(kEnquiryText));
  EXPECT_EQ(c.handle(HexTextToBytes(kPollHeaderText)).reply, (Bytes{kAck, kStx, 0xA5, 0x00, kEtx, 0xA5}));
  for (unsigned other : {0u, 0777u, 01005u, 01777u, 02001u}) EXPECT_EQ(c.reg(other), 0) << std::oct << other;
}

TEST(DemoMachine, ATimeBeforeTheLastMovesNothing) {
  Controller c;
  DemoMachine m(kStart);
  m.run(kStart + seconds(10), c);
  const std::uint32_t total = Total(c);
  m.run(kStart + seconds(5), c);
  m.run(kStart - seconds(5), c);
  EXPECT_EQ(c.reg(DemoMachine::kCounter), 10);
  EXPECT_EQ(c.reg(DemoMachine::kRamp), 100);
  EXPECT_EQ(Total(c), total);
}

// varnak-sim as a program, its control commands on stdin and its answers on
// stdout; closing its stdin ends it, and the destructor makes sure it is gone.
class SimChild {
 public:
  explicit SimChild(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      std::vector<std::string> words = {VARNAK_SIM_PATH, "--control", "--no-pace"};
      words.insert(words.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toSim_ = in[1];
    fromSim_ = out[0];
    device_ = line(5000);
  }
  ~SimChild() {
    if (toSim_ >= 0) ::close(toSim_);
    if (fromSim_ >= 0) ::close(fromSim_);
    if (pid_ <= 0) return;
    for (int i = 0; i < 50; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

  const std::string& device() const { return device_; }
  // The answer to a control command (without "= "), or "" after 3 s.
  std::string command(const std::string& c) {
    const std::string text = c + "\n";
    if (::write(toSim_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
    for (;;) {
      const std::string l = line(3000);
      if (l.empty()) return "";
      if (l.rfind("= ", 0) == 0) return l.substr(2);
    }
  }

 private:
  std::string line(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + milliseconds(timeoutMs);
    for (;;) {
      const auto eol = buffer_.find('\n');
      if (eol != std::string::npos) {
        std::string l = buffer_.substr(0, eol);
        buffer_.erase(0, eol + 1);
        return l;
      }
      const auto left =
          std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now()).count();
      pollfd p{fromSim_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return "";
      char b[512];
      const ssize_t n = ::read(fromSim_, b, sizeof b);
      if (n <= 0) return "";
      buffer_.append(b, static_cast<std::size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int toSim_ = -1, fromSim_ = -1;
  std::string device_, buffer_;
};

int Word(const std::string& answer) {  // "R1000 0012" -> 0x12
  const auto space = answer.find(' ');
  return space == std::string::npos ? -1 : std::stoi(answer.substr(space + 1), nullptr, 16);
}

// The same program with and without --demo: 1.2 s apart, the machine's registers
// move only with it; a master's write over the line and a `set` are taken; the
// outputs follow R2000 either way.
TEST(DemoProgram, MovesOnlyWithDemoAndTakesWritesOverTheLine) {
  for (const bool demo : {false, true}) {
    SCOPED_TRACE(demo ? "--demo" : "without --demo");
    SimChild sim(demo ? std::vector<std::string>{"--demo"} : std::vector<std::string>{});
    ASSERT_FALSE(sim.device().empty());
    const int ramp = Word(sim.command("get R1001")), total = Word(sim.command("get R1003"));
    std::this_thread::sleep_for(milliseconds(1200));
    const int counter = Word(sim.command("get R1000"));
    EXPECT_EQ(counter != 0, demo) << counter;
    EXPECT_EQ(Word(sim.command("get R1001")) != ramp, demo);
    EXPECT_EQ(Word(sim.command("get R1003")) != total, demo);
    EXPECT_EQ(Word(sim.command("get R1002")) != 0, demo) << "the temperature starts near 60";

    // The master's write of R1000 = 7000 over the line.
    const int fd = ::open(sim.device().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << sim.device();
    auto exchange = [&](const Text& hex, std::size_t replyBytes) {
      const Bytes frame = HexTextToBytes(hex);
      EXPECT_EQ(::write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
      Bytes reply(16);
      std::size_t got = 0;
      pollfd p{fd, POLLIN, 0};
      while (got<replyBytes&& ::poll(&p, 1, 1000)> 0) {
        const ssize_t n = ::read(fd, reply.data() + got, reply.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      reply.resize(got);
      return reply;
    };
    EXPECT_EQ(exchange(kEnquiryText, 3), (Bytes{0x4E, 0x21, kAck}));
    EXPECT_EQ(exchange(BuildWriteHeader(U"1000").sendText, 1), Bytes{kAck});
    EXPECT_EQ(exchange(BuildDataBlock(U"7000").sendText, 1), Bytes{kAck});
    ::close(fd);
    const int afterWrite = Word(sim.command("get R1000"));
    EXPECT_GE(afterWrite, 0x7000);
    EXPECT_LE(afterWrite, 0x7001) << "taken, and counting on from it";

    EXPECT_EQ(sim.command("set R1001 0384"), "ok");  // 900
    const int rampAfterSet = Word(sim.command("get R1001"));
    EXPECT_GE(rampAfterSet, 900);
    EXPECT_LE(rampAfterSet, 910);
    EXPECT_EQ(sim.command("set R2000 0081"), "ok");
    EXPECT_EQ(sim.command("outputs"), "outputs 81");
  }
}

}  // namespace
}  // namespace varnak::sim
