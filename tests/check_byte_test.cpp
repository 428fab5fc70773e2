// One rule for the check byte of a block and of a reply.
#include <gtest/gtest.h>

#include "fakes.h"
#include "link/replies.h"

namespace varnak::testing {
namespace {

TEST(CheckByte, OneRuleForBlocksAndReplies) {
  struct Row {
    Bytes bytes;
    std::size_t stxAt;
    bool ok;
    ReplyKind kind;
  };
  const Row rows[] = {
      {{0x06, 0x02, 0x34, 0x12, 0x03, 0x26}, 1, true, ReplyKind::Data},
      {{0x06, 0x02, 0x34, 0x12, 0x03, 0x27}, 1, false, ReplyKind::DataBadCheck},
      {{0x06, 0x02, 0x00, 0x00, 0x03, 0x00}, 1, true, ReplyKind::Data},
      {{0x02, 0x34, 0x12, 0x03, 0x26}, 0, true, ReplyKind::NotAReply},        // the tool's own block
      {{0x02, 0x34, 0x12, 0x03}, 0, false, ReplyKind::NotAReply},             // too short to check
      {{0x06, 0x02, 0x34, 0x12, 0x04, 0x26}, 1, true, ReplyKind::NotAReply},  // no ETX
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CheckByteOk(r.bytes, r.stxAt), r.ok) << BytesToHex(r.bytes);
    EXPECT_EQ(ClassifyReply(r.bytes), r.kind) << BytesToHex(r.bytes);
  }
}

}  // namespace
}  // namespace varnak::testing
