#include "link_control.h"

#include <algorithm>
#include <chrono>

#include "control/input_check.h"
#include "control/port_number.h"
#include "link/codec.h"
#include "link/frames.h"

namespace varnak {

namespace {

constexpr const char* kLineSettings = "9600,o,8,1";

std::int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

LinkControl::LinkControl(SerialPort& port, PanelFields& panel)
    : port_(port), panel_(panel), clock_(SteadyMs) {}

void LinkControl::removeObserver(LinkObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void LinkControl::Report(LinkEvent event) {
  for (LinkObserver* o : observers_) o->onLinkEvent(event);
}

void LinkControl::ReportHoldChange(bool before, Cause by, Ruling ruling) {
  if (state_.PollHold == before) return;
  LinkEvent e{state_.PollHold ? LinkEvent::Kind::Held : LinkEvent::Kind::Released};
  e.cause = by;
  e.ruling = ruling;
  Report(e);
}

LinkStatus LinkControl::status(const std::string& portProblem, Translate lang) const {
  const std::int64_t now = clock_();
  std::string message = portProblem.empty() ? CommandMessageText(lang) : portProblem;
  if (message.empty() && panel_.text(Field::Text1).empty())
    message = InputProblemText("value", InputProblem::Empty, {}, lang);
  if (message.empty()) message = StatusMessage({}, health_.noReply(now), portNumber_, lang);
  return {health_.lampsStale(now), message};
}

std::string LinkControl::CommandMessageText(Translate lang) const {
  if (!commandMessage_) return {};
  const LinkEvent& e = *commandMessage_;
  if (e.failure == Failure::BadInput) return InputProblemText(e.inputBox, e.input, FromUtf8(e.detail), lang);
  const std::string why = lang(kLinkEventsContext, FailureText(e.failure));
  if (e.exchange == ExchangeKind::Write)
    return Fill(lang("LinkControl", QT_TRANSLATE_NOOP("LinkControl", "%1: write %2 = %3 not confirmed (%4)")),
                {commandPort_, e.reg, e.value, why});
  return Fill(lang("LinkControl", QT_TRANSLATE_NOOP("LinkControl", "%1: read %2 failed (%3)")),
              {commandPort_, e.reg, why});
}

// ---- start-up and port ----

void LinkControl::Form2_Load(const Text& answer) {
  ClosePort(Cause::StartUp);
  state_.LineSettings = kLineSettings;
  // A window whose port box raises its change event when set from code runs
  // Combo1_Change here with the same text; the outcome is the same either way.
  panel_.setText(Field::Combo1, answer);
  portNumber_ = ParsePortNumber(answer);
  port_.setPortNumber(portNumber_);
  ConfigurePort();
  state_.PollMode = false;
  state_.WriteMode = false;
  state_.PollHold = false;
  stage_ = Stage::Idle;
  command_.reset();
  queued_.reset();
  holdAfterCommand_ = false;
  replyDeadline_.reset();
  partial_.clear();
  joinDeadline_.reset();
  commandMessage_.reset();
}

void LinkControl::Combo1_Change() {
  ClosePort(Cause::PortNumberChanged);
  state_.LineSettings = kLineSettings;
  state_.PortText = panel_.text(Field::Combo1);
  portNumber_ = ParsePortNumber(state_.PortText);
  port_.setPortNumber(portNumber_);
  ConfigurePort();
}

void LinkControl::ConfigurePort() {
  port_.setLineSettings(state_.LineSettings);
  port_.clearInput();
  port_.setReadLength(0);
  port_.setDtr(false);
  port_.setInputMode(InputMode::Binary);
  port_.setHandshaking(Handshaking::None);
  port_.setReceiveThreshold(1);
  port_.setSendThreshold(1);
}

void LinkControl::ClosePort(Cause why) {
  if (!port_.isOpen()) return;
  port_.close();
  LinkEvent e{LinkEvent::Kind::PortClosed};
  e.cause = why;
  Report(e);
}

void LinkControl::ReportPortFailure(const std::string& why) {
  if (why == lastFailure_) return;
  lastFailure_ = why;
  Report({LinkEvent::Kind::PortFailed, {}, {}, {}, why});
}

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

// ---- frames and transmission ----

void LinkControl::SendEnquiry() {
  state_.FrameText = kEnquiryText;
  WriteFrame(HexTextToBytes(state_.FrameText));
}

void LinkControl::SendWriteHeader() {
  HeaderText h = BuildWriteHeader(command_ ? command_->registerDigits : panel_.text(Field::Text2));
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendReadHeader() {
  HeaderText h = BuildReadHeader(command_ ? command_->registerDigits : panel_.text(Field::Text6));
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendDataBlock() {
  // The value taken at the click; the box shows it normalised unless the
  // operator has typed something else since. A block sent again after the
  // write has ended is the same block, whatever the box holds by then.
  const Text shown = panel_.text(Field::Text1);
  const Text typed = command_ ? command_->value : lastBlockValue_.empty() ? shown : lastBlockValue_;
  const Text value = NormaliseValue(typed);
  if (value != shown && typed == shown) panel_.setText(Field::Text1, value);
  lastBlockValue_ = value;
  DataBlockText d = BuildDataBlock(value);
  state_.FrameText = std::move(d.frameText);
  state_.SendText = std::move(d.sendText);
  // An emptied value box has no data block: nothing goes on the line, but the
  // flags end as after a sent block.
  TransmitHexText(state_.SendText);
}

void LinkControl::SendPollHeader() {
  state_.SendText = kPollHeaderText;
  TransmitHexText(state_.SendText);
}

void LinkControl::TransmitHexText(const Text& hexText) {
  const Bytes bytes = HexTextToBytes(hexText);
  if (!bytes.empty()) WriteFrame(bytes);
  state_.PollHold = false;
}

bool LinkControl::WriteFrame(const Bytes& bytes) {
  frameFailed_ = true;
  if (!port_.isOpen()) {
    if (!port_.open()) {
      ReportPortFailure(port_.lastError());
      return false;
    }
    lastFailure_.clear();
    Report({LinkEvent::Kind::PortOpened, {}, {}, {}, "COM" + std::to_string(portNumber_.value_or(0))});
  }
  if (port_.write(bytes)) {
    const std::int64_t now = clock_();
    health_.frameSent(now);
    frameFailed_ = false;
    if (InFlight()) replyDeadline_ = now + kReplyTimeoutMs;
    Report({LinkEvent::Kind::Sent, bytes});
    return true;
  }
  // A port that took the open but not the bytes is closed, so that the next
  // frame opens it anew (an adapter pulled while open recovers this way).
  ReportPortFailure(port_.lastError());
  ClosePort(Cause::WriteFailed);
  return false;
}

}  // namespace varnak
