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
// One exchange at a time. A write or read clicked by the operator is a command
// with state of its own: its register and value are taken at the click, and
// while it waits for a reply the timer starts no poll, so a tick can never turn
// its replies into a poll's. A click while a poll is under way waits for that
// poll to end. Every exchange ends when its last reply is used, when a reply is
// refused or not understood, or when none comes within kReplyTimeoutMs of the
// frame's write; a command that ends without its result says why in the title.
// A reply that reaches the host in pieces (a USB adapter hands over what it has
// every 16 ms) is joined when the next piece follows within kJoinMs.
//
// The class keeps no timer: nextDeadline() says when it wants to be called back,
// and the window arms a single-shot timer that calls Timeout().
//
// A frame that cannot be sent (no valid port number, the device will not open or
// write) ends its exchange at once; the next frame tries the port again. The port
// reports the failure to whoever shows it; this class shows nothing.
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
#include "control/list_source.h"
#include "control/panel_fields.h"
#include "control/serial_port.h"
#include "link/replies.h"

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

  // From the write of a frame to the end of its reply: the frame's own wire
  // time (a header is 19.5 ms), the turnaround, the reply (6.9 ms), an adapter's
  // 16 ms latency, the 4 ms quiet gap and the join, with room to spare.
  static constexpr std::int64_t kReplyTimeoutMs = 150;
  // How long a beginning of the expected reply waits for the rest: one adapter
  // latency period (16 ms) and the quiet gap, with room to spare.
  static constexpr std::int64_t kJoinMs = 30;

  LinkControl(SerialPort& port, PanelFields& panel);

  void setClock(Clock clock) { clock_ = std::move(clock); }
  std::int64_t now() const { return clock_(); }
  // Observers are not owned and must outlive their registration.
  void addObserver(LinkObserver* observer) { observers_.push_back(observer); }
  void removeObserver(LinkObserver* observer);
  // The register list read between the window's own exchanges (none: no list).
  // Not owned; must outlive its registration.
  void setListSource(ListSource* list) { list_ = list; }

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

  // When the link control wants Timeout() called (milliseconds on its clock):
  // the end of a reply timeout or of a join, or none.
  std::optional<std::int64_t> nextDeadline() const;
  void Timeout(std::int64_t now);

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
  // Where the exchange under way stands. The flags decide what each reply does;
  // the stage says which reply the exchange waits for and when it has ended.
  enum class Stage { Idle, EnquirySent, HeaderSent, BlockSent, BlockAcked };

  // A write or read as clicked: register and value taken at the click.
  struct Command {
    ExchangeKind kind = ExchangeKind::Write;
    Text registerDigits;  // octal digits, for the header
    Text value;           // as typed in the value box (a write)
    std::string reg;      // "R2000", for reports and the title
  };

  // Sends the bytes, opening the port first if needed; false if they were dropped.
  bool WriteFrame(const Bytes& bytes);
  void HoldPolling(Cause by);
  // A command or the timer moves the flags to a new exchange.
  void BeginExchange(ExchangeKind kind, Cause by);
  // The operator's click of the write or read button.
  void ClickCommand(ExchangeKind kind);
  void StartCommand(const Command& command);
  bool InFlight() const;
  std::optional<ExpectedReply> Expected() const;
  // Whether the exchange under way waits for a reply of this kind now.
  bool Expects(ReplyKind kind) const;
  // A whole chunk (or joined reply): the rules, then where the exchange stands.
  void Judge(const Bytes& rx, bool joined);
  Ruling Dispatch(const Bytes& rx, bool joined);
  void Settle(Ruling ruling);
  void Complete();
  void Fail(Failure failure);
  void EndExchange();
  LinkEvent CommandEvent(LinkEvent::Kind kind, const Command& command) const;
  // `ruling`: the rule that acted when the cause is a reply.
  void ReportHoldChange(bool before, Cause by, Ruling ruling = Ruling::IgnoredNotAReply);
  void ClosePort(Cause why);
  // The title's words for a failed or refused command.
  std::string CommandMessageText(Translate lang) const;
  void Report(LinkEvent event);

  SerialPort& port_;
  PanelFields& panel_;
  LinkState state_;
  Clock clock_;
  LinkHealth health_;
  std::vector<LinkObserver*> observers_;
  ListSource* list_ = nullptr;
  Stage stage_ = Stage::Idle;
  ExchangeKind exchange_ = ExchangeKind::Poll;
  std::optional<int> portNumber_;  // as last set on the port
  std::string lastFailure_;        // reported once until the port opens again

  std::optional<Command> command_;  // the write or read under way
  std::optional<Command> queued_;   // clicked during another exchange: starts at its end
  bool holdAfterCommand_ = false;   // a click into a box during a command holds once it ends
  bool frameFailed_ = false;        // the last frame of the exchange could not be written
  bool writeConfirmed_ = false;     // the ack just judged confirmed the write's data block
  std::optional<std::int64_t> replyDeadline_;
  Bytes partial_;  // a beginning of the expected reply, waiting for the rest
  std::optional<std::int64_t> joinDeadline_;
  Text lastBlockValue_;  // the data block last sent, for an ACK that asks for it again
  // A failed or refused command (its Failed event, and the port it was on),
  // shown until the next one starts; made into words when shown.
  std::optional<LinkEvent> commandMessage_;
  std::string commandPort_;
};

}  // namespace varnak
