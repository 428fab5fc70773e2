// Whole exchanges driven event by event through a fake port and panel: what goes
// on the line, what the flags say, what the panel shows.
#include <gtest/gtest.h>

#include <sstream>

#include "control/port_number.h"
#include "control/tracing_port.h"
#include "fakes.h"
#include "link/decode.h"

namespace varnak::testing {
namespace {

// One event and what must follow it. Events:
//   Command1 Command3 Command4 Text1 Text2 Text5 Text6 Tick   the handlers
//   rx 4E 21 06                                               one receive event with these bytes
//   Text1=... / Combo1=...                                    the operator edits a box (Combo1 raises its
//   change) failOpen / failWrite / portOk                             the device starts or stops failing
// `sent`: the frames written by this event, in order. `flags`: PollMode,
// WriteMode, PollHold as T/F ("" = not checked). `check`: "Text5=1205",
// "Text1=0005", "lamps=10000001" or "" for nothing more.
struct Step {
  std::string event;
  std::vector<std::string> sent;
  std::string flags;
  std::string check = "";
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
  Text startAnswer = U"1";
};

Bytes ParseHex(const std::string& s) {
  std::istringstream in(s);
  Bytes out;
  std::string pair;
  while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return out;
}

void Apply(Rig& rig, const std::string& event) {
  LinkControl& c = rig.core;
  if (event == "Command1") return c.Command1_Click();
  if (event == "Command3") return c.Command3_Click();
  if (event == "Command4") return c.Command4_Click();
  if (event == "Text1") return c.Text1_Click();
  if (event == "Text2") return c.Text2_Click();
  if (event == "Text5") return c.Text5_Click();
  if (event == "Text6") return c.Text6_Click();
  if (event == "Tick") return c.Timer1_Timer();
  if (event == "failOpen") return void(rig.port.failOpen = true);
  if (event == "failWrite") return void(rig.port.failWrite = true);
  if (event == "portOk") return void(rig.port.failOpen = rig.port.failWrite = false);
  if (event.rfind("rx", 0) == 0) return rig.receive(ParseHex(event.substr(2)));
  const auto eq = event.find('=');
  ASSERT_NE(eq, std::string::npos) << "unknown event " << event;
  const std::string field = event.substr(0, eq);
  const Text value = FromUtf8(event.substr(eq + 1));
  if (field == "Text1") return rig.panel.setText(Field::Text1, value);
  if (field == "Text2") return rig.panel.setText(Field::Text2, value);
  if (field == "Text6") return rig.panel.setText(Field::Text6, value);
  if (field == "Combo1") {
    rig.panel.setText(Field::Combo1, value);
    return c.Combo1_Change();
  }
  FAIL() << "unknown event " << event;
}

void Check(const Rig& rig, const std::string& check) {
  if (check.empty()) return;
  const auto eq = check.find('=');
  const std::string what = check.substr(0, eq);
  const std::string value = check.substr(eq + 1);
  std::string actual;
  if (what == "lamps") {
    actual = rig.panel.lampString();
  } else if (what == "Text5") {
    actual = ToUtf8(rig.panel.text(Field::Text5));
  } else if (what == "Text1") {
    actual = ToUtf8(rig.panel.text(Field::Text1));
  } else if (what == "opens") {
    actual = std::to_string(rig.port.opens);
  } else {
    FAIL() << "unknown check " << check;
  }
  EXPECT_EQ(actual, value) << what;
}

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class Exchange : public ::testing::TestWithParam<Scenario> {};

TEST_P(Exchange, GoesAsOnTheLine) {
  Rig rig(GetParam().startAnswer);
  int n = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(++n) + ": " + step.event);
    Apply(rig, step.event);
    EXPECT_EQ(rig.take(), step.sent);
    if (!step.flags.empty()) {
      EXPECT_EQ(rig.flags(), step.flags);
    }
    Check(rig, step.check);
  }
}

const std::string kData1234 = "02 34 12 03 26";

