// The client's exchanges on a scripted line: late replies, retries, and what an
// error line shows.
#include <gtest/gtest.h>

#include <deque>

#include "cli/client.h"
#include "fakes.h"
#include "link/replies.h"

namespace varnak::testing {
namespace {

// A line whose controller answers each frame written from a script: the reply
// either arrives in time, or just after the client's deadline, so that it is
// waiting on the line when the client next looks.
class ScriptedLine : public cli::Line {
 public:
  struct Answer {
    Bytes reply;
    bool late = false;
  };
  std::deque<Answer> script;
  std::vector<Bytes> written;

  bool write(const Bytes& bytes) override {
    written.push_back(bytes);
    if (script.empty()) return true;
    Answer a = script.front();
    script.pop_front();
    (a.late ? late_ : waiting_).push_back(a.reply);
    return true;
  }
  Bytes readSome(std::chrono::steady_clock::time_point) override {
    if (waiting_.empty()) {
      // The deadline passes; what was late arrives now.
      for (Bytes& b : late_) waiting_.push_back(std::move(b));
      late_.clear();
      return {};
    }
    Bytes out;
    for (const Bytes& b : waiting_) out.insert(out.end(), b.begin(), b.end());
    waiting_.clear();
    return out;
  }
  void drain() override { waiting_.clear(); }

 private:
  std::deque<Bytes> waiting_, late_;
};

TEST(Client, LateReplyIsDrainedAndTheRetryReadsTheNewValue) {
  ScriptedLine line;
  line.script = {{kEnqAck}, {DataReply(0x11, 0x11), true}, {kEnqAck}, {DataReply(0x22, 0x22)}};
  cli::Client client(line, 100, 1);
  const cli::Outcome o = client.read(02000);
  EXPECT_EQ(o.failure, cli::Failure::None) << o.detail;
  EXPECT_EQ(o.value, 0x2222) << "the late reply to the first attempt was taken for the second's";
  EXPECT_EQ(line.written.size(), 4u);
}

TEST(Client, RepliesTheWindowWouldIgnoreFailTheAttempt) {
  struct Row {
    const char* name;
    Bytes reply;
    cli::Failure failure;
    const char* detail;
  };
  const Row rows[] = {
      {"bad check byte",
       {0x06, 0x02, 0x34, 0x12, 0x03, 0x27},
       cli::Failure::Corrupted,
       "bad check byte: 06 02 34 12 03 27"},
      {"nak", {0x15}, cli::Failure::Refused, "refused (NAK)"},
      {"babble", Bytes(100, 0x55), cli::Failure::Corrupted,
       "incomplete or overlong reply: 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 "
       "55 "
       "55 55 55 55 55 55 55 55 ... (100 bytes)"},
  };
  for (const Row& r : rows) {
    ScriptedLine line;
    line.script = {{kEnqAck}, {r.reply}};
    cli::Client client(line, 100, 0);
    const cli::Outcome o = client.read(02000);
    EXPECT_EQ(o.failure, r.failure) << r.name;
    EXPECT_EQ(o.detail, r.detail) << r.name;
  }
}

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
