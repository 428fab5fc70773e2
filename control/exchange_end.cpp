// The end of an exchange: its last reply used, or a refusal or a deadline; a
// command lost on the line goes again once the line is quiet; then the
// scheduler's next choice starts.
#include <algorithm>

#include "control/link_control.h"
#include "line/port_number.h"
#include "link/codec.h"
#include "link/frames.h"

namespace varnak {

namespace {

// Four hex digits as the value they write; 0 for what is none.
std::uint16_t ValueOf(const Text& hex) {
  std::uint16_t v = 0;
  for (char32_t c : hex) {
    const int d = c >= U'0' && c <= U'9'   ? int(c - U'0')
                  : c >= U'A' && c <= U'F' ? int(c - U'A') + 10
                  : c >= U'a' && c <= U'f' ? int(c - U'a') + 10
                                           : -1;
    if (d < 0) return 0;
    v = static_cast<std::uint16_t>(v << 4 | d);
  }
  return v;
}

}  // namespace

std::optional<std::int64_t> LinkControl::nextDeadline() const {
  std::optional<std::int64_t> first;
  for (const auto& d : {assembler_.deadline(), replyDeadline_, retryAt_, quietAt_, startAt_})
    if (d && (!first || *d < *first)) first = d;
  return first;
}

void LinkControl::Timeout(std::int64_t now) {
  now_ = now;
  if (assembler_.deadline() && now >= *assembler_.deadline()) {
    // Nothing more came: the beginning is judged alone.
    Judge(assembler_.giveUp(now), false);
  }
  if (replyDeadline_ && now >= *replyDeadline_ && exchange_) Fail(Failure::NoReply);
  if (startAt_ && now >= *startAt_) {
    startAt_.reset();
    StartNext();
  }
  if (quietAt_ && now >= *quietAt_) {
    // What the ended exchanges were owed has come, or never will.
    quietAt_.reset();
    StartNext();
  }
  if (retryAt_ && now >= *retryAt_) {
    // The line has been quiet for a while: what the lost attempt left on it is gone.
    const Exchange again = *retry_;
    retry_.reset();
    retryAt_.reset();
    // Nothing starts while the value box is empty: the command ends lost.
    if (SetsFlags(again.kind) && valueBox_.empty()) return EndWith(again, retryFailure_);
    if (IsCommand(again.kind)) return StartCommand(again);
    if (scheduler_.next() != Scheduler::Next::List) {
      // A row write goes again after the command or poll that waited for the line.
      parkedRow_ = again;
      return StartNext();
    }
    BeginExchange(again);
    if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
  }
}

void LinkControl::Took(std::uint16_t value) {
  if (!exchange_) return;  // a further ack after a confirmed write
  if (frameFailed_) return Fail(Failure::PortFailed);
  if (exchange_->atLastStep()) return Complete(value);
  ++exchange_->step;
}

void LinkControl::Complete(std::uint16_t value) {
  const Exchange x = *exchange_;
  LinkEvent done = ExchangeEvent(LinkEvent::Kind::Completed, x);
  if (x.kind == ExchangeKind::Read || x.kind == ExchangeKind::ListRead) done.value = ValueHex(value);
  if (x.kind == ExchangeKind::Write) value = ValueOf(NormaliseValue(x.value));
  Report(done);
  EndExchange(IsCommand(x.kind));
  ReportEnd(x, true, Failure::NoReply, value);
  if (x.fromList() && list_) list_->jobEnded(x.job, {true, Failure::NoReply, value}, now_);
  // Until the next exchange begins, a further ack still asks for the block again.
  if (x.kind == ExchangeKind::Write) blockMayRepeat_ = true;
  StartNext();
}

void LinkControl::Fail(Failure failure) {
  const Exchange x = *exchange_;
  if (IsRetried(x, failure) && x.attempt < attempts_) return Retry(failure);
  EndWith(x, failure);
}

void LinkControl::EndWith(const Exchange& x, Failure failure) {
  LinkEvent e = ExchangeEvent(LinkEvent::Kind::Failed, x);
  e.failure = failure;
  if (IsCommand(x.kind)) {
    Report(e);
    commandMessage_ = e;
    commandPort_ = PortName(portNumber_);
    // The hold the command set ends with it: polling resumes at the next tick.
    const bool before = state_.PollHold;
    state_.PollHold = false;
    ReportHoldChange(before, Cause::CommandEnded);
  } else if (IsListExchange(x.kind)) {
    Report(e);
    if (failure == Failure::PortFailed && x.fromList()) listPaused_ = true;
  } else if (failure != Failure::PortFailed) {  // the port reports its own failure, once
    Report(e);
  }
  EndExchange(IsCommand(x.kind));
  if (failure == Failure::NotAReply || failure == Failure::Refused || failure == Failure::CheckByteBad) {
    quietAt_ = now_ + kRetryQuietMs;
    quietLatest_ = now_ + kRetryLatestMs;
  }
  ReportEnd(x, false, failure, 0);
  if (x.fromList() && list_) list_->jobEnded(x.job, {false, failure, 0}, now_);
  StartNext();
}

void LinkControl::ReportEnd(const Exchange& x, bool ok, Failure failure, std::uint16_t value) {
  JobEnd end;
  end.id = x.id;
  end.kind = x.kind;
  end.cause = x.cause;
  end.master = x.master;
  end.time = now_;
  end.reg = x.number;
  end.value = value;
  end.ok = ok;
  end.failure = failure;
  end.attempts = x.attempt;
  if (!ok && x.cause == Cause::Master) scheduler_.failJobsAfter(x.id, failure);
  // An observer may stop observing as it learns of the end.
  const std::vector<LinkObserver*> observers = observers_;
  for (LinkObserver* o : observers) o->onJobEnded(end);
}

void LinkControl::Retry(Failure failure) {
  Exchange again = *exchange_;
  ++again.attempt;
  LinkEvent e = ExchangeEvent(LinkEvent::Kind::Retried, again);
  e.failure = failure;
  Report(e);
  // Again once the line is quiet, so that the rest of a late or split reply
  // cannot be taken for the answer to the new enquiry.
  replyDeadline_.reset();
  assembler_.clear();
  exchange_.reset();
  retry_ = again;
  retryFailure_ = failure;
  retryAt_ = now_ + kRetryQuietMs;
  retryLatest_ = now_ + kRetryLatestMs;
}

void LinkControl::EndExchange(bool wasCommand) {
  replyDeadline_.reset();
  assembler_.clear();
  exchange_.reset();
  if (wasCommand && holdAfterCommand_) {
    holdAfterCommand_ = false;
    HoldPolling(Cause::ClickDuringCommand);
  }
}

}  // namespace varnak
