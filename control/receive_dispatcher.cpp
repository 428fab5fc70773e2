// The receive dispatcher: every chunk from the port, classified by its length
// and a few bytes, and under the flags as they stand, the next frame, the value
// read or the lamps. Each chunk is reported with the rule that acted or the
// reason none did; then the exchange under way moves on, ends, or fails.
#include "control/link_control.h"
#include "link/codec.h"

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

Failure FailureOf(Ruling r) {
  switch (r) {
    case Ruling::IgnoredRefused:
      return Failure::Refused;
    case Ruling::IgnoredCheckByteBad:
      return Failure::CheckByteBad;
    default:
      return Failure::NotAReply;
  }
}

Bytes Joined(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

}  // namespace

std::optional<ExpectedReply> LinkControl::Expected() const {
  switch (stage_) {
    case Stage::EnquirySent:
      return ExpectedReply::EnquiryAck;
    case Stage::HeaderSent:
      return exchange_ == ExchangeKind::Write ? ExpectedReply::Ack : ExpectedReply::Data;
    case Stage::BlockSent:
      return ExpectedReply::Ack;
    default:
      return std::nullopt;
  }
}

bool LinkControl::Expects(ReplyKind kind) const {
  switch (kind) {
    case ReplyKind::EnquiryAck:
      return stage_ == Stage::EnquirySent;
    case ReplyKind::Ack:
      // After the write's header and block; once the block is acknowledged,
      // every further ACK still asks for it again.
      return (stage_ == Stage::HeaderSent && exchange_ == ExchangeKind::Write) ||
             stage_ == Stage::BlockSent || stage_ == Stage::BlockAcked;
    case ReplyKind::Data:
      return stage_ == Stage::HeaderSent && exchange_ != ExchangeKind::Write;
    default:
      return false;
  }
}

void LinkControl::MSComm1_OnComm() {
  if (port_.lastEvent() != CommEvent::Receive) return;
  Bytes chunk = port_.read();
  if (chunk.empty()) return;  // nothing waiting: no rule could act on it
  const std::optional<ExpectedReply> expected = Expected();
  bool joined = false;
  if (!partial_.empty()) {
    Bytes whole = Joined(partial_, chunk);
    joinDeadline_.reset();
    if (expected && (ClassifyReply(whole) != ReplyKind::NotAReply || IsBeginningOf(whole, *expected))) {
      chunk.swap(whole);
      partial_.clear();
      joined = true;
    } else {
      // The next piece does not continue the reply: the beginning is judged alone, then the piece.
      Bytes piece;
      piece.swap(partial_);
      Judge(piece, false);
    }
  }
  const std::optional<ExpectedReply> now = Expected();
  if (now && IsBeginningOf(chunk, *now)) {
    // Keep it, and wait briefly for the rest; a complete reply acts at once.
    partial_ = chunk;
    joinDeadline_ = clock_() + kJoinMs;
    if (replyDeadline_) replyDeadline_ = std::max(*replyDeadline_, *joinDeadline_);
    Report({LinkEvent::Kind::Received, chunk, Ruling::KeptForTheRest, exchange_, {}});
    return;
  }
  Judge(chunk, joined);
}

void LinkControl::Judge(const Bytes& rx, bool joined) {
  state_.RxBytes = rx;
  state_.RxLastIndex = static_cast<int>(rx.size()) - 1;
  const bool before = state_.PollHold;
  const Stage stage = stage_;
  const Ruling ruling = Dispatch(rx, joined);
  ReportHoldChange(before, Cause::Reply, ruling);
  if (stage != Stage::Idle) Settle(ruling);
}

void LinkControl::Settle(Ruling r) {
  const bool inFlight = InFlight();
  if (frameFailed_ && inFlight) return Fail(Failure::PortFailed);
  switch (r) {
    case Ruling::ValueShown:
      if (inFlight && exchange_ == ExchangeKind::Read && stage_ == Stage::HeaderSent) Complete();
      return;
    case Ruling::LampsSet:
      if (inFlight && exchange_ == ExchangeKind::Poll && stage_ == Stage::HeaderSent) Complete();
      return;
    case Ruling::DataBlockSentAgain:
      if (writeConfirmed_) {
        writeConfirmed_ = false;
        Complete();
      }
      return;
    case Ruling::WriteHeaderSent:
    case Ruling::ReadHeaderSent:
    case Ruling::PollHeaderSent:
    case Ruling::DataBlockSent:
    case Ruling::KeptForTheRest:
      return;
    default:
      if (inFlight) Fail(FailureOf(r));
      return;
  }
}

