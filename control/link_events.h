// What the link control did and why, for whoever watches: the line monitor, the
// trace on stderr, the counters. The link control reports; it never depends on
// what an observer does with a report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "control/input_check.h"
#include "link/text.h"
#include "link/words.h"

namespace varnak {

// The operator's write and read, the poll timer's read of the outputs, which
// move the link flags; and the reads and writes of one register and the one
// read of the outputs that the register list or another master asks for, which
// set none of them.
enum class ExchangeKind { Write, Read, Poll, ListRead, ListWrite, Outputs };
constexpr int kExchangeKindCount = static_cast<int>(ExchangeKind::Outputs) + 1;

// What the dispatcher made of one received chunk: the rule that acted, or why none did.
enum class Ruling {
  WriteHeaderSent,     // enquiry ack during a write
  DataBlockSent,       // ack of the write header
  DataBlockSentAgain,  // every further ack while the write is under way
  ReadHeaderSent,      // enquiry ack during a read
  PollHeaderSent,      // enquiry ack during a poll
  ValueShown,          // a read's data reply, into Text5
  LampsSet,            // a data reply while polling, onto the lamps
  IgnoredNotAReply,    // no reply has this length and content (split, noise, babble)
  IgnoredRefused,      // NAK
  IgnoredCheckByteBad,
  IgnoredAckOutsideWrite,
  IgnoredDataWhileHeld,  // a read's data reply while polling is held (a click into a box)
  IgnoredUnexpected,     // a reply that no exchange waits for now (late, or after a timeout)
  ListValueRead,         // a list read's data reply, to the register list
  ListWriteConfirmed,    // the ack of a list write's data block
  KeptForTheRest,        // the beginning of the expected reply: waiting briefly for the rest
};
constexpr int kRulingCount = static_cast<int>(Ruling::KeptForTheRest) + 1;

// Why a write, a read or a poll ended without its result.
enum class Failure {
  NoReply,       // nothing recognisable came within the reply timeout
  Refused,       // NAK
  NotAReply,     // a chunk that is not the reply the step expects
  CheckByteBad,  // the data reply's check byte is wrong
  PortFailed,    // the frame could not be written
  BadInput,      // nothing sent: the register or value box holds what cannot be meant
  Replaced,      // nothing sent: another command was clicked while this one waited
  Withdrawn,     // nothing sent: the master that submitted the job took it back
};
constexpr int kFailureCount = static_cast<int>(Failure::Withdrawn) + 1;

// Who or what started an exchange, held or released polling, or closed the
// port: in the operator's terms when shown, the controls' names only here.
enum class Cause {
  None,
  WriteButton,            // Command1
  ReadButton,             // Command3
  CancelButton,           // Command4
  PollTimer,              // Timer1
  ClickValueBox,          // a click into Text1
  ClickWriteRegisterBox,  // Text2
  ClickReadBox,           // Text5
  ClickReadRegisterBox,   // Text6
  ClickDuringCommand,     // a click into a box while a command was under way, held at its end
  CommandEnded,           // a command ended without its result
  Reply,                  // a reply; the event's `ruling` says which rule acted
  StartUp,                // the port closed at start-up
  PortNumberChanged,
  WriteFailed,
  RegisterList,  // the register list's next read or a write from its row
  Master,        // a job that a master submitted (a client's command, a broker's write)
};

// Texts to show are keys for translation (see link/words.h), English here.
const char* FailureText(Failure failure);  // "no reply", "refused", ...
bool IsIgnored(Ruling ruling);
// "write header sent", "value shown in the read box", "ignored: check byte bad", ...
const char* RulingText(Ruling ruling);
const char* ExchangeName(ExchangeKind kind);  // "write", "read", "poll"
// "the write button", "a click into the read box", "start-up", ...
const char* CauseText(Cause cause);
// The context of these keys.
inline constexpr const char* kLinkEventsContext = "LinkEvents";

struct LinkEvent {
  enum class Kind {
    Sent,             // bytes went out
    Received,         // a chunk came in; `ruling` says what was done with it
    Started,          // an exchange's enquiry went out; `cause` is the button or the timer
    Completed,        // the exchange's last reply came and was used
    Failed,           // the exchange ended without its result; `failure` says why
    Retried,          // a write or read lost on the line goes again from the enquiry; `failure`, `attempt`
    Waiting,          // a command clicked during another exchange waits for its end
    Held,             // polling held; `cause` says by what
    Released,         // polling free again; `cause` says by what
    PortOpened,       // `detail` names the port
    PortClosed,       // `cause` says why
    PortFailed,       // `detail` says why (the port's own words)
    PortNote,         // `detail`: something the port says that is no failure
    ReadBoxCleared,   // the operator's read begins: the read box is emptied
    ValueNormalised,  // the write's value as it went out, four digits (`value`), for the value box
  };
  Kind kind;
  Bytes bytes = {};
  Ruling ruling = Ruling::IgnoredNotAReply;
  ExchangeKind exchange = ExchangeKind::Poll;
  std::string detail = {};
  // Started, Completed, Failed and Waiting of a write or read: the register and
  // value taken at the click ("R2000", "00A5"); on a read's Completed, the value
  // read. A write's Completed means confirmed: its data block was acknowledged.
  std::string reg = {};
  std::string value = {};
  Failure failure = Failure::NoReply;
  bool joined = false;  // Received: the reply came in pieces and was joined
  int attempt = 1;      // Retried: the attempt that now begins (2 or 3)
  Cause cause = Cause::None;
  // Failed with BadInput: what is wrong with which box; `detail` holds what was typed.
  InputProblem input = InputProblem::None;
  const char* inputBox = "register";  // "register" or "value"
  // Set by the link control as it reports: ms on its clock, and the job whose
  // exchange was under way (0: none).
  std::int64_t time = 0;
  std::uint64_t job = 0;
};

// What only the window shows (its boxes), no event of the line.
inline bool ForTheWindowOnly(LinkEvent::Kind kind) {
  return kind == LinkEvent::Kind::ReadBoxCleared || kind == LinkEvent::Kind::ValueNormalised;
}

using JobId = std::uint64_t;

// How a job ended: exactly one of these for every job, whoever submitted it.
struct JobEnd {
  JobId id = 0;
  ExchangeKind kind = ExchangeKind::Poll;
  Cause cause = Cause::None;
  std::string master;           // who submitted it (Cause::Master): "client", "mqtt", an address
  std::int64_t time = 0;        // ms on the link control's clock
  std::optional<unsigned> reg;  // the register; none for the outputs, or a register box that meant none
  // Written, read, or the output byte (bit i is Qi).
  std::uint16_t value = 0;
  bool ok = false;
  Failure failure = Failure::NoReply;  // when not ok
  int attempts = 1;                    // exchanges it took
};

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  virtual void onLinkEvent(const LinkEvent& event) = 0;
  virtual void onJobEnded(const JobEnd&) {}
};

}  // namespace varnak
