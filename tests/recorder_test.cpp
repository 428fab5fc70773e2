// The recorder of the outputs, on a clock the test moves.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "timeline/event_words.h"
#include "timeline/link_recorder.h"
#include "timeline/recorder.h"

namespace varnak::testing {
namespace {

// One step: at `ms`, "sample XX" (outputs in hex), "advance", "write REG VALUE",
// "read REG", or "end OUTCOME [VALUE]" (confirmed, not, read, failed).
struct Step {
  std::int64_t ms;
  std::string what;
};

std::string RowText(const TimelineRow& r) {
  const char* events[] = {"", " not live", " live again", " command"};
  char hex[4];
  std::snprintf(hex, sizeof hex, "%02X", r.outputs);
  std::string out = std::to_string(r.t) + " " + (r.known ? hex : "--") + (r.live ? "" : " dim") +
                    events[static_cast<int>(r.event)];
  if (r.command) out += ": " + EnglishCommandText(*r.command);
  return out;
}

void Play(Recorder& rec, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    std::istringstream in(s.what);
    std::string verb, a, b;
    in >> verb >> a >> b;
    const std::int64_t now = 1000000 + s.ms;  // the recorder's clock started at 1,000,000
    if (verb == "sample") {
      rec.sample(now, static_cast<Outputs>(std::stoi(a, nullptr, 16)));
    } else if (verb == "advance") {
      rec.advance(now);
    } else if (verb == "write") {
      rec.commandStarted(now, CommandKind::Write, a, b);
    } else if (verb == "read") {
      rec.commandStarted(now, CommandKind::Read, a, "");
    } else if (verb == "end") {
      const CommandOutcome o = a == "confirmed" ? CommandOutcome::Confirmed
                               : a == "not"     ? CommandOutcome::NotConfirmed
                               : a == "read"    ? CommandOutcome::ValueRead
                                                : CommandOutcome::Failed;
      rec.commandEnded(o, b);
    } else {
      ADD_FAILURE() << "bad step " << s.what;
    }
  }
}

struct RecorderCase {
  const char* name;
  std::vector<Step> steps;
  std::int64_t endMs;                 // forEachRow up to here
  std::vector<std::string> streamed;  // what the listener saw
  std::vector<std::string> rows;      // the whole recording
  Recorder::Limits limits = {};
};
void PrintTo(const RecorderCase& c, std::ostream* os) { *os << c.name; }

const RecorderCase kCases[] = {
    {"ChangesOnly",
     {{0, "sample 81"}, {200, "sample 81"}, {400, "sample 83"}, {600, "sample 83"}, {800, "sample 81"}},
     900,
     {"0 81", "400 83", "800 81"},
     {"0 81", "400 83", "800 81"}},
    {"NothingBeforeTheFirstReply", {{0, "advance"}, {5000, "advance"}}, 6000, {}, {}},
    {"NotLiveOneSecondAfterTheLastReplyUntilTheNext",
     {{0, "sample 01"}, {200, "sample 01"}, {1199, "advance"}, {1200, "advance"}, {3000, "sample 01"}},
     3100,
     {"0 01", "1200 01 dim not live", "3000 01 live again"},
     {"0 01", "1200 01 dim not live", "3000 01 live again"}},
    {"ReplyEndingASpanWithAChangeIsOneRow",
     {{0, "sample 01"}, {2500, "sample 02"}},
     2600,
     {"0 01", "1000 01 dim not live", "2500 02 live again"},
     {"0 01", "1000 01 dim not live", "2500 02 live again"}},
    // The lamps would go stale at that very moment: no span of no length, in either order.
    {"ReplyExactlyOneSecondLaterKeepsItLive",
     {{0, "sample 01"}, {1000, "sample 01"}, {1200, "sample 03"}},
     1300,
     {"0 01", "1200 03"},
     {"0 01", "1200 03"}},
    {"ReplyAtTheTimeASpanOpenedEndsIt",
     {{0, "sample 01"}, {1000, "advance"}, {1000, "sample 01"}, {1200, "sample 03"}},
     1300,
     {"0 01", "1000 01 dim not live", "1000 01 live again", "1200 03"},
     {"0 01", "1200 03"}},
    {"SpanStillOpenAtTheEnd",
     {{0, "sample 10"}, {300, "sample 11"}},
     5000,
     {"0 10", "300 11"},
     {"0 10", "300 11", "1300 11 dim not live"}},
    {"SpanOpenedOnceHoweverOftenTimePasses",
     {{0, "sample 10"}, {1500, "advance"}, {1700, "advance"}, {2200, "sample 10"}, {2400, "advance"}},
     2500,
     {"0 10", "1000 10 dim not live", "2200 10 live again"},
     {"0 10", "1000 10 dim not live", "2200 10 live again"}},
    {"CommandsWithTheirOutcome",
     {{0, "sample 00"},
      {100, "write R2000 00A5"},
      {180, "end confirmed"},
      {200, "sample A5"},
      {300, "read R1000"},
      {380, "end read 1234"},
      {400, "write R2000 0001"},
      {450, "end not"},
      {500, "read R7"},
      {600, "end failed"},
      {700, "write R2 0002"}},
     800,
     {"0 00", "200 A5"},
     {"0 00", "100 00 command: write R2000 = 00A5 confirmed", "200 A5", "300 A5 command: read R1000 = 1234",
      "400 A5 command: write R2000 = 0001 not confirmed", "500 A5 command: read R7 failed",
      "700 A5 command: write R2 = 0002 ..."}},
    {"CommandBeforeTheFirstReply",
     {{50, "write R2000 00FF"}, {60, "end confirmed"}, {200, "sample FF"}},
     300,
     {"200 FF"},
     {"50 -- dim command: write R2000 = 00FF confirmed", "200 FF"}},
    {"AnOutcomeSettlesOnlyOnce",
     {{0, "write R2000 0001"}, {10, "end confirmed"}, {20, "end not"}, {30, "sample 00"}},
     40,
     {"30 00"},
     {"0 -- dim command: write R2000 = 0001 confirmed", "30 00"}},
    {"OldestChangeGoesFirstWithWhatCameBeforeIt",
     {{0, "sample 01"},
      {100, "write R1 0001"},
      {200, "sample 02"},
      {300, "sample 03"},
      {400, "write R2 0002"},
      {500, "sample 04"}},
     600,
     {"0 01", "200 02", "300 03", "500 04"},
     {"200 02", "300 03", "400 03 command: write R2 = 0002 ...", "500 04"},
     {3, 10, 10}},
    {"OldestSpanAndMarkerGoFirst",
     {{0, "sample 01"},
      {0, "read R1"},
      {1, "read R2"},
      {2, "read R3"},
      {3000, "sample 01"},
      {6000, "sample 01"},
      {9000, "sample 01"}},
     9100,
     {"0 01", "1000 01 dim not live", "3000 01 live again", "4000 01 dim not live", "6000 01 live again",
      "7000 01 dim not live", "9000 01 live again"},
     {"0 01", "1 01 command: read R2 ...", "2 01 command: read R3 ...", "4000 01 dim not live",
      "6000 01 live again", "7000 01 dim not live", "9000 01 live again"},
     {10, 2, 2}},
};

class RecorderTest : public ::testing::TestWithParam<RecorderCase> {};

TEST_P(RecorderTest, RecordsAndStreams) {
  const RecorderCase& c = GetParam();
  Recorder rec(1000000, 0, c.limits);
  std::vector<std::string> streamed;
  rec.setListener([&](const TimelineRow& r) { streamed.push_back(RowText(r)); });
  Play(rec, c.steps);
  EXPECT_EQ(streamed, c.streamed);
  std::vector<std::string> rows;
  rec.forEachRow(1000000 + c.endMs, [&](const TimelineRow& r) { rows.push_back(RowText(r)); });
  EXPECT_EQ(rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(Recorder, RecorderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Recorder, LiveAndOutputsAtAnyTime) {
  Recorder rec(0, 0);
  rec.sample(0, 0x05);
  rec.sample(500, 0x06);
  rec.sample(3000, 0x06);
  struct {
    std::int64_t t;
    bool live;
    int outputs;  // -1: none known
  } const kAt[] = {{-1, false, -1}, {0, true, 5},     {499, true, 5},   {500, true, 6},
                   {1499, true, 6}, {1500, false, 6}, {2999, false, 6}, {3000, true, 6},
                   {3999, true, 6}, {4000, false, 6}, {90000, false, 6}};
  for (const auto& a : kAt) {
    EXPECT_EQ(rec.liveAt(a.t), a.live) << a.t;
    const auto q = rec.outputsAt(a.t);
    EXPECT_EQ(q ? *q : -1, a.outputs) << a.t;
  }
}

// One pixel column's min/max from the block summaries must agree with a plain
// look at every change, also after the oldest were dropped mid-block.
TEST(Recorder, HeldDuringAgreesWithEveryChange) {
  std::mt19937 dice(7);
  Recorder rec(0, 0, {1000, 10, 10});
  std::int64_t t = 0;
  for (int i = 0; i < 2345; ++i) {
    t += 1 + dice() % 300;
    rec.sample(t, static_cast<Outputs>(dice()));
  }
  ASSERT_EQ(rec.changes().size(), 1000u);
  const std::int64_t first = rec.changes().front().t();
  for (int k = 0; k < 3000; ++k) {
    const std::int64_t from = first - 500 + static_cast<std::int64_t>(dice() % (t - first + 1000));
    const std::int64_t to = from + 1 + static_cast<std::int64_t>(dice() % (k % 2 ? 200 : 60000));
    Outputs any = 0, all = 0xFF;
    bool known = false;
    const auto& ch = rec.changes();
    for (std::size_t i = 0; i < ch.size(); ++i) {
      const std::int64_t until = i + 1 < ch.size() ? ch[i + 1].t() : INT64_MAX;
      if (ch[i].t() < to && until > from) {
        known = true;
        any |= ch[i].outputs();
        all &= ch[i].outputs();
      }
    }
    const Recorder::Held held = rec.heldDuring(from, to);
    ASSERT_EQ(held.known, known) << from << ".." << to;
    if (!known) continue;
    ASSERT_EQ(held.any, any) << from << ".." << to;
    ASSERT_EQ(held.all, all) << from << ".." << to;
  }
}

TEST(Recorder, KeepsADayAtFiveChangesASecond) {
  Recorder rec(0, 0);
  const std::int64_t day = 24 * 3600 * 1000;
  for (std::int64_t t = 0; t < day + 10000; t += 200) rec.sample(t, static_cast<Outputs>(t / 200 % 2));
  EXPECT_EQ(rec.changes().size(), 432000u);
  EXPECT_EQ(rec.droppedChanges(), 50u);
  EXPECT_GE(rec.changes().back().t() - rec.changes().front().t(), day - 200);
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

// The link control's reports as the recorder sees them.
struct LinkCase {
  const char* name;
  std::vector<LinkEvent> events;
  std::vector<std::string> markers;  // "t: text"
  std::vector<std::string> changes;  // "t outputs"
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

LinkEvent Cmd(LinkEvent::Kind kind, ExchangeKind what, std::string reg, std::string value = {},
              Failure failure = Failure::NoReply) {
  LinkEvent e{kind};
  e.exchange = what;
  e.reg = std::move(reg);
  e.value = std::move(value);
  e.failure = failure;
  return e;
}
LinkEvent Lamps(std::uint8_t outputs) {
  LinkEvent e{LinkEvent::Kind::Received};
  e.ruling = Ruling::LampsSet;
  e.bytes = {0x06, 0x02, outputs, 0x00, 0x03, outputs};
  return e;
}
using K = LinkEvent::Kind;
constexpr auto W = ExchangeKind::Write;
constexpr auto R = ExchangeKind::Read;

const LinkCase kLinkCases[] = {
    {"PollRepliesAreSamples",
     {Lamps(0x81), Lamps(0x81), Lamps(0x80), {K::Received, {0x06, 0x02, 0x01, 0, 3, 1}, Ruling::ValueShown}},
     {},
     {"0 81", "20 80"}},
    {"WriteConfirmedAndReadWithItsValue",
     {Cmd(K::Started, W, "R2000", "00A5"), Cmd(K::Completed, W, "R2000", "00A5"), Cmd(K::Started, R, "R1000"),
      Cmd(K::Completed, R, "R1000", "1234")},
     {"0: write R2000 = 00A5 confirmed", "20: read R1000 = 1234"},
     {}},
    {"FailedWriteIsNotConfirmedFailedReadFailed",
     {Cmd(K::Started, W, "R2000", "0001"), Cmd(K::Failed, W, "R2000", "0001"), Cmd(K::Started, R, "R7"),
      Cmd(K::Failed, R, "R7", "", Failure::CheckByteBad)},
     {"0: write R2000 = 0001 not confirmed", "20: read R7 failed"},
     {}},
    {"ACommandThatWaitedIsMarkedAtItsClickOnce",
     {Cmd(K::Started, W, "R2000", "0001"), Cmd(K::Waiting, R, "R2000"), Cmd(K::Completed, W, "R2000", "0001"),
      Cmd(K::Started, R, "R2000"), Cmd(K::Completed, R, "R2000", "0001")},
     {"0: write R2000 = 0001 confirmed", "10: read R2000 = 0001"},
     {}},
    {"AReplacedWaitingCommandIsNotConfirmedAndTheRunningOneKeepsItsOutcome",
     {Cmd(K::Started, R, "R1"), Cmd(K::Waiting, W, "R2", "0002"),
      Cmd(K::Failed, W, "R2", "0002", Failure::Replaced), Cmd(K::Waiting, W, "R3", "0003"),
      Cmd(K::Completed, R, "R1", "0001"), Cmd(K::Started, W, "R3", "0003"),
      Cmd(K::Completed, W, "R3", "0003")},
     {"0: read R1 = 0001", "10: write R2 = 0002 not confirmed", "30: write R3 = 0003 confirmed"},
     {}},
    {"AWaitingCommandThatStartsNothingLeavesTheNextItsOwnOutcome",
     {Cmd(K::Started, W, "R1", "0001"), Cmd(K::Waiting, R, "R2"), Cmd(K::Completed, W, "R1", "0001"),
      Cmd(K::Started, W, "R3", "0003"), Cmd(K::Completed, W, "R3", "0003")},
     {"0: write R1 = 0001 confirmed", "10: read R2 failed", "30: write R3 = 0003 confirmed"},
     {}},
    {"AClickRefusedForWhatTheBoxesHoldIsNoCommand",
     {Cmd(K::Started, W, "R2000", "0001"), Cmd(K::Failed, R, "", "", Failure::BadInput),
      Cmd(K::Completed, W, "R2000", "0001")},
     {"0: write R2000 = 0001 confirmed"},
     {}},
};

class LinkRecorderTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkRecorderTest, MarksAndSamples) {
  std::int64_t now = 0;
  Recorder rec(0, 0);
  LinkRecorder feed(rec);
  for (LinkEvent e : GetParam().events) {
    e.time = now;
    feed.onLinkEvent(e);
    now += 10;
  }
  std::vector<std::string> markers, changes;
  for (const CommandMarker& m : rec.markers())
    markers.push_back(std::to_string(m.t) + ": " + EnglishCommandText(m));
  for (const OutputChange& c : rec.changes()) {
    char s[32];
    std::snprintf(s, sizeof s, "%lld %02X", static_cast<long long>(c.t()), c.outputs());
    changes.push_back(s);
  }
  EXPECT_EQ(markers, GetParam().markers);
  EXPECT_EQ(changes, GetParam().changes);
}

INSTANTIATE_TEST_SUITE_P(LinkRecorder, LinkRecorderTest, ::testing::ValuesIn(kLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnak::testing
