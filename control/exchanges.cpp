// The start of the exchanges: the operator's commands, the poll timer and the
// register list start them, one at a time, and the scheduler's choice when the
// line is free.
#include "control/input_check.h"
#include "control/link_control.h"
#include "link/frames.h"
#include "link/register_number.h"

namespace varnak {

Exchange LinkControl::NewJob(ExchangeKind kind, Cause cause) {
  Exchange x;
  x.id = ++lastId_;
  x.kind = kind;
  x.cause = cause;
  return x;
}

LinkEvent LinkControl::ExchangeEvent(LinkEvent::Kind kind, const Exchange& x) const {
  LinkEvent e{kind, {}, {}, x.kind, {}};
  e.job = x.id;
  e.reg = x.reg;
  if (x.kind == ExchangeKind::Write) e.value = ToUtf8(NormaliseValue(x.value));
  if (x.kind == ExchangeKind::ListWrite) e.value = ToUtf8(x.value);
  e.cause = x.cause;
  e.attempt = x.attempt;
  return e;
}

void LinkControl::BeginExchange(const Exchange& x) {
  blockMayRepeat_ = false;
  assembler_.clear();
  replyDeadline_.reset();
  if (SetsFlags(x.kind) && valueBox_.empty()) {
    // The window's exchanges do not start while the value box is empty; the
    // operator's command ends there, the tick's poll never began.
    if (IsCommand(x.kind)) ReportEnd(x, false, Failure::BadInput, 0);
    return;
  }
  if (x.attempt == 1) Report(ExchangeEvent(LinkEvent::Kind::Started, x));
  exchange_ = x;
  exchange_->step = 0;
  SendEnquiry();
}

// ---- operator commands and poll timer ----

void LinkControl::ClickCommand(ExchangeKind kind, const Text& value, const Text& regText) {
  const bool write = kind == ExchangeKind::Write;
  valueBox_ = value;
  Exchange c = NewJob(kind, write ? Cause::WriteButton : Cause::ReadButton);
  // The value box must hold something for any exchange; a write also needs a value it can mean.
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
    e.job = c.id;
    e.failure = Failure::BadInput;
    e.input = problem;
    e.inputBox = what;
    commandMessage_ = e;
    Report(e);
    ReportEnd(c, false, Failure::BadInput, 0);
    return;
  }
  c.registerDigits = reg.digits;
  c.value = value;
  c.reg = reg.problem == InputProblem::None ? RegisterName(reg.number) : std::string();
  if (reg.problem == InputProblem::None) c.number = reg.number;
  if (LineTaken()) {
    // Nothing is cut short: this one starts when the exchange under way ends.
    if (const std::optional<Exchange> replaced = scheduler_.queueCommand(c)) {
      LinkEvent e = ExchangeEvent(LinkEvent::Kind::Failed, *replaced);
      e.failure = Failure::Replaced;
      Report(e);
      ReportEnd(*replaced, false, Failure::Replaced, 0);
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
  ReportEnd(c, false, Failure::BadInput, 0);
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
  if (!write && c.attempt == 1) {
    LinkEvent cleared{LinkEvent::Kind::ReadBoxCleared};
    cleared.job = c.id;
    Report(cleared);
  }
  BeginExchange(c);
  // Held: "the write button, until the write header goes out".
  ReportHoldChange(before, c.cause);
  if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
}

void LinkControl::Command1_Click(const Text& value, const Text& registerText, std::int64_t now) {
  now_ = now;
  ClickCommand(ExchangeKind::Write, value, registerText);
}
void LinkControl::Command3_Click(const Text& value, const Text& registerText, std::int64_t now) {
  now_ = now;
  ClickCommand(ExchangeKind::Read, value, registerText);
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
  if (state_.PollHold) return StartListJob();              // the list goes on while polling is held
  if (quietAt_ && !Busy()) return scheduler_.deferPoll();  // it polls once the line is quiet
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
  BeginExchange(NewJob(ExchangeKind::Poll, Cause::PollTimer));
  state_.PollMode = true;
  state_.WriteMode = false;
  if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
}

// ---- the register list ----

void LinkControl::ListChanged(std::int64_t now) {
  now_ = now;
  if (!Busy()) StartListJob();
}

JobId LinkControl::Submit(const Job& job, std::int64_t now) {
  now_ = now;
  const ExchangeKind kind = job.kind == Job::Kind::Read    ? ExchangeKind::ListRead
                            : job.kind == Job::Kind::Write ? ExchangeKind::ListWrite
                                                           : ExchangeKind::Outputs;
  Exchange x = NewJob(kind, Cause::Master);
  x.master = job.master;
  if (kind != ExchangeKind::Outputs) {
    x.job = {job.kind == Job::Kind::Read ? ListJob::Kind::Read : ListJob::Kind::Write, job.reg, job.value};
    x.number = job.reg;
    x.registerDigits = RegisterDigits(job.reg);
    x.reg = RegisterName(job.reg);
    x.value = FromUtf8(ValueHex(job.value));
  }
  x.noSuchRegister = job.reg > kMaxRegister;
  x.after = job.after;
  scheduler_.queueJob(x);
  startAt_ = now_;
  return x.id;
}

bool LinkControl::Withdraw(JobId id, std::int64_t now) {
  now_ = now;
  const std::optional<Exchange> x = scheduler_.withdrawJob(id);
  if (x) ReportEnd(*x, false, Failure::Withdrawn, 0);
  return x.has_value();
}

void LinkControl::StartListJob() {
  if (LineTaken()) return;
  const auto begin = [this](const Exchange& x) {
    BeginExchange(x);
    if (exchange_ && frameFailed_) Fail(Failure::PortFailed);
  };
  if (parkedRow_) {
    const Exchange again = *parkedRow_;
    parkedRow_.reset();
    return begin(again);
  }
  while (scheduler_.hasJob()) {
    const Exchange job = scheduler_.takeJob();
    if (job.afterFailed) {
      ReportEnd(job, false, *job.afterFailed, 0);
      continue;
    }
    if (!job.noSuchRegister) return begin(job);
    ReportEnd(job, false, Failure::BadInput, 0);
  }
  if (!list_ || listPaused_) return;
  const std::optional<ListJob> job = list_->nextJob(now_);
  if (!job) return;
  Exchange x = NewJob(job->kind == ListJob::Kind::Read ? ExchangeKind::ListRead : ExchangeKind::ListWrite,
                      Cause::RegisterList);
  x.job = *job;
  x.number = job->reg;
  x.registerDigits = RegisterDigits(job->reg);
  x.reg = RegisterName(job->reg);
  x.value = FromUtf8(ValueHex(job->value));
  begin(x);
}

void LinkControl::StartNext() {
  if (LineTaken()) return;
  switch (scheduler_.next()) {
    case Scheduler::Next::Command: {
      const Exchange c = scheduler_.takeCommand();
      // The value box was emptied while the command waited: it cannot go.
      if (valueBox_.empty()) return RefuseEmptyValue(c);
      StartCommand(c);
      break;
    }
    case Scheduler::Next::Poll:
      scheduler_.takePoll();
      Poll();
      break;
    case Scheduler::Next::Job:
    case Scheduler::Next::List:
      break;
  }
  // A command or poll that could not start (the value box emptied) leaves the line to the list.
  if (!Busy() && !scheduler_.hasCommand()) StartListJob();
}

}  // namespace varnak