const Scenario kScenarios[] = {
    {"WriteWholeExchange",
     {{"Text1=1234", {}, "FFF"},
      {"Command1", {kEnq}, "FTT"},
      {"Tick", {}, "FTT"},  // held until the header goes out
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF"},
      {"rx 06", {kData1234}, "FTF"},
      {"rx 06", {kData1234}, "FTF"},  // every further ACK re-sends the block
      {"Tick", {kEnq}, "TFF"},
      {"rx 06", {}, "TFF"}}},
    {"WriteNormalisesTheValueBox",
     {{"Text1=5", {}, ""},
      {"Command1", {kEnq}, "FTT"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF"},
      {"rx 06", {"02 05 00 03 05"}, "FTF", "Text1=0005"}}},
    {"WriteOfOverlongValueSendsZero",
     {{"Text1=123456", {}, ""},
      {"Command1", {kEnq}, ""},
      {"rx 4E 21 06", {kWriteHeader2000}, ""},
      {"rx 06", {"02 00 00 03 00"}, "FTF", "Text1=0000"}}},
    {"WriteToOctalSeven",
     {{"Text2=7", {}, ""},
      {"Command1", {kEnq}, ""},
      {"rx 4E 21 06", {"01 30 31 38 31 30 30 30 38 30 30 30 32 30 31 17 03"}, "FTF"}}},
    {"ValueBoxEmptiedMidWriteSendsNoBlock",
     {{"Command1", {kEnq}, "FTT"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF"},
      {"Text1", {}, "FTT"},
      {"Text1=", {}, "FTT"},
      {"rx 06", {}, "FTF"}}},
    {"ReadWholeExchange",
     {{"Command3", {kEnq}, "FFT", "Text5="},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF"},
      {"rx 06 02 05 12 03 17", {}, "FFF", "Text5=1205"}}},
    {"ReadShowsLeadingZeros",
     {{"Command3", {kEnq}, ""},
      {"rx 4E 21 06", {kReadHeader2000}, ""},
      {"rx 06 02 0A 00 03 0A", {}, "", "Text5=000A"}}},
    {"ReadCheckByteNotVerified",
     {{"Command3", {kEnq}, ""},
      {"rx 4E 21 06", {kReadHeader2000}, ""},
      {"rx 15 02 34 12 03 99", {}, "", "Text5=1234"}}},
    {"ReadReplyAfterTickSetsLampsNotText5",
     {{"Command3", {kEnq}, "FFT"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF"},
      {"Tick", {kEnq}, "TFF"},
      {"rx 06 02 81 12 03 93", {}, "TFF", "lamps=10000001"},
      {"Command4", {}, "TFF", "Text5="}}},
    {"ReadReplyWhileHeldLeavesText5",
     {{"Command3", {kEnq}, ""},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF"},
      {"Text6", {}, "FFT"},
      {"rx 06 02 05 12 03 17", {}, "FFT", "Text5="}}},
    {"PollWholeExchange",
     {{"Tick", {kEnq}, "TFF"},
      {"rx 4E 21 06", {kPollHeader}, "TFF"},
      {"rx 06 02 81 00 03 81", {}, "TFF", "lamps=10000001"},
      {"Tick", {kEnq}, "TFF"},
      {"rx 4E 21 06", {kPollHeader}, ""},
      {"rx 06 02 5A FF 03 A5", {}, "TFF", "lamps=01011010"}}},
    {"PollUnansweredRepeatsEveryTick",
     {{"Tick", {kEnq}, "TFF"}, {"Tick", {kEnq}, "TFF"}, {"Tick", {kEnq}, "TFF"}}},
    {"ClickIntoTextBoxHoldsAndCommand4Releases",
     {{"Text2", {}, "FFT"},
      {"Tick", {}, "FFT"},
      {"Text5", {}, "FFT"},
      {"Tick", {}, "FFT"},
      {"Command4", {}, "FFF"},
      {"Tick", {kEnq}, "TFF"},
      {"Text1", {}, "TFT"},
      {"Tick", {}, "TFT"}}},
    {"HeaderOfNextExchangeReleasesHold",
     {{"Text1", {}, "FFT"},
      {"Command3", {kEnq}, "FFT"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF"},
      {"Tick", {kEnq}, "TFF"}}},
    {"NeverAnsweredEnquiryHoldsUntilCommand4",
     {{"Command1", {kEnq}, "FTT"},
      {"Tick", {}, "FTT"},
      {"Tick", {}, "FTT"},
      {"Command4", {}, "FTF"},
      {"Tick", {kEnq}, "TFF"}}},
    {"Command1TwiceSendsTwoEnquiries", {{"Command1", {kEnq}, "FTT"}, {"Command1", {kEnq}, "FTT"}}},
    {"EmptyValueBoxSendsNothingButMovesFlags",
     {{"Text1=", {}, "FFF"},
      {"Tick", {}, "TFF"},
      {"Command1", {}, "FTT"},
      {"Command3", {}, "FFT"},
      {"Command4", {}, "FFF"},
      {"Tick", {}, "TFF"}}},
    {"SplitReplyIsNotRecognised",
     {{"Tick", {kEnq}, "TFF"},
      {"rx 4E", {}, "TFF"},
      {"rx 21 06", {}, "TFF"},
      {"rx 06 02 81", {}, "", "lamps=00000000"}}},
    {"HeaderAckAfterTickSendsNoBlock",
     {{"Command1", {kEnq}, "FTT"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF"},
      {"Tick", {kEnq}, "TFF"},
      {"rx 06", {}, "TFF"}}},
    {"SingleAckOutsideWriteIsIgnored", {{"Command3", {kEnq}, "FFT"}, {"rx 06", {}, "FFT"}}},
    {"UnknownChunksAreIgnored",
     {{"Tick", {kEnq}, "TFF"},
      {"rx 15", {}, "TFF"},
      {"rx 4E 21 15", {}, "TFF"},
      {"rx 06 02 81 00 04 81", {}, "TFF", "lamps=00000000"},
      {"rx 06 06", {}, "TFF"}}},
    {"Combo1ChangedMidExchangeKeepsFlagsAndReopens",
     {{"Command1", {kEnq}, "FTT", "opens=1"},
      {"Combo1=2", {}, "FTT"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "opens=2"}}},
    {"Combo1EmptiedStopsTransmissionUntilValid",
     {{"Tick", {kEnq}, "TFF"},
      {"Combo1=", {}, "TFF"},
      {"Tick", {}, "TFF"},
      {"Combo1=abc", {}, ""},
      {"Tick", {}, "TFF"},
      {"Combo1=3", {}, ""},
      {"Tick", {kEnq}, "TFF"}}},
    {"FailingOpenDropsFramesAndRetries",
     {{"failOpen", {}, ""},
      {"Tick", {}, "TFF", "opens=0"},
      {"Command3", {}, "FFT"},
      {"Command4", {}, "FFF"},
      {"portOk", {}, ""},
      {"Tick", {kEnq}, "TFF", "opens=1"}}},
    {"FailingOpenStillMovesFlagsAfterHeader",
     {{"Command3", {kEnq}, "FFT"},
      {"failWrite", {}, ""},
      {"rx 4E 21 06", {}, "FFF"},  // header lost: hold released as after a send
      {"portOk", {}, ""},
      {"Tick", {kEnq}, "TFF", "opens=2"}}},
    {"InvalidStartAnswerSendsNothing",
     {{"Tick", {}, "TFF"}, {"Command1", {}, "FTT"}, {"Combo1= 7 ", {}, "FTT"}, {"Command1", {kEnq}, "FTT"}},
     U""},
};

INSTANTIATE_TEST_SUITE_P(Link, Exchange, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartUp, DefaultAnswerConfiguresPortOneAndLeavesItClosed) {
  FakePort port;
  FakePanel panel;
  port.input = {1, 2, 3};
  LinkControl core(port, panel);
  core.Form2_Load(U"1");
  EXPECT_EQ(port.number, 1);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.lineSettings, "9600,o,8,1");
  EXPECT_FALSE(port.dtr);
  EXPECT_EQ(port.readLength, 0);
  EXPECT_EQ(port.receiveThreshold, 1);
  EXPECT_EQ(port.sendThreshold, 1);
  EXPECT_TRUE(port.binary);
  EXPECT_TRUE(port.noHandshaking);
  EXPECT_TRUE(port.input.empty());
  EXPECT_EQ(panel.text(Field::Combo1), U"1");
  EXPECT_EQ(core.state().LineSettings, "9600,o,8,1");
}

TEST(StartUp, ReloadClosesAnOpenPortAndClearsFlags) {
  Rig rig;
  rig.core.Command1_Click();
  ASSERT_TRUE(rig.port.isOpen());
  rig.core.Form2_Load(U"4");
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(rig.port.number, 4);
  EXPECT_EQ(rig.flags(), "FFF");
}

TEST(Combo1, EveryEditReconfiguresAndDiscardsInput) {
  Rig rig;
  rig.core.Timer1_Timer();
  ASSERT_TRUE(rig.port.isOpen());
  rig.port.input = {0x4E, 0x21, 0x06};
  for (const char32_t* text : {U"1", U"12", U"", U"5"}) {
    rig.panel.setText(Field::Combo1, text);
    rig.core.Combo1_Change();
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_TRUE(rig.port.input.empty());
    EXPECT_EQ(rig.core.state().PortText, text);
  }
  EXPECT_EQ(rig.port.number, 5);
}

TEST(Dispatcher, OnlyDataEventsAreHandledAndEmptyChunksDoNothing) {
  Rig rig;
  rig.receive({0x06});
  ASSERT_EQ(rig.core.state().RxBytes, Bytes{0x06});
  rig.port.input = {0x4E, 0x21, 0x06};
  rig.port.event = CommEvent::Error;
  rig.core.MSComm1_OnComm();
  EXPECT_EQ(rig.core.state().RxBytes, Bytes{0x06});
  EXPECT_EQ(rig.port.input.size(), 3u);  // not read
  rig.port.input.clear();
  rig.port.event = CommEvent::Receive;
  rig.core.MSComm1_OnComm();
  EXPECT_EQ(rig.core.state().RxBytes, Bytes{0x06});
  EXPECT_EQ(rig.core.state().RxLastIndex, 0);
}

TEST(PortNumber, OnlyWholeNumbersFromOneTo32767) {
  struct Row {
    Text text;
    std::optional<int> expected;
  };
  const Row rows[] = {{U"1", 1},     {U" 3\t", 3}, {U"007", 7},    {U"32767", 32767},
                      {U"", {}},     {U"   ", {}}, {U"abc", {}},   {U"0", {}},
                      {U"-3", {}},   {U"+3", {}},  {U"99999", {}}, {U"32768", {}},
                      {U"3.0", {}},  {U"1 2", {}}, {U"３", {}},    {Text(1 << 20, U'9'), {}},
                      {U"COM3", {}}, {U"3\n", {}}};
  for (const Row& r : rows) EXPECT_EQ(ParsePortNumber(r.text), r.expected) << ToUtf8(r.text);
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

TEST(Trace, EveryChunkBothWaysAndNothingElseChanges) {
  FakePort port;
  FakePanel panel;
  std::vector<std::string> lines;
  TracingPort traced(port, [&](const char* dir, const Bytes& b) {
    lines.push_back(std::string(dir) + " " + DescribeChunk(b));
  });
  LinkControl core(traced, panel);
  core.Form2_Load(U"1");
  core.Command3_Click();
  port.input = kEnqAck;
  port.event = CommEvent::Receive;
  core.MSComm1_OnComm();
  port.input = DataReply(0x05, 0x12);
  core.MSComm1_OnComm();
  core.MSComm1_OnComm();  // nothing waiting: no line
  EXPECT_EQ(panel.text(Field::Text5), U"1205");
  const std::vector<std::string> expected = {"TX enquiry", "RX enquiry ack", "TX read header R2000",
                                             "RX ack + data 1205 (check byte ok)"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(TraceLine(12.3456, "TX", {0x06}), "    12.346 TX 06  ack");
}

}  // namespace
}  // namespace varnak::testing
