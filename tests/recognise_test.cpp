// The one recogniser of the controller's replies, the one of the tool's own
// frames, and which pieces can still grow into the reply an exchange expects.
#include <gtest/gtest.h>

#include <sstream>

#include "fakes.h"
#include "link/replies.h"
#include "link/tool_frames.h"

namespace varnak::testing {
namespace {

TEST(RecogniseToolFrame, EveryFrameTheToolSends) {
  struct Row {
    std::string hex;
    FrameKind kind;
    bool checkOk;
    std::optional<unsigned> reg;
    std::uint16_t value;
  };
  const Row rows[] = {
      {"4E 21 05", FrameKind::Enquiry, true, {}, 0},
      {"01 30 31 38 31 30 34 30 31 30 30 30 32 30 31 17 0E", FrameKind::WriteHeader, true, 02000, 0},
      {"01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 06", FrameKind::ReadHeader, true, 02000, 0},
      {"01 30 31 30 33 30 31 30 31 30 30 30 32 30 31 17 01", FrameKind::PollHeader, true, 0400, 0},
      {"01 30 31 30 31 38 30 30 30 30 30 30 32 30 31 17 0B", FrameKind::ReadHeader, true, 077777, 0},
      {"01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 17 07", FrameKind::ReadHeader, false, 02000, 0},
      {"01 30 31 30 31 30 34 30 31 30 30 30 32 30 31 18 06", FrameKind::ReadHeader, false, 02000, 0},
      {"01 30 31 39 39 30 34 30 31 30 30 30 32 30 31 17 07", FrameKind::OtherHeader, true, 02000, 0},
      {"01 30 31 30 31 30 34 47 31 30 30 30 32 30 31 17 71", FrameKind::ReadHeader, true, {}, 0},
      {"02 34 12 03 26", FrameKind::DataBlock, true, {}, 0x1234},
      {"02 34 12 03 27", FrameKind::DataBlock, false, {}, 0x1234},
      {"02 34 12 04 26", FrameKind::NotAFrame, false, {}, 0},
      {"4E 21 06", FrameKind::NotAFrame, false, {}, 0},
      {"", FrameKind::NotAFrame, false, {}, 0},
  };
  for (const Row& r : rows) {
    const ToolFrame f = RecogniseToolFrame(ParseHex(r.hex));
    EXPECT_EQ(f.kind, r.kind) << r.hex;
    EXPECT_EQ(f.checkOk, r.checkOk) << r.hex;
    EXPECT_EQ(f.reg(), r.reg) << r.hex;
    EXPECT_EQ(f.value, r.value) << r.hex;
  }
}

TEST(RecogniseReply, FieldsOfADataReply) {
  const Reply r = RecogniseReply(ParseHex("06 02 A5 00 03 A5"));
  EXPECT_EQ(r.kind, ReplyKind::Data);
  EXPECT_EQ(r.value(), 0x00A5);
  EXPECT_EQ(RecogniseReply(ParseHex("06 02 A5 00 03 A4")).kind, ReplyKind::DataBadCheck);
}

TEST(IsBeginningOf, OnlyWhatCanStillGrowIntoTheExpectedReply) {
  struct Row {
    std::string hex;
    ExpectedReply expected;
    bool beginning;
  };
  using E = ExpectedReply;
  const Row rows[] = {
      {"4E", E::EnquiryAck, true},
      {"4E 21", E::EnquiryAck, true},
      {"4E 21 06", E::EnquiryAck, false},  // whole
      {"4E 22", E::EnquiryAck, false},
      {"06", E::EnquiryAck, false},
      {"06", E::Ack, false},  // a lone ACK is the whole reply to a write header or a block
      {"15", E::Ack, false},
      {"06", E::Data, true},  // after a read or poll header it only begins the data reply
      {"06 02", E::Data, true},
      {"06 02 A5 00", E::Data, true},
      {"06 02 A5 00 03", E::Data, true},
      {"06 02 A5 00 04", E::Data, false},
      {"06 02 A5 00 03 A5", E::Data, false},  // whole
      {"15 02 A5", E::Data, true},            // the first byte is not examined once STX follows
      {"15", E::Data, false},                 // a NAK is a whole refusal
      {"06 06", E::Data, false},
      {"", E::Data, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IsBeginningOf(ParseHex(r.hex), r.expected), r.beginning)
        << r.hex << " expecting " << int(r.expected);
}

}  // namespace
}  // namespace varnak::testing
