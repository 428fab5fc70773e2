// The register watch's list, job by job against a controller in memory: the
// order of its reads and writes, what a failed read leaves, the rule that keeps
// a pair from showing words of two moments, and its bounds.
#include <gtest/gtest.h>

#include "watch/watch_list.h"
#include "watch_fakes.h"

namespace varnak::testing {
namespace {

using F = RegisterFormat;

struct Reg {
  unsigned reg;
  F format = F::Hex;
};

WatchList ListOf(const std::vector<Reg>& regs) {
  WatchList list;
  for (const Reg& r : regs) EXPECT_EQ(list.add(r.reg, r.format), "") << RegisterName(r.reg);
  return list;
}

std::vector<std::string> Jobs(std::initializer_list<const char*> jobs) { return {jobs.begin(), jobs.end()}; }

struct OrderCase {
  const char* name;
  std::vector<Reg> rows;
  int jobs;
  std::vector<std::string> expected;
};

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class WatchListOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(WatchListOrder, ReadsTheRowsInTurn) {
  const OrderCase& c = GetParam();
  WatchList list = ListOf(c.rows);
  ListController controller;
  std::int64_t now = 1000;
  RunJobs(list, controller, c.jobs, now);
  EXPECT_EQ(controller.trace, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchListOrder,
    ::testing::Values(OrderCase{"EmptyListHandsOutNothing", {}, 5, {}},
                      OrderCase{"OneRowOverAndOver", {{01000}}, 3, Jobs({"R1000", "R1000", "R1000"})},
                      OrderCase{"RowsInTheirOrderRoundRobin",
                                {{01000}, {017}, {02000}},
                                7,
                                Jobs({"R1000", "R17", "R2000", "R1000", "R17", "R2000", "R1000"})},
                      OrderCase{
                          "APairTakesItsHighWordFirstAndLast",
                          {{01000, F::U32}, {02000}},
                          8,
                          Jobs({"R1001", "R1000", "R1001", "R2000", "R1001", "R1000", "R1001", "R2000"})},
                      OrderCase{"AHighWordFirstPairReadsInTheSameOrder",
                                {{0100, F::F32HiLo}},
                                3,
                                Jobs({"R100", "R101", "R100"})}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  F format;
  const char* typed;
  std::map<int, Failure> failAt;  // by job, from the write on
  bool ignoreWrites;
  const char* problem;  // what write() refuses with, or ""
  std::vector<std::string> expected;
  std::uint16_t first, second;  // the row's value after
  const char* status;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WatchListWrite : public ::testing::TestWithParam<WriteCase> {};

// Row R1000 (in the case's format) between R17 and R2000, read once each; then
// a value typed into R1000 goes before every further read, and is read back.
TEST_P(WatchListWrite, GoesFirstAndIsReadBack) {
  const WriteCase& c = GetParam();
  WatchList list = ListOf({{017}, {01000, c.format}, {02000}});
  ListController controller;
  controller.regs = {{017, 0x1111}, {01000, 0x2222}, {01001, 0x3333}, {02000, 0x4444}};
  controller.ignoreWrites = c.ignoreWrites;
  std::int64_t now = 1000;
  RunJobs(list, controller, 1, now);  // R17
  controller.trace.clear();
  EXPECT_EQ(list.write(1, c.typed), c.problem);
  for (auto [job, failure] : c.failAt) controller.failAt[job] = failure;
  RunJobs(list, controller, static_cast<int>(c.expected.size()), now);
  EXPECT_EQ(controller.trace, c.expected);
  const WatchRow& row = list.row(1);
  EXPECT_EQ(row.first, c.first);
  EXPECT_EQ(row.second, c.second);
  EXPECT_EQ(list.statusText(1), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchListWrite,
    ::testing::Values(WriteCase{"HexWrittenThenReadBack",
                                F::Hex,
                                "00a5",
                                {},
                                false,
                                "",
                                Jobs({"W1000=00A5", "R1000", "R1000", "R2000", "R17"}),
                                0x00A5,
                                0,
                                "written"},
                      WriteCase{"MinusTwoInASignedRowIsFFFE",
                                F::Signed,
                                "-2",
                                {},
                                false,
                                "",
                                Jobs({"W1000=FFFE", "R1000", "R1000"}),
                                0xFFFE,
                                0,
                                "written"},
                      WriteCase{"APairWritesBothRegistersLowWordFirst",
                                F::U32,
                                "65538",
                                {},
                                false,
                                "",
                                Jobs({"W1000=0002", "W1001=0001", "R1001", "R1000", "R1001", "R1001"}),
                                0x0002,
                                0x0001,
                                "written"},
                      WriteCase{"AHiLoPairHoldsTheHighWordInTheRegisterNamed",
                                F::U32HiLo,
                                "65538",
                                {},
                                false,
                                "",
                                Jobs({"W1000=0001", "W1001=0002", "R1000", "R1001", "R1000"}),
                                0x0001,
                                0x0002,
                                "written"},
                      WriteCase{"AValueThatDoesNotFitIsRefusedAndNothingIsWritten",
                                F::Unsigned,
                                "70000",
                                {},
                                false,
                                "value 70000 does not fit unsigned (0 to 65535)",
                                Jobs({"R1000", "R2000"}),
                                0x2222,
                                0,
                                ""},
                      WriteCase{"AFailedWriteSaysWhyAndIsNotReadBack",
                                F::Hex,
                                "1",
                                {{0, Failure::Refused}},
                                false,
                                "",
                                Jobs({"W1000=0001", "R1000", "R2000"}),
                                0x2222,
                                0,
                                "not written: refused"},
                      WriteCase{"APairWithItsSecondHalfFailedSaysWhichAndIsReadBack",
                                F::U32,
                                "65538",
                                {{1, Failure::NoReply}},
                                false,
                                "",
                                Jobs({"W1000=0002", "W1001=0001", "R1001", "R1000", "R1001", "R1001"}),
                                0x0002,
                                0x3333,
                                "low word written, high word failed: no reply"},
                      WriteCase{"AHiLoPairWithItsSecondHalfFailed",
                                F::S32HiLo,
                                "1",
                                {{1, Failure::CheckByteBad}},
                                false,
                                "",
                                Jobs({"W1000=0000", "W1001=0001", "R1000", "R1001", "R1000"}),
                                0x0000,
                                0x3333,
                                "high word written, low word failed: check byte bad"},
                      WriteCase{"AReadOnlyRegisterReadsBackOtherwise",
                                F::Hex,
                                "5",
                                {},
                                true,
                                "",
                                Jobs({"W1000=0005", "R1000", "R1000"}),
                                0x2222,
                                0,
                                "written, but reads back another value"},
                      WriteCase{"AFailedReadBackSaysSo",
                                F::Hex,
                                "5",
                                {{1, Failure::NoReply}},
                                false,
                                "",
                                Jobs({"W1000=0005", "R1000"}),
                                0x0000,
                                0,
                                "written; read-back failed: no reply"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WatchList, AWriteGoesBeforeTheRestOfAPairsReadAndASecondTypedValueReplacesTheFirst) {
  WatchList list = ListOf({{01000, F::U32}, {02000}});
  ListController controller;
  std::int64_t now = 0;
  RunJobs(list, controller, 1, now);  // the pair's first read
  EXPECT_EQ(list.write(1, "1"), "");
  EXPECT_EQ(list.statusText(1), "writing…");
  EXPECT_EQ(list.write(1, "2"), "");
  RunJobs(list, controller, 4, now);
  // The pair's read begins again after the write and its read-back.
  EXPECT_EQ(controller.trace, Jobs({"R1001", "W2000=0002", "R2000", "R1001", "R1000"}));
}

struct FailureCase {
  const char* name;
  Failure failure;
  const char* status;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class WatchListFailedRead : public ::testing::TestWithParam<FailureCase> {};

TEST_P(WatchListFailedRead, MarksTheRowKeepsItsValueAndGoesOn) {
  const FailureCase& c = GetParam();
  WatchList list = ListOf({{01000}, {02000}});
  ListController controller;
  controller.regs = {{01000, 0x1234}, {02000, 0x5678}};
  std::int64_t now = 0;
  RunJobs(list, controller, 2, now);
  const std::int64_t readAt = list.row(0).readAt;
  controller.regs[01000] = 0x9999;
  controller.failAt[2] = c.failure;
  RunJobs(list, controller, 2, now);
  EXPECT_EQ(controller.trace, Jobs({"R1000", "R2000", "R1000", "R2000"}));
  EXPECT_EQ(list.statusText(0), c.status);
  EXPECT_EQ(list.valueText(0), "1234") << "the last good value stays";
  EXPECT_EQ(list.row(0).readAt, readAt) << "the time of the last good read stays";
  EXPECT_EQ(list.statusText(1), "");
  RunJobs(list, controller, 1, now);
  EXPECT_EQ(list.statusText(0), "") << "read again in the next round";
  EXPECT_EQ(list.valueText(0), "9999");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchListFailedRead,
    ::testing::Values(FailureCase{"NoReply", Failure::NoReply, "no reply"},
                      FailureCase{"Refused", Failure::Refused, "refused"},
                      FailureCase{"CheckByteBad", Failure::CheckByteBad, "check byte bad"},
                      FailureCase{"NotAReply", Failure::NotAReply, "reply not understood"},
                      FailureCase{"PortFailed", Failure::PortFailed, "port failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WatchList, AFailedReadInsideAPairEndsTheRowsTurn) {
  WatchList list = ListOf({{01000, F::U32}, {02000}});
  ListController controller;
  controller.failAt[1] = Failure::NoReply;  // R1000, the low word
  std::int64_t now = 0;
  RunJobs(list, controller, 4, now);
  EXPECT_EQ(controller.trace, Jobs({"R1001", "R1000", "R2000", "R1001"}));
  EXPECT_EQ(list.statusText(0), "no reply");
  EXPECT_EQ(list.valueText(0), "");
}

struct TearCase {
  const char* name;
  // What the controller's program stores just before the job of that number (0: the pair's first read).
  std::multimap<int, std::pair<unsigned, std::uint16_t>> setAt;
  std::map<int, Failure> failAt;
  std::vector<std::string> expected;
  std::uint16_t first, second;
  const char* status;
};

void PrintTo(const TearCase& c, std::ostream* os) { *os << c.name; }

class WatchListTear : public ::testing::TestWithParam<TearCase> {};

// A u32 row at R1000 (low word) read once whole as 0001:0000 (second:first);
// then its next turn with the words moving under it.
TEST_P(WatchListTear, APairShowsOnlyWordsOfOneMoment) {
  const TearCase& c = GetParam();
  WatchList list = ListOf({{01000, F::U32}, {02000}});
  ListController controller;
  controller.regs = {{01000, 0x0000}, {01001, 0x0001}};
  std::int64_t now = 0;
  RunJobs(list, controller, 4, now);
  ASSERT_EQ(list.row(0).second, 0x0001);
  controller.trace.clear();  // the jobs are numbered from here
  controller.setAt = c.setAt;
  controller.failAt = c.failAt;
  RunJobs(list, controller, static_cast<int>(c.expected.size()), now);
  EXPECT_EQ(controller.trace, c.expected);
  EXPECT_EQ(list.row(0).first, c.first);
  EXPECT_EQ(list.row(0).second, c.second);
  EXPECT_EQ(list.statusText(0), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchListTear,
    ::testing::Values(
        TearCase{"Steady", {}, {}, Jobs({"R1001", "R1000", "R1001", "R2000"}), 0x0000, 0x0001, ""},
        TearCase{"ChangedWhole",
                 {{0, {01000, 0x0005}}, {0, {01001, 0x0002}}},
                 {},
                 Jobs({"R1001", "R1000", "R1001", "R2000"}),
                 0x0005,
                 0x0002,
                 ""},
        // 0001FFFF counting up to 00020000 after the high word was read: read again.
        TearCase{"CarryBetweenTheWordsIsReadAgain",
                 {{0, {01000, 0xFFFF}}, {1, {01000, 0x0000}}, {1, {01001, 0x0002}}},
                 {},
                 Jobs({"R1001", "R1000", "R1001", "R1000", "R1001", "R2000"}),
                 0x0000,
                 0x0002,
                 ""},
        TearCase{"ChangingWhileReadTwiceKeepsTheLastWholeValue",
                 {{1, {01000, 0x0007}}, {1, {01001, 0x0008}}, {3, {01001, 0x0009}}},
                 {},
                 Jobs({"R1001", "R1000", "R1001", "R1000", "R1001", "R2000"}),
                 0x0000,
                 0x0001,
                 "changing while read: the last whole value is shown"},
        // A fast counter moves its low word all the time: that alone reads nothing twice.
        TearCase{"AMoveOfTheLowWordAloneIsTakenAtOnce",
                 {{1, {01000, 0x0007}}},
                 {},
                 Jobs({"R1001", "R1000", "R1001", "R2000"}),
                 0x0007,
                 0x0001,
                 ""},
        TearCase{"AMoveOfTheHighWordIsReadAgainWhole",
                 {{1, {01001, 0x0003}}},
                 {},
                 Jobs({"R1001", "R1000", "R1001", "R1000", "R1001", "R2000"}),
                 0x0000,
                 0x0003,
                 ""},
        TearCase{"AFailedReadWhileReadingAgainMarksTheRow",
                 {{1, {01001, 0x0003}}},
                 {{3, Failure::NoReply}},
                 Jobs({"R1001", "R1000", "R1001", "R1000", "R2000"}),
                 0x0000,
                 0x0001,
                 "no reply"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WatchList, ATornPairIsReadWholeInItsNextTurn) {
  WatchList list = ListOf({{01000, F::S32}});
  ListController controller;
  controller.setAt = {{1, {01001, 1}}, {3, {01001, 2}}};  // the high word moves at every second read
  std::int64_t now = 0;
  RunJobs(list, controller, 5, now);
  EXPECT_FALSE(list.row(0).known);
  EXPECT_EQ(list.statusText(0), "changing while read: the last whole value is shown");
  RunJobs(list, controller, 3, now);
  EXPECT_TRUE(list.row(0).known);
  EXPECT_EQ(list.row(0).second, 2);
  EXPECT_EQ(list.statusText(0), "");
}

struct RefusalCase {
  const char* name;
  std::vector<Reg> existing;
  const char* typed;
  F format;
  const char* problem;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class WatchListRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(WatchListRefuses, WhatCannotBeWatched) {
  const RefusalCase& c = GetParam();
  WatchList list = ListOf(c.existing);
  const std::size_t before = list.size();
  EXPECT_EQ(list.addTyped(c.typed, c.format), c.problem);
  EXPECT_EQ(list.size(), before + (*c.problem ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchListRefuses,
    ::testing::Values(
        RefusalCase{"ANewRegister", {{01000}}, "R1001", F::Hex, ""},
        RefusalCase{"WithoutTheR", {}, " 17 ", F::Hex, ""},
        RefusalCase{"ADuplicate", {{01000}}, "r1000", F::U32, "R1000 is already in the list"},
        RefusalCase{"ADuplicateWithLeadingZeros", {{017}}, "0017", F::Hex, "R17 is already in the list"},
        RefusalCase{"NotOctal", {}, "R2008", F::Hex, "register R2008 is not octal"},
        RefusalCase{"AboveTheRange", {}, "100000", F::Hex, "register 100000 is above 77777"},
        RefusalCase{
            "APairPastTheLastRegister", {}, "77777", F::F32, "f32 at R77777 needs R100000, above R77777"},
        RefusalCase{"ASingleAtTheLastRegister", {}, "77777", F::Binary, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WatchList, ChangingAFormatToAPairAtTheLastRegisterIsRefused) {
  WatchList list = ListOf({{077777}});
  EXPECT_EQ(list.setFormat(0, F::U32), "u32 at R77777 needs R100000, above R77777");
  EXPECT_EQ(list.row(0).entry.format, F::Hex);
  EXPECT_EQ(list.setFormat(0, F::Signed), "");
}

TEST(WatchList, HoldsAtMostAThousandRows) {
  WatchList list;
  for (unsigned r = 0; r < kMaxWatchRows; ++r) ASSERT_EQ(list.add(r), "");
  EXPECT_EQ(list.add(05000), "the list holds at most 1000 registers");
  EXPECT_EQ(list.size(), kMaxWatchRows);
  std::vector<WatchEntry> file;
  for (unsigned r = 0; r <= kMaxWatchRows; ++r) file.push_back(WatchEntry{r + 010000, "", F::Hex});
  EXPECT_EQ(list.replaceAll(file), "row 1001: the list holds at most 1000 registers");
  EXPECT_EQ(list.row(0).entry.reg, 0u) << "a refused file changes nothing";
  // A whole round reads each row once.
  ListController controller;
  std::int64_t now = 0;
  EXPECT_EQ(RunJobs(list, controller, kMaxWatchRows + 1, now), static_cast<int>(kMaxWatchRows + 1));
  EXPECT_EQ(controller.trace.front(), "R0");
  EXPECT_EQ(controller.trace[kMaxWatchRows - 1], RegisterName(kMaxWatchRows - 1));
  EXPECT_EQ(controller.trace.back(), "R0");
}

TEST(WatchList, ReplacingIsRefusedWholeOnADuplicate) {
  WatchList list = ListOf({{05}});
  const std::vector<WatchEntry> file = {{01000, "a", F::Hex}, {02000, "b", F::U32}, {01000, "c", F::Hex}};
  EXPECT_EQ(list.replaceAll(file), "row 3: R1000 is already in the list");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.row(0).entry.reg, 05u);
  EXPECT_EQ(list.replaceAll({file[0], file[1]}), "");
  EXPECT_EQ(list.entries(), (std::vector<WatchEntry>{file[0], file[1]}));
  EXPECT_EQ(list.statusText(0), "not read yet");
}

TEST(WatchList, AChangedValueIsMarkedForTwoSeconds) {
  WatchList list = ListOf({{01000}});
  ListController controller;
  controller.regs[01000] = 1;
  std::int64_t now = 0;
  RunJobs(list, controller, 1, now);
  EXPECT_FALSE(list.changedRecently(0, now)) << "a first value is no change";
  RunJobs(list, controller, 1, now);
  EXPECT_FALSE(list.changedRecently(0, now)) << "the same value again";
  controller.regs[01000] = 2;
  RunJobs(list, controller, 1, now);
  const std::int64_t changed = now;
  EXPECT_EQ(list.row(0).changedAt, changed);
  RunJobs(list, controller, 3, now);
  EXPECT_TRUE(list.changedRecently(0, changed + kChangeMarkMs - 1));
  EXPECT_FALSE(list.changedRecently(0, changed + kChangeMarkMs));
}

TEST(WatchList, ARowRemovedWhileReadLosesItsResultAndTheTurnGoesOn) {
  WatchList list = ListOf({{01}, {02}, {03}});
  ListController controller;
  std::int64_t now = 0;
  RunJobs(list, controller, 1, now);   // R1
  const auto job = list.nextJob(now);  // R2
  ASSERT_TRUE(job);
  list.remove({1});
  list.jobEnded(*job, ListResult{true, Failure::NoReply, 0x55}, now);
  RunJobs(list, controller, 3, now);
  EXPECT_EQ(controller.trace, Jobs({"R1", "R3", "R1", "R3"}));
  const std::uint64_t revision = list.layoutRevision();
  list.remove({7, 9});
  EXPECT_EQ(list.layoutRevision(), revision) << "nothing removed";
}

TEST(WatchList, InactiveItReadsNothingButFinishesAWrite) {
  WatchList list = ListOf({{01000}});
  list.setActive(false);
  EXPECT_FALSE(list.hasWork());
  ListController controller;
  std::int64_t now = 0;
  EXPECT_EQ(list.write(0, "7"), "");
  EXPECT_TRUE(list.hasWork());
  RunJobs(list, controller, 5, now);
  EXPECT_EQ(controller.trace, Jobs({"W1000=0007", "R1000"}));
  EXPECT_EQ(list.statusText(0), "written");
  list.setActive(true);
  EXPECT_TRUE(list.hasWork());
}

TEST(WatchList, WrittenStandsUntilTheValueChanges) {
  WatchList list = ListOf({{01000}});
  ListController controller;
  std::int64_t now = 0;
  list.write(0, "7");
  RunJobs(list, controller, 4, now);
  EXPECT_EQ(list.statusText(0), "written");
  controller.regs[01000] = 8;
  RunJobs(list, controller, 1, now);
  EXPECT_EQ(list.statusText(0), "");
}

TEST(WatchList, ANameIsCutAtTwoHundredCharactersNeverInsideOne) {
  WatchList list = ListOf({{01000}});
  std::string name;
  for (int i = 0; i < 300; ++i) name += "泵";
  list.rename(0, name);
  EXPECT_EQ(list.row(0).entry.name.size(), kMaxNameChars * 3);
  EXPECT_EQ(list.row(0).entry.name.substr(0, 3), "泵");
}

TEST(WatchList, AFormatOfTheOtherWidthReadsTheValueAnewAndDropsAWaitingWrite) {
  WatchList list = ListOf({{01000}});
  ListController controller;
  controller.regs[01000] = 0xFFFE;
  std::int64_t now = 0;
  RunJobs(list, controller, 1, now);
  EXPECT_EQ(list.setFormat(0, F::Signed), "");
  EXPECT_EQ(list.valueText(0), "-2") << "the same word, shown another way";
  EXPECT_EQ(list.write(0, "5"), "");
  EXPECT_EQ(list.setFormat(0, F::S32), "");
  EXPECT_EQ(list.valueText(0), "");
  EXPECT_EQ(list.statusText(0), "not read yet");
  RunJobs(list, controller, 3, now);
  EXPECT_EQ(controller.trace, Jobs({"R1000", "R1001", "R1000", "R1001"}));
}

}  // namespace
}  // namespace varnak::testing
