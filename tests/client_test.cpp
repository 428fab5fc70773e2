// The client on a scripted line: a late reply is never taken for the retry's,
// and replies the window would not take fail the attempt with the words the
// client prints.
#include <gtest/gtest.h>

#include <QTimer>
#include <deque>

#include "cli/client.h"
#include "fakes.h"

namespace varnak::testing {
namespace {

// A line whose controller answers each frame written from a script, each
// answer after its delay.
class ScriptedLine : public Transport {
 public:
  struct Answer {
    Bytes reply;
    int delayMs = 0;
  };
  std::deque<Answer> script;
  std::vector<Bytes> written;

  bool isOpen() const override { return true; }
  bool open() override { return true; }
  void close() override {}
  void apply(PortSetting) override {}
  bool write(const Bytes& frame) override {
    written.push_back(frame);
    if (script.empty()) return true;
    const Answer a = script.front();
    script.pop_front();
    QTimer::singleShot(a.delayMs, [this, reply = a.reply] {
      if (listener_) listener_->onChunk(reply, 0);
    });
    return true;
  }
};

cli::Outcome Read(std::deque<ScriptedLine::Answer> script, int timeoutMs, int retries, std::size_t* frames) {
  auto line = std::make_unique<ScriptedLine>();
  ScriptedLine* seen = line.get();
  line->script = std::move(script);
  cli::Client client(std::move(line), "test", false, timeoutMs, retries, {});
  const cli::Outcome o = client.read(02000);
  *frames = seen->written.size();
  return o;
}

TEST(Client, ALateReplyIsNeverTakenForTheRetrysAndTheRetryReadsTheNewValue) {
  std::size_t frames = 0;
  const cli::Outcome o =
      Read({{kEnqAck}, {DataReply(0x11, 0x11), 150}, {kEnqAck}, {DataReply(0x22, 0x22)}}, 100, 1, &frames);
  EXPECT_EQ(o.failure, cli::Failure::None) << o.detail;
  EXPECT_EQ(o.value, 0x2222) << "the late reply to the first attempt was taken for the second's";
  EXPECT_EQ(frames, 4u);
}

TEST(Client, RepliesTheWindowWouldNotTakeFailTheAttempt) {
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
       "unexpected reply: 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 55 "
       "55 "
       "55 55 55 55 ... (100 bytes)"},
      {"silence", {}, cli::Failure::NoReply, "no reply"},
  };
  for (const Row& r : rows) {
    std::size_t frames = 0;
    std::deque<ScriptedLine::Answer> script{{kEnqAck}};
    if (!r.reply.empty()) script.push_back({r.reply});
    const cli::Outcome o = Read(script, 100, 0, &frames);
    EXPECT_EQ(o.failure, r.failure) << r.name;
    EXPECT_EQ(o.detail, r.detail) << r.name;
  }
}

}  // namespace
}  // namespace varnak::testing