Ruling LinkControl::Dispatch(const Bytes& rx, bool joined) {
  LinkState& s = state_;
  const Reply reply = RecogniseReply(rx);
  const ReplyKind kind = reply.kind;
  const std::int64_t now = clock_();
  if (IsRecognisedReply(kind)) health_.replyRecognised(now);
  // The report of the chunk comes before the frame it makes the dispatcher send.
  auto received = [&](Ruling r) {
    LinkEvent e{LinkEvent::Kind::Received, rx, r, exchange_, {}};
    e.joined = joined;
    Report(e);
  };
  auto sendNext = [&](Ruling r, Stage next, void (LinkControl::*send)()) {
    received(r);
    stage_ = next;
    s.PollHold = true;
    (this->*send)();
    return r;
  };
  // A reply acts only while an exchange waits for it: one that comes after its
  // exchange has ended (a timeout, a refusal) must not send a frame built from
  // what the boxes hold by now, nor show a value or set the lamps.
  const bool aRuleActs = (kind == ReplyKind::EnquiryAck && !(s.WriteMode && s.PollMode)) ||
                         (kind == ReplyKind::Ack && s.WriteMode && !s.PollMode) ||
                         (kind == ReplyKind::Data && (s.PollMode || !s.PollHold));
  if (aRuleActs && !Expects(kind)) {
    received(Ruling::IgnoredUnexpected);
    return Ruling::IgnoredUnexpected;
  }
  // Each rule sees the flags as they stand when it is reached; at most one acts.
  // A data reply counts only with a good check byte: a corrupted value is never shown.
  if (kind == ReplyKind::EnquiryAck && s.WriteMode && !s.PollMode)
    return sendNext(Ruling::WriteHeaderSent, Stage::HeaderSent, &LinkControl::SendWriteHeader);
  if (kind == ReplyKind::Ack && s.WriteMode && !s.PollMode) {
    // The first ack answers the header; the next one the block, which confirms
    // the write, though every further ack still sends the block again.
    const bool again = stage_ == Stage::BlockSent || stage_ == Stage::BlockAcked;
    const Ruling r = again ? Ruling::DataBlockSentAgain : Ruling::DataBlockSent;
    received(r);
    const bool confirmed = stage_ == Stage::BlockSent && exchange_ == ExchangeKind::Write;
    if (confirmed) stage_ = Stage::BlockAcked;
    if (!again) stage_ = Stage::BlockSent;
    s.PollHold = true;
    SendDataBlock();
    writeConfirmed_ = confirmed;
    return r;
  }
  if (kind == ReplyKind::EnquiryAck && !s.WriteMode && !s.PollMode)
    return sendNext(Ruling::ReadHeaderSent, Stage::HeaderSent, &LinkControl::SendReadHeader);
  if (kind == ReplyKind::EnquiryAck && s.PollMode && !s.WriteMode)
    return sendNext(Ruling::PollHeaderSent, Stage::HeaderSent, &LinkControl::SendPollHeader);
  if (kind == ReplyKind::Data && !s.PollMode && !s.PollHold) {
    panel_.setText(Field::Text5, FromUtf8(ValueHex(reply.value())));
    received(Ruling::ValueShown);
    return Ruling::ValueShown;
  }
  if (kind == ReplyKind::Data && s.PollMode) {
    for (int i = 0; i < 8; ++i) panel_.setLamp(i, (reply.low >> i) & 1);
    health_.lampsSet(now);
    received(Ruling::LampsSet);
    return Ruling::LampsSet;
  }
  received(IgnoredBecause(kind));
  return IgnoredBecause(kind);
}

}  // namespace varnak
