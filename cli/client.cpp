#include "client.h"

#include "link/codec.h"
#include "link/frames.h"
#include "link/register_number.h"
#include "link/replies.h"

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

Outcome Client::step(const Bytes& frame, Expect expect) {
  if (trace_) trace_("TX", frame);
  if (!line_.write(frame)) {
    if (!line_.failure().empty()) return {Failure::LineFailed, 0, line_.failure()};
    return {Failure::NoReply, 0, "cannot write to the line"};
  }
  const std::size_t want = expect == Expect::EnquiryAck ? 3 : expect == Expect::Ack ? 1 : 6;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
  Bytes reply;
  while (reply.size() < want) {
    const Bytes piece = line_.readSome(deadline);
    if (piece.empty()) break;
    reply.insert(reply.end(), piece.begin(), piece.end());
    const bool nak = reply[0] == kNak || (reply.size() >= 3 && reply[0] == 0x4E && reply[2] == kNak);
    if (nak) {
      if (trace_) trace_("RX", reply);
      return {Failure::Refused, 0, "refused (NAK)"};
    }
  }
  // The reply is traced as the client sees it: its pieces joined.
  if (trace_ && !reply.empty()) trace_("RX", reply);
  if (!line_.failure().empty()) return {Failure::LineFailed, 0, line_.failure()};
  if (reply.empty()) return {Failure::NoReply, 0, "no reply"};
  if (reply.size() != want)
    return {Failure::Corrupted, 0, "incomplete or overlong reply: " + HexPreview(reply)};
  const Reply r = RecogniseReply(reply);
  switch (expect) {
    case Expect::EnquiryAck:
      if (r.kind == ReplyKind::EnquiryAck) return {};
      break;
    case Expect::Ack:
      if (r.kind == ReplyKind::Ack) return {};
      break;
    case Expect::AckData:
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
    Outcome o = step(HexTextToBytes(kEnquiryText), Expect::EnquiryAck);
    if (o.failure != Failure::None) return o;
    return step(HexTextToBytes(BuildReadHeader(RegisterDigits(reg)).sendText), Expect::AckData);
  });
}

Outcome Client::write(unsigned reg, std::uint16_t value) {
  return withRetries([&] {
    Outcome o = step(HexTextToBytes(kEnquiryText), Expect::EnquiryAck);
    if (o.failure == Failure::None)
      o = step(HexTextToBytes(BuildWriteHeader(RegisterDigits(reg)).sendText), Expect::Ack);
    if (o.failure == Failure::None)
      o = step(HexTextToBytes(BuildDataBlock(ValueText(value)).sendText), Expect::Ack);
    o.value = value;
    return o;
  });
}

Outcome Client::outputs() {
  return withRetries([&] {
    Outcome o = step(HexTextToBytes(kEnquiryText), Expect::EnquiryAck);
    if (o.failure != Failure::None) return o;
    o = step(HexTextToBytes(kPollHeaderText), Expect::AckData);
    o.value &= 0xFF;
    return o;
  });
}

}  // namespace varnak::cli
