// What the link control did and why, for whoever watches: the line monitor, the
// trace on stderr, the counters. The link control reports; it never depends on
// what an observer does with a report.
#pragma once

#include <string>

#include "link/text.h"
#include "link/words.h"

namespace varnak {

enum class ExchangeKind { Write, Read, Poll };

// What the dispatcher made of one received chunk: the rule that acted, or why none did.
enum class Ruling {
  WriteHeaderSent,     // enquiry ack during a write
  DataBlockSent,       // ack of the write header
  DataBlockSentAgain,  // every further ack while the write is under way
  ReadHeaderSent,      // enquiry ack during a read
  PollHeaderSent,      // enquiry ack during a poll
  ValueShown,          // a read's data reply, into Text5 (the read box)
  LampsSet,            // a data reply while polling, onto the lamps
  IgnoredNotAReply,    // no reply has this length and content (split, noise, babble)
  IgnoredRefused,      // NAK
  IgnoredCheckByteBad,
  IgnoredAckOutsideWrite,
  IgnoredDataWhileHeld,  // a read's data reply while polling is held (a click into a box)
};
constexpr int kRulingCount = static_cast<int>(Ruling::IgnoredDataWhileHeld) + 1;

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
  Reply,                  // a reply; the event's `ruling` says which rule acted
  StartUp,                // the port closed at start-up
  PortNumberChanged,
  WriteFailed,
};

// Texts to show are keys for translation (see link/words.h), English here.
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
    Sent,        // bytes went out
    Received,    // a chunk came in; `ruling` says what was done with it
    Started,     // an exchange's enquiry went out; `cause` is the button or the timer
    Completed,   // the exchange's last reply came and was used
    Abandoned,   // a new exchange began before this one's reply came
    Held,        // polling held; `cause` says by what
    Released,    // polling free again; `cause` says by what
    PortOpened,  // `detail` names the port
    PortClosed,  // `cause` says why
    PortFailed,  // `detail` says why (the port's own words)
  };
  Kind kind;
  Bytes bytes = {};
  Ruling ruling = Ruling::IgnoredNotAReply;
  ExchangeKind exchange = ExchangeKind::Poll;
  std::string detail = {};
  Cause cause = Cause::None;
};

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  virtual void onLinkEvent(const LinkEvent& event) = 0;
};

}  // namespace varnak
