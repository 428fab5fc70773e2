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
//
// Beside the flags, and without changing what they decide, the class keeps track
// of the exchange under way and of the link's health, and reports every frame,
// every chunk with what was done with it, and every port event to its observers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "control/link_events.h"
#include "control/link_health.h"
#include "control/link_state.h"
#include "control/panel_fields.h"
#include "control/serial_port.h"

namespace varnak {

// What the window should show beside the panel fields.
struct LinkStatus {
  bool lampsStale = true;  // the lamps show no live outputs: draw them dimmed
  std::string message;     // after the title; empty while all is well
};

class LinkControl {
 public:
  // Milliseconds on a monotonic clock.
  using Clock = std::function<std::int64_t()>;

  LinkControl(SerialPort& port, PanelFields& panel);

  void setClock(Clock clock) { clock_ = std::move(clock); }
  // Observers are not owned and must outlive their registration.
  void addObserver(LinkObserver* observer) { observers_.push_back(observer); }
  void removeObserver(LinkObserver* observer);

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

  // The port failed (would not open or write, or the device went away while
  // open); `why` in the port's words. Reported once until the port opens again.
  void ReportPortFailure(const std::string& why);

  const LinkState& state() const { return state_; }
  // The port number as last set on the port (none when the text named none).
  std::optional<int> portNumber() const { return portNumber_; }
  // Whether the lamps are live, and what the title should say given the port's
  // own problem (empty when it has none), in the operator's language by `lang`.
  LinkStatus status(const std::string& portProblem, Translate lang = English) const;

 private:
  // Where the exchange under way stands, for reports only: the flags alone decide.
  enum class Stage { Idle, EnquirySent, HeaderSent, BlockSent, BlockAcked };

  // Sends the bytes, opening the port first if needed; false if they were dropped.
  bool WriteFrame(const Bytes& bytes);
  void HoldPolling(Cause by);
  // A command or the timer moves the flags to a new exchange.
  void BeginExchange(ExchangeKind kind, Cause by);
  Ruling Dispatch(const Bytes& rx);
  // `ruling`: the rule that acted when the cause is a reply.
  void ReportHoldChange(bool before, Cause by, Ruling ruling = Ruling::IgnoredNotAReply);
  void ClosePort(Cause why);
  void Report(LinkEvent event);

  SerialPort& port_;
  PanelFields& panel_;
  LinkState state_;
  Clock clock_;
  LinkHealth health_;
  std::vector<LinkObserver*> observers_;
  Stage stage_ = Stage::Idle;
  ExchangeKind exchange_ = ExchangeKind::Poll;
  std::optional<int> portNumber_;  // as last set on the port
  std::string lastFailure_;        // reported once until the port opens again
};

}  // namespace varnak
