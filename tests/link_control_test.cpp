// Whole exchanges driven event by event through a fake port and panel: what goes
// on the line, what the flags say, what the panel shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "line/port_number.h"
#include "fakes.h"
#include "line/tracing_port.h"
#include "link/decode.h"
#include "monitor/link_counters.h"
#include "scenario.h"

namespace varnak::testing {
namespace {

class Exchange : public ::testing::TestWithParam<Scenario> {};

TEST_P(Exchange, GoesAsOnTheLine) { RunScenario(GetParam()); }

const std::string kData1234 = "02 34 12 03 26";

const Scenario kScenarios[] = {
    {"WriteWholeExchange",
     {{"Text1=1234", {}, "FFF", ""},
      {"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Tick", {}, "FTT", ""},  // held until the header goes out
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"Tick", {}, "FTF", ""},  // the write waits for its ack: no poll cuts it
      {"rx 06", {kData1234}, "FTF", "data block sent"},
      // Every further ACK re-sends the block; the first of them confirms the write.
      {"rx 06", {kData1234}, "FTF", "data block sent again; done write"},
      {"rx 06", {kData1234}, "FTF", "data block sent again"},
      {"Tick", {kEnq}, "TFF", "start poll", "title="},
      {"rx 06", {}, "TFF", "ignored: ack outside a write; fail poll: reply not understood"}}},
    {"WriteNormalisesTheValueBox",
     {{"Text1=5", {}, "", ""},
      {"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"rx 06", {"02 05 00 03 05"}, "FTF", "data block sent", "Text1=0005"}}},
    {"WriteToOctalSeven",
     {{"Text2=7", {}, "", ""},
      {"Command1", {kEnq}, "", "start write; open; hold"},
      {"rx 4E 21 06",
       {"01 30 31 38 31 30 30 30 38 30 30 30 32 30 31 17 03"},
       "FTF",
       "write header sent; release"}}},
    {"RegisterAndValueAreTakenAtTheClick",
     {{"Text1=1234", {}, "", ""},
      {"Text2= r 2000 ", {}, "", ""},
      {"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Text2=7", {}, "", ""},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"Text1", {}, "FTF", ""},  // the click's hold waits for the end of the write
      {"Text1=", {}, "FTF", ""},
      {"rx 06", {kData1234}, "FTF", "data block sent", "Text1="},
      {"rx 06", {kData1234}, "FTT", "data block sent again; done write; hold"},
      {"Tick", {}, "FTT", ""},
      {"Text1=12", {}, "", ""},
      // A stray ACK still asks for the same block (and its sending frees the
      // poll); the operator's typing is left alone.
      {"rx 06", {kData1234}, "FTF", "data block sent again; release", "Text1=12"}}},
    {"ReadWholeExchange",
     {{"Command3", {kEnq}, "FFT", "start read; open; hold", "Text5="},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"rx 06 02 05 12 03 17", {}, "FFF", "value shown in the read box; done read", "Text5=1205"}}},
    {"ReadShowsLeadingZerosAndIgnoresTheLeadingByte",
     {{"Command3", {kEnq}, "", "start read; open; hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "", "read header sent; release"},
      {"rx 15 02 0A 00 03 0A", {}, "", "value shown in the read box; done read", "Text5=000A"}}},
    {"PollWithBadCheckByteLeavesLamps",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 81 00 03 81", {}, "TFF", "lamps set; done poll", "lamps=10000001"},
      {"Tick", {kEnq}, "TFF", "start poll"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 FF 00 03 00",
       {},
       "TFF",
       "ignored: check byte bad; fail poll: check byte bad",
       "lamps=10000001"},
      {"rx 06 02 7E 00 03 81", {}, "TFF", "ignored: check byte bad", "lamps=10000001"}}},
    {"ReadReplyIsNeverDrawnOnTheLamps",
     {{"Command3", {kEnq}, "FFT", "start read; open; hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"Tick", {}, "FFF", ""},
      {"rx 06 02 81 12 03 93", {}, "FFF", "value shown in the read box; done read", "lamps=00000000"},
      {"Tick", {kEnq}, "TFF", "start poll", "Text5=1281"}}},
    {"ClickIntoABoxDuringAReadHoldsOnceItEnds",
     {{"Command3", {kEnq}, "", "start read; open; hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"Text6", {}, "FFF", ""},
      {"Tick", {}, "FFF", ""},
      {"rx 06 02 05 12 03 17", {}, "FFT", "value shown in the read box; done read; hold", "Text5=1205"},
      {"Tick", {}, "FFT", ""}}},
    {"DataReplyWhileHeldLeavesText5",
     {{"Text6", {}, "FFT", "hold"},
      {"rx 06 02 05 12 03 17", {}, "FFT", "ignored: data reply while polling is held", "Text5="}}},
    {"PollWholeExchange",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 81 00 03 81", {}, "TFF", "lamps set; done poll", "lamps=10000001"},
      {"Tick", {kEnq}, "TFF", "start poll"},
      {"rx 4E 21 06", {kPollHeader}, "", "poll header sent"},
      {"rx 06 02 5A FF 03 A5", {}, "TFF", "lamps set; done poll", "lamps=01011010"}}},
    {"UnansweredPollTimesOutAndTheNextTickPolls",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"+100", {}, "TFF", ""},
      {"Tick", {}, "TFF", ""},
      {"+50", {}, "TFF", "fail poll: no reply"},
      {"Tick", {kEnq}, "TFF", "start poll"}}},
    {"ClickIntoTextBoxHoldsAndCommand4Releases",
     {{"Text2", {}, "FFT", "hold"},
      {"Tick", {}, "FFT", ""},
      {"Text5", {}, "FFT", ""},
      {"Tick", {}, "FFT", ""},
      {"Command4", {}, "FFF", "release"},
      {"Tick", {kEnq}, "TFF", "start poll; open"},
      {"Text1", {}, "TFT", "hold"},
      {"Tick", {}, "TFT", ""}}},
    {"UnansweredEnquiryIsTriedTwiceMoreThenFailsTheWrite",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Tick", {}, "FTT", ""},
      {"+149", {}, "FTT", ""},
      {"+1", {}, "FTT", "again write: no reply", "title="},
      {"Tick", {}, "FTT", ""},  // the line is not free while the write waits to go again
      {"+60", {kEnq}, "FTT", ""},
      {"+150", {}, "FTT", "again write: no reply"},
      {"+60", {kEnq}, "FTT", ""},
      {"+150",
       {},
       "FTF",
       "fail write: no reply; release",
       "title=COM1: write R2000 = 0000 not confirmed (no reply)"},
      {"Tick", {kEnq}, "TFF", "start poll"},
      {"Command3", {}, "TFF", "wait read", "title=COM1: write R2000 = 0000 not confirmed (no reply)"},
      {"+150", {kEnq}, "FFT", "fail poll: no reply; start read; hold", "title="}}},
    {"ARetriedWriteThatGetsThroughIsConfirmed",
     {{"Text1=1234", {}, "", ""},
      {"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"rx 15", {}, "FTF", "ignored: refused (NAK); again write: refused"},
      {"Tick", {}, "FTF", ""},
      {"+60", {kEnq}, "FTT", "hold"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"rx 06", {kData1234}, "FTF", "data block sent"},
      {"rx 06", {kData1234}, "FTF", "data block sent again; done write", "title="}}},
    {"ARetriedReadShowsTheValueOfItsLastAttempt",
     {{"Command3", {kEnq}, "FFT", "start read; open; hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"rx 06 02 34 12 03 99", {}, "FFF", "ignored: check byte bad; again read: check byte bad", "Text5="},
      // The rest of a split reply: the line is not quiet yet, and nothing waits for it.
      {"+40", {}, "FFF", ""},
      {"rx 03", {}, "FFF", "ignored: not a reply"},
      {"+40", {}, "FFF", ""},
      {"+20", {kEnq}, "FFT", "hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"rx 06 02 34 12 03 26", {}, "FFF", "value shown in the read box; done read", "Text5=1234"}}},
    {"AnEmptiedValueBoxEndsTheRetries",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Text1=", {}, "", ""},
      {"+150", {}, "FTT", "again write: no reply"},
      {"+60", {}, "FTF", "fail write: no reply; release"}}},
    {"ACommandWhoseValueBoxIsEmptiedWhileItWaitsIsRefused",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"Command1", {}, "TFF", "wait write"},
      {"Text1=", {}, "", ""},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 81 00 03 81",
       {},
       "TFF",
       "lamps set; done poll; fail write: nothing is sent while the value box is empty",
       "title=nothing is sent while the value box is empty"}}},
    {"NoiseThatNeverPausesPutsARetryOffHalfASecondAtMost",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"+150", {}, "FTT", "again write: no reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {}, "FTT", ""},
      {"rx 00", {}, "FTT", "ignored: not a reply"},
      {"+50", {kEnq}, "FTT", ""}}},
    {"Command4DuringAWriteLetsNoTickIn",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Command4", {}, "FTF", "release"},
      {"Tick", {}, "FTF", ""},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent"},
      {"Tick", {}, "FTF", ""},
      {"rx 06", {"02 00 00 03 00"}, "FTF", "data block sent"},
      {"rx 06", {"02 00 00 03 00"}, "FTF", "data block sent again; done write"},
      {"Tick", {kEnq}, "TFF", "start poll"}}},
    {"ClickDuringAPollWaitsForItsReply",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"Command1", {}, "TFF", "wait write"},
      {"rx 06 02 81 00 03 81", {kEnq}, "FTT", "lamps set; done poll; start write; hold", "lamps=10000001"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"}}},
    {"SecondClickWaitsForTheFirstCommand",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"Command1", {}, "FTT", "wait write"},
      {"Command3", {}, "FTT", "fail write: not sent: another command was clicked; wait read"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"rx 06", {"02 00 00 03 00"}, "FTF", "data block sent"},
      {"rx 06", {"02 00 00 03 00", kEnq}, "FFT", "data block sent again; done write; start read; hold"}}},
    {"EmptyValueBoxSendsNothingButMovesFlags",
     {{"Text1=", {}, "FFF", ""},
      {"Tick", {}, "TFF", "", "title=nothing is sent while the value box is empty"},
      {"Command1", {}, "FTT", "hold"},
      {"Command3", {}, "FFT", ""},
      {"Command4", {}, "FFF", "release"},
      {"Tick", {}, "TFF", ""}}},
    {"TyposAreRefusedAndNothingIsSent",
     {{"Text2=2008", {}, "", ""},
      {"Command1", {}, "FFF", "fail write: register 2008 is not octal", "title=register 2008 is not octal"},
      {"Text6=100000", {}, "", ""},
      {"Command3", {}, "FFF", "fail read: register 100000 is above 77777"},
      {"Text2=2000", {}, "", ""},
      {"Text1=12G4", {}, "", ""},
      {"Command1", {}, "FFF", "fail write: value 12G4 is not hex"},
      {"Text1=123456", {}, "", ""},
      {"Command1", {}, "FFF", "fail write: value 123456 has more than four digits"},
      {"Tick", {kEnq}, "TFF", "start poll; open"}}},
    {"LateRepliesAfterATimeoutDoNothing",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"+570",
       {kEnq, kEnq},
       "FTF",
       "again write: no reply; again write: no reply; fail write: no reply; release"},
      {"Text2=2008", {}, "", ""},
      {"rx 4E 21 06", {}, "FTF", "ignored: no exchange waits for this reply"},
      {"rx 06", {}, "FTF", "ignored: no exchange waits for this reply"},
      {"Text2=2000", {}, "", ""},
      {"Command3", {kEnq}, "FFT", "start read; hold"},
      {"+570",
       {kEnq, kEnq},
       "FFF",
       "again read: no reply; again read: no reply; fail read: no reply; release"},
      {"rx 06 02 05 12 03 17", {}, "FFF", "ignored: no exchange waits for this reply", "Text5="},
      {"Tick", {kEnq}, "TFF", "start poll"},
      {"rx 06 02 05 12 03 17",
       {},
       "TFF",
       "ignored: no exchange waits for this reply; fail poll: reply not understood",
       "lamps=00000000"}}},
    {"ClickIntoABoxWhileACommandWaitsHoldsAfterIt",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"Command3", {}, "TFF", "wait read"},
      {"Text6", {}, "TFF", ""},
      {"rx 4E 21 06", {kPollHeader}, "TFF", "poll header sent"},
      {"rx 06 02 81 00 03 81", {kEnq}, "FFT", "lamps set; done poll; start read; hold"},
      {"rx 4E 21 06", {kReadHeader2000}, "FFF", "read header sent; release"},
      {"rx 06 02 05 12 03 17", {}, "FFT", "value shown in the read box; done read; hold", "Text5=1205"}}},
    {"HeaderAckAfterTickStillSendsTheBlock",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; release"},
      {"Tick", {}, "FTF", ""},
      {"rx 06", {"02 00 00 03 00"}, "FTF", "data block sent"}}},
    {"UnknownChunksAreIgnored",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"rx 15", {}, "TFF", "ignored: refused (NAK); fail poll: refused"},
      {"rx 4E 21 15", {}, "TFF", "ignored: refused (NAK)"},
      {"rx 06 02 81 00 04 81", {}, "TFF", "ignored: not a reply", "lamps=00000000"},
      {"rx 06 06", {}, "TFF", "ignored: not a reply"}}},
    {"Combo1ChangedMidExchangeKeepsFlagsAndReopens",
     {{"Command1", {kEnq}, "FTT", "start write; open; hold", "opens=1"},
      {"Combo1=2", {}, "FTT", "close"},
      {"rx 4E 21 06", {kWriteHeader2000}, "FTF", "write header sent; open; release", "opens=2"}}},
    {"Combo1EmptiedStopsTransmissionUntilValid",
     {{"Tick", {kEnq}, "TFF", "start poll; open"},
      {"Combo1=", {}, "TFF", "close"},
      {"+150", {}, "TFF", "fail poll: no reply"},
      {"Tick", {}, "TFF", "start poll; fail"},
      {"Combo1=abc", {}, "", ""},
      {"Tick", {}, "TFF", "start poll"},
      {"Combo1=3", {}, "", ""},
      {"Tick", {kEnq}, "TFF", "start poll; open"}}},
    {"FailingOpenFailsTheCommandAtOnce",
     {{"failOpen", {}, "", ""},
      {"Tick", {}, "TFF", "start poll; fail", "opens=0"},
      {"Command3", {}, "FFF", "start read; hold; fail read: port failed; release"},
      {"portOk", {}, "", ""},
      {"Tick", {kEnq}, "TFF", "start poll; open", "opens=1"}}},
    {"AHeaderThatCannotBeWrittenFailsTheRead",
     {{"Command3", {kEnq}, "FFT", "start read; open; hold"},
      {"failWrite", {}, "", ""},
      {"rx 4E 21 06", {}, "FFF", "read header sent; fail; close; release; fail read: port failed"},
      {"portOk", {}, "", ""},
      {"Tick", {kEnq}, "TFF", "start poll; open", "opens=2"}}},
    {"InvalidStartAnswerSendsNothing",
     {{"Tick", {}, "TFF", "start poll; fail"},
      {"Command1", {}, "FTF", "start write; hold; fail write: port failed; release"},
      {"Combo1= 7 ", {}, "FTF", ""},
      {"Command1", {kEnq}, "FTT", "start write; open; hold"}},
     U""},
};

