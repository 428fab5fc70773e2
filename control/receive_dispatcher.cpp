// The receive dispatcher: every chunk from the port, classified by its length
// and a few bytes, and under the flags as they stand, the next frame, the value
// read or the lamps. Each chunk is reported with the rule that acted or the
// reason none did; then the exchange under way moves on, ends, or fails.
#include <algorithm>

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

// Whether a reply of this kind is the one a step waits for.
bool Fits(ReplyKind kind, ExpectedReply awaits) {
  switch (awaits) {
    case ExpectedReply::EnquiryAck:
      return kind == ReplyKind::EnquiryAck;
    case ExpectedReply::Ack:
      return kind == ReplyKind::Ack;
    case ExpectedReply::Data:
      return kind == ReplyKind::Data;
  }
  return false;
}

}  // namespace

std::optional<ExpectedReply> LinkControl::Expected() const {
  if (!exchange_) return std::nullopt;
  return exchange_->current().awaits;
}

bool LinkControl::Expects(ReplyKind kind) const {
  // Once a write's block is acknowledged, every further ack still asks for it again.
  if (!exchange_) return kind == ReplyKind::Ack && blockMayRepeat_;
  return Fits(kind, exchange_->current().awaits);
}

void LinkControl::MSComm1_OnComm(const Bytes& chunk, std::int64_t now) {
  now_ = now;
  if (chunk.empty()) return;  // nothing came: no rule could act on it
  if (retryAt_) retryAt_ = std::min(now_ + kRetryQuietMs, retryLatest_);  // not quiet yet
  if (quietAt_) quietAt_ = std::min(now_ + kRetryQuietMs, quietLatest_);
  assembler_.push(chunk, now_);
  // Each piece under the reply expected after acting on the one before.
  while (std::optional<Assembled> a = assembler_.next(Expected(), now_)) {
    if (a->kind == Assembled::Kind::Kept) {
      // Wait briefly for the rest; a complete reply acts at once. Reported once
      // when the keeping begins: a line that hands a reply over byte by byte
      // would otherwise fill the monitor with its every beginning.
      // Pieces that keep coming cannot hold the exchange past twice its timeout.
      if (replyDeadline_)
        replyDeadline_ = std::min(std::max(*replyDeadline_, *assembler_.deadline()), replyLatest_);
      if (!a->joined) ReportReceived(a->bytes, Ruling::KeptForTheRest, false);
      continue;
    }
    Judge(a->bytes, a->joined);
  }
}

void LinkControl::ReportReceived(const Bytes& rx, Ruling ruling, bool joined) {
  LinkEvent e{LinkEvent::Kind::Received, rx, ruling, exchange_ ? exchange_->kind : ExchangeKind::Poll, {}};
  e.joined = joined;
  Report(e);
}

void LinkControl::Judge(const Bytes& rx, bool joined) {
  LinkState& s = state_;
  s.RxBytes = rx;
  s.RxLastIndex = static_cast<int>(rx.size()) - 1;
  const Reply reply = RecogniseReply(rx);
  const ReplyKind kind = reply.kind;
  if (IsRecognisedReply(kind)) health_.replyRecognised(now_);
  if (exchange_ && IsListExchange(exchange_->kind)) return DispatchList(rx, reply, joined);

  // The report of the chunk comes before the frame it makes the dispatcher send.
  const auto sendNext = [&](Ruling r, void (LinkControl::*send)()) {
    ReportReceived(rx, r, joined);
    const bool before = s.PollHold;
    s.PollHold = true;
    (this->*send)();
    ReportHoldChange(before, Cause::Reply, r);
    Took();
  };
  const Rule rule = MatchRule(kind, s);
  // A reply acts only while an exchange waits for it: one that comes after its
  // exchange has ended (a timeout, a refusal) must not send a frame built from
  // what the boxes hold by now, nor show a value or set the lamps.
  if (rule != Rule::None && !Expects(kind)) {
    ReportReceived(rx, Ruling::IgnoredUnexpected, joined);
    if (exchange_) Fail(Failure::NotAReply);
    return;
  }
  // Each rule sees the flags as they stand when it is reached; at most one acts.
  // A data reply counts only with a good check byte: a corrupted value is never shown.
  switch (rule) {
    case Rule::WriteEnquiryAcked:
      return sendNext(Ruling::WriteHeaderSent, &LinkControl::SendWriteHeader);
    case Rule::WriteAcked:
      // The first ack answers the header; the next one the block, which confirms
      // the write, though every further ack still sends the block again.
      return sendNext(exchange_ && exchange_->step == 1 ? Ruling::DataBlockSent : Ruling::DataBlockSentAgain,
                      &LinkControl::SendDataBlock);
    case Rule::ReadEnquiryAcked:
      return sendNext(Ruling::ReadHeaderSent, &LinkControl::SendReadHeader);
    case Rule::PollEnquiryAcked:
      return sendNext(Ruling::PollHeaderSent, &LinkControl::SendPollHeader);
    case Rule::ReadData:
      // The window shows the value in the read box as the read ends.
      ReportReceived(rx, Ruling::ValueShown, joined);
      return Took(reply.value());
    case Rule::PollData:
      // The lamps follow the low byte as the poll ends; the high byte is not used.
      health_.lampsSet(now_);
      ReportReceived(rx, Ruling::LampsSet, joined);
      return Took(reply.low);
    case Rule::None:
      break;
  }
  const Ruling ignored = IgnoredBecause(kind);
  ReportReceived(rx, ignored, joined);
  if (exchange_) Fail(FailureOf(ignored));
}

void LinkControl::DispatchList(const Bytes& rx, const Reply& reply, bool joined) {
  Exchange& x = *exchange_;
  if (!Fits(reply.kind, x.current().awaits)) {
    const Ruling r = IsRecognisedReply(reply.kind) ? Ruling::IgnoredUnexpected : IgnoredBecause(reply.kind);
    ReportReceived(rx, r, joined);
    return Fail(FailureOf(r));
  }
  if (x.atLastStep()) {
    const bool write = x.kind == ExchangeKind::ListWrite;
    ReportReceived(rx, write ? Ruling::ListWriteConfirmed : Ruling::ListValueRead, joined);
    if (x.kind == ExchangeKind::Outputs) return Complete(reply.low);
    return Complete(write ? x.job.value : reply.value());
  }
  const FrameKind frame = StepsOf(x.kind).steps[x.step + 1].frame;
  ReportReceived(rx,
                 frame == FrameKind::DataBlock     ? Ruling::DataBlockSent
                 : frame == FrameKind::WriteHeader ? Ruling::WriteHeaderSent
                 : frame == FrameKind::PollHeader  ? Ruling::PollHeaderSent
                                                   : Ruling::ReadHeaderSent,
                 joined);
  ++x.step;
  SendListFrame(frame);
  if (frameFailed_) Fail(Failure::PortFailed);
}

}  // namespace varnak
