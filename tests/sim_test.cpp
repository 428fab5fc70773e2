// The simulated controller's replies, the framing of the byte stream, the fault
// dice, and the decoder shared by logs and traces.
#include <gtest/gtest.h>

#include <functional>

#include "fakes.h"
#include "link/decode.h"
#include "link/frames.h"
#include "link/register_number.h"
#include "sim/controller.h"
#include "sim/faults.h"
#include "sim/options.h"
#include "sim/schedule.h"

namespace varnak::testing {
namespace {

using sim::Controller;

Bytes Hex(const std::string& s) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < s.size(); i += 3)
    out.push_back(static_cast<std::uint8_t>(std::stoul(s.substr(i, 2), nullptr, 16)));
  return out;
}

// A conversation: each frame from the tool and the reply it must get ("" = none).
struct Turn {
  std::string frame;
  std::string reply;
};
struct Conversation {
  const char* name;
  std::vector<Turn> turns;
};
void PrintTo(const Conversation& c, std::ostream* os) { *os << c.name; }

const std::string kData1234 = "02 34 12 03 26";
const std::string kReadR2000 = kReadHeader2000;

const Conversation kConversations[] = {
    {"PollReadsTheLowByteOfR2000", {{kEnq, "4E 21 06"}, {kPollHeader, "06 02 00 00 03 00"}}},
    {"WriteThenReadBack",
     {{kEnq, "4E 21 06"},
      {kWriteHeader2000, "06"},
      {kData1234, "06"},
      {kEnq, "4E 21 06"},
      {kReadR2000, "06 02 34 12 03 26"},
      {kEnq, "4E 21 06"},
      {kPollHeader, "06 02 34 00 03 34"}}},
    {"BadHeaderCheckByteIsRefused",
     {{kEnq, "4E 21 06"}, {"01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 07", "15"}}},
    {"BadDataCheckByteIsRefusedAndNotStored",
     {{kEnq, "4E 21 06"},
      {kWriteHeader2000, "06"},
      {"02 34 12 03 27", "15"},
      {kEnq, "4E 21 06"},
      {kReadR2000, "06 02 00 00 03 00"}}},
    {"HeaderWithoutEnquiryIsIgnored", {{kReadR2000, ""}, {kData1234, ""}}},
    {"EnquiryStartsANewExchange",
     {{kEnq, "4E 21 06"}, {kWriteHeader2000, "06"}, {kEnq, "4E 21 06"}, {kData1234, ""}}},
    {"OtherStationIsIgnored",
     {{kEnq, "4E 21 06"}, {"01 30 32 30 31 30 34 30 31 30 30 30 32 30 31 17 05", ""}}},
    {"OctalSevenIsWireAddressEight",
     {{kEnq, "4E 21 06"},
      {"01 30 31 38 31 30 30 30 38 30 30 30 32 30 31 17 03", "06"},
      {"02 EF BE 03 51", "06"},
      {kEnq, "4E 21 06"},
      {"01 30 31 30 31 30 30 30 38 30 30 30 32 30 31 17 0B", "06 02 EF BE 03 51"}}},
};

class SimConversation : public ::testing::TestWithParam<Conversation> {};