INSTANTIATE_TEST_SUITE_P(Link, Exchange, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartUp, DefaultAnswerConfiguresPortOneAndLeavesItClosed) {
  FakePort port;
  FakePanel panel;
  port.input = {1, 2, 3};
  LinkControl core(port);
  panel.attach(core);
  panel.Form2_Load(U"1", 0);
  EXPECT_EQ(port.number, 1);
  EXPECT_FALSE(port.isOpen());
  // ConfigurePort's order: line settings, input cleared, DTR off, no handshaking.
  const std::vector<PortSetting> order = {PortSetting::LineSettings, PortSetting::ClearInput,
                                          PortSetting::DtrOff, PortSetting::NoHandshaking};
  EXPECT_EQ(port.settings, order);
  EXPECT_TRUE(port.lineSet);
  EXPECT_FALSE(port.dtr);
  EXPECT_TRUE(port.noHandshaking);
  EXPECT_TRUE(port.input.empty());
  EXPECT_EQ(panel.text(Field::Combo1), U"1");
  EXPECT_EQ(core.state().LineSettings, "9600,o,8,1");
}

TEST(StartUp, ReloadClosesAnOpenPortAndClearsFlags) {
  Rig rig;
  rig.panel.Command1_Click(rig.now);
  ASSERT_TRUE(rig.port.isOpen());
  rig.panel.Form2_Load(U"4", rig.now);
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(rig.port.number, 4);
  EXPECT_EQ(rig.flags(), "FFF");
}

