#include "link_control.h"

#include <algorithm>
#include <chrono>

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
  Report({state_.PollHold ? LinkEvent::Kind::Held : LinkEvent::Kind::Released, {}, ruling, {}, {}, by});
}

LinkStatus LinkControl::status(const std::string& portProblem, Translate lang) const {
  const std::int64_t now = clock_();
  return {health_.lampsStale(now), StatusMessage(portProblem, health_.noReply(now), portNumber_, lang)};
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
  Report({LinkEvent::Kind::PortClosed, {}, {}, {}, {}, why});
}

void LinkControl::ReportPortFailure(const std::string& why) {
  if (why == lastFailure_) return;
  lastFailure_ = why;
  Report({LinkEvent::Kind::PortFailed, {}, {}, {}, why});
}

// ---- operator commands and poll timer ----

void LinkControl::BeginExchange(ExchangeKind kind, Cause by) {
  if (stage_ != Stage::Idle && !(stage_ == Stage::BlockAcked && exchange_ == ExchangeKind::Write))
    Report({LinkEvent::Kind::Abandoned, {}, {}, exchange_, {}});
  stage_ = Stage::Idle;
  exchange_ = kind;
  if (panel_.text(Field::Text1).empty()) return;  // no exchange starts while the value box is empty
  Report({LinkEvent::Kind::Started, {}, {}, kind, {}, by});
  stage_ = Stage::EnquirySent;
  SendEnquiry();
}

void LinkControl::Command1_Click() {
  const bool before = state_.PollHold;
  BeginExchange(ExchangeKind::Write, Cause::WriteButton);
  state_.PollMode = false;
  state_.WriteMode = true;
  state_.PollHold = true;
  ReportHoldChange(before, Cause::WriteButton);
}

void LinkControl::Command3_Click() {
  const bool before = state_.PollHold;
  BeginExchange(ExchangeKind::Read, Cause::ReadButton);
  panel_.setText(Field::Text5, Text());
  state_.WriteMode = false;
  state_.PollMode = false;
  state_.PollHold = true;
  ReportHoldChange(before, Cause::ReadButton);
}

void LinkControl::Command4_Click() {
  const bool before = state_.PollHold;
  state_.PollHold = false;
  ReportHoldChange(before, Cause::CancelButton);
}

void LinkControl::HoldPolling(Cause by) {
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
  BeginExchange(ExchangeKind::Poll, Cause::PollTimer);
  state_.PollMode = true;
  state_.WriteMode = false;
}

// ---- frames and transmission ----

void LinkControl::SendEnquiry() {
  state_.FrameText = kEnquiryText;
  WriteFrame(HexTextToBytes(state_.FrameText));
}

void LinkControl::SendWriteHeader() {
  HeaderText h = BuildWriteHeader(panel_.text(Field::Text2));
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendReadHeader() {
  HeaderText h = BuildReadHeader(panel_.text(Field::Text6));
  state_.FrameText = std::move(h.frameText);
  state_.SendText = std::move(h.sendText);
  TransmitHexText(state_.SendText);
}

void LinkControl::SendDataBlock() {
  const Text typed = panel_.text(Field::Text1);
  const Text value = NormaliseValue(typed);
  if (value != typed) panel_.setText(Field::Text1, value);
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
  if (!port_.isOpen()) {
    if (!port_.open()) {
      ReportPortFailure(port_.lastError());
      return false;
    }
    lastFailure_.clear();
    Report({LinkEvent::Kind::PortOpened, {}, {}, {}, "COM" + std::to_string(portNumber_.value_or(0))});
  }
  if (port_.write(bytes)) {
    health_.frameSent(clock_());
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