TEST_P(SimConversation, RepliesAsAController) {
  Controller c;
  int n = 0;
  for (const Turn& t : GetParam().turns) {
    SCOPED_TRACE("turn " + std::to_string(++n) + ": " + t.frame);
    EXPECT_EQ(BytesToHex(c.handle(Hex(t.frame)).reply), t.reply);
  }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimConversation, ::testing::ValuesIn(kConversations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimController, RefusalsChangeNothing) {
  Controller c;
  EXPECT_EQ(BytesToHex(c.handle(Hex(kEnq), true).reply), "4E 21 15");
  EXPECT_EQ(BytesToHex(c.handle(Hex(kWriteHeader2000)).reply), "") << "refused enquiry opens no exchange";
  c.handle(Hex(kEnq));
  c.handle(Hex(kWriteHeader2000));
  EXPECT_EQ(BytesToHex(c.handle(Hex(kData1234), true).reply), "15");
  EXPECT_EQ(c.reg(02000), 0);
  c.fixOutputs(0x81);
  EXPECT_EQ(c.outputs(), 0x81);
}

TEST(SimSplitter, CutsTheStreamIntoFramesAndDropsJunk) {
  sim::FrameSplitter s;
  s.push(Hex("FF 4E 21 05 01 30"));
  auto f = s.next();
  ASSERT_TRUE(f);
  EXPECT_EQ(BytesToHex(*f), kEnq);
  EXPECT_FALSE(s.next());
  EXPECT_TRUE(s.partial());
  s.push(Hex("31 30 33 30 31 30 31 30 30 30 32 30 31 17 01 4E 22"));
  f = s.next();
  ASSERT_TRUE(f);
  EXPECT_EQ(BytesToHex(*f), kPollHeader);
  EXPECT_FALSE(s.next());
  EXPECT_EQ(s.dropped(), 3u);  // FF, 4E, 22
  s.push(Hex("02 34 12"));
  EXPECT_FALSE(s.next());
  EXPECT_EQ(BytesToHex(s.flush()), "02 34 12");
}

TEST(SimFaults, SameSeedSameFaultsAndRatesAsAsked) {
  sim::FaultSettings settings{0.1, 0.1, 0.1, 0.1, 0, 42};
  sim::Faults a(settings), b(settings);
  const Bytes reply = Hex("06 02 34 12 03 26");
  int parts = 0;
  for (int i = 0; i < 10000; ++i) {
    EXPECT_EQ(a.refuse(), b.refuse());
    const auto pa = a.plan(reply), pb = b.plan(reply);
    ASSERT_EQ(pa.parts.size(), pb.parts.size());
    for (std::size_t k = 0; k < pa.parts.size(); ++k) EXPECT_EQ(pa.parts[k].bytes, pb.parts[k].bytes);
    parts += static_cast<int>(pa.parts.size());
  }
  for (int count : {a.counts().dropped, a.counts().corrupted, a.counts().split, a.counts().refused}) {
    EXPECT_GT(count, 800);
    EXPECT_LT(count, 1200);
  }
  a.disable();
  EXPECT_EQ(a.plan(reply).parts.size(), 1u);
  EXPECT_FALSE(a.refuse());
}

TEST(Decode, NamesEveryFrameOfTheLink) {
  const std::pair<std::string, std::string> rows[] = {
      {kEnq, "enquiry"},
      {"4E 21 06", "enquiry ack"},
      {kWriteHeader2000, "write header R2000"},
      {kReadHeader2000, "read header R2000"},
      {kPollHeader, "poll header"},
      {kData1234, "data block 1234"},
      {"02 34 12 03 27", "data block 1234 (bad LRC)"},
      {"06", "ack"},
      {"15", "nak"},
      {"06 02 05 12 03 17", "ack + data 1205 (check byte ok)"},
      {"06 02 05 12 03 18", "ack + data 1205 (check byte bad)"},
      {"01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 07", "read header R2000 (bad LRC)"},
      {"4E", "unrecognised"},
      {"", "unrecognised"},
  };
  for (const auto& [hex, words] : rows) EXPECT_EQ(DescribeChunk(Hex(hex)), words) << hex;
}

TEST(RegisterNames, OctalDigitsOnly) {
  EXPECT_EQ(ParseRegisterName("R2000"), 02000u);
  EXPECT_EQ(ParseRegisterName("17"), 017u);
  EXPECT_EQ(ParseRegisterName("77777"), 077777u);
  for (const char* bad : {"", "R", "R8", "2009", "-1", "R20 00", "100000", "177776", "1234567"})
    EXPECT_FALSE(ParseRegisterName(bad)) << bad;
}

// The simulator's command line, one row after another through getopt_long:
// --opt value and --opt=value alike, never an abbreviation, and an error that
// says what is wrong.
TEST(SimOptions, ParsedAsDocumented) {
  const struct {
    std::vector<std::string> args;
    const char* error;  // a part of the error, or "" when the line is good
    std::function<bool(const sim::Options&)> check;
  } rows[] = {
      {{}, "", [](const sim::Options& o) { return o.pace && !o.control && o.faults.drop == 0; }},
      {{"--drop", "0.5"}, "", [](const sim::Options& o) { return o.faults.drop == 0.5; }},
      {{"--drop=0.5"}, "", [](const sim::Options& o) { return o.faults.drop == 0.5; }},
      {{"--delay-ms=20", "--seed", "7"},
       "",
       [](const sim::Options& o) { return o.faults.delayMs == 20 && o.faults.seed == 7; }},
      {{"--outputs=a5", "--no-pace"}, "", [](const sim::Options& o) { return o.outputs == 0xA5 && !o.pace; }},
      {{"--outputs-from", "R17"}, "", [](const sim::Options& o) { return o.outputsFrom == 017; }},
      {{"--link=/tmp/x", "--control", "--log"},
       "",
       [](const sim::Options& o) { return o.link == "/tmp/x" && o.control && o.log; }},
      {{"--drop-first", "data"}, "", [](const sim::Options& o) { return o.dropFirst == kStx; }},
      {{"--usb-latency=16"}, "", [](const sim::Options& o) { return o.usbLatencyMs == 16; }},
      {{"--usb-latency", "2000"}, "--usb-latency wants a number from 0 to 1000", nullptr},
      {{"--drop"}, "--drop needs a value", nullptr},
      {{"--drop", "2"}, "--drop wants a number from 0 to 1, got '2'", nullptr},
      {{"--drop-first=frame"}, "--drop-first wants enquiry, header or data", nullptr},
      {{"--no-p"}, "unknown option: --no-p (did you mean --no-pace?)", nullptr},
      {{"--outp=81"}, "unknown option: --outp", nullptr},
      {{"--bogus"}, "unknown option: --bogus", nullptr},
      {{"extra"}, "unexpected argument: extra", nullptr},
      {{"--outputs", "100"}, "--outputs wants one or two hex digits", nullptr},
  };
  for (const auto& r : rows) {
    std::vector<std::string> words = {"varnak-sim"};
    words.insert(words.end(), r.args.begin(), r.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    sim::Options o;
    std::string error;
    const bool ok = sim::ParseOptions(static_cast<int>(words.size()), argv.data(), o, error);
    std::string row;
    for (const std::string& a : r.args) row += a + " ";
    EXPECT_EQ(ok, !*r.error) << row << error;
    EXPECT_NE(error.find(r.error), std::string::npos) << row << ": " << error;
    if (ok && r.check) {
      EXPECT_TRUE(r.check(o)) << row;
    }
  }
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::sim {
namespace {

// An adapter's latency: the reply's bytes reach the line only at the ticks of a
// timer running freely from the epoch, each tick carrying what has arrived by then.
TEST(SimSchedule, AnAdapterHandsBytesOverAtItsTicks) {
  struct Row {
    int latencyMs;
    int firstByteMs;  // of the frame being answered, after the epoch
    std::vector<int> handedOverMs;
  };
  // A 3-byte enquiry ends 3.4 ms after its first byte; 2 ms turnaround; then 3
  // reply bytes 1.146 ms apart: on the wire at 5.4, 6.6 and 7.7 ms after it.
  const Row rows[] = {
      {0, 0, {5, 6, 7}},
      {16, 0, {16, 16, 16}},
      {16, 10, {16, 32, 32}},  // a reply straddling a tick arrives in two pieces
      {16, 40, {48, 48, 48}},
  };
  const Clock::time_point epoch = Clock::now();
  for (const Row& r : rows) {
    ReplySchedule schedule(true, r.latencyMs, epoch);
    Faults::Plan plan;
    plan.parts.push_back({0, {0x4E, 0x21, 0x06}});
    schedule.add({0x4E, 0x21, 0x05}, epoch + std::chrono::milliseconds(r.firstByteMs), plan, 0);
    std::vector<int> got;
    while (!schedule.empty()) {
      const auto at = schedule.nextAt();
      got.push_back(
          static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(at - epoch).count()) -
          (r.latencyMs ? 0 : r.firstByteMs));
      schedule.popDue(at);
    }
    EXPECT_EQ(got, r.handedOverMs) << "latency " << r.latencyMs << ", first byte at " << r.firstByteMs;
  }
}

}  // namespace
}  // namespace varnak::sim
