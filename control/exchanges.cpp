// The start of the exchanges: the operator's commands, the poll timer and the
// register list start them, one at a time, and the scheduler's choice when the
// line is free.
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

void LinkControl::RefuseEmptyValue(const Exchange& c) {
  LinkEvent e = ExchangeEvent(LinkEvent::Kind::Failed, c);
  e.failure = Failure::BadInput;
  e.input = CheckValue(Text());
  e.inputBox = "value";
  e.value.clear();
  commandMessage_ = e;
  Report(e);
  if (holdAfterCommand_) {
    holdAfterCommand_ = false;
    HoldPolling(Cause::ClickDuringCommand);
  }
  StartNext();
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
  if (parkedRow_) {
    const Exchange again = *parkedRow_;
    parkedRow_.reset();
    BeginExchange(again);
    if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
    return;
  }
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
    case Scheduler::Next::Command: {
      const Exchange c = scheduler_.takeCommand();
      // The value box was emptied while the command waited: it cannot go.
      if (panel_.text(Field::Text1).empty()) return RefuseEmptyValue(c);
      StartCommand(c);
      break;
    }
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

}  // namespace varnak
