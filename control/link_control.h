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
// One exchange at a time, described in exchange.h; the scheduler (scheduler.h)
// picks the next when the line is free: a command clicked meanwhile, then a
// poll that a tick deferred, then the register list's next read. A write or read
// clicked by the operator takes its register and value at the click; while it
// waits for a reply the timer starts no poll, so a tick can never turn its
// replies into a poll's. Every exchange ends when its last reply is used, when a
// reply is refused or not understood, or when none comes within kReplyTimeoutMs
// of the frame's write; a command lost on the line goes again from the enquiry
// (kAttempts in all), and one that ends without its result says why in the
// title. A reply that reaches the host in pieces (a USB adapter hands over what
// it has every 16 ms) is joined when the next piece follows within kJoinMs.
//
// The masters' jobs (Submit: a client's command, a broker's write) and the
// register list's reads and row writes run between the window's exchanges,
// whenever the line is idle and nothing else is due. They set none of the flags,
// their replies never reach the rules, and they do not depend on the value box.
//
// The class knows no widget. What the window's exchanges need of its boxes comes
// in as values (the texts at a click, the value box at each edit, the port box
// at each change); what the window shows comes out as events: the value read and
// the outputs in the JobEnd of the read or poll, the read box emptied and the
// value box normalised as LinkEvents. Every job ends in exactly one JobEnd, with
// its id, the time, the register and value as numbers, and the outcome.
//
// The class keeps no timer and reads no clock: every handler is given the time
// (milliseconds on a monotonic clock), nextDeadline() says when it wants to be
// called back, and the window arms a single-shot timer that calls Timeout().
//
// A frame that cannot be sent (no valid port number, the device will not open or
// write, the server is not there) ends its exchange at once; the next frame tries
// the port again. The port tells its problems to this class, its listener, and
// the title shows the problem first (status()); the chunks it receives are the
// receive event.
//
// Beside the flags, and without changing what they decide, the class keeps track
// of the link's health, and reports every frame, every chunk with what was done
// with it, and every port event to its observers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/exchange.h"
#include "control/job.h"
#include "control/link_events.h"
#include "control/link_health.h"
#include "control/link_state.h"
#include "control/list_source.h"
#include "control/scheduler.h"
#include "line/serial_port.h"
#include "link/replies.h"
#include "link/reply_assembler.h"

namespace varnak {

// What the window should show beside the panel fields.
struct LinkStatus {
  bool lampsStale = true;  // the lamps show no live outputs: draw them dimmed
  std::string message;     // after the title; empty while all is well
};

class LinkControl : public TransportListener {
 public:
  // From the write of a frame to the end of its reply: the frame's own wire
  // time (a header is 19.5 ms), the turnaround, the reply (6.9 ms), an adapter's
  // 16 ms latency, the 4 ms quiet gap and the join, with room to spare.
  static constexpr std::int64_t kReplyTimeoutMs = 150;
  // How long a beginning of the expected reply waits for the rest: one adapter
  // latency period (16 ms) and the quiet gap, with room to spare.
  static constexpr std::int64_t kJoinMs = 30;
  // A line through a serial device server: the round trip of the network and
  // the server's own gathering of the reply's bytes come on top of the above
  // (see the README for the figures); a reply's pieces wait for each other as
  // long as the reply may take.
  static constexpr std::int64_t kNetworkReplyTimeoutMs = 500;
  // A command lost on the line goes again once nothing has arrived for this
  // long: longer than a pause inside a reply that the join gives up on.
  static constexpr std::int64_t kRetryQuietMs = 60;
  // Noise that never pauses cannot put a retry off for longer than this.
  static constexpr std::int64_t kRetryLatestMs = 500;

  // Listens to `port` from here on.
  explicit LinkControl(SerialPort& port);
  ~LinkControl() override;
  LinkControl(const LinkControl&) = delete;
  LinkControl& operator=(const LinkControl&) = delete;

  // Called after each event that comes from the port rather than from the
  // shell (a chunk, a problem), so that the shell arms the deadline and shows
  // the status as after its own events.
  void setAfterPortEvent(std::function<void()> after) { afterPortEvent_ = std::move(after); }

  // The reply timeout, in ms from the frame's write (--timeout); none: the
  // default of the line (kReplyTimeoutMs, or kNetworkReplyTimeoutMs).
  void setReplyTimeoutMs(std::optional<std::int64_t> ms) { replyTimeoutMs_ = ms; }
  std::int64_t replyTimeoutMs() const;
  // How long the pieces of a reply wait for each other (none: the line's default,
  // kJoinMs, or the reply timeout on a network line).
  void setJoinMs(std::optional<std::int64_t> ms) { joinMs_ = ms; }
  // Exchanges a lost command or job takes in all (kAttempts unless told; at least 1).
  void setAttempts(int attempts) { attempts_ = attempts < 1 ? 1 : attempts; }

