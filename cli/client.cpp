#include "client.h"

#include <limits>

#include "link/codec.h"
#include "link/frames.h"
#include "link/register_number.h"
#include "link/replies.h"
#include "link/reply_assembler.h"

namespace varnak::cli {

namespace {

Text ValueText(std::uint16_t value) { return FromUtf8(ValueHex(value)); }

}  // namespace

Outcome Client::withRetries(const std::function<Outcome()>& attempt) {
  Outcome out;
  for (int i = 0; i <= retries_; ++i) {
    line_.drain();
    if (!line_.failure().empty()) return {Failure::LineFailed, 0, line_.failure()};
    out = attempt();
    if (out.failure == Failure::None || out.failure == Failure::LineFailed) return out;
  }
  return out;
}

Outcome Client::step(const Bytes& frame, ExpectedReply expect) {
  if (trace_) trace_("TX", frame);
  if (!line_.write(frame)) {
    if (!line_.failure().empty()) return {Failure::LineFailed, 0, line_.failure()};
    return {Failure::NoReply, 0, "cannot write to the line"};
  }
  const std::size_t want = expect == ExpectedReply::EnquiryAck ? 3 : expect == ExpectedReply::Ack ? 1 : 6;
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs_);
  const auto ms = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
  };
  // The pieces of the reply wait for each other until the reply timeout: a
  // client has nothing else to do meanwhile.
  ReplyAssembler assembler(timeoutMs_);
  Bytes reply;
  for (;;) {
    const Bytes piece = line_.readSome(deadline);
    if (piece.empty()) {
      // The reply timeout: what came of the reply, incomplete.
      reply = assembler.giveUp(std::numeric_limits<std::int64_t>::max());
      break;
    }
    assembler.push(piece, ms());
    std::optional<Assembled> a = assembler.next(expect, ms());
    if (a && a->kind == Assembled::Kind::Reply) {
      reply = std::move(a->bytes);
      break;
    }
  }
  // The reply is traced as the client sees it: its pieces joined.
  if (trace_ && !reply.empty()) trace_("RX", reply);
  if (!line_.failure().empty()) return {Failure::LineFailed, 0, line_.failure()};
  if (reply.empty()) return {Failure::NoReply, 0, "no reply"};
  const Reply r = RecogniseReply(reply);
  if (r.kind == ReplyKind::Nak || r.kind == ReplyKind::EnquiryNak)
    return {Failure::Refused, 0, "refused (NAK)"};
  if (reply.size() != want)
    return {Failure::Corrupted, 0, "incomplete or overlong reply: " + HexPreview(reply)};
  switch (expect) {
    case ExpectedReply::EnquiryAck:
      if (r.kind == ReplyKind::EnquiryAck) return {};
      break;
    case ExpectedReply::Ack:
      if (r.kind == ReplyKind::Ack) return {};
      break;
    case ExpectedReply::Data:
      // The client is stricter than the window: the first byte must be the ACK.
      if (reply[0] != kAck) break;
      if (r.kind == ReplyKind::DataBadCheck)
        return {Failure::Corrupted, 0, "bad check byte: " + HexPreview(reply)};
      if (r.kind == ReplyKind::Data) return {Failure::None, r.value(), ""};
      break;
  }
  return {Failure::Corrupted, 0, "unexpected reply: " + HexPreview(reply)};
}

Outcome Client::read(unsigned reg) {
  return withRetries([&] {
    Outcome o = step(HexTextToBytes(kEnquiryText), ExpectedReply::EnquiryAck);
    if (o.failure != Failure::None) return o;
    return step(HexTextToBytes(BuildReadHeader(RegisterDigits(reg)).sendText), ExpectedReply::Data);
  });
}

Outcome Client::write(unsigned reg, std::uint16_t value) {
  return withRetries([&] {
    Outcome o = step(HexTextToBytes(kEnquiryText), ExpectedReply::EnquiryAck);
    if (o.failure == Failure::None)
      o = step(HexTextToBytes(BuildWriteHeader(RegisterDigits(reg)).sendText), ExpectedReply::Ack);
    if (o.failure == Failure::None)
      o = step(HexTextToBytes(BuildDataBlock(ValueText(value)).sendText), ExpectedReply::Ack);
    o.value = value;
    return o;
  });
}

Outcome Client::outputs() {
  return withRetries([&] {
    Outcome o = step(HexTextToBytes(kEnquiryText), ExpectedReply::EnquiryAck);
    if (o.failure != Failure::None) return o;
    o = step(HexTextToBytes(kPollHeaderText), ExpectedReply::Data);
    o.value &= 0xFF;
    return o;
  });
}

}  // namespace varnak::cli