TEST(Combo1, EveryEditReconfiguresAndDiscardsInput) {
  Rig rig;
  rig.core.Timer1_Timer(rig.now);
  ASSERT_TRUE(rig.port.isOpen());
  rig.port.input = {0x4E, 0x21, 0x06};
  for (const char32_t* text : {U"1", U"12", U"", U"5"}) {
    rig.panel.setText(Field::Combo1, text);
    rig.panel.Combo1_Change(rig.now);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_TRUE(rig.port.input.empty());
    EXPECT_EQ(rig.core.state().PortText, text);
  }
  EXPECT_EQ(rig.port.number, 5);
}

TEST(Dispatcher, EmptyChunksDoNothing) {
  Rig rig;
  rig.receive({0x06});
  ASSERT_EQ(rig.core.state().RxBytes, Bytes{0x06});
  rig.port.input.clear();
  rig.port.deliver(rig.now);
  rig.core.MSComm1_OnComm({}, rig.now);
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
  LinkControl core(traced);
  panel.attach(core);
  panel.Form2_Load(U"1", 0);
  panel.Command3_Click(0);
  port.input = kEnqAck;
  port.deliver(0);
  port.input = DataReply(0x05, 0x12);
  port.deliver(0);
  port.deliver(0);  // nothing came: no line
  EXPECT_EQ(panel.text(Field::Text5), U"1205");
  const std::vector<std::string> expected = {"TX enquiry", "RX enquiry ack", "TX read header R2000",
                                             "RX ack + data 1205 (check byte ok)"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(TraceLine(12.3456, "TX", {0x06}), "    12.346 TX 06  ack");
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

// Pieces of a reply on a fake clock: what the link control does with each
// piece and when. `at` is the delivery time in ms after the frame went out.
struct Piece {
  std::int64_t at;
  std::string bytes;
};
struct JoinCase {
  const char* name;
  const char* step;  // the exchange's step: "poll enquiry", "poll header", "write header"
  std::vector<Piece> pieces;
  std::string report;                  // everything reported after the frame, in EventLog's words
  std::vector<std::string> sent = {};  // frames the reply made the link control send
};
void PrintTo(const JoinCase& c, std::ostream* os) { *os << c.name; }

const char* kKept = "kept: waiting for the rest of the reply";

const JoinCase kJoinCases[] = {
    {"WholeReplyActsAtOnce", "poll header", {{10, "06 02 81 00 03 81"}}, "lamps set; done poll"},
    {"BeginningWaitsAndTheRestJoins",
     "poll header",
     {{10, "06"}, {26, "02 81 00 03 81"}},
     std::string(kKept) + "; lamps set; done poll"},
    {"ThreePiecesJoin",
     "poll header",
     {{10, "06 02"}, {26, "81 00"}, {42, "03 81"}},
     // Kept is said once, when the keeping begins.
     std::string(kKept) + "; lamps set; done poll"},
    {"RestAfterTheBoundIsNotJoined",
     "poll header",
     {{10, "06"}, {41, "02 81 00 03 81"}},
     std::string(kKept) +
         "; ignored: ack outside a write; fail poll: reply not understood; ignored: not a reply"},
    {"EnquiryAckInTwoPieces",
     "poll enquiry",
     {{5, "4E"}, {21, "21 06"}},
     std::string(kKept) + "; poll header sent; fail poll: no reply",
     {kPollHeader}},
    {"LoneAckIsWholeAfterAWriteHeader",
     "write header",
     {{25, "06"}},
     "data block sent; again write: no reply",
     {"02 00 00 03 00"}},
    {"NakCannotBeginAReplyAndActsAtOnce",
     "poll header",
     {{10, "15"}},
     "ignored: refused (NAK); fail poll: refused"},
    {"NoiseCannotBeginAReplyAndActsAtOnce",
     "poll header",
     {{10, "06 07"}},
     "ignored: not a reply; fail poll: reply not understood"},
    {"APieceThatDoesNotContinueIsJudgedApart",
     "poll header",
     {{10, "06"}, {20, "4E 21 06"}},
     std::string(kKept) + "; ignored: ack outside a write; fail poll: reply not understood; ignored: no "
                          "exchange waits for this reply"},
    {"TwoEnquiryAcksRunTogether",
     "poll enquiry",
     {{5, "4E 21 06 4E 21 06"}},
     "ignored: not a reply; fail poll: reply not understood"},
};

class Join : public ::testing::TestWithParam<JoinCase> {};

TEST_P(Join, PiecesOfAReply) {
  const JoinCase& c = GetParam();
  Rig rig;
  const std::string step = c.step;
  if (step == "write header") {
    rig.panel.Command1_Click(rig.now);
    rig.receive(kEnqAck);
  } else {
    rig.core.Timer1_Timer(rig.now);
    if (step == "poll header") rig.receive(kEnqAck);
  }
  rig.take();
  rig.log.events.clear();
  const std::int64_t sentAt = rig.now;
  for (const Piece& p : c.pieces) {
    rig.advance(sentAt + p.at - rig.now);
    rig.receive(ParseHex(p.bytes));
  }
  rig.advance(LinkControl::kReplyTimeoutMs);
  std::string report = rig.log.take();
  // Holds and releases are the exchange table's business.
  for (const char* noise : {"; release", "; hold"})
    for (auto at = report.find(noise); at != std::string::npos; at = report.find(noise)) report.erase(at, 9);
  EXPECT_EQ(report, c.report);
  EXPECT_EQ(rig.take(), c.sent);
}

INSTANTIATE_TEST_SUITE_P(Link, Join, ::testing::ValuesIn(kJoinCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A write and a read that fail at each of their steps, at every attempt: the hold is released,
// polling resumes at the next tick, the title names the command, the failure is
// counted.
struct FailCase {
  const char* name;
  const char* command;                // "write" or "read"
  std::vector<std::string> answered;  // replies before the fault, each whole
  std::string fault;                  // "lost", or the bytes that come instead of the reply
  std::string title;
};
void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }

const std::string kWriteFailed = "COM1: write R2000 = 1234 not confirmed ";
const std::string kReadFailed = "COM1: read R2000 failed ";

const FailCase kFailCases[] = {
    {"WriteEnquiryLost", "write", {}, "lost", kWriteFailed + "(no reply)"},
    {"WriteEnquiryRefused", "write", {}, "4E 21 15", kWriteFailed + "(refused)"},
    {"WriteEnquiryCorrupted", "write", {}, "4E 23 06", kWriteFailed + "(reply not understood)"},
    {"WriteHeaderAckLost", "write", {"4E 21 06"}, "lost", kWriteFailed + "(no reply)"},
    {"WriteHeaderRefused", "write", {"4E 21 06"}, "15", kWriteFailed + "(refused)"},
    {"WriteHeaderAckCorrupted", "write", {"4E 21 06"}, "86", kWriteFailed + "(reply not understood)"},
    {"WriteBlockAckLost", "write", {"4E 21 06", "06"}, "lost", kWriteFailed + "(no reply)"},
    {"WriteBlockRefused", "write", {"4E 21 06", "06"}, "15", kWriteFailed + "(refused)"},
    {"WriteBlockAckCorrupted", "write", {"4E 21 06", "06"}, "86", kWriteFailed + "(reply not understood)"},
    {"ReadEnquiryLost", "read", {}, "lost", kReadFailed + "(no reply)"},
    {"ReadEnquiryRefused", "read", {}, "4E 21 15", kReadFailed + "(refused)"},
    {"ReadReplyLost", "read", {"4E 21 06"}, "lost", kReadFailed + "(no reply)"},
    {"ReadRefused", "read", {"4E 21 06"}, "15", kReadFailed + "(refused)"},
    {"ReadReplyCorrupted", "read", {"4E 21 06"}, "06 02 34 12 03 99", kReadFailed + "(check byte bad)"},
    {"ReadReplyTruncated", "read", {"4E 21 06"}, "06 02 34", kReadFailed + "(reply not understood)"},
};

class CommandFails : public ::testing::TestWithParam<FailCase> {};

TEST_P(CommandFails, PollingResumesAndTheTitleSaysWhy) {
  const FailCase& c = GetParam();
  Rig rig;
  LinkCounters counters;
  struct Counting : LinkObserver {
    LinkCounters* c;
    void onLinkEvent(const LinkEvent& e) override { c->count(e); }
  } counting;
  counting.c = &counters;
  rig.core.addObserver(&counting);
  rig.panel.setText(Field::Text1, U"1234");
  const bool write = std::string(c.command) == "write";
  write ? rig.panel.Command1_Click(rig.now) : rig.panel.Command3_Click(rig.now);
  // The same fault at every attempt: the command goes again from the enquiry, then fails.
  int enquiries = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    for (const std::string& r : c.answered) rig.receive(ParseHex(r));
    if (c.fault != "lost") rig.receive(ParseHex(c.fault));
    rig.advance(c.fault == "lost" ? LinkControl::kReplyTimeoutMs : LinkControl::kJoinMs);
    rig.advance(LinkControl::kRetryQuietMs);
    for (const std::string& f : rig.take()) enquiries += f == kEnq;
  }
  EXPECT_EQ(enquiries, kAttempts);
  EXPECT_EQ(counters.retried, kAttempts - 1);
  EXPECT_FALSE(rig.core.state().PollHold);
  EXPECT_EQ(rig.core.status(rig.now).message, c.title);
  rig.port.tell("COM1: unplugged");
  EXPECT_EQ(rig.core.status(rig.now).message, "COM1: unplugged") << "the port's problem comes first";
  EXPECT_EQ(counters.failed[static_cast<std::size_t>(write ? ExchangeKind::Write : ExchangeKind::Read)], 1);
  EXPECT_EQ(rig.panel.text(Field::Text5), U"");
  rig.take();
  rig.core.Timer1_Timer(rig.now);
  EXPECT_EQ(rig.take(), std::vector<std::string>{kEnq});
  EXPECT_EQ(rig.flags(), "TFF");
  // The message stays until the next command starts.
  rig.advance(10);
  EXPECT_EQ(rig.core.status(rig.now).message, c.title);
  rig.receive(kEnqAck);
  rig.receive(DataReply(0, 0));
  rig.panel.Command3_Click(rig.now);
  EXPECT_EQ(rig.core.status(rig.now).message, "");
}

INSTANTIATE_TEST_SUITE_P(Link, CommandFails, ::testing::ValuesIn(kFailCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

// How long a reply is waited for: the line's default (local or network), or
// what --timeout gave; the write is tried again only once that has passed.
TEST(ReplyTimeout, FollowsTheLineOrTheOption) {
  struct Row {
    const char* name;
    bool network;
    std::optional<std::int64_t> option;
    std::int64_t waited;
  };
  const Row rows[] = {
      {"LocalDefault", false, std::nullopt, LinkControl::kReplyTimeoutMs},
      {"NetworkDefault", true, std::nullopt, LinkControl::kNetworkReplyTimeoutMs},
      {"OptionOnALocalLine", false, 400, 400},
      {"OptionOnANetworkLine", true, 1200, 1200},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Rig rig;
    rig.port.network = r.network;
    rig.core.setReplyTimeoutMs(r.option);
    rig.panel.Command1_Click(rig.now);
    ASSERT_EQ(rig.port.written.size(), 1u);
    const auto retried = [&] {
      return std::count_if(rig.log.events.begin(), rig.log.events.end(),
                           [](const LinkEvent& e) { return e.kind == LinkEvent::Kind::Retried; });
    };
    rig.advance(r.waited - 1);
    EXPECT_EQ(retried(), 0);
    rig.advance(1);
    EXPECT_EQ(retried(), 1);
  }
}

// A reply that keeps coming in pieces on a network line (each piece re-arms the
// wait for the next) is given up twice the timeout after its frame at most.
TEST(ReplyTimeout, PiecesThatKeepComingAreGivenUpAtTwiceTheTimeout) {
  Rig rig;
  rig.port.network = true;
  rig.panel.Command3_Click(rig.now);
  rig.receive(ParseHex("4E 21 06"));  // the read header goes out now
  const std::int64_t sent = rig.now;
  const auto retried = [&] {
    return std::count_if(rig.log.events.begin(), rig.log.events.end(),
                         [](const LinkEvent& e) { return e.kind == LinkEvent::Kind::Retried; });
  };
  for (const char* piece : {"06", "02"}) {
    rig.advance(400);
    rig.receive(ParseHex(piece));
  }
  rig.advance(sent + 2 * LinkControl::kNetworkReplyTimeoutMs - 1 - rig.now);
  EXPECT_EQ(retried(), 0);
  rig.advance(1);
  EXPECT_EQ(retried(), 1);
}

}  // namespace
}  // namespace varnak::testing
