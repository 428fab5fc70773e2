// The exchanges themselves: the operator's commands and the poll timer start
// them, one at a time; a reply, a refusal or a deadline ends them, and a
// command that waited starts then.
#include <algorithm>

#include "control/input_check.h"
#include "control/link_control.h"
#include "link/frames.h"

namespace varnak {

// ---- operator commands and poll timer ----

bool LinkControl::InFlight() const {
  return stage_ == Stage::EnquirySent || stage_ == Stage::HeaderSent || stage_ == Stage::BlockSent;
}

LinkEvent LinkControl::CommandEvent(LinkEvent::Kind kind, const Command& c) const {
  LinkEvent e{kind, {}, {}, c.kind, {}};
  e.reg = c.reg;
  if (c.kind == ExchangeKind::Write) e.value = ToUtf8(NormaliseValue(c.value));
  return e;
}

void LinkControl::BeginExchange(ExchangeKind kind, Cause by) {
  if (InFlight()) Report({LinkEvent::Kind::Abandoned, {}, {}, exchange_, {}});
  stage_ = Stage::Idle;
  exchange_ = kind;
  partial_.clear();
  joinDeadline_.reset();
  replyDeadline_.reset();
  if (panel_.text(Field::Text1).empty()) return;  // no exchange starts while the value box is empty
  LinkEvent started{LinkEvent::Kind::Started, {}, {}, kind};
  if (command_) started = CommandEvent(LinkEvent::Kind::Started, *command_);
  started.cause = by;
  Report(started);
  stage_ = Stage::EnquirySent;
  SendEnquiry();
}

void LinkControl::ClickCommand(ExchangeKind kind) {
  const bool write = kind == ExchangeKind::Write;
  Command c;
  c.kind = kind;
  // The value box must hold something for any exchange; a write also needs a value it can mean.
  const Text value = panel_.text(Field::Text1);
  const RegisterInput reg = CheckRegister(panel_.text(write ? Field::Text2 : Field::Text6));
  InputProblem problem = reg.problem;
  const char* what = "register";
  const Text* typed = nullptr;
  const Text regText = panel_.text(write ? Field::Text2 : Field::Text6);
  typed = &regText;
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
  c.reg = reg.problem == InputProblem::None ? "R" + ToUtf8(reg.digits) : std::string();
  if (InFlight()) {
    // A poll is never cut short, nor a command: this one starts when that exchange ends.
    if (queued_) {
      LinkEvent replaced = CommandEvent(LinkEvent::Kind::Failed, *queued_);
      replaced.failure = Failure::Replaced;
      Report(replaced);
    }
    queued_ = c;
    Report(CommandEvent(LinkEvent::Kind::Waiting, c));
    return;
  }
  StartCommand(c);
}

void LinkControl::StartCommand(const Command& c) {
  commandMessage_.reset();
  const bool before = state_.PollHold;
  const bool write = c.kind == ExchangeKind::Write;
  command_ = c;
  state_.PollMode = false;
  state_.WriteMode = write;
  state_.PollHold = true;
  if (!write) panel_.setText(Field::Text5, Text());
  BeginExchange(c.kind, write ? Cause::WriteButton : Cause::ReadButton);
  // Held: "the write button, until the write header goes out".
  ReportHoldChange(before, write ? Cause::WriteButton : Cause::ReadButton);
  if (InFlight() && frameFailed_) return Fail(Failure::PortFailed);
  if (!InFlight()) command_.reset();
}

void LinkControl::Command1_Click() { ClickCommand(ExchangeKind::Write); }
void LinkControl::Command3_Click() { ClickCommand(ExchangeKind::Read); }

void LinkControl::Command4_Click() {
  const bool before = state_.PollHold;
  state_.PollHold = false;
  holdAfterCommand_ = false;
  ReportHoldChange(before, Cause::CancelButton);
}

void LinkControl::HoldPolling(Cause by) {
  if ((command_ && InFlight()) || queued_) {
    // Holding now would make the command's own reply count as one that came
    // while held; the hold begins when the command ends.
    holdAfterCommand_ = true;
    return;
  }
  const bool before = state_.PollHold;
  state_.PollHold = true;
  ReportHoldChange(before, by);
}

void LinkControl::Text1_Click() { HoldPolling(Cause::ClickValueBox); }
void LinkControl::Text2_Click() { HoldPolling(Cause::ClickWriteRegisterBox); }
void LinkControl::Text5_Click() { HoldPolling(Cause::ClickReadBox); }
void LinkControl::Text6_Click() { HoldPolling(Cause::ClickReadRegisterBox); }

void LinkControl::Timer1_Timer() {
  if (state_.PollHold) return;
  // One exchange at a time: a command or a poll still waiting for its reply is
  // never cut short; the tick after its end polls.
  if (InFlight()) return;
  command_.reset();
  BeginExchange(ExchangeKind::Poll, Cause::PollTimer);
  state_.PollMode = true;
  state_.WriteMode = false;
  if (InFlight() && frameFailed_) Fail(Failure::PortFailed);
}

// ---- the end of an exchange ----

std::optional<std::int64_t> LinkControl::nextDeadline() const {
  if (joinDeadline_ && replyDeadline_) return std::min(*joinDeadline_, *replyDeadline_);
  return joinDeadline_ ? joinDeadline_ : replyDeadline_;
}

void LinkControl::Timeout(std::int64_t now) {
  if (joinDeadline_ && now >= *joinDeadline_) {
    // Nothing more came: the beginning is judged alone.
    Bytes piece;
    piece.swap(partial_);
    joinDeadline_.reset();
    Judge(piece, false);
  }
  if (replyDeadline_ && now >= *replyDeadline_ && InFlight()) Fail(Failure::NoReply);
}

void LinkControl::Complete() {
  if (command_) {
    LinkEvent done = CommandEvent(LinkEvent::Kind::Completed, *command_);
    if (command_->kind == ExchangeKind::Read) done.value = ToUtf8(panel_.text(Field::Text5));
    Report(done);
  } else {
    Report({LinkEvent::Kind::Completed, {}, {}, exchange_, {}});
  }
  EndExchange();
}

void LinkControl::Fail(Failure failure) {
  if (command_) {
    LinkEvent e = CommandEvent(LinkEvent::Kind::Failed, *command_);
    e.failure = failure;
    Report(e);
    commandMessage_ = e;
    commandPort_ = "COM" + (portNumber_ ? std::to_string(*portNumber_) : std::string());
    // The hold the command set ends with it: polling resumes at the next tick.
    const bool before = state_.PollHold;
    state_.PollHold = false;
    ReportHoldChange(before, Cause::CommandEnded);
  } else if (failure != Failure::PortFailed) {  // the port reports its own failure, once
    LinkEvent e{LinkEvent::Kind::Failed, {}, {}, exchange_, {}};
    e.failure = failure;
    Report(e);
  }
  stage_ = Stage::Idle;
  EndExchange();
}

void LinkControl::EndExchange() {
  if (stage_ != Stage::BlockAcked) stage_ = Stage::Idle;
  replyDeadline_.reset();
  partial_.clear();
  joinDeadline_.reset();
  const bool wasCommand = command_.has_value();
  command_.reset();
  if (wasCommand && holdAfterCommand_) {
    holdAfterCommand_ = false;
    HoldPolling(Cause::ClickDuringCommand);
  }
  if (queued_) {
    const Command next = *queued_;
    queued_.reset();
    StartCommand(next);
  }
}

}  // namespace varnak
