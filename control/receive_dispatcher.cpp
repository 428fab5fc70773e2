// The receive dispatcher: every chunk from the port, classified by its length
// and a few bytes, and under the flags as they stand, the next frame, the value
// read or the lamps. Each chunk is reported with the rule that acted or the
// reason none did.
#include "control/link_control.h"
#include "link/codec.h"
#include "link/replies.h"

namespace varnak {

namespace {

// Why no rule took a chunk of this kind.
Ruling IgnoredBecause(ReplyKind kind) {
  switch (kind) {
    case ReplyKind::Nak:
    case ReplyKind::EnquiryNak:
      return Ruling::IgnoredRefused;
    case ReplyKind::DataBadCheck:
      return Ruling::IgnoredCheckByteBad;
    case ReplyKind::Ack:
      return Ruling::IgnoredAckOutsideWrite;
    case ReplyKind::Data:
      return Ruling::IgnoredDataWhileHeld;
    default:
      return Ruling::IgnoredNotAReply;
  }
}

}  // namespace

void LinkControl::MSComm1_OnComm() {
  if (port_.lastEvent() != CommEvent::Receive) return;
  Bytes chunk = port_.read();
  if (chunk.empty()) return;  // nothing waiting: no rule could act on it
  state_.RxBytes = std::move(chunk);
  state_.RxLastIndex = static_cast<int>(state_.RxBytes.size()) - 1;
  const bool before = state_.PollHold;
  const Ruling ruling = Dispatch(state_.RxBytes);
  ReportHoldChange(before, Cause::Reply, ruling);
}

Ruling LinkControl::Dispatch(const Bytes& rx) {
  LinkState& s = state_;
  const ReplyKind kind = ClassifyReply(rx);
  const std::int64_t now = clock_();
  if (IsRecognisedReply(kind)) health_.replyRecognised(now);
  // The report of the chunk comes before the frame it makes the dispatcher send.
  auto received = [&](Ruling r) { Report({LinkEvent::Kind::Received, rx, r, exchange_, {}}); };
  auto sendNext = [&](Ruling r, Stage next, void (LinkControl::*send)()) {
    received(r);
    stage_ = next;
    s.PollHold = true;
    (this->*send)();
    return r;
  };
  auto complete = [&](ExchangeKind k) {
    if (stage_ != Stage::HeaderSent || exchange_ != k) return;
    Report({LinkEvent::Kind::Completed, {}, {}, k, {}});
    stage_ = Stage::Idle;
  };

  // Each rule sees the flags as they stand when it is reached; at most one acts.
  // A data reply counts only with a good check byte: a corrupted value is never shown.
  if (kind == ReplyKind::EnquiryAck && s.WriteMode && !s.PollMode)
    return sendNext(Ruling::WriteHeaderSent, Stage::HeaderSent, &LinkControl::SendWriteHeader);
  if (kind == ReplyKind::Ack && s.WriteMode && !s.PollMode) {
    // The first ack answers the header; the next one the block, which ends the
    // write, though every further ack still sends the block again.
    const bool again = stage_ == Stage::BlockSent || stage_ == Stage::BlockAcked;
    const Ruling r = again ? Ruling::DataBlockSentAgain : Ruling::DataBlockSent;
    received(r);
    if (stage_ == Stage::BlockSent && exchange_ == ExchangeKind::Write)
      Report({LinkEvent::Kind::Completed, {}, {}, ExchangeKind::Write, {}});
    stage_ = again ? Stage::BlockAcked : Stage::BlockSent;
    s.PollHold = true;
    SendDataBlock();
    return r;
  }
  if (kind == ReplyKind::EnquiryAck && !s.WriteMode && !s.PollMode)
    return sendNext(Ruling::ReadHeaderSent, Stage::HeaderSent, &LinkControl::SendReadHeader);
  if (kind == ReplyKind::EnquiryAck && s.PollMode && !s.WriteMode)
    return sendNext(Ruling::PollHeaderSent, Stage::HeaderSent, &LinkControl::SendPollHeader);
  if (kind == ReplyKind::Data && !s.PollMode && !s.PollHold) {
    panel_.setText(Field::Text5, ByteToHex(rx[3]) + ByteToHex(rx[2]));
    received(Ruling::ValueShown);
    complete(ExchangeKind::Read);
    return Ruling::ValueShown;
  }
  if (kind == ReplyKind::Data && s.PollMode) {
    for (int i = 0; i < 8; ++i) panel_.setLamp(i, (rx[2] >> i) & 1);
    health_.lampsSet(now);
    received(Ruling::LampsSet);
    complete(ExchangeKind::Poll);
    return Ruling::LampsSet;
  }
  received(IgnoredBecause(kind));
  return IgnoredBecause(kind);
}

}  // namespace varnak
