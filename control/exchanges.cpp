// The exchanges themselves: the operator's commands, the poll timer and the
// register list start them, one at a time; a reply, a refusal or a deadline ends
// them, and the scheduler's next choice starts then.
#include <algorithm>

#include "control/input_check.h"
#include "control/link_control.h"
#include "link/frames.h"
#include "link/register_number.h"

namespace varnak {

LinkEvent LinkControl::ExchangeEvent(LinkEvent::Kind kind, const Exchange& x) const {
  LinkEvent e{kind, {}, {}, x.kind, {}};
  e.reg = x.reg;
  if (x.kind == ExchangeKind::Write) e.value = ToUtf8(NormaliseValue(x.value));
  if (x.kind == ExchangeKind::ListWrite) e.value = ToUtf8(x.value);
  e.cause = x.cause;
  e.attempt = x.attempt;
  return e;
}

void LinkControl::BeginExchange(const Exchange& x) {
  blockMayRepeat_ = false;
  partial_.clear();
  joinDeadline_.reset();
  replyDeadline_.reset();
  if (panel_.text(Field::Text1).empty()) return;  // no exchange starts while the value box is empty
  if (x.attempt == 1) Report(ExchangeEvent(LinkEvent::Kind::Started, x));
  exchange_ = x;
  exchange_->step = 0;
  SendEnquiry();
}

// ---- operator commands and poll timer ----

void LinkControl::ClickCommand(ExchangeKind kind) {
  const bool write = kind == ExchangeKind::Write;
  Exchange c;
  c.kind = kind;
  c.cause = write ? Cause::WriteButton : Cause::ReadButton;
  // The value box must hold something for any exchange; a write also needs a value it can mean.
  const Text value = panel_.text(Field::Text1);
  const Text regText = panel_.text(write ? Field::Text2 : Field::Text6);
  const RegisterInput reg = CheckRegister(regText);
  InputProblem problem = reg.problem;
  const char* what = "register";
  const Text* typed = &regText;
  if (value.empty() || (write && CheckValue(value) != InputProblem::None)) {
    problem = CheckValue(value);
    what = "value";
    typed = &value;
  }
  if (problem != InputProblem::None && !value.empty()) {
    LinkEvent e{LinkEvent::Kind::Failed, {}, {}, kind, ToUtf8(*typed)};
    e.failure = Failure::BadInput;
    e.input = problem;
    e.inputBox = what;
    commandMessage_ = e;
    Report(e);
    return;
  }
  c.registerDigits = reg.digits;
  c.value = value;
  c.reg = reg.problem == InputProblem::None ? RegisterName(reg.number) : std::string();
  if (Busy()) {
    // Nothing is cut short: this one starts when the exchange under way ends.
    if (const std::optional<Exchange> replaced = scheduler_.queueCommand(c)) {
      LinkEvent e = ExchangeEvent(LinkEvent::Kind::Failed, *replaced);
      e.failure = Failure::Replaced;
      Report(e);
    }
    Report(ExchangeEvent(LinkEvent::Kind::Waiting, c));
    return;
  }
  StartCommand(c);
}

void LinkControl::StartCommand(const Exchange& c) {
  commandMessage_.reset();
  const bool before = state_.PollHold;
  const bool write = c.kind == ExchangeKind::Write;
  state_.PollMode = false;
  state_.WriteMode = write;
  state_.PollHold = true;
  if (!write && c.attempt == 1) panel_.setText(Field::Text5, Text());
  BeginExchange(c);
  // Held: "the write button, until the write header goes out".
  ReportHoldChange(before, c.cause);
  if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
}

void LinkControl::Command1_Click(std::int64_t now) {
  now_ = now;
  ClickCommand(ExchangeKind::Write);
}
void LinkControl::Command3_Click(std::int64_t now) {
  now_ = now;
  ClickCommand(ExchangeKind::Read);
}

void LinkControl::Command4_Click(std::int64_t now) {
  now_ = now;
  const bool before = state_.PollHold;
  state_.PollHold = false;
  holdAfterCommand_ = false;
  ReportHoldChange(before, Cause::CancelButton);
}

void LinkControl::HoldPolling(Cause by) {
  const Exchange* busy = Busy();
  if ((busy && IsCommand(busy->kind)) || scheduler_.hasCommand()) {
    // Holding now would make the command's own reply count as one that came
    // while held; the hold begins when the command ends.
    holdAfterCommand_ = true;
    return;
  }
  const bool before = state_.PollHold;
  state_.PollHold = true;
  ReportHoldChange(before, by);
}

void LinkControl::Text1_Click(std::int64_t now) {
  now_ = now;
  HoldPolling(Cause::ClickValueBox);
}
void LinkControl::Text2_Click(std::int64_t now) {
  now_ = now;
  HoldPolling(Cause::ClickWriteRegisterBox);
}
void LinkControl::Text5_Click(std::int64_t now) {
  now_ = now;
  HoldPolling(Cause::ClickReadBox);
}
void LinkControl::Text6_Click(std::int64_t now) {
  now_ = now;
  HoldPolling(Cause::ClickReadRegisterBox);
}

void LinkControl::Timer1_Timer(std::int64_t now) {
  now_ = now;
  listPaused_ = false;
  if (state_.PollHold) return StartListJob();  // the list goes on while polling is held
  if (const Exchange* busy = Busy()) {
    // A command or a poll still waiting for its reply is never cut short and
    // the tick after its end polls; a list read is short, so this tick polls
    // right after it.
    if (IsListExchange(busy->kind)) scheduler_.deferPoll();
    return;
  }
  Poll();
  if (!Busy()) StartListJob();
}

void LinkControl::Poll() {
  if (state_.PollHold) return;
  Exchange p;
  p.kind = ExchangeKind::Poll;
  p.cause = Cause::PollTimer;
  BeginExchange(p);
  state_.PollMode = true;
  state_.WriteMode = false;
  if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
}

// ---- the register list ----

void LinkControl::ListChanged(std::int64_t now) {
  now_ = now;
  if (!Busy()) StartListJob();
}

void LinkControl::StartListJob() {
  if (!list_ || Busy() || listPaused_ || panel_.text(Field::Text1).empty()) return;
  const std::optional<ListJob> job = list_->nextJob(now_);
  if (!job) return;
  Exchange x;
  x.kind = job->kind == ListJob::Kind::Read ? ExchangeKind::ListRead : ExchangeKind::ListWrite;
  x.cause = Cause::RegisterList;
  x.job = *job;
  x.registerDigits = RegisterDigits(job->reg);
  x.reg = RegisterName(job->reg);
  x.value = FromUtf8(ValueHex(job->value));
  BeginExchange(x);
  if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
}

void LinkControl::StartNext() {
  if (Busy()) return;
  switch (scheduler_.next()) {
    case Scheduler::Next::Command:
      StartCommand(scheduler_.takeCommand());
      break;
    case Scheduler::Next::Poll:
      scheduler_.takePoll();
      Poll();
      break;
    case Scheduler::Next::List:
      break;
  }
  // A command or poll that could not start (the value box emptied) leaves the line to the list.
  if (!Busy() && !scheduler_.hasCommand()) StartListJob();
}

// ---- the end of an exchange ----

std::optional<std::int64_t> LinkControl::nextDeadline() const {
  std::optional<std::int64_t> first;
  for (const auto& d : {joinDeadline_, replyDeadline_, retryAt_})
    if (d && (!first || *d < *first)) first = d;
  return first;
}

void LinkControl::Timeout(std::int64_t now) {
  now_ = now;
  if (joinDeadline_ && now >= *joinDeadline_) {
    // Nothing more came: the beginning is judged alone.
    Bytes piece;
    piece.swap(partial_);
    joinDeadline_.reset();
    Judge(piece, false);
  }
  if (replyDeadline_ && now >= *replyDeadline_ && exchange_) Fail(Failure::NoReply);
  if (retryAt_ && now >= *retryAt_) {
    // The line has been quiet for a while: what the lost attempt left on it is gone.
    const Exchange again = *retry_;
    retry_.reset();
    retryAt_.reset();
    // Nothing starts while the value box is empty: the command ends lost.
    if (panel_.text(Field::Text1).empty()) return EndWith(again, retryFailure_);
    if (IsCommand(again.kind)) return StartCommand(again);
    BeginExchange(again);
    if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
  }
}

void LinkControl::Took() {
  if (!exchange_) return;  // a further ack after a confirmed write
  if (frameFailed_) return Fail(Failure::PortFailed);
  if (exchange_->atLastStep()) return Complete(0);
  ++exchange_->step;
}

void LinkControl::Complete(std::uint16_t value) {
  const Exchange x = *exchange_;
  LinkEvent done = ExchangeEvent(LinkEvent::Kind::Completed, x);
  if (x.kind == ExchangeKind::Read) done.value = ToUtf8(panel_.text(Field::Text5));
  if (x.kind == ExchangeKind::ListRead) done.value = ValueHex(value);
  Report(done);
  EndExchange(IsCommand(x.kind));
  if (IsListExchange(x.kind) && list_) list_->jobEnded(x.job, {true, Failure::NoReply, value}, now_);
  // Until the next exchange begins, a further ack still asks for the block again.
  if (x.kind == ExchangeKind::Write) blockMayRepeat_ = true;
  StartNext();
}

void LinkControl::Fail(Failure failure) {
  const Exchange x = *exchange_;
  if (IsRetried(x.kind, failure) && x.attempt < kAttempts) return Retry(failure);
  EndWith(x, failure);
}

void LinkControl::EndWith(const Exchange& x, Failure failure) {
  LinkEvent e = ExchangeEvent(LinkEvent::Kind::Failed, x);
  e.failure = failure;
  if (IsCommand(x.kind)) {
    Report(e);
    commandMessage_ = e;
    commandPort_ = "COM" + (portNumber_ ? std::to_string(*portNumber_) : std::string());
    // The hold the command set ends with it: polling resumes at the next tick.
    const bool before = state_.PollHold;
    state_.PollHold = false;
    ReportHoldChange(before, Cause::CommandEnded);
  } else if (IsListExchange(x.kind)) {
    Report(e);
    if (failure == Failure::PortFailed) listPaused_ = true;
  } else if (failure != Failure::PortFailed) {  // the port reports its own failure, once
    Report(e);
  }
  EndExchange(IsCommand(x.kind));
  if (IsListExchange(x.kind) && list_) list_->jobEnded(x.job, {false, failure, 0}, now_);
  StartNext();
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
  partial_.clear();
  joinDeadline_.reset();
  exchange_.reset();
  retry_ = again;
  retryFailure_ = failure;
  retryAt_ = now_ + kRetryQuietMs;
}

void LinkControl::EndExchange(bool wasCommand) {
  replyDeadline_.reset();
  partial_.clear();
  joinDeadline_.reset();
  exchange_.reset();
  if (wasCommand && holdAfterCommand_) {
    holdAfterCommand_ = false;
    HoldPolling(Cause::ClickDuringCommand);
  }
}

}  // namespace varnak
