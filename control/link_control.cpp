#include "link_control.h"

#include "control/port_number.h"
#include "link/codec.h"
#include "link/frames.h"

namespace varnak {

namespace {

constexpr const char* kLineSettings = "9600,o,8,1";

bool IsEnquiryAck(const Bytes& b) { return b.size() == 3 && b[0] == 0x4E && b[1] == 0x21 && b[2] == kAck; }
bool IsAck(const Bytes& b) { return b.size() == 1 && b[0] == kAck; }
// The check byte (5) and the leading ACK (0) are deliberately not examined.
bool IsDataReply(const Bytes& b) { return b.size() == 6 && b[1] == kStx && b[4] == kEtx; }

}  // namespace

// ---- start-up and port ----

void LinkControl::Form2_Load(const Text& answer) {
  if (port_.isOpen()) port_.close();
  state_.LineSettings = kLineSettings;
  // A window whose port box raises its change event when set from code runs
  // Combo1_Change here with the same text; the outcome is the same either way.
  panel_.setText(Field::Combo1, answer);
  port_.setPortNumber(ParsePortNumber(answer));
  ConfigurePort();
  state_.PollMode = false;
  state_.WriteMode = false;
  state_.PollHold = false;
}

void LinkControl::Combo1_Change() {
  if (port_.isOpen()) port_.close();
  state_.LineSettings = kLineSettings;
  state_.PortText = panel_.text(Field::Combo1);
  port_.setPortNumber(ParsePortNumber(state_.PortText));
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

// ---- operator commands and poll timer ----

void LinkControl::Command1_Click() {
  if (!panel_.text(Field::Text1).empty()) SendEnquiry();
  state_.PollMode = false;
  state_.WriteMode = true;
  state_.PollHold = true;
}

void LinkControl::Command3_Click() {
  if (!panel_.text(Field::Text1).empty()) SendEnquiry();
  panel_.setText(Field::Text5, Text());
  state_.WriteMode = false;
  state_.PollMode = false;
  state_.PollHold = true;
}

void LinkControl::Command4_Click() { state_.PollHold = false; }

void LinkControl::Text1_Click() { HoldPolling(); }
void LinkControl::Text2_Click() { HoldPolling(); }
void LinkControl::Text5_Click() { HoldPolling(); }
void LinkControl::Text6_Click() { HoldPolling(); }

void LinkControl::Timer1_Timer() {
  if (state_.PollHold) return;
  if (!panel_.text(Field::Text1).empty()) SendEnquiry();
  state_.PollMode = true;
  state_.WriteMode = false;
}

// ---- receive dispatcher ----

void LinkControl::MSComm1_OnComm() {
  if (port_.lastEvent() != CommEvent::Receive) return;
  Bytes chunk = port_.read();
  if (chunk.empty()) return;  // nothing waiting: no rule could act on it
  state_.RxBytes = std::move(chunk);
  state_.RxLastIndex = static_cast<int>(state_.RxBytes.size()) - 1;
  const Bytes& rx = state_.RxBytes;
  LinkState& s = state_;

  // Each rule sees the flags as they stand when it is reached; at most one acts.
  if (IsEnquiryAck(rx) && s.WriteMode && !s.PollMode) {
    s.PollHold = true;
    SendWriteHeader();
  }
  if (IsAck(rx) && s.WriteMode && !s.PollMode) {
    s.PollHold = true;
    SendDataBlock();
  }
  if (IsEnquiryAck(rx) && !s.WriteMode && !s.PollMode) {
    s.PollHold = true;
    SendReadHeader();
  }
  if (IsEnquiryAck(rx) && s.PollMode && !s.WriteMode) {
    s.PollHold = true;
    SendPollHeader();
  }
  if (IsDataReply(rx) && !s.PollMode && !s.PollHold) {
    panel_.setText(Field::Text5, ByteToHex(rx[3]) + ByteToHex(rx[2]));
  }
  if (IsDataReply(rx) && s.PollMode) {
    for (int i = 0; i < 8; ++i) panel_.setLamp(i, (rx[2] >> i) & 1);
  }
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
  if (!port_.isOpen() && !port_.open()) return false;
  if (port_.write(bytes)) return true;
  // A port that took the open but not the bytes is closed, so that the next
  // frame opens it anew (an adapter pulled while open recovers this way).
  port_.close();
  return false;
}

}  // namespace varnak
