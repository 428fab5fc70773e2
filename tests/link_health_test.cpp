// Whether the lamps are live and what the title says, on a clock the test moves.
#include <gtest/gtest.h>

#include "fakes.h"

namespace varnak::testing {
namespace {

// At `ms`, `event` happens (a handler, or a reply: "enqack", "data" for a good
// poll reply with outputs 81, "bad" for the same with a wrong check byte), then
// the status asked with the port's own problem `problem` must be `stale` and `message`.
struct Moment {
  std::int64_t ms;
  std::string event;
  bool stale;
  std::string message;
  std::string problem = "";
  bool checked = true;  // false: a step on the way, not looked at
};
struct HealthCase {
  const char* name;
  std::vector<Moment> moments;
};
void PrintTo(const HealthCase& c, std::ostream* os) { *os << c.name; }

const std::string kNoReply = "COM1: no reply from the controller";
const std::string kMissing = "COM1: /dev/ttyS0: No such file or directory";

// A whole poll exchange answered at once.
std::vector<Moment> AnsweredPoll(std::int64_t ms) {
  return {{ms, "Tick", false, "", "", false}, {ms, "enqack", false, "", "", false}, {ms, "data", false, ""}};
}

// Unanswered polls every 200 ms from `from` to `to`, not looked at.
std::vector<Moment> Ticks(std::int64_t from, std::int64_t to) {
  std::vector<Moment> out;
  for (std::int64_t t = from; t <= to; t += 200) out.push_back({t, "Tick", true, "", "", false});
  return out;
}

std::vector<Moment> Join(std::vector<std::vector<Moment>> parts) {
  std::vector<Moment> out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const HealthCase kCases[] = {
    {"DimmedRedBeforeTheFirstReply", {{0, "", true, ""}, {5000, "", true, ""}}},
    {"SilentControllerAfterOneSecond",
     {{0, "Tick", true, ""},
      {200, "Tick", true, ""},
      {999, "", true, ""},
      {1000, "Tick", true, kNoReply},
      {5000, "Tick", true, kNoReply}}},
    {"ReplyMakesLampsLiveAndTitlePlain", Join({{{0, "Tick", true, ""}, {1200, "Tick", true, kNoReply}},
                                               AnsweredPoll(1300),
                                               {{2299, "", false, ""}, {2300, "", true, ""}}})},
    {"AnyRecognisedReplyClearsTheMessage",
     Join({Ticks(0, 800), {{1000, "Tick", true, kNoReply}, {1001, "enqack", true, ""}}})},
    {"BadCheckByteIsNoReply", Join({{{0, "Tick", true, ""}, {0, "enqack", true, ""}, {10, "bad", true, ""}},
                                    Ticks(200, 800),
                                    {{1010, "", true, kNoReply}}})},
    {"NothingSentIsNoSilence",
     Join({Ticks(0, 800),
           {{1000, "Tick", true, kNoReply}, {1100, "Text2", true, kNoReply}, {2000, "", true, ""}}})},
    {"HoldGivesStaleLampsButNoMessage", Join({AnsweredPoll(0),
                                              {{100, "Text2", false, ""},
                                               {400, "Tick", false, ""},
                                               {1000, "Tick", true, ""},
                                               {9000, "", true, ""}}})},
    {"PortProblemWinsOverNoReply",
     Join({Ticks(0, 1400), {{1500, "", true, kMissing, kMissing}, {1600, "", true, kNoReply}}})},
    {"PollsKeepTheLampsLive", Join({AnsweredPoll(0),
                                    AnsweredPoll(200),
                                    AnsweredPoll(400),
                                    AnsweredPoll(600),
                                    AnsweredPoll(800),
                                    AnsweredPoll(1000),
                                    {{1199, "", false, ""}}})},
};

class Health : public ::testing::TestWithParam<HealthCase> {};

TEST_P(Health, StatusFollowsTheClock) {
  Rig rig;
  for (const Moment& m : GetParam().moments) {
    SCOPED_TRACE(std::to_string(m.ms) + " ms: " + m.event);
    rig.advance(m.ms - rig.now);
    if (m.event == "Tick") rig.core.Timer1_Timer(rig.now);
    if (m.event == "Text2") rig.core.Text2_Click(rig.now);
    if (m.event == "enqack") rig.receive(kEnqAck);
    if (m.event == "data") rig.receive(DataReply(0x81, 0x00));
    if (m.event == "bad") rig.receive({0x06, 0x02, 0x81, 0x00, 0x03, 0x80});
    if (!m.checked) continue;
    rig.port.tell(m.problem);  // as the port tells it
    const LinkStatus status = rig.core.status(rig.now);
    EXPECT_EQ(status.lampsStale, m.stale);
    EXPECT_EQ(status.message, m.message);
  }
}

INSTANTIATE_TEST_SUITE_P(Link, Health, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StatusMessage, NamesThePortNumber) {
  EXPECT_EQ(StatusMessage("", true, 12), "COM12: no reply from the controller");
  EXPECT_EQ(StatusMessage("", false, 12), "");
  EXPECT_EQ(StatusMessage("COM2: busy", true, 2), "COM2: busy");
}

}  // namespace
}  // namespace varnak::testing