  // Observers are not owned and must outlive their registration.
  void addObserver(LinkObserver* observer) { observers_.push_back(observer); }
  void removeObserver(LinkObserver* observer);
  // The register list read between the window's own exchanges (none: no list).
  // Not owned; must outlive its registration.
  void setListSource(ListSource* list) {
    list_ = list;
    if (parkedRow_ && parkedRow_->fromList()) parkedRow_.reset();
  }

  // Every handler takes the time, in milliseconds on a monotonic clock.

  // Start-up, with the operator's answer to the port number prompt (empty when
  // the prompt was cancelled). The window shows the answer in its port box.
  void Form2_Load(const Text& answer, std::int64_t now);
  // Every edit of the port box, including the start-up's own setting of it,
  // with the box's text.
  void Combo1_Change(const Text& portText, std::int64_t now);
  void ConfigurePort();
  // The value box (写入数据) as it stands after each edit: while it is empty the
  // window's exchanges (its write, read and poll) do not start. "00" until told.
  void ValueBoxChanged(const Text& text) { valueBox_ = text; }

  // The operator's commands, with the value box and the register box at the click.
  void Command1_Click(const Text& value, const Text& registerText, std::int64_t now);  // starts a write
  void Command3_Click(const Text& value, const Text& registerText, std::int64_t now);  // starts a read
  void Command4_Click(std::int64_t now);  // releases the hold on polling
  void Text1_Click(std::int64_t now);     // clicks into the text boxes hold polling
  void Text2_Click(std::int64_t now);
  void Text5_Click(std::int64_t now);
  void Text6_Click(std::int64_t now);
  void Timer1_Timer(std::int64_t now);  // every 200 ms: starts a poll unless held

  // The port's receive event, with the bytes it received (in whatever pieces
  // the line delivers them; replies are assembled here).
  void MSComm1_OnComm(const Bytes& chunk, std::int64_t now);

  // The port's listener: its chunks are the receive event; its problems go
  // into the title and the monitor.
  void onChunk(const Bytes& chunk, std::int64_t now) override;
  void onProblem(const std::string& problem, std::int64_t now) override;
  void onNote(const std::string& note, std::int64_t now) override;

  // The register list has work (a row added, a value to write): an idle line starts it now.
  void ListChanged(std::int64_t now);

  // A master's job: it waits for the line behind the window's command and a due
  // poll, before the register list, and ends in one JobEnd with the id returned,
  // never inside this call: it starts at the next Timeout (nextDeadline() is now).
  JobId Submit(const Job& job, std::int64_t now);
  // A master takes back a job that has not started: it ends now, Withdrawn, and
  // nothing of it goes on the line. False when it started or ended already.
  bool Withdraw(JobId id, std::int64_t now);

  // When the link control wants Timeout() called: the end of a reply timeout or
  // of a join, or none.
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
  // The port's problem as it last told it; empty while all is well.
  const std::string& portProblem() const { return portProblem_; }

  const LinkState& state() const { return state_; }
  // The port number as last set on the port (none when the text named none).
  std::optional<int> portNumber() const { return portNumber_; }
  // Whether the lamps are live, and what the title should say (the port's own
  // problem first), in the operator's language by `lang`.
  LinkStatus status(std::int64_t now, Translate lang = English) const;
  // The exchange under way, if any.
  const std::optional<Exchange>& exchange() const { return exchange_; }

