// A master sharing the line over TCP: what it sends, what the line answers,
// and what the master hears back, byte for byte, with what the bridge's trace
// says of it.
#include <gtest/gtest.h>

#include <map>

#include "fakes.h"
#include "share/master_session.h"

namespace varnak::testing {
namespace {

using share::LineAnswer;
using share::LineAsker;
using share::LineRequest;
using share::MasterSession;

// The line as the session sees it: every request and every forget, answered
// only when a step says so.
struct FakeLine {
  std::vector<std::string> asked;
  std::map<LineAsker::RequestId, share::LineService::Answer> waiting;
  LineAsker::RequestId last = 0;

  LineAsker asker() {
    return {[this](const LineRequest& r, std::int64_t, share::LineService::Answer answer,
                   LineAsker::RequestId* id) -> std::optional<LineAnswer> {
              const std::string reg = RegisterName(r.reg);
              switch (r.kind) {
                case LineRequest::Kind::Read:
                  asked.push_back("read " + reg + " (max age " + std::to_string(r.maxAgeMs) + ")");
                  break;
                case LineRequest::Kind::Write:
                  asked.push_back("write " + reg + " = " + ValueHex(r.value));
                  break;
                case LineRequest::Kind::Outputs:
                  asked.push_back("outputs (max age " + std::to_string(r.maxAgeMs) + ")");
                  break;
              }
              *id = ++last;
              waiting[*id] = std::move(answer);
              return std::nullopt;
            },
            [this](LineAsker::RequestId id) {
              asked.push_back("forget");
              waiting.erase(id);
            }};
  }
};

// One step: the master sends `bytes` at `at` ms; or the line ends the request
// waiting (`line`); or the session's timer fires at `at`.
struct Step {
  std::int64_t at = 0;
  std::string bytes;
  std::optional<LineAnswer> line;
};
Step In(std::int64_t at, std::string hex) { return {at, std::move(hex), std::nullopt}; }
Step Answers(std::uint16_t value) { return {0, "", LineAnswer{true, Failure::NoReply, value, 1}}; }
Step Fails(Failure why) { return {0, "", LineAnswer{false, why, 0, 1}}; }
Step Timer(std::int64_t at) { return {at, "", std::nullopt}; }

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::string heard;   // everything the master received
  std::string asked;   // of the line
  std::string events;  // as the trace shows them
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kRead = kReadHeader2000;
const std::string kWrite = kWriteHeader2000;
const std::string kData1234 = "02 34 12 03 26";
const std::string kReadBadCheck = "01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 07";
const std::string kReadOtherMemory = "01 30 31 30 32 30 34 30 31 30 30 30 32 30 31 17 05";
const std::string kReadAddress8001 = "01 30 31 30 31 38 30 30 31 30 30 30 32 30 31 17 0A";

const Case kCases[] = {
    {"EnquiryIsAcknowledgedAtOnce", {In(0, kEnq)}, "4E 21 06", "", ""},
    {"ReadHeaderIsReadOnTheLine",
     {In(0, kEnq), In(10, kRead), Answers(0x1234)},
     "4E 21 06 06 02 34 12 03 26",
     "read R2000 (max age 0)",
     "read R2000: read 1234"},
    {"PollHeaderGetsTheOutputByte",
     {In(0, kEnq), In(10, kPollHeader), Answers(0x00A5)},
     "4E 21 06 06 02 A5 00 03 A5",
     "outputs (max age 200)",
     "outputs: read A5"},
    {"DataBlockWaitsForTheLine",
     {In(0, kEnq), In(10, kWrite), In(20, kData1234)},
     "4E 21 06 06",
     "write R2000 = 1234",
     ""},
    {"DataBlockIsAcknowledgedOnceWritten",
     {In(0, kEnq), In(10, kWrite), In(20, kData1234), Answers(0x1234)},
     "4E 21 06 06 06",
     "write R2000 = 1234",
     "write R2000 = 1234: confirmed 1234"},
    {"FailedWriteIsNeverAcknowledged",
     {In(0, kEnq), In(10, kWrite), In(20, kData1234), Fails(Failure::NoReply)},
     "4E 21 06 06",
     "write R2000 = 1234",
     "write R2000 = 1234: failed (no reply)"},
    {"FailedReadGetsNoReply",
     {In(0, kEnq), In(10, kRead), Fails(Failure::Refused)},
     "4E 21 06",
     "read R2000 (max age 0)",
     "read R2000: failed (refused)"},
    {"BadCheckByteIsRefused",
     {In(0, kEnq), In(10, kReadBadCheck)},
     "4E 21 06 15",
     "",
     "read R2000: refused (bad check byte)"},
    {"BadDataCheckByteIsRefusedAndTheBlockMayComeAgain",
     {In(0, kEnq), In(10, kWrite), In(20, "02 34 12 03 27"), In(30, kData1234), Answers(0x1234)},
     "4E 21 06 06 15 06",
     "write R2000 = 1234",
     "write R2000 = 1234: refused (bad check byte); write R2000 = 1234: confirmed 1234"},
    {"HeaderWithoutEnquiryIsRefused", {In(0, kRead)}, "15", "", "read R2000: refused (outside an exchange)"},
    {"DataBlockWithoutWriteHeaderIsRefused",
     {In(0, kEnq), In(10, kData1234)},
     "4E 21 06 15",
     "",
     "data block 1234: refused (a header was due)"},
    {"OtherMemoryIsRefused",
     {In(0, kEnq), In(10, kReadOtherMemory)},
     "4E 21 06 15",
     "",
     "header: refused (header not understood)"},
    {"RegisterAbove77777IsRefused",
     {In(0, kEnq), In(10, kReadAddress8001)},
     "4E 21 06 15",
     "",
     "read R100000: refused (register above 77777)"},
    {"HeaderTwoSecondsAfterTheEnquiryIsRefused",
     {In(0, kEnq), In(2000, kRead)},
     "4E 21 06 15",
     "",
     "read R2000: refused (outside an exchange)"},
    {"StalledWriteWritesNothing",
     {In(0, kEnq), In(10, kWrite), Timer(2010), In(2500, kData1234)},
     "4E 21 06 06 15",
     "",
     "write R2000: ignored (no data block); data block 1234: refused (outside an exchange)"},
    {"NewEnquiryGivesUpTheWaitingRead",
     {In(0, kEnq), In(10, kRead), In(500, kEnq), In(510, kPollHeader), Answers(0x0001)},
     "4E 21 06 4E 21 06 06 02 01 00 03 01",
     "read R2000 (max age 0); forget; outputs (max age 200)",
     "read R2000: ignored (given up by the master); outputs: read 01"},
    {"SecondHeaderWhileTheFirstWaitsIsRefused",
     {In(0, kEnq), In(10, kRead), In(20, kRead)},
     "4E 21 06 15",
     "read R2000 (max age 0)",
     "read R2000: refused (a request is still under way)"},
    {"GarbageCostsNothing", {In(0, "FF 00 4E 21 05")}, "4E 21 06", "", ""},
    {"PieceOfAFrameIsDroppedInTime", {In(0, "01 30 31"), Timer(500), In(600, kEnq)}, "4E 21 06", "", ""},
};

class Share : public ::testing::TestWithParam<Case> {};

TEST_P(Share, MasterHearsWhatTheControllerWouldSay) {
  const Case& c = GetParam();
  FakeLine line;
  Bytes heard;
  std::vector<std::string> events;
  MasterSession session("10.0.0.7:50112", line.asker(),
                        {[&](const Bytes& b) { heard.insert(heard.end(), b.begin(), b.end()); },
                         [&](const share::MasterEvent& e) {
                           EXPECT_EQ(e.master, "10.0.0.7:50112");
                           events.push_back(e.command + ": " + e.outcome +
                                            (e.why.empty() ? "" : " (" + e.why + ")") +
                                            (e.value.empty() ? "" : " " + e.value));
                         }});
  for (const Step& s : c.steps) {
    if (s.line) {
      ASSERT_FALSE(line.waiting.empty()) << "no request waits for the line";
      auto answer = std::move(line.waiting.begin()->second);
      const auto id = line.waiting.begin()->first;
      line.waiting.erase(line.waiting.begin());
      answer(id, *s.line);
    } else if (s.bytes.empty()) {
      session.timeout(s.at);
    } else {
      session.push(ParseHex(s.bytes), s.at);
    }
  }
  const auto joined = [](const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : "; ") + s;
    return out;
  };
  EXPECT_EQ(BytesToHex(heard), c.heard);
  EXPECT_EQ(joined(line.asked), c.asked);
  EXPECT_EQ(joined(events), c.events);
}

INSTANTIATE_TEST_SUITE_P(Frames, Share, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The shell arms one timer: only while the session waits on its master.
TEST(ShareTimer, ArmedOnlyWhileWaitingOnTheMaster) {
  FakeLine line;
  MasterSession session("m", line.asker(), {[](const Bytes&) {}, nullptr});
  EXPECT_EQ(session.nextDeadline(), std::nullopt);
  session.push(ParseHex(kEnq), 100);
  EXPECT_EQ(session.nextDeadline(), 100 + MasterSession::kStallMs);
  session.push(ParseHex(kRead), 200);
  EXPECT_EQ(session.nextDeadline(), std::nullopt);  // the line answers, whenever it does
}

// A master that goes away takes back what it still waited for.
TEST(ShareLeave, ForgetsTheWaitingRequest) {
  FakeLine line;
  {
    MasterSession session("m", line.asker(), {[](const Bytes&) {}, nullptr});
    session.push(ParseHex(std::string(kEnq) + " " + kRead), 0);
  }
  EXPECT_TRUE(line.waiting.empty());
  EXPECT_EQ(line.asked, (std::vector<std::string>{"read R2000 (max age 0)", "forget"}));
}

}  // namespace
}  // namespace varnak::testing
