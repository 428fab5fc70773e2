// The reply assembler on a clock the test moves: every reply cut at every
// point, pieces late and in time, refusals and noise, for a serial line's
// bytes, a USB adapter's 16 ms pieces and a network's segments alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "link/reply_assembler.h"

namespace varnak::testing {
namespace {

struct Piece {
  std::int64_t at;  // ms after the frame was written
  Bytes bytes;
};

// What the assembler hands out, in short words: "kept 06", "reply 06 02 ... joined".
// The deadline is honoured between pieces, as the window's timer does.
std::vector<std::string> Assemble(ReplyAssembler& a, std::optional<ExpectedReply> expected,
                                  const std::vector<Piece>& pieces, std::int64_t endAt) {
  std::vector<std::string> out;
  const auto giveUpUntil = [&](std::int64_t t) {
    if (a.deadline() && *a.deadline() <= t) {
      const Bytes alone = a.giveUp(*a.deadline());
      out.push_back("alone " + BytesToHex(alone));
    }
  };
  for (const Piece& p : pieces) {
    giveUpUntil(p.at);
    a.push(p.bytes, p.at);
    while (auto got = a.next(expected, p.at)) {
      const bool kept = got->kind == Assembled::Kind::Kept;
      out.push_back(std::string(kept ? "kept " : "reply ") + BytesToHex(got->bytes) +
                    (got->joined ? " joined" : ""));
    }
  }
  giveUpUntil(endAt);
  return out;
}

struct Reply {
  const char* name;
  ExpectedReply expected;
  Bytes bytes;
};

const Reply kReplies[] = {
    {"EnquiryAck", ExpectedReply::EnquiryAck, {0x4E, 0x21, 0x06}},
    {"EnquiryNak", ExpectedReply::EnquiryAck, {0x4E, 0x21, 0x15}},
    {"DataReply", ExpectedReply::Data, DataReply(0x81, 0x00)},
    // FF as data and as check byte: what a telnet line doubles and undoes.
    {"DataReplyFF00", ExpectedReply::Data, DataReply(0x00, 0xFF)},
    {"DataReplyBadCheck", ExpectedReply::Data, {0x06, 0x02, 0x34, 0x12, 0x03, 0x27}},
};

// Two pieces at every split point, in time: one reply, joined, whatever the join bound.
TEST(ReplyAssembler, EverySplitPointOfEveryReplyJoinsWithinTheBound) {
  for (const std::int64_t joinMs : {30, 1000}) {
    for (const Reply& r : kReplies) {
      for (std::size_t cut = 1; cut < r.bytes.size(); ++cut) {
        ReplyAssembler a(joinMs);
        const Bytes head(r.bytes.begin(), r.bytes.begin() + static_cast<long>(cut));
        const Bytes tail(r.bytes.begin() + static_cast<long>(cut), r.bytes.end());
        const auto got = Assemble(a, r.expected, {{5, head}, {5 + joinMs - 1, tail}}, 5000);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back(), "reply " + BytesToHex(r.bytes) + " joined")
            << r.name << " cut at " << cut << " join " << joinMs;
        EXPECT_EQ(got.size(), 2u) << r.name << " cut at " << cut;
        EXPECT_FALSE(a.deadline());
      }
    }
  }
}

// One byte at a time, as a paced pty or an adapter without a latency timer delivers.
TEST(ReplyAssembler, ByteByByteJoinsEveryReply) {
  for (const Reply& r : kReplies) {
    ReplyAssembler a(30);
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
      pieces.push_back({static_cast<std::int64_t>(i) * 1, Bytes{r.bytes[i]}});
    const auto got = Assemble(a, r.expected, pieces, 1000);
    ASSERT_EQ(got.size(), r.bytes.size()) << r.name;
    EXPECT_EQ(got.back(), "reply " + BytesToHex(r.bytes) + " joined") << r.name;
  }
}

// The rest after the bound: the beginning is judged alone at the deadline, and the rest on its own.
TEST(ReplyAssembler, ALatePieceIsNotJoined) {
  for (const Reply& r : kReplies) {
    for (std::size_t cut = 1; cut < r.bytes.size(); ++cut) {
      const Bytes head(r.bytes.begin(), r.bytes.begin() + static_cast<long>(cut));
      const Bytes tail(r.bytes.begin() + static_cast<long>(cut), r.bytes.end());
      // A lone NAK cannot begin a data reply, so a tail starting with one is judged at once anyway.
      ReplyAssembler a(30);
      const auto got = Assemble(a, r.expected, {{5, head}, {40, tail}}, 1000);
      ASSERT_GE(got.size(), 3u) << r.name << " cut at " << cut;
      EXPECT_EQ(got[0], "kept " + BytesToHex(head));
      EXPECT_EQ(got[1], "alone " + BytesToHex(head)) << r.name << " cut at " << cut;
      EXPECT_EQ(got.back().rfind("reply " + BytesToHex(tail), 0), 0u) << got.back();
    }
  }
}

struct Case {
  const char* name;
  std::optional<ExpectedReply> expected;
  std::vector<Piece> pieces;
  std::vector<std::string> out;
};

const Case kCases[] = {
    {"WholeReplyActsAtOnce", ExpectedReply::Data, {{3, DataReply(1, 2)}}, {"reply 06 02 01 02 03 03"}},
    {"LoneAckIsWholeAfterAWriteHeader", ExpectedReply::Ack, {{3, {0x06}}}, {"reply 06"}},
    {"NakActsAtOnce", ExpectedReply::Data, {{3, {0x15}}}, {"reply 15"}},
    {"NakAfterAnEnquiryActsAtOnce", ExpectedReply::EnquiryAck, {{3, {0x15}}}, {"reply 15"}},
    {"NoiseActsAtOnce", ExpectedReply::Data, {{3, {0x55, 0x55}}}, {"reply 55 55"}},
    {"NoiseAfterABeginningSplitsFromIt",
     ExpectedReply::Data,
     {{3, {0x06}}, {5, {0x55}}},
     {"kept 06", "reply 06", "reply 55"}},
    {"ABeginningThenAnotherBeginningStartsAgain",
     ExpectedReply::EnquiryAck,
     {{3, {0x4E}}, {5, {0x4E, 0x21, 0x06}}},
     {"kept 4E", "reply 4E", "reply 4E 21 06"}},
    {"BytesBeyondAReplyAreNotCut",
     ExpectedReply::EnquiryAck,
     {{3, {0x4E, 0x21, 0x06, 0x4E}}},
     {"reply 4E 21 06 4E"}},
    {"TwoRepliesInOneChunkAreNotAReply",
     ExpectedReply::EnquiryAck,
     {{3, {0x4E, 0x21, 0x06, 0x4E, 0x21, 0x06}}},
     {"reply 4E 21 06 4E 21 06"}},
    {"NothingExpectedJudgesEveryPiece", std::nullopt, {{3, {0x06}}, {4, {0x02}}}, {"reply 06", "reply 02"}},
    {"ThreePiecesJoin",
     ExpectedReply::Data,
     {{3, {0x06, 0x02}}, {19, {0x81, 0x00}}, {35, {0x03, 0x81}}},
     {"kept 06 02", "kept 06 02 81 00 joined", "reply 06 02 81 00 03 81 joined"}},
    {"TheBoundCountsFromTheLastPiece",
     ExpectedReply::Data,
     {{3, {0x06}}, {30, {0x02}}, {57, {0x81, 0x00, 0x03, 0x81}}},
     {"kept 06", "kept 06 02 joined", "reply 06 02 81 00 03 81 joined"}},
    {"ABeginningAloneAtTheDeadline", ExpectedReply::Data, {{3, {0x06, 0x02}}}, {"kept 06 02", "alone 06 02"}},
};

class AssembleTable : public ::testing::TestWithParam<Case> {};

TEST_P(AssembleTable, Table) {
  const Case& c = GetParam();
  ReplyAssembler a(30);
  EXPECT_EQ(Assemble(a, c.expected, c.pieces, 1000), c.out);
}

INSTANTIATE_TEST_SUITE_P(ReplyAssembler, AssembleTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyAssembler, ClearForgetsTheBeginningButNotWhatCameAfter) {
  ReplyAssembler a(30);
  a.push({0x06}, 0);
  ASSERT_EQ(a.next(ExpectedReply::Data, 0)->kind, Assembled::Kind::Kept);
  a.push({0x55}, 1);
  const auto alone = a.next(ExpectedReply::Data, 1);  // the beginning, not continued
  EXPECT_EQ(alone->bytes, Bytes{0x06});
  a.clear();  // the exchange ended on it
  const auto rest = a.next(std::nullopt, 1);
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->bytes, Bytes{0x55});
  EXPECT_FALSE(a.next(std::nullopt, 1));
}

}  // namespace
}  // namespace varnak::testing
