// The link control: the link state and every handler of the window, without the
// window.
//
//   window events ──> handlers here ──> frames (link/) ──> SerialPort::write
//   SerialPort receive event ──> MSComm1_OnComm ──> next frame, Text5 or lamps
//
// No handler waits for a reply. A command or a timer tick sends the enquiry and
// sets the flags; each reply, when it arrives, is classified by its length and a
// few bytes, and under the flags as they stand then, sends the next frame
// (header, data block), shows the value read, or sets the lamps. The flags
// PollMode, WriteMode and PollHold are the only memory of where an exchange is.
//
// A frame that cannot be sent (no valid port number, the device will not open or
// write) is dropped as if lost on the line; the flags move exactly as after a
// send, so the exchange never wedges and the next frame tries the port again.
// The port reports the failure to whoever shows it; this class shows nothing.
#pragma once

#include "control/link_state.h"
#include "control/panel_fields.h"
#include "control/serial_port.h"

namespace varnak {

class LinkControl {
 public:
  LinkControl(SerialPort& port, PanelFields& panel) : port_(port), panel_(panel) {}

  // Start-up, with the operator's answer to the port number prompt (empty when
  // the prompt was cancelled).
  void Form2_Load(const Text& answer);
  // Every edit of the port box, including the start-up's own setting of it.
  void Combo1_Change();
  void ConfigurePort();

  void Command1_Click();  // starts a write
  void Command3_Click();  // starts a read
  void Command4_Click();  // releases the hold on polling
  void Text1_Click();     // clicks into the text boxes hold polling
  void Text2_Click();
  void Text5_Click();
  void Text6_Click();
  void Timer1_Timer();  // every 200 ms: starts a poll unless held

  // The port's event: a data-received event reads every waiting byte as one chunk.
  void MSComm1_OnComm();

  void SendEnquiry();
  void SendWriteHeader();
  void SendReadHeader();
  void SendDataBlock();
  void SendPollHeader();
  void TransmitHexText(const Text& hexText);

  const LinkState& state() const { return state_; }

 private:
  // Sends the bytes, opening the port first if needed; false if they were dropped.
  bool WriteFrame(const Bytes& bytes);
  void HoldPolling() { state_.PollHold = true; }

  SerialPort& port_;
  PanelFields& panel_;
  LinkState state_;
};

}  // namespace varnak