 private:
  // Sends the bytes, opening the port first if needed; false if they were dropped.
  bool WriteFrame(const Bytes& bytes);
  // A list exchange's header or data block: built from the job, not the boxes,
  // and sent without the transmission step that frees the poll timer.
  void SendListFrame(FrameKind frame);
  void HoldPolling(Cause by);
  // The operator's click of the write or read button.
  void ClickCommand(ExchangeKind kind, const Text& value, const Text& registerText);
  void StartCommand(const Exchange& command);
  // The tick's poll, unless held.
  void Poll();
  // A master's job or the list's next, if the line is free.
  void StartListJob();
  // The scheduler's choice, once the line is free.
  void StartNext();
  // Sends the enquiry of `exchange`, which is then under way; nothing while the
  // value box is empty.
  void BeginExchange(const Exchange& exchange);
  std::optional<ExpectedReply> Expected() const;
  // Whether the exchange under way waits for a reply of this kind now.
  bool Expects(ReplyKind kind) const;
  // A whole chunk (or joined reply): the rule that acts, or the list exchange's
  // step; the exchange moves on, ends, or fails.
  void Judge(const Bytes& rx, bool joined);
  void DispatchList(const Bytes& rx, const Reply& reply, bool joined);
  // The exchange under way took the reply its step waited for.
  // `value`: what the last reply read (a value, the outputs).
  void Took(std::uint16_t value = 0);
  void Complete(std::uint16_t value);
  // The one end of every job.
  void ReportEnd(const Exchange& exchange, bool ok, Failure failure, std::uint16_t value);
  // A new job's id and its place in the events.
  Exchange NewJob(ExchangeKind kind, Cause cause);
  // The exchange under way failed: tried again, or ended.
  void Fail(Failure failure);
  void EndWith(const Exchange& exchange, Failure failure);
  // A command or list write lost on the line: again from the enquiry, once the line is quiet.
  void Retry(Failure failure);
  void EndExchange(bool wasCommand);
  // A waiting command whose value box was emptied: refused as a click would be.
  void RefuseEmptyValue(const Exchange& command);
  // The exchange under way, or the one waiting to go again: the line is not free.
  const Exchange* Busy() const { return exchange_ ? &*exchange_ : retry_ ? &*retry_ : nullptr; }
  // Busy, or waiting for the line to be quiet before anything starts.
  bool LineTaken() const { return Busy() || quietAt_; }
  LinkEvent ExchangeEvent(LinkEvent::Kind kind, const Exchange& exchange) const;
  // `ruling`: the rule that acted when the cause is a reply.
  void ReportHoldChange(bool before, Cause by, Ruling ruling = Ruling::IgnoredNotAReply);
  void ReportReceived(const Bytes& rx, Ruling ruling, bool joined);
  void ClosePort(Cause why);
  // The title's words for a failed or refused command.
  std::string CommandMessageText(Translate lang) const;
  void Report(LinkEvent event);

  SerialPort& port_;
  LinkState state_;
  Text valueBox_ = U"00";  // the window's value box as last told
  JobId lastId_ = 0;
  int attempts_ = kAttempts;
  std::int64_t now_ = 0;  // the time given to the handler that runs
  LinkHealth health_;
  std::vector<LinkObserver*> observers_;
  ListSource* list_ = nullptr;
  std::optional<int> portNumber_;  // as last set on the port
  std::string lastFailure_;        // reported once until the port opens again
  std::string portProblem_;        // as the port last told it
  bool inPort_ = false;            // inside an operation of the port: its callbacks are part of this handler
  std::function<void()> afterPortEvent_;
  std::optional<std::int64_t> replyTimeoutMs_;  // as given; none: the line's default
  std::optional<std::int64_t> joinMs_;          // as given; none: the line's default

  std::optional<Exchange> exchange_;  // the exchange under way
  std::optional<Exchange> retry_;     // a lost command's next attempt, waiting for a quiet line
  Failure retryFailure_ = Failure::NoReply;
  std::optional<std::int64_t> retryAt_;
  std::int64_t retryLatest_ = 0;  // retryAt_ is put off by arriving bytes up to here
  // An exchange ended on a reply that fits none of its steps: the controller
  // may still owe replies to frames of exchanges that have ended, and an
  // enquiry now would take an owed enquiry ack for its own (and the data owed
  // to another read for its value). Nothing starts until the line has been
  // quiet this long; pieces that keep coming put it off up to quietLatest_.
  std::optional<std::int64_t> startAt_;  // a job submitted: the scheduler looks at the line then
  std::optional<std::int64_t> quietAt_;
  std::int64_t quietLatest_ = 0;
  // A row write to go again once the command or poll that waited has had the line.
  std::optional<Exchange> parkedRow_;
  Scheduler scheduler_;
  // A confirmed write: until another exchange begins, every further ack asks
  // for its data block again.
  bool blockMayRepeat_ = false;
  bool holdAfterCommand_ = false;  // a click into a box during a command holds once it ends
  bool frameFailed_ = false;       // the last frame of the exchange could not be written
  bool listPaused_ = false;        // the list's frame could not be written: wait for the next tick
  std::optional<std::int64_t> replyDeadline_;
  std::int64_t replyLatest_ = 0;       // a reply in pieces is waited for until here at most
  ReplyAssembler assembler_{kJoinMs};  // the pieces of a reply, joined
  Text lastBlockValue_;                // the data block last sent, for an ACK that asks for it again
  // A failed or refused command (its Failed event, and the port it was on),
  // shown until the next one starts; made into words when shown.
  std::optional<LinkEvent> commandMessage_;
  std::string commandPort_;
};

}  // namespace varnak
